#include "device/LinkLogging.h"

Q_LOGGING_CATEGORY(lcLink, "qv.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLinkStatus, "qv.link.status", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFirmware, "qv.firmware", QtWarningMsg)
