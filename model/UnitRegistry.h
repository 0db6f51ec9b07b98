#pragma once
// Units known by name. Every unit whose restore points are kept has a folder
// below "units" in the user's data folder, and in it a unit file with the
// name the user gave it and what identified the unit when it was last seen:
//
//   <user data>/units/unit-0003/unit.json
//                              000001-20240512T093012.041Z-downloaded.QCF
//                              000001-20240512T093012.041Z-downloaded.json
//   <user data>/trash/unit-0002-20240601T101500Z/     a deleted unit, as it was
//
// The folders are the registry: a unit is its folder, so no damaged list can
// lose one. Folders from before units had names ("usb-0403-6001-A5XK3RJH",
// "pcb-4.3-fw-5.0.9") stay where they are and become named units ("Unit 1",
// "Unit 2", in the order their first points were taken), their old folder
// name kept as the old key. Nothing is ever deleted here: a deleted unit and
// both halves of a merge go to trash/ as they were. Every file is written
// whole or not at all (QSaveFile).
#include "model/CommandTable.h"
#include "model/RestorePoints.h"
#include "util/DetailPhrase.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// What the link tells about a unit when it is seen.
struct UnitSighting {
    QString adapterSerial;        // the USB adapter's serial number; empty when it has none
    QString adapterVendorProduct; // "0403:6001"
    QString pcb;                  // "4.3"
    QString firmware;             // "5.0.9"
    int reboots = -1;             // the dump's reboot counter; -1 when not read
    QDateTime time;               // UTC
};

struct KnownUnit {
    QString key;  // the folder's name: "unit-0003", or an old key kept as the folder
    QString name; // "Unit 3", "Kart 7 – Lucas"
    // Folder names from before units had names: its own, and those of units
    // merged into it.
    QStringList oldKeys;
    QString adapterSerial;
    QString adapterVendorProduct;
    QString pcb;
    QString firmware;
    int reboots = -1;   // as last seen; -1 when not known
    QDateTime lastSeen; // UTC; the later of the last sighting and the last point
    int pointCount = 0;
    // The unit file could not be read: the unit shows its folder's name until
    // it is renamed (which writes the file anew).
    bool unitFileDamaged = false;
};

enum class UnitNameProblem { None, Empty, TooLong, Taken };

class UnitRegistry {
  public:
    static constexpr int MaxNameLength = 50;
    static inline const QString UnitFileName = QStringLiteral("unit.json");

    explicit UnitRegistry(QString userDataFolder);
    QString UnitsFolder() const;
    QString TrashFolder() const;
    QString FolderOf(const QString& key) const;

    // Every unit, by name (numbers in order: "Unit 2" before "Unit 10").
    // Folders without a unit file are named first. A unit whose file cannot
    // be written is listed all the same, under its folder's name; Problems()
    // then says why.
    QVector<KnownUnit> Load();
    // What the last Load could not write ("" reasons when all went well).
    QStringList Problems() const;
    const QVector<DetailPhrase>& ProblemPhrases() const { return problems_; }
    // One unit as its folder holds it (nothing written); nullopt when there is
    // no such folder.
    std::optional<KnownUnit> Find(const QString& key) const;

    // Names are compared without regard to case, after trimming and with
    // runs of blanks and control characters as one space.
    static QString NormalizedName(const QString& name);
    UnitNameProblem CheckName(const QString& name, const QString& exceptKey = QString()) const;
    // "Unit N", N one more than any unit's number so far (trashed ones count).
    QString NextDefaultName() const;

    // A new unit, seen now: a folder of its own and its unit file. An empty
    // name gives the next default name. Raises EConvertError for a name
    // CheckName refuses, EInOutError when the folder cannot be made.
    KnownUnit Add(const QString& name, const UnitSighting& seen);
    // The unit was seen (identity, reboot counter, time). Raises EInOutError.
    void Seen(const QString& key, const UnitSighting& seen);
    // Raises EConvertError for a name CheckName refuses, EInOutError.
    void Rename(const QString& key, const QString& name);
    // Two entries that are one unit: every point of From joins Into's history
    // in the order the points were taken (numbered anew), Into keeps its name
    // and folder and gets From's old keys; the identity is the one seen last.
    // Both folders as they were go to trash/ first. Raises EInOutError; what
    // was there stays (in units/ or in trash/).
    void Merge(const QString& fromKey, const QString& intoKey);
    // Moves the unit's folder into trash/; returns the path it went to.
    QString Delete(const QString& key);

    struct NewestPoint {
        RestorePointInfo point;
        QVector<TCommandRecord> records;
    };
    // The newest point whose records are intact; nullopt when there is none.
    std::optional<NewestPoint> Newest(const QString& key) const;
    // Writes the newest intact point's configuration file as FileName (a file
    // "Load Config." opens). Returns the point; nullopt (and nothing written)
    // when there is none. Raises EInOutError.
    std::optional<RestorePointInfo> ExportNewest(const QString& key, const QString& fileName) const;

  private:
    QStringList FolderKeys() const;
    int HighestUnitNumber() const;
    std::optional<KnownUnit> ReadUnit(const QString& key) const;
    void WriteUnitFile(const KnownUnit& unit) const;
    QString MoveToTrash(const QString& folder, const QString& key) const;

    QString userDataFolder_;
    QVector<DetailPhrase> problems_;
};
