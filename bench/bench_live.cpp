// Benchmark of the live view in the real window against the simulated GCU,
// which runs as its own process (gcu-sim) so that the CPU measured is the
// program's alone. At 20 and at 200 status lines a second the program's CPU
// use is measured once with the main page in front (the live panel alone) and
// once with the "Live Plots" page in front over the 120 s span and a
// recording running, which must hold every line (rows in the file = lines
// shown = lines in the session's history). Then the GCU streams as fast as
// 115200 baud allows while the mouse moves over the strips, and no line may
// be lost (the GCU numbers its lines in field 0). Then the cost of showing
// one line without any serial traffic, and the opening of a one-hour
// recording for replay. The last line gives the ratios of the CPU with plots
// and recording to the CPU of the panel alone.
//
//     QT_QPA_PLATFORM=offscreen ./bench_live [seconds per measurement]
#include "app/DemoMode.h"
#include "bench/BenchSupport.h"
#include "model/LiveRecording.h"
#include "model/LiveSession.h"
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
#include <QTimer>
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
    // Baud 0: unpaced, for rates the serial line could not carry.
    bool Start(double rate, int baud, const QString& commandsFile) {
        process.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/gcu-sim"));
        process.setArguments({QStringLiteral("--rate"), QString::number(rate),
                              QStringLiteral("--baud"), QString::number(baud),
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

struct Setup {
    double rate = 20;
    int baud = 115200;
    bool plots = false;      // the plots page in front, 120 s, recording
    bool moveCursor = false; // the mouse moves over the strips
};

struct Figures {
    double seconds = 0;
    long sent = 0;
    quint64 shown = 0;
    double cpu = 0;
    // With plots and recording: lines in the session's history and in the file.
    quint64 plotted = 0;
    qint64 recorded = -1;
    quint64 shownWhileRecording = 0;
    quint64 redraws = 0;
    int cursorMoves = 0; // mouse moves that put the cursor somewhere new
    double CpuShare() const { return cpu / seconds; }
};

// One measurement: connect, live on, settle, measure, live off, disconnect.
bool Measure(const Setup& setup, double seconds, const QString& commandsFile, Figures& figures) {
    Simulator gcu;
    if (!gcu.Start(setup.rate, setup.baud, commandsFile)) {
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
    if (setup.plots) {
        auto& pages = form.Control<TPageControl>(QStringLiteral("PCMain"));
        pages.SetActivePage(&form.Control<TTabSheet>(QStringLiteral("TSLivePlots")));
        form.Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan")).SetItemIndex(2); // 120 s
        form.LiveData().StartRecording(recording);
    }
    // The mouse goes to and fro over the top strip, 60 moves a second.
    QTimer mouse;
    int step = 0;
    if (setup.moveCursor) {
        QWidget& strip = form.Plots().StripWidget(0);
        QObject::connect(&mouse, &QTimer::timeout, [&] {
            const int width = std::max(strip.width() - 100, 10);
            const int x = 60 + (step * 7) % width;
            ++step;
            const auto before = form.Plots().HoverMs();
            QTest::mouseMove(&strip, QPoint(x, strip.height() / 2));
            if (form.Plots().HoverMs() && form.Plots().HoverMs() != before)
                ++figures.cursorMoves;
        });
        mouse.start(16);
    }
    const quint64 shownAtRecordingStart = form.LiveLinesShown();
    // The plots fill their span before the measurement (at most 20 s of it).
    QTest::qWait(setup.plots ? 3000 : 500);
    const quint64 shownBefore = form.LiveLinesShown();
    const quint64 plottedBefore = form.LiveData().History().TotalAdded();
    const quint64 redrawsBefore = form.Plots().Redraws();
    const long firstNumber = LastLineNumber(form);
    figures.cursorMoves = 0;
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(int(seconds * 1000));
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.cpu = CpuSeconds() - cpuBefore;
    figures.shown = form.LiveLinesShown() - shownBefore;
    figures.sent = LastLineNumber(form) - firstNumber;
    figures.plotted = form.LiveData().History().TotalAdded() - plottedBefore;
    figures.redraws = form.Plots().Redraws() - redrawsBefore;
    mouse.stop();
    const int cursorMoves = figures.cursorMoves;
    form.Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(false);
    if (setup.plots) {
        figures.shownWhileRecording = form.LiveLinesShown() - shownAtRecordingStart;
        form.LiveData().StopRecording(QString::fromLatin1(LiveCsv::EndStopped));
        figures.recorded = qint64(ReadLiveRecording(recording).samples.size());
    }
    form.close();
    SetDialogs(nullptr);
    figures.cursorMoves = cursorMoves;
    return true;
}

void Report(const char* title, const Figures& f) {
    std::printf("%s\n", title);
    std::printf("  over %.1f s: %ld lines sent, %llu shown, %ld lost\n", f.seconds, f.sent,
                static_cast<unsigned long long>(f.shown), f.sent - long(f.shown));
    std::printf("  %.1f lines/s shown; program CPU %.1f %% of one core\n", f.shown / f.seconds,
                100.0 * f.CpuShare());
    if (f.cursorMoves > 0)
        std::printf("  the cursor moved %d times (%.0f a second)\n", f.cursorMoves,
                    f.cursorMoves / f.seconds);
    if (f.recorded >= 0)
        std::printf("  plotted %llu lines (%llu redraws); recording: %lld rows, %llu lines "
                    "shown while it ran\n",
                    static_cast<unsigned long long>(f.plotted),
                    static_cast<unsigned long long>(f.redraws), static_cast<long long>(f.recorded),
                    static_cast<unsigned long long>(f.shownWhileRecording));
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
    const bool read = QTest::qWaitFor([&form] { return !form.Plots().Reading(); }, 60000);
    form.Plots().Redraw();
    QCoreApplication::processEvents();
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("replay: 72000 rows %s and drawn in %.2f s = %.2f of the 2 s aim\n",
                read ? "read in the background" : "NOT read", seconds, seconds / 2.0);
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
    bench::PreferOffscreen();
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 10.0;

    QTemporaryDir data;
    QDir(data.path()).mkpath(QStringLiteral("CFG"));
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/CFG/Commands.CSV"),
                data.filePath(QStringLiteral("CFG/Commands.CSV")));
    SetProgramFolder(data.path());
    const QString commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");

    Figures panel20, plots20, panel200, plots200, fastest;
    // 200 lines a second is more than 115200 baud carries: that GCU is unpaced.
    // 1000 a second at 115200 baud: the GCU sends what fits.
    if (!Measure({20, 115200, false, false}, seconds, commandsFile, panel20) ||
        !Measure({20, 115200, true, false}, seconds, commandsFile, plots20) ||
        !Measure({200, 0, false, false}, seconds, commandsFile, panel200) ||
        !Measure({200, 0, true, false}, seconds, commandsFile, plots200) ||
        !Measure({1000, 115200, true, true}, seconds, commandsFile, fastest))
        return 1;
    Report("live panel alone (main page), GCU at 20 lines/s", panel20);
    Report("plots page (120 s span) and recording, GCU at 20 lines/s", plots20);
    Report("live panel alone (main page), GCU at 200 lines/s", panel200);
    Report("plots page (120 s span) and recording, GCU at 200 lines/s", plots200);
    Report("plots page, recording and the mouse moving over the strips, as fast as 115200 baud "
           "allows",
           fastest);
    MeasureShowingAlone();
    MeasureReplayOpen();
    std::printf("CPU with plots and recording / live panel alone: %.2f at 20 lines/s, %.2f at "
                "200 lines/s; lines lost at full rate with the cursor moving: %ld of %ld\n",
                plots20.CpuShare() / std::max(panel20.CpuShare(), 1e-9),
                plots200.CpuShare() / std::max(panel200.CpuShare(), 1e-9),
                fastest.sent - long(fastest.shown), fastest.sent);
    return 0;
}
