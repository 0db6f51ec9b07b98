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

// The per-user data folder for the files the program keeps for itself
// (restore points, recordings, logs): QStandardPaths::AppDataLocation, e.g.
// ~/.local/share/<application name>. Never below the program's folder.
QString UserDataFolder();
// An empty Folder returns to the standard location (tests point it elsewhere).
void SetUserDataFolder(const QString& folder);
