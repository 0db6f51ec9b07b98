// Restore points: what a point holds (the rows "Save Config." writes, with the
// unit's values), its name and side file, writing only what changed, keeping
// the newest points and the first, reading back, and the unit's key.
#include "model/RecordFiles.h"
#include "model/RestorePoints.h"
#include "model/UnitValues.h"
#include "util/Exceptions.h"

#include "support/CommandRows.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void Row(CommandTable& table, int id, const char* word, const char* fwUnit, const char* swUnit,
         double factor, int digitsFW, int digitsSW, const char* control) {
    TCommandRecord& row =
        qvtest::WritableRow(table, id, word, fwUnit, swUnit, factor, digitsFW, digitsSW);
    for (QString* flag : {&row.ActivePCB3X, &row.ActivePCB40, &row.ActivePCB41, &row.ActivePCB42,
                          &row.ActivePCB43, &row.ActivePCB50, &row.ActivePCB60})
        *flag = QStringLiteral("1");
    row.SenderName1 = QString::fromLatin1(control);
    row.ActivePageIndex1 = 1;
}

CommandTable SampleTable() {
    CommandTable table;
    Row(table, 1, "MINVBATT", "V", "V", 1, 1, 1, "EMinimumBattery");
    Row(table, 2, "TPSIDLEV", "V", "mV", 1000, 3, 0, "SETpsIdle");
    Row(table, 3, "UPCUTTIM", "mS", "mS", 1, 0, 0, "SEUpCutTime");
    Row(table, 4, "NOCONTRL", "mS", "mS", 1, 0, 0, ""); // shown by no control
    Row(table, 5, "READONLY", "mS", "mS", 1, 0, 0, "SEReadOnly");
    table[5].WriteToGCUID = 0;
    Row(table, 6, "ONLYPCB5", "mS", "mS", 1, 0, 0, "SEOnlyOnPcb50");
    table[6].ActivePCB43 = QStringLiteral("0");
    for (int id = 1; id <= 6; ++id) {
        table[id].ActualValueFW = 7;
        table[id].ActualValueSW = 7;
        table[id].Status = QStringLiteral("M"); // the working copy: edited
    }
    return table;
}

UnitValues SampleUnit(double battery = 12.5) {
    UnitValues unit;
    unit.fw = {{1, battery}, {2, 0.52}, {3, 40}, {4, 1}, {5, 2}, {6, 3}};
    return unit;
}

RestorePointContent Content(const QVector<TCommandRecord>& records, const QString& reason,
                            int second) {
    RestorePointContent content;
    content.time = QDateTime(QDate(2024, 5, 12), QTime(9, 30, second, 41), Qt::UTC);
    content.reason = reason;
    content.firmware = QStringLiteral("5.0.9");
    content.pcb = QStringLiteral("4.3");
    content.reboots = 17;
    content.records = records;
    return content;
}

QJsonObject SideFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RestorePoints : public ::testing::Test {
  protected:
    QVector<TCommandRecord> Records(double battery = 12.5) const {
        return UnitConfigRecords(table, 43, SampleUnit(battery), 60);
    }
    QStringList Files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }
    QString folder() const { return dir.filePath("units/pcb-4.3-fw-5.0.9"); }

    QTemporaryDir dir;
    CommandTable table = SampleTable();
};

// ------------------------------------------------------------------ what a point holds

TEST_F(RestorePoints, pointHoldsSaveConfigRowsWithTheUnitsValuesAndLeavesTheWorkingTableAlone) {
    const QVector<TCommandRecord> records = Records();
    // Rows 4 (no control), 5 (not writable) and 6 (not on PCB 4.3) are not saved.
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0].ID, 1);
    EXPECT_EQ(records[1].ID, 2);
    EXPECT_EQ(records[2].ID, 3);
    EXPECT_DOUBLE_EQ(records[1].ActualValueFW, 0.52);
    EXPECT_DOUBLE_EQ(records[1].ActualValueSW, 520); // V to mV
    EXPECT_EQ(records[1].Status, "A");
    EXPECT_DOUBLE_EQ(table[2].ActualValueFW, 7);
    EXPECT_EQ(table[2].Status, "M");

    // A row the unit has no value for is not in the point.
    UnitValues partial = SampleUnit();
    partial.fw.remove(2);
    const QVector<TCommandRecord> fewer = UnitConfigRecords(table, 43, partial, 60);
    ASSERT_EQ(fewer.size(), 2);
    EXPECT_EQ(fewer[1].ID, 3);
}

TEST_F(RestorePoints, pointFileIsByteForByteWhatSaveConfigWritesForTheUnitsValues) {
    RestorePointStore store(folder());
    const auto taken = store.Take(Content(Records(), RestoreReason::Downloaded, 12));
    ASSERT_EQ(taken.outcome, RestorePointStore::Outcome::Written);

    const QString saved = dir.filePath("saved.QCF");
    SaveConfigFile(saved, TableWithUnitValues(table, SampleUnit(), 60), 43);
    EXPECT_EQ(Bytes(store.ConfigFilePath(taken.point)), Bytes(saved));
    EXPECT_EQ(Bytes(saved).size(), 3 * CommandRecordSize);
}

TEST_F(RestorePoints, nameAndSideFileSayWhenWhyAndWhatTheUnitWas) {
    RestorePointStore store(folder());
    const auto taken = store.Take(Content(Records(), RestoreReason::BeforeFirmwareUpdate, 12));
    EXPECT_EQ(taken.point.baseName, "000001-20240512T093012.041Z-before-firmware-update");
    EXPECT_EQ(Files(), QStringList({"000001-20240512T093012.041Z-before-firmware-update.QCF",
                                    "000001-20240512T093012.041Z-before-firmware-update.json"}));

    const QJsonObject side = SideFile(store.SideFilePath(taken.point));
    EXPECT_EQ(side["time"].toString(), "2024-05-12T09:30:12.041Z");
    EXPECT_EQ(side["reason"].toString(), "before firmware update");
    EXPECT_EQ(side["firmware"].toString(), "5.0.9");
    EXPECT_EQ(side["pcb"].toString(), "4.3");
    EXPECT_EQ(side["reboots"].toInt(), 17);
    EXPECT_EQ(side["values"].toInt(), 3);
    EXPECT_EQ(side["hash"].toString(), RecordValuesHash(Records()));
    EXPECT_EQ(side["configuration"].toString(), taken.point.baseName + ".QCF");
    EXPECT_TRUE(side["hash"].toString().startsWith("sha256:"));
    EXPECT_EQ(side["hash"].toString().size(), 7 + 64);
}

TEST_F(RestorePoints, whatWasWrittenReadsBackWithItsRecordsAndDetails) {
    RestorePointStore store(folder());
    store.Take(Content(Records(), RestoreReason::Downloaded, 12));
    store.Take(Content(Records(11.0), RestoreReason::Stored, 13));

    const QVector<RestorePointInfo> points = RestorePointStore(folder()).List();
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points[0].number, 2); // newest first
    EXPECT_EQ(points[0].reason, "stored");
    EXPECT_EQ(points[0].time, QDateTime(QDate(2024, 5, 12), QTime(9, 30, 13, 41), Qt::UTC));
    EXPECT_EQ(points[0].firmware, "5.0.9");
    EXPECT_EQ(points[0].pcb, "4.3");
    EXPECT_EQ(points[0].reboots, 17);
    EXPECT_EQ(points[0].valueCount, 3);
    EXPECT_EQ(points[1].number, 1);

    const auto read = store.Read(points[0]);
    EXPECT_TRUE(read.intact);
    ASSERT_EQ(read.records.size(), 3);
    EXPECT_DOUBLE_EQ(read.records[0].ActualValueFW, 11.0);
    EXPECT_EQ(read.records[2].Command, "UPCUTTIM");
}

TEST_F(RestorePoints, aPointWhoseFileNoLongerMatchesItsHashReadsAsDamaged) {
    RestorePointStore store(folder());
    const auto taken = store.Take(Content(Records(), RestoreReason::Downloaded, 12));
    QFile file(store.ConfigFilePath(taken.point));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(168); // ActualValueFW of the first record
    const double other = 99.9;
    file.write(reinterpret_cast<const char*>(&other), sizeof other);
    file.close();
    const auto read = store.Read(taken.point);
    ASSERT_EQ(read.records.size(), 3);
    EXPECT_FALSE(read.intact);

    QFile::resize(store.ConfigFilePath(taken.point), CommandRecordSize); // a record lost
    EXPECT_FALSE(store.Read(taken.point).intact);
}

// ------------------------------------------------------------------ writing only what changed

TEST_F(RestorePoints, sameValuesAsTheNewestPointOnlyNoteTheMomentAndReason) {
    RestorePointStore store(folder());
    store.Take(Content(Records(), RestoreReason::Downloaded, 12));
    // Equal at the firmware digits (one decimal) is equal.
    const auto again = store.Take(Content(Records(12.5 + 1e-7), RestoreReason::BeforeStore, 20));
    EXPECT_EQ(again.outcome, RestorePointStore::Outcome::SameAsNewest);
    EXPECT_EQ(again.point.number, 1);
    EXPECT_EQ(Files().size(), 2);

    const QVector<RestorePointInfo> points = store.List();
    ASSERT_EQ(points.size(), 1);
    ASSERT_EQ(points[0].alsoTaken.size(), 1);
    EXPECT_EQ(points[0].alsoTaken[0].reason, "before store");
    EXPECT_EQ(points[0].alsoTaken[0].time,
              QDateTime(QDate(2024, 5, 12), QTime(9, 30, 20, 41), Qt::UTC));
    EXPECT_EQ(points[0].reason, "downloaded"); // the point itself is unchanged
}

TEST_F(RestorePoints, onlyTheNewestPointIsComparedSoOldValuesComingBackAreANewPoint) {
    RestorePointStore store(folder());
    EXPECT_EQ(store.Take(Content(Records(12.5), RestoreReason::Downloaded, 1)).outcome,
              RestorePointStore::Outcome::Written);
    // One decimal: 12.46 is written 12.5, 12.44 is not.
    EXPECT_EQ(store.Take(Content(Records(12.46), RestoreReason::Downloaded, 2)).outcome,
              RestorePointStore::Outcome::SameAsNewest);
    EXPECT_EQ(store.Take(Content(Records(12.44), RestoreReason::Stored, 3)).outcome,
              RestorePointStore::Outcome::Written);
    EXPECT_EQ(store.Take(Content(Records(12.5), RestoreReason::Stored, 4)).outcome,
              RestorePointStore::Outcome::Written);
    EXPECT_EQ(store.List().size(), 3);
    // Fewer values with the same ones otherwise differ too.
    QVector<TCommandRecord> fewer = Records(12.5);
    fewer.removeLast();
    EXPECT_EQ(store.Take(Content(fewer, RestoreReason::Stored, 5)).outcome,
              RestorePointStore::Outcome::Written);
}

TEST_F(RestorePoints, notedMomentsAreBoundedToTheNewest) {
    RestorePointStore store(folder());
    store.Take(Content(Records(), RestoreReason::Downloaded, 0));
    for (int i = 0; i < RestorePointStore::KeptMoments + 5; ++i) {
        RestorePointContent content = Content(Records(), RestoreReason::Downloaded, 0);
        content.time = content.time.addSecs(i + 1);
        store.Take(content);
    }
    const QVector<RestorePointMoment> moments = store.List()[0].alsoTaken;
    ASSERT_EQ(moments.size(), RestorePointStore::KeptMoments);
    EXPECT_EQ(moments.last().time,
              Content({}, "", 0).time.addSecs(RestorePointStore::KeptMoments + 5));
}

// ------------------------------------------------------------------ keeping

TEST_F(RestorePoints, onlyTheNewestPointsAndTheFirstEverAreKeptAndNumbersGoOn) {
    RestorePointStore store(folder(), 3);
    for (int i = 1; i <= 6; ++i)
        store.Take(Content(Records(10 + i), RestoreReason::Downloaded, i));
    QVector<int> numbers;
    for (const RestorePointInfo& point : store.List())
        numbers.append(point.number);
    EXPECT_EQ(numbers, QVector<int>({6, 5, 4, 1}));
    EXPECT_EQ(Files().size(), 8);

    const auto next = store.Take(Content(Records(20), RestoreReason::Stored, 7));
    EXPECT_EQ(next.point.number, 7);
    numbers.clear();
    for (const RestorePointInfo& point : store.List())
        numbers.append(point.number);
    EXPECT_EQ(numbers, QVector<int>({7, 6, 5, 1}));
}

TEST_F(RestorePoints, aConfigurationFileWithoutSideFileIsNoPointAndIsClearedAway) {
    RestorePointStore store(folder());
    store.Take(Content(Records(), RestoreReason::Downloaded, 1));
    WriteConfigFile(folder() + "/000002-20240512T093013.041Z-stored.QCF", Records(1));
    EXPECT_EQ(store.List().size(), 1);
    const auto next = store.Take(Content(Records(13), RestoreReason::Stored, 3));
    EXPECT_EQ(next.point.number, 3);
    EXPECT_FALSE(QFile::exists(folder() + "/000002-20240512T093013.041Z-stored.QCF"));
    // A side file that is not one of ours is no point either.
    QFile junk(folder() + "/000009-junk.json");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("{ not json");
    junk.close();
    EXPECT_EQ(store.List().size(), 2);
}

// ------------------------------------------------------------------ failures

TEST_F(RestorePoints, folderThatCannotBeMadeRaisesWithTheReasonAndLeavesNoPoint) {
    QFile blocker(dir.filePath("units"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    RestorePointStore store(folder());
    try {
        store.Take(Content(Records(), RestoreReason::Downloaded, 1));
        FAIL() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_TRUE(error.Message().contains(folder())) << error.Message().toStdString();
    }
    EXPECT_TRUE(store.List().isEmpty());
}

TEST_F(RestorePoints, sideFileThatCannotBeWrittenLeavesNoHalfPoint) {
    RestorePointStore store(folder());
    // Where the side file would go there is a folder.
    ASSERT_TRUE(QDir().mkpath(folder() + "/000001-20240512T093001.041Z-downloaded.json"));
    EXPECT_THROW(store.Take(Content(Records(), RestoreReason::Downloaded, 1)), EInOutError);
    EXPECT_FALSE(QFile::exists(folder() + "/000001-20240512T093001.041Z-downloaded.QCF"));
    EXPECT_TRUE(store.List().isEmpty());
}

// ------------------------------------------------------------------ the unit's key

TEST(UnitKeys, unitSerialThenAdapterSerialThenPcbAndFirmware) {
    UnitIdentity unit;
    unit.pcbVersion = "4.3";
    unit.firmwareVersion = "5.0.9";
    EXPECT_EQ(UnitKey(unit), "pcb-4.3-fw-5.0.9");
    unit.adapterSerial = "A10K3Z/9 x";
    unit.adapterVendorProduct = "0403:6001";
    EXPECT_EQ(UnitKey(unit), "usb-0403-6001-A10K3Z_9_x");
    unit.unitSerial = "  0042 ";
    EXPECT_EQ(UnitKey(unit), "gcu-0042");

    UnitIdentity partly;
    partly.pcbVersion = "4.3"; // no firmware yet: not enough to tell units apart
    EXPECT_EQ(UnitKey(partly), "");
    partly.firmwareVersion = "../..";
    EXPECT_EQ(UnitKey(partly), "pcb-4.3-fw-.._..");
    EXPECT_FALSE(UnitKey(partly).contains('/'));
}

TEST(UnitKeys, knownUnitsAreTheFoldersBelowUnits) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("units/pcb-4.3-fw-5.0.9")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("units/usb-0403-6001-A1")));
    EXPECT_EQ(KnownUnitKeys(dir.path()), QStringList({"pcb-4.3-fw-5.0.9", "usb-0403-6001-A1"}));
    EXPECT_EQ(UnitsFolder(dir.path()), dir.path() + "/units");
}

} // namespace
