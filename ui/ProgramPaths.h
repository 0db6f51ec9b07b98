#pragma once
// Where the program finds its data: the folder of the executable, or the
// folder given with --data-dir; CFG/ and FW/ lie below it.
#include <QString>

QString ProgramFolder();
// An empty Folder returns to the folder of the executable.
void SetProgramFolder(const QString& folder);
QString CfgFolder();
QString FwFolder();
QString CommandsFilePath();
