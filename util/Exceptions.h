#pragma once
// The error kinds that end a handler and reach the general error report. Each
// carries the text shown to the user.
#include <QString>
#include <stdexcept>

class QvException : public std::runtime_error {
  public:
    explicit QvException(const QString& message)
        : std::runtime_error(message.toStdString()), text_(message) {}
    const QString& Message() const { return text_; }

  private:
    QString text_;
};

// A text that should hold a number does not.
class EConvertError : public QvException {
  public:
    using QvException::QvException;
};

// A file could not be opened, read or written.
class EInOutError : public QvException {
  public:
    using QvException::QvException;
};
