#pragma once
// The cause of a failed file operation in the system's own words. Qt's file
// objects say "Unknown error" for some failures (a write cut short by a full
// disk, a commit after it); the error number the failing call left (errno)
// still names the cause.
//
//     errno = 0;
//     if (file.write(bytes) != bytes.size())
//         throw EInOutError(... + FileErrorReason(file, errno));
#include <QString>

class QFileDevice;

// The system's text for an error number ("No space left on device" for
// ENOSPC); empty for 0.
QString SystemErrorText(int errorNumber);

// Why an operation on File failed: File's own text when it names a cause,
// otherwise the text of ErrorNumber (errno as the failing call left it),
// otherwise File's own text as it is.
QString FileErrorReason(const QFileDevice& file, int errorNumber);
