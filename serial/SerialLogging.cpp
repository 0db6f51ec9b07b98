#include "serial/SerialLogging.h"

Q_LOGGING_CATEGORY(lcSerial, "qv.serial", QtWarningMsg)
