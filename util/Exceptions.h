#pragma once
// The error kinds that end a handler and reach the general error report. Each
// carries the text shown to the user, in English; one raised with a phrase
// also carries the phrase, which the window gives in the language in use where
// it adds the error to a message of its own.
#include "util/DetailPhrase.h"

#include <QString>
#include <optional>
#include <stdexcept>

class QvException : public std::runtime_error {
  public:
    explicit QvException(const QString& message)
        : std::runtime_error(message.toStdString()), text_(message) {}
    explicit QvException(const DetailPhrase& phrase) : QvException(EnglishText(phrase)) {
        phrase_ = phrase;
    }
    const QString& Message() const { return text_; }
    const std::optional<DetailPhrase>& Phrase() const { return phrase_; }

  private:
    QString text_;
    std::optional<DetailPhrase> phrase_;
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
