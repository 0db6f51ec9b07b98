#include "util/FileErrors.h"

#include "translation/MessageNumbers.h"
#include "util/Exceptions.h"

#include <QFileDevice>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

QString SystemErrorText(int errorNumber) {
    if (errorNumber == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QString FileErrorReason(const QFileDevice& file, int errorNumber) {
    const QString own = file.errorString();
    // Qt's text for an error it did not record.
    const bool ownSaysNothing = file.error() == QFileDevice::NoError || own.isEmpty() ||
                                own == QLatin1String("Unknown error");
    if (!ownSaysNothing || errorNumber == 0)
        return own;
    return SystemErrorText(errorNumber);
}

std::optional<FileSaveFailure> SaveWholeFile(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return FileSaveFailure{true, FileErrorReason(file, errno)};
    errno = 0;
    bool written = file.write(bytes) == bytes.size();
    if (written) {
        errno = 0;
        written = file.flush() && file.error() == QFileDevice::NoError;
    }
    if (!written) {
        const QString reason = FileErrorReason(file, errno);
        file.cancelWriting();
        return FileSaveFailure{false, reason};
    }
    errno = 0;
    if (!file.commit() || file.error() != QFileDevice::NoError)
        return FileSaveFailure{false, FileErrorReason(file, errno)};
    return std::nullopt;
}

void SaveWholeFileOrRaise(const QString& fileName, const QByteArray& bytes) {
    if (const std::optional<FileSaveFailure> failure = SaveWholeFile(fileName, bytes))
        throw EInOutError(DetailPhrase{failure->atCreate ? Msg::PhraseFileCannotCreate
                                                         : Msg::PhraseFileCannotWrite,
                                       {fileName, failure->reason}});
}
