// The program as a desktop program: the link's texts after a language switch
// and without a translation file, the command line (--help and --version
// without a display), the support log, and the per-user copy of a read-only
// program folder.
#include "app/CommandLine.h"
#include "device/LinkLogging.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "util/BuildInfo.h"
#include "util/ProgramPaths.h"
#include "util/SupportLog.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using qvtest::WaitFor;

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class LinkTexts : public qvtest::WindowWithGcu {
  protected:
    QString ButtonCaption() const { return ConnectButton().Caption(); }
    QString Status() const {
        return form->Control<TLabel>(QStringLiteral("LSerialCommunicationStatus")).Caption();
    }
};

// With the shipped translation file, whose rows hold the designed captions of
// the connect button and the status label.
class LinkTextsTranslated : public LinkTexts {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_SOURCE_DIR "/CFG/Translations.CSV"),
                                data.FilePath(QStringLiteral("CFG/Translations.CSV"))));
        LinkTexts::SetUp();
    }
    void Press(Qt::Key key) { QTest::keyClick(form.get(), key, Qt::ControlModifier); }
};

// No translation file at all: every text the program shows comes from itself.
class LinkTextsWithoutTable : public LinkTexts {
  protected:
    bool FillsMessageTexts() const override { return false; }
};

} // namespace

TEST_F(LinkTextsTranslated, languageSwitchWhileConnected_showsTheOpenLinkInTheNewLanguage) {
    AutoConnect(mrNo);
    Press(Qt::Key_F2);
    ASSERT_EQ(form->LanguageGLOB, 2);
    EXPECT_EQ(ButtonCaption(), QStringLiteral("Disconnetti"));
    EXPECT_EQ(Status(), QStringLiteral("Connesso"));
    EXPECT_TRUE(form->Control<TLed>(QStringLiteral("LedSerialCommunication")).Lit());

    ConnectButton().Click(); // disconnects, as its caption says
    EXPECT_FALSE(Connected());
    EXPECT_EQ(ButtonCaption(), QStringLiteral("Connetti"));
    EXPECT_EQ(Status(), QStringLiteral("Non connesso"));

    Press(Qt::Key_F5);
    EXPECT_EQ(ButtonCaption(), QStringLiteral("Verbinden"));
    EXPECT_EQ(Status(), QStringLiteral("Keine Verbindung"));
}

TEST_F(LinkTextsWithoutTable, messagesAndLinkCaptionsComeInEnglish_noEmptyBoxes) {
    AutoConnect(mrNo);
    EXPECT_TRUE(dialogs.asked.front().text.startsWith(QStringLiteral("GCU connected.")));
    EXPECT_EQ(ButtonCaption(), QStringLiteral("Disconnect"));
    EXPECT_EQ(Status(), QStringLiteral("Connected"));
    ConnectButton().Click();
    EXPECT_EQ(ButtonCaption(), QStringLiteral("Connect"));
    EXPECT_EQ(Status(), QStringLiteral("No Connection"));
    for (const auto& question : dialogs.asked)
        EXPECT_FALSE(question.text.isEmpty());
}

// ------------------------------------------------------------------ command line

TEST(CommandLineInfo, helpAndVersionAreFoundBeforeAnythingElse) {
    EXPECT_EQ(RequestedInfo({"quarventa"}), InfoRequest::None);
    EXPECT_EQ(RequestedInfo({"quarventa", "--demo", "--help"}), InfoRequest::Help);
    EXPECT_EQ(RequestedInfo({"quarventa", "-h"}), InfoRequest::Help);
    EXPECT_EQ(RequestedInfo({"quarventa", "--version", "--help"}), InfoRequest::Version);
    EXPECT_EQ(RequestedInfo({"quarventa", "-v"}), InfoRequest::Version);
    EXPECT_EQ(RequestedInfo({"quarventa", "--", "--help"}), InfoRequest::None);
    // Qt's own options are not the program's business here.
    EXPECT_EQ(RequestedInfo({"quarventa", "-platform", "offscreen"}), InfoRequest::None);
    EXPECT_EQ(VersionText(),
              QStringLiteral("quarventa ") + QLatin1String(BuildInfo::Version) + '\n');
}

TEST(CommandLineInfo, logOptionNeedsAFile) {
    EXPECT_EQ(ParseCommandLine({"quarventa", "--log", "support.log"}).logFile, "support.log");
    EXPECT_FALSE(ParseCommandLine({"quarventa", "--log"}).error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"quarventa", "--log", ""}).error.isEmpty());
    EXPECT_TRUE(ParseCommandLine({"quarventa", "--help"}).error.isEmpty());
}

// The built program, started as from a terminal without a display.
TEST(CommandLineInfo, helpAndVersionExitZeroWithoutADisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    for (const char* option : {"--help", "--version"}) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QV_BINARY_DIR "/quarventa"), {QLatin1String(option)});
        ASSERT_TRUE(program.waitForFinished(30000)) << option;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(program.exitCode(), 0) << option << program.readAllStandardError().toStdString();
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        if (QLatin1String(option) == QLatin1String("--help")) {
            for (const char* listed : {"--demo", "--data-dir", "--log", "--version"})
                EXPECT_TRUE(out.contains(QLatin1String(listed))) << listed;
            EXPECT_FALSE(out.contains(QStringLiteral("--screenshot")));
        } else {
            EXPECT_EQ(out, VersionText());
        }
    }
}

// ------------------------------------------------------------------ support log

TEST(SupportLog, linkMessagesGoToTheFileWithTimeStamps_bareNamesToTheUserFolder) {
    QTemporaryDir dir;
    SetUserDataFolder(dir.filePath(QStringLiteral("user")));
    EXPECT_EQ(SupportLogPath(QStringLiteral("support.log")),
              dir.filePath(QStringLiteral("user/logs/support.log")));
    EXPECT_EQ(SupportLogPath(QStringLiteral("./here.log")),
              QDir::current().absoluteFilePath(QStringLiteral("here.log")));
    SetUserDataFolder(QString());

    const QString path = dir.filePath(QStringLiteral("logs/a.log"));
    EXPECT_FALSE(lcLink().isInfoEnabled()); // off by default
    QString error;
    ASSERT_TRUE(StartSupportLog(path, error)) << error.toStdString();
    qCInfo(lcLink) << "sent: [INVPARAM 1][CR][LF]";
    qCInfo(lcFirmware) << "programmer ended with exit code" << 0;
    StopSupportLog();
    QLoggingCategory::setFilterRules(QString());
    const QStringList lines = QString::fromUtf8(ReadBytes(path)).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3); // the program's own line first
    static const QRegularExpression stamped(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
    for (const QString& line : lines)
        EXPECT_TRUE(stamped.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("qv.link: sent: [INVPARAM 1][CR][LF]")));
    EXPECT_TRUE(
        lines[2].contains(QStringLiteral("qv.firmware: programmer ended with exit code 0")));
    EXPECT_FALSE(StartSupportLog(dir.filePath(QStringLiteral("logs/a.log/inside")), error));
}

// ------------------------------------------------------------------ data folder

TEST(DataFolder, seedingCopiesWhatIsMissing_keepsTheUsersFilesAndExecutableBits) {
    QTemporaryDir shipped;
    QTemporaryDir user;
    ASSERT_TRUE(WriteBytes(shipped.filePath("CFG/Commands.CSV"), "shipped commands"));
    ASSERT_TRUE(WriteBytes(shipped.filePath("CFG/Translations.CSV"), "shipped table"));
    ASSERT_TRUE(WriteBytes(shipped.filePath("FW/avrdude/avrdude"), "#!/bin/sh\n"));
    QFile(shipped.filePath("FW/avrdude/avrdude"))
        .setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther);
    QFile(shipped.filePath("CFG/Commands.CSV")).setPermissions(QFile::ReadOwner | QFile::ReadOther);
    ASSERT_TRUE(WriteBytes(user.filePath("CFG/Translations.CSV"), "the user's choice"));

    EXPECT_TRUE(SeedDataFolder(shipped.path(), user.path()));
    EXPECT_EQ(ReadBytes(user.filePath("CFG/Commands.CSV")), "shipped commands");
    EXPECT_EQ(ReadBytes(user.filePath("CFG/Translations.CSV")), "the user's choice");
    EXPECT_TRUE(QFileInfo(user.filePath("FW/avrdude/avrdude")).isExecutable());
    EXPECT_TRUE(QFile(user.filePath("CFG/Commands.CSV")).permissions() & QFile::WriteOwner);
}

TEST(DataFolder, writableOrDatalessProgramFolderIsUsedAsItIs) {
    QTemporaryDir program;
    QTemporaryDir user;
    SetUserDataFolder(user.path());
    SetProgramFolder(program.path()); // no CFG: nothing to protect or copy
    SetFolderWritableCheck([](const QString&) { return false; });
    EXPECT_EQ(DataFolder(), program.path());
    ASSERT_TRUE(WriteBytes(program.filePath("CFG/Commands.CSV"), "x"));
    SetFolderWritableCheck([](const QString&) { return true; });
    EXPECT_EQ(DataFolder(), program.path());
    EXPECT_FALSE(UsesUserDataCopy());
    SetFolderWritableCheck([](const QString&) { return false; });
    EXPECT_EQ(DataFolder(), user.path());
    EXPECT_EQ(CommandsFilePath(), user.filePath("CFG/Commands.CSV"));
    EXPECT_EQ(ProgramFolder(), program.path());
    SetFolderWritableCheck(nullptr);
    SetProgramFolder(QString());
    SetUserDataFolder(QString());
}
