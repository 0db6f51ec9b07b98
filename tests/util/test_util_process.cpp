// Starting programs and waiting for them: results, output delivery, and the
// window staying responsive during the wait. The programs are small shell
// scripts written into a temporary folder.
#include "util/ProcessUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Waits in the script until the file "go" exists in its folder; gives up after
// about 20 s with exit code 99 so that a fault cannot hang the test.
const char* const kWaitForGo = "i=0\n"
                               "while [ ! -e go ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); "
                               "done\n"
                               "[ -e go ] || exit 99\n";

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Script(const QString& name, const QByteArray& body) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    int Run(const QString& program, const QStringList& args = {}, bool wait = true,
            const ProcessOutputHandler& onOutput = {}) {
        return ShellExecuteAndWait(QStringLiteral("open"), program, args, dir_.path(),
                                   SW_HIDE_WINDOW, wait, onOutput);
    }

    QString InDir(const QString& name) const { return dir_.filePath(name); }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir_;
};

TEST_F(ProcessTest, programThatCannotStart_givesMinusOne) {
    EXPECT_EQ(Run(InDir("no-such-program")), -1);
    EXPECT_EQ(Run(InDir("no-such-program"), {}, false), -1);

    const QString notExecutable = Script("plain", "exit 0\n");
    QFile::setPermissions(notExecutable, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(Run(notExecutable), -1);

    const QString fine = Script("fine", "exit 0\n");
    EXPECT_EQ(ShellExecuteAndWait("open", fine, {}, InDir("no-such-folder"), SW_HIDE_WINDOW, true),
              -1)
        << "a missing start folder prevents the start";
    EXPECT_EQ(ShellExecuteAndWait("print", fine, {}, dir_.path(), SW_HIDE_WINDOW, true), -1)
        << "only the verb open can be carried out";
    EXPECT_EQ(ShellExecuteAndWait("", fine, {}, dir_.path(), SW_HIDE_WINDOW, true), 0)
        << "an empty verb means open";
}

TEST_F(ProcessTest, waitedProgram_givesItsExitCode_orMinusOneWhenKilled) {
    EXPECT_EQ(Run(Script("zero", "exit 0\n")), 0);
    EXPECT_EQ(Run(Script("three", "exit 3\n")), 3);
    EXPECT_EQ(Run(Script("max", "exit 255\n")), 255);
    EXPECT_EQ(Run(Script("killed", "kill -9 $$\n")), -1) << "no exit code after a signal";
}

TEST_F(ProcessTest, argumentsAndStartFolder_reachTheProgramUnchanged) {
    const QString program =
        Script("args", "pwd > where.txt\nfor a in \"$@\"; do echo \"[$a]\"; done > args.txt\n");
    ASSERT_EQ(Run(program, {"-P", "/dev/tty USB0", "", "flash:w:FW.HEX:i"}), 0);
    EXPECT_EQ(QFileInfo(QString::fromLocal8Bit(Read(InDir("where.txt")).trimmed())),
              QFileInfo(dir_.path()));
    EXPECT_EQ(Read(InDir("args.txt")), "[-P]\n[/dev/tty USB0]\n[]\n[flash:w:FW.HEX:i]\n");
}

TEST_F(ProcessTest, outputOfBothChannels_arrivesInOrder_includingAnUnfinishedLine) {
    const QString program =
        Script("talk", "echo out1\necho err1 >&2\necho out2\nprintf 'Writing | ####'\nexit 2\n");
    QString received;
    EXPECT_EQ(Run(program, {}, true, [&](const QString& chunk) { received += chunk; }), 2);
    EXPECT_EQ(received, "out1\nerr1\nout2\nWriting | ####");
}

TEST_F(ProcessTest, outputArrivesWhileTheProgramRuns) {
    // The program goes on only after the test has seen its first line.
    const QString program =
        Script("progress", QByteArray("echo first\n") + kWaitForGo + "echo second\n");
    QString received;
    const int result = Run(program, {}, true, [&](const QString& chunk) {
        received += chunk;
        if (received.contains("first"))
            QFile(InDir("go")).open(QIODevice::WriteOnly);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(received, "first\nsecond\n");
}

TEST_F(ProcessTest, timersRunDuringTheWait) {
    // The program can end only when a timer of the calling thread has fired.
    const QString program = Script("blocked", kWaitForGo);
    QTimer::singleShot(0, [&] { QFile(InDir("go")).open(QIODevice::WriteOnly); });
    EXPECT_EQ(Run(program), 0);
}

TEST_F(ProcessTest, noWait_returnsZeroAtOnce_andTheProgramRunsOn) {
    const QString program = Script("detached", QByteArray(kWaitForGo) + "echo > done\n");
    EXPECT_EQ(Run(program, {}, false), 0);
    EXPECT_FALSE(QFile::exists(InDir("done"))) << "returned only after the program had ended";
    QFile(InDir("go")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(InDir("done")); }, 20000));
}

} // namespace
