#pragma once
// Where the program finds its data. The program's folder holds the shipped
// CFG/ and FW/: the folder of the executable when they lie beside it (a build
// folder), else <prefix>/share/quarventa of an installation, or the folder
// given with --data-dir. The program works in its data folder: the program's
// folder when it can be written, else the per-user data folder, seeded on
// first use from the shipped CFG/ and FW/ (the shipped files are never
// changed). CfgFolder() and FwFolder() lie below the data folder.
#include <QString>
#include <QStringList>

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

// Brings Target's copy of Source's CFG/ and FW/ up to date, file by file, and
// remembers in Target (ShippedCopiesFileName) which shipped content each copy
// came from:
//   - a file Target lacks is copied (file modes kept, so a programmer in
//     FW/avrdude stays executable, and made writable for its owner);
//   - a copy the user never changed is replaced when Source now ships
//     another version of it (an upgrade);
//   - a copy the user changed is kept; when Source ships another version, the
//     file is listed once in NewerShipped (the next refresh lists it again
//     only for yet another version). A copy whose origin is not known (made
//     before the program remembered it) and that differs counts as changed.
// The translation table's language marker (the brackets of its title row) is
// the program's own writing, not a change: it is carried over into a
// refreshed table. False when a folder or file could not be made.
struct SeedReport {
    bool complete = true;
    QStringList refreshed;    // relative paths ("CFG/Commands.CSV") replaced by the shipped ones
    QStringList newerShipped; // relative paths kept although the shipped ones are newer
};
SeedReport RefreshDataFolder(const QString& source, const QString& target);
bool SeedDataFolder(const QString& source, const QString& target);
inline const char* const ShippedCopiesFileName = "shipped-copies.json";

// The files of the per-user copy that the user changed although this
// installation ships newer ones (relative paths), found when the data folder
// was chosen; each is given once, the list is empty afterwards.
QStringList TakeNewerShippedFiles();
