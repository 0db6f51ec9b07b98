// The "Live Plots" page in the real window against the simulated GCU: a
// recording holds every status line the GCU sent while it ran, with the
// values the simulator sent, and the shift times match the shifts the
// simulator made; a lost link closes the file with a last line that says so;
// a recording opens for replay without a unit.
#include "model/LiveRecording.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/LivePlots.h"

#include <cmath>
#include <csignal>
#include <map>
#include <set>
#include <sys/resource.h>

namespace {
using Id = LiveFieldId;
using qvtest::WaitFor;

class LivePlotsWithGcu : public qvtest::WindowWithGcu {
  protected:
    void ShowPlotsPage() {
        auto& pages = form->Control<TPageControl>(QStringLiteral("PCMain"));
        pages.SetActivePage(&form->Control<TTabSheet>(QStringLiteral("TSLivePlots")));
    }
    void LiveOn() {
        form->Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(true);
        const quint64 before = form->LiveLinesShown();
        ASSERT_TRUE(WaitFor([&] { return form->LiveLinesShown() > before + 3; }));
    }
    void Record(const QString& path) {
        dialogs.fileAnswers.push_back(path);
        Button("BLivePlotsRecord").click();
        ASSERT_TRUE(form->LiveData().Recorder().IsRecording());
    }
    QString Path(const char* name) const { return data.FilePath(QString::fromLatin1(name)); }

    // The simulator's lines by their number.
    std::map<long, GcuStatusLogEntry> LogByNumber() const {
        std::map<long, GcuStatusLogEntry> log;
        for (const GcuStatusLogEntry& entry : gcu->StatusLog())
            log[entry.number] = entry;
        return log;
    }
};

QStringList SentFields(const GcuStatusLogEntry& entry) {
    return QString::fromLatin1(entry.line).mid(1).chopped(3).split('&');
}

TEST_F(LivePlotsWithGcu, tenSecondRecordingHoldsWhatTheGcuSentAndItsShifts) {
    AutoConnect(mrNo);
    ShowPlotsPage();
    LiveOn();
    Record(Path("ride.csv"));
    QTest::qWait(10000);
    Button("BLivePlotsStopRecording").click();
    EXPECT_FALSE(form->LiveData().Recorder().IsRecording());

    const LiveRecordingFile file = ReadLiveRecording(Path("ride.csv"));
    EXPECT_TRUE(file.ended);
    EXPECT_EQ(file.endReason, "stopped");
    EXPECT_EQ(file.endLines, qint64(file.samples.size()));
    EXPECT_EQ(form->LiveData().Recorder().LinesWritten(), qint64(file.samples.size()));
    // 20 lines a second for 10 s.
    EXPECT_GE(file.samples.size(), 180u);
    EXPECT_LE(file.samples.size(), 220u);

    // Every row is a line the GCU sent, in order, none left out, with its values.
    const auto log = LogByNumber();
    long previous = -1;
    const int rpmFactor = form->RPMFactorGLOB;
    for (const LiveSample& row : file.samples) {
        const long number = long(row[Id::Counter]);
        if (previous >= 0) {
            ASSERT_EQ(number, previous + 1) << "a line was not recorded";
        }
        previous = number;
        ASSERT_TRUE(log.count(number)) << number;
        const QStringList sent = SentFields(log.at(number));
        ASSERT_EQ(sent.size(), 16);
        EXPECT_EQ(row[Id::Gear], sent[9].toInt());
        EXPECT_EQ(row[Id::Barrel], std::lround(sent[8].toDouble() * 1000));
        EXPECT_EQ(row[Id::Tps], std::lround(sent[11].toDouble() * 1000));
        EXPECT_EQ(row[Id::Rpm], std::lround(sent[10].toDouble() * rpmFactor));
        EXPECT_NEAR(row[Id::Battery], sent[6].toDouble(), 0.005);
        EXPECT_EQ(row[Id::PaddleUp], sent[4] == "0" ? 1 : 0);
        EXPECT_EQ(row[Id::PaddleDown], sent[3] == "0" ? 1 : 0);
        EXPECT_EQ(row[Id::Clutch], sent[13] == "0" ? 1 : 0);
    }

    // The shifts measured against the shifts the simulator made.
    const std::vector<GcuShiftRecord> made = gcu->Shifts();
    // The line a shift's event was first seen in: lines that arrived
    // together share a time, so the event itself tells which one it was.
    const auto paddleRow = [&file](const ShiftEvent& shift) {
        const Id paddle = shift.up ? Id::PaddleUp : Id::PaddleDown;
        for (size_t i = 1; i < file.samples.size(); ++i)
            if (std::abs(file.samples[i].timeMs - shift.timeMs) < 0.5 &&
                file.samples[i][paddle] == 1 && file.samples[i - 1][paddle] == 0)
                return i;
        return size_t(0);
    };
    const auto gearRow = [&file](size_t from, int gear) {
        for (size_t i = from; i < file.samples.size(); ++i)
            if (file.samples[i][Id::Gear] == gear)
                return i;
        return size_t(0);
    };
    const auto number = [&file](size_t row) { return long(file.samples[row][Id::Counter]); };
    const double interval = 50;
    const double jitter = 40; // lines are stamped when they arrive
    ASSERT_FALSE(file.shifts.empty());
    std::set<double> matched; // paddle times of the simulator's shifts found
    for (const ShiftEvent& shift : file.shifts) {
        SCOPED_TRACE(shift.timeMs);
        const size_t row = paddleRow(shift);
        ASSERT_GT(row, 0u);
        const long paddleLine = number(row);
        ASSERT_TRUE(log.count(paddleLine) && log.count(paddleLine - 1));
        const double lineTime = log.at(paddleLine).rideSeconds;
        const double lineBefore = log.at(paddleLine - 1).rideSeconds;
        // The simulator's shift whose paddle this line was the first to show.
        const auto it = std::find_if(made.begin(), made.end(), [&](const GcuShiftRecord& r) {
            return r.paddleTime > lineBefore - 1e-6 && r.paddleTime <= lineTime + 1e-6;
        });
        ASSERT_NE(it, made.end()) << "no shift of the simulator at line " << paddleLine;
        matched.insert(it->paddleTime);
        EXPECT_FALSE(shift.missed);
        EXPECT_EQ(shift.fromGear, it->fromGear);
        EXPECT_EQ(shift.toGear, it->toGear);
        // The gear changed between the line before the one that shows it and that line.
        const size_t shown = gearRow(row, shift.toGear);
        ASSERT_GT(shown, 0u);
        const double gearAt = it->paddleTime + it->paddleToGear;
        EXPECT_GT(gearAt, log.at(number(shown) - 1).rideSeconds - 1e-6);
        EXPECT_LE(gearAt, log.at(number(shown)).rideSeconds + 1e-6);
        EXPECT_NEAR(shift.paddleToGearMs, it->paddleToGear * 1000, interval + jitter);
        if (std::isfinite(shift.paddleToBarrelMs)) {
            EXPECT_NEAR(shift.paddleToBarrelMs, it->paddleToBarrel * 1000, interval + jitter);
        }
    }
    // And none of the simulator's shifts inside the recording went unseen.
    const double first = log.at(long(file.samples.front()[Id::Counter])).rideSeconds;
    const double last = log.at(long(file.samples.back()[Id::Counter])).rideSeconds;
    int inside = 0;
    for (const GcuShiftRecord& r : made) {
        if (r.paddleTime <= first || r.paddleTime + 1.0 >= last)
            continue; // at the edges the recording may hold part of a shift
        ++inside;
        EXPECT_TRUE(matched.count(r.paddleTime)) << "unseen shift at " << r.paddleTime;
    }
    EXPECT_GE(inside, 2);

    // The page showed the same shifts, newest first, and drew the stream.
    const auto& grid = form->Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    EXPECT_EQ(grid.Cells(0, 0),
              form->TranslateString(Msg::LivePlotsShiftTitles).section('|', 0, 0));
    EXPECT_TRUE(WaitFor([&] { return grid.RowCount() - 1 >= int(file.shifts.size()); }, 2000));
    EXPECT_GT(form->Plots().Redraws(), 25u); // five a second while lines come
}

TEST_F(LivePlotsWithGcu, lostLinkClosesTheRecordingWithALastLineThatSaysSo) {
    AutoConnect(mrNo);
    LiveOn();
    Record(Path("lost.csv"));
    ASSERT_TRUE(WaitFor([this] { return form->LiveData().Recorder().LinesAdded() >= 20; }));
    gcu->HangUp();
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    EXPECT_FALSE(form->LiveData().Recorder().IsRecording());
    EXPECT_FALSE(Button("BLivePlotsRecord").isEnabled());
    const LiveRecordingFile file = ReadLiveRecording(Path("lost.csv"));
    EXPECT_TRUE(file.ended);
    EXPECT_EQ(file.endReason, "link lost");
    EXPECT_EQ(file.endLines, qint64(file.samples.size()));
    EXPECT_EQ(qint64(file.samples.size()), form->LiveData().Recorder().LinesAdded());
    EXPECT_EQ(file.rowsSkipped, 0);
}

TEST_F(LivePlotsWithGcu, recordingsAreOfferedInTheUsersDataFolderAndNotMadeWhenCancelled) {
    AutoConnect(mrNo);
    ASSERT_TRUE(Button("BLivePlotsRecord").isEnabled());
    Button("BLivePlotsRecord").click(); // no file answer: cancelled
    EXPECT_FALSE(form->LiveData().Recorder().IsRecording());
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked.back().kind, "save");
    EXPECT_TRUE(TFormMain::RecordingsFolder().startsWith(data.UserPath()));
    EXPECT_TRUE(QDir(TFormMain::RecordingsFolder()).exists());
}

// ------------------------------------------------------------------ replay

class LivePlotsReplay : public qvtest::WindowOnDataFolder {};

TEST_F(LivePlotsReplay, recordingOpensWithoutAUnit_scrollsAndReturnsToLive) {
    const QString path = data.FilePath(QStringLiteral("hour.csv"));
    {
        LiveRecorder recorder;
        recorder.Start(path, 0, QDateTime::currentDateTime());
        for (int i = 0; i < 72000; ++i) { // an hour at 20 lines a second
            LiveSample s;
            s.timeMs = i * 50.0;
            s[Id::Counter] = i;
            s[Id::Gear] = 1 + (i / 40) % 6;
            s[Id::Barrel] = 1000 + 600 * ((i / 40) % 6);
            s[Id::Rpm] = 4000 + (i % 40) * 150;
            recorder.Add(s);
            if (i % 40 == 0 && i > 0) {
                ShiftEvent shift;
                shift.timeMs = s.timeMs - 50;
                shift.fromGear = (i / 40 - 1) % 6 + 1;
                shift.toGear = int(s[Id::Gear]);
                shift.paddleToGearMs = 50;
                shift.paddleToBarrelMs = 50;
                shift.resolutionMs = 50;
                recorder.AddShift(shift);
            }
        }
        ASSERT_TRUE(recorder.Stop(LiveCsv::EndStopped));
    }
    auto& pages = form->Control<TPageControl>(QStringLiteral("PCMain"));
    pages.SetActivePage(&form->Control<TTabSheet>(QStringLiteral("TSLivePlots")));
    EXPECT_FALSE(Button("BLivePlotsRecord").isEnabled()); // no link
    dialogs.fileAnswers.push_back(path);
    QElapsedTimer clock;
    clock.start();
    Button("BLivePlotsOpen").click();
    ASSERT_TRUE(WaitFor([this] { return !form->Plots().Reading(); }));
    form->Plots().Redraw();
    const qint64 openMs = clock.elapsed();
    EXPECT_LT(openMs, 4000) << "opening took " << openMs << " ms"; // aim: under 2 s
    LivePlots& plots = form->Plots();
    ASSERT_TRUE(plots.InReplay());
    EXPECT_EQ(plots.Shown().Size(), 72000u);
    EXPECT_EQ(plots.Shown().Shifts().size(), 1799u);
    EXPECT_TRUE(Button("BLivePlotsShowLive").isEnabled());
    EXPECT_TRUE(Check("CBLivePlotsPause").Checked());
    // The first seconds of the file, then scrolled on by half a span.
    EXPECT_DOUBLE_EQ(plots.EndMs(), plots.SpanMs());
    Button("BLivePlotsForward").click();
    EXPECT_DOUBLE_EQ(plots.EndMs(), 1.5 * plots.SpanMs());
    plots.Redraw();
    const LivePlotLine* barrel = plots.SeriesOf(Id::Barrel);
    ASSERT_NE(barrel, nullptr);
    ASSERT_GT(barrel->points.size(), 10);
    EXPECT_GE(barrel->points.back().x(), 14.9);
    EXPECT_LE(barrel->points.front().x(), 5.0);
    // Zooming the time axis leaves the values, zooming values leaves the time.
    const double span = plots.SpanMs();
    plots.ZoomValues(1, 0.5);
    EXPECT_DOUBLE_EQ(plots.SpanMs(), span);
    plots.ZoomTime(0.5);
    EXPECT_DOUBLE_EQ(plots.SpanMs(), span / 2);
    Button("BLivePlotsResetZoom").click();
    EXPECT_DOUBLE_EQ(plots.SpanMs(), 10000);
    // The shift table lists the file's shifts, newest first.
    const auto& grid = form->Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    EXPECT_EQ(grid.Cells(0, 1), "3597,95");
    Button("BLivePlotsShowLive").click();
    EXPECT_FALSE(plots.InReplay());
    EXPECT_TRUE(plots.Following());
}

TEST_F(LivePlotsReplay, recordingWhoseFileStopsTakingRowsEndsAndSaysSo) {
    LiveSession& live = form->LiveData();
    live.StartRecording(data.FilePath(QStringLiteral("full.csv")));
    std::signal(SIGXFSZ, SIG_IGN); // the file size limit fails the write instead
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    for (int i = 0; i < 300; ++i) {
        LiveSample s;
        s[Id::Counter] = i;
        live.TakeLine(s, SteadyClock::now());
    }
    const bool reported =
        WaitFor([this] { return TimesAsked(Msg::LivePlotsWriteFailed) == 1; }, 5000);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(reported);
    EXPECT_FALSE(live.Recorder().IsRecording());
    EXPECT_LT(live.Recorder().LinesWritten(), 300);
}

TEST_F(LivePlotsReplay, fileThatIsNoRecordingIsReportedAndTheViewStays) {
    dialogs.fileAnswers.push_back(data.FilePath(QStringLiteral("CFG/Commands.CSV")));
    Button("BLivePlotsOpen").click();
    EXPECT_TRUE(WaitFor([this] { return !form->Plots().Reading(); }));
    EXPECT_EQ(TimesAsked(Msg::LivePlotsNotARecording), 1);
    EXPECT_FALSE(form->Plots().InReplay());
}

TEST_F(LivePlotsReplay, seriesSwitchOffAndOnWithTheirBoxes) {
    LivePlots& plots = form->Plots();
    int plotted = 0;
    for (const LiveField& field : LiveFields()) {
        const LivePlotLine* series = plots.SeriesOf(field.id);
        auto* box = form->Find<TCheckBox>(QStringLiteral("CBLivePlots") + field.key);
        EXPECT_EQ(series != nullptr, field.strip != LivePlotStrip::None) << field.key;
        EXPECT_EQ(box != nullptr, series != nullptr) << field.key;
        if (!series || !box)
            continue;
        ++plotted;
        EXPECT_TRUE(box->Checked()) << field.key; // all shown after start-up
        EXPECT_TRUE(series->visible);
        box->SetChecked(false);
        EXPECT_FALSE(series->visible) << field.key;
        box->SetChecked(true);
        EXPECT_TRUE(series->visible);
        plots.Redraw();
        EXPECT_EQ(series->name, box->Caption()); // named as its box, in the language shown
    }
    EXPECT_EQ(plotted, 12);
}

} // namespace
