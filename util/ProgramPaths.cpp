#include "util/ProgramPaths.h"

#include "util/BuildInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <unistd.h>

namespace {

struct PathState {
    QString programFolder; // --data-dir or a test's folder; empty: found from the executable
    QString userFolder;    // a test's per-user folder; empty: the standard location
    FolderWritableCheck writable;
    // The data folder once chosen (and seeded); cleared when a folder changes.
    QString dataFolder;
};

PathState& State() {
    static PathState state;
    return state;
}

bool AccessAllowsWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool CfgFolderAcceptsWrites(const QString& cfgFolder) {
    if (!AccessAllowsWrite(cfgFolder))
        return false;
    const QFileInfoList files = QDir(cfgFolder).entryInfoList(QDir::Files | QDir::Hidden);
    return std::all_of(files.begin(), files.end(), [](const QFileInfo& file) {
        return AccessAllowsWrite(file.absoluteFilePath());
    });
}

bool FolderWritable(const QString& cfgFolder) {
    const FolderWritableCheck& check = State().writable;
    return check ? check(cfgFolder) : CfgFolderAcceptsWrites(cfgFolder);
}

QString ChooseDataFolder() {
    const QString program = ProgramFolder();
    const QString shippedCfg = program + QStringLiteral("/CFG");
    // Without shipped data there is nothing to protect or to copy.
    if (!QFileInfo(shippedCfg).isDir() || FolderWritable(shippedCfg))
        return program;
    const QString user = UserDataFolder();
    if (user.isEmpty() || !SeedDataFolder(program, user))
        return program; // writes fail there and are reported as they happen
    return user;
}

} // namespace

QString ProgramFolder() {
    if (!State().programFolder.isEmpty())
        return State().programFolder;
    const QString exeFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeFolder + QStringLiteral("/CFG")).isDir())
        return exeFolder;
    // An installation: <prefix>/bin/quarventa with <prefix>/share/quarventa.
    const QString installed =
        QDir::cleanPath(exeFolder + u'/' + QLatin1String(BuildInfo::DataFolderFromBinaries));
    if (QFileInfo(installed + QStringLiteral("/CFG")).isDir())
        return installed;
    return exeFolder;
}

void SetProgramFolder(const QString& folder) {
    State().programFolder = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
    State().dataFolder.clear();
}

QString DataFolder() {
    PathState& state = State();
    if (state.dataFolder.isEmpty())
        state.dataFolder = ChooseDataFolder();
    return state.dataFolder;
}

bool UsesUserDataCopy() {
    return DataFolder() != ProgramFolder();
}

QString CfgFolder() {
    return DataFolder() + QStringLiteral("/CFG");
}

QString FwFolder() {
    return DataFolder() + QStringLiteral("/FW");
}

QString CommandsFilePath() {
    return CfgFolder() + QStringLiteral("/Commands.CSV");
}

QString UserDataFolder() {
    if (!State().userFolder.isEmpty())
        return State().userFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void SetUserDataFolder(const QString& folder) {
    State().userFolder = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
    State().dataFolder.clear();
}

void SetFolderWritableCheck(FolderWritableCheck check) {
    State().writable = std::move(check);
    State().dataFolder.clear();
}

bool SeedDataFolder(const QString& source, const QString& target) {
    bool complete = true;
    for (const char* sub : {"CFG", "FW"}) {
        const QString from = source + u'/' + QLatin1String(sub);
        const QString to = target + u'/' + QLatin1String(sub);
        if (!QDir().mkpath(to)) {
            complete = false;
            continue;
        }
        QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString copy = to + file.mid(from.length());
            if (QFileInfo::exists(copy))
                continue;
            if (!QDir().mkpath(QFileInfo(copy).path()) || !QFile::copy(file, copy)) {
                complete = false;
                continue;
            }
            // The copy is the user's own: writable even when the shipped file is not.
            QFile(copy).setPermissions(QFile(copy).permissions() | QFileDevice::WriteOwner);
        }
    }
    return complete;
}
