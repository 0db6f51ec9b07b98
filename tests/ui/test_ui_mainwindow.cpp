// The main window's life: start-up, shortcuts, closing, the commands page and
// the general error report; and the program's command line.
#include "app/CommandLine.h"
#include "translation/TranslationTable.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Counts the key presses that reach a control, to show the window does not eat them.
class KeyCounter : public QObject {
  public:
    explicit KeyCounter(int key) : key_(key) {}
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_)
            ++presses;
        return false;
    }

  private:
    int key_;
};

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A commands file with a title line of 28 columns and two commands.
QByteArray SmallCommandsFile() {
    QByteArray file = "ID;Command;Description";
    for (int c = 3; c < 28; ++c)
        file += ";C" + QByteArray::number(c);
    file += "\r\n";
    const QByteArray tail = ";0;1;0;1;mS;5;5;1;0;1;0;1;mS;5;5;1;1;1;1;1;1;1;3;1;note\r\n";
    file += "1;UPCUTTIM;Up-shift cut time" + tail;
    file += "2;;" + QByteArray(";").repeated(25) + "\r\n";
    file += "3;DNBLIPTM;Down-shift blip time" + tail;
    return file;
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        QDir(dataDir.path()).mkpath("CFG");
        SetProgramFolder(dataDir.path());
    }
    void TearDown() override { SetProgramFolder(QString()); }
    void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    TFormMain form;
};

// ------------------------------------------------------------------ start-up

TEST_F(MainWindow, startUpSetsStateLoadsCommandsAndSizesGrids) {
    WriteFile(dataDir.filePath("CFG/Commands.CSV"), SmallCommandsFile());
    form.Commands[150].Command = "STALE";
    form.PCBForceVersionGLOB = 43;
    form.show();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(form.RPMFactorGLOB, 60);
    EXPECT_EQ(form.PCBForceVersionGLOB, 0);
    EXPECT_EQ(form.LanguageGLOB, 1);
    EXPECT_FALSE(form.SilentControlsEventsGLOB);
    EXPECT_EQ(form.Commands[1].Command, "UPCUTTIM");
    EXPECT_EQ(form.Commands[3].ID, 3);
    EXPECT_EQ(form.Commands[2].ID, 0);
    EXPECT_TRUE(form.Commands[150].Command.isEmpty());
    auto& commands = form.Control<TStringGrid>("SGCommands");
    EXPECT_EQ(commands.ColCount(), 28);
    EXPECT_EQ(commands.Cells(2, 1), "Up-shift cut time");
    EXPECT_GE(commands.ColWidths(2), TFormMain::TextWidth(&commands, "Down-shift blip time") + 8);
    EXPECT_EQ(form.Control<TStringGrid>("SGSequence").Cells(1, 0).trimmed(), "COMMAND");
    auto& translation = form.Control<TStringGrid>("SGTranslation");
    EXPECT_EQ(translation.ColWidths(0), 300);
    EXPECT_EQ(translation.ColWidths(1), 70);
    EXPECT_EQ(translation.ColWidths(6), 200);
    EXPECT_EQ(form.Caption(), "Quarventa - V5.0.009");
    EXPECT_EQ(form.font().family(), "DejaVu Sans");
    EXPECT_EQ(form.font().pixelSize(), 11);
}

TEST_F(MainWindow, missingCommandsFileIsReportedAndStopsTheSequence) {
    form.show();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].type, TMsgDlgType::mtError);
    EXPECT_TRUE(dialogs.asked[0].text.contains("Commands.CSV"));
    EXPECT_TRUE(form.SilentControlsEventsGLOB); // later steps did not run
    EXPECT_EQ(form.LanguageGLOB, 0);
    EXPECT_EQ(form.RPMFactorGLOB, 60);
    EXPECT_TRUE(form.isVisible());
}

// ------------------------------------------------------------------ commands page

TEST_F(MainWindow, commandsPageLoadsRefreshesAndSaves) {
    const QString path = dataDir.filePath("CFG/Commands.CSV");
    WriteFile(path, SmallCommandsFile());
    form.Control<TButton>("BLoadCommands").click();
    EXPECT_EQ(form.Commands[3].Command, "DNBLIPTM");
    auto& grid = form.Control<TStringGrid>("SGCommands");
    form.Commands[3].Description = "Changed in the table";
    form.Control<TButton>("BRefreshCommands").click();
    EXPECT_EQ(grid.Cells(2, 3), "Changed in the table");
    grid.SetCells(1, 2, "NEWCMD");
    form.Control<TButton>("BSaveCommands").click();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    EXPECT_TRUE(lines[2].startsWith("2;NEWCMD;"));
    EXPECT_TRUE(lines[3].startsWith("3;DNBLIPTM;Changed in the table;"));
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(MainWindow, handlerErrorShowsItsOwnTextAndLeavesTheTable) {
    form.Commands[1].Command = "KEPT";
    form.Control<TButton>("BLoadCommands").click(); // no file
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.contains(dataDir.filePath("CFG/Commands.CSV")));
    EXPECT_EQ(form.Commands[1].Command, "KEPT");
}

TEST(ErrorReport, showsTheMessageOfAnyErrorAndGoesOn) {
    ScopedScriptedDialogs dialogs;
    EXPECT_FALSE(RunReported([] { throw EConvertError("'4.3' is not a valid integer value"); }));
    EXPECT_FALSE(RunReported([] { throw std::runtime_error("plain"); }));
    EXPECT_TRUE(RunReported([] {}));
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].text, "'4.3' is not a valid integer value");
    EXPECT_EQ(dialogs.asked[1].text, "plain");
}

// ------------------------------------------------------------------ shortcuts

TEST(ShortcutRule, onlyCtrlAloneActs) {
    EXPECT_EQ(ShortcutFor(Qt::Key_F12, Qt::ControlModifier, Qt::NoButton),
              ShortcutAction::ToggleCommandsTab);
    EXPECT_EQ(ShortcutFor(Qt::Key_L, Qt::ControlModifier | Qt::KeypadModifier, Qt::NoButton),
              ShortcutAction::ToggleLive);
    EXPECT_EQ(ShortcutFor(Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier, Qt::NoButton),
              ShortcutAction::None);
    EXPECT_EQ(ShortcutFor(Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier, Qt::NoButton),
              ShortcutAction::None);
    EXPECT_EQ(ShortcutFor(Qt::Key_F9, Qt::ControlModifier, Qt::LeftButton), ShortcutAction::None);
    EXPECT_EQ(ShortcutFor(Qt::Key_F1, Qt::NoModifier, Qt::NoButton), ShortcutAction::None);
    EXPECT_EQ(ShortcutFor(Qt::Key_F6, Qt::ControlModifier, Qt::NoButton), ShortcutAction::None);
    EXPECT_EQ(ShortcutFor(Qt::Key_F5, Qt::ControlModifier, Qt::NoButton),
              ShortcutAction::LanguageGerman);
}

TEST_F(MainWindow, ctrlF11AndF12ToggleTheirTabsAndTheKeyStillArrives) {
    auto& commands = form.Control<TTabSheet>("TSCommands");
    auto& translation = form.Control<TTabSheet>("TSTranslation");
    auto& edit = form.Control<TSpinEdit>("SERatiosRpm1P");
    KeyCounter counter(Qt::Key_F12);
    edit.installEventFilter(&counter);
    EXPECT_FALSE(commands.TabVisible());
    EXPECT_FALSE(translation.TabVisible());
    Press(&edit, Qt::Key_F12);
    EXPECT_TRUE(commands.TabVisible());
    EXPECT_EQ(counter.presses, 1);
    Press(&edit, Qt::Key_F12);
    EXPECT_FALSE(commands.TabVisible());
    Press(&edit, Qt::Key_F11);
    EXPECT_TRUE(translation.TabVisible());
    Press(&edit, Qt::Key_F11);
    EXPECT_FALSE(translation.TabVisible());
    Press(&edit, Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(commands.TabVisible());
    EXPECT_FALSE(form.Control<TTabSheet>("TSFirmwareUpdate").TabVisible());
}

TEST_F(MainWindow, keyTravellingUpToParentsActsOnce) {
    // A label leaves the key to its parents; the window must not act at each.
    Press(&form.Control<TLabel>("LRatiosRpm1"), Qt::Key_F12);
    EXPECT_TRUE(form.Control<TTabSheet>("TSCommands").TabVisible());
    Press(&form.Control<TLabel>("LRatiosRpm1"), Qt::Key_F12);
    EXPECT_FALSE(form.Control<TTabSheet>("TSCommands").TabVisible());
}

TEST_F(MainWindow, ctrlLTogglesLiveOnlyWhileEnabled) {
    auto& live = form.Control<TCheckBox>("CBLiveActive");
    QSignalSpy clicks(&live, &TCheckBox::Click);
    Press(&form, Qt::Key_L);
    EXPECT_FALSE(live.Checked());
    EXPECT_EQ(clicks.count(), 0);
    live.setEnabled(true);
    Press(&form, Qt::Key_L);
    EXPECT_TRUE(live.Checked());
    Press(&form, Qt::Key_L);
    EXPECT_FALSE(live.Checked());
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(MainWindow, ctrlF1ToF5ClickTheLanguageButtons) {
    const char* buttons[] = {"BTranslateEnglish", "BTranslateItalian", "BTranslateFrench",
                             "BTranslateSpanish", "BTranslateGerman"};
    const int keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5};
    for (int i = 0; i < 5; ++i) {
        QSignalSpy clicked(&form.Control<TButton>(buttons[i]), &TButton::OnClick);
        Press(&form, keys[i], Qt::NoModifier);
        Press(&form, keys[i], Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(clicked.count(), 0) << buttons[i];
        Press(&form, keys[i]);
        EXPECT_EQ(clicked.count(), 1) << buttons[i];
    }
}

TEST_F(MainWindow, ctrlF9AsksForcesAndThenReleasesWithoutAsking) {
    auto& translation = form.Control<TStringGrid>("SGTranslation");
    form.LanguageGLOB = 2;
    translation.SetCells(LanguageColumn(2), MessageRow(23), "Versione PCB forzata:");
    translation.SetCells(LanguageColumn(2), MessageRow(24), "Versione PCB rilasciata");
    dialogs.inputAnswers.push_back({true, "43"});
    Press(&form, Qt::Key_F9);
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].kind, "input");
    EXPECT_EQ(dialogs.asked[0].caption, "PCB Version");
    EXPECT_EQ(dialogs.asked[0].text, "Ex. 43");
    EXPECT_EQ(dialogs.asked[1].text, "Versione PCB forzata: 43");
    EXPECT_EQ(dialogs.asked[1].type, TMsgDlgType::mtInformation);
    EXPECT_EQ(form.PCBForceVersionGLOB, 43);
    Press(&form, Qt::Key_F9);
    EXPECT_EQ(form.PCBForceVersionGLOB, 0);
    ASSERT_EQ(dialogs.asked.size(), 3u); // released without a question
    EXPECT_EQ(dialogs.asked[2].text, "Versione PCB rilasciata");
}

TEST_F(MainWindow, ctrlF9IgnoresEmptyCancelledAndNonNumericAnswers) {
    form.PCBForceVersionGLOB = -5; // not above 0, so the next press asks
    dialogs.inputAnswers = {{true, ""}, {false, "50"}, {true, "4 3"}, {true, "abc"}};
    for (int i = 0; i < 4; ++i)
        Press(&form, Qt::Key_F9);
    EXPECT_EQ(form.PCBForceVersionGLOB, -5);
    for (const auto& question : dialogs.asked)
        EXPECT_EQ(question.kind, "input");
}

TEST_F(MainWindow, ctrlF9NumberTextThatIsNoIntegerIsReportedAndKeepsTheValue) {
    dialogs.inputAnswers = {{true, "4.3"}, {true, "0"}};
    Press(&form, Qt::Key_F9);
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[1].type, TMsgDlgType::mtError);
    EXPECT_TRUE(dialogs.asked[1].text.contains("4.3"));
    EXPECT_EQ(form.PCBForceVersionGLOB, 0);
    Press(&form, Qt::Key_F9); // 0 is stored: not forced, and still reported
    EXPECT_EQ(form.PCBForceVersionGLOB, 0);
    ASSERT_EQ(dialogs.asked.size(), 4u);
    EXPECT_TRUE(dialogs.asked[3].text.endsWith(" 0"));
}

TEST_F(MainWindow, ctrlF10TogglesHintsOfControlsThatFollowTheWindow) {
    auto& follows = form.Control<TButton>("BLoadCommands");
    auto& own = form.Control<TSpinEdit>("SERatiosRpm1P");
    follows.SetHint("Load the commands file");
    own.SetHint("129 [TEETHP1 ] Primary teeth");
    own.SetShowHint(true);
    EXPECT_TRUE(form.ShowHint());
    EXPECT_EQ(follows.toolTip(), follows.Hint());
    Press(&form, Qt::Key_F10);
    EXPECT_FALSE(form.ShowHint());
    EXPECT_TRUE(follows.toolTip().isEmpty());
    EXPECT_EQ(own.toolTip(), own.Hint());
    Press(&form, Qt::Key_F10);
    EXPECT_EQ(follows.toolTip(), follows.Hint());
}

// ------------------------------------------------------------------ closing

TEST_F(MainWindow, closingWithOpenLinkClicksConnectButtonFirst) {
    auto& connect = form.Control<TButton>("BSerialCommunicationConnectDisconnect");
    QSignalSpy clicked(&connect, &TButton::OnClick);
    form.show();
    connect.SetTag(1);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(MainWindow, closingWithClosedLinkClosesAtOnce) {
    auto& connect = form.Control<TButton>("BSerialCommunicationConnectDisconnect");
    QSignalSpy clicked(&connect, &TButton::OnClick);
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(MainWindow, attachedHandlersAreMarkedAndReceiveTheirSender) {
    auto& spin = form.Control<TSpinEdit>("SERatiosRpm2P");
    EXPECT_FALSE(spin.HandlerAttached());
    EXPECT_TRUE(form.Control<TButton>("BLoadCommands").HandlerAttached());
    EXPECT_THROW(form.AttachHandler("Nothing", &TFormMain::BLoadCommandsClick), std::logic_error);
}

// ------------------------------------------------------------------ command line

TEST(CommandLine, dataDirAndScreenshotOptions) {
    const StartOptions options = ParseCommandLine(
        {"quarventa", "--data-dir", "/opt/gcu", "--page", "2", "--screenshot", "/tmp/a.png"});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.dataDir, "/opt/gcu");
    EXPECT_EQ(options.page, 2);
    EXPECT_EQ(options.screenshot, "/tmp/a.png");
    EXPECT_EQ(ParseCommandLine({"quarventa"}).page, -1);
}

TEST(CommandLine, badOptionsGiveAnErrorText) {
    EXPECT_FALSE(ParseCommandLine({"quarventa", "--bogus"}).error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"quarventa", "--page", "two"}).error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"quarventa", "--data-dir"}).error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"quarventa", "stray"}).error.isEmpty());
}

TEST(ProgramPaths, dataFolderOptionMovesCfg) {
    SetProgramFolder("/srv/quarventa");
    EXPECT_EQ(CommandsFilePath(), "/srv/quarventa/CFG/Commands.CSV");
    SetProgramFolder(QString());
    EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
}

} // namespace
