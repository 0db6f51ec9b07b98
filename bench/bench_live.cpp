// Benchmark of the live view in the real window against the simulated GCU,
// which runs as its own process (gcu-sim) so that the CPU measured is the
// program's alone: the GCU streams as fast as 115200 baud allows, then at its
// default 20 lines a second. For each rate: status lines sent and shown per
// second, lines lost (the GCU numbers its lines in field 0), and the program's
// CPU use. Last, the cost of showing one line without any serial traffic.
//
//     QT_QPA_PLATFORM=offscreen ./bench_live [seconds per rate]
#include "app/DemoMode.h"
#include "ui/ProgramPaths.h"
#include "ui/UnitMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <sys/resource.h>

namespace {
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Answers every question with No (the offer to read the configuration).
class NoDialogs : public IDialogs {
  public:
    int asked = 0;
    TModalResult MessageDlg(const QString&, TMsgDlgType, TMsgDlgButtons) override {
        ++asked;
        return mrNo;
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(FileDialogRequest&) override { return false; }
    bool SaveFileDialog(FileDialogRequest&) override { return false; }
};

struct Simulator {
    QProcess process;
    QString port;
    bool Start(double rate, const QString& commandsFile) {
        process.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/gcu-sim"));
        process.setArguments({QStringLiteral("--rate"), QString::number(rate),
                              QStringLiteral("--boot-window"), QStringLiteral("200"),
                              QStringLiteral("--commands"), commandsFile});
        process.start();
        if (!process.waitForStarted(10000))
            return false;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return false;
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !port.isEmpty();
    }
    ~Simulator() {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
};

// The number the GCU gave the line the panel shows last.
long LastLineNumber(const TFormMain& form) {
    return form.Control<TMemo>(QStringLiteral("MemoLive")).Line(0).toLong();
}

struct Figures {
    double seconds = 0;
    long sent = 0;
    quint64 shown = 0;
    double cpu = 0;
};

// One rate: connect, live on, settle, measure, live off, disconnect.
bool MeasureRate(double rate, double seconds, const QString& commandsFile, Figures& figures) {
    Simulator gcu;
    if (!gcu.Start(rate, commandsFile)) {
        std::fprintf(stderr, "gcu-sim did not start\n");
        return false;
    }
    qputenv("GCU_EXTRA_PORTS",
            ExtraPortsWith(QString(), gcu.port, QLatin1String(DemoAdapterName)).toLocal8Bit());
    NoDialogs dialogs;
    SetDialogs(&dialogs);
    TFormMain form;
    form.show();
    auto& connect = form.Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
    if (!QTest::qWaitFor([&] { return connect.Tag() == 1 && dialogs.asked > 0; }, 30000)) {
        std::fprintf(stderr, "no connection\n");
        return false;
    }
    form.Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(true);
    if (!QTest::qWaitFor([&] { return form.LiveLinesShown() > 10; }, 10000)) {
        std::fprintf(stderr, "no status lines\n");
        return false;
    }
    const quint64 shownBefore = form.LiveLinesShown();
    const long firstNumber = LastLineNumber(form);
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(int(seconds * 1000));
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.cpu = CpuSeconds() - cpuBefore;
    figures.shown = form.LiveLinesShown() - shownBefore;
    figures.sent = LastLineNumber(form) - firstNumber;
    form.Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(false);
    form.close();
    SetDialogs(nullptr);
    return true;
}

void Report(const char* title, const Figures& f) {
    std::printf("%s\n", title);
    std::printf("  over %.1f s: %ld lines sent, %llu shown, %ld lost\n", f.seconds, f.sent,
                static_cast<unsigned long long>(f.shown), f.sent - long(f.shown));
    std::printf("  %.1f lines/s shown; program CPU %.1f %% of one core\n", f.shown / f.seconds,
                100.0 * f.cpu / f.seconds);
}

// The window's own cost of one line, with no port involved.
void MeasureShowingAlone() {
    TFormMain form;
    form.show();
    form.SetLiveControls(QStringLiteral("ACTIVE"));
    const int lines = 20000;
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < lines; ++i)
        form.GetLive(QStringLiteral("*%1&1&1&%2&1&1&13.80&31&1.%3&%4&%5&0.%6&1&1&38&1#\r\n")
                         .arg(i)
                         .arg(i % 2)
                         .arg(300 + i % 500)
                         .arg(i % 7)
                         .arg(50 + i % 150)
                         .arg(500 + i % 400));
    QCoreApplication::processEvents(); // the repaints the lines asked for
    const double elapsed = clock.nsecsElapsed() / 1e9;
    std::printf("showing alone: %d lines in %.2f s = %.0f lines/s (%.1f us CPU a line)\n", lines,
                elapsed, lines / elapsed, 1e6 * (CpuSeconds() - cpuBefore) / lines);
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 10.0;

    QTemporaryDir data;
    QDir(data.path()).mkpath(QStringLiteral("CFG"));
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/CFG/Commands.CSV"),
                data.filePath(QStringLiteral("CFG/Commands.CSV")));
    SetProgramFolder(data.path());
    const QString commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");

    Figures fastest, standard;
    // 1000 a second is more than 115200 baud carries; the GCU sends what fits.
    if (!MeasureRate(1000, seconds, commandsFile, fastest) ||
        !MeasureRate(20, seconds, commandsFile, standard))
        return 1;
    Report("live view, GCU streaming as fast as 115200 baud allows", fastest);
    Report("live view, GCU at its default 20 lines/s", standard);
    MeasureShowingAlone();
    return 0;
}
