// Firmware update: image check, avrdude's place, command line and working
// folder, and the whole update run with a stand-in avrdude (a shell script that
// records what it was given and ends with a chosen exit code).
#include "device/FirmwareImage.h"
#include "device/FirmwareProgrammer.h"
#include "device/FirmwareUpdate.h"
#include "util/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// One Intel HEX record with its checksum.
QByteArray Record(quint8 type, quint16 offset, const QByteArray& data) {
    QByteArray bytes;
    bytes.append(static_cast<char>(data.size()));
    bytes.append(static_cast<char>(offset >> 8));
    bytes.append(static_cast<char>(offset & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char b : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(b));
    bytes.append(static_cast<char>(static_cast<quint8>(-sum)));
    return ':' + bytes.toHex().toUpper() + '\n';
}

QByteArray Data(quint16 offset, int size) {
    return Record(0x00, offset, QByteArray(size, '\x5A'));
}
QByteArray Linear(quint16 upper) {
    return Record(0x04, 0,
                  QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
}
QByteArray Segment(quint16 segment) {
    return Record(0x02, 0,
                  QByteArray::fromHex(QByteArray::number(segment, 16).rightJustified(4, '0')));
}
const QByteArray kEnd = ":00000001FF\n";

// A 16-byte image that every stand-in run writes.
const QByteArray kSmallImage = Data(0x0000, 16) + kEnd;

bool WriteFile(const QString& path, const QByteArray& content, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// ---------------------------------------------------------------- image check

TEST(FirmwareImageCheck, wellFormedImages_areAccepted) {
    const FirmwareImageCheck plain =
        CheckFirmwareImageText(Data(0x0000, 16) + Data(0x0010, 8) + kEnd);
    EXPECT_TRUE(plain.valid) << plain.problem.toStdString();
    EXPECT_EQ(plain.dataBytes, 24u);
    EXPECT_EQ(plain.endAddress, 0x18u);

    // Lower-case digits, CR LF, blank lines, start-address records.
    const QByteArray mixed = Data(0x0100, 4).toLower().replace("\n", "\r\n") + "\r\n" +
                             Record(0x03, 0, QByteArray(4, '\0')) +
                             Record(0x05, 0, QByteArray(4, '\0')) + kEnd + "\n\n";
    const FirmwareImageCheck lower = CheckFirmwareImageText(mixed);
    EXPECT_TRUE(lower.valid) << lower.problem.toStdString();
    EXPECT_EQ(lower.endAddress, 0x104u);
}

TEST(FirmwareImageCheck, extendedAddresses_placeDataAboveSixtyFourKiB) {
    const FirmwareImageCheck linear =
        CheckFirmwareImageText(Linear(0x0003) + Data(0x1000, 16) + kEnd);
    EXPECT_TRUE(linear.valid) << linear.problem.toStdString();
    EXPECT_EQ(linear.endAddress, 0x31010u);

    // Segment base 0x1000 -> 0x10000; the offset adds without wrapping.
    const FirmwareImageCheck segment =
        CheckFirmwareImageText(Segment(0x1000) + Data(0xFFF8, 16) + kEnd);
    EXPECT_TRUE(segment.valid) << segment.problem.toStdString();
    EXPECT_EQ(segment.endAddress, 0x20008u);
}

TEST(FirmwareImageCheck, applicationFlashEndsWhereTheBootLoaderBegins) {
    EXPECT_EQ(kGcuApplicationFlashBytes, 0x3E000u);
    const FirmwareImageCheck last =
        CheckFirmwareImageText(Linear(0x0003) + Data(0xDFF0, 16) + kEnd);
    EXPECT_TRUE(last.valid) << last.problem.toStdString();
    EXPECT_EQ(last.endAddress, 0x3E000u);

    const FirmwareImageCheck over =
        CheckFirmwareImageText(Linear(0x0003) + Data(0xDFF1, 16) + kEnd);
    EXPECT_FALSE(over.valid);
    EXPECT_THAT(over.problem.toStdString(), HasSubstr("line 2"));
    EXPECT_THAT(over.problem.toStdString(), HasSubstr("0x3E000"));

    const FirmwareImageCheck beyondPart =
        CheckFirmwareImageText(Linear(0x0004) + Data(0x0000, 1) + kEnd);
    EXPECT_FALSE(beyondPart.valid);
}

TEST(FirmwareImageCheck, malformedFiles_areRefusedWithLineAndReason) {
    struct Case {
        const char* what;
        QByteArray text;
        const char* problem;
    };
    QByteArray badSum = Data(0x0000, 4);
    badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
    QByteArray shortRecord = Data(0x0000, 4);
    shortRecord.remove(shortRecord.size() - 5, 2); // one data byte fewer than its count
    const Case cases[] = {
        {"checksum", Data(0, 4) + badSum + kEnd, "line 2: checksum error"},
        {"length", shortRecord + kEnd, "line 1: the record's length"},
        {"digits", ":10000000ZZ\n" + kEnd, "line 1: the record holds characters"},
        {"odd digits", ":0000000\n" + kEnd, "line 1: the record holds characters"},
        {"too short", ":0000\n" + kEnd, "line 1: the record's length"},
        {"no colon", Data(0, 4) + "hello\n" + kEnd, "line 2: not an Intel HEX record"},
        {"type", Record(0x06, 0, {}) + kEnd, "line 1: record type 0x06 is not supported"},
        {"linear length", Record(0x04, 0, QByteArray(1, '\0')) + kEnd, "must hold 2 data bytes"},
        {"end length", Data(0, 4) + Record(0x01, 0, QByteArray(1, '\0')), "must hold 0 data"},
        {"no end", Data(0, 4), "end-of-file record is missing"},
        {"after end", Data(0, 4) + kEnd + Data(0x10, 4), "line 3: text after the end-of-file"},
        {"no data", kEnd, "holds no data"},
        {"empty", QByteArray(), "end-of-file record is missing"},
    };
    for (const Case& c : cases) {
        const FirmwareImageCheck check = CheckFirmwareImageText(c.text);
        EXPECT_FALSE(check.valid) << c.what;
        EXPECT_THAT(check.problem.toStdString(), HasSubstr(c.problem)) << c.what;
    }
}

// Images as GNU objcopy writes them (32-byte records, extended segment
// addresses every 64 KiB): a full application flash fits, one byte more not.
TEST(FirmwareImageCheck, objcopyImages_fitUpToTheBootLoader) {
    if (!QFileInfo(QStringLiteral("/usr/bin/objcopy")).isExecutable())
        GTEST_SKIP() << "objcopy is not installed";
    QTemporaryDir dir;
    const auto makeImage = [&](quint32 size) {
        const QString binary = dir.filePath("image.bin");
        const QString hex = dir.filePath("image.hex");
        QByteArray content(static_cast<qsizetype>(size), '\0');
        for (quint32 i = 0; i < size; ++i)
            content[i] = static_cast<char>(i * 7 + 3);
        EXPECT_TRUE(WriteFile(binary, content));
        QProcess objcopy;
        objcopy.start("/usr/bin/objcopy", {"-I", "binary", "-O", "ihex", binary, hex});
        EXPECT_TRUE(objcopy.waitForFinished(60000));
        EXPECT_EQ(objcopy.exitCode(), 0);
        return CheckFirmwareImageFile(hex);
    };
    const FirmwareImageCheck full = makeImage(kGcuApplicationFlashBytes);
    EXPECT_TRUE(full.valid) << full.problem.toStdString();
    EXPECT_EQ(full.dataBytes, kGcuApplicationFlashBytes);
    EXPECT_EQ(full.endAddress, kGcuApplicationFlashBytes);
    EXPECT_FALSE(makeImage(kGcuApplicationFlashBytes + 1).valid);
}

TEST(FirmwareImageCheck, unreadableFile_isRefusedNamingIt) {
    const FirmwareImageCheck check = CheckFirmwareImageFile("/nonexistent/GCU.HEX");
    EXPECT_FALSE(check.valid);
    EXPECT_THAT(check.problem.toStdString(), HasSubstr("/nonexistent/GCU.HEX"));
}

// ------------------------------------------------- programmer and working folder

TEST(FirmwareProgrammer, commandLine_namesConfigurationPortAndImage) {
    EXPECT_EQ(AvrdudeArguments("/tmp/w/avrdude.conf", "/dev/ttyUSB0"),
              (QStringList{"-C", "/tmp/w/avrdude.conf", "-v", "-p", "atmega2560", "-c", "wiring",
                           "-P", "/dev/ttyUSB0", "-b115200", "-D", "-U", "flash:w:FW.HEX:i"}));
}

TEST(FirmwareProgrammer, bundledAvrdude_isPreferred_systemOneOtherwise) {
    QTemporaryDir root;
    const QString program = root.filePath("prog");
    const QString system = root.filePath("sys/avrdude");
    const QString systemConf = root.filePath("sys/avrdude.conf");
    const AvrdudeSearch search{program, system, systemConf};

    EXPECT_FALSE(LocateAvrdude(search).has_value());
    EXPECT_THAT(DescribeAvrdudeSearch(search).toStdString(), HasSubstr(system.toStdString()));

    ASSERT_TRUE(WriteFile(system, "#!/bin/sh\n", true));
    EXPECT_FALSE(LocateAvrdude(search).has_value()) << "a program without configuration";
    ASSERT_TRUE(WriteFile(systemConf, "# conf\n"));
    auto found = LocateAvrdude(search);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, system);
    EXPECT_FALSE(found->bundled);

    // A bundled program without its configuration is not used.
    const QString bundled = program + "/FW/avrdude/avrdude";
    ASSERT_TRUE(WriteFile(bundled, "#!/bin/sh\n", true));
    EXPECT_EQ(LocateAvrdude(search)->program, system);
    ASSERT_TRUE(WriteFile(program + "/FW/avrdude/avrdude.conf", "# conf\n"));
    found = LocateAvrdude(search);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, bundled);
    EXPECT_EQ(found->configuration, program + "/FW/avrdude/avrdude.conf");
    EXPECT_TRUE(found->bundled);

    // A bundled file that is not executable is passed over.
    QFile::setPermissions(bundled, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(LocateAvrdude(search)->program, system);
}

TEST(FirmwareProgrammer, workFolder_isPrivate_holdsCopies_andGoesAway) {
    QTemporaryDir root;
    ASSERT_TRUE(WriteFile(root.filePath("my.conf"), "conf text\n"));
    ASSERT_TRUE(WriteFile(root.filePath("image.hex"), kSmallImage));
    QString path;
    {
        FirmwareWorkFolder folder(root.filePath("my.conf"), root.filePath("image.hex"),
                                  root.path());
        path = folder.Path();
        EXPECT_EQ(QFileInfo(path).dir(), QDir(root.path()));
        EXPECT_EQ(QFileInfo(path).permissions() &
                      (QFile::ReadOther | QFile::ReadGroup | QFile::ExeOther | QFile::WriteOther),
                  QFile::Permissions());
        EXPECT_EQ(ReadFile(path + "/avrdude.conf"), "conf text\n");
        EXPECT_EQ(ReadFile(path + "/FW.HEX"), kSmallImage);
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(FirmwareProgrammer, workFolderWithMissingSource_throws_andLeavesNothingBehind) {
    QTemporaryDir root;
    ASSERT_TRUE(WriteFile(root.filePath("my.conf"), "conf\n"));
    ASSERT_TRUE(QDir(root.path()).mkdir("parent"));
    const QString parent = root.filePath("parent");
    EXPECT_THROW(FirmwareWorkFolder(root.filePath("my.conf"), root.filePath("gone.hex"), parent),
                 EInOutError);
    EXPECT_THROW(FirmwareWorkFolder(root.filePath("gone.conf"), root.filePath("my.conf"), parent),
                 EInOutError);
    EXPECT_TRUE(QDir(parent).isEmpty());
    EXPECT_THROW(FirmwareWorkFolder(root.filePath("my.conf"), root.filePath("my.conf"),
                                    root.filePath("no-such-parent")),
                 EInOutError);
}

TEST(FirmwareOutputLog, lastLines_skipBlanks_andTreatCarriageReturnAsLineEnd) {
    FirmwareOutputLog log;
    log.Append("avrdude: Version 7.1\n\nWriting | ###");
    log.Append("### | 100%\r\n\r\nerror one\rerror two\n");
    EXPECT_THAT(log.LastLines(3), ElementsAre("Writing | ###### | 100%", "error one", "error two"));
    EXPECT_EQ(log.LastLines(10).size(), 4);
    EXPECT_TRUE(FirmwareOutputLog().LastLines(5).isEmpty());
}

// ------------------------------------------------------------ the whole update

// Records every callback of a run in order.
struct Recorder {
    QStringList events;
    QList<std::pair<int, QString>> messages;
    QString progress;
    bool confirmAnswer = true;
    QString workFolderSeenAtReopen;
    bool workFolderExistedAtReopen = false;
    std::function<void()> onClose;
    const FirmwareUpdater* updater = nullptr;
    QString versionAfter = "5.1.0"; // what the GCU announces after the update
    std::optional<FirmwareUpdateResult> success;

    FirmwareUpdateHooks Hooks() {
        FirmwareUpdateHooks hooks;
        hooks.confirmUpdate = [this](const QString& path) {
            events << "confirm " + path;
            return confirmAnswer;
        };
        hooks.showFirmwarePage = [this] { events << "show page"; };
        hooks.hideFirmwarePage = [this] { events << "hide page"; };
        hooks.closeLink = [this] {
            events << "close";
            if (onClose)
                onClose();
        };
        hooks.reopenLink = [this](const QString& port) {
            events << "reopen " + port;
            workFolderSeenAtReopen = updater->LastWorkFolder();
            workFolderExistedAtReopen = QFileInfo::exists(workFolderSeenAtReopen);
        };
        hooks.showProgress = [this](const QString& chunk) {
            if (progress.isEmpty())
                events << "progress";
            progress += chunk;
        };
        hooks.setBusy = [this](bool busy) { events << (busy ? "busy" : "not busy"); };
        hooks.showMessage = [this](int number, const FirmwareFailure& failure) {
            events << QString("message %1").arg(number);
            messages.append({number, FirmwareFailureText(failure)});
        };
        hooks.announcedVersion = [] { return QString("5.0.9"); };
        hooks.awaitAnnouncedVersion = [this] {
            events << "await announcement";
            return versionAfter;
        };
        hooks.showSuccess = [this](const FirmwareUpdateResult& result) {
            events << "success";
            success = result;
        };
        return hooks;
    }
};

class FirmwareUpdateRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        ASSERT_TRUE(QDir(root_.path()).mkpath("work"));
        ASSERT_TRUE(QDir(root_.path()).mkpath("record"));
        image_ = root_.filePath("GCU V5.HEX");
        ASSERT_TRUE(WriteFile(image_, kSmallImage));
    }

    // Puts a stand-in avrdude into FW/avrdude/ of the program's folder. It
    // records its arguments, start folder and inputs, prints progress and ends
    // with exitCode.
    void InstallStandIn(int exitCode, const QByteArray& extraOutput = {}) {
        const QByteArray record = QFile::encodeName(root_.filePath("record"));
        const QByteArray script = "#!/bin/sh\n"
                                  "R='" +
                                  record +
                                  "'\n"
                                  "for a in \"$@\"; do echo \"$a\"; done > \"$R/args\"\n"
                                  "pwd > \"$R/cwd\"\n"
                                  "stat -c %a . > \"$R/mode\"\n"
                                  "cp FW.HEX \"$R/image\"\n"
                                  "cp \"$2\" \"$R/conf\"\n"
                                  "echo 'avrdude: reading input file FW.HEX'\n"
                                  "printf 'Writing | ' >&2\n"
                                  "printf '#########################' >&2\n"
                                  "printf '#########################' >&2\n"
                                  "echo ' | 100% 0.10s' >&2\n" +
                                  extraOutput + "exit " + QByteArray::number(exitCode) + "\n";
        ASSERT_TRUE(WriteFile(ProgramFolder() + "/FW/avrdude/avrdude", script, true));
        ASSERT_TRUE(WriteFile(ProgramFolder() + "/FW/avrdude/avrdude.conf", "# stand-in\n"));
    }

    QString ProgramFolder() const { return root_.filePath("program"); }
    QString Recorded(const QString& name) const {
        return QString::fromLocal8Bit(ReadFile(root_.filePath("record/" + name)));
    }

    FirmwareUpdateOutcome Run(const QString& port = "/dev/ttyUSB3") {
        FirmwareUpdateSettings settings;
        settings.programFolder = ProgramFolder();
        settings.systemAvrdude = root_.filePath("no-system/avrdude");
        settings.systemAvrdudeConfiguration = root_.filePath("no-system/avrdude.conf");
        settings.workFolderParent = root_.filePath("work");
        FirmwareUpdater updater(settings, recorder_.Hooks());
        recorder_.updater = &updater;
        return updater.Run(image_, port);
    }

    void ExpectWorkFolderGoneBeforeReopen() {
        EXPECT_FALSE(recorder_.workFolderSeenAtReopen.isEmpty());
        EXPECT_FALSE(recorder_.workFolderExistedAtReopen);
        EXPECT_TRUE(QDir(root_.filePath("work")).isEmpty());
    }

    QTemporaryDir root_;
    QString image_;
    Recorder recorder_;
};

// The report comes once the link is back and the GCU has announced itself:
// what avrdude wrote and verified, and the version before and after.
TEST_F(FirmwareUpdateRun, success_runsAvrdudeInThePrivateFolder_thenReopensTheSamePort) {
    InstallStandIn(0, "echo 'avrdude: 342 bytes of flash written'\n"
                      "echo 'avrdude: verifying flash memory against FW.HEX'\n"
                      "echo 'avrdude: 342 bytes of flash verified'\n");
    EXPECT_EQ(Run("/dev/ttyUSB3"), FirmwareUpdateOutcome::Updated);

    EXPECT_THAT(recorder_.events,
                ElementsAre("confirm " + image_, "show page", "close", "busy", "progress",
                            "not busy", "hide page", "reopen /dev/ttyUSB3", "await announcement",
                            "success"));
    ASSERT_TRUE(recorder_.success);
    EXPECT_EQ(recorder_.success->bytesWritten, 342);
    EXPECT_EQ(recorder_.success->bytesVerified, 342);
    EXPECT_EQ(recorder_.success->versionBefore, "5.0.9");
    EXPECT_EQ(recorder_.success->versionAfter, "5.1.0");
    const QString folder = recorder_.workFolderSeenAtReopen;
    EXPECT_EQ(Recorded("args").split('\n', Qt::SkipEmptyParts),
              AvrdudeArguments(folder + "/avrdude.conf", "/dev/ttyUSB3"));
    EXPECT_EQ(QFileInfo(Recorded("cwd").trimmed()), QFileInfo(folder));
    EXPECT_EQ(Recorded("mode").trimmed(), "700");
    EXPECT_EQ(Recorded("image").toLatin1(), kSmallImage);
    EXPECT_EQ(Recorded("conf"), "# stand-in\n");
    EXPECT_THAT(recorder_.progress.toStdString(), HasSubstr("Writing | ####"));
    EXPECT_THAT(recorder_.progress.toStdString(), HasSubstr("| 100%"));
    ExpectWorkFolderGoneBeforeReopen();
}

// A good exit without avrdude's word on what it wrote and verified, and a GCU
// that stays silent afterwards: the report says what is not known.
TEST_F(FirmwareUpdateRun, success_withoutVerificationOrAnnouncement_reportsNeither) {
    InstallStandIn(0, "echo 'avrdude: 99 bytes of flash written'\n"
                      "echo 'avrdude: 120 bytes of flash written'\n");
    recorder_.versionAfter.clear();
    EXPECT_EQ(Run(), FirmwareUpdateOutcome::Updated);
    ASSERT_TRUE(recorder_.success);
    EXPECT_EQ(recorder_.success->bytesWritten, 120); // the last report counts
    EXPECT_FALSE(recorder_.success->bytesVerified);
    EXPECT_TRUE(recorder_.success->versionAfter.isEmpty());
    EXPECT_TRUE(recorder_.messages.isEmpty());
}

TEST_F(FirmwareUpdateRun, nonZeroExit_isReportedAsFailure_withCodeAndLastLines) {
    InstallStandIn(1, "echo 'avrdude: stk500v2_ReceiveMessage(): timeout' >&2\n"
                      "echo 'avrdude: verification error, first mismatch at byte 0x0000'\n");
    EXPECT_EQ(Run(), FirmwareUpdateOutcome::Failed);

    ASSERT_EQ(recorder_.messages.size(), 1);
    EXPECT_EQ(recorder_.messages[0].first, 29);
    const QString extra = recorder_.messages[0].second;
    EXPECT_TRUE(extra.startsWith("1\n\n")) << extra.toStdString();
    EXPECT_TRUE(extra.endsWith("avrdude: stk500v2_ReceiveMessage(): timeout\n"
                               "avrdude: verification error, first mismatch at byte 0x0000"))
        << extra.toStdString();
    EXPECT_LE(extra.count('\n'), 2 + kFirmwareFailureLines);
    EXPECT_EQ(recorder_.events.back(), "reopen /dev/ttyUSB3");
    EXPECT_TRUE(recorder_.events.contains("hide page"));
    ExpectWorkFolderGoneBeforeReopen();
}

TEST_F(FirmwareUpdateRun, avrdudeThatCannotStart_isReportedAsFailure_andTheLinkComesBack) {
    ASSERT_TRUE(WriteFile(ProgramFolder() + "/FW/avrdude/avrdude", "#!/no/such/shell\n", true));
    ASSERT_TRUE(WriteFile(ProgramFolder() + "/FW/avrdude/avrdude.conf", "# stand-in\n"));
    EXPECT_EQ(Run(), FirmwareUpdateOutcome::Failed);

    ASSERT_EQ(recorder_.messages.size(), 1);
    EXPECT_EQ(recorder_.messages[0].first, 29);
    EXPECT_THAT(recorder_.messages[0].second.toStdString(),
                ::testing::StartsWith("-1\n\n" + ProgramFolder().toStdString() +
                                      "/FW/avrdude/avrdude could not be started"));
    EXPECT_EQ(recorder_.events.back(), "reopen /dev/ttyUSB3");
    ExpectWorkFolderGoneBeforeReopen();
}

TEST_F(FirmwareUpdateRun, refusalsBeforeTheStart_leaveTheLinkAlone) {
    // Invalid image: message 30 with the reason, nothing else.
    InstallStandIn(0);
    ASSERT_TRUE(WriteFile(image_, Data(0, 16))); // no end-of-file record
    EXPECT_EQ(Run(), FirmwareUpdateOutcome::ImageRefused);
    EXPECT_THAT(recorder_.events, ElementsAre("message 30"));
    EXPECT_THAT(recorder_.messages[0].second.toStdString(), HasSubstr("end-of-file"));

    // No avrdude anywhere: message 29 with -1 and where it was looked for.
    recorder_ = Recorder();
    ASSERT_TRUE(WriteFile(image_, kSmallImage));
    QDir(ProgramFolder()).removeRecursively();
    EXPECT_EQ(Run(), FirmwareUpdateOutcome::ProgrammerMissing);
    EXPECT_THAT(recorder_.events, ElementsAre("message 29"));
    EXPECT_THAT(recorder_.messages[0].second.toStdString(),
                ::testing::StartsWith("-1\n\navrdude was not found"));

    // No to the confirmation.
    recorder_ = Recorder();
    InstallStandIn(0);
    recorder_.confirmAnswer = false;
    EXPECT_EQ(Run(), FirmwareUpdateOutcome::Cancelled);
    EXPECT_THAT(recorder_.events, ElementsAre("confirm " + image_));
    EXPECT_FALSE(QFile::exists(root_.filePath("record/args")));
}

TEST_F(FirmwareUpdateRun, workFolderError_runsTheEndSteps_thenReachesTheErrorReport) {
    InstallStandIn(0);
    FirmwareUpdateSettings settings;
    settings.programFolder = ProgramFolder();
    settings.workFolderParent = root_.filePath("no-such-parent");
    FirmwareUpdater updater(settings, recorder_.Hooks());
    recorder_.updater = &updater;
    EXPECT_THROW(updater.Run(image_, "/dev/ttyACM0"), EInOutError);
    EXPECT_THAT(recorder_.events, ElementsAre("confirm " + image_, "show page", "close",
                                              "hide page", "reopen /dev/ttyACM0"));
    EXPECT_FALSE(QFile::exists(root_.filePath("record/args")));
}

TEST_F(FirmwareUpdateRun, linkThatFailsToClose_isNotToggledAgain) {
    InstallStandIn(0);
    recorder_.onClose = [] { throw EInOutError("Cannot close"); };
    EXPECT_THROW(Run(), EInOutError);
    EXPECT_THAT(recorder_.events,
                ElementsAre("confirm " + image_, "show page", "close", "hide page"));
}

TEST_F(FirmwareUpdateRun, debiansAvrdude_acceptsTheCommandLine_andItsFailureIsReported) {
    if (!QFileInfo(QStringLiteral("/usr/bin/avrdude")).isExecutable() ||
        !QFileInfo::exists(QStringLiteral("/etc/avrdude.conf")))
        GTEST_SKIP() << "Debian's avrdude is not installed";
    FirmwareUpdateSettings settings;
    settings.programFolder = root_.filePath("plain-program"); // no bundled copy
    settings.workFolderParent = root_.filePath("work");
    FirmwareUpdater updater(settings, recorder_.Hooks());
    recorder_.updater = &updater;
    // A port that fails at once: avrdude gives up without waiting for a board.
    const QString port = QStringLiteral("/dev/null");
    EXPECT_EQ(updater.Run(image_, port), FirmwareUpdateOutcome::Failed);

    ASSERT_EQ(recorder_.messages.size(), 1);
    EXPECT_EQ(recorder_.messages[0].first, 29);
    const std::string extra = recorder_.messages[0].second.toStdString();
    EXPECT_THAT(extra, ::testing::StartsWith("1\n\n"));
    EXPECT_THAT(extra, HasSubstr("wiring on port /dev/null")) << "avrdude got as far as the port";
    EXPECT_THAT(extra, ::testing::Not(HasSubstr("Usage"))) << extra;
    EXPECT_THAT(recorder_.progress.toStdString(),
                HasSubstr((recorder_.workFolderSeenAtReopen + "/avrdude.conf").toStdString()))
        << "verbose output names the configuration in the working folder";
    EXPECT_EQ(recorder_.events.back(), "reopen " + port);
    ExpectWorkFolderGoneBeforeReopen();
}

} // namespace
