// The simulated GCU over its pseudo-terminal, talked to as the program would:
// announcement on every open, dump, writes and storing, status stream,
// teaching, pacing and each fault.
#include "gcusim/GcuParameterSet.h"
#include "gcusim/GcuSimulator.h"
#include "sim/SimPtyClient.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace std::chrono_literals;

namespace {

const QByteArray Announcement = "901 - Init OK\r\n900 - Versione Firmware: 5.0.9\r\n";
const QString ShippedCommands = QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV");
constexpr auto Patience = 10s; // generous: the machine may be busy

void AddRow(CommandTable& t, int id, const char* word, double min, double max, int digits,
            double def, int position) {
    TCommandRecord& r = t[id];
    r.ID = id;
    r.Command = word;
    r.MinValueFW = min;
    r.MaxValueFW = max;
    r.DigitsValueFW = digits;
    r.DefaultValueFW = def;
    r.ReadFromGCUID = position;
}

std::shared_ptr<const CommandTable> SmallTable() {
    auto t = std::make_shared<CommandTable>();
    AddRow(*t, 1, "MINVBATT", 6, 16, 1, 10.5, 1);
    AddRow(*t, 15, "PCBVERSN", 3, 6, 1, 6, 2);
    AddRow(*t, 107, "MINVATPS", 0, 5, 2, 0.5, 3);
    AddRow(*t, 108, "MAXVATPS", 0, 5, 2, 4.5, 4);
    AddRow(*t, 151, "SSOGMARN", 0, 5, 2, 1.3, 5);
    return t;
}

GcuSimulatorOptions QuickOptions() {
    GcuSimulatorOptions o;
    o.commandTable = SmallTable();
    o.bootWindowMs = 100;
    return o;
}

class SimLink : public ::testing::Test {
  protected:
    void Start(GcuSimulatorOptions options = QuickOptions()) {
        sim = std::make_unique<GcuSimulator>(std::move(options));
        port = sim->start();
        ASSERT_FALSE(port.isEmpty());
    }
    // Opens the port and waits for the announcement.
    void Connect() {
        ASSERT_TRUE(client.Open(port));
        ASSERT_TRUE(client.ReadUntilContains(Announcement, Patience)) << client.Received().data();
        client.Take();
    }
    void Disconnect() {
        client.Close();
        ASSERT_TRUE(sim->WaitUntil([this] { return !sim->IsPortOpen(); }, Patience));
    }
    QStringList Dump() {
        client.Take();
        client.Send("[INVPARAM 1]\r\n");
        EXPECT_TRUE(client.ReadUntilContains("#\r\n", Patience));
        return QString::fromLatin1(client.Take().chopped(3)).split('&');
    }

    std::unique_ptr<GcuSimulator> sim;
    QString port;
    SimPtyClient client;
};

} // namespace

TEST_F(SimLink, announcesOnEveryOpen_afterTheBootWindow_andCountsReboots) {
    auto options = QuickOptions();
    options.bootWindowMs = 1000; // as the board
    Start(options);
    ASSERT_TRUE(client.Open(port));
    ASSERT_TRUE(client.ReadUntilContains(Announcement, Patience));
    // Nothing before it, and not before the boot loader had its second.
    EXPECT_EQ(client.Received(), Announcement);
    const auto quiet = client.Pieces().front().at - client.OpenedAt();
    EXPECT_GE(quiet, 950ms);
    EXPECT_EQ(sim->RebootCounter(), 1);

    // An answer the client left unread does not greet the next opener.
    client.Send("[INVPARAM 1]\r\n");
    ASSERT_TRUE(sim->WaitUntil(
        [this] { return sim->FramesReceived() == 1 && sim->OutputPending() == 0; }, Patience));
    Disconnect();
    ASSERT_TRUE(client.Open(port));
    ASSERT_TRUE(client.ReadUntilContains(Announcement, Patience));
    EXPECT_EQ(client.Received(), Announcement);
    EXPECT_EQ(sim->PortOpenCount(), 2);
    EXPECT_EQ(sim->RebootCounter(), 2);
}

TEST_F(SimLink, dumpMatchesTheShippedCommandsTable) {
    if (!QFileInfo::exists(ShippedCommands))
        GTEST_SKIP() << "no shipped command table at " << ShippedCommands.toStdString();
    StringGridModel grid(CommandsFileColumnCount, CommandCount + 1);
    LoadStringGridFromCSV(grid, ShippedCommands);
    CommandTable table;
    LoadCommandsFromGrid(grid, table);

    GcuSimulatorOptions options;
    options.commandsFile = ShippedCommands;
    options.bootWindowMs = 100;
    options.pcbVersion = "4.1";
    Start(options);
    Connect();
    const QStringList fields = Dump();

    int highest = RebootCounterDumpPosition;
    int checked = 0;
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = table[id];
        if (row.Command.isEmpty() || row.ReadFromGCUID <= 0)
            continue;
        highest = std::max(highest, row.ReadFromGCUID);
        ASSERT_LE(row.ReadFromGCUID, fields.size()) << "row " << id;
        const QString field = fields[row.ReadFromGCUID - 1];
        const QString expected = id == PcbVersionCommandId
                                     ? QStringLiteral("4.1")
                                     : GcuNumberText(row.DefaultValueFW, row.DigitsValueFW);
        EXPECT_EQ(field, expected) << "row " << id << " " << row.Command.toStdString();
        EXPECT_FALSE(field.contains(',')) << "row " << id;
        ++checked;
    }
    EXPECT_GT(checked, 100);
    EXPECT_EQ(fields.size(), highest);
    EXPECT_EQ(fields[RebootCounterDumpPosition - 1], "1");
}

TEST_F(SimLink, write_changesNextDump_refusalsDoNot_andOnlySavedValuesSurviveAReopen) {
    QTemporaryDir dir;
    auto options = QuickOptions();
    options.stateFile = dir.filePath("gcu.state");
    Start(options);
    Connect();
    EXPECT_EQ(client.Ask("[MINVBATT 11.5]"), "OK MINVBATT 11.5\r\n");
    EXPECT_EQ(Dump()[0], "11.5");
    EXPECT_EQ(client.Ask("[MINVBATT 99]"), "ERR RANGE MINVBATT 6.0..16.0\r\n");
    EXPECT_EQ(client.Ask("[BADWORD 1]"), "ERR UNKNOWN BADWORD\r\n");
    EXPECT_EQ(client.Ask("MINVBATT 12"), "ERR FRAME\r\n");
    EXPECT_EQ(Dump()[0], "11.5");

    // The board resets on open: an unsaved value is gone.
    Disconnect();
    Connect();
    EXPECT_EQ(Dump()[0], "10.5");
    EXPECT_EQ(client.Ask("[MINVBATT 12.5]"), "OK MINVBATT 12.5\r\n");
    EXPECT_EQ(client.Ask("[SAVEPRMT 0]"), "OK SAVEPRMT\r\n");
    Disconnect();
    Connect();
    EXPECT_EQ(Dump()[0], "12.5");
    EXPECT_EQ(sim->ParameterById(1).value(), 12.5);
    EXPECT_EQ(sim->ParameterAtDumpPosition(1).value(), 12.5);
    client.Close();
    sim->stop();

    // A new GCU on the same state file starts from the saved values.
    Start(options);
    EXPECT_EQ(sim->ParameterById(1).value(), 12.5);
    EXPECT_EQ(sim->RebootCounter(), 3);
}

TEST_F(SimLink, saveThatCannotReachTheStateFile_answersAnError) {
    QTemporaryDir dir;
    auto options = QuickOptions();
    options.stateFile = dir.filePath("no-such-folder/gcu.state");
    Start(options);
    Connect();
    EXPECT_EQ(client.Ask("[MINVBATT 11.5]"), "OK MINVBATT 11.5\r\n");
    EXPECT_EQ(client.Ask("[SAVEPRMT 0]"), "ERR SAVEPRMT\r\n");
}

TEST_F(SimLink, statusStream_hasTheLineFormatAtTwentyLinesASecond_andStops) {
    Start();
    Connect();
    client.Send("[PRINTSTS 1]\r\n");
    ASSERT_TRUE(
        client.ReadUntil([](const QByteArray& r) { return r.count("#\r\n") >= 31; }, Patience));
    const QList<QByteArray> lines = client.Received().split('\n');
    static const QRegularExpression shape(R"(^\*(-?\d+(\.\d+)?&){15}-?\d+(\.\d+)?#\r$)");
    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(shape.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].data();

    // Rate from the arrival times of lines 1 and 31 (30 periods).
    std::vector<SimPtyClient::Clock::time_point> ends;
    for (const auto& piece : client.Pieces())
        for (int k = 0; k < piece.bytes.count('\n'); ++k)
            ends.push_back(piece.at);
    const double seconds = std::chrono::duration<double>(ends[30] - ends[0]).count();
    const double rate = 30 / seconds;
    std::cout << "status lines per second: " << rate << "\n";
    EXPECT_NEAR(rate, 20.0, 3.0);

    client.Send("[PRINTSTS 0]\r\n");
    client.Take();
    // The next answer is clean: no tail of a status line before it.
    client.Send("[MINVATPS ?]\r\n");
    ASSERT_TRUE(client.ReadUntilContains("0.50\r\n", Patience));
    const QByteArray afterStop = client.Take();
    const qsizetype answerAt = afterStop.indexOf("0.50\r\n");
    EXPECT_FALSE(afterStop.mid(answerAt).contains('*'));
    const long sent = sim->StatusLinesSent();
    EXPECT_FALSE(sim->WaitUntil([&] { return sim->StatusLinesSent() != sent; }, 300ms));
}

TEST_F(SimLink, teachAndQuery_answerTheSensorVoltageAsABareNumber) {
    Start();
    Connect();
    sim->OverrideSensor(GcuSensor::Throttle, 0.47);
    client.Send("[MINVATPS 0]\r\n");
    EXPECT_EQ(client.Ask("[MINVATPS ?]"), "0.47\r\n"); // the teach itself is silent
    sim->OverrideSensor(GcuSensor::Barrel, 2.35);
    client.Send("[SOGLMARN 0]\r\n");
    EXPECT_EQ(client.Ask("[SSOGMARN ?]"), "2.35\r\n");
    EXPECT_EQ(Dump()[4], "2.35");
    EXPECT_EQ(client.Ask("[TESTATUP 180]"), "OK TESTATUP 180\r\n");
}

TEST_F(SimLink, answersArePacedAtTheLineRate_andComeWithinMilliseconds) {
    Start();
    Connect();
    const QByteArray question = "[MINVATPS ?]\r\n";
    const auto asked = SimPtyClient::Clock::now();
    client.Send(question);
    ASSERT_TRUE(client.ReadUntilContains("\r\n", Patience));
    const auto latency = client.Pieces().front().at - asked;
    std::cout << "answer latency: " << std::chrono::duration<double, std::milli>(latency).count()
              << " ms\n";
    // The question and the answer's first byte travel at 115200 baud first.
    const auto questionOnWire =
        std::chrono::microseconds((question.size() + 1) * 10'000'000LL / 115200);
    EXPECT_GE(latency, questionOnWire);
    EXPECT_LT(latency, 500ms); // a few ms normally; the bound allows a busy machine

    const QByteArray dump = sim->DumpText();
    client.Take();
    const auto start = SimPtyClient::Clock::now();
    client.Send("[INVPARAM 1]\r\n");
    ASSERT_TRUE(client.ReadUntilContains("#\r\n", Patience));
    const auto took = client.Pieces().back().at - start;
    const auto wire = std::chrono::microseconds(dump.size() * 10'000'000LL / 115200);
    std::cout << "dump of " << dump.size() << " bytes took "
              << std::chrono::duration<double, std::milli>(took).count() << " ms (wire time "
              << wire.count() / 1000.0 << " ms)\n";
    EXPECT_GE(took, wire - 1ms);
    EXPECT_EQ(client.Received(), dump);
}

TEST_F(SimLink, fault_neverAnswer_readsFramesButStaysSilent) {
    auto options = QuickOptions();
    options.faults.neverAnswer = true;
    Start(options);
    Connect(); // the announcement still comes
    client.Send("[INVPARAM 1]\r\n[PRINTSTS 1]\r\n");
    ASSERT_TRUE(sim->WaitUntil([this] { return sim->FramesReceived() == 2; }, Patience));
    EXPECT_FALSE(client.ReadUntil([](const QByteArray& r) { return !r.isEmpty(); }, 300ms));
}

TEST_F(SimLink, fault_answerInPieces_arrivesSplitWithPausesAndJoinsToTheDump) {
    auto options = QuickOptions();
    options.faults.answerPieces = 3;
    options.faults.piecePauseMs = 60;
    Start(options);
    Connect();
    const QByteArray dump = sim->DumpText();
    const auto asked = SimPtyClient::Clock::now();
    client.Send("[INVPARAM 1]\r\n");
    ASSERT_TRUE(client.ReadUntilContains("#\r\n", Patience));
    EXPECT_EQ(client.Received(), dump);
    EXPECT_GE(client.Pieces().size(), 3u);
    EXPECT_GE(client.Pieces().back().at - asked, 120ms);
}

TEST_F(SimLink, fault_garbage_answersRandomBytesInsteadOfTheText) {
    auto options = QuickOptions();
    options.faults.garbageAnswers = true;
    Start(options);
    Connect();
    const QByteArray ok = "OK MINVBATT 11.5\r\n";
    client.Send("[MINVBATT 11.5]\r\n");
    ASSERT_TRUE(
        client.ReadUntil([&](const QByteArray& r) { return r.size() >= ok.size(); }, Patience));
    EXPECT_EQ(client.Received().size(), ok.size());
    EXPECT_NE(client.Received(), ok);
}

TEST_F(SimLink, fault_hangUpAfterFrames_dropsThePortAndReplugBringsANewOne) {
    QTemporaryDir dir;
    auto options = QuickOptions();
    options.linkPath = dir.filePath("gcu");
    options.faults.hangUpAfterFrames = 2;
    Start(options);
    EXPECT_EQ(QFileInfo(options.linkPath).symLinkTarget(), port);
    Connect();
    EXPECT_EQ(client.Ask("[MINVATPS ?]"), "0.50\r\n");
    client.Send("[MINVATPS ?]\r\n");
    ASSERT_TRUE(client.ReadUntil([](const QByteArray&) { return false; }, Patience) ||
                client.HungUp());
    EXPECT_TRUE(client.HungUp());
    EXPECT_TRUE(client.Received().isEmpty()); // the frame that hit the fault got no answer
    EXPECT_TRUE(sim->IsHungUp());
    EXPECT_FALSE(QFileInfo::exists(options.linkPath));
    client.Close();

    GcuFaultOptions none;
    sim->SetFaults(none);
    sim->Replug();
    ASSERT_TRUE(sim->WaitUntil([this] { return !sim->PortPath().isEmpty(); }, Patience));
    port = sim->PortPath();
    EXPECT_EQ(QFileInfo(options.linkPath).symLinkTarget(), port);
    port = options.linkPath;
    Connect();
    EXPECT_EQ(client.Ask("[MINVATPS ?]"), "0.50\r\n");
}

TEST_F(SimLink, hangUpOnDemand_endsTheClientsSession) {
    Start();
    Connect();
    sim->HangUp();
    EXPECT_TRUE(client.ReadUntil([this](const QByteArray&) { return client.HungUp(); }, Patience));
    EXPECT_TRUE(sim->WaitUntil([this] { return sim->IsHungUp(); }, Patience));
}

TEST_F(SimLink, fault_announceTwice_sendsTheAnnouncementTwice) {
    auto options = QuickOptions();
    options.faults.announceTwice = true;
    Start(options);
    ASSERT_TRUE(client.Open(port));
    ASSERT_TRUE(client.ReadUntil(
        [](const QByteArray& r) { return r.count("Firmware: 5.0.9\r\n") == 2; }, Patience));
    EXPECT_EQ(client.Received(), Announcement + Announcement);
}

TEST_F(SimLink, fault_cutStatusLineOnStop_nextAnswerFollowsTheCutLine) {
    auto options = QuickOptions();
    options.faults.cutStatusLineOnStop = true;
    options.statusLinesPerSecond = 2; // stopped between lines: a fresh one is cut
    Start(options);
    Connect();
    client.Send("[PRINTSTS 1]\r\n");
    ASSERT_TRUE(client.ReadUntilContains("#\r\n", Patience));
    client.Take();
    client.Send("[PRINTSTS 0]\r\n[MAXVATPS ?]\r\n");
    ASSERT_TRUE(client.ReadUntilContains("\r\n", Patience));
    const QByteArray line = client.Take();
    EXPECT_TRUE(line.startsWith('*')) << line.data();
    EXPECT_FALSE(line.contains('#')) << line.data();
    EXPECT_TRUE(line.endsWith("4.50\r\n")) << line.data();
}

TEST_F(SimLink, fault_dumpGap_twoPiecesCutInsideAField) {
    auto options = QuickOptions();
    options.commandTable.reset(); // the shipped table: fields of several characters
    options.commandsFile = ShippedCommands;
    options.faults.dumpGapMs = 400;
    Start(options);
    Connect();
    const QByteArray dump = sim->DumpText();
    client.Send("[INVPARAM 1]\r\n");
    ASSERT_TRUE(client.ReadUntil([](const QByteArray& r) { return !r.isEmpty(); }, Patience));
    EXPECT_FALSE(client.ReadUntilContains("#", 250ms));
    const QByteArray first = client.Received();
    ASSERT_TRUE(client.ReadUntilContains("#\r\n", Patience));
    EXPECT_EQ(client.Received(), dump);
    const QByteArray rest = client.Received().mid(first.size());
    EXPECT_NE(first.back(), '&');
    EXPECT_NE(rest.front(), '&');
}

TEST_F(SimLink, fault_acknowledgeFrames_okBeforeEveryAnswer) {
    auto options = QuickOptions();
    options.faults.acknowledgeFrames = true;
    Start(options);
    Connect();
    EXPECT_EQ(client.Ask("[MAXVATPS 0]"), "OK\r\n");
    client.Send("[MAXVATPS ?]\r\n");
    ASSERT_TRUE(
        client.ReadUntil([](const QByteArray& r) { return r.count("\r\n") == 2; }, Patience));
    EXPECT_TRUE(client.Take().startsWith("OK\r\n"));
}

TEST_F(SimLink, fault_dumpChatter_fieldsWithoutEndMarkInsteadOfTheDump) {
    auto options = QuickOptions();
    options.faults.dumpChatterMs = 600;
    Start(options);
    Connect();
    client.Send("[INVPARAM 1]\r\n");
    EXPECT_FALSE(client.ReadUntilContains("#", 1000ms));
    EXPECT_GE(client.Received().count('&'), 12) << client.Received().data();
    EXPECT_FALSE(client.Received().contains("\r\n"));
    client.Take();
    EXPECT_FALSE(client.ReadUntil([](const QByteArray& r) { return !r.isEmpty(); }, 300ms));
}

TEST_F(SimLink, fault_dumpText_endMarkLeftOut_halfOnly_orFieldsReplaced) {
    struct Case {
        const char* name;
        std::function<void(GcuFaultOptions&)> fault;
        std::function<QByteArray(const QByteArray& dump)> expected;
    };
    const Case cases[] = {
        {"without its end mark", [](GcuFaultOptions& f) { f.dumpWithoutEndMark = true; },
         [](const QByteArray& d) { return d.chopped(3) + "\r\n"; }},
        {"first half only", [](GcuFaultOptions& f) { f.dumpHalfOnly = true; },
         [](const QByteArray& d) { return d.left(d.size() / 2); }},
        {"fields replaced",
         [](GcuFaultOptions& f) {
             f.dumpFieldTexts = {{1, "1e308"}, {108, "-5"}, {160, "9"}};
         },
         [](const QByteArray& d) {
             QList<QByteArray> fields = d.chopped(3).split('&');
             fields[0] = "1e308"; // MINVBATT, position 1
             fields[3] = "-5";    // MAXVATPS, position 4 (160 has no position)
             return fields.join('&') + "#\r\n";
         }},
    };
    Start();
    Connect();
    const QByteArray dump = sim->DumpText();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GcuFaultOptions faults;
        c.fault(faults);
        sim->SetFaults(faults);
        client.Take();
        client.Send("[INVPARAM 1]\r\n");
        const QByteArray expected = c.expected(dump);
        EXPECT_TRUE(client.ReadUntil(
            [&](const QByteArray& r) { return r.size() >= expected.size(); }, Patience));
        EXPECT_FALSE(client.ReadUntil(
            [&](const QByteArray& r) { return r.size() > expected.size(); }, 200ms));
        EXPECT_EQ(client.Received(), expected);
        EXPECT_EQ(sim->DumpText(), dump); // what the GCU holds is unchanged
    }
}

TEST_F(SimLink, fault_unaskedText_afterTheAnnouncementAndWhenSet_noiseForItsTime) {
    auto options = QuickOptions();
    options.faults.idleText = QByteArray("OK\0\xff", 4);
    Start(options);
    ASSERT_TRUE(client.Open(port));
    ASSERT_TRUE(client.ReadUntilContains(Announcement + QByteArray("OK\0\xff", 4), Patience))
        << client.Received().toHex().data();
    client.Take();
    EXPECT_FALSE(client.ReadUntil([](const QByteArray& r) { return !r.isEmpty(); }, 200ms));

    GcuFaultOptions noise;
    noise.idleText = "ABC";
    noise.idleNoiseMs = 300;
    sim->SetFaults(noise);
    ASSERT_TRUE(client.ReadUntil([](const QByteArray& r) { return r.size() > 100; }, Patience));
    EXPECT_TRUE(client.Received().startsWith("ABC"));
    client.ReadUntil([](const QByteArray&) { return false; }, 600ms);
    const QByteArray all = client.Take();
    EXPECT_GT(all.size(), 100);
    EXPECT_LT(all.size(), 3 + 16 * (300 / 20 + 2)); // 16 bytes every 20 ms for 300 ms
    EXPECT_FALSE(client.ReadUntil([](const QByteArray& r) { return !r.isEmpty(); }, 200ms));
    EXPECT_EQ(client.Ask("[MINVATPS ?]"), "0.50\r\n"); // frames are answered as usual
}

TEST_F(SimLink, fault_hangUpOnWord_theStoreHangsUpBeforeAnythingIsStored) {
    auto options = QuickOptions();
    options.faults.hangUpOnWord = QStringLiteral("SAVEPRMT");
    Start(options);
    Connect();
    EXPECT_EQ(client.Ask("[MINVBATT 11.5]"), "OK MINVBATT 11.5\r\n");
    client.Send("[SAVEPRMT 0]\r\n");
    EXPECT_TRUE(client.ReadUntil([this](const QByteArray&) { return client.HungUp(); }, Patience));
    EXPECT_TRUE(client.Received().isEmpty());
    EXPECT_TRUE(sim->WaitUntil([this] { return sim->IsHungUp(); }, Patience));
    EXPECT_EQ(sim->StoredParameterById(1), 10.5);
}

TEST_F(SimLink, fault_storeBusy_framesMeanwhileAreLost_theStoreIsAnsweredAtItsEnd) {
    auto options = QuickOptions();
    options.faults.storeBusyMs = 300;
    Start(options);
    Connect();
    const auto sent = SimPtyClient::Clock::now();
    client.Send("[SAVEPRMT 0]\r\n[MINVATPS ?]\r\n");
    ASSERT_TRUE(client.ReadUntilContains("\r\n", Patience));
    EXPECT_GE(SimPtyClient::Clock::now() - sent, 290ms);
    EXPECT_EQ(client.Take(), "OK SAVEPRMT\r\n");
    EXPECT_FALSE(client.ReadUntil([](const QByteArray& r) { return !r.isEmpty(); }, 200ms));
    EXPECT_EQ(sim->FramesReceived(), 2);
    EXPECT_EQ(client.Ask("[MINVATPS ?]"), "0.50\r\n"); // after the store: answered
}

namespace {

// Opens Path in a child process as an ordinary user (root ignores exclusive
// use), optionally asks for exclusive use, closes; the exit code is errno.
int OpenAsUser(const QString& path, bool exclusive, uid_t uid, gid_t gid) {
    const QByteArray name = path.toLocal8Bit();
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(gid) != 0 || setuid(uid) != 0))
            _exit(100);
        const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            _exit(errno);
        if (exclusive && ioctl(fd, TIOCEXCL) != 0)
            _exit(101);
        ::close(fd);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 102;
}

} // namespace

TEST_F(SimLink, exclusiveUseEndsWithTheClient_soTheNextOneCanOpen) {
    Start();
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() == 0) {
        if (!nobody)
            GTEST_SKIP() << "no ordinary user to open the port as";
        chmod(port.toLocal8Bit().constData(), 0666);
    }
    const uid_t uid = nobody ? nobody->pw_uid : geteuid();
    const gid_t gid = nobody ? nobody->pw_gid : getegid();
    ASSERT_EQ(OpenAsUser(port, true, uid, gid), 0);
    ASSERT_TRUE(sim->WaitUntil([this] { return sim->PortOpenCount() == 1 && !sim->IsPortOpen(); },
                               Patience));
    EXPECT_EQ(OpenAsUser(port, false, uid, gid), 0) << "the port stayed exclusive";
}

// Units as a team has them: each simulator is one unit (its PCB, firmware,
// reboot counter and stored values), and they follow one another on one
// link path as units plugged into the same socket do.
TEST_F(SimLink, successiveUnitsOnOneLinkPath_eachAnnouncesAndDumpsItsOwnIdentityAndValues) {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyGCU");
    struct Unit {
        const char* pcb;
        const char* firmware;
        int reboots;
        QStringList values;
        // Expected dump fields 1 to 5 (MINVBATT, PCB, MINVATPS, MAXVATPS, SSOGMARN).
        QStringList fields;
    };
    const Unit units[] = {
        {"4.3",
         "5.0.9",
         41,
         {"MINVBATT=11.5", "id.107=0.75"},
         {"11.5", "4.3", "0.75", "4.50", "1.30"}},
        {"4.2", "5.1.0", 3, {"MINVBATT=9", "SSOGMARN=2.5"}, {"9.0", "4.2", "0.50", "4.50", "2.50"}},
        {"5.0", "5.0.9", 0, {}, {"10.5", "5.0", "0.50", "4.50", "1.30"}},
    };
    std::vector<std::unique_ptr<GcuSimulator>> plugged;
    for (const Unit& unit : units) {
        SCOPED_TRACE(unit.pcb);
        if (!plugged.empty())
            plugged.back()->HangUp(); // the previous unit is unplugged first
        auto options = QuickOptions();
        options.linkPath = link;
        options.pcbVersion = unit.pcb;
        options.firmwareVersion = unit.firmware;
        options.rebootCounter = unit.reboots;
        options.storedValues = unit.values;
        plugged.push_back(std::make_unique<GcuSimulator>(options));
        const QString pty = plugged.back()->start();
        ASSERT_EQ(QFileInfo(link).symLinkTarget(), pty);

        const QByteArray announced =
            QByteArray("900 - Versione Firmware: ") + unit.firmware + "\r\n";
        ASSERT_TRUE(client.Open(link));
        ASSERT_TRUE(client.ReadUntilContains(announced, Patience)) << client.Received().data();
        const QStringList dump = Dump();
        ASSERT_EQ(dump.size(), RebootCounterDumpPosition);
        EXPECT_EQ(dump.mid(0, 5), unit.fields);
        // The open reset the unit once.
        EXPECT_EQ(dump[RebootCounterDumpPosition - 1], QString::number(unit.reboots + 1));
        // Values given are what the unit keeps over a reset.
        client.Close();
        GcuSimulator& gcu = *plugged.back();
        ASSERT_TRUE(gcu.WaitUntil([&gcu] { return !gcu.IsPortOpen(); }, Patience));
        ASSERT_TRUE(client.Open(link));
        ASSERT_TRUE(client.ReadUntilContains(announced, Patience));
        EXPECT_EQ(Dump().mid(0, 5), unit.fields);
        client.Close();
    }
    // An unplugged unit that ends leaves the link of the one plugged in after it.
    plugged.front()->stop();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), plugged.back()->PortPath());
    // So does one still plugged in when another took the path over.
    auto options = QuickOptions();
    options.linkPath = link;
    GcuSimulator later(options);
    const QString laterPort = later.start();
    plugged.back()->stop();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), laterPort);
    later.stop();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST_F(SimLink, valuesGivenThatTheTableLacks_stopTheStartWithTheLine) {
    for (const QStringList& values : {QStringList{"MINVBATT=11", "NOSUCHWD=1"},
                                      QStringList{"id.2=1"}, QStringList{"MINVBATT=1,5"}}) {
        auto options = QuickOptions();
        options.storedValues = values;
        GcuSimulator sim(options);
        try {
            sim.start();
            ADD_FAILURE() << "started with " << values.join(' ').toStdString();
        } catch (const EInOutError& e) {
            EXPECT_TRUE(e.Message().startsWith("Values given line ")) << e.Message().toStdString();
        }
        EXPECT_FALSE(sim.IsRunning());
    }
}
