// The commands page: the commands file, its grid and the command table.
#include "translation/MessageNumbers.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"
#include "util/StringGridModel.h"

#include <QDir>

// The "Load" button: file, grid and table as they are, errors to the general
// error report. Start-up checks the file first (LoadCommandTableAtStartUp).
void TFormMain::BLoadCommandsClick(QObject*) {
    StringGridModel& grid = Control<TStringGrid>(QStringLiteral("SGCommands")).Model();
    LoadStringGridFromCSV(grid, CommandsFilePath());
    LoadCommandsFromGrid(grid, Commands);
    WarnIfCommandTableHoldsNothing();
}

bool TFormMain::LoadCommandTableAtStartUp() {
    const QString path = CommandsFilePath();
    const std::optional<CommandsFileFault> fault = LoadCommandsFile(
        Control<TStringGrid>(QStringLiteral("SGCommands")).Model(), Commands, path);
    commandTableUsable_ = !fault && HoldsAnyCommand(Commands);
    if (!commandTableUsable_)
        StopLinkWithoutCommandTable();
    if (!fault)
        return true;
    QString text = TranslateString(Msg::CommandTableUnusable) + QDir::toNativeSeparators(path);
    if (fault->line > 0)
        text += u'\n' + TranslateString(Msg::FileLine) + QString::number(fault->line);
    ShowMessage(text + QStringLiteral(": ") + PhraseText(fault->phrase), TMsgDlgType::mtError);
    return false;
}

// Without a table nothing can be read or sent: the link stays closed, and
// the buttons that need a link or a sequence are off.
void TFormMain::StopLinkWithoutCommandTable() {
    Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).setEnabled(false);
    Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort")).setEnabled(false);
    EnableControls();
}

// A table without a single command leaves every control at its design value
// with nothing to read or send: the user is told which file to look at.
void TFormMain::WarnIfCommandTableHoldsNothing() {
    if (HoldsAnyCommand(Commands))
        return;
    ShowMessage(TranslateString(Msg::CommandTableHoldsNothing) +
                    QDir::toNativeSeparators(CommandsFilePath()),
                TMsgDlgType::mtError);
}

void TFormMain::BRefreshCommandsClick(QObject*) {
    RefreshGridFromCommands(Commands, Control<TStringGrid>(QStringLiteral("SGCommands")).Model());
}

void TFormMain::BSaveCommandsClick(QObject*) {
    SaveStringGridToCSV(Control<TStringGrid>(QStringLiteral("SGCommands")).Model(),
                        CommandsFilePath());
}
