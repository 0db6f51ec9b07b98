#pragma once
// Keeps restore points of the connected unit as the session works with it:
// after a download ("downloaded"), before the first frame of a transmission
// ("before store", the unit read first when it may have changed), after a
// store whose read-back shows the unit holds every value sent ("stored") and
// before a firmware update. Widget-free: the window and the command-line
// front end keep points alike; they only show the failures it reports.
#include "device/UnitRecognizer.h"
#include "device/UnitSession.h"
#include "model/RestorePoints.h"
#include "util/DetailPhrase.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class RestorePointKeeper : public QObject {
    Q_OBJECT
  public:
    // UnitsFolder gives the folder of every unit's points (units/ in the
    // user's data folder); a folder it refuses (Allowed false, with why) is
    // not written. With UserDataFolder, points go to the unit known by name
    // that the recognizer decides on (held until it is decided); without,
    // to a folder named after the adapter or the PCB and firmware.
    struct Places {
        std::function<QString()> unitsFolder;
        std::function<bool(const QString& folder, DetailPhrase* why)> allowed;
        std::function<QString()> userDataFolder;
    };
    RestorePointKeeper(UnitSession& session, Places places, QObject* parent = nullptr);

    // While the link is still open before a firmware update: the unit is read
    // silently (its last reading on this link when that fails) for the point
    // "before firmware update", and it stays the same unit after the update.
    enum class FirmwarePoint { Taken, NotRead, NotWritten };
    FirmwarePoint BeforeFirmwareUpdate();

    // Which unit known by name is on the link (nullptr without UserDataFolder).
    UnitRecognizer* Recognizer() const { return recognizer_; }
    // Why the last point could not be taken.
    const DetailPhrase& LastFailure() const { return lastFailure_; }
    // Points waiting for the unit on the link to be known by name.
    int HeldPoints() const { return int(held_.size()); }

    // The folder name of the connected unit ("" when not known).
    QString ConnectedUnitKey() const;
    QString FolderOf(const QString& key) const;

  Q_SIGNALS:
    // A point was written (or noted on the newest one) in Folder.
    void pointTaken(const QString& folder);
    // A point could not be taken; Reason says why.
    void failed(const DetailPhrase& reason);

  private:
    void Downloaded(const UnitReading& reading);
    void BeforeStore();
    void Stored(const UnitReading& reading, bool verified);
    bool TakePoint(const QString& reason, const UnitReading& reading);
    bool WritePoint(const QString& key, const RestorePointContent& content);
    void Fail(const DetailPhrase& reason);
    void WriteHeldPoints(const QString& key);
    std::optional<UnitReading> ReadingForPoint(bool readFirst);

    UnitSession& session_;
    Places places_;
    UnitRecognizer* recognizer_ = nullptr; // a child
    QString linkKey_;                      // the key this link's points went to
    QVector<RestorePointContent> held_;
    DetailPhrase recognizerFailure_;
    DetailPhrase lastFailure_;
};

// Why a silent read gave no reading.
DetailPhrase WhyNotRead(const ReadOutcome& outcome);
