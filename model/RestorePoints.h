#pragma once
// Restore points: the settings a unit held at a moment, kept on their own for
// every unit. A point is a configuration file (*.QCF, the records "Save
// Config." writes, so "Load Config." opens it too) and a side file of the
// same name (.json) with when and why it was taken, the unit's firmware and
// PCB versions, its reboot count, how many values it holds and a hash of
// them. The side file is written last: a configuration file without one is
// not a point.
//
//   <user data>/units/<unit key>/000042-20240512T093012.041Z-downloaded.QCF
//                                000042-20240512T093012.041Z-downloaded.json
//
// The number counts the unit's points from 1. A point whose values equal the
// newest point's is not written again: the newest point notes the moment
// and the reason instead. The newest points (200) and the first one ever
// taken are kept; older ones are deleted.
#include "model/CommandTable.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// Why a point was taken; the side file holds these words.
namespace RestoreReason {
inline const QString Downloaded = QStringLiteral("downloaded");
inline const QString BeforeStore = QStringLiteral("before store");
inline const QString Stored = QStringLiteral("stored");
inline const QString BeforeFirmwareUpdate = QStringLiteral("before firmware update");
} // namespace RestoreReason

// Who a unit is, as far as the link knows it.
struct UnitIdentity {
    QString unitSerial;           // the unit's own serial number, when it reports one
    QString adapterSerial;        // the USB adapter's serial number
    QString adapterVendorProduct; // "0403:6001"
    QString pcbVersion;           // "4.3", from the configuration
    QString firmwareVersion;      // "5.0.9", from the announcement
};

// The name of a unit's folder, by the first identity it has: "gcu-<serial>",
// "usb-<vendor>-<product>-<adapter serial>", or "pcb-<version>-fw-<firmware>"
// (needs both). Only letters, digits, ".", "_" and "-" remain; empty when
// nothing identifies the unit.
QString UnitKey(const UnitIdentity& unit);
// The folder of every unit's points: "units" in the user's data folder.
QString UnitsFolder(const QString& userDataFolder);

// A later moment at which the unit held the same values.
struct RestorePointMoment {
    QDateTime time;
    QString reason;
};

struct RestorePointInfo {
    QString baseName; // file name without ".QCF" / ".json"
    int number = 0;
    QDateTime time; // UTC
    QString reason;
    QString firmware;
    QString pcb;
    int reboots = 0;
    int valueCount = 0;
    QString hash;
    QVector<RestorePointMoment> alsoTaken; // oldest first
};

// What a new point holds: the unit's records (UnitConfigRecords) and where
// they came from.
struct RestorePointContent {
    QDateTime time; // UTC
    QString reason;
    QString firmware;
    QString pcb;
    int reboots = 0;
    QVector<TCommandRecord> records;
};

class RestorePointStore {
  public:
    static constexpr int KeptNewest = 200;
    // Moments noted on one point at most (the newest are kept).
    static constexpr int KeptMoments = 100;

    explicit RestorePointStore(QString unitFolder, int keptNewest = KeptNewest);
    const QString& Folder() const { return folder_; }

    enum class Outcome {
        Written,     // a new point
        SameAsNewest // the newest point holds these values; the moment is noted there
    };
    struct TakeResult {
        Outcome outcome = Outcome::Written;
        RestorePointInfo point; // the new point, or the newest one with the moment added
    };
    // Writes Content as a point (or notes it on the newest one), then deletes
    // the points beyond the newest KeptNewest but the first. A folder or file
    // that cannot be made or written raises EInOutError with the reason;
    // nothing half-written is left as a point then.
    TakeResult Take(const RestorePointContent& content);

    // The unit's points, newest first. Side files that cannot be read are
    // not points.
    QVector<RestorePointInfo> List() const;

    struct PointRecords {
        QVector<TCommandRecord> records;
        bool intact = false; // the records' hash is the one the side file holds
    };
    // The records of a point; raises EInOutError when its file cannot be read.
    PointRecords Read(const RestorePointInfo& point) const;
    QString ConfigFilePath(const RestorePointInfo& point) const;
    QString SideFilePath(const RestorePointInfo& point) const;

    // Copies Point of Source into this folder as point Number: the same
    // configuration file, time, reason and moments; the file names follow the
    // number. Raises EInOutError; a copy that failed is not a point.
    RestorePointInfo CopyIn(const RestorePointStore& source, const RestorePointInfo& point,
                            int number);

  private:
    void Prune() const;
    int NextNumber() const;
    void WriteSideFile(const RestorePointInfo& point) const;

    QString folder_;
    int keptNewest_;
};

// The unit folders below UnitsFolder, by name.
QStringList KnownUnitKeys(const QString& userDataFolder);
