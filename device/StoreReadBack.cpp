#include "StoreReadBack.h"

#include "ConfigDump.h"

#include "model/CommandTable.h"
#include "model/UnitValues.h"
#include "util/UnitUtils.h"

#include <cmath>

// The one rule: as a frame writes the two values, with the command's firmware
// decimals.
bool SameAtFirmwarePrecision(double a, double b, int digits) {
    return SameAtFirmwareDigits(a, b, digits);
}

void StoreReadBack::RecordSent(int commandId, double valueFW) {
    sent_[commandId] = valueFW;
}

QVector<ReadBackMismatch> StoreReadBack::Mismatches(const CommandTable& table) const {
    QVector<ReadBackMismatch> mismatches;
    for (const auto& [id, sent] : sent_) {
        const TCommandRecord* row = CommandTable::IsValidId(id) ? &table[id] : nullptr;
        const auto held = held_.find(id);
        const int digits = row ? row->DigitsValueFW : 0;
        if (held != held_.end() && SameAtFirmwarePrecision(sent, held->second, digits))
            continue;
        ReadBackMismatch mismatch;
        mismatch.commandId = id;
        if (row) {
            mismatch.command = row->Command;
            mismatch.description = row->Description;
        }
        mismatch.sentFW = sent;
        if (held != held_.end())
            mismatch.heldFW = held->second;
        mismatches.append(mismatch);
    }
    return mismatches;
}

bool StoreReadBack::Verified(const CommandTable& table) const {
    return readBack_ && !sent_.empty() && Mismatches(table).isEmpty();
}

std::map<int, double> DumpedValues(const CommandTable& table) {
    std::map<int, double> values;
    for (int id = 1; id <= CommandCount; ++id)
        if (table[id].ReadFromGCUID > 0 && id != ConfigDump::PcbVersionRow)
            values[id] = table[id].ActualValueFW;
    return values;
}

namespace {
QString DisplayText(const CommandTable& table, int id, double valueFW, int rpmFactor) {
    const TCommandRecord& row = table[id];
    QString text = RealToStrDec(FWValueToSWValue(table, id, valueFW, rpmFactor),
                                std::max(row.DigitsValueSW, 0));
    if (!row.MeasureUnitSW.isEmpty())
        text += u' ' + row.MeasureUnitSW;
    return text;
}
} // namespace

QStringList MismatchLines(const QVector<ReadBackMismatch>& mismatches, const CommandTable& table,
                          int rpmFactor, const QString& missing, bool decimalPoint) {
    const auto text = [&](int id, double fw) {
        const QString shown = DisplayText(table, id, fw, rpmFactor);
        return decimalPoint ? StrCommaToDot(shown) : shown;
    };
    QStringList lines;
    for (const ReadBackMismatch& m : mismatches) {
        if (!CommandTable::IsValidId(m.commandId))
            continue;
        const QString held = m.heldFW ? text(m.commandId, *m.heldFW) : missing;
        lines << QStringLiteral("%1 - %2: %3 / %4")
                     .arg(m.command, m.description, text(m.commandId, m.sentFW), held);
    }
    return lines;
}
