// The gcu-sim program: publishes its port, answers on it, hangs up and plugs
// in again on signals, ends cleanly, and refuses bad input with a message.
#include "sim/SimPtyClient.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

using namespace std::chrono_literals;

namespace {

const QString Program = QStringLiteral(QV_BINARY_DIR "/gcu-sim");

// A commands file with the title line and one command.
QString WriteCommandsFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath("Commands.CSV");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray("ID").append(QByteArray(27, ';')) + "\r\n");
    file.write("1;MINVBATT;Minimum battery voltage;6;16;1;0.1;V;10.5;10.5;1;6;16;1;0.1;V;10.5;"
               "10.5;1;1;1;1;1;1;1;1;1;\r\n");
    return path;
}

// Reads the program's standard error until it holds Text (or the time is up).
bool WaitForLog(QProcess& process, QByteArray& log, const QByteArray& text) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!log.contains(text) && std::chrono::steady_clock::now() < deadline) {
        process.waitForReadyRead(100);
        log += process.readAllStandardError();
    }
    return log.contains(text);
}

} // namespace

TEST(SimProgram, publishesItsLink_answers_hangsUpAndReplugsOnSignals_andEndsCleanly) {
    if (!QFileInfo::exists(Program))
        GTEST_SKIP() << "gcu-sim is not built";
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyGCU");
    QProcess sim;
    sim.start(Program,
              {"--commands", WriteCommandsFile(dir), "--link", link, "--boot-window", "100",
               "--firmware", "5.1.2", "--reboots", "9", "--set", "MINVBATT=12.5", "--verbose"});
    ASSERT_TRUE(sim.waitForStarted());
    ASSERT_TRUE(sim.waitForReadyRead(10000));
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    EXPECT_TRUE(port.startsWith("/dev/pts/")) << port.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), port);

    SimPtyClient client(link);
    ASSERT_TRUE(client.ReadUntilContains("900 - Versione Firmware: 5.1.2\r\n", 10s));
    // The unit given: its stored value, and its reboot counter (field 39)
    // counted up by this open.
    const QList<QByteArray> dump = client.Ask("[INVPARAM 1]").split('&');
    ASSERT_EQ(dump.size(), 39);
    EXPECT_EQ(dump[0], "12.5");
    EXPECT_EQ(dump[38], "10#\r\n");
    EXPECT_EQ(client.Ask("[MINVBATT 11]"), "OK MINVBATT 11.0\r\n");

    QByteArray log;
    ::kill(static_cast<pid_t>(sim.processId()), SIGUSR1);
    EXPECT_TRUE(client.ReadUntil([&client](const QByteArray&) { return client.HungUp(); }, 10s));
    client.Close();
    ASSERT_TRUE(WaitForLog(sim, log, "hanging up"));
    EXPECT_FALSE(QFileInfo::exists(link));

    ::kill(static_cast<pid_t>(sim.processId()), SIGUSR2);
    ASSERT_TRUE(WaitForLog(sim, log, "replugged on"));
    ASSERT_TRUE(client.Open(link));
    EXPECT_TRUE(client.ReadUntilContains("901 - Init OK\r\n", 10s));
    client.Close();

    sim.terminate(); // SIGTERM
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimProgram, missingCommandsFileOrBadOption_endWithAMessageAndNoPort) {
    if (!QFileInfo::exists(Program))
        GTEST_SKIP() << "gcu-sim is not built";
    QTemporaryDir dir;
    QProcess sim;
    sim.start(Program, {"--commands", dir.filePath("missing.CSV"), "--link", dir.filePath("l")});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardError().contains("missing.CSV"));
    EXPECT_FALSE(QFileInfo(dir.filePath("l")).isSymLink());

    sim.start(Program, {"--commands", WriteCommandsFile(dir), "--rate", "fast"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardError().contains("--rate"));

    sim.start(Program, {"--commands", WriteCommandsFile(dir), "--pcb", "4,3"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardError().contains("PCB version"));

    sim.start(Program, {"--commands", WriteCommandsFile(dir), "--reboots", "many"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardError().contains("--reboots"));

    sim.start(Program, {"--commands", WriteCommandsFile(dir), "--set", "MINVBATT=12,NOSUCHWD=1"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardError().contains("NOSUCHWD"));
}
