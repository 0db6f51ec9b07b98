// Units known by name: the recognition rule as a table, the registry's
// folders from before units had names, and random sequences of adding,
// taking points, renaming, merging, deleting and sightings checked against a
// model of what the registry must then hold (and that no point is ever lost).
#include "model/RecordFiles.h"
#include "model/UnitRecognition.h"
#include "model/UnitRegistry.h"
#include "util/Exceptions.h"

#include "support/FileLimits.h"
#include "support/PointRecords.h"
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

// ------------------------------------------------------------------ recognition

constexpr int ValueCount = 20;

// Twenty values; the first Changed of them moved by one (far beyond the digits).
ComparedColumn Values(int changed) {
    ComparedColumn column;
    for (int id = 1; id <= ValueCount; ++id)
        column[id] = ComparedValue{1.0 + id * 0.25 + (id <= changed ? 1.0 : 0.0), "W", 2};
    return column;
}

UnitToRecognize Known(const QString& key, const QString& adapter, const QString& pcb, int reboots,
                      std::optional<int> changed = 0,
                      const QString& firmware = QStringLiteral("5.0.9"), int seenDay = 1) {
    UnitToRecognize known;
    known.unit.key = key;
    known.unit.name = QStringLiteral("Name of ") + key;
    known.unit.adapterSerial = adapter;
    known.unit.pcb = pcb;
    known.unit.firmware = firmware;
    known.unit.reboots = reboots;
    known.unit.lastSeen = QDateTime(QDate(2024, 5, seenDay), QTime(12, 0), Qt::UTC);
    if (changed)
        known.newestValues = Values(*changed);
    return known;
}

struct RecognitionRow {
    const char* what;
    const char* unitAdapter;
    const char* readAdapter;
    bool samePcb;
    bool sameFirmware;
    int rebootsChange; // the reading's counter minus the one last seen
    int differing;     // values differing from the newest point; -1: the unit has no point
    bool afterUpdate;  // the reading follows an update of this unit on this link
    bool recognised;
    int mismatches; // of the one candidate offered; -1: not offered at all
};

// clang-format off
const RecognitionRow recognitionRows[] = {
    // what                         unit  read  pcb    fw     boots diff                 upd    found  mismatches of the one offered
    {"same everything",             "",   "",   true,  true,   1,   0,                   false, true,  0},
    {"counter not moved",           "",   "",   true,  true,   0,   0,                   false, true,  0},
    {"counter lower",               "",   "",   true,  true,  -1,   0,                   false, false, MismatchRebootsLower},
    {"same adapter, close values",  "A1", "A1", true,  true,   5,   2,                   false, true,  0},
    {"other adapter",               "A1", "B2", true,  true,   5,   0,                   false, false, MismatchAdapter},
    {"reading without serial",      "A1", "",   true,  true,   1,   0,                   false, true,  0},
    {"unit seen without serial",    "",   "B2", true,  true,   1,   0,                   false, true,  0},
    {"other PCB",                   "",   "",   false, true,   1,   0,                   false, false, -1},
    {"other PCB, after update",     "",   "",   false, false,  1,   0,                   true,  false, -1},
    {"other firmware",              "",   "",   true,  false,  1,   0,                   false, false, MismatchFirmware},
    {"firmware updated here",       "",   "",   true,  false, -40,  9,                   true,  true,  0},
    {"updated, other adapter",      "A1", "B2", true,  false,  1,   0,                   true,  false, MismatchAdapter},
    {"values at the close limit",   "",   "",   true,  true,   1,   CloseValueLimit,     false, true,  0},
    {"values just far",             "",   "",   true,  true,   1,   CloseValueLimit + 1, false, false, MismatchValuesFar},
    {"no point to compare",         "",   "",   true,  true,   1,  -1,                   false, false, MismatchNoValues},
    {"lower and far",               "",   "",   true,  true,  -3,   7,                   false, false, MismatchRebootsLower | MismatchValuesFar},
    {"higher but far",              "A1", "A1", true,  true,  20,   12,                  false, false, MismatchValuesFar},
};
// clang-format on

TEST(UnitRecognition, oneKnownUnit_fitsOrIsAskedAbout_byAdapterPcbFirmwareRebootsAndValues) {
    for (const RecognitionRow& row : recognitionRows) {
        SCOPED_TRACE(row.what);
        const UnitToRecognize unit =
            Known("unit-0001", row.unitAdapter, "4.3", 50,
                  row.differing < 0 ? std::nullopt : std::optional<int>(0));
        FreshUnitReading reading;
        reading.adapterSerial = row.readAdapter;
        reading.pcb = row.samePcb ? "4.3" : "4.2";
        reading.firmware = row.sameFirmware ? "5.0.9" : "5.1.0";
        reading.reboots = 50 + row.rebootsChange;
        reading.values = Values(std::max(row.differing, 0));
        if (row.afterUpdate)
            reading.updatedUnitKey = "unit-0001";

        const UnitRecognition found = RecognizeUnit({unit}, reading);
        EXPECT_EQ(found.recognised, row.recognised);
        EXPECT_EQ(found.key, row.recognised ? "unit-0001" : "");
        if (row.mismatches < 0) {
            EXPECT_TRUE(found.candidates.isEmpty());
            continue;
        }
        ASSERT_EQ(found.candidates.size(), 1);
        const UnitCandidate& candidate = found.candidates[0];
        EXPECT_EQ(candidate.name, "Name of unit-0001");
        EXPECT_EQ(candidate.reboots, 50);
        EXPECT_EQ(candidate.differingValues, row.differing);
        if (!row.afterUpdate) {
            EXPECT_EQ(candidate.mismatches, row.mismatches);
        }
    }
}

TEST(UnitRecognition, severalKnownUnits_exactlyOneFitIsThatUnit_elseAskWithTheLikeliestFirst) {
    // Two bikes of one team, same PCB and firmware on CH340 adapters.
    const UnitToRecognize a = Known("unit-0001", "", "4.3", 50, 0, "5.0.9", 3);
    const UnitToRecognize b = Known("unit-0002", "", "4.3", 20, 2, "5.0.9", 5);
    const UnitToRecognize kart = Known("unit-0003", "", "5.0", 10, 0);
    FreshUnitReading reading;
    reading.pcb = "4.3";
    reading.firmware = "5.0.9";
    reading.values = Values(0);

    // A counter between the two: only the bike last seen with a lower one.
    reading.reboots = 30;
    UnitRecognition found = RecognizeUnit({a, b, kart}, reading);
    EXPECT_TRUE(found.recognised);
    EXPECT_EQ(found.key, "unit-0002");

    // Above both: both fit, so the user is asked; the one with fewer
    // differing values first, the kart (another PCB) not offered.
    reading.reboots = 60;
    found = RecognizeUnit({b, kart, a}, reading);
    EXPECT_FALSE(found.recognised);
    ASSERT_EQ(found.candidates.size(), 2);
    EXPECT_EQ(found.candidates[0].key, "unit-0001");
    EXPECT_EQ(found.candidates[1].key, "unit-0002");
    EXPECT_TRUE(found.candidates[0].Fits() && found.candidates[1].Fits());

    // Far from both: asked, the fitting-but-for-values ones by differences,
    // then the most recently seen.
    const UnitToRecognize c = Known("unit-0004", "", "4.3", 5, 2, "5.0.9", 9);
    reading.values = Values(10);
    found = RecognizeUnit({a, b, c}, reading);
    EXPECT_FALSE(found.recognised);
    QStringList order;
    for (const UnitCandidate& candidate : found.candidates)
        order << candidate.key;
    EXPECT_EQ(order, QStringList({"unit-0004", "unit-0002", "unit-0001"}));

    // After an update of A on this link, A even though B fits as well.
    reading.values = Values(0);
    reading.firmware = "5.1.0";
    reading.updatedUnitKey = "unit-0001";
    found = RecognizeUnit({b, a}, reading);
    EXPECT_TRUE(found.recognised);
    EXPECT_EQ(found.key, "unit-0001");

    // Nobody known: a question with nothing to offer but a new unit.
    found = RecognizeUnit({}, reading);
    EXPECT_FALSE(found.recognised);
    EXPECT_TRUE(found.candidates.isEmpty());
}

TEST(UnitRecognition, differingValuesCountAtTheFewerFirmwareDigits_onlyValuesBothHold) {
    struct Case {
        double a;
        int digitsA;
        double b;
        int digitsB;
        int differing;
    };
    const Case cases[] = {
        {1.004, 2, 1.0, 2, 0}, {1.006, 2, 1.0, 2, 1},  {1.004, 3, 1.0, 3, 1},
        {1.004, 3, 1.0, 2, 0}, {-0.001, 2, 0.0, 2, 0}, {250, 0, 250.4, 0, 0},
    };
    for (const Case& c : cases) {
        const ComparedColumn a{{7, ComparedValue{c.a, "W", c.digitsA}},
                               {8, ComparedValue{1, "X", 0}}};
        const ComparedColumn b{{7, ComparedValue{c.b, "W", c.digitsB}},
                               {9, ComparedValue{5, "Y", 0}}};
        EXPECT_EQ(CountDifferingValues(a, b), c.differing) << c.a << " " << c.b;
        EXPECT_EQ(CountDifferingValues(b, a), c.differing) << c.a << " " << c.b;
    }
}

// ------------------------------------------------------------------ registry

QDateTime Moment(int n) {
    return QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC).addSecs(60LL * n);
}

QMap<int, double> SomeValues(int variant) {
    return {{1, 12.5}, {2, 0.25 * variant}, {3, 40 + variant}};
}

TEST(UnitRegistry, foldersFromBeforeNames_becomeNamedUnitsInTheOrderFirstSeen_everyPointKept) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    const QString usb = registry.FolderOf("usb-0403-6001-A5XK3RJH");
    const QString pcb = registry.FolderOf("pcb-4.3-fw-5.0.9");
    qvtest::TakePoint(usb, SomeValues(1), Moment(20), 31, "5.0.8", "4.2");
    qvtest::TakePoint(usb, SomeValues(2), Moment(30), 35, "5.0.9", "4.2");
    qvtest::TakePoint(pcb, SomeValues(3), Moment(10), 7);
    ASSERT_TRUE(QDir().mkpath(registry.FolderOf("pcb-4.2-fw-5.0.1"))); // never got a point

    QVector<KnownUnit> units = registry.Load();
    EXPECT_TRUE(registry.Problems().isEmpty()) << registry.Problems().join('\n').toStdString();
    ASSERT_EQ(units.size(), 3);
    EXPECT_EQ(units[0].name, "Unit 1");
    EXPECT_EQ(units[0].key, "pcb-4.3-fw-5.0.9");
    EXPECT_EQ(units[0].oldKeys, QStringList{"pcb-4.3-fw-5.0.9"});
    EXPECT_EQ(units[0].pointCount, 1);
    EXPECT_EQ(units[1].name, "Unit 2");
    EXPECT_EQ(units[1].key, "usb-0403-6001-A5XK3RJH");
    EXPECT_EQ(units[1].adapterSerial, "A5XK3RJH");
    EXPECT_EQ(units[1].adapterVendorProduct, "0403:6001");
    EXPECT_EQ(units[1].pointCount, 2);
    // What the unit was at its newest point.
    EXPECT_EQ(units[1].firmware, "5.0.9");
    EXPECT_EQ(units[1].pcb, "4.2");
    EXPECT_EQ(units[1].reboots, 35);
    EXPECT_EQ(units[1].lastSeen, Moment(30));
    EXPECT_EQ(units[2].name, "Unit 3");
    EXPECT_EQ(units[2].pointCount, 0);

    // The points are where they were, whole.
    const RestorePointStore store(usb);
    ASSERT_EQ(store.List().size(), 2);
    for (const RestorePointInfo& point : store.List())
        EXPECT_TRUE(store.Read(point).intact);

    // Named once: a second start finds the same units, and a new one comes after them.
    UnitRegistry again(dir.path());
    const QVector<KnownUnit> reloaded = again.Load();
    ASSERT_EQ(reloaded.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reloaded[i].name, units[i].name);
    const KnownUnit added = again.Add(QString(), UnitSighting{});
    EXPECT_EQ(added.name, "Unit 4");
    EXPECT_EQ(added.key, "unit-0004");
}

TEST(UnitRegistry, unitFileThatCannotBeRead_unitListedUnderItsFolderName_untilRenamed) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    const KnownUnit unit = registry.Add("Kart 7", UnitSighting{});
    qvtest::TakePoint(registry.FolderOf(unit.key), SomeValues(1), Moment(1));
    const QString file = registry.FolderOf(unit.key) + "/" + UnitRegistry::UnitFileName;
    {
        QFile damaged(file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("{\"name\": ");
    }
    QVector<KnownUnit> units = registry.Load();
    ASSERT_EQ(units.size(), 1);
    EXPECT_TRUE(units[0].unitFileDamaged);
    EXPECT_EQ(units[0].name, unit.key);
    EXPECT_EQ(units[0].pointCount, 1);
    EXPECT_EQ(registry.Problems().size(), 1);
    // Load leaves it as it is; a rename writes it anew and keeps the damaged one beside.
    EXPECT_EQ(registry.Load()[0].name, unit.key);
    registry.Rename(unit.key, "Kart 7 - Lucas");
    units = registry.Load();
    EXPECT_EQ(units[0].name, "Kart 7 - Lucas");
    EXPECT_FALSE(units[0].unitFileDamaged);
    EXPECT_EQ(QDir(registry.FolderOf(unit.key)).entryList({"unit.json.damaged-*"}).size(), 1);
}

TEST(UnitRegistry, namesAreTrimmedAndUniqueWithoutRegardToCase) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    const KnownUnit first = registry.Add(QString(), UnitSighting{});
    EXPECT_EQ(first.name, "Unit 1");
    EXPECT_EQ(UnitRegistry::NormalizedName("  Kart\n7 \t Lucas "), "Kart 7 Lucas");
    struct Case {
        QString name;
        QString except;
        UnitNameProblem problem;
    };
    const Case cases[] = {
        {"", "", UnitNameProblem::Empty},
        {" \t\n", "", UnitNameProblem::Empty},
        {QString(UnitRegistry::MaxNameLength, u'x'), "", UnitNameProblem::None},
        {QString(UnitRegistry::MaxNameLength + 1, u'x'), "", UnitNameProblem::TooLong},
        {"unit 1", "", UnitNameProblem::Taken},
        {" UNIT  1 ", "", UnitNameProblem::Taken},
        {"unit 1", first.key, UnitNameProblem::None}, // its own name, written otherwise
        {QString::fromUtf8("Kart 7 – Lucas"), "", UnitNameProblem::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(registry.CheckName(c.name, c.except), c.problem) << c.name.toStdString();
    EXPECT_THROW(registry.Add("Unit 1", UnitSighting{}), EConvertError);
    EXPECT_THROW(registry.Rename(first.key, "   "), EConvertError);
    EXPECT_EQ(registry.Load().size(), 1);
}

TEST(UnitRegistry, exportNewest_writesTheNewestIntactPointsFile_orNothing) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    const KnownUnit unit = registry.Add("Bike", UnitSighting{});
    const QString out = dir.filePath("out.QCF");
    EXPECT_FALSE(registry.ExportNewest(unit.key, out));
    EXPECT_FALSE(QFile::exists(out));

    const QString folder = registry.FolderOf(unit.key);
    const auto older = qvtest::TakePoint(folder, SomeValues(1), Moment(1));
    const auto newer = qvtest::TakePoint(folder, SomeValues(2), Moment(2));
    const RestorePointStore store(folder);
    auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    ASSERT_EQ(registry.ExportNewest(unit.key, out)->number, newer.point.number);
    EXPECT_EQ(bytesOf(out), bytesOf(store.ConfigFilePath(newer.point)));

    // A newest point whose values no longer match its hash is passed over.
    WriteConfigFile(store.ConfigFilePath(newer.point), qvtest::ValueRecords(SomeValues(7)));
    ASSERT_EQ(registry.ExportNewest(unit.key, out)->number, older.point.number);
    EXPECT_EQ(bytesOf(out), bytesOf(store.ConfigFilePath(older.point)));
}

// A rename or an export the disk refuses is reported with its cause; the
// unit keeps its name and a file exported before stays whole.
TEST(UnitRegistry, renameOrExportThatCannotBeWritten_reportsTheCause_andKeepsWhatWasThere) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    const KnownUnit unit = registry.Add("Kart 7", UnitSighting{});
    const QString folder = registry.FolderOf(unit.key);
    const auto point = qvtest::TakePoint(folder, SomeValues(1), Moment(1));
    const QString out = dir.filePath("out.QCF");
    ASSERT_TRUE(registry.ExportNewest(unit.key, out));
    QFile exported(out);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QByteArray exportedBytes = exported.readAll();
    exported.close();
    ASSERT_FALSE(exportedBytes.isEmpty());

    const auto refusal = [](const std::function<void()>& write) {
        qvtest::FilesCannotGrow full;
        try {
            write();
        } catch (const EInOutError& error) {
            return error.Message();
        }
        return QStringLiteral("not refused");
    };
    EXPECT_TRUE(
        refusal([&] { registry.Rename(unit.key, "Kart 7 - Lucas"); }).endsWith("File too large"));
    EXPECT_EQ(registry.Load().value(0).name, "Kart 7");
    EXPECT_TRUE(refusal([&] { registry.ExportNewest(unit.key, out); }).endsWith("File too large"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), exportedBytes);
    EXPECT_EQ(RestorePointStore(folder).List().size(), 1);
    EXPECT_EQ(point.point.number, RestorePointStore(folder).List().value(0).number);
}

TEST(UnitRegistry, mergeThatCannotReachTheTrash_changesNothing) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    const KnownUnit a = registry.Add("A", UnitSighting{});
    const KnownUnit b = registry.Add("B", UnitSighting{});
    qvtest::TakePoint(registry.FolderOf(a.key), SomeValues(1), Moment(1));
    qvtest::TakePoint(registry.FolderOf(b.key), SomeValues(2), Moment(2));
    {
        QFile blocker(registry.TrashFolder()); // a file where the folder would go
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    EXPECT_THROW(registry.Merge(a.key, b.key), EInOutError);
    EXPECT_THROW(registry.Delete(a.key), EInOutError);
    const QVector<KnownUnit> units = registry.Load();
    ASSERT_EQ(units.size(), 2);
    EXPECT_EQ(units[0].pointCount, 1);
    EXPECT_EQ(units[1].pointCount, 1);
    EXPECT_EQ(QDir(registry.UnitsFolder())
                  .entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)
                  .size(),
              2);
}

// ------------------------------------------------------------------ random sequences

enum class Op { Add, Take, Rename, Merge, Delete, Seen };

struct Step {
    Op op;
    int a = 0; // a unit (by index, modulo the units there are) or a name
    int b = 0; // a second unit, a name or a value variant
};

const QString NamePool[] = {"",
                            "Kart 7",
                            "kart 7",
                            "Unit 1",
                            "  Bike   B ",
                            "Bike B",
                            QString(UnitRegistry::MaxNameLength + 1, u'n')};
constexpr int NamePoolSize = int(std::size(NamePool));

std::string Describe(const std::vector<Step>& steps) {
    static const char* names[] = {"Add", "Take", "Rename", "Merge", "Delete", "Seen"};
    std::string text;
    for (const Step& s : steps)
        text += std::string(names[int(s.op)]) + "(" + std::to_string(s.a) + "," +
                std::to_string(s.b) + ") ";
    return text;
}

struct ModelUnit {
    QString name;
    QVector<std::pair<QDateTime, QString>> points; // oldest first
    QDateTime lastSeen;
    QDateTime identityTime;
    int reboots = -1;
};

// Runs the steps on a fresh folder; the first difference from the model, or "".
std::string RunSteps(const std::vector<Step>& steps) {
    QTemporaryDir dir;
    UnitRegistry registry(dir.path());
    std::map<QString, ModelUnit> model;          // by key
    QVector<std::pair<QDateTime, QString>> ever; // every point written
    int highestDefault = 0;
    auto nameTaken = [&model](const QString& name, const QString& except) {
        for (const auto& [key, unit] : model)
            if (key != except && unit.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    auto keyAt = [&model](int index) {
        auto it = model.begin();
        std::advance(it, index % int(model.size()));
        return it->first;
    };

    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        const QDateTime now = Moment(int(i) + 1);
        const std::string at = "step " + std::to_string(i) + ": ";
        try {
            switch (step.op) {
            case Op::Add: {
                const QString name = UnitRegistry::NormalizedName(NamePool[step.a % NamePoolSize]);
                const bool refused =
                    !name.isEmpty() &&
                    (name.size() > UnitRegistry::MaxNameLength || nameTaken(name, QString()));
                UnitSighting seen;
                seen.reboots = 100 + int(i);
                seen.time = now;
                if (refused) {
                    try {
                        registry.Add(name, seen);
                        return at + "Add of a refused name went through";
                    } catch (const EConvertError&) {
                        break;
                    }
                }
                const KnownUnit added = registry.Add(name, seen);
                if (name.isEmpty()) {
                    const int number = added.name.mid(5).toInt();
                    if (!added.name.startsWith("Unit ") || number <= highestDefault)
                        return at + "default name " + added.name.toStdString() + " given before";
                    highestDefault = number;
                } else if (added.name != name) {
                    return at + "Add named " + added.name.toStdString();
                }
                if (model.count(added.key))
                    return at + "key given twice: " + added.key.toStdString();
                model[added.key] = ModelUnit{added.name, {}, now, now, seen.reboots};
                break;
            }
            case Op::Take: {
                if (model.empty())
                    break;
                const QString key = keyAt(step.a);
                ModelUnit& unit = model[key];
                const auto taken = qvtest::TakePoint(registry.FolderOf(key), SomeValues(step.b % 3),
                                                     now, 200 + int(i));
                unit.lastSeen = now;
                if (taken.outcome == RestorePointStore::Outcome::Written) {
                    unit.points.append({now, taken.point.hash});
                    ever.append({now, taken.point.hash});
                    unit.identityTime = now;
                    unit.reboots = 200 + int(i);
                } else if (unit.points.isEmpty() || unit.points.last().second != taken.point.hash) {
                    return at + "a point not like the newest was not written";
                }
                break;
            }
            case Op::Rename: {
                if (model.empty())
                    break;
                const QString key = keyAt(step.a);
                const QString name = UnitRegistry::NormalizedName(NamePool[step.b % NamePoolSize]);
                const bool refused = name.isEmpty() || name.size() > UnitRegistry::MaxNameLength ||
                                     nameTaken(name, key);
                try {
                    registry.Rename(key, name);
                    if (refused)
                        return at + "Rename to a refused name went through";
                    model[key].name = name;
                } catch (const EConvertError&) {
                    if (!refused)
                        return at + "Rename refused " + name.toStdString();
                }
                break;
            }
            case Op::Merge: {
                if (model.size() < 2)
                    break;
                const QString from = keyAt(step.a);
                QString into = keyAt(step.b);
                if (into == from)
                    into = keyAt(step.b + 1);
                registry.Merge(from, into);
                ModelUnit& kept = model[into];
                const ModelUnit& gone = model[from];
                kept.points += gone.points;
                std::stable_sort(kept.points.begin(), kept.points.end());
                if (gone.lastSeen > kept.lastSeen)
                    kept.reboots = gone.reboots;
                kept.lastSeen = std::max(kept.lastSeen, gone.lastSeen);
                kept.identityTime = kept.lastSeen;
                model.erase(from);
                break;
            }
            case Op::Delete: {
                if (model.empty())
                    break;
                const QString key = keyAt(step.a);
                registry.Delete(key);
                model.erase(key);
                break;
            }
            case Op::Seen: {
                if (model.empty())
                    break;
                const QString key = keyAt(step.a);
                UnitSighting seen;
                seen.reboots = 300 + int(i);
                seen.firmware = "5.1.0";
                seen.time = now;
                registry.Seen(key, seen);
                model[key].lastSeen = model[key].identityTime = now;
                model[key].reboots = seen.reboots;
                break;
            }
            }
        } catch (const QvException& error) {
            return at + "raised " + error.Message().toStdString();
        }

        // The registry as the model says.
        const QVector<KnownUnit> units = registry.Load();
        if (!registry.Problems().isEmpty())
            return at + registry.Problems().join(' ').toStdString();
        if (units.size() != int(model.size()))
            return at + "units: " + std::to_string(units.size());
        QSet<QString> names;
        for (const KnownUnit& unit : units) {
            const auto found = model.find(unit.key);
            if (found == model.end())
                return at + "unknown unit " + unit.key.toStdString();
            const ModelUnit& expected = found->second;
            if (unit.name != expected.name)
                return at + unit.key.toStdString() + " named " + unit.name.toStdString();
            if (names.contains(unit.name.toLower()))
                return at + "name twice: " + unit.name.toStdString();
            names.insert(unit.name.toLower());
            if (unit.reboots != expected.reboots)
                return at + unit.key.toStdString() + " reboots " + std::to_string(unit.reboots) +
                       " not " + std::to_string(expected.reboots);
            if (unit.lastSeen != expected.lastSeen)
                return at + unit.key.toStdString() + " last seen " +
                       unit.lastSeen.toString(Qt::ISODate).toStdString();
            const QVector<RestorePointInfo> points =
                RestorePointStore(registry.FolderOf(unit.key)).List();
            QVector<std::pair<QDateTime, QString>> held;
            for (auto it = points.rbegin(); it != points.rend(); ++it)
                held.append({it->time, it->hash});
            if (held != expected.points || unit.pointCount != held.size())
                return at + unit.key.toStdString() + " holds other points";
        }
        // No point is ever lost: each is in a unit's folder or in the trash.
        QVector<std::pair<QDateTime, QString>> kept;
        QStringList folders;
        for (const QString& key :
             QDir(registry.UnitsFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            folders << registry.FolderOf(key);
        const QDir trash(registry.TrashFolder());
        for (const QString& entry : trash.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            folders << trash.filePath(entry);
        for (const QString& folder : folders)
            for (const RestorePointInfo& point : RestorePointStore(folder).List())
                kept.append({point.time, point.hash});
        for (const auto& point : ever)
            if (!kept.contains(point))
                return at + "lost the point of " + point.first.toString(Qt::ISODate).toStdString();
    }
    return {};
}

TEST(UnitRegistry, randomSequences_holdWhatTheModelSays_andNeverLoseAPoint) {
    constexpr int Sequences = 25;
    constexpr int Steps = 30;
    for (unsigned seed = 1; seed <= Sequences; ++seed) {
        std::mt19937 random(seed);
        std::vector<Step> steps;
        for (int i = 0; i < Steps; ++i) {
            // Adds and points more often than the rest, so that there is something to merge.
            static const Op weighted[] = {Op::Add,    Op::Add,   Op::Take,   Op::Take, Op::Take,
                                          Op::Rename, Op::Merge, Op::Delete, Op::Seen};
            steps.push_back(
                {weighted[random() % std::size(weighted)], int(random() % 16), int(random() % 16)});
        }
        std::string failure = RunSteps(steps);
        if (failure.empty())
            continue;
        // Shrink: leave out steps while the sequence still fails.
        for (size_t i = 0; i < steps.size();) {
            std::vector<Step> shorter = steps;
            shorter.erase(shorter.begin() + long(i));
            if (std::string f = RunSteps(shorter); !f.empty()) {
                steps = shorter;
                failure = f;
            } else {
                ++i;
            }
        }
        ADD_FAILURE() << "seed " << seed << ": " << failure << "\n  steps: " << Describe(steps);
        return;
    }
}

} // namespace
