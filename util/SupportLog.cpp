#include "util/SupportLog.h"

#include "util/BuildInfo.h"
#include "util/FileErrors.h"
#include "util/ProgramPaths.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSysInfo>
#include <cerrno>
#include <mutex>

namespace {

constexpr const char* TimeStampFormat = "yyyy-MM-dd hh:mm:ss.zzz";

struct LogState {
    std::mutex lock; // messages come from the receive thread too
    QFile file;
    QString path;
    SupportLogOptions options;
    qint64 size = 0;
    QElapsedTimer sinceFlush;
    QtMessageHandler previous = nullptr;
};

LogState& State() {
    static LogState state;
    return state;
}

bool OpenLogFile(LogState& state) {
    state.file.setFileName(state.path);
    if (!state.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    state.size = state.file.size();
    state.sinceFlush.start();
    return true;
}

// FILE.(kept-2) -> FILE.(kept-1), ..., FILE -> FILE.1; the oldest goes.
void Rotate(LogState& state) {
    state.file.close();
    const int kept = std::max(1, state.options.keptFiles);
    if (kept == 1) {
        QFile::remove(state.path);
    } else {
        QFile::remove(RotatedLogPath(state.path, kept - 1));
        for (int n = kept - 2; n >= 1; --n)
            QFile::rename(RotatedLogPath(state.path, n), RotatedLogPath(state.path, n + 1));
        QFile::rename(state.path, RotatedLogPath(state.path, 1));
    }
    OpenLogFile(state);
}

void WriteLine(LogState& state, const QByteArray& line, bool urgent) {
    if (!state.file.isOpen())
        return;
    if (state.size > 0 && state.size + line.size() > state.options.rotateBytes) {
        Rotate(state);
        if (!state.file.isOpen())
            return;
    }
    if (state.file.write(line) == line.size())
        state.size += line.size();
    if (urgent || state.sinceFlush.elapsed() >= state.options.flushIntervalMs) {
        state.file.flush();
        state.sinceFlush.start();
    }
}

void WriteToLog(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    LogState& state = State();
    const bool urgent = type != QtDebugMsg && type != QtInfoMsg;
    {
        const QString line = QDateTime::currentDateTime().toString(QLatin1String(TimeStampFormat)) +
                             u' ' + QLatin1String(context.category ? context.category : "default") +
                             QStringLiteral(": ") + message + u'\n';
        std::lock_guard<std::mutex> guard(state.lock);
        WriteLine(state, line.toUtf8(), urgent);
    }
    // Warnings and worse still reach the terminal.
    if (urgent && state.previous)
        state.previous(type, context, message);
}

} // namespace

QString SupportLogPath(const QString& given) {
    if (given.contains(u'/'))
        return QFileInfo(given).absoluteFilePath();
    return UserDataFolder() + QStringLiteral("/logs/") + given;
}

QString RotatedLogPath(const QString& path, int n) {
    return path + u'.' + QString::number(n);
}

void UseTimeStampedMessages() {
    qSetMessagePattern(QStringLiteral("%{time ") + QLatin1String(TimeStampFormat) +
                       QStringLiteral("} %{category}: %{message}"));
}

bool StartSupportLog(const QString& path, QString& error, const SupportLogOptions& options) {
    LogState& state = State();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        QDir().mkpath(QFileInfo(path).absolutePath());
        state.path = path;
        state.options = options;
        errno = 0;
        if (!OpenLogFile(state)) {
            error = FileErrorReason(state.file, errno);
            return false;
        }
    }
    QString rules = QStringLiteral("qv.*=true");
    if (!options.statusLines)
        rules += QStringLiteral("\nqv.link.status=false");
    QLoggingCategory::setFilterRules(rules);
    state.previous = qInstallMessageHandler(WriteToLog);
    qInfo("%s %s on %s, Qt %s", BuildInfo::ProgramName, BuildInfo::Version,
          qPrintable(QSysInfo::prettyProductName()), qVersion());
    return true;
}

void StopSupportLog() {
    LogState& state = State();
    qInstallMessageHandler(state.previous);
    state.previous = nullptr;
    std::lock_guard<std::mutex> guard(state.lock);
    state.file.close();
}
