#include "device/RestorePointPlaces.h"

#include "translation/MessageNumbers.h"
#include "util/ProgramPaths.h"

#include <QDir>

namespace {
// Files the program keeps for itself never lie below its own folder or its CFG/ and FW/.
bool IsBelow(const QString& path, const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString p = QDir::cleanPath(QDir(path).absolutePath()) + u'/';
    const QString f = QDir::cleanPath(QDir(folder).absolutePath()) + u'/';
    return p.startsWith(f);
}
} // namespace

RestorePointKeeper::Places UserRestorePointPlaces() {
    RestorePointKeeper::Places places;
    places.unitsFolder = [] { return UnitsFolder(UserDataFolder()); };
    places.allowed = [](const QString& folder, DetailPhrase* why) {
        for (const QString& kept : {ProgramFolder(), CfgFolder(), FwFolder()}) {
            if (IsBelow(folder, kept)) {
                *why = {Msg::PhraseFolderInsideProgramFolder,
                        {QDir::toNativeSeparators(folder), QDir::toNativeSeparators(kept)}};
                return false;
            }
        }
        return true;
    };
    return places;
}
