#include "device/TrafficLog.h"

QString TrafficLog::TimeStamp(const QTime& time) {
    return time.toString(QStringLiteral("hh.mm.ss.zzz"));
}

QString TrafficLog::ReceivedLine(const QTime& time, const QString& text) {
    return TimeStamp(time) + QStringLiteral(" -  Recieved: ") + text;
}

QString TrafficLog::SentLine(const QTime& time, const QString& notatedText) {
    return TimeStamp(time) + QStringLiteral(" -  Sent: ") + notatedText;
}

QString TrafficLog::ConnectedLine(const QTime& time, const QString& portText) {
    return TimeStamp(time) + QStringLiteral(" - Connected to ") + portText;
}

QString TrafficLog::DisconnectedLine(const QTime& time, const QString& portText) {
    return TimeStamp(time) + QStringLiteral(" -  Disconnected from ") + portText;
}
