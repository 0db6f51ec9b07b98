#pragma once
// The configuration dump: "&"-separated fields up to the end mark "#". Each
// row with a ReadFromGCUID takes the field at that position (GCU units),
// scaled to display units, status "A". A dump is taken only whole: exactly the
// fields the command table's dump positions need, every one a number, and a
// PCB version the table has flags for. Anything else changes nothing.
#include "model/UnitValues.h"

#include "util/DetailPhrase.h"

#include <QString>
#include <QStringList>
#include <optional>

class CommandTable;
struct TCommandRecord;

namespace ConfigDump {
constexpr int PcbVersionRow = 15;
constexpr int RebootCounterField = 39;
} // namespace ConfigDump

// The number of fields a whole dump has for this table: the highest dump
// position of its rows, and at least the reboot counter's.
int ExpectedDumpFieldCount(const CommandTable& table);
// The longest text a dump of this many fields can be.
int MaxDumpLength(int fieldCount);

struct ConfigDumpResult {
    bool ok = false;
    // Why the dump was refused, in English and as a phrase where there is
    // one; the table is then exactly as before.
    QString error;
    std::optional<DetailPhrase> problem;
    void SetProblem(const DetailPhrase& phrase) {
        problem = phrase;
        error = EnglishText(phrase);
    }
    // Text for the PCB version box, when the dump carries the PCB field.
    std::optional<QString> pcbVersionText;
    // The PCB version (times ten) after the dump, a forced version taking precedence.
    int pcbVersion = 0;
    int reboots = 0;
    int fieldCount = 0;
};

// The fields of a joined dump: the text before its first "#", split at "&".
QStringList ConfigDumpFields(const QString& joinedDump);

// Parses the whole dump into a copy of the table and commits the copy only when
// the dump is whole (see above). CurrentPcbVersion is kept when the table
// reads no PCB field; ForcedPcbVersion > 0 overrides the version shown.
ConfigDumpResult ApplyConfigDump(const QString& joinedDump, CommandTable& table, int rpmFactor,
                                 int currentPcbVersion, int forcedPcbVersion);

// Whether a control bound to a row is shown on a PCB version (times ten):
// 0 shows everything, 30..39 uses ActivePCB3X, 40..43, 50 and 60 their own
// flag, any other version shows nothing.
bool IsVisibleOnPcb(const TCommandRecord& row, int pcbVersion);
// The same for a control's help-context number; numbers outside the table have
// no flags and are shown only on version 0.
bool IsCommandVisibleOnPcb(const CommandTable& table, int helpContext, int pcbVersion);

// What a bound control shows for its row after a download.
int RoundedDisplayValue(const TCommandRecord& row);  // spin edit value, radio index
bool CheckBoxSetForValue(const TCommandRecord& row); // set only when it rounds to 1
QString EditTextForValue(const TCommandRecord& row); // DigitsValueSW decimals
// A spin edit's text for a value its limits would not let it take: the
// rounded value, or the general format for magnitudes beyond an integer.
QString SpinTextForValue(const TCommandRecord& row);

// What the unit holds after a dump of FieldCount fields was applied to Table:
// the values of the rows whose field the dump had. The PCB version's row is
// not among them (its field sets the version, not the row).
UnitValues UnitValuesOfDump(const CommandTable& table, int fieldCount);
