// The one way an operation that can fail says so: it returns a Result (nothing to give back) or an
// Expected<T> (a value on success), and a failure always carries its reason, one line for the user or
// the log. Both types are [[nodiscard]], so a caller that drops one does not build. A codec library that
// fails abnormally throws codecs::CodecError; the code that calls it turns that into a result at once.
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace core {

// A failure on its way into a Result or an Expected<T>: `return Error{reason};`.
struct Error {
    QString reason;
};

class [[nodiscard]] Result {
  public:
    Result() = default; // success
    Result(Error error) : m_failed(true), m_reason(std::move(error.reason)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // Why it failed; empty on success.
    const QString& reason() const { return m_reason; }

  private:
    bool m_failed = false;
    QString m_reason;
};

template <typename T> class [[nodiscard]] Expected {
  public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Error error) : m_reason(std::move(error.reason)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // The value; only after ok() said there is one.
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return &*m_value; }
    T valueOr(T fallback) const { return m_value ? *m_value : std::move(fallback); }
    const QString& reason() const { return m_reason; }

  private:
    std::optional<T> m_value;
    QString m_reason;
};

} // namespace core
