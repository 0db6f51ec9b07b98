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
#include "util/UnitUtils.h"

#include <QElapsedTimer>
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
    ConnectAndRead(); // the taught barrel positions give the barrel times
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
    int compared = 0, barrels = 0;
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
            ++barrels;
            const double barrelError =
                std::abs(shift.paddleToBarrelMs - truth->paddleToBarrel * 1000);
            worst = std::max(worst, barrelError);
            EXPECT_LE(barrelError, interval + jitter)
                << "paddle to barrel " << shift.paddleToBarrelMs << " ms, truth "
                << truth->paddleToBarrel * 1000;
        }
    }
    EXPECT_GE(compared, 5);
    EXPECT_GE(barrels, compared - 1); // a shift cut short at the end may lack it
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

// ------------------------------------------------------------------ the page on a recording

class LivePlotsPage : public qvtest::WindowOnDataFolder {
  protected:
    // 20 lines a second; 2 s of live off after line 100; an up-shift 2 -> 3
    // at line 198, 3 -> 4 at line 300.
    static double T(int i) { return i * 50.0 + (i > 100 ? 2000 : 0); }
    static ShiftEvent ShiftAt(int i, int from) {
        ShiftEvent shift;
        shift.timeMs = T(i);
        shift.fromGear = from;
        shift.toGear = from + 1;
        shift.paddleToGearMs = 100;
        shift.paddleToBarrelMs = 150;
        shift.resolutionMs = 50;
        return shift;
    }
    // Shifted later by OffsetMs, the engine 500 RPM faster.
    QString Write(const char* name, double offsetMs = 0, double rpmMore = 0) {
        const QString path = data.FilePath(QString::fromLatin1(name));
        LiveRecorder recorder;
        recorder.Start(path, 0, QDateTime::currentDateTime());
        for (int i = 0; i < 400; ++i) {
            LiveSample s;
            s.timeMs = T(i) + offsetMs;
            s[Id::Counter] = i;
            s[Id::Rpm] = 4000 + i * 10 + rpmMore;
            s[Id::Gear] = i < 200 ? 2 : (i < 302 ? 3 : 4);
            s[Id::Barrel] = i < 200 ? 1600 : (i < 302 ? 2200 : 2800);
            s[Id::PaddleUp] = (i >= 198 && i < 202) || (i >= 300 && i < 304) ? 1 : 0;
            s[Id::Battery] = 13.5;
            if (i == 101)
                recorder.AddGap({T(100) + offsetMs, T(101) + offsetMs, LiveGapReason::LiveOff, -1});
            recorder.Add(s);
            for (int at : {198, 300})
                if (i == at + 4) {
                    ShiftEvent shift = ShiftAt(at, at == 198 ? 2 : 3);
                    shift.timeMs += offsetMs;
                    recorder.AddShift(shift);
                }
        }
        EXPECT_TRUE(recorder.Stop(QString::fromLatin1(LiveCsv::EndStopped)));
        return path;
    }
    void Open(const QString& path) {
        auto& pages = form->Control<TPageControl>(QStringLiteral("PCMain"));
        pages.SetActivePage(&form->Control<TTabSheet>(QStringLiteral("TSLivePlots")));
        dialogs.fileAnswers.push_back(path);
        Button("BLivePlotsOpen").click();
        ASSERT_TRUE(WaitFor([this] { return !Plots().Reading(); }));
        ASSERT_TRUE(Plots().InReplay());
    }
    LivePlots& Plots() const { return form->Plots(); }
    TStringGrid& Shifts() const {
        return form->Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    }
    void ClickShiftRow(int row) {
        TStringGrid& grid = Shifts();
        const QRect cell = grid.visualRect(grid.model()->index(row, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    }
    QWidget& Strip(int index) const { return Plots().StripWidget(index); }
    QPoint InStrip(int index, double fraction) const {
        QWidget& strip = Strip(index);
        return {int(50 + fraction * (strip.width() - 100)), strip.height() / 2};
    }
};

TEST_F(LivePlotsPage, shiftRowCentresTheStrips_cursorsReadValuesAndDifferences_mouseSetsThem) {
    Open(Write("run.csv"));
    ASSERT_EQ(Shifts().RowCount(), 3); // title, then the newest first
    EXPECT_EQ(Shifts().Cells(0, 1), RealToStrDec(T(300) / 1000, 2));
    EXPECT_EQ(Shifts().Cells(5, 1), "50"); // every row carries its resolution
    ClickShiftRow(2);
    EXPECT_DOUBLE_EQ(Plots().SpanMs(), LivePlots::ShiftSpanMs);
    EXPECT_DOUBLE_EQ(Plots().EndMs() - Plots().SpanMs() / 2, T(198) + 75); // paddle to barrel
    EXPECT_TRUE(Check("CBLivePlotsPause").Checked());
    EXPECT_TRUE(Button("BLivePlotsPlay").isEnabled());

    // Values at a time, in their units; the difference between two times.
    EXPECT_EQ(Plots().ValueText(Id::Rpm, T(150)), "5500 RPM");
    EXPECT_EQ(Plots().ValueText(Id::Rpm, T(150) + 20), "5500 RPM"); // until the next line
    EXPECT_EQ(Plots().ValueText(Id::Gear, T(150)), "2");
    EXPECT_EQ(Plots().ValueText(Id::Battery, T(150)), "13,50 V");
    EXPECT_EQ(Plots().ValueText(Id::PaddleUp, T(199)),
              form->TranslateString(Msg::LivePlotsPressed));
    EXPECT_EQ(Plots().ValueText(Id::PaddleUp, T(150)),
              form->TranslateString(Msg::LivePlotsReleased));
    EXPECT_EQ(Plots().ValueText(Id::Rpm, T(100) + 1000), "-"); // lines missing there
    EXPECT_EQ(Plots().ValueText(Id::Rpm, T(399) + 1000), "-"); // after the last line
    EXPECT_EQ(Plots().DifferenceText(Id::Rpm, T(150), T(160)), "+100 RPM");
    EXPECT_EQ(Plots().DifferenceText(Id::Barrel, T(250), T(150)), "-600 mV");
    EXPECT_EQ(Plots().DifferenceText(Id::Gear, T(150), T(250)), ""); // a state
    EXPECT_EQ(Plots().DifferenceText(Id::Rpm, T(150), T(100) + 1000), "");

    // The mouse: over the strips it shows the time under it; a click sets the
    // first cursor there, a shift-click the second, a right click clears both.
    const auto hoverAt = [this](double fraction) {
        QTest::mouseMove(&Strip(1), InStrip(1, fraction));
        return Plots().HoverMs().value_or(NoValue);
    };
    const double a = hoverAt(0.3), b = hoverAt(0.7);
    EXPECT_GT(a, Plots().EndMs() - Plots().SpanMs());
    EXPECT_GT(b, a);
    EXPECT_LT(b, Plots().EndMs());
    QTest::mouseClick(&Strip(1), Qt::LeftButton, {}, InStrip(1, 0.3));
    QTest::mouseClick(&Strip(1), Qt::LeftButton, Qt::ShiftModifier, InStrip(1, 0.7));
    EXPECT_EQ(Plots().CursorMs(false), a);
    EXPECT_EQ(Plots().CursorMs(true), b);
    QTest::mouseClick(&Strip(1), Qt::RightButton, {}, InStrip(1, 0.5));
    EXPECT_FALSE(Plots().CursorMs(false) || Plots().CursorMs(true));

    // Dragging pans (the data follows the mouse); with Ctrl it zooms to the
    // range dragged over.
    const double end = Plots().EndMs();
    QTest::mousePress(&Strip(1), Qt::LeftButton, {}, InStrip(1, 0.7));
    QTest::mouseMove(&Strip(1), InStrip(1, 0.3));
    QTest::mouseRelease(&Strip(1), Qt::LeftButton, {}, InStrip(1, 0.3));
    EXPECT_NEAR(Plots().EndMs() - end, b - a, 1e-6);
    EXPECT_FALSE(Plots().CursorMs(false).has_value()); // a drag is no click
    const double from = hoverAt(0.2), to = hoverAt(0.6);
    QTest::mousePress(&Strip(1), Qt::LeftButton, Qt::ControlModifier, InStrip(1, 0.2));
    QTest::mouseMove(&Strip(1), InStrip(1, 0.6));
    QTest::mouseRelease(&Strip(1), Qt::LeftButton, Qt::ControlModifier, InStrip(1, 0.6));
    EXPECT_NEAR(Plots().SpanMs(), to - from, 1e-6);
    EXPECT_NEAR(Plots().EndMs(), to, 1e-6);
}

TEST_F(LivePlotsPage, overlayAlignsTheChosenShiftsAndPlayRunsAtItsSpeed_exportWritesTheTable) {
    Open(Write("run.csv"));
    // A second stretch of the same recording: the later shift over the earlier.
    ClickShiftRow(1);
    EXPECT_TRUE(Button("BLivePlotsOverlayShift").isEnabled());
    Button("BLivePlotsOverlayShift").click();
    ClickShiftRow(2);
    ASSERT_TRUE(Plots().HasOverlay());
    EXPECT_DOUBLE_EQ(Plots().OverlayOffsetMs(), T(198) - T(300));
    Plots().Redraw();
    const auto valueAt = [](const QList<QPointF>& points, double ms) {
        for (const QPointF& p : points)
            if (!IsPlotBreak(p) && std::abs(p.x() * 1000 - ms) < 0.5)
                return p.y();
        return NoValue;
    };
    // On the shown axis at the earlier paddle, the faded line has the later one's RPM.
    EXPECT_EQ(valueAt(Plots().SeriesOf(Id::Rpm)->overlay, T(198)), 4000 + 300 * 10);
    EXPECT_EQ(valueAt(Plots().SeriesOf(Id::Rpm)->points, T(198)), 4000 + 198 * 10);
    Button("BLivePlotsOverlayClear").click();
    EXPECT_FALSE(Plots().HasOverlay());

    // Another recording, 7 s later and 500 RPM faster, aligned on its later
    // shift as the overlay box chooses.
    dialogs.fileAnswers.push_back(Write("other.csv", 7000, 500));
    Button("BLivePlotsOverlayFile").click();
    ASSERT_TRUE(WaitFor([this] { return !Plots().Reading(); }));
    auto& choice = form->Control<TComboBox>(QStringLiteral("CBLivePlotsOverlayShift"));
    ASSERT_EQ(choice.count(), 2);
    EXPECT_TRUE(choice.isEnabled());
    choice.SetItemIndex(1);
    EXPECT_DOUBLE_EQ(Plots().OverlayOffsetMs(), T(198) - (T(300) + 7000));
    Plots().Redraw();
    EXPECT_EQ(valueAt(Plots().SeriesOf(Id::Rpm)->overlay, T(198)), 4000 + 300 * 10 + 500);

    // The shift table alone, as CSV.
    const QString table = data.FilePath(QStringLiteral("shifts.csv"));
    dialogs.fileAnswers.push_back(table);
    Button("BLivePlotsExportShifts").click();
    QFile written(table);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), LiveCsv::ShiftTableHeaderLine() +
                                     LiveCsv::ShiftTableLine(ShiftAt(198, 2)) +
                                     LiveCsv::ShiftTableLine(ShiftAt(300, 3)));

    // Play at 16 times: the view runs through the recording and stops at its end.
    form->Control<TComboBox>(QStringLiteral("CBLivePlotsSpeed")).SetItemIndex(2);
    EXPECT_EQ(Plots().Speed(), 16);
    const double start = Plots().EndMs();
    QElapsedTimer clock;
    clock.start();
    Button("BLivePlotsPlay").click();
    EXPECT_TRUE(Plots().Playing());
    EXPECT_FALSE(Check("CBLivePlotsPause").Checked());
    QTest::qWait(700);
    const double moved = Plots().EndMs() - start;
    EXPECT_GT(moved, 16 * (clock.elapsed() - 450.0)); // redrawn five times a second
    EXPECT_LE(moved, 16 * double(clock.elapsed()) + 1);
    ASSERT_TRUE(WaitFor([this] { return !Plots().Playing(); }, 5000));
    EXPECT_DOUBLE_EQ(Plots().EndMs(), T(399));
    EXPECT_TRUE(Check("CBLivePlotsPause").Checked());
}

} // namespace
