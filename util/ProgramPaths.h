#pragma once
// Where the program finds its data. The program's folder holds the shipped
// CFG/ and FW/: the folder of the executable when they lie beside it (a build
// folder), else <prefix>/share/quarventa of an installation, or the folder
// given with --data-dir. The program works in its data folder: the program's
// folder when it can be written, else the per-user data folder, seeded on
// first use from the shipped CFG/ and FW/ (the shipped files are never
// changed). CfgFolder() and FwFolder() lie below the data folder.
#include <QString>

#include <functional>

QString ProgramFolder();
// An empty Folder returns to the folder the executable finds.
void SetProgramFolder(const QString& folder);
// Where the program reads and writes its CFG/ and FW/ files.
QString DataFolder();
// True when DataFolder() is the per-user copy because the program's folder
// cannot be written.
bool UsesUserDataCopy();
QString CfgFolder();
QString FwFolder();
QString CommandsFilePath();

// The per-user data folder for the files the program keeps for itself
// (restore points, recordings, logs) and for the copy of CFG/ and FW/ of a
// read-only installation: QStandardPaths::AppDataLocation, e.g.
// ~/.local/share/<application name>. Never below the program's folder.
QString UserDataFolder();
// An empty Folder returns to the standard location (tests point it elsewhere).
void SetUserDataFolder(const QString& folder);

// Whether the program may write into a CFG folder: the folder and every file
// in it accept writes (a read-only mount, missing write permission or an
// immutable file do not). Tests replace the check, since root writes anyway;
// nullptr restores it.
using FolderWritableCheck = std::function<bool(const QString& cfgFolder)>;
void SetFolderWritableCheck(FolderWritableCheck check);

// Copies every file below Source's CFG/ and FW/ that Target does not hold yet
// (file modes kept, so a programmer in FW/avrdude stays executable). False when
// a folder or file could not be made.
bool SeedDataFolder(const QString& source, const QString& target);
