#pragma once
// The support log: with --log FILE every message of the program's logging
// categories (qv.serial, qv.link, qv.firmware; the link's traffic among them)
// goes to FILE with a time stamp, so that a user can send it. The live status
// lines, which the GCU sends many times a second, have a category of their
// own (qv.link.status) and are recorded only when asked for (--log-status, or
// QT_LOGGING_RULES). Without --log the categories stay off unless
// QT_LOGGING_RULES switches them on, and what they say goes to standard
// error, also with a time stamp.
//
// The file is bounded over a long day: once it would grow past RotateBytes it
// becomes FILE.1 (FILE.1 becomes FILE.2, and so on) and a fresh FILE begins;
// KeptFiles files are kept in all. It is written through on a warning, at
// most FlushIntervalMs after any other message, and when the log ends.
#include <QString>

struct SupportLogOptions {
    bool statusLines = false;
    qint64 rotateBytes = 10 * 1024 * 1024;
    int keptFiles = 3; // FILE, FILE.1, FILE.2
    int flushIntervalMs = 1000;
};

// Where --log FILE writes: a bare file name goes to the per-user data folder's
// logs/ (where the program's own logs belong); a path is taken as given.
QString SupportLogPath(const QString& given);
// The name of the Nth older file of a log (N from 1): "FILE.N".
QString RotatedLogPath(const QString& path, int n);
// Time stamps on every message (unless QT_MESSAGE_PATTERN says otherwise).
void UseTimeStampedMessages();
// Opens Path for appending, switches every qv.* category on (the status lines
// only when Options ask for them) and sends every message there as well.
// False with the reason in Error when it cannot be opened.
bool StartSupportLog(const QString& path, QString& error, const SupportLogOptions& options = {});
// Ends the log (messages go to standard error alone again); what was not yet
// written through is written.
void StopSupportLog();
