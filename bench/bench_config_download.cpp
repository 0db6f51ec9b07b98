// Benchmark of the configuration download in the real window against the
// simulated GCU on its pseudo-terminal: the time from answering the offer to
// read the configuration to the report that it has been read, next to the
// time the dump alone needs on the wire at 115200 baud. The last line is the
// median over the wire time ("ratio 1.17").
//
//     QT_QPA_PLATFORM=offscreen ./bench_config_download [rounds]
#include "bench/BenchSupport.h"
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
// Answers the offer with Yes at once and notes when it did, and when the
// report of a finished download came.
class TimingDialogs : public IDialogs {
  public:
    QElapsedTimer clock;
    qint64 answeredAt = -1;
    qint64 reportedAt = -1;
    int errors = 0;

    TModalResult MessageDlg(const QString&, TMsgDlgType type, TMsgDlgButtons) override {
        switch (type) {
        case TMsgDlgType::mtConfirmation:
            answeredAt = clock.nsecsElapsed();
            return mrYes;
        case TMsgDlgType::mtInformation:
            reportedAt = clock.nsecsElapsed();
            return mrOK;
        default:
            ++errors;
            return mrOK;
        }
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(FileDialogRequest&) override { return false; }
    bool SaveFileDialog(FileDialogRequest&) override { return false; }
};

using bench::Median;
} // namespace

int main(int argc, char** argv) {
    bench::PreferOffscreen();
    QApplication app(argc, argv);
    const int rounds = bench::Rounds(argc, argv, 10);

    bench::GcuOnDataFolder setup;
    GcuSimulator& gcu = setup.Gcu();

    TimingDialogs dialogs;
    SetDialogs(&dialogs);
    dialogs.clock.start();
    std::vector<double> millis;
    {
        TFormMain form;
        form.show();
        // The first download follows auto-connect and the GCU's announcement.
        if (!QTest::qWaitFor([&] { return dialogs.reportedAt >= 0; }, 30000)) {
            std::fprintf(stderr, "no download (errors: %d)\n", dialogs.errors);
            return 1;
        }
        for (int round = 0; round < rounds; ++round) {
            if (round > 0) {
                dialogs.reportedAt = -1;
                form.TimerConnectionTimer(form.TimerConnection); // the offer again
                if (dialogs.reportedAt < 0) {
                    std::fprintf(stderr, "download %d failed (errors: %d)\n", round + 1,
                                 dialogs.errors);
                    return 1;
                }
            }
            millis.push_back((dialogs.reportedAt - dialogs.answeredAt) / 1e6);
        }
        form.close();
    }
    SetDialogs(nullptr);

    const qsizetype dumpBytes = gcu.DumpText().size();
    const double wireMs = dumpBytes * 10.0 * 1000.0 / 115200.0; // 8N1: 10 bits a byte
    std::printf("configuration download, %zu rounds\n", millis.size());
    std::printf("  dump: %lld bytes, wire time at 115200 baud: %.1f ms\n",
                static_cast<long long>(dumpBytes), wireMs);
    std::printf("  answer to message 4 -> message 17: median %.1f ms, min %.1f ms, max %.1f ms\n",
                Median(millis), *std::min_element(millis.begin(), millis.end()),
                *std::max_element(millis.begin(), millis.end()));
    std::printf("  overhead over the wire time (median): %.1f ms\n", Median(millis) - wireMs);
    std::printf("ratio %.2f\n", Median(millis) / wireMs);
    gcu.stop();
    return 0;
}
