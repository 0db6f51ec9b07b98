#include "util/SupportLog.h"

#include "util/BuildInfo.h"
#include "util/ProgramPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSysInfo>
#include <mutex>

namespace {

constexpr const char* TimeStampFormat = "yyyy-MM-dd hh:mm:ss.zzz";

struct LogState {
    std::mutex lock; // messages come from the receive thread too
    QFile file;
    QtMessageHandler previous = nullptr;
};

LogState& State() {
    static LogState state;
    return state;
}

void WriteToLog(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    LogState& state = State();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.file.isOpen()) {
            const QString line =
                QDateTime::currentDateTime().toString(QLatin1String(TimeStampFormat)) + u' ' +
                QLatin1String(context.category ? context.category : "default") +
                QStringLiteral(": ") + message + u'\n';
            state.file.write(line.toUtf8());
            state.file.flush();
        }
    }
    // Warnings and worse still reach the terminal.
    if (type != QtDebugMsg && type != QtInfoMsg && state.previous)
        state.previous(type, context, message);
}

} // namespace

QString SupportLogPath(const QString& given) {
    if (given.contains(u'/'))
        return QFileInfo(given).absoluteFilePath();
    return UserDataFolder() + QStringLiteral("/logs/") + given;
}

void UseTimeStampedMessages() {
    qSetMessagePattern(QStringLiteral("%{time ") + QLatin1String(TimeStampFormat) +
                       QStringLiteral("} %{category}: %{message}"));
}

bool StartSupportLog(const QString& path, QString& error) {
    LogState& state = State();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        QDir().mkpath(QFileInfo(path).absolutePath());
        state.file.setFileName(path);
        if (!state.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            error = state.file.errorString();
            return false;
        }
    }
    QLoggingCategory::setFilterRules(QStringLiteral("qv.*=true"));
    state.previous = qInstallMessageHandler(WriteToLog);
    qInfo("%s %s on %s, Qt %s", BuildInfo::ProgramName, BuildInfo::Version,
          qPrintable(QSysInfo::prettyProductName()), qVersion());
    return true;
}

void StopSupportLog() {
    LogState& state = State();
    qInstallMessageHandler(state.previous);
    std::lock_guard<std::mutex> guard(state.lock);
    state.file.close();
}
