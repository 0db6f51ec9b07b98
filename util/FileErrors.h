#pragma once
// The cause of a failed file operation in the system's own words. Qt's file
// objects say "Unknown error" for some failures (a write cut short by a full
// disk, a commit after it); the error number the failing call left (errno)
// still names the cause.
//
//     errno = 0;
//     if (file.write(bytes) != bytes.size())
//         throw EInOutError(... + FileErrorReason(file, errno));
#include <QByteArray>
#include <QString>
#include <optional>

class QFileDevice;

// The system's text for an error number ("No space left on device" for
// ENOSPC); empty for 0.
QString SystemErrorText(int errorNumber);

// Why an operation on File failed: File's own text when it names a cause,
// otherwise the text of ErrorNumber (errno as the failing call left it),
// otherwise File's own text as it is.
QString FileErrorReason(const QFileDevice& file, int errorNumber);

// Why a file could not be saved: at its creation or while it was written.
struct FileSaveFailure {
    bool atCreate = false;
    QString reason; // the system's words
};
// Saves Bytes as FileName whole or not at all: a new file that replaces the
// old one only once every byte is written. The bytes are flushed before the
// commit, since a commit after a flush that failed would still put a file cut
// short in place of the old one. Nothing when saved.
std::optional<FileSaveFailure> SaveWholeFile(const QString& fileName, const QByteArray& bytes);
// The same, raising EInOutError "Cannot create file ..." or "Cannot write
// file ..." with the file's name and the cause.
void SaveWholeFileOrRaise(const QString& fileName, const QByteArray& bytes);
