// The commands page: the commands file, its grid and the command table.
#include "translation/MessageNumbers.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"
#include "util/StringGridModel.h"

#include <QDir>

// At start-up (Sender is the window) the table is checked once the message
// texts are there; the "Load" button checks it at once.
void TFormMain::BLoadCommandsClick(QObject* Sender) {
    StringGridModel& grid = Control<TStringGrid>(QStringLiteral("SGCommands")).Model();
    LoadStringGridFromCSV(grid, CommandsFilePath());
    LoadCommandsFromGrid(grid, Commands);
    if (Sender != this)
        WarnIfCommandTableHoldsNothing();
}

// A table without a single command leaves every control at its design value
// with nothing to read or send: the user is told which file to look at.
void TFormMain::WarnIfCommandTableHoldsNothing() {
    for (int id = 1; id <= CommandCount; ++id) {
        if (!Commands[id].Command.isEmpty())
            return;
    }
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
