#pragma once
// What a unit holds: its parameter values in GCU units by command ID, as the
// last complete download (or read-back) gave them, kept apart from the
// command table's working values, which follow every edit. Restore points
// and the comparison are made from these.
#include "model/CommandTable.h"

#include <QMap>
#include <QString>
#include <QVector>

struct UnitValues {
    QMap<int, double> fw; // command ID -> value in GCU units
    bool IsEmpty() const { return fw.isEmpty(); }
    bool Has(int id) const { return fw.contains(id); }
};

// One complete reading of a unit: its values and what it said about itself.
struct UnitReading {
    UnitValues values;
    QString firmware;   // from the announcement ("5.0.9"); empty when not seen
    QString pcbText;    // the dump's PCB field ("4.3")
    int pcbVersion = 0; // times ten, a forced version taking precedence
    int reboots = 0;    // the dump's reboot counter
};

// Values A and B of a command are the same to the unit when they are written
// alike with the command's firmware digits (what a frame would carry); a
// value no frame can hold equals nothing.
bool SameAtFirmwareDigits(double a, double b, int digitsFW);

// The RPM factor the unit's own divisor and "x 2" give (RpmFactor when the
// unit's values do not hold them).
int UnitRpmFactor(const CommandTable& table, const UnitValues& unit, int rpmFactor);

// A copy of Table whose rows named in Unit hold the unit's values (display
// values scaled from them at the unit's own RPM factor, status "A"), the other
// rows as they were. A value that cannot be scaled keeps the row's display
// value.
CommandTable TableWithUnitValues(const CommandTable& table, const UnitValues& unit, int rpmFactor);

// The records a configuration file of the unit's values holds: the rows
// "Save Config." writes for the PCB version, of those only the ones the unit
// has a value for, each with the unit's value.
QVector<TCommandRecord> UnitConfigRecords(const CommandTable& table, int pcbVersion,
                                          const UnitValues& unit, int rpmFactor);

// A hash of records' values: SHA-256 over "ID=value" lines in ID order, each
// value at its record's firmware digits, so values equal to the unit hash
// alike. "sha256:" followed by 64 hex digits.
QString RecordValuesHash(const QVector<TCommandRecord>& records);
