#include "ui/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& FolderOverride() {
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
