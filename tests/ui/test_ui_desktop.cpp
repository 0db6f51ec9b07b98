// The program as a desktop program: the link's texts after a language switch
// and without a translation file, the command line (--help and --version
// without a display), the support log, and the per-user copy of a read-only
// program folder.
#include "app/CommandLine.h"
#include "device/LinkLogging.h"
#include "device/TrafficLog.h"
#include "support/FileLimits.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "util/BuildInfo.h"
#include "util/ProgramPaths.h"
#include "util/SupportLog.h"

#include <QProcess>
#include <QRegularExpression>
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

// The program's options are checked before the toolkit starts; the toolkit's
// own options are left for it, with their values.
TEST(CommandLineInfo, toolkitOptionsPassUnchecked_anythingElseMustBeTheProgramsOwn) {
    struct Case {
        QStringList arguments;
        const char* errorNames; // empty: understood
        const char* dataDir = "";
    };
    const Case cases[] = {
        {{"-platform", "offscreen", "--demo"}, ""},
        {{"--style=Fusion", "-reverse", "--data-dir", "/d"}, "", "/d"},
        {{"-qwindowtitle", "--data-dir", "-stylesheet", "x.qss"}, ""}, // values, not options
        {{"--platform", "xcb", "--data-dir=/e"}, "", "/e"},
        {{"--bogus"}, "bogus"},
        {{"-platform", "offscreen", "--bogus"}, "bogus"},
        {{"-x"}, "x"},
        {{"stray"}, "stray"},
        {{"--", "-platform"}, "-platform"},
        {{"--log-status"}, "--log"},
        {{"--log", "a.log", "--log-status"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartOptions options =
            ParseCommandLine(WithoutToolkitOptions(QStringList{"quarventa"} + c.arguments));
        if (QByteArray(c.errorNames).isEmpty()) {
            EXPECT_TRUE(options.error.isEmpty()) << options.error.toStdString();
            EXPECT_EQ(options.dataDir, QLatin1String(c.dataDir));
        } else {
            EXPECT_TRUE(options.error.contains(QLatin1String(c.errorNames)))
                << options.error.toStdString();
        }
    }
    EXPECT_FALSE(CommandLineErrorLine("Unknown option 'a'.\nMore").contains('\n'));
}

// Started as from a terminal without a display, a line the program does not
// understand ends it with exit code 2 and one line, before the toolkit could
// abort for want of a display.
TEST(CommandLineInfo, unknownOptionWithoutADisplay_exitsTwoWithOneLine) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    const std::pair<QStringList, const char*> cases[] = {
        {{"--bogus"}, "bogus"},
        {{"-platform", "xcb", "--bogus"}, "bogus"},
        {{"--log"}, "log"},
        {{"--demo", "stray"}, "stray"},
    };
    for (const auto& [arguments, named] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QV_BINARY_DIR "/quarventa"), arguments);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 2);
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
        const QString error = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
        EXPECT_TRUE(error.startsWith("quarventa: ")) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(named))) << error.toStdString();
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

// Upgrades one after the other, with the user's doings between them: a copy
// the user never changed follows the installation (the language marker the
// program wrote is not a change, and is kept); a changed one is kept and
// named once for each newer shipped version.
TEST(DataFolder, upgrades_refreshUntouchedCopies_keepChangedOnes_andNameThemOncePerVersion) {
    QTemporaryDir shipped;
    QTemporaryDir user;
    const QString commands = QStringLiteral("CFG/Commands.CSV");
    const QString table = QStringLiteral("CFG/Translations.CSV");
    const QString image = QStringLiteral("FW/GCU.HEX");
    struct Step {
        const char* what;
        QHash<QString, QByteArray> ships;         // files of this version that changed
        std::function<void(const QString&)> user; // done by the user before the start
        QHash<QString, QByteArray> expected;      // the user's copies after the start
        QStringList refreshed;
        QStringList named;
    };
    const auto edit = [&user](const QString& file, const QByteArray& bytes) {
        return [&user, file, bytes](const QString&) { WriteBytes(user.filePath(file), bytes); };
    };
    const Step steps[] = {
        {"first start copies everything",
         {{commands, "c1"}, {table, "T;[ENGLISH];ITALIANO\r\nrow 1\r\n"}, {image, "fw1"}},
         nullptr,
         {{commands, "c1"}, {table, "T;[ENGLISH];ITALIANO\r\nrow 1\r\n"}, {image, "fw1"}},
         {},
         {}},
        {"the user picks Italian; an upgrade refreshes the untouched copies",
         {{commands, "c2"}, {table, "T;[ENGLISH];ITALIANO\r\nrow 2\r\n"}},
         edit(table, "T;ENGLISH;[ITALIANO]\r\nrow 1\r\n"),
         {{commands, "c2"}, {table, "T;ENGLISH;[ITALIANO]\r\nrow 2\r\n"}, {image, "fw1"}},
         {commands, table},
         {}},
        {"the user edits the table; the next version's table is not taken",
         {{table, "T;[ENGLISH];ITALIANO\r\nrow 3\r\n"}},
         edit(table, "T;ENGLISH;[ITALIANO]\r\nmine\r\n"),
         {{commands, "c2"}, {table, "T;ENGLISH;[ITALIANO]\r\nmine\r\n"}},
         {},
         {table}},
        {"the same version again: nothing to say",
         {},
         nullptr,
         {{table, "T;ENGLISH;[ITALIANO]\r\nmine\r\n"}},
         {},
         {}},
        {"yet another table: named again; a new image is copied",
         {{table, "T;[ENGLISH];ITALIANO\r\nrow 4\r\n"}, {QStringLiteral("FW/NEW.HEX"), "fw2"}},
         nullptr,
         {{table, "T;ENGLISH;[ITALIANO]\r\nmine\r\n"}, {QStringLiteral("FW/NEW.HEX"), "fw2"}},
         {},
         {table}},
        {"the user changes the image to the shipped one: it follows again",
         {{image, "fw3"}},
         edit(image, "fw3"),
         {{image, "fw3"}},
         {},
         {}},
        {"copies of unknown origin that differ are the user's",
         {{commands, "c5"}},
         [&user](const QString&) {
             QFile::remove(user.filePath(QLatin1String(ShippedCopiesFileName)));
         },
         {{commands, "c2"}},
         {},
         {commands, table}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        for (auto it = step.ships.begin(); it != step.ships.end(); ++it)
            ASSERT_TRUE(WriteBytes(shipped.filePath(it.key()), it.value()));
        if (step.user)
            step.user(user.path());
        const SeedReport report = RefreshDataFolder(shipped.path(), user.path());
        EXPECT_TRUE(report.complete);
        for (auto it = step.expected.begin(); it != step.expected.end(); ++it)
            EXPECT_EQ(ReadBytes(user.filePath(it.key())), it.value()) << it.key().toStdString();
        QStringList refreshed = report.refreshed;
        refreshed.sort();
        QStringList wanted = step.refreshed;
        wanted.sort();
        EXPECT_EQ(refreshed, wanted);
        QStringList named = report.newerShipped;
        named.sort();
        wanted = step.named;
        wanted.sort();
        EXPECT_EQ(named, wanted);
    }
}

// An upgrade the disk cannot take leaves the copies as they were, whole, and
// does not count them as refreshed: the next start refreshes them.
TEST(DataFolder, upgradeThatCannotBeWritten_leavesTheCopiesWhole_andIsDoneAtTheNextStart) {
    QTemporaryDir shipped;
    QTemporaryDir user;
    const QString commands = QStringLiteral("CFG/Commands.CSV");
    ASSERT_TRUE(WriteBytes(shipped.filePath(commands), "commands 1"));
    ASSERT_TRUE(RefreshDataFolder(shipped.path(), user.path()).complete);
    ASSERT_TRUE(WriteBytes(shipped.filePath(commands), "commands 2"));
    {
        qvtest::FilesCannotGrow full;
        const SeedReport report = RefreshDataFolder(shipped.path(), user.path());
        EXPECT_FALSE(report.complete);
        EXPECT_TRUE(report.refreshed.isEmpty());
    }
    EXPECT_EQ(ReadBytes(user.filePath(commands)), "commands 1");
    const SeedReport report = RefreshDataFolder(shipped.path(), user.path());
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.refreshed, QStringList{commands});
    EXPECT_EQ(ReadBytes(user.filePath(commands)), "commands 2");
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

// ------------------------------------------------------------------ a long day, fast

namespace {
QStringList LogFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}
// The lines of a log and its older files, oldest first.
QStringList LogLines(const QString& path, int kept) {
    QStringList lines;
    for (int n = kept - 1; n >= 0; --n)
        lines << QString::fromUtf8(ReadBytes(n == 0 ? path : RotatedLogPath(path, n)))
                     .split('\n', Qt::SkipEmptyParts);
    return lines;
}
} // namespace

// A stream of link traffic and status lines far longer than the log may hold:
// the log turns over at its size, keeps three files with the newest lines in
// order, and has the status lines only when asked for them. A warning is
// written through at once.
TEST(SupportLog, fastStream_rotatesAtItsSize_keepsThreeFiles_statusLinesOnlyWhenAsked) {
    for (const bool statusLines : {false, true}) {
        SCOPED_TRACE(statusLines);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("support.log"));
        SupportLogOptions options;
        options.statusLines = statusLines;
        options.rotateBytes = 64 * 1024;
        QString error;
        ASSERT_TRUE(StartSupportLog(path, error, options)) << error.toStdString();
        constexpr int Lines = 20000;
        for (int i = 0; i < Lines; ++i) {
            qCInfo(lcLink) << "sent: frame" << i;
            qCInfo(lcLinkStatus) << "received: status" << i;
        }
        qCWarning(lcLink) << "the last word";
        EXPECT_TRUE(ReadBytes(path).contains("the last word")); // before the log ends
        StopSupportLog();
        QLoggingCategory::setFilterRules(QString());

        EXPECT_EQ(LogFiles(dir.path()),
                  QStringList({"support.log", "support.log.1", "support.log.2"}));
        for (const QString& file : LogFiles(dir.path()))
            EXPECT_LE(QFileInfo(dir.filePath(file)).size(), options.rotateBytes)
                << file.toStdString();
        const QStringList lines = LogLines(path, 3);
        int previous = -1;
        bool statusSeen = false;
        static const QRegularExpression frame(QStringLiteral("qv.link: sent: frame (\\d+)$"));
        for (const QString& line : lines) {
            statusSeen |= line.contains(QStringLiteral("qv.link.status: received: status"));
            const auto match = frame.match(line);
            if (!match.hasMatch())
                continue;
            const int number = match.captured(1).toInt();
            if (previous >= 0) {
                EXPECT_EQ(number, previous + 1) << "a line went missing";
            }
            previous = number;
        }
        EXPECT_EQ(previous, Lines - 1);
        EXPECT_FALSE(lines.first().contains(QStringLiteral("frame 0"))); // the oldest went
        EXPECT_TRUE(lines.last().contains(QStringLiteral("the last word")));
        EXPECT_EQ(statusSeen, statusLines);
    }
}

// With the limits it ships with: ten megabytes a file, three files.
TEST(SupportLog, defaultLimitsHoldOverALongDay) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.log"));
    QString error;
    ASSERT_TRUE(StartSupportLog(path, error)) << error.toStdString();
    const QString traffic(80, u'x');
    for (int i = 0; i < 260000; ++i) // about 32 MB
        qCInfo(lcLink).noquote() << "received:" << traffic << i;
    StopSupportLog();
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(LogFiles(dir.path()), QStringList({"day.log", "day.log.1", "day.log.2"}));
    for (const QString& file : LogFiles(dir.path()))
        EXPECT_LE(QFileInfo(dir.filePath(file)).size(), 10 * 1024 * 1024) << file.toStdString();
    EXPECT_TRUE(LogLines(path, 1).last().endsWith(QStringLiteral(" 259999")));
}

class TrafficMemo : public qvtest::WindowOnDataFolder {};

// Received text fast and long: the Commands page's memo keeps its newest lines.
TEST_F(TrafficMemo, fastStream_keepsTheNewestTenThousandLines) {
    form->Control<TTabSheet>(QStringLiteral("TSCommands")).SetTabVisible(true);
    auto& memo = form->Control<TMemo>(QStringLiteral("Memo"));
    constexpr int Pieces = 12000;
    for (int i = 0; i < Pieces; ++i)
        form->SerialPortReceive(nullptr, "piece " + QByteArray::number(i));
    EXPECT_EQ(memo.LineCount(), TrafficLog::MaxLines);
    EXPECT_TRUE(memo.Line(memo.LineCount() - 1).endsWith(QStringLiteral("piece 11999")));
    EXPECT_TRUE(memo.Line(0).endsWith(QStringLiteral("piece 2000"))) << memo.Line(0).toStdString();
}
