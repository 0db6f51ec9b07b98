#include "device/ConfigDump.h"
#include "translation/MessageNumbers.h"

#include "device/DeviceNumbers.h"

#include "model/CommandTable.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
QString FieldError(int fieldNumber, const QString& field, const QString& reason) {
    return QStringLiteral("field %1 ('%2'): %3").arg(fieldNumber).arg(field, reason);
}

struct ParsedDump {
    CommandTable table;
    std::optional<QString> pcbVersionText;
    std::optional<int> pcbVersion;
    int reboots = 0;
};

void ReadPcbField(const QString& field, ParsedDump& parsed) {
    const QString text = StrCommaToDot(field);
    parsed.pcbVersionText = text;
    parsed.pcbVersion = RoundToIntChecked(10.0 * WireNumber(text));
    // A board reports its version; 0 is the table's "no version known".
    if (*parsed.pcbVersion == 0 || !IsKnownPcbVersion(*parsed.pcbVersion))
        throw QvException(
            QStringLiteral("PCB version %1 is not one the command table knows").arg(text));
}

void ReadRowField(int id, const QString& field, int rpmFactor, ParsedDump& parsed) {
    TCommandRecord& row = parsed.table[id];
    const double valueFW = WireNumber(field);
    row.ActualValueFW = valueFW;
    row.ActualValueSW = FWValueToSWValue(parsed.table, id, valueFW, rpmFactor);
    row.Status = QStringLiteral("A");
}

// Throws a message naming the first bad field.
void ParseRows(const QStringList& fields, int rpmFactor, ParsedDump& parsed) {
    for (int id = 1; id <= CommandCount; ++id) {
        const int k = parsed.table[id].ReadFromGCUID;
        if (k <= 0 || k > fields.size())
            continue;
        try {
            if (id == ConfigDump::PcbVersionRow)
                ReadPcbField(fields[k - 1], parsed);
            else
                ReadRowField(id, fields[k - 1], rpmFactor, parsed);
        } catch (const QvException& error) {
            throw QvException(FieldError(k, fields[k - 1], error.Message()));
        }
    }
}

void ParseRebootCounter(const QStringList& fields, ParsedDump& parsed) {
    const QString& field = fields[ConfigDump::RebootCounterField - 1];
    try {
        parsed.reboots = RoundToIntChecked(WireNumber(field));
    } catch (const QvException& error) {
        throw QvException(FieldError(ConfigDump::RebootCounterField, field, error.Message()));
    }
}
} // namespace

int ExpectedDumpFieldCount(const CommandTable& table) {
    int count = ConfigDump::RebootCounterField;
    for (int id = 1; id <= CommandCount; ++id)
        count = std::max(count, table[id].ReadFromGCUID);
    return count;
}

int MaxDumpLength(int fieldCount) {
    constexpr int LongestField = 15; // "-1234567.123456", the field's "&" aside
    return fieldCount * (LongestField + 1) + 16;
}

QStringList ConfigDumpFields(const QString& joinedDump) {
    const int endMark = joinedDump.indexOf(u'#');
    QStringList fields;
    SplitStringInStrings(u'&', endMark < 0 ? joinedDump : joinedDump.left(endMark), fields);
    return fields;
}

ConfigDumpResult ApplyConfigDump(const QString& joinedDump, CommandTable& table, int rpmFactor,
                                 int currentPcbVersion, int forcedPcbVersion) {
    ConfigDumpResult result;
    result.pcbVersion = currentPcbVersion;
    if (!joinedDump.contains(u'#')) {
        result.SetProblem({Msg::PhraseDumpNoEndMark, {}});
        return result;
    }
    const QStringList fields = ConfigDumpFields(joinedDump);
    result.fieldCount = static_cast<int>(fields.size());
    const int expected = ExpectedDumpFieldCount(table);
    if (result.fieldCount != expected) {
        result.SetProblem({Msg::PhraseDumpFieldCount,
                           {QString::number(result.fieldCount), QString::number(expected)}});
        return result;
    }
    ParsedDump parsed{table, std::nullopt, std::nullopt, 0};
    try {
        ParseRows(fields, rpmFactor, parsed);
        ParseRebootCounter(fields, parsed);
    } catch (const QvException& error) {
        result.error = error.Message();
        result.problem = error.Phrase();
        return result;
    }
    table = parsed.table;
    result.ok = true;
    result.pcbVersionText = parsed.pcbVersionText;
    result.pcbVersion = parsed.pcbVersion.value_or(currentPcbVersion);
    if (forcedPcbVersion > 0)
        result.pcbVersion = forcedPcbVersion;
    result.reboots = parsed.reboots;
    return result;
}

namespace {
const QString* PcbFlagFor(const TCommandRecord& row, int pcbVersion) {
    if (pcbVersion >= 30 && pcbVersion <= 39)
        return &row.ActivePCB3X;
    switch (pcbVersion) {
    case 40:
        return &row.ActivePCB40;
    case 41:
        return &row.ActivePCB41;
    case 42:
        return &row.ActivePCB42;
    case 43:
        return &row.ActivePCB43;
    case 50:
        return &row.ActivePCB50;
    case 60:
        return &row.ActivePCB60;
    default:
        return nullptr;
    }
}
} // namespace

bool IsVisibleOnPcb(const TCommandRecord& row, int pcbVersion) {
    if (pcbVersion == 0)
        return true;
    const QString* flag = PcbFlagFor(row, pcbVersion);
    return flag != nullptr && *flag == QLatin1String("1");
}

bool IsCommandVisibleOnPcb(const CommandTable& table, int helpContext, int pcbVersion) {
    if (pcbVersion == 0)
        return true;
    return CommandTable::IsValidId(helpContext) && IsVisibleOnPcb(table[helpContext], pcbVersion);
}

int RoundedDisplayValue(const TCommandRecord& row) {
    return RoundToIntClamped(row.ActualValueSW);
}

bool CheckBoxSetForValue(const TCommandRecord& row) {
    return RoundedDisplayValue(row) == 1;
}

QString EditTextForValue(const TCommandRecord& row) {
    return RefusalNumberText(row.ActualValueSW, row.DigitsValueSW);
}

QString SpinTextForValue(const TCommandRecord& row) {
    const double value = row.ActualValueSW;
    if (std::isfinite(value) && std::fabs(value) < double(std::numeric_limits<int>::max()))
        return QString::number(RoundedDisplayValue(row));
    return FloatToDisplayText(value);
}

UnitValues UnitValuesOfDump(const CommandTable& table, int fieldCount) {
    UnitValues unit;
    for (int id = 1; id <= CommandCount; ++id) {
        const int k = table[id].ReadFromGCUID;
        if (k > 0 && k <= fieldCount && id != ConfigDump::PcbVersionRow)
            unit.fw.insert(id, table[id].ActualValueFW);
    }
    return unit;
}
