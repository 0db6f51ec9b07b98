#include "model/RestorePoints.h"
#include "translation/MessageNumbers.h"

#include "model/RecordFiles.h"
#include "model/UnitValues.h"
#include "util/Exceptions.h"
#include "util/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QString ConfigSuffix = QStringLiteral(".QCF");
const QString SideSuffix = QStringLiteral(".json");
constexpr int SideFileFormat = 1;
// A side file is a few kilobytes; anything far larger is not one of ours.
constexpr qint64 MaxSideFileSize = 1024 * 1024;

QString KeyPart(const QString& text) {
    static const QRegularExpression notAllowed(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString part = text.trimmed();
    part.replace(notAllowed, QStringLiteral("_"));
    return part;
}

// The number before the first "-" of a point's file name; 0 when there is none.
int PointNumberOf(const QString& fileName) {
    const int dash = fileName.indexOf(u'-');
    if (dash <= 0)
        return 0;
    bool ok = false;
    const int number = fileName.left(dash).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

QString BaseNameFor(int number, const QDateTime& time, const QString& reason) {
    QString slug = reason;
    slug.replace(u' ', u'-');
    return QStringLiteral("%1-%2-%3")
        .arg(number, 6, 10, QLatin1Char('0'))
        .arg(time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'")), KeyPart(slug));
}

QString TimeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime TimeFrom(const QJsonValue& value) {
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(value.toString(), Qt::ISODate);
    return time.toUTC();
}

QJsonObject SideFileObject(const RestorePointInfo& point) {
    QJsonArray moments;
    for (const RestorePointMoment& moment : point.alsoTaken)
        moments.append(QJsonObject{{QStringLiteral("time"), TimeText(moment.time)},
                                   {QStringLiteral("reason"), moment.reason}});
    return QJsonObject{
        {QStringLiteral("format"), SideFileFormat},
        {QStringLiteral("time"), TimeText(point.time)},
        {QStringLiteral("reason"), point.reason},
        {QStringLiteral("firmware"), point.firmware},
        {QStringLiteral("pcb"), point.pcb},
        {QStringLiteral("reboots"), point.reboots},
        {QStringLiteral("values"), point.valueCount},
        {QStringLiteral("hash"), point.hash},
        {QStringLiteral("configuration"), point.baseName + ConfigSuffix},
        {QStringLiteral("alsoTaken"), moments},
    };
}

// The point a side file describes; false when it is not a side file of ours.
bool ReadSideFile(const QString& path, RestorePointInfo& point) {
    QFile file(path);
    if (file.size() > MaxSideFileSize || !file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    point.baseName = QFileInfo(path).completeBaseName();
    point.number = PointNumberOf(point.baseName);
    point.time = TimeFrom(object.value(QStringLiteral("time")));
    point.reason = object.value(QStringLiteral("reason")).toString();
    point.firmware = object.value(QStringLiteral("firmware")).toString();
    point.pcb = object.value(QStringLiteral("pcb")).toString();
    point.reboots = object.value(QStringLiteral("reboots")).toInt();
    point.valueCount = object.value(QStringLiteral("values")).toInt(-1);
    point.hash = object.value(QStringLiteral("hash")).toString();
    for (const QJsonValue& value : object.value(QStringLiteral("alsoTaken")).toArray()) {
        const QJsonObject moment = value.toObject();
        point.alsoTaken.append(
            RestorePointMoment{TimeFrom(moment.value(QStringLiteral("time"))),
                               moment.value(QStringLiteral("reason")).toString()});
    }
    return point.number > 0 && point.time.isValid() && point.valueCount >= 0 &&
           point.hash.startsWith(QStringLiteral("sha256:"));
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    SaveWholeFileOrRaise(path, bytes);
}

} // namespace

QString UnitKey(const UnitIdentity& unit) {
    if (!KeyPart(unit.unitSerial).isEmpty())
        return QStringLiteral("gcu-") + KeyPart(unit.unitSerial);
    if (!KeyPart(unit.adapterSerial).isEmpty()) {
        QString vendorProduct = KeyPart(QString(unit.adapterVendorProduct).replace(u':', u'-'));
        if (vendorProduct.isEmpty())
            vendorProduct = QStringLiteral("adapter");
        return QStringLiteral("usb-") + vendorProduct + u'-' + KeyPart(unit.adapterSerial);
    }
    if (!KeyPart(unit.pcbVersion).isEmpty() && !KeyPart(unit.firmwareVersion).isEmpty())
        return QStringLiteral("pcb-") + KeyPart(unit.pcbVersion) + QStringLiteral("-fw-") +
               KeyPart(unit.firmwareVersion);
    return {};
}

QString UnitsFolder(const QString& userDataFolder) {
    return userDataFolder + QStringLiteral("/units");
}

QStringList KnownUnitKeys(const QString& userDataFolder) {
    return QDir(UnitsFolder(userDataFolder))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

RestorePointStore::RestorePointStore(QString unitFolder, int keptNewest)
    : folder_(std::move(unitFolder)), keptNewest_(std::max(1, keptNewest)) {}

QString RestorePointStore::ConfigFilePath(const RestorePointInfo& point) const {
    return folder_ + u'/' + point.baseName + ConfigSuffix;
}

QString RestorePointStore::SideFilePath(const RestorePointInfo& point) const {
    return folder_ + u'/' + point.baseName + SideSuffix;
}

QVector<RestorePointInfo> RestorePointStore::List() const {
    QVector<RestorePointInfo> points;
    const QDir dir(folder_);
    for (const QString& name : dir.entryList({QStringLiteral("*") + SideSuffix}, QDir::Files)) {
        RestorePointInfo point;
        if (ReadSideFile(dir.filePath(name), point) &&
            QFileInfo::exists(dir.filePath(point.baseName + ConfigSuffix)))
            points.append(point);
    }
    std::sort(
        points.begin(), points.end(),
        [](const RestorePointInfo& a, const RestorePointInfo& b) { return a.number > b.number; });
    return points;
}

int RestorePointStore::NextNumber() const {
    int highest = 0;
    for (const QString& name : QDir(folder_).entryList(QDir::Files))
        highest = std::max(highest, PointNumberOf(name));
    return highest + 1;
}

void RestorePointStore::WriteSideFile(const RestorePointInfo& point) const {
    WriteBytes(SideFilePath(point), QJsonDocument(SideFileObject(point)).toJson());
}

RestorePointStore::TakeResult RestorePointStore::Take(const RestorePointContent& content) {
    if (!QDir().mkpath(folder_))
        throw EInOutError(DetailPhrase{Msg::PhraseFolderCannotCreate, {folder_}});
    const QString hash = RecordValuesHash(content.records);
    const QVector<RestorePointInfo> points = List();
    if (!points.isEmpty() && points.first().hash == hash &&
        points.first().valueCount == content.records.size()) {
        TakeResult result{Outcome::SameAsNewest, points.first()};
        QVector<RestorePointMoment>& moments = result.point.alsoTaken;
        moments.append(RestorePointMoment{content.time.toUTC(), content.reason});
        if (moments.size() > KeptMoments)
            moments.remove(0, moments.size() - KeptMoments);
        WriteSideFile(result.point);
        return result;
    }

    TakeResult result;
    RestorePointInfo& point = result.point;
    point.number = NextNumber();
    point.time = content.time.toUTC();
    point.baseName = BaseNameFor(point.number, point.time, content.reason);
    point.reason = content.reason;
    point.firmware = content.firmware;
    point.pcb = content.pcb;
    point.reboots = content.reboots;
    point.valueCount = static_cast<int>(content.records.size());
    point.hash = hash;
    WriteConfigFile(ConfigFilePath(point), content.records);
    try {
        WriteSideFile(point);
    } catch (...) {
        QFile::remove(ConfigFilePath(point));
        throw;
    }
    Prune();
    return result;
}

RestorePointInfo RestorePointStore::CopyIn(const RestorePointStore& source,
                                           const RestorePointInfo& point, int number) {
    if (!QDir().mkpath(folder_))
        throw EInOutError(DetailPhrase{Msg::PhraseFolderCannotCreate, {folder_}});
    QFile from(source.ConfigFilePath(point));
    errno = 0;
    if (!from.open(QIODevice::ReadOnly))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotOpen,
                                       {from.fileName(), FileErrorReason(from, errno)}});
    errno = 0;
    const QByteArray bytes = from.readAll();
    if (from.error() != QFileDevice::NoError)
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotRead,
                                       {from.fileName(), FileErrorReason(from, errno)}});
    RestorePointInfo copy = point;
    copy.number = number;
    copy.baseName = BaseNameFor(number, point.time, point.reason);
    WriteBytes(ConfigFilePath(copy), bytes);
    try {
        WriteSideFile(copy);
    } catch (...) {
        QFile::remove(ConfigFilePath(copy));
        throw;
    }
    return copy;
}

// Deleting is best effort: a point that cannot be deleted stays, and the next
// point tries again.
void RestorePointStore::Prune() const {
    const QVector<RestorePointInfo> points = List(); // newest first
    // The oldest is the first one ever taken, kept with the newest.
    for (int i = keptNewest_; i < points.size() - 1; ++i) {
        if (QFile::remove(SideFilePath(points[i])))
            QFile::remove(ConfigFilePath(points[i]));
    }
    // Configuration files left without a side file by an interrupted write.
    const QDir dir(folder_);
    for (const QString& name : dir.entryList({QStringLiteral("*") + ConfigSuffix}, QDir::Files)) {
        if (PointNumberOf(name) > 0 &&
            !QFileInfo::exists(dir.filePath(QFileInfo(name).completeBaseName() + SideSuffix)))
            QFile::remove(dir.filePath(name));
    }
}

RestorePointStore::PointRecords RestorePointStore::Read(const RestorePointInfo& point) const {
    PointRecords read;
    read.records = ReadConfigFile(ConfigFilePath(point)).records;
    read.intact =
        read.records.size() == point.valueCount && RecordValuesHash(read.records) == point.hash;
    return read;
}
