// Benchmark of "Transmit All" in the real window against the simulated GCU on
// its pseudo-terminal: every writable parameter that a control shows is
// loaded as an "L" entry (as a configuration file loads them), then "Transmit
// All" sends them one by one, each after the GCU's answer to the one before,
// and stores them, then reads the configuration back to check the store.
// Printed next to it: the time the frames and the answers alone need on the
// wire at 115200 baud, the read-back's own share, and the paint events the
// window received during the runs (the window is shown: the platform paints it
// as a screen would). The last line is the median over the wire time
// ("ratio 1.38").
//
//     QT_QPA_PLATFORM=offscreen ./bench_transmit_all [rounds]
#include "bench/BenchSupport.h"
#include "device/ConfigDump.h"
#include "gcusim/GcuCommandProcessor.h"
#include "gcusim/GcuSimulator.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Yes to every question, OK to every report; errors (the no-answer message
// among them) are counted.
class CountingDialogs : public IDialogs {
  public:
    int reports = 0;
    int errors = 0;
    TModalResult MessageDlg(const QString&, TMsgDlgType type, TMsgDlgButtons) override {
        if (type == TMsgDlgType::mtError || type == TMsgDlgType::mtWarning)
            ++errors;
        if (type == TMsgDlgType::mtInformation)
            ++reports;
        return type == TMsgDlgType::mtConfirmation ? mrYes : mrOK;
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(FileDialogRequest&) override { return false; }
    bool SaveFileDialog(FileDialogRequest&) override { return false; }
};

// Every parameter a control shows and the GCU takes, as a loaded entry with
// the value the window shows. Returns the number of entries.
int LoadWritableParameters(TFormMain& form) {
    form.Sequence.ClearAll();
    int place = 0;
    for (int id = 1; id <= CommandCount && place < SequenceCount; ++id) {
        const TCommandRecord& row = form.Commands[id];
        // Parameters the simulated unit's PCB (4.3) does not have are never sent.
        if (row.WriteToGCUID <= 0 || row.SenderName1.isEmpty() || !IsVisibleOnPcb(row, 43))
            continue;
        TSequenceRecord& entry = form.Sequence[++place];
        entry.CommandID = id;
        entry.Command = row.Command;
        entry.Description = row.Description;
        entry.ActualValueFW = row.ActualValueFW;
        entry.ActualValueSW = row.ActualValueSW;
        entry.Status = QStringLiteral("L");
        entry.SenderType = row.SenderType;
        entry.SenderName1 = row.SenderName1;
        entry.SenderName2 = row.SenderName2;
        entry.ActivePageIndex1 = row.ActivePageIndex1;
        entry.ActivePageIndex2 = row.ActivePageIndex2;
        CutSequenceTexts(entry);
    }
    form.FillSGSequence();
    form.EnableControls();
    return place;
}

// Bytes on the wire for the entries' frames, the GCU's answers ("OK" + word +
// value) and the closing store with its answer.
qint64 WireBytes(const TFormMain& form, int entries) {
    qint64 bytes = 0;
    for (int i = 1; i <= entries; ++i) {
        const QString frame = form.SequenceRules.TransmitFrameText(i);
        const QString argument = frame.mid(10).section(u']', 0, 0); // after "[WORDWORD "
        bytes += frame.size() + GcuAnswer::Ok(form.Sequence[i].Command + u' ' + argument).size();
    }
    bytes += QByteArrayLiteral("[SAVEPRMT 0]\r\n").size() + GcuAnswer::Ok("SAVEPRMT").size();
    return bytes;
}

// The window's own share: the same selection, marking and repainting per
// entry, without anything sent or awaited.
double WindowOnlyMillis(TFormMain& form) {
    const int entries = LoadWritableParameters(form);
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= entries; ++i) {
        form.SequenceRules.SelectGridRow(i);
        form.SequenceRules.MarkTransmitted(i);
        QCoreApplication::processEvents();
    }
    form.SequenceRules.SelectGridRow(1);
    form.EnableControls();
    QCoreApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

using bench::Median;

// Counts the paint events of the window's widgets, and of the sequence grid's
// cells among them.
class PaintCounter : public QObject {
  public:
    PaintCounter(QWidget* window, QWidget* grid) : window_(window), grid_(grid) {
        QApplication::instance()->installEventFilter(this);
    }
    long window = 0;
    long grid = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == window_)
            ++window;
        if (watched == grid_)
            ++grid;
        return false;
    }

  private:
    QWidget* window_;
    QWidget* grid_;
};

} // namespace

int main(int argc, char** argv) {
    bench::PreferOffscreen();
    QApplication app(argc, argv);
    const int rounds = bench::Rounds(argc, argv, 5);

    bench::GcuOnDataFolder setup;
    GcuSimulator& gcu = setup.Gcu();

    CountingDialogs dialogs;
    SetDialogs(&dialogs);
    std::vector<double> millis;
    std::vector<double> windowMillis;
    std::vector<double> readBackMillis;
    int entries = 0;
    qint64 wireBytes = 0;
    long windowPaints = 0;
    long gridPaints = 0;
    {
        TFormMain form;
        form.show();
        // Auto-connect, the offer to read (Yes) and the download's report.
        if (!QTest::qWaitFor([&] { return dialogs.reports > 0; }, 30000)) {
            std::fprintf(stderr, "no connection or download (errors: %d)\n", dialogs.errors);
            return 1;
        }
        auto& transmitAll = form.Control<TButton>(QStringLiteral("BSequenceTransmitAll"));
        PaintCounter paints(&form,
                            form.Control<TStringGrid>(QStringLiteral("SGSequence")).viewport());
        for (int round = 0; round < rounds; ++round) {
            entries = LoadWritableParameters(form);
            wireBytes = WireBytes(form, entries);
            const int framesBefore = gcu.FramesReceived();
            QElapsedTimer clock;
            clock.start();
            form.BSequenceTransmitAllClick(&transmitAll);
            // The store goes out last, without a wait: until the GCU has it.
            const bool stored =
                gcu.WaitUntil([&] { return gcu.FramesReceived() >= framesBefore + entries + 1; },
                              std::chrono::milliseconds(10000));
            const qint64 elapsed = clock.nsecsElapsed();
            const bool allSent = form.Sequence[entries].Status == QLatin1String("T");
            if (!stored || !allSent || dialogs.errors > 0) {
                std::fprintf(stderr, "round %d incomplete (errors: %d)\n", round + 1,
                             dialogs.errors);
                return 1;
            }
            millis.push_back(elapsed / 1e6);
        }
        windowPaints = paints.window;
        gridPaints = paints.grid;
        for (int round = 0; round < rounds; ++round)
            windowMillis.push_back(WindowOnlyMillis(form));
        // The read-back alone: one download of what the unit holds.
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer clock;
            clock.start();
            const ReadOutcome read = form.Session.ReadSilently();
            readBackMillis.push_back(clock.nsecsElapsed() / 1e6);
            if (!read.Ok()) {
                std::fprintf(stderr, "read-back round %d not read\n", round + 1);
                return 1;
            }
        }
        form.Sequence.ClearAll(); // closing asks nothing
        form.close();
    }
    SetDialogs(nullptr);

    const double wireMs = wireBytes * 10.0 * 1000.0 / 115200.0; // 8N1: 10 bits a byte
    const double median = Median(millis);
    std::printf("Transmit All, %d entries, %zu rounds\n", entries, millis.size());
    std::printf("  frames and answers: %lld bytes, wire time at 115200 baud: %.1f ms\n",
                static_cast<long long>(wireBytes), wireMs);
    std::printf("  click -> store received: median %.1f ms, min %.1f ms, max %.1f ms\n", median,
                *std::min_element(millis.begin(), millis.end()),
                *std::max_element(millis.begin(), millis.end()));
    std::printf("  per entry (median): %.2f ms; overhead over the wire time: %.1f ms\n",
                median / entries, median - wireMs);
    std::printf("  the window's share alone (select, mark, repaint; nothing sent): median "
                "%.1f ms\n",
                Median(windowMillis));
    std::printf("  read-back after store (one download of %d values): median %.1f ms\n", entries,
                Median(readBackMillis));
    std::printf("  paint events during the runs, per round: %.1f in the window, %.1f of the grid\n",
                double(windowPaints) / rounds, double(gridPaints) / rounds);
    std::printf("ratio %.2f\n", median / wireMs);
    gcu.stop();
    return 0;
}
