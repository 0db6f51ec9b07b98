// Benchmark of the live view in the real window against the simulated GCU,
// which runs as its own process (gcu-sim) so that the CPU measured is the
// program's alone: the GCU streams as fast as 115200 baud allows, then at its
// default 20 lines a second. For each rate: status lines sent and shown per
// second, lines lost (the GCU numbers its lines in field 0), and the program's
// CPU use; each rate once with the live panel alone and once with the "Live
// Plots" page shown and a recording running, which must hold every line
// (rows in the file = lines shown = lines in the plots' history). Then the
// cost of showing one line without any serial traffic, and the opening of a
// one-hour recording for replay. The last line is the ratio of the CPU used
// with plots and recording to the CPU of the panel alone, at 20 lines/s.
//
//     QT_QPA_PLATFORM=offscreen ./bench_live [seconds per rate]
#include "app/DemoMode.h"
#include "model/LiveRecording.h"
#include "ui/LivePlots.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

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
    // With plots and recording: lines in the plots' history and in the file.
    quint64 plotted = 0;
    qint64 recorded = -1;
    quint64 redraws = 0;
};

// One rate: connect, live on, settle, measure, live off, disconnect. With
// Plots, the plots page is shown and a recording runs from before the
// measured time to after it.
bool MeasureRate(double rate, double seconds, const QString& commandsFile, Figures& figures,
                 bool plots = false) {
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
    QTemporaryDir recordings;
    const QString recording = recordings.filePath(QStringLiteral("bench.csv"));
    if (plots) {
        auto& pages = form.Control<TPageControl>(QStringLiteral("PCMain"));
        pages.SetActivePage(&form.Control<TTabSheet>(QStringLiteral("TSLivePlots")));
        form.Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan")).SetItemIndex(2); // 120 s
        form.Plots().StartRecording(recording);
    }
    const quint64 shownAtRecordingStart = form.LiveLinesShown();
    if (plots)
        QTest::qWait(500);
    const quint64 shownBefore = form.LiveLinesShown();
    const quint64 plottedBefore = form.Plots().LiveData().TotalAdded();
    const quint64 redrawsBefore = form.Plots().Redraws();
    const long firstNumber = LastLineNumber(form);
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(int(seconds * 1000));
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.cpu = CpuSeconds() - cpuBefore;
    figures.shown = form.LiveLinesShown() - shownBefore;
    figures.sent = LastLineNumber(form) - firstNumber;
    figures.plotted = form.Plots().LiveData().TotalAdded() - plottedBefore;
    figures.redraws = form.Plots().Redraws() - redrawsBefore;
    form.Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(false);
    if (plots) {
        const quint64 shownAll = form.LiveLinesShown();
        form.Plots().StopRecording(QString::fromLatin1(LiveCsv::EndStopped));
        const LiveRecordingFile file = ReadLiveRecording(recording);
        figures.recorded = qint64(file.samples.size());
        std::printf("  recording: %lld rows, %llu lines shown while it ran\n",
                    static_cast<long long>(figures.recorded),
                    static_cast<unsigned long long>(shownAll - shownAtRecordingStart));
    }
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
    if (f.recorded >= 0)
        std::printf("  plotted %llu lines (%llu redraws)\n",
                    static_cast<unsigned long long>(f.plotted),
                    static_cast<unsigned long long>(f.redraws));
}

// A one-hour recording at 20 lines/s opened for replay and drawn.
double MeasureReplayOpen() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.csv"));
    {
        LiveRecorder recorder;
        recorder.Start(path, 0, QDateTime::currentDateTime());
        for (int i = 0; i < 72000; ++i) {
            LiveSample s;
            s.timeMs = i * 50.0;
            for (int f = 0; f < LiveFieldCount; ++f)
                s.values[size_t(f)] = (i * 7 + f * 13) % 1000;
            recorder.Add(s);
        }
        recorder.Stop(QString::fromLatin1(LiveCsv::EndStopped));
    }
    TFormMain form;
    form.show();
    auto& pages = form.Control<TPageControl>(QStringLiteral("PCMain"));
    pages.SetActivePage(&form.Control<TTabSheet>(QStringLiteral("TSLivePlots")));
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    form.Plots().OpenReplay(path);
    form.Plots().Redraw();
    QCoreApplication::processEvents();
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("replay: 72000 rows opened and drawn in %.2f s = %.2f of the 2 s aim\n", seconds,
                seconds / 2.0);
    return seconds;
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

    Figures fastest, standard, fastestPlots, standardPlots;
    // 1000 a second is more than 115200 baud carries; the GCU sends what fits.
    if (!MeasureRate(1000, seconds, commandsFile, fastest) ||
        !MeasureRate(20, seconds, commandsFile, standard) ||
        !MeasureRate(1000, seconds, commandsFile, fastestPlots, true) ||
        !MeasureRate(20, seconds, commandsFile, standardPlots, true))
        return 1;
    Report("live view, GCU streaming as fast as 115200 baud allows", fastest);
    Report("live view, GCU at its default 20 lines/s", standard);
    Report("plots page shown (120 s span) and recording, as fast as 115200 baud allows",
           fastestPlots);
    Report("plots page shown (120 s span) and recording, GCU at 20 lines/s", standardPlots);
    MeasureShowingAlone();
    MeasureReplayOpen();
    std::printf("CPU with plots and recording / live panel alone at 20 lines/s: %.2f\n",
                standardPlots.cpu / std::max(standard.cpu, 1e-9));
    return 0;
}
