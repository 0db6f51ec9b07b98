#pragma once
// Logging categories of the device link: qv.link (connect, disconnect, the
// traffic on the link, waits and their ends, adapters that come and go) and
// qv.firmware (the firmware update: the programmer's command line, output and
// exit). The live status lines are received traffic too, but many a second:
// they have a category of their own, qv.link.status, which a support log
// leaves out unless asked. Off by default; switched on with QT_LOGGING_RULES="qv.*=true" or the
// program's --log option, so that a user can send a support log.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcLinkStatus)
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
