#pragma once
// The support log: with --log FILE every message of the program's logging
// categories (qv.serial, qv.link, qv.firmware; the link's traffic among them)
// goes to FILE with a time stamp, so that a user can send it. Without --log
// the categories stay off unless QT_LOGGING_RULES switches them on, and what
// they say goes to standard error, also with a time stamp.
#include <QString>

// Where --log FILE writes: a bare file name goes to the per-user data folder's
// logs/ (where the program's own logs belong); a path is taken as given.
QString SupportLogPath(const QString& given);
// Time stamps on every message (unless QT_MESSAGE_PATTERN says otherwise).
void UseTimeStampedMessages();
// Opens Path for appending, switches every qv.* category on and sends every
// message there as well. False with the reason in Error when it cannot be opened.
bool StartSupportLog(const QString& path, QString& error);
// Ends the log (messages go to standard error alone again).
void StopSupportLog();
