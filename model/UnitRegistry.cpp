#include "model/UnitRegistry.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"
#include "util/FileErrors.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>

namespace {

constexpr int UnitFileFormat = 1;
// A unit file is a few hundred bytes; anything far larger is not one of ours.
constexpr qint64 MaxUnitFileSize = 256 * 1024;
const QString DamagedSuffix = QStringLiteral(".damaged");
const QString StagingPrefix = QStringLiteral(".merging-");

const QRegularExpression& NumberedKey() {
    static const QRegularExpression pattern(QStringLiteral("^unit-(\\d+)$"));
    return pattern;
}

const QRegularExpression& DefaultName() {
    static const QRegularExpression pattern(QStringLiteral("^unit (\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// The number in "unit-0042" or "Unit 42"; 0 when there is none.
int NumberIn(const QRegularExpression& pattern, const QString& text) {
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString TimeText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime TimeFrom(const QJsonValue& value) {
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(value.toString(), Qt::ISODate);
    return time.isValid() ? time.toUTC() : QDateTime();
}

QDateTime Later(const QDateTime& a, const QDateTime& b) {
    if (!a.isValid())
        return b;
    if (!b.isValid())
        return a;
    return std::max(a, b);
}

QString StampNow() {
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

// The adapter an old folder name tells of: "usb-0403-6001-A5XK3RJH".
void AdapterFromOldKey(const QString& key, KnownUnit& unit) {
    static const QRegularExpression withIds(
        QStringLiteral("^usb-([0-9A-Za-z]{4})-([0-9A-Za-z]{4})-(.+)$"));
    static const QRegularExpression withoutIds(QStringLiteral("^usb-adapter-(.+)$"));
    if (const auto match = withIds.match(key); match.hasMatch()) {
        unit.adapterVendorProduct = match.captured(1) + u':' + match.captured(2);
        unit.adapterSerial = match.captured(3);
    } else if (const auto bare = withoutIds.match(key); bare.hasMatch()) {
        unit.adapterSerial = bare.captured(1);
    }
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    SaveWholeFileOrRaise(path, bytes);
}

QString NameProblemText(UnitNameProblem problem, const QString& name) {
    switch (problem) {
    case UnitNameProblem::Empty:
        return QStringLiteral("A unit needs a name");
    case UnitNameProblem::TooLong:
        return QStringLiteral("A unit's name has at most %1 characters: %2")
            .arg(UnitRegistry::MaxNameLength)
            .arg(name);
    case UnitNameProblem::Taken:
        return QStringLiteral("Another unit is named \"%1\"").arg(name);
    case UnitNameProblem::None:
        break;
    }
    return {};
}

// What a unit file holds; the point facts come from the folder.
struct UnitFile {
    bool exists = false;
    bool damaged = false;
    KnownUnit unit;
};

} // namespace

UnitRegistry::UnitRegistry(QString userDataFolder) : userDataFolder_(std::move(userDataFolder)) {}

QString UnitRegistry::UnitsFolder() const {
    return ::UnitsFolder(userDataFolder_);
}

QString UnitRegistry::TrashFolder() const {
    return userDataFolder_ + QStringLiteral("/trash");
}

QString UnitRegistry::FolderOf(const QString& key) const {
    return UnitsFolder() + u'/' + key;
}

QStringList UnitRegistry::FolderKeys() const {
    // Hidden folders (a merge under way) are no units.
    return QDir(UnitsFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

namespace {

UnitFile ReadUnitFile(const QString& folder, const QString& key) {
    UnitFile read;
    read.unit.key = key;
    QFile file(folder + u'/' + UnitRegistry::UnitFileName);
    if (!file.exists())
        return read;
    read.exists = true;
    read.damaged = true;
    if (file.size() > MaxUnitFileSize || !file.open(QIODevice::ReadOnly))
        return read;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject object = document.object();
    const QString name =
        UnitRegistry::NormalizedName(object.value(QStringLiteral("name")).toString());
    if (error.error != QJsonParseError::NoError || !document.isObject() || name.isEmpty())
        return read;
    read.damaged = false;
    KnownUnit& unit = read.unit;
    unit.name = name;
    for (const QJsonValue& old : object.value(QStringLiteral("oldKeys")).toArray())
        unit.oldKeys.append(old.toString());
    unit.adapterSerial = object.value(QStringLiteral("adapterSerial")).toString();
    unit.adapterVendorProduct = object.value(QStringLiteral("adapterVendorProduct")).toString();
    unit.pcb = object.value(QStringLiteral("pcb")).toString();
    unit.firmware = object.value(QStringLiteral("firmware")).toString();
    unit.reboots = object.value(QStringLiteral("reboots")).toInt(-1);
    unit.lastSeen = TimeFrom(object.value(QStringLiteral("lastSeen")));
    return read;
}

} // namespace

std::optional<KnownUnit> UnitRegistry::ReadUnit(const QString& key) const {
    const QString folder = FolderOf(key);
    if (key.isEmpty() || !QFileInfo(folder).isDir())
        return std::nullopt;
    const UnitFile file = ReadUnitFile(folder, key);
    KnownUnit unit = file.unit;
    unit.unitFileDamaged = file.damaged;
    if (!file.exists) {
        // From before units had names: the folder's name was its key.
        if (!NumberedKey().match(key).hasMatch())
            unit.oldKeys = QStringList{key};
        AdapterFromOldKey(key, unit);
    }
    // The points say when the unit was seen too: a point newer than the last
    // sighting tells what the unit was then.
    const QVector<RestorePointInfo> points = RestorePointStore(folder).List();
    unit.pointCount = int(points.size());
    QDateTime pointsSeen;
    for (const RestorePointInfo& point : points) {
        pointsSeen = Later(pointsSeen, point.time);
        for (const RestorePointMoment& moment : point.alsoTaken)
            pointsSeen = Later(pointsSeen, moment.time);
    }
    if (!points.isEmpty() && (!unit.lastSeen.isValid() || points.first().time > unit.lastSeen)) {
        const RestorePointInfo& newest = points.first();
        unit.pcb = newest.pcb;
        unit.firmware = newest.firmware;
        unit.reboots = newest.reboots;
    }
    unit.lastSeen = Later(unit.lastSeen, pointsSeen);
    return unit;
}

QStringList UnitRegistry::Problems() const {
    QStringList texts;
    for (const DetailPhrase& problem : problems_)
        texts << EnglishText(problem);
    return texts;
}

std::optional<KnownUnit> UnitRegistry::Find(const QString& key) const {
    std::optional<KnownUnit> unit = ReadUnit(key);
    if (unit && unit->name.isEmpty())
        unit->name = key;
    return unit;
}

void UnitRegistry::WriteUnitFile(const KnownUnit& unit) const {
    const QString folder = FolderOf(unit.key);
    const QString path = folder + u'/' + UnitFileName;
    // A damaged file stays beside the new one.
    if (ReadUnitFile(folder, unit.key).damaged) {
        const QString aside = path + DamagedSuffix + u'-' + StampNow();
        if (!QFile::rename(path, aside))
            throw EInOutError(DetailPhrase{Msg::PhraseCannotMoveAside, {path}});
    }
    QJsonArray oldKeys;
    for (const QString& old : unit.oldKeys)
        oldKeys.append(old);
    const QJsonObject object{
        {QStringLiteral("format"), UnitFileFormat},
        {QStringLiteral("name"), unit.name},
        {QStringLiteral("oldKeys"), oldKeys},
        {QStringLiteral("adapterSerial"), unit.adapterSerial},
        {QStringLiteral("adapterVendorProduct"), unit.adapterVendorProduct},
        {QStringLiteral("pcb"), unit.pcb},
        {QStringLiteral("firmware"), unit.firmware},
        {QStringLiteral("reboots"), unit.reboots},
        {QStringLiteral("lastSeen"), TimeText(unit.lastSeen)},
    };
    WriteBytes(path, QJsonDocument(object).toJson());
}

QVector<KnownUnit> UnitRegistry::Load() {
    problems_.clear();
    QVector<KnownUnit> units;
    QVector<KnownUnit> unnamed;
    for (const QString& key : FolderKeys()) {
        std::optional<KnownUnit> unit = ReadUnit(key);
        if (!unit)
            continue;
        if (unit->name.isEmpty() && !unit->unitFileDamaged)
            unnamed.append(*unit);
        else
            units.append(*unit);
    }
    for (KnownUnit& unit : units) {
        if (unit.unitFileDamaged) {
            unit.name = unit.key;
            problems_.append(DetailPhrase{Msg::PhraseUnitFileUnreadable,
                                          {QDir::toNativeSeparators(FolderOf(unit.key))}});
        }
    }
    // Named in the order they were first seen: by their oldest point.
    const auto firstSeen = [this](const KnownUnit& unit) {
        const QVector<RestorePointInfo> points = RestorePointStore(FolderOf(unit.key)).List();
        return points.isEmpty() ? QDateTime() : points.last().time;
    };
    QVector<std::pair<QDateTime, KnownUnit>> ordered;
    for (const KnownUnit& unit : unnamed)
        ordered.append({firstSeen(unit), unit});
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        if (a.first.isValid() != b.first.isValid())
            return a.first.isValid();
        return a.first < b.first;
    });
    int number = HighestUnitNumber();
    for (auto& [first, unit] : ordered) {
        unit.name = QStringLiteral("Unit %1").arg(++number);
        try {
            WriteUnitFile(unit);
        } catch (const QvException& error) {
            --number;
            unit.name = unit.key;
            problems_.append(error.Phrase().value_or(DetailPhrase{0, {error.Message()}}));
        }
        units.append(unit);
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(units.begin(), units.end(),
                     [&collator](const KnownUnit& a, const KnownUnit& b) {
                         const int order = collator.compare(a.name, b.name);
                         return order != 0 ? order < 0 : a.key < b.key;
                     });
    return units;
}

QString UnitRegistry::NormalizedName(const QString& name) {
    QString text = name;
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    }
    return text.simplified();
}

UnitNameProblem UnitRegistry::CheckName(const QString& name, const QString& exceptKey) const {
    const QString normalized = NormalizedName(name);
    if (normalized.isEmpty())
        return UnitNameProblem::Empty;
    if (normalized.size() > MaxNameLength)
        return UnitNameProblem::TooLong;
    for (const QString& key : FolderKeys()) {
        if (key == exceptKey)
            continue;
        const UnitFile file = ReadUnitFile(FolderOf(key), key);
        const QString other = file.unit.name.isEmpty() ? key : file.unit.name;
        if (other.compare(normalized, Qt::CaseInsensitive) == 0)
            return UnitNameProblem::Taken;
    }
    return UnitNameProblem::None;
}

int UnitRegistry::HighestUnitNumber() const {
    int highest = 0;
    for (const QString& key : FolderKeys()) {
        highest = std::max(highest, NumberIn(NumberedKey(), key));
        highest =
            std::max(highest, NumberIn(DefaultName(), ReadUnitFile(FolderOf(key), key).unit.name));
    }
    // A trashed unit's number is not given again.
    static const QRegularExpression trashedKey(QStringLiteral("^unit-(\\d+)-"));
    const QDir trash(TrashFolder());
    for (const QString& entry : trash.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        highest = std::max(highest, NumberIn(trashedKey, entry));
        highest = std::max(
            highest, NumberIn(DefaultName(), ReadUnitFile(trash.filePath(entry), entry).unit.name));
    }
    return highest;
}

QString UnitRegistry::NextDefaultName() const {
    return QStringLiteral("Unit %1").arg(HighestUnitNumber() + 1);
}

KnownUnit UnitRegistry::Add(const QString& name, const UnitSighting& seen) {
    const QString normalized = NormalizedName(name);
    if (!normalized.isEmpty()) {
        if (const UnitNameProblem problem = CheckName(normalized); problem != UnitNameProblem::None)
            throw EConvertError(NameProblemText(problem, normalized));
    }
    int number = HighestUnitNumber() + 1;
    KnownUnit unit;
    do {
        unit.key = QStringLiteral("unit-%1").arg(number++, 4, 10, QLatin1Char('0'));
    } while (QFileInfo::exists(FolderOf(unit.key)));
    unit.name = normalized.isEmpty() ? QStringLiteral("Unit %1").arg(number - 1) : normalized;
    unit.adapterSerial = seen.adapterSerial;
    unit.adapterVendorProduct = seen.adapterVendorProduct;
    unit.pcb = seen.pcb;
    unit.firmware = seen.firmware;
    unit.reboots = seen.reboots;
    unit.lastSeen = seen.time.isValid() ? seen.time.toUTC() : QDateTime::currentDateTimeUtc();
    if (!QDir().mkpath(FolderOf(unit.key)))
        throw EInOutError(DetailPhrase{Msg::PhraseFolderCannotCreate, {FolderOf(unit.key)}});
    WriteUnitFile(unit);
    return unit;
}

void UnitRegistry::Seen(const QString& key, const UnitSighting& seen) {
    std::optional<KnownUnit> unit = ReadUnit(key);
    if (!unit)
        throw EInOutError(DetailPhrase{Msg::PhraseNoUnitFolder, {FolderOf(key)}});
    if (unit->name.isEmpty())
        unit->name = unit->unitFileDamaged ? key : NextDefaultName();
    unit->adapterSerial = seen.adapterSerial;
    unit->adapterVendorProduct = seen.adapterVendorProduct;
    if (!seen.pcb.isEmpty())
        unit->pcb = seen.pcb;
    if (!seen.firmware.isEmpty())
        unit->firmware = seen.firmware;
    if (seen.reboots >= 0)
        unit->reboots = seen.reboots;
    unit->lastSeen = seen.time.isValid() ? seen.time.toUTC() : QDateTime::currentDateTimeUtc();
    WriteUnitFile(*unit);
}

void UnitRegistry::Rename(const QString& key, const QString& name) {
    std::optional<KnownUnit> unit = ReadUnit(key);
    if (!unit)
        throw EInOutError(DetailPhrase{Msg::PhraseNoUnitFolder, {FolderOf(key)}});
    const QString normalized = NormalizedName(name);
    if (const UnitNameProblem problem = CheckName(normalized, key);
        problem != UnitNameProblem::None)
        throw EConvertError(NameProblemText(problem, normalized));
    unit->name = normalized;
    WriteUnitFile(*unit);
}

QString UnitRegistry::MoveToTrash(const QString& folder, const QString& key) const {
    if (!QDir().mkpath(TrashFolder()))
        throw EInOutError(DetailPhrase{Msg::PhraseFolderCannotCreate, {TrashFolder()}});
    const QString base = TrashFolder() + u'/' + key + u'-' + StampNow();
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + u'-' + QString::number(n);
    if (!QDir().rename(folder, target))
        throw EInOutError(DetailPhrase{Msg::PhraseCannotMoveFolder, {folder, target}});
    return target;
}

QString UnitRegistry::Delete(const QString& key) {
    if (key.isEmpty() || !QFileInfo(FolderOf(key)).isDir())
        throw EInOutError(DetailPhrase{Msg::PhraseNoUnitFolder, {FolderOf(key)}});
    return MoveToTrash(FolderOf(key), key);
}

void UnitRegistry::Merge(const QString& fromKey, const QString& intoKey) {
    if (fromKey == intoKey)
        throw EInOutError(DetailPhrase{Msg::PhraseUnitMergedWithItself, {}});
    const std::optional<KnownUnit> from = ReadUnit(fromKey);
    const std::optional<KnownUnit> into = ReadUnit(intoKey);
    if (!from)
        throw EInOutError(DetailPhrase{Msg::PhraseNoUnitFolder, {FolderOf(fromKey)}});
    if (!into)
        throw EInOutError(DetailPhrase{Msg::PhraseNoUnitFolder, {FolderOf(intoKey)}});
    const RestorePointStore fromStore(FolderOf(fromKey));
    const RestorePointStore intoStore(FolderOf(intoKey));

    // Both histories in the order their points were taken.
    struct Source {
        const RestorePointStore* store;
        RestorePointInfo point;
        int side; // 0: Into, 1: From
    };
    QVector<Source> all;
    for (const RestorePointInfo& point : intoStore.List())
        all.append({&intoStore, point, 0});
    for (const RestorePointInfo& point : fromStore.List())
        all.append({&fromStore, point, 1});
    std::stable_sort(all.begin(), all.end(), [](const Source& a, const Source& b) {
        if (a.point.time != b.point.time)
            return a.point.time < b.point.time;
        if (a.side != b.side)
            return a.side < b.side;
        return a.point.number < b.point.number;
    });

    // The merged folder is made beside them first; a stale one from an
    // interrupted merge holds copies only, and goes to trash/ all the same.
    // A merge that cannot finish removes its own copies, nothing else.
    if (!QDir().mkpath(TrashFolder()))
        throw EInOutError(DetailPhrase{Msg::PhraseFolderCannotCreate, {TrashFolder()}});
    const QString staging = UnitsFolder() + u'/' + StagingPrefix + intoKey;
    if (QFileInfo::exists(staging))
        MoveToTrash(staging, StagingPrefix.mid(1) + intoKey);
    if (!QDir().mkpath(staging))
        throw EInOutError(DetailPhrase{Msg::PhraseFolderCannotCreate, {staging}});
    try {
        RestorePointStore merged(staging);
        for (int i = 0; i < all.size(); ++i)
            merged.CopyIn(*all[i].store, all[i].point, i + 1);
    } catch (...) {
        QDir(staging).removeRecursively();
        throw;
    }

    // Into keeps its name; the identity is that of the one seen last.
    KnownUnit unit = *into;
    if (unit.name.isEmpty())
        unit.name = unit.unitFileDamaged ? intoKey : NextDefaultName();
    for (const QString& old : from->oldKeys) {
        if (!unit.oldKeys.contains(old))
            unit.oldKeys.append(old);
    }
    const KnownUnit& latest =
        (from->lastSeen.isValid() && (!into->lastSeen.isValid() || from->lastSeen > into->lastSeen))
            ? *from
            : *into;
    unit.adapterSerial = latest.adapterSerial;
    unit.adapterVendorProduct = latest.adapterVendorProduct;
    unit.pcb = latest.pcb;
    unit.firmware = latest.firmware;
    unit.reboots = latest.reboots;
    unit.lastSeen = Later(from->lastSeen, into->lastSeen);
    {
        KnownUnit staged = unit;
        staged.key = StagingPrefix + intoKey;
        WriteUnitFile(staged);
    }

    // Into's folder to trash/, the merged one in its place (Into's back when
    // that fails), then From's to trash/.
    const QString intoTrashed = MoveToTrash(FolderOf(intoKey), intoKey);
    if (!QDir().rename(staging, FolderOf(intoKey))) {
        QDir().rename(intoTrashed, FolderOf(intoKey));
        throw EInOutError(DetailPhrase{Msg::PhraseCannotMoveFolder, {staging, FolderOf(intoKey)}});
    }
    MoveToTrash(FolderOf(fromKey), fromKey);
}

std::optional<UnitRegistry::NewestPoint> UnitRegistry::Newest(const QString& key) const {
    const RestorePointStore store(FolderOf(key));
    for (const RestorePointInfo& point : store.List()) {
        try {
            RestorePointStore::PointRecords read = store.Read(point);
            if (read.intact)
                return NewestPoint{point, read.records};
        } catch (const QvException&) {
            // A point that cannot be read is skipped for the one before it.
        }
    }
    return std::nullopt;
}

std::optional<RestorePointInfo> UnitRegistry::ExportNewest(const QString& key,
                                                           const QString& fileName) const {
    const std::optional<NewestPoint> newest = Newest(key);
    if (!newest)
        return std::nullopt;
    QFile point(RestorePointStore(FolderOf(key)).ConfigFilePath(newest->point));
    errno = 0;
    if (!point.open(QIODevice::ReadOnly))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotOpen,
                                       {point.fileName(), FileErrorReason(point, errno)}});
    errno = 0;
    const QByteArray bytes = point.readAll();
    if (point.error() != QFileDevice::NoError)
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotRead,
                                       {point.fileName(), FileErrorReason(point, errno)}});
    WriteBytes(fileName, bytes);
    return newest->point;
}
