#pragma once
// Lines of the traffic log on the Commands page. Each begins with the local
// time "hh.nn.ss.zzz"; the spacing after the dash is part of the format.
#include <QString>
#include <QTime>

namespace TrafficLog {
// The memo keeps the newest lines only, so a long day does not fill the memory.
constexpr int MaxLines = 10000;

QString TimeStamp(const QTime& time);
QString ReceivedLine(const QTime& time, const QString& text);
// The sent text already in control-character notation.
QString SentLine(const QTime& time, const QString& notatedText);
QString ConnectedLine(const QTime& time, const QString& portText);
QString DisconnectedLine(const QTime& time, const QString& portText);
} // namespace TrafficLog
