// Live data over time in the real window on the simulated GCU: shift times
// measured from the receive side stay true while the window is busy; lines
// missing (live off, lines lost, the link lost) break the plotted lines and
// are marked in the recording; a large recording is read in the background
// while the window paints and a recording goes on; the page's cursors,
// shift table, overlay, export and replay speed.
#include "model/LiveRecording.h"
#include "model/LiveSession.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/LivePlots.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <map>
#include <thread>

namespace {
using Id = LiveFieldId;
using qvtest::WaitFor;

class LiveDataWithGcu : public qvtest::WindowWithGcu {
  protected:
    void ShowPlotsPage() {
        auto& pages = form->Control<TPageControl>(QStringLiteral("PCMain"));
        pages.SetActivePage(&form->Control<TTabSheet>(QStringLiteral("TSLivePlots")));
    }
    void Live(bool on) {
        form->Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(on);
        if (!on)
            return;
        const quint64 before = form->LiveLinesShown();
        ASSERT_TRUE(WaitFor([&] { return form->LiveLinesShown() > before + 3; }));
    }
    // The simulator's lines by their number.
    std::map<long, GcuStatusLogEntry> LogByNumber() const {
        std::map<long, GcuStatusLogEntry> log;
        for (const GcuStatusLogEntry& entry : gcu->StatusLog())
            log[entry.number] = entry;
        return log;
    }
    const LiveHistory& History() const { return form->LiveData().History(); }
    // The line of the history shown at exactly Ms.
    std::optional<size_t> LineAtTime(double ms) const {
        const size_t i = History().LowerBound(ms);
        if (i < History().Size() && History().TimeAt(i) == ms)
            return i;
        return std::nullopt;
    }
};

// ------------------------------------------------------------------ shift times

TEST_F(LiveDataWithGcu, shiftTimesStayWithinOneLineIntervalOfTheTruthWhileTheWindowIsBusy) {
    AutoConnect(mrNo);
    ShowPlotsPage();
    Live(true);
    // The window thread is busy for 200 ms at a time (a slow redraw, a dialog).
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout,
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
    busy.start(300);
    QTest::qWait(30000);
    busy.stop();
    Live(false);
    QTest::qWait(300);
    form->Plots().UpdateControls();

    const auto log = LogByNumber();
    const std::vector<GcuShiftRecord> made = gcu->Shifts();
    const double interval = 50; // 20 lines a second
    const double jitter = 15;   // the simulator's and the receive thread's scheduling
    int compared = 0;
    double worst = 0;
    for (const ShiftEvent& shift : History().Shifts()) {
        SCOPED_TRACE(shift.timeMs);
        const std::optional<size_t> row = LineAtTime(shift.timeMs);
        ASSERT_TRUE(row.has_value());
        const long number = long(History().ValueAt(*row, Id::Counter));
        if (!log.count(number) || !log.count(number - 1))
            continue;
        const double lineTime = log.at(number).rideSeconds;
        const double lineBefore = log.at(number - 1).rideSeconds;
        const auto truth = std::find_if(made.begin(), made.end(), [&](const GcuShiftRecord& r) {
            return r.paddleTime > lineBefore - 1e-6 && r.paddleTime <= lineTime + 1e-6;
        });
        ASSERT_NE(truth, made.end()) << "no shift of the simulator at line " << number;
        ASSERT_FALSE(shift.missed);
        ASSERT_GT(shift.resolutionMs, 0);
        ++compared;
        const double gearError = std::abs(shift.paddleToGearMs - truth->paddleToGear * 1000);
        worst = std::max(worst, gearError);
        EXPECT_LE(gearError, interval + jitter) << "paddle to gear " << shift.paddleToGearMs
                                                << " ms, truth " << truth->paddleToGear * 1000;
        if (std::isfinite(shift.paddleToBarrelMs)) {
            const double barrelError =
                std::abs(shift.paddleToBarrelMs - truth->paddleToBarrel * 1000);
            worst = std::max(worst, barrelError);
            EXPECT_LE(barrelError, interval + jitter)
                << "paddle to barrel " << shift.paddleToBarrelMs << " ms, truth "
                << truth->paddleToBarrel * 1000;
        }
    }
    EXPECT_GE(compared, 5);
    RecordProperty("worstShiftErrorMs", std::to_string(worst));
    std::printf("%d of %zu shifts compared, the worst %.1f ms from the truth\n", compared,
                History().Shifts().size(), worst);
    // The table never shows 0 ms: a shift within one line says "< interval".
    const auto& grid = form->Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    ASSERT_GE(grid.RowCount() - 1, compared);
    for (int r = 1; r < grid.RowCount(); ++r)
        for (int c : {3, 4}) {
            const QString text = grid.Cells(c, r);
            const bool within = text.startsWith(QStringLiteral("< "));
            EXPECT_TRUE(within || text == "-" || QString(text).remove(u'*').toInt() > 0)
                << text.toStdString();
        }
}

// ------------------------------------------------------------------ gaps

int Breaks(const QList<QPointF>& points) {
    return int(std::count_if(points.begin(), points.end(), IsPlotBreak));
}

TEST_F(LiveDataWithGcu, liveOffAndLinesLostBreakTheStripsAndAreMarkedInTheRecording) {
    AutoConnect(mrNo);
    ShowPlotsPage();
    Live(true);
    const QString path = data.FilePath(QStringLiteral("gaps.csv"));
    dialogs.fileAnswers.push_back(path);
    Button("BLivePlotsRecord").click();
    ASSERT_TRUE(form->LiveData().Recorder().IsRecording());
    QTest::qWait(1000);
    Live(false);
    QTest::qWait(1500); // 30 lines' time with live off
    Live(true);
    QTest::qWait(500);
    GcuFaultOptions faults;
    faults.dropStatusLines = 4; // numbered but lost on the way
    gcu->SetFaults(faults);
    const quint64 shown = form->LiveLinesShown();
    ASSERT_TRUE(WaitFor([&] { return form->LiveLinesShown() > shown + 10; }));
    Button("BLivePlotsStopRecording").click();

    // The history names both gaps.
    const auto& gaps = History().Gaps();
    ASSERT_GE(gaps.size(), 2u);
    const LiveGap off = gaps[gaps.size() - 2], lost = gaps.back();
    EXPECT_EQ(off.reason, LiveGapReason::LiveOff);
    EXPECT_GE(off.toMs - off.fromMs, 1400);
    EXPECT_EQ(lost.reason, LiveGapReason::CounterJump);
    EXPECT_EQ(lost.linesMissing, 4);
    // Every line of every strip breaks at both, none is drawn across them.
    form->Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan")).SetItemIndex(1); // 30 s
    form->Plots().Redraw();
    for (const Id field : {Id::Rpm, Id::Barrel, Id::Gear, Id::PaddleUp, Id::Battery}) {
        SCOPED_TRACE(LiveFieldOf(field).key);
        const QList<QPointF>& points = form->Plots().SeriesOf(field)->points;
        EXPECT_EQ(Breaks(points), 2);
        for (const LiveGap& gap : {off, lost})
            for (const QPointF& p : points) {
                if (!IsPlotBreak(p)) {
                    EXPECT_FALSE(p.x() * 1000 > gap.fromMs + 1 && p.x() * 1000 < gap.toMs - 1);
                }
            }
    }
    // The recording says so between the rows around each gap.
    const LiveRecordingFile file = ReadLiveRecording(path);
    ASSERT_EQ(file.gaps.size(), 2u);
    EXPECT_EQ(file.gaps[0].reason, LiveGapReason::LiveOff);
    EXPECT_EQ(file.gaps[1].reason, LiveGapReason::CounterJump);
    EXPECT_EQ(file.gaps[1].linesMissing, 4);
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = raw.readAll().split('\n');
    int gapRows = 0;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith("GAP;") || lines[i].startsWith("GAP;from_ms"))
            continue;
        ++gapRows;
        // Between two rows of lines, whose counters jump by the lines missing.
        const double before = lines[i - 1].split(';').value(2).toDouble();
        const double after = lines[i + 1].split(';').value(2).toDouble();
        if (gapRows == 2) {
            EXPECT_EQ(after - before, 5);
        }
    }
    EXPECT_EQ(gapRows, 2);
}

TEST_F(LiveDataWithGcu, lostLinkLeavesAGapBeforeTheNextLine) {
    AutoConnect(mrNo);
    Live(true);
    gcu->HangUp();
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    EXPECT_EQ(form->LiveData().PendingGap(), LiveGapReason::LinkLost);
    EXPECT_FALSE(form->LiveData().LiveOn());
}

// ------------------------------------------------------------------ a large recording

// Resident memory of the process, bytes.
qint64 ResidentBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

TEST_F(LiveDataWithGcu, hundredMegabyteRecordingIsReadWhileTheWindowPaintsAndRecordingGoesOn) {
    // The file: some 1.1 million rows at 200 lines a second, with shifts.
    const QString big = data.FilePath(QStringLiteral("big.csv"));
    {
        LiveRecorder recorder;
        recorder.Start(big, 0, QDateTime::currentDateTime());
        for (int i = 0;; ++i) {
            if (i % 1000 == 0 && QFileInfo(big).size() >= 100'000'000)
                break;
            LiveSample s;
            s.timeMs = i * 5.0;
            s[Id::Counter] = i;
            s[Id::Gear] = 1 + (i / 400) % 6;
            s[Id::Barrel] = 1000 + 600 * ((i / 400) % 6);
            s[Id::Rpm] = 4000 + (i % 400) * 20;
            s[Id::Tps] = 500 + i % 3000;
            s[Id::Battery] = 13.5 + (i % 50) / 100.0;
            s[Id::GcuTemp] = 38;
            s[Id::ActuatorTemp] = 41;
            recorder.Add(s);
            if (i % 400 == 0 && i > 0) {
                ShiftEvent shift;
                shift.timeMs = s.timeMs - 40;
                shift.fromGear = int(s[Id::Gear]) == 1 ? 6 : int(s[Id::Gear]) - 1;
                shift.toGear = int(s[Id::Gear]);
                shift.paddleToGearMs = 40;
                shift.paddleToBarrelMs = 60;
                shift.resolutionMs = 5;
                recorder.AddShift(shift);
            }
            if (i % 100000 == 0)
                QTest::qWait(50); // let the writer keep up
        }
        ASSERT_TRUE(recorder.Stop(QString::fromLatin1(LiveCsv::EndStopped)));
    }
    const qint64 fileBytes = QFileInfo(big).size();
    ASSERT_GE(fileBytes, 100'000'000);

    AutoConnect(mrNo);
    ShowPlotsPage();
    Live(true);
    const QString recording = data.FilePath(QStringLiteral("meanwhile.csv"));
    form->LiveData().StartRecording(recording);
    QTest::qWait(500);
    const qint64 residentBefore = ResidentBytes();
    qint64 residentMost = residentBefore;
    const quint64 redrawsBefore = form->Plots().Redraws();
    const qint64 longest = qvtest::LongestPauseWhile([&] {
        dialogs.fileAnswers.push_back(big);
        Button("BLivePlotsOpen").click();
        EXPECT_TRUE(form->Plots().Reading());
        EXPECT_TRUE(Button("BLivePlotsCancelReading").isEnabled());
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout,
                         [&] { residentMost = std::max(residentMost, ResidentBytes()); });
        sampler.start(20);
        EXPECT_TRUE(WaitFor([this] { return !form->Plots().Reading(); }, 120000));
    });
    const quint64 redrawsWhileReading = form->Plots().Redraws() - redrawsBefore;
    QTest::qWait(500);
    form->Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(false);
    ASSERT_TRUE(form->LiveData().StopRecording(QString::fromLatin1(LiveCsv::EndStopped)));

    ASSERT_TRUE(form->Plots().InReplay());
    const qint64 rows = qint64(form->Plots().Shown().Size());
    EXPECT_GT(rows, 1'000'000);
    EXPECT_EQ(form->Plots().Shown().ValueAt(size_t(rows - 1), Id::Counter), double(rows - 1));
    std::printf("%lld bytes read: %lld rows; the window waited at most %lld ms; resident memory "
                "grew by %.2f of the file's size\n",
                static_cast<long long>(fileBytes), static_cast<long long>(rows),
                static_cast<long long>(longest),
                double(residentMost - residentBefore) / double(fileBytes));
    EXPECT_LE(longest, 200) << "the window did not answer for this many ms";
    EXPECT_GT(redrawsWhileReading, 2u);
    EXPECT_LT(residentMost - residentBefore, 2 * fileBytes);
    // The recording made meanwhile holds every line, numbered without a gap.
    const LiveRecordingFile meanwhile = ReadLiveRecording(recording);
    ASSERT_GT(meanwhile.samples.size(), 20u);
    EXPECT_TRUE(meanwhile.gaps.empty());
    for (size_t i = 1; i < meanwhile.samples.size(); ++i)
        ASSERT_EQ(meanwhile.samples[i][Id::Counter], meanwhile.samples[i - 1][Id::Counter] + 1)
            << "a line was lost at row " << i;
}

} // namespace
