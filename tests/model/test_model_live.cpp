// Live data over time without a window: shift detection on crafted streams,
// recordings written and read back, and the history the plots draw from.
#include "model/CommandTable.h"
#include "model/LiveHistory.h"
#include "model/LiveRecording.h"
#include "model/ShiftDetector.h"
#include "util/Exceptions.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
using Id = LiveFieldId;

// ------------------------------------------------------------------ shift detection

// A stream at 20 lines a second; each line is built from the one before.
class Stream {
  public:
    Stream() {
        line_[Id::Gear] = 2;
        line_[Id::Barrel] = 1600;
    }
    Stream& Up(bool on) { return Set(Id::PaddleUp, on ? 1 : 0); }
    Stream& Down(bool on) { return Set(Id::PaddleDown, on ? 1 : 0); }
    Stream& Gear(int gear) { return Set(Id::Gear, gear); }
    Stream& Barrel(double mv) { return Set(Id::Barrel, mv); }
    Stream& Set(Id id, double value) {
        line_[id] = value;
        return *this;
    }
    // Sends the line (after Skipped lines that never arrived).
    void Send(int skipped = 0) {
        time_ += 50.0 * (1 + skipped);
        line_.timeMs = time_;
        for (const ShiftEvent& e : detector.Add(line_))
            shifts.push_back(e);
    }
    void Finish() {
        for (const ShiftEvent& e : detector.Finish())
            shifts.push_back(e);
    }
    double Now() const { return time_; }

    ShiftDetector detector{Bands()};
    std::vector<ShiftEvent> shifts;

  private:
    static GearBands Bands() {
        GearBands bands;
        bands.centreMv = {700, 1300, 1000, 1600, 2200, 2800, 3400, 4000};
        bands.toleranceMv = 100;
        return bands;
    }
    LiveSample line_;
    double time_ = 0;
};

TEST(ShiftDetection, upShift_paddleToGearAndToTheBarrelBand) {
    Stream s;
    s.Send();
    s.Up(true).Send(); // paddle at 100 ms
    const double paddle = s.Now();
    s.Barrel(1900).Send();           // half-way, still second
    s.Gear(3).Barrel(2050).Send();   // gear shown, barrel not yet in its band
    s.Up(false).Barrel(2150).Send(); // within 100 mV of 2200
    s.Send();
    ASSERT_EQ(s.shifts.size(), 1u);
    const ShiftEvent& e = s.shifts[0];
    EXPECT_TRUE(e.up);
    EXPECT_FALSE(e.missed);
    EXPECT_EQ(e.timeMs, paddle);
    EXPECT_EQ(e.fromGear, 2);
    EXPECT_EQ(e.toGear, 3);
    EXPECT_EQ(e.paddleToGearMs, 100);
    EXPECT_EQ(e.paddleToBarrelMs, 150);
    EXPECT_EQ(e.resolutionMs, 50);
}

TEST(ShiftDetection, downShiftIntoNeutralAndGearOnThePaddlesOwnLine) {
    Stream s;
    s.Gear(1).Barrel(1000).Send();
    s.Down(true).Gear(0).Barrel(1290).Send(); // all within one line interval
    s.Down(false).Send();
    ASSERT_EQ(s.shifts.size(), 1u);
    EXPECT_FALSE(s.shifts[0].up);
    EXPECT_EQ(s.shifts[0].fromGear, 1);
    EXPECT_EQ(s.shifts[0].toGear, 0);
    EXPECT_EQ(s.shifts[0].paddleToGearMs, 0);
    EXPECT_EQ(s.shifts[0].paddleToBarrelMs, 0);
}

TEST(ShiftDetection, paddleWithoutGearChangeIsAMissedShift_gearChangeWithoutPaddleIsNone) {
    Stream s;
    s.Send();
    s.Up(true).Send();
    s.Up(false).Send();
    for (int i = 0; i < 25; ++i) // longer than the detector waits for a gear
        s.Send();
    ASSERT_EQ(s.shifts.size(), 1u);
    EXPECT_TRUE(s.shifts[0].missed);
    EXPECT_EQ(s.shifts[0].toGear, 2);
    EXPECT_TRUE(std::isnan(s.shifts[0].paddleToGearMs));

    s.Gear(3).Barrel(2200).Send(); // the gear moved by itself
    s.Send();
    s.Finish();
    EXPECT_EQ(s.shifts.size(), 1u);
}

TEST(ShiftDetection, twoShifts100msApartAreTwoShifts) {
    Stream s;
    s.Send();
    s.Up(true).Send();
    s.Up(false).Gear(3).Barrel(2000).Send(); // barrel still travelling
    s.Up(true).Send();                       // the next paddle 100 ms after the first
    s.Up(false).Gear(4).Barrel(2790).Send();
    s.Finish();
    ASSERT_EQ(s.shifts.size(), 2u);
    EXPECT_EQ(s.shifts[0].toGear, 3);
    EXPECT_EQ(s.shifts[0].paddleToGearMs, 50);
    EXPECT_TRUE(std::isnan(s.shifts[0].paddleToBarrelMs)); // cut short by the next paddle
    EXPECT_EQ(s.shifts[1].timeMs - s.shifts[0].timeMs, 100);
    EXPECT_EQ(s.shifts[1].fromGear, 3);
    EXPECT_EQ(s.shifts[1].toGear, 4);
    EXPECT_EQ(s.shifts[1].paddleToBarrelMs, 50);
}

TEST(ShiftDetection, missedLineWidensTheResolutionOfThatShiftOnly) {
    Stream s;
    s.Send();
    s.Up(true).Send();
    s.Gear(3).Barrel(2200).Send(1); // one line lost before this one
    ASSERT_EQ(s.shifts.size(), 1u);
    EXPECT_EQ(s.shifts[0].paddleToGearMs, 100);
    EXPECT_EQ(s.shifts[0].resolutionMs, 100);
    s.Up(false).Send();
    s.Up(true).Send();
    s.Gear(4).Barrel(2800).Send();
    ASSERT_EQ(s.shifts.size(), 2u);
    EXPECT_EQ(s.shifts[1].resolutionMs, 50);
}

TEST(ShiftDetection, paddleAlreadyHeldAtTheFirstLineIsNotAShift) {
    Stream s;
    s.Up(true).Send();
    s.Gear(3).Send();
    s.Finish();
    EXPECT_TRUE(s.shifts.empty());
}

TEST(ShiftDetection, bandsComeFromTheCommandTablesBarrelRowsAndTolerance) {
    CommandTable commands;
    commands[152].ActualValueFW = 0.7;
    commands[151].ActualValueFW = 1.3;
    commands[147].ActualValueFW = 2.2;
    commands[62].ActualValueFW = 0.08;
    const GearBands bands = GearBandsOf(commands);
    EXPECT_DOUBLE_EQ(*bands.CentreOf(-1), 700);
    EXPECT_DOUBLE_EQ(*bands.CentreOf(0), 1300);
    EXPECT_DOUBLE_EQ(*bands.CentreOf(3), 2200);
    EXPECT_FALSE(bands.CentreOf(4).has_value()); // untaught
    EXPECT_FALSE(bands.CentreOf(7).has_value());
    EXPECT_DOUBLE_EQ(bands.toleranceMv, 80);
}

// ------------------------------------------------------------------ recordings

LiveSample SampleAt(double ms, int i) {
    LiveSample s;
    s.timeMs = ms;
    for (int f = 0; f < LiveFieldCount; ++f)
        s.values[size_t(f)] = f * 10 + i % 7;
    s[Id::Counter] = i;
    s[Id::Battery] = 12.25 + 0.01 * (i % 3);
    s[Id::Gear] = i % 8 - 1;
    return s;
}

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

class Recording : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const char* name = "run.csv") const { return dir.filePath(name); }
    const QDateTime start = QDateTime(QDate(2026, 5, 17), QTime(14, 3, 7, 250));
};

TEST_F(Recording, headerNamesEveryFieldWithItsUnitAndRowsUseADecimalPoint) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German)); // a comma locale must not leak in
    LiveRecorder recorder;
    recorder.Start(Path(), 1000, start);
    recorder.Add(SampleAt(1000, 0));
    recorder.Add(SampleAt(1050, 1));
    ASSERT_TRUE(recorder.Stop(LiveCsv::EndStopped));
    QLocale::setDefault(before);

    const QStringList lines = FileLines(Path());
    ASSERT_EQ(lines.size(), 6); // header, shift and gap headers, 2 rows, end
    const QStringList header = lines[0].split(';');
    ASSERT_EQ(header.size(), LiveFieldCount + 2);
    EXPECT_EQ(header[0], "time_ms");
    EXPECT_EQ(header[1], "wall_clock");
    EXPECT_EQ(header[2 + 6], "Battery [V]");
    EXPECT_EQ(header[2 + 8], "Barrel [mV]");
    EXPECT_EQ(header[2 + 10], "RPM [RPM]");
    EXPECT_EQ(header[2 + 14], QString::fromUtf8("GCUTemp [\u00B0C]"));
    EXPECT_EQ(header[2 + 9], "Gear");
    // Paddles and inputs are 1 while pressed, which the wire sends as 0.
    EXPECT_EQ(header[2 + 4], "PaddleUp [1=pressed, wire 0]");
    EXPECT_EQ(header[2 + 13], "Clutch [1=pressed, wire 0]");
    EXPECT_TRUE(lines[2].startsWith("GAP;"));
    const QStringList row = lines[4].split(';');
    EXPECT_EQ(row[0], "50");
    EXPECT_EQ(row[1], "2026-05-17T14:03:07.300");
    EXPECT_EQ(row[2 + 6], "12.26");
    EXPECT_EQ(row[2 + 9], "0");
    EXPECT_EQ(lines[5], "END;2;stopped");
}

TEST_F(Recording, readsBackRowsShiftsAndHowItEnded) {
    LiveRecorder recorder;
    recorder.Start(Path(), 0, start);
    for (int i = 0; i < 300; ++i) {
        recorder.Add(SampleAt(i * 50.0, i));
        if (i == 120) {
            ShiftEvent shift;
            shift.timeMs = 5950;
            shift.fromGear = 3;
            shift.toGear = 4;
            shift.paddleToGearMs = 50;
            shift.resolutionMs = 50; // barrel unknown
            recorder.AddShift(shift);
            ShiftEvent missed;
            missed.timeMs = 6000;
            missed.up = false;
            missed.fromGear = 4;
            missed.toGear = 4;
            missed.missed = true;
            recorder.AddShift(missed);
        }
    }
    ASSERT_TRUE(recorder.Stop(LiveCsv::EndLinkLost));
    EXPECT_EQ(recorder.LinesAdded(), 300);
    EXPECT_EQ(recorder.LinesWritten(), 300);

    const LiveRecordingFile file = ReadLiveRecording(Path());
    ASSERT_EQ(file.samples.size(), 300u);
    EXPECT_TRUE(file.ended);
    EXPECT_EQ(file.endLines, 300);
    EXPECT_EQ(file.endReason, "link lost");
    EXPECT_EQ(file.started, start);
    for (int i : {0, 7, 299}) {
        const LiveSample expected = SampleAt(i * 50.0, i);
        for (const LiveField& field : LiveFields())
            EXPECT_NEAR(file.samples[size_t(i)][field.id], expected[field.id],
                        std::pow(10.0, -field.decimals) / 2)
                << field.key << " row " << i;
        EXPECT_EQ(file.samples[size_t(i)].timeMs, i * 50.0);
    }
    ASSERT_EQ(file.shifts.size(), 2u);
    EXPECT_EQ(file.shifts[0].timeMs, 5950);
    EXPECT_TRUE(file.shifts[0].up);
    EXPECT_EQ(file.shifts[0].toGear, 4);
    EXPECT_EQ(file.shifts[0].paddleToGearMs, 50);
    EXPECT_TRUE(std::isnan(file.shifts[0].paddleToBarrelMs));
    EXPECT_TRUE(file.shifts[1].missed);
    EXPECT_FALSE(file.shifts[1].up);
    EXPECT_EQ(file.shifts[1].toGear, 4);
}

TEST_F(Recording, fileCutShortByACrashStillReadsItsWholeRows) {
    {
        LiveRecorder recorder;
        recorder.Start(Path(), 0, start);
        for (int i = 0; i < 10; ++i)
            recorder.Add(SampleAt(i * 50.0, i));
        recorder.Stop(LiveCsv::EndStopped);
    }
    QStringList lines = FileLines(Path());
    lines.removeLast();                   // no end line
    lines.last() = lines.last().left(30); // the last row half written
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join('\n').toUtf8());
    file.close();
    const LiveRecordingFile read = ReadLiveRecording(Path());
    EXPECT_FALSE(read.ended);
    EXPECT_EQ(read.samples.size(), 9u);
    EXPECT_EQ(read.rowsSkipped, 1);
}

TEST_F(Recording, rowsReachTheDiskWithinASecondWhileRecording) {
    LiveRecorder recorder;
    recorder.Start(Path(), 0, start);
    recorder.Add(SampleAt(0, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return FileLines(Path()).size() == 4; }, 1200));
    EXPECT_EQ(recorder.LinesWritten(), 1);
    recorder.Stop(LiveCsv::EndStopped);
}

TEST_F(Recording, noLineIsDroppedUnderABurst_andAFileThatCannotBeMadeIsReported) {
    LiveRecorder recorder;
    recorder.Start(Path(), 0, start);
    for (int i = 0; i < 20000; ++i)
        recorder.Add(SampleAt(i * 5.0, i));
    ASSERT_TRUE(recorder.Stop(LiveCsv::EndStopped));
    const LiveRecordingFile file = ReadLiveRecording(Path());
    ASSERT_EQ(file.samples.size(), 20000u);
    for (size_t i = 0; i < file.samples.size(); ++i)
        ASSERT_EQ(file.samples[i][Id::Counter], double(i));

    EXPECT_THROW(recorder.Start(dir.filePath("run.csv/inside"), 0, start), EInOutError);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_THROW(ReadLiveRecording(dir.filePath("missing.csv")), EInOutError);
    QFile other(Path("other.csv"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("ID;Command;Description\n1;MINVBATT;x\n");
    other.close();
    EXPECT_THROW(ReadLiveRecording(Path("other.csv")), EInOutError);
}

TEST_F(Recording, writeErrorIsKeptAndReportedAtStop) {
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    LiveRecorder recorder;
    // /dev/full takes the open and refuses every byte: the header already fails.
    EXPECT_THROW(recorder.Start("/dev/full", 0, start), EInOutError);
}

// The file stops taking bytes part-way (here: the size limit of the process).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write instead of the signal's end
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

  private:
    rlimit old_{};
};

TEST_F(Recording, writeThatFailsPartWayIsKeptAndReportedAtStop) {
    LiveRecorder recorder;
    recorder.Start(Path(), 0, start);
    {
        const FileSizeLimit limit(4096);
        for (int i = 0; i < 200; ++i)
            recorder.Add(SampleAt(i * 50.0, i));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !recorder.Error().isEmpty(); }, 3000));
    }
    EXPECT_FALSE(recorder.Stop(LiveCsv::EndStopped));
    EXPECT_FALSE(recorder.Error().isEmpty());
    EXPECT_LT(recorder.LinesWritten(), 200);
    EXPECT_EQ(recorder.LinesAdded(), 200);
}

// ------------------------------------------------------------------ history

TEST(History, thinnedPointsKeepEveryPeakAndStayWithinTheRange) {
    LiveHistory history;
    for (int i = 0; i < 24000; ++i) { // 120 s at 200 lines a second
        LiveSample s;
        s.timeMs = i * 5.0;
        s[Id::Rpm] = i == 13001 ? 14000 : (i == 17002 ? 100 : 5000 + i % 10);
        history.Add(s);
    }
    QList<QPointF> points;
    history.Points(Id::Rpm, 0, 120000, 600, false, 0, points);
    EXPECT_LE(points.size(), 4 * 600 + 2);
    double high = 0, low = 1e9;
    for (int i = 0; i < points.size(); ++i) {
        high = std::max(high, points[i].y());
        low = std::min(low, points[i].y());
        if (i > 0) {
            EXPECT_GE(points[i].x(), points[i - 1].x());
        }
    }
    EXPECT_EQ(high, 14000);
    EXPECT_EQ(low, 100);

    double from = 0, to = 0;
    ASSERT_TRUE(history.Range(Id::Rpm, 60000, 70000, from, to));
    EXPECT_EQ(to, 14000);
}

TEST(History, stepsHoldEachValueUntilTheNextLine_andOldLinesMakeRoom) {
    LiveHistory history(100);
    for (int i = 0; i < 150; ++i) {
        LiveSample s;
        s.timeMs = i * 50.0;
        s[Id::Gear] = i < 120 ? 2 : 3;
        history.Add(s);
    }
    EXPECT_EQ(history.Size(), 100u);
    EXPECT_EQ(history.FirstMs(), 50 * 50.0);
    QList<QPointF> points;
    history.Points(Id::Gear, 5900, 6100, 600, true, 0, points);
    // 5.90 s (2), 5.95 s (2), then at 6.00 s first still 2, then 3.
    ASSERT_GE(points.size(), 4);
    const int jump = int(
        std::find_if(points.begin(), points.end(), [](const QPointF& p) { return p.y() == 3; }) -
        points.begin());
    ASSERT_GT(jump, 0);
    EXPECT_EQ(points[jump].x(), points[jump - 1].x());
    EXPECT_EQ(points[jump - 1].y(), 2);
}

} // namespace
