#include "ui/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {
QString& FolderOverride() {
    static QString folder;
    return folder;
}
QString& UserFolderOverride() {
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder() {
    if (!FolderOverride().isEmpty())
        return FolderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolder(const QString& folder) {
    FolderOverride() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

QString CfgFolder() {
    return ProgramFolder() + QStringLiteral("/CFG");
}

QString FwFolder() {
    return ProgramFolder() + QStringLiteral("/FW");
}

QString CommandsFilePath() {
    return CfgFolder() + QStringLiteral("/Commands.CSV");
}

QString UserDataFolder() {
    if (!UserFolderOverride().isEmpty())
        return UserFolderOverride();
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void SetUserDataFolder(const QString& folder) {
    UserFolderOverride() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}
