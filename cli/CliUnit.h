#pragma once
// The unit as the subcommands of quarventa-cli that talk to it see it: the
// one unit session with the command table from the data folder, bound as the
// window binds it; the serial link, found and opened by the window's rules;
// restore points kept as the window keeps them; and the unit's name where
// the units known on this computer tell it.
#include "cli/CliCommandLine.h"
#include "device/RestorePointKeeper.h"
#include "device/SerialUnitLink.h"
#include "device/UnitSession.h"
#include "model/SequenceLoading.h"
#include "model/WorkingCopy.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <optional>

// A message of the translation table as the command line gives it (English).
QString CliText(int messageNumber);

// Where a unit's name comes from: recognised among the known units, or the
// known units that could be it.
struct CliUnitName {
    bool recognised = false;
    QString key;
    QString name;
    QStringList candidates; // names, the likeliest first
};

class CliUnit {
  public:
    // Err takes the notes and error lines, each after Prefix (the subcommand).
    CliUnit(const CliRequest& request, QTextStream& err);
    ~CliUnit();
    CliUnit(const CliUnit&) = delete;
    CliUnit& operator=(const CliUnit&) = delete;

    // The command table from the data folder, as the window loads it at
    // start-up. False, with the reason said, when it cannot be used.
    bool LoadCommandTable();
    // The port (--port, else the one port that looks like a GCU) opened as
    // the window opens it, and the unit's announcement awaited. Done, or the
    // exit status with the reason said.
    CliExit Connect();
    // "Get Config.": the unit's values into the working copy (a restore
    // point "downloaded" follows, as in the window). Done, or NoUnit with why.
    CliExit Download();

    UnitSession& Session() { return session_; }
    CommandTable& Commands() { return session_.Commands(); }
    SerialUnitLink& Link() { return *link_; }
    RestorePointKeeper& Keeper() { return *keeper_; }
    const QString& Port() const { return port_; }
    BoundControlLookup BoundControls() const { return bound_; }
    // The RPM factor the unit's own values give.
    int UnitRpmFactor();

    // Which known unit this is, as the unit registry tells it from the first
    // reading on the link (never a question: candidates where it cannot tell).
    CliUnitName Recognise();
    // The header a configuration text of the unit's values carries.
    QString UnitNameForHeader();

    // A line on standard error after the subcommand's name.
    void Say(const QString& line) const;
    QTextStream& Err() { return err_; }

  private:
    // The unit on the link that the known units cannot tell: --unit names
    // it; without, a write is refused and a reading's points are not kept.
    CliExit SettleWhichUnit();

    const CliRequest& request_;
    QTextStream& err_;
    QString prefix_;
    NoWorkingCopyView view_;
    UnitSession session_;
    std::unique_ptr<SerialUnitLink> link_;
    std::unique_ptr<RestorePointKeeper> keeper_;
    BoundControlLookup bound_;
    QString port_;
    bool pointFailureSaid_ = false;
    QStringList pointFoldersSaid_;
};
