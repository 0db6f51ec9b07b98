#include "util/FileErrors.h"

#include <QFileDevice>
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
