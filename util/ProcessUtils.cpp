#include "util/ProcessUtils.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringDecoder>

namespace {

// How long a freshly forked program may take to report that it runs.
constexpr int kStartTimeoutMs = 30000;

bool IsSupportedVerb(const QString& operation) {
    return operation.isEmpty() ||
           operation.compare(QLatin1String("open"), Qt::CaseInsensitive) == 0;
}

int StartDetached(const QString& fileName, const QStringList& parameters,
                  const QString& directory) {
    return QProcess::startDetached(fileName, parameters, directory) ? 0 : -1;
}

void ForwardOutput(QProcess& process, QStringDecoder& decoder,
                   const ProcessOutputHandler& onOutput) {
    const QByteArray bytes = process.readAllStandardOutput();
    if (bytes.isEmpty() || !onOutput)
        return;
    const QString text = decoder.decode(bytes);
    if (!text.isEmpty())
        onOutput(text);
}

// Runs the nested loop until the program has ended. The loop also returns
// when the application is quitting; the program is then waited for without a
// loop, so that a write in progress is not cut off.
void WaitForEnd(QProcess& process) {
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(-1);
}

int ExitCodeOf(const QProcess& process) {
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

int StartAndWait(const QString& fileName, const QStringList& parameters, const QString& directory,
                 const ProcessOutputHandler& onOutput) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(directory);
    QStringDecoder decoder(QStringDecoder::System);
    QObject::connect(&process, &QProcess::readyReadStandardOutput,
                     [&] { ForwardOutput(process, decoder, onOutput); });
    process.start(fileName, parameters, QIODevice::ReadOnly);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        return -1;
    }
    WaitForEnd(process);
    ForwardOutput(process, decoder, onOutput);
    return ExitCodeOf(process);
}

} // namespace

int ShellExecuteAndWait(const QString& operation, const QString& fileName,
                        const QStringList& parameters, const QString& directory, quint16 showCmd,
                        bool wait, const ProcessOutputHandler& onOutput) {
    Q_UNUSED(showCmd); // no console windows to hide on this platform
    if (!IsSupportedVerb(operation) || fileName.isEmpty())
        return -1;
    if (!wait)
        return StartDetached(fileName, parameters, directory);
    return StartAndWait(fileName, parameters, directory, onOutput);
}
