// The live session without a window, driven by random streams (seeded, and
// shrunk to the shortest failing prefix): lines missing for any reason break
// every plotted line there, the history and the recording name the gap, and
// the plot columns kept as lines come equal columns built afresh. Shift
// times across a gap; recordings read in blocks of any size and in the
// background.
#include "model/LivePlotColumns.h"
#include "model/LiveRecording.h"
#include "model/LiveSession.h"
#include "support/FileLimits.h"
#include "util/Exceptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {
using Id = LiveFieldId;
using std::chrono::milliseconds;

// ------------------------------------------------------------------ random streams

// What happens before the next line.
enum class Cause { None, SkipLines, Silence, LiveOffOn, LinkLost };
struct Step {
    Cause cause = Cause::None;
    int amount = 0; // lines skipped, ms of silence
};

std::vector<Step> RandomSteps(unsigned seed, int count) {
    std::mt19937 rng(seed);
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i) {
        const int roll = int(rng() % 100);
        Step step;
        if (i > 3 && roll < 5)
            step = {Cause::SkipLines, 1 + int(rng() % 20)};
        else if (i > 3 && roll < 9)
            step = {Cause::Silence, 300 + int(rng() % 2000)};
        else if (i > 3 && roll < 12)
            step = {Cause::LiveOffOn, 0};
        else if (i > 3 && roll < 14)
            step = {Cause::LinkLost, 0};
        steps.push_back(step);
    }
    return steps;
}

std::string Describe(const std::vector<Step>& steps) {
    static const char* names[] = {"line", "skip", "silence", "live off/on", "link lost"};
    std::ostringstream out;
    for (const Step& step : steps)
        out << names[int(step.cause)]
            << (step.amount ? "(" + std::to_string(step.amount) + ")" : "") << ", ";
    return out.str();
}

// A line's values follow from its counter, so a break is the only thing
// that can tell two lines apart from their neighbours.
LiveSample LineNumbered(long counter) {
    LiveSample sample;
    sample[Id::Counter] = double(counter);
    sample[Id::Rpm] = 3000 + (counter * 37) % 5000;
    sample[Id::Gear] = 1 + (counter / 9) % 6;
    sample[Id::PaddleUp] = counter % 9 == 0 ? 1 : 0;
    sample[Id::Barrel] = 1000 + 600 * ((counter / 9) % 6);
    sample[Id::Battery] = 13.5;
    return sample;
}

struct Run {
    std::vector<LiveGap> expected; // in the order the causes came
    size_t linesBeforeLinkLoss = 0;
    size_t expectedBeforeLinkLoss = 0;
    bool linkLost = false;
};

// Feeds one line per step (the step's cause before it) at 20 lines a second
// with some jitter, recording from the start.
Run Feed(LiveSession& session, const std::vector<Step>& steps, SteadyTime origin,
         const QString& recording) {
    Run run;
    std::mt19937 jitter(7);
    double now = 0;
    long counter = 100;
    session.LinkOpened();
    session.LiveSwitched(true);
    session.StartRecording(recording);
    double lastLine = -1;
    for (const Step& step : steps) {
        std::optional<LiveGap> gap;
        switch (step.cause) {
        case Cause::None:
            break;
        case Cause::SkipLines:
            counter += step.amount;
            gap = LiveGap{0, 0, LiveGapReason::CounterJump, step.amount};
            break;
        case Cause::Silence:
            now += step.amount;
            gap = LiveGap{0, 0, LiveGapReason::Silence, -1};
            break;
        case Cause::LiveOffOn:
            session.LiveSwitched(false);
            now += 400;
            session.LiveSwitched(true);
            gap = LiveGap{0, 0, LiveGapReason::LiveOff, -1};
            break;
        case Cause::LinkLost:
            session.LinkLost();
            if (!run.linkLost) {
                run.linkLost = true;
                run.expectedBeforeLinkLoss = run.expected.size();
            }
            now += 800;
            session.LinkOpened();
            session.LiveSwitched(true);
            counter = 0; // a unit started afresh numbers from 0
            gap = LiveGap{0, 0, LiveGapReason::LinkLost, -1};
            break;
        }
        now += 50 + double(jitter() % 11) - 5;
        if (gap && lastLine >= 0) {
            gap->fromMs = lastLine;
            gap->toMs = now;
            run.expected.push_back(*gap);
        }
        session.TakeLine(LineNumbered(counter++), origin + milliseconds(qint64(now)));
        lastLine = now;
        if (!run.linkLost)
            ++run.linesBeforeLinkLoss;
    }
    session.StopRecording(QString::fromLatin1(LiveCsv::EndStopped));
    return run;
}

// The breaks in a list of points, and whether a point lies inside a gap.
int Breaks(const QList<QPointF>& points) {
    return int(std::count_if(points.begin(), points.end(), IsPlotBreak));
}
bool PointInside(const QList<QPointF>& points, const LiveGap& gap) {
    return std::any_of(points.begin(), points.end(), [&](const QPointF& p) {
        return !IsPlotBreak(p) && p.x() * 1000 > gap.fromMs + 0.5 && p.x() * 1000 < gap.toMs - 0.5;
    });
}

// Everything checked of one run; empty when it holds.
std::string CheckRun(const std::vector<Step>& steps, const QString& folder) {
    const SteadyTime origin = SteadyClock::now();
    LiveSession session(LiveHistory::DefaultMaxSamples, origin);
    const QString file = folder + QStringLiteral("/run.csv");
    const Run run = Feed(session, steps, origin, file);
    std::ostringstream failure;
    const LiveHistory& history = session.History();
    // The history names every gap, with its reason and the lines missing.
    const auto& gaps = history.Gaps();
    if (gaps.size() != run.expected.size())
        return "history holds " + std::to_string(gaps.size()) + " gaps, " +
               std::to_string(run.expected.size()) + " expected";
    for (size_t i = 0; i < gaps.size(); ++i)
        if (!(gaps[i] == run.expected[i]))
            failure << "gap " << i << " is " << GapReasonKey(gaps[i].reason) << " "
                    << gaps[i].fromMs << ".." << gaps[i].toMs << " missing " << gaps[i].linesMissing
                    << ", expected " << GapReasonKey(run.expected[i].reason) << " "
                    << run.expected[i].fromMs << ".." << run.expected[i].toMs << " missing "
                    << run.expected[i].linesMissing << "; ";
    // Every plotted line breaks at every gap, and only there, thinned or not,
    // from the history or from the columns the page keeps.
    const double from = history.FirstMs() - 1, to = history.LastMs() + 1;
    LivePlotColumns columns;
    columns.Update(history, from, to, (to - from) / 300);
    for (const Id field : {Id::Rpm, Id::Gear, Id::PaddleUp}) {
        const bool step = LiveFieldOf(field).step;
        for (int width : {300, 100000}) {
            QList<QPointF> points;
            history.Points(field, from, to, width, step, 0, points);
            if (Breaks(points) != int(gaps.size()))
                failure << LiveFieldOf(field).key << " at " << width << " columns breaks "
                        << Breaks(points) << " times; ";
            for (const LiveGap& gap : gaps)
                if (PointInside(points, gap))
                    failure << LiveFieldOf(field).key << " has a point inside a gap; ";
        }
        QList<QPointF> kept;
        columns.Points(field, from, to, step, 0, kept);
        if (Breaks(kept) != int(gaps.size()))
            failure << LiveFieldOf(field).key << " columns break " << Breaks(kept) << " times; ";
    }
    // The recording holds the lines and gaps up to the link's loss, with
    // times from its start; read in blocks of any size it is the same.
    LiveRecordingFile recorded;
    try {
        recorded = ReadLiveRecording(file);
    } catch (const QvException& error) {
        return "recording unreadable: " + error.Message().toStdString();
    }
    if (recorded.samples.size() != run.linesBeforeLinkLoss)
        failure << "recording holds " << recorded.samples.size() << " rows, "
                << run.linesBeforeLinkLoss << " expected; ";
    const size_t recordedGaps = run.linkLost ? run.expectedBeforeLinkLoss : run.expected.size();
    if (recorded.gaps.size() != recordedGaps)
        failure << "recording holds " << recorded.gaps.size() << " gaps, " << recordedGaps
                << " expected; ";
    const double start = history.FirstMs() - recorded.samples.front().timeMs;
    for (size_t i = 0; i < std::min(recorded.gaps.size(), recordedGaps); ++i) {
        const LiveGap& g = recorded.gaps[i];
        if (g.reason != gaps[i].reason || g.linesMissing != gaps[i].linesMissing ||
            std::abs(g.toMs + start - gaps[i].toMs) > 1)
            failure << "recorded gap " << i << " differs; ";
    }
    const QString reason = QString::fromLatin1(run.linkLost ? "link lost" : "stopped");
    if (recorded.endReason != reason)
        failure << "recording ended " << recorded.endReason.toStdString() << "; ";
    QFile whole(file);
    whole.open(QIODevice::ReadOnly);
    const QByteArray bytes = whole.readAll();
    std::mt19937 cut(int(steps.size()));
    LiveRecordingParser parser(file);
    size_t rows = 0, gapRows = 0, gapFlags = 0;
    parser.onRow = [&](const LiveSample&, bool gapBefore) {
        ++rows;
        gapFlags += gapBefore;
    };
    parser.onGap = [&](const LiveGap&) { ++gapRows; };
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = std::min<qsizetype>(1 + cut() % 97, bytes.size() - at);
        parser.Feed(bytes.constData() + at, n);
        at += n;
    }
    parser.Finish();
    if (rows != recorded.samples.size() || gapRows != recorded.gaps.size() ||
        gapFlags != recorded.gaps.size())
        failure << "read in blocks: " << rows << " rows, " << gapRows << " gaps, " << gapFlags
                << " rows after a gap; ";
    return failure.str();
}

TEST(LiveSessionGaps, everyMissingStretchBreaksThePlotsAndIsNamedInHistoryAndRecording) {
    QTemporaryDir folder;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const std::vector<Step> steps = RandomSteps(seed, 150);
        if (CheckRun(steps, folder.path()).empty())
            continue;
        // Shrink: the shortest failing prefix.
        size_t length = 1;
        while (length < steps.size() &&
               CheckRun({steps.begin(), steps.begin() + qsizetype(length)}, folder.path()).empty())
            ++length;
        const std::vector<Step> shortest(steps.begin(), steps.begin() + qsizetype(length));
        ADD_FAILURE() << "seed " << seed << ", " << length << " steps: " << Describe(shortest)
                      << "\n"
                      << CheckRun(shortest, folder.path());
        return;
    }
}

// ------------------------------------------------------------------ plot columns

// QList equality that takes two breaks as equal.
bool SamePoints(const QList<QPointF>& a, const QList<QPointF>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (IsPlotBreak(a[i]) != IsPlotBreak(b[i]) || (!IsPlotBreak(a[i]) && a[i] != b[i]))
            return false;
    return true;
}

TEST(LivePlotColumns, keptAsLinesComeTheyEqualColumnsBuiltAfresh_andEachLineIsReadOnce) {
    for (unsigned seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const SteadyTime origin = SteadyClock::now();
        LiveSession session(LiveHistory::DefaultMaxSamples, origin);
        LivePlotColumns kept;
        const double span = 3000, columnMs = span / 240;
        double now = 0;
        long counter = 0;
        session.LiveSwitched(true);
        bool differs = false;
        for (int i = 0; i < 3000 && !differs; ++i) {
            now += (rng() % 50 == 0) ? 700 : 5 + rng() % 3; // 200 lines/s, now and then silent
            if (rng() % 200 == 0)
                counter += 3;
            session.TakeLine(LineNumbered(counter++), origin + milliseconds(qint64(now)));
            if (i % 7 != 0)
                continue; // redrawn every few lines, as the page does
            const LiveHistory& history = session.History();
            kept.Update(history, now - span, now, columnMs);
            LivePlotColumns fresh;
            fresh.Update(history, now - span, now, columnMs);
            for (const Id field : {Id::Rpm, Id::Gear}) {
                QList<QPointF> a, b;
                kept.Points(field, now - span, now, LiveFieldOf(field).step, 0, a);
                fresh.Points(field, now - span, now, LiveFieldOf(field).step, 0, b);
                double lowA = 0, highA = 0, lowB = 0, highB = 0;
                kept.Range(field, now - span, now, lowA, highA);
                fresh.Range(field, now - span, now, lowB, highB);
                if (!SamePoints(a, b) || lowA != lowB || highA != highB) {
                    ADD_FAILURE() << "after line " << i << ", field " << LiveFieldOf(field).key;
                    differs = true;
                }
            }
        }
        // Following the stream, the columns were built once and took each line once.
        EXPECT_EQ(kept.Rebuilds(), 1u);
        EXPECT_LE(kept.LinesTaken(), session.History().TotalAdded());
        // Looking back builds them afresh, once.
        kept.Update(session.History(), now / 2 - span, now / 2, columnMs);
        EXPECT_EQ(kept.Rebuilds(), 2u);
    }
}

// ------------------------------------------------------------------ shifts across a gap

TEST(LiveSessionShifts, liveOffCompletesAShiftWhoseGearWasSeen_andDropsOneStillWaiting) {
    const SteadyTime origin = SteadyClock::now();
    LiveSession session(LiveHistory::DefaultMaxSamples, origin);
    session.LiveSwitched(true);
    double now = 0;
    long counter = 0;
    const auto line = [&](int gear, bool paddle) {
        LiveSample s = LineNumbered(counter++);
        s[Id::Gear] = gear;
        s[Id::PaddleUp] = paddle ? 1 : 0;
        s[Id::PaddleDown] = 0;
        now += 50;
        session.TakeLine(s, origin + milliseconds(qint64(now)));
    };
    line(2, false);
    line(2, true); // paddle
    line(3, true); // gear, the barrel not yet in its band (no bands known)
    session.LiveSwitched(false);
    session.LiveSwitched(true);
    line(3, false);
    line(3, true); // paddle, then the stream stops before the gear changes
    session.LiveSwitched(false);
    session.LiveSwitched(true);
    line(4, false);
    line(4, false);
    const auto& shifts = session.History().Shifts();
    ASSERT_EQ(shifts.size(), 1u);
    EXPECT_EQ(shifts[0].fromGear, 2);
    EXPECT_EQ(shifts[0].toGear, 3);
    EXPECT_EQ(shifts[0].paddleToGearMs, 50);
    EXPECT_TRUE(std::isnan(shifts[0].paddleToBarrelMs));
    EXPECT_FALSE(shifts[0].missed);
}

// ------------------------------------------------------------------ shift rows and the table

TEST(ShiftRows, aTimeWithinOneLineIsWrittenAsLessThanTheInterval_andReadBackAsSuch) {
    QTemporaryDir dir;
    ShiftEvent sameLine;
    sameLine.timeMs = 1200;
    sameLine.fromGear = 1;
    sameLine.toGear = 0;
    sameLine.up = false;
    sameLine.paddleToGearMs = 0;
    sameLine.paddleToBarrelMs = 50;
    sameLine.resolutionMs = 50;
    EXPECT_EQ(LiveCsv::ShiftTableLine(sameLine), "1200;DOWN;1;0;<50;50;50\n");
    const QString table = dir.filePath(QStringLiteral("shifts.csv"));
    WriteShiftTable(table, {sameLine});
    QFile written(table);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), LiveCsv::ShiftTableHeaderLine() + "1200;DOWN;1;0;<50;50;50\n");
    EXPECT_THROW(WriteShiftTable(dir.filePath(QStringLiteral("none/x.csv")), {}), EInOutError);
    // A table the system refuses to write is reported with its cause, and the
    // table saved before stays whole.
    {
        qvtest::FilesCannotGrow full;
        try {
            WriteShiftTable(table, {sameLine, sameLine});
            ADD_FAILURE() << "a table that could not be written was reported as saved";
        } catch (const EInOutError& error) {
            EXPECT_TRUE(error.Message().endsWith(QStringLiteral("File too large")))
                << error.Message().toStdString();
        }
    }
    QFile kept(table);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), LiveCsv::ShiftTableHeaderLine() + "1200;DOWN;1;0;<50;50;50\n");

    LiveRecorder recorder;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    recorder.Start(path, 0, QDateTime::currentDateTime());
    LiveSample row;
    recorder.Add(row);
    recorder.AddShift(sameLine);
    ASSERT_TRUE(recorder.Stop(QString::fromLatin1(LiveCsv::EndStopped)));
    const LiveRecordingFile file = ReadLiveRecording(path);
    ASSERT_EQ(file.shifts.size(), 1u);
    EXPECT_EQ(file.shifts[0].paddleToGearMs, 0);
    EXPECT_EQ(file.shifts[0].resolutionMs, 50);
    EXPECT_EQ(file.shifts[0].toGear, 0);
}

// ------------------------------------------------------------------ reading in the background

TEST(RecordingLoad, readsIntoAHistory_refusesOtherFiles_andStopsWhenCancelled) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    {
        LiveRecorder recorder;
        recorder.Start(path, 0, QDateTime::currentDateTime());
        for (int i = 0; i < 60000; ++i) { // some 5 MB, several blocks
            LiveSample s = LineNumbered(i);
            s.timeMs = i * 5.0;
            recorder.Add(s);
        }
        ASSERT_TRUE(recorder.Stop(QString::fromLatin1(LiveCsv::EndStopped)));
    }
    {
        LiveRecordingLoad load(path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return load.Done(); }, 30000));
        EXPECT_DOUBLE_EQ(load.Fraction(), 1.0);
        const std::unique_ptr<LiveHistory> history = load.TakeHistory();
        ASSERT_NE(history, nullptr);
        EXPECT_EQ(history->Size(), 60000u);
        EXPECT_EQ(history->ValueAt(59999, Id::Counter), 59999);
        EXPECT_TRUE(load.Summary().ended);
    }
    {
        LiveRecordingLoad load(QStringLiteral(QV_SOURCE_DIR "/CFG/Commands.CSV"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return load.Done(); }, 30000));
        EXPECT_EQ(load.TakeHistory(), nullptr);
        EXPECT_TRUE(load.Error().contains(QStringLiteral("not a live recording")));
        EXPECT_FALSE(load.Cancelled());
    }
    {
        LiveRecordingLoad load(path);
        load.Cancel();
        ASSERT_TRUE(QTest::qWaitFor([&] { return load.Done(); }, 30000));
        if (load.Fraction() < 1.0) { // cancelled before the last block
            EXPECT_TRUE(load.Cancelled());
            EXPECT_EQ(load.TakeHistory(), nullptr);
            EXPECT_TRUE(load.Error().isEmpty());
        }
    }
}

} // namespace
