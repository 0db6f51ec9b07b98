#pragma once
// Three parameter sets side by side: what the unit holds (last download or
// read-back), the working copy (what the controls show, pending changes
// included) and a chosen configuration file or restore point. Values are
// compared as the unit would hold them: equal at the command's firmware
// digits. From a comparison, values are taken into the change sequence as
// loaded ("L") entries, through the same rules a sequence file's records go
// through.
#include "model/CommandTable.h"
#include "model/SequenceLoading.h"
#include "model/UnitValues.h"
#include "model/WorkingCopy.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <optional>

class ChangeSequence;
class SequenceController;

enum class CompareColumn { Unit = 0, Working = 1, Chosen = 2 };
constexpr int CompareColumnCount = 3;

// One value of a set, in GCU units, with the command word and firmware
// digits the set gives it (a file's own, for a command the table lacks).
struct ComparedValue {
    double fw = 0.0;
    QString command;
    int digitsFW = 0;
};
using ComparedColumn = QMap<int, ComparedValue>;

// The unit's values, with the table's words and digits.
ComparedColumn ColumnOfUnit(const CommandTable& table, const UnitValues& unit);
// The table's working values, each pending change ("M" or "L") over its row's
// value: what Transmit All would leave in the unit. Only rows with a command.
ComparedColumn ColumnOfWorkingCopy(const CommandTable& table, const ChangeSequence& sequence);
// The records of a file or point; of two records of one ID the later counts.
// IDs outside 1..200 are left out.
ComparedColumn ColumnOfRecords(const QVector<TCommandRecord>& records);

struct ComparisonRow {
    int id = 0;
    QString command;
    QString description;
    // The unit's table shows and writes this parameter on its PCB version:
    // only such rows can be taken.
    bool known = false;
    std::array<std::optional<double>, CompareColumnCount> fw;
    // Display units with the command's display digits; empty where a set
    // lacks the parameter.
    std::array<QString, CompareColumnCount> text;
    // Pairs that differ: values unequal at the firmware digits, or a
    // parameter only one of the two sets has. A set that is absent as a whole
    // differs from nothing.
    bool unitVsWorking = false;
    bool unitVsChosen = false;
    bool workingVsChosen = false;
    bool Differs() const { return unitVsWorking || unitVsChosen || workingVsChosen; }
};

struct ComparisonCounts {
    int rows = 0;
    int differing = 0;
    int unitVsWorking = 0;
    int unitVsChosen = 0;
    int workingVsChosen = 0;
    int missingInChosen = 0; // known parameters the chosen set lacks
    int extraInChosen = 0;   // parameters of the chosen set the unit's table does not know
};

struct Comparison {
    QVector<ComparisonRow> rows; // by command ID
    ComparisonCounts counts;
    std::array<bool, CompareColumnCount> present{}; // which sets there are
};

// A row for every parameter the table writes on the PCB version ("Save
// Config."'s rows) and for every further one the chosen set has. An absent
// set (nullopt) has no values at all.
Comparison CompareParameterSets(const CommandTable& table, int pcbVersion, int rpmFactor,
                                const std::optional<ComparedColumn>& unit,
                                const std::optional<ComparedColumn>& working,
                                const std::optional<ComparedColumn>& chosen);

// Indices of the rows a "differences only" view shows (all rows when false).
QVector<int> ShownRows(const Comparison& comparison, bool differencesOnly);

// A value to become an "L" entry.
struct TakenValue {
    int id = 0;
    QString command; // the set's word for it
    double fw = 0.0;
};
// The values of column From in the given rows, where it has one.
QVector<TakenValue> ValuesToTake(const Comparison& comparison, const QVector<int>& rows,
                                 CompareColumn from);
// "Restore this point": the known rows where the chosen set has a value that
// differs from the working copy or from the unit.
QVector<int> RowsToRestore(const Comparison& comparison);

// The values become "L" entries as a sequence file's records would: an entry
// of the same command is replaced (without asking: the user chose the
// values), the others are appended; the command rows take the values; the
// records the loading rules refuse are left out and listed. The page the
// main page control showed stays shown.
SequenceLoadResult TakeIntoSequence(SequenceController& controller,
                                    const QVector<TakenValue>& values, int rpmFactor,
                                    const BoundControlLookup& boundControl);

// Rows and, for every command of a coupled group one of them belongs to, the
// known rows of the group where the chosen set differs from the working copy:
// a value is taken together with the values it only makes sense with.
QVector<int> RowsWithCoupledGroups(const Comparison& comparison, const CommandTable& table,
                                   const QVector<int>& rows);

// Values to take, checked against the rules that tie them to others: the RPM
// factor they will be sent under, and the values that follow from them
// (display units) where they are not what is taken or shown.
struct TakenCheck {
    int rpmFactor = 60;
    QVector<FollowingValue> following;
};
TakenCheck CheckTakenValues(const WorkingCopy& working, const QVector<TakenValue>& values);
// Values with the values that follow from them taken in their place, or added.
QVector<TakenValue> WithFollowingValues(const CommandTable& table, QVector<TakenValue> values,
                                        const TakenCheck& check);

// The rows as ";"-separated text with a title line (Titles: ID, command,
// description, the three sets, and the last column, which is 1 for a row
// that differs). Display values with a decimal point; a cell holding ";" or '"' is
// quoted.
QString ComparisonCsv(const Comparison& comparison, const QVector<int>& rows,
                      const QStringList& titles);
