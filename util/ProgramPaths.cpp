#include "util/ProgramPaths.h"

#include "util/BuildInfo.h"
#include "util/FileErrors.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>
#include <unistd.h>
#include <utility>

namespace {

struct PathState {
    QString programFolder; // --data-dir or a test's folder; empty: found from the executable
    QString userFolder;    // a test's per-user folder; empty: the standard location
    FolderWritableCheck writable;
    // The data folder once chosen (and seeded); cleared when a folder changes.
    QString dataFolder;
    QStringList newerShipped; // from the last refresh, until the window takes them
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
    if (user.isEmpty())
        return program;
    SeedReport report = RefreshDataFolder(program, user);
    State().newerShipped = report.newerShipped;
    if (!report.complete)
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

namespace {

const QString TranslationTablePath = QStringLiteral("CFG/Translations.CSV");

QByteArray ReadAll(const QString& path, bool* ok = nullptr) {
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? file.readAll() : QByteArray();
}

// The title row (the first line) and the rest of a file.
std::pair<QByteArray, QByteArray> SplitFirstLine(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        return {bytes, QByteArray()};
    return {bytes.left(end), bytes.mid(end)};
}

// What a file holds as far as the user is concerned: for the translation
// table, everything but the brackets of the language marker.
QString Fingerprint(const QString& relative, const QByteArray& bytes) {
    QByteArray content = bytes;
    if (relative == TranslationTablePath) {
        auto [titles, rest] = SplitFirstLine(bytes);
        titles.replace('[', QByteArray()).replace(']', QByteArray());
        content = titles + rest;
    }
    return QString::fromLatin1(
        QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

// The shipped table's bytes with the language marker of the user's copy.
QByteArray WithMarkerOf(const QByteArray& shipped, const QByteArray& copy) {
    const QList<QByteArray> marked = SplitFirstLine(copy).first.split(';');
    auto [titles, rest] = SplitFirstLine(shipped);
    QList<QByteArray> cells = titles.split(';');
    for (qsizetype i = 0; i < cells.size(); ++i) {
        QByteArray plain = cells[i];
        plain.replace('[', QByteArray()).replace(']', QByteArray());
        const bool wanted = i < marked.size() && marked[i].trimmed().startsWith('[');
        cells[i] = wanted ? '[' + plain.trimmed() + ']' + plain.mid(plain.trimmed().size()) : plain;
    }
    return cells.join(';') + rest;
}

bool WriteCopy(const QString& path, const QByteArray& bytes, QFileDevice::Permissions modes) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    if (SaveWholeFile(path, bytes))
        return false; // the copy before stays as it was
    // The copy is the user's own: writable even when the shipped file is not.
    QFile(path).setPermissions(modes | QFileDevice::WriteOwner);
    return true;
}

QJsonObject ReadShippedCopies(const QString& target) {
    return QJsonDocument::fromJson(ReadAll(target + u'/' + QLatin1String(ShippedCopiesFileName)))
        .object();
}

bool WriteShippedCopies(const QString& target, const QJsonObject& copies) {
    return !SaveWholeFile(target + u'/' + QLatin1String(ShippedCopiesFileName),
                          QJsonDocument(copies).toJson());
}

constexpr const char* ShippedKey = "shipped"; // the shipped content the copy came from
constexpr const char* ToldKey = "told";       // the shipped content the user was told of

} // namespace

SeedReport RefreshDataFolder(const QString& source, const QString& target) {
    SeedReport report;
    QJsonObject copies = ReadShippedCopies(target);
    const QJsonObject copiesBefore = copies;
    for (const char* sub : {"CFG", "FW"}) {
        const QString from = source + u'/' + QLatin1String(sub);
        if (!QDir().mkpath(target + u'/' + QLatin1String(sub))) {
            report.complete = false;
            continue;
        }
        QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString relative = QLatin1String(sub) + file.mid(from.length());
            const QString copy = target + u'/' + relative;
            bool readable = false;
            const QByteArray shipped = ReadAll(file, &readable);
            if (!readable) {
                report.complete = false;
                continue;
            }
            const QString shippedPrint = Fingerprint(relative, shipped);
            QJsonObject entry = copies.value(relative).toObject();
            const auto remember = [&] {
                entry.insert(QLatin1String(ShippedKey), shippedPrint);
                entry.remove(QLatin1String(ToldKey));
                copies.insert(relative, entry);
            };
            if (!QFileInfo::exists(copy)) {
                if (WriteCopy(copy, shipped, QFile(file).permissions()))
                    remember();
                else
                    report.complete = false;
                continue;
            }
            const QByteArray held = ReadAll(copy);
            const QString heldPrint = Fingerprint(relative, held);
            const QString origin = entry.value(QLatin1String(ShippedKey)).toString();
            if (heldPrint == shippedPrint || origin == shippedPrint) {
                // The same as shipped, or nothing new shipped since it was copied.
                if (heldPrint == shippedPrint)
                    remember();
                continue;
            }
            if (!origin.isEmpty() && heldPrint == origin) {
                // An untouched copy of an older shipped version.
                const QByteArray fresh =
                    relative == TranslationTablePath ? WithMarkerOf(shipped, held) : shipped;
                if (WriteCopy(copy, fresh, QFile(file).permissions())) {
                    remember();
                    report.refreshed << relative;
                } else {
                    report.complete = false;
                }
                continue;
            }
            // The user's own version: kept; told once of each newer shipped one.
            if (entry.value(QLatin1String(ToldKey)).toString() != shippedPrint) {
                report.newerShipped << relative;
                entry.insert(QLatin1String(ToldKey), shippedPrint);
                copies.insert(relative, entry);
            }
        }
    }
    if (copies != copiesBefore && !WriteShippedCopies(target, copies))
        report.complete = false;
    return report;
}

bool SeedDataFolder(const QString& source, const QString& target) {
    return RefreshDataFolder(source, target).complete;
}

QStringList TakeNewerShippedFiles() {
    return std::exchange(State().newerShipped, QStringList());
}
