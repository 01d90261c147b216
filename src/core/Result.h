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
    int systemError = 0; // the errno behind it, when a system call failed; 0 otherwise
};

class [[nodiscard]] Result {
  public:
    Result() = default; // success
    Result(Error error)
        : m_failed(true), m_reason(std::move(error.reason)), m_systemError(error.systemError) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // Why it failed; empty on success.
    const QString& reason() const { return m_reason; }
    // The errno of the system call that failed, for a caller that words some causes its own way; 0 when
    // it succeeded or no system call was to blame.
    int systemError() const { return m_systemError; }

  private:
    bool m_failed = false;
    QString m_reason;
    int m_systemError = 0;
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
