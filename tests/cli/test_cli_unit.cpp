// quarventa-cli against a simulated GCU on a pseudo-terminal, listed as a GCU
// adapter: one table of runs, each with its arguments, exit status and output,
// and afterwards what the unit holds and stored, which frames went on the
// wire and which restore points were kept. The runs follow each other on the
// same unit, as a team's script would: back up, change, compare, restore, a
// unit that keeps an old value, one that hangs up at the store, none at all.
#include "support/CliRunner.h"
#include "support/LoopbackGcu.h"

#include "gcusim/GcuSimulator.h"
#include "gcusim/IntelHex.h"
#include "model/ConfigText.h"
#include "model/LiveRecording.h"
#include "model/RestorePoints.h"
#include "model/UnitRegistry.h"
#include "serial/PortListing.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

using qvtest::CliRun;
using qvtest::RunCliWith;

constexpr const char* GcuAdapterName = "Arduino Mega 2560 (simulated GCU)";
constexpr int MinimumBattery = 1; // MINVBATT, volts with one decimal
constexpr int Ratio2 = 18;        // RATIOGR2
constexpr int DownShiftLimit2 = 56;
constexpr int Gear2Primary = 131;
constexpr int Gear2Secondary = 132;

class UnitOnPty : public ::testing::Test {
  public:
    double Held(int id) const { return gcu->ParameterById(id).value_or(NAN); }
    double Stored(int id) const { return gcu->StoredParameterById(id).value_or(NAN); }
    std::unique_ptr<GcuSimulator> gcu;

  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        SetUserDataFolder(folder.filePath("user"));
        TPortListingOptions listing;
        listing.sysfsRoot = folder.filePath("sysfs");
        SetPortListingOptions(listing);
        const GcuSimulatorOptions options = SimulatorOptions();
        gcu = std::make_unique<GcuSimulator>(options);
        gcu->start();
        port = options.linkPath;
        ListPorts({port});
    }
    void TearDown() override {
        gcu->stop();
        qunsetenv("GCU_EXTRA_PORTS");
        SetPortListingOptions(TPortListingOptions());
        SetUserDataFolder(QString());
    }
    virtual int BootWindowMs() const { return 200; }
    GcuSimulatorOptions SimulatorOptions() const {
        GcuSimulatorOptions options;
        options.commandsFile = QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV");
        options.stateFile = folder.filePath("gcu-state.txt");
        options.linkPath = folder.filePath("gcu");
        options.bootWindowMs = BootWindowMs();
        options.baudRate = 0;
        options.statusLinesPerSecond = 50;
        return options;
    }
    // The ports offered as GCU adapters, as auto-connect finds them.
    static void ListPorts(const QStringList& paths) {
        QStringList entries;
        for (const QString& path : paths)
            entries << path + u'=' + QLatin1String(GcuAdapterName);
        qputenv("GCU_EXTRA_PORTS", entries.join(u';').toLocal8Bit());
    }
    // Every point's reason and the later moments noted on it.
    QStringList PointReasons() const {
        QStringList reasons;
        for (const QString& key : KnownUnitKeys(UserDataFolder()))
            for (const RestorePointInfo& point :
                 RestorePointStore(UnitsFolder(UserDataFolder()) + u'/' + key).List()) {
                reasons << point.reason;
                for (const RestorePointMoment& moment : point.alsoTaken)
                    reasons << moment.reason;
            }
        return reasons;
    }
    QTemporaryDir folder;
    QString port;
};

// What a run may put on the wire.
enum class Wire { ReadsOnly, Writes, Nothing, Any };

bool IsWrite(const QByteArray& frame) {
    return !frame.startsWith("[INVPARAM") && !frame.contains(" ?]");
}

struct CliStep {
    const char* what;
    QStringList arguments; // "@" stands for the temporary folder
    CliExit exit;
    QStringList outHas;
    QStringList outLacks;
    Wire wire;
    QStringList newPoints; // reasons of the points the run keeps (at least these)
    std::function<void(UnitOnPty&)> before;
    // Empty when what the unit holds afterwards is right, else what is wrong.
    std::function<QString(UnitOnPty&, const CliRun&, const QList<QByteArray>& frames)> check;
};

TEST_F(UnitOnPty, subcommands_onASimulatedUnit_giveTheirStatusesOutputsValuesFramesAndPoints) {
    const QString dir = folder.path();
    // The unit's own values at the start, within their limits.
    const double batteryAtStart = Held(MinimumBattery);
    const double teethAtStart = Held(Gear2Secondary);
    std::map<int, double> backedUp;

    const std::vector<CliStep> runs = {
        {"info names the unit's firmware, PCB and reboots",
         {"info"},
         CliExit::Done,
         {"Firmware:", "5.0.9", "PCB version:", "4.3", "Reboots:"},
         {},
         Wire::ReadsOnly,
         {RestoreReason::Downloaded},
         {},
         {}},
        {"a text backup holds every value the unit holds",
         {"backup", "@/unit.qvt", "--port", "@/gcu"},
         CliExit::Done,
         {"unit.qvt"},
         {},
         Wire::ReadsOnly,
         {},
         {},
         [&](UnitOnPty& t, const CliRun&, const QList<QByteArray>&) {
             const ConfigTextRecords text =
                 ReadConfigTextFile(dir + "/unit.qvt", qvtest::ShippedCommandTable());
             if (!text.leftOut.isEmpty() || text.file.records.size() < 100)
                 return QStringLiteral("backup read back with %1 values, %2 left out")
                     .arg(text.file.records.size())
                     .arg(text.leftOut.size());
             for (const TCommandRecord& record : text.file.records) {
                 backedUp[record.ID] = record.ActualValueFW;
                 if (std::abs(record.ActualValueFW - t.Held(record.ID)) > 1e-6)
                     return QStringLiteral("%1: file %2, unit %3")
                         .arg(record.Command)
                         .arg(record.ActualValueFW)
                         .arg(t.Held(record.ID));
             }
             return QString();
         }},
        {"a record backup is written too",
         {"backup", "@/unit.QCF"},
         CliExit::Done,
         {},
         {},
         Wire::ReadsOnly,
         {},
         {},
         [&](UnitOnPty&, const CliRun&, const QList<QByteArray>&) {
             return QFileInfo(dir + "/unit.QCF").size() % 784 == 0 &&
                            QFileInfo(dir + "/unit.QCF").size() > 0
                        ? QString()
                        : QStringLiteral("no whole records in unit.QCF");
         }},
        {"get shows values in display units with a decimal point",
         {"get", "MINVBATT", "gear2sec", "--port", "@/gcu"},
         CliExit::Done,
         {QStringLiteral("MINVBATT = %1").arg(batteryAtStart, 0, 'f', 1),
          QStringLiteral("GEAR2SEC = %1").arg(teethAtStart)},
         {},
         Wire::ReadsOnly,
         {},
         {},
         {}},
        {"get of an unknown word asks the unit nothing",
         {"get", "NOSUCHWD"},
         CliExit::Refused,
         {},
         {},
         Wire::Nothing,
         {},
         {},
         {}},
        {"set above the limit sends nothing",
         {"set", "MINVBATT=99", "--yes"},
         CliExit::Refused,
         {},
         {"verified"},
         Wire::ReadsOnly,
         {},
         {},
         {}},
        {"set of a value the GCU holds only in steps sends nothing",
         {"set", "RPMLIMIT=13001", "--yes"},
         CliExit::Refused,
         {},
         {},
         Wire::ReadsOnly,
         {},
         {},
         {}},
        {"set with an unknown word, a non-number and a duplicate asks the unit nothing",
         {"set", "NOSUCHWD=1", "MINVBATT=abc", "MINVBATT=11", "--yes"},
         CliExit::Refused,
         {},
         {},
         Wire::Nothing,
         {},
         {},
         {}},
        {"set inside the limits is stored and verified",
         {"set", "MINVBATT=11.7", "--yes"},
         CliExit::Done,
         {"MINVBATT=11.7", "Stored and verified"},
         {},
         Wire::Writes,
         {RestoreReason::Stored},
         {},
         [](UnitOnPty& t, const CliRun&, const QList<QByteArray>&) {
             return t.Held(MinimumBattery) == 11.7 && t.Stored(MinimumBattery) == 11.7
                        ? QString()
                        : QStringLiteral("unit holds %1, stored %2")
                              .arg(t.Held(MinimumBattery))
                              .arg(t.Stored(MinimumBattery));
         }},
        {"set of a gear's teeth sends the ratio and down-shift limit that follow",
         {"set", QStringLiteral("GEAR2SEC=%1").arg(teethAtStart + 3), "--yes"},
         CliExit::Done,
         {"RATIOGR2=", "DNLIMGR2=", "Stored and verified"},
         {},
         Wire::Writes,
         {RestoreReason::Stored},
         {},
         [&](UnitOnPty& t, const CliRun&, const QList<QByteArray>& frames) {
             QStringList words;
             for (const QByteArray& frame : frames)
                 if (IsWrite(frame))
                     words << QString::fromLatin1(frame.mid(1, 8));
             const double ratio =
                 std::round(t.Held(Gear2Secondary) / t.Held(Gear2Primary) * 100) / 100;
             if (!words.contains("GEAR2SEC") || !words.contains("RATIOGR2") ||
                 !words.contains("DNLIMGR2"))
                 return QStringLiteral("written: ") + words.join(u' ');
             if (t.Held(Gear2Secondary) != teethAtStart + 3 || t.Stored(Ratio2) != ratio ||
                 t.Held(DownShiftLimit2) == backedUp[DownShiftLimit2])
                 return QStringLiteral("ratio %1 (%2 expected), limit %3")
                     .arg(t.Stored(Ratio2))
                     .arg(ratio)
                     .arg(t.Held(DownShiftLimit2));
             return QString();
         }},
        {"diff lists what changed since the backup",
         {"diff", "@/unit.qvt"},
         CliExit::Differences,
         {"MINVBATT\t", "GEAR2SEC\t", "RATIOGR2\t", "DNLIMGR2\t"},
         {"RPMLIMIT\t"},
         Wire::ReadsOnly,
         {},
         {},
         {}},
        {"restore of the backup sends what differs and verifies",
         {"restore", "@/unit.qvt", "--yes"},
         CliExit::Done,
         {"Stored and verified"},
         {},
         Wire::Writes,
         {RestoreReason::Stored},
         {},
         [&](UnitOnPty& t, const CliRun&, const QList<QByteArray>& frames) {
             for (const auto& [id, value] : backedUp)
                 if (std::abs(t.Stored(id) - value) > 1e-6)
                     return QStringLiteral("ID %1 stored %2, backup %3")
                         .arg(id)
                         .arg(t.Stored(id))
                         .arg(value);
             int writes = 0;
             for (const QByteArray& frame : frames)
                 writes += IsWrite(frame) && !frame.startsWith("[SAVEPRMT") ? 1 : 0;
             return writes <= 12 ? QString()
                                 : QStringLiteral("%1 values sent for 4 changed").arg(writes);
         }},
        {"diff after the restore finds nothing",
         {"diff", "@/unit.qvt", "--json"},
         CliExit::Done,
         {},
         {},
         Wire::ReadsOnly,
         {},
         {},
         [](UnitOnPty&, const CliRun& run, const QList<QByteArray>&) {
             const QJsonObject diff = QJsonDocument::fromJson(run.out.toUtf8()).object();
             return diff.contains("differences") && diff.value("differences").toArray().isEmpty()
                        ? QString()
                        : QStringLiteral("differences: ") + run.out;
         }},
        {"restore of the record backup when nothing differs sends nothing",
         {"restore", "@/unit.QCF", "--yes"},
         CliExit::Done,
         {},
         {},
         Wire::ReadsOnly,
         {},
         {},
         {}},
        {"monitor records the live values in the window's format",
         {"monitor", "--seconds", "2", "--record", "@/ride.csv"},
         CliExit::Done,
         {},
         {},
         Wire::Any,
         {},
         {},
         [&](UnitOnPty&, const CliRun&, const QList<QByteArray>&) {
             const LiveRecordingFile recording = ReadLiveRecording(dir + "/ride.csv");
             return recording.samples.size() >= 20 && recording.endReason == "stopped"
                        ? QString()
                        : QStringLiteral("%1 samples, end \"%2\"")
                              .arg(recording.samples.size())
                              .arg(recording.endReason);
         }},
        {"a unit that keeps an old value gives status 5",
         {"set", "MINVBATT=12.4", "--yes"},
         CliExit::NotVerified,
         {},
         {"Stored and verified"},
         Wire::Writes,
         {},
         [](UnitOnPty& t) {
             GcuFaultOptions faults;
             faults.keepOldValueOf = {MinimumBattery};
             t.gcu->SetFaults(faults);
         },
         [](UnitOnPty& t, const CliRun& run, const QList<QByteArray>&) {
             t.gcu->SetFaults(GcuFaultOptions());
             return run.err.contains("MINVBATT") ? QString()
                                                 : QStringLiteral("the value kept is not named");
         }},
        {"a unit that hangs up at the store is never called verified",
         {"set", "MINVBATT=12.2", "--yes"},
         CliExit::NotVerified,
         {},
         {"Stored and verified"},
         Wire::Writes,
         {},
         [](UnitOnPty& t) {
             GcuFaultOptions faults;
             faults.hangUpOnWord = QStringLiteral("SAVEPRMT");
             t.gcu->SetFaults(faults);
         },
         {}},
        {"no unit on the port gives status 3",
         {"info", "--port", "@/gcu"},
         CliExit::NoUnit,
         {},
         {},
         Wire::Nothing,
         {},
         {},
         {}},
    };

    for (const CliStep& run : runs) {
        SCOPED_TRACE(run.what);
        if (run.before)
            run.before(*this);
        QStringList arguments;
        for (const QString& argument : run.arguments)
            arguments << (argument.startsWith(u'@') ? dir + argument.mid(1) : argument);
        const int framesBefore = gcu->FramesReceived();
        const QStringList pointsBefore = PointReasons();
        const CliRun result = RunCliWith(arguments);
        const QList<QByteArray> frames = gcu->ReceivedFrames().mid(framesBefore);

        EXPECT_EQ(int(result.exit), int(run.exit)) << qPrintable(result.out + result.err);
        for (const QString& text : run.outHas)
            EXPECT_TRUE(result.out.contains(text)) << qPrintable(text + " in\n" + result.out);
        for (const QString& text : run.outLacks)
            EXPECT_FALSE(result.out.contains(text)) << qPrintable(text + " in\n" + result.out);
        // Errors are one line each, after the subcommand's name.
        for (const QString& line : result.err.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.startsWith(arguments.first() + ": ")) << qPrintable(line);
        const qsizetype writes = std::count_if(frames.begin(), frames.end(), IsWrite);
        if (run.wire == Wire::Nothing) {
            EXPECT_TRUE(frames.isEmpty()) << frames.size() << " frames";
        } else if (run.wire == Wire::ReadsOnly) {
            EXPECT_EQ(writes, 0) << qPrintable(QString::fromLatin1(frames.join(' ')));
        } else if (run.wire == Wire::Writes) {
            EXPECT_GT(writes, 0);
        }
        QStringList added = PointReasons();
        for (const QString& reason : pointsBefore)
            added.removeOne(reason);
        for (const QString& reason : run.newPoints)
            EXPECT_TRUE(added.contains(reason))
                << qPrintable(reason + " not among: " + added.join(", "));
        if (run.exit != CliExit::Done) {
            EXPECT_FALSE(added.contains(RestoreReason::Stored));
        }
        if (run.check) {
            const QString wrong = run.check(*this, result, frames);
            EXPECT_TRUE(wrong.isEmpty()) << qPrintable(wrong);
        }
    }
}

// Auto-connect takes the one port that looks like a GCU and refuses to choose
// between two; a write without --yes and without a terminal asks nothing and
// is refused before a port is opened.
TEST_F(UnitOnPty, portChoiceAndQuestions_followTheWindowsRulesWithoutAsking) {
    const CliRun one = RunCliWith({"get", "MINVBATT"});
    EXPECT_EQ(one.exit, CliExit::Done) << qPrintable(one.err);

    QTemporaryDir other;
    QFile fake(other.filePath("ttyFAKE"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    ListPorts({port, fake.fileName()});
    const CliRun two = RunCliWith({"info"});
    EXPECT_EQ(two.exit, CliExit::Usage);
    EXPECT_TRUE(two.err.contains(port) && two.err.contains(fake.fileName())) << qPrintable(two.err);
    EXPECT_EQ(two.err.count(u'\n'), 1);

    ListPorts({});
    EXPECT_EQ(RunCliWith({"info"}).exit, CliExit::NoUnit);

    const int frames = gcu->FramesReceived();
    const CliRun unasked = RunCliWith({"set", "MINVBATT=12", "--port", port});
    if (!::isatty(STDIN_FILENO)) {
        EXPECT_EQ(unasked.exit, CliExit::Usage);
        EXPECT_EQ(gcu->FramesReceived(), frames);
    }
}

// Another unit of the same board and firmware on the same link, its reboot
// counter lower than the known unit's: the known units cannot tell which it
// is. Nothing is written to it and its points are not filed under the known
// unit until --unit names it; then they are filed under that name.
TEST_F(UnitOnPty, unitTheKnownUnitsCannotTell_getsNothingWrittenUntilUnitNamesIt) {
    // Each run opens the port, and each opening reboots the unit: the other
    // unit's counter stays below this one's over the runs that follow.
    for (int run = 0; run < 6; ++run) {
        const CliRun first = RunCliWith({"info"});
        ASSERT_EQ(first.exit, CliExit::Done) << qPrintable(first.err);
    }
    const QStringList known = KnownUnitKeys(UserDataFolder());
    ASSERT_EQ(known.size(), 1);
    const QStringList pointsOfFirst = PointReasons();

    gcu->stop();
    GcuSimulatorOptions options = SimulatorOptions();
    options.stateFile = folder.filePath("other-gcu-state.txt");
    options.rebootCounter = 0;
    gcu = std::make_unique<GcuSimulator>(options);
    gcu->start();

    const CliRun read = RunCliWith({"get", "MINVBATT"});
    EXPECT_EQ(read.exit, CliExit::Done) << qPrintable(read.err);
    EXPECT_EQ(read.err.count(u'\n'), 1) << qPrintable(read.err);
    EXPECT_TRUE(read.err.contains("--unit")) << qPrintable(read.err);
    const CliRun refused = RunCliWith({"set", "MINVBATT=12", "--yes"});
    EXPECT_EQ(refused.exit, CliExit::Usage) << qPrintable(refused.err);
    const QList<QByteArray> frames = gcu->ReceivedFrames();
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_TRUE(std::none_of(frames.begin(), frames.end(), IsWrite));
    EXPECT_EQ(KnownUnitKeys(UserDataFolder()), known);
    EXPECT_EQ(PointReasons(), pointsOfFirst);

    const CliRun named = RunCliWith({"set", "MINVBATT=12", "--yes", "--unit", "Kart 7"});
    EXPECT_EQ(named.exit, CliExit::Done) << qPrintable(named.err);
    EXPECT_EQ(Stored(MinimumBattery), 12);
    const QStringList now = KnownUnitKeys(UserDataFolder());
    ASSERT_EQ(now.size(), 2);
    const QString kart = now.value(now.indexOf(known.first()) == 0 ? 1 : 0);
    EXPECT_EQ(UnitRegistry(UserDataFolder()).Find(kart).value_or(KnownUnit{}).name, "Kart 7");
    EXPECT_FALSE(RestorePointStore(UnitsFolder(UserDataFolder()) + u'/' + kart).List().isEmpty());
    // Named once, it is known by name at the next run without --unit, and
    // another name for it does nothing.
    const CliRun again = RunCliWith({"info"});
    EXPECT_TRUE(again.out.contains("Kart 7")) << qPrintable(again.out + again.err);
    const CliRun otherName = RunCliWith({"set", "MINVBATT=13", "--yes", "--unit", "Unit 1"});
    EXPECT_EQ(otherName.exit, CliExit::Usage) << qPrintable(otherName.err);
    EXPECT_EQ(Stored(MinimumBattery), 12);
}

// The programmer needs the boot loader's whole pause after the port opens.
class UnitWithBootLoader : public UnitOnPty {
  protected:
    int BootWindowMs() const override { return 1000; }
};

// A firmware image goes in through the programmer with a restore point first;
// the unit announces the image's version afterwards.
TEST_F(UnitWithBootLoader, flash_programsTheImageAfterARestorePoint_andReportsTheNewVersion) {
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/avrdude")))
        GTEST_SKIP() << "avrdude is not installed";
    std::vector<uint8_t> memory(300);
    std::mt19937 random(3);
    for (uint8_t& byte : memory)
        byte = uint8_t(random());
    const QByteArray version = QByteArray(GcuVersionMarker) + " 5.1.2";
    std::copy(version.begin(), version.end(), memory.begin() + 40);
    QFile image(folder.filePath("gcu.hex"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(FormatIntelHex(memory, uint32_t(memory.size()), false));
    image.close();

    const CliRun run = RunCliWith({"flash", image.fileName(), "--yes", "--json"});
    ASSERT_EQ(run.exit, CliExit::Done) << qPrintable(run.err);
    const QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(result.value("after").toString(), "5.1.2");
    EXPECT_TRUE(result.value("verified").toBool());
    EXPECT_TRUE(PointReasons().contains(RestoreReason::BeforeFirmwareUpdate));
    EXPECT_EQ(gcu->FirmwareVersion(), "5.1.2");
    // The update keeps the unit: one unit, known with its new firmware.
    const QStringList units = KnownUnitKeys(UserDataFolder());
    ASSERT_EQ(units.size(), 1);
    EXPECT_EQ(UnitRegistry(UserDataFolder()).Find(units.first()).value_or(KnownUnit{}).firmware,
              "5.1.2");

    QFile broken(folder.filePath("broken.hex"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(":10000000\n");
    broken.close();
    const int opens = gcu->PortOpenCount();
    EXPECT_EQ(RunCliWith({"flash", broken.fileName(), "--yes"}).exit, CliExit::Refused);
    EXPECT_EQ(gcu->BootLoaderSessions(), 1);
    EXPECT_LE(gcu->PortOpenCount(), opens + 1);
}

} // namespace
