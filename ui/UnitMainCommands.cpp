// The commands page: the commands file, its grid and the command table.
#include "ui/ProgramPaths.h"
#include "ui/UnitMain.h"
#include "util/StringGridModel.h"

void TFormMain::BLoadCommandsClick(QObject*) {
    StringGridModel& grid = Control<TStringGrid>(QStringLiteral("SGCommands")).Model();
    LoadStringGridFromCSV(grid, CommandsFilePath());
    LoadCommandsFromGrid(grid, Commands);
}

void TFormMain::BRefreshCommandsClick(QObject*) {
    RefreshGridFromCommands(Commands, Control<TStringGrid>(QStringLiteral("SGCommands")).Model());
}

void TFormMain::BSaveCommandsClick(QObject*) {
    SaveStringGridToCSV(Control<TStringGrid>(QStringLiteral("SGCommands")).Model(),
                        CommandsFilePath());
}
