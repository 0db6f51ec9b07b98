#pragma once
// Keeps restore points of the connected unit as the session works with it:
// after a download ("downloaded"), before the first frame of a transmission
// ("before store", the unit read first when it may have changed), after a
// store whose read-back shows the unit holds every value sent ("stored") and
// before a firmware update. Widget-free: the window and the command-line
// front end keep points alike; they only show the failures it reports.
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
    // not written.
    struct Places {
        std::function<QString()> unitsFolder;
        std::function<bool(const QString& folder, DetailPhrase* why)> allowed;
    };
    RestorePointKeeper(UnitSession& session, Places places, QObject* parent = nullptr);

    // While the link is still open before a firmware update: the unit is read
    // silently (its last reading on this link when that fails) for the point
    // "before firmware update". False when no point could be taken.
    bool BeforeFirmwareUpdate();

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
    std::optional<UnitReading> ReadingForPoint(bool readFirst);

    UnitSession& session_;
    Places places_;
    QString linkKey_; // the key this link's points went to
};

// Why a silent read gave no reading.
DetailPhrase WhyNotRead(const ReadOutcome& outcome);
