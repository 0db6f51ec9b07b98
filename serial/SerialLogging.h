#pragma once
// Logging category of the serial-port object: opens, closes, refusals, line
// settings, device events and the bytes on the line. Off by default; switched
// on with QT_LOGGING_RULES="qv.serial*=true" or the program's --log option.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSerial)
