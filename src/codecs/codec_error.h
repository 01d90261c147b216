// The error a codec call raises when its library cannot be loaded or lacks the operation.
#pragma once

#include <QString>
#include <exception>
#include <string>

namespace codecs {

class CodecError : public std::exception {
  public:
    CodecError(QString library, QString operation, QString description)
        : library_(std::move(library)), operation_(std::move(operation)),
          description_(std::move(description)), what_(description_.toStdString()) {}

    // The library's file name (e.g. "libvbmp3.so") and the operation that was called.
    const QString& library() const { return library_; }
    const QString& operation() const { return operation_; }
    // The text the program shows after its own message; names the library and the operation.
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    QString library_;
    QString operation_;
    QString description_;
    std::string what_;
};

} // namespace codecs
