#pragma once
// Which known unit a fresh reading comes from. The GCU reports no serial
// number, so a unit is told by what it does report and by what it holds:
//
// A known unit fits a reading when all of these hold:
//  - adapter: both have the same USB serial number, or one of the two has
//    none (CH340 adapters, the simulated unit);
//  - PCB version: the same, or one of the two is not known (a board's PCB
//    never changes);
//  - firmware: the same, or one of the two is not known;
//  - reboot counter: not lower than last seen (the counter only grows on a
//    unit: a lower one is another unit, or one that was reset);
//  - values: its newest point's values and the reading's are equal or
//    close: at most CloseValueLimit of the values both hold differ at the
//    firmware's digits (another computer re-taught a sensor or changed a
//    value or two). A unit without a point does not fit: there is nothing
//    to compare.
// A firmware update keeps the unit: a reading that follows an update of
// unit K on this link is unit K when K's PCB fits, whatever its firmware,
// reboot counter and values became.
//
// Exactly one fitting unit: that unit, without a question. None or
// several: the user is asked, with the units that could be this one (every
// unit with a fitting PCB), the fitting ones first, then those with the
// fewest differing values, then the most recently seen.
#include "model/ConfigComparison.h"
#include "model/UnitRegistry.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

// More differing values than this and a unit's newest point is "far".
constexpr int CloseValueLimit = 3;

// Values both columns hold that differ at the firmware's digits (the fewer
// digits of the two); values only one of them holds are not counted.
int CountDifferingValues(const ComparedColumn& a, const ComparedColumn& b);

// A known unit with the values of its newest intact point (none: no point).
struct UnitToRecognize {
    KnownUnit unit;
    std::optional<ComparedColumn> newestValues;
};

// What was just read from the unit on the link.
struct FreshUnitReading {
    QString adapterSerial; // empty: the adapter has none
    QString pcb;
    QString firmware;
    int reboots = -1; // -1: not read
    // The reading's values as a point of it would hold them.
    ComparedColumn values;
    // The reading follows a firmware update of this unit on this link.
    QString updatedUnitKey;
};

// Why a unit does not fit (several may hold).
enum UnitMismatch {
    MismatchNone = 0,
    MismatchAdapter = 1,
    MismatchPcb = 2,
    MismatchFirmware = 4,
    MismatchRebootsLower = 8,
    MismatchValuesFar = 16,
    MismatchNoValues = 32,
};

struct UnitCandidate {
    QString key;
    QString name;
    QDateTime lastSeen;
    QString firmware;
    int reboots = -1;
    int differingValues = -1; // -1: the unit has no point to compare with
    int mismatches = MismatchNone;
    bool Fits() const { return mismatches == MismatchNone; }
};

struct UnitRecognition {
    // True: the reading is unit Key, no question. False: ask, offering the
    // candidates and a new unit.
    bool recognised = false;
    QString key;
    QVector<UnitCandidate> candidates; // the recognised unit alone when recognised
};

UnitCandidate CompareWithKnownUnit(const UnitToRecognize& known, const FreshUnitReading& reading);
UnitRecognition RecognizeUnit(const QVector<UnitToRecognize>& known,
                              const FreshUnitReading& reading);

// The known units with the values of their newest intact points, as
// RecognizeUnit takes them (Registry.Load() names unnamed folders first).
QVector<UnitToRecognize> UnitsToRecognize(UnitRegistry& registry);
