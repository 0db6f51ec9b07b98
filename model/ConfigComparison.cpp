#include "model/ConfigComparison.h"
#include "model/WorkingCopy.h"

#include "model/RecordFiles.h"
#include "model/Sequence.h"
#include "model/SequenceController.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool HasCommand(const CommandTable& table, int id) {
    return CommandTable::IsValidId(id) && !table[id].Command.isEmpty();
}

// Two values of one parameter as the unit holds them; a set without the
// parameter differs from one that has it.
bool PairDiffers(const std::optional<double>& a, const std::optional<double>& b, int digitsFW) {
    if (!a || !b)
        return a.has_value() != b.has_value();
    return !SameAtFirmwareDigits(*a, *b, digitsFW);
}

QString DisplayText(const CommandTable& table, int id, double fw, int digitsFW, int rpmFactor) {
    if (HasCommand(table, id)) {
        try {
            return RealToStrDec(FWValueToSWValue(table, id, fw, rpmFactor),
                                table[id].DigitsValueSW);
        } catch (const EConvertError&) {
            // A zero factor: the GCU value below.
        }
    }
    if (!std::isfinite(fw))
        return FloatToDisplayText(fw);
    return RealToStrDec(fw, digitsFW);
}

QString CsvCell(const QString& text) {
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

ComparedColumn ColumnOfUnit(const CommandTable& table, const UnitValues& unit) {
    ComparedColumn column;
    for (auto it = unit.fw.cbegin(); it != unit.fw.cend(); ++it) {
        if (HasCommand(table, it.key()))
            column.insert(it.key(), ComparedValue{it.value(), table[it.key()].Command,
                                                  table[it.key()].DigitsValueFW});
    }
    return column;
}

ComparedColumn ColumnOfWorkingCopy(const CommandTable& table, const ChangeSequence& sequence) {
    ComparedColumn column;
    for (int id = 1; id <= CommandCount; ++id) {
        if (HasCommand(table, id))
            column.insert(id, ComparedValue{table[id].ActualValueFW, table[id].Command,
                                            table[id].DigitsValueFW});
    }
    // Entries stand newest first: the first pending entry of a command counts.
    QSet<int> seen;
    for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i) {
        const TSequenceRecord& entry = sequence[i];
        if (!IsPendingStatus(entry.Status) || seen.contains(entry.CommandID) ||
            !column.contains(entry.CommandID))
            continue;
        seen.insert(entry.CommandID);
        column[entry.CommandID].fw = entry.ActualValueFW;
    }
    return column;
}

ComparedColumn ColumnOfRecords(const QVector<TCommandRecord>& records) {
    ComparedColumn column;
    for (const TCommandRecord& record : records) {
        if (CommandTable::IsValidId(record.ID))
            column.insert(record.ID, ComparedValue{record.ActualValueFW, record.Command,
                                                   record.DigitsValueFW});
    }
    return column;
}

Comparison CompareParameterSets(const CommandTable& table, int pcbVersion, int rpmFactor,
                                const std::optional<ComparedColumn>& unit,
                                const std::optional<ComparedColumn>& working,
                                const std::optional<ComparedColumn>& chosen) {
    Comparison comparison;
    const std::array<const std::optional<ComparedColumn>*, CompareColumnCount> sets{&unit, &working,
                                                                                    &chosen};
    for (int c = 0; c < CompareColumnCount; ++c)
        comparison.present[c] = sets[c]->has_value();

    const QVector<int> known = ConfigRowsToSave(table, pcbVersion);
    QMap<int, bool> ids; // ID -> known
    for (int id : known)
        ids.insert(id, true);
    if (chosen) {
        for (auto it = chosen->cbegin(); it != chosen->cend(); ++it)
            ids.insert(it.key(), ids.value(it.key(), false));
    }

    ComparisonCounts& counts = comparison.counts;
    for (auto it = ids.cbegin(); it != ids.cend(); ++it) {
        ComparisonRow row;
        row.id = it.key();
        row.known = it.value();
        int digitsFW = 0;
        if (HasCommand(table, row.id)) {
            row.command = table[row.id].Command;
            row.description = table[row.id].Description;
            digitsFW = table[row.id].DigitsValueFW;
        } else if (chosen && chosen->contains(row.id)) {
            row.command = chosen->value(row.id).command;
            digitsFW = chosen->value(row.id).digitsFW;
        }
        for (int c = 0; c < CompareColumnCount; ++c) {
            const std::optional<ComparedColumn>& set = *sets[c];
            // Only the chosen set brings parameters the unit's table does not write.
            if (!set || !set->contains(row.id) || (!row.known && c != int(CompareColumn::Chosen)))
                continue;
            row.fw[c] = set->value(row.id).fw;
            row.text[c] = DisplayText(table, row.id, *row.fw[c], digitsFW, rpmFactor);
        }
        const auto pair = [&](CompareColumn a, CompareColumn b) {
            return comparison.present[int(a)] && comparison.present[int(b)] &&
                   PairDiffers(row.fw[int(a)], row.fw[int(b)], digitsFW);
        };
        row.unitVsWorking = pair(CompareColumn::Unit, CompareColumn::Working);
        row.unitVsChosen = pair(CompareColumn::Unit, CompareColumn::Chosen);
        row.workingVsChosen = pair(CompareColumn::Working, CompareColumn::Chosen);

        ++counts.rows;
        counts.differing += row.Differs() ? 1 : 0;
        counts.unitVsWorking += row.unitVsWorking ? 1 : 0;
        counts.unitVsChosen += row.unitVsChosen ? 1 : 0;
        counts.workingVsChosen += row.workingVsChosen ? 1 : 0;
        if (chosen && row.known && !row.fw[int(CompareColumn::Chosen)])
            ++counts.missingInChosen;
        if (!row.known)
            ++counts.extraInChosen;
        comparison.rows.append(row);
    }
    return comparison;
}

QVector<int> ShownRows(const Comparison& comparison, bool differencesOnly) {
    QVector<int> shown;
    for (int i = 0; i < comparison.rows.size(); ++i) {
        if (!differencesOnly || comparison.rows[i].Differs())
            shown.append(i);
    }
    return shown;
}

QVector<TakenValue> ValuesToTake(const Comparison& comparison, const QVector<int>& rows,
                                 CompareColumn from) {
    QVector<TakenValue> values;
    for (int index : rows) {
        if (index < 0 || index >= comparison.rows.size())
            continue;
        const ComparisonRow& row = comparison.rows[index];
        if (const std::optional<double>& fw = row.fw[int(from)])
            values.append(TakenValue{row.id, row.command, *fw});
    }
    return values;
}

QVector<int> RowsToRestore(const Comparison& comparison) {
    QVector<int> rows;
    for (int i = 0; i < comparison.rows.size(); ++i) {
        const ComparisonRow& row = comparison.rows[i];
        if (row.known && row.fw[int(CompareColumn::Chosen)] &&
            (row.workingVsChosen || row.unitVsChosen))
            rows.append(i);
    }
    return rows;
}

SequenceLoadResult TakeIntoSequence(SequenceController& controller,
                                    const QVector<TakenValue>& values, int rpmFactor,
                                    const BoundControlLookup& boundControl) {
    const CommandTable& table = controller.Commands();
    // RPM values mean what the divisor and "x 2" taken with them make them.
    QMap<int, double> factorValues;
    for (const TakenValue& value : values)
        if ((value.id == WorkingIds::RPMDivisor || value.id == WorkingIds::RPMTimes2) &&
            HasCommand(table, value.id))
            factorValues.insert(value.id, value.fw * table[value.id].FWtoSWFactor);
    if (!factorValues.isEmpty())
        rpmFactor = RpmFactorOfLoaded(table, factorValues);
    RecordSeries<TSequenceRecord> records;
    for (const TakenValue& value : values) {
        TSequenceRecord record;
        record.CommandID = value.id;
        record.Command = value.command;
        record.ActualValueFW = value.fw;
        record.ActualValueSW = std::numeric_limits<double>::quiet_NaN();
        if (HasCommand(table, value.id)) {
            const TCommandRecord& row = table[value.id];
            record.Description = row.Description;
            record.SenderType = row.SenderType;
            record.SenderName1 = row.SenderName1;
            record.SenderName2 = row.SenderName2;
            record.ActivePageIndex1 = row.ActivePageIndex1;
            record.ActivePageIndex2 = row.ActivePageIndex2;
            try {
                record.ActualValueSW = ShownValueOf(
                    row, FWValueToSWValue(table, value.id, value.fw, rpmFactor));
            } catch (const EConvertError&) {
                // Left as not a number: the loading rules leave the value out.
            }
        }
        CutSequenceTexts(record);
        records.records.append(record);
    }
    const int page = controller.View().CurrentPageIndex();
    const SequenceLoadResult result =
        LoadSequence(controller, records, boundControl,
                     [](const ReplaceQuestion&) { return ReplaceAnswer::Yes; });
    controller.View().ShowPage(page);
    return result;
}

QVector<int> RowsWithCoupledGroups(const Comparison& comparison, const CommandTable& table,
                                   const QVector<int>& rows) {
    QSet<int> ids;
    for (int index : rows)
        if (index >= 0 && index < comparison.rows.size())
            ids.insert(comparison.rows[index].id);
    const QSet<int> grouped = WithCoupledGroups(table, ids);
    QVector<int> all = rows;
    for (int i = 0; i < comparison.rows.size(); ++i) {
        const ComparisonRow& row = comparison.rows[i];
        if (!all.contains(i) && grouped.contains(row.id) && row.known &&
            row.fw[int(CompareColumn::Chosen)] && row.workingVsChosen)
            all.append(i);
    }
    std::sort(all.begin(), all.end());
    return all;
}

TakenCheck CheckTakenValues(const WorkingCopy& working, const QVector<TakenValue>& values) {
    const CommandTable& table = working.Commands();
    TakenCheck check;
    QMap<int, double> factorValues;
    for (const TakenValue& value : values)
        if ((value.id == WorkingIds::RPMDivisor || value.id == WorkingIds::RPMTimes2) &&
            HasCommand(table, value.id))
            factorValues.insert(value.id, value.fw * table[value.id].FWtoSWFactor);
    check.rpmFactor = factorValues.isEmpty() ? working.TargetRpmFactor()
                                             : RpmFactorOfLoaded(table, factorValues);
    QMap<int, double> taken;
    for (const TakenValue& value : values) {
        if (!HasCommand(table, value.id))
            continue;
        try {
            taken.insert(value.id,
                         ShownValueOf(table[value.id], FWValueToSWValue(table, value.id, value.fw,
                                                                        check.rpmFactor)));
        } catch (const EConvertError&) {
            // Left to the loading rules, which leave it out.
        }
    }
    check.following = working.FollowingValues(taken);
    return check;
}

QVector<TakenValue> WithFollowingValues(const CommandTable& table, QVector<TakenValue> values,
                                        const TakenCheck& check) {
    for (const FollowingValue& value : check.following) {
        const TakenValue followed{value.id, table[value.id].Command,
                                  FirmwareValueOf(table, value.id, value.following,
                                                  check.rpmFactor)};
        auto at = std::find_if(values.begin(), values.end(),
                               [&](const TakenValue& v) { return v.id == value.id; });
        if (at != values.end())
            *at = followed;
        else
            values.append(followed);
    }
    return values;
}

QString ComparisonCsv(const Comparison& comparison, const QVector<int>& rows,
                      const QStringList& titles) {
    QStringList lines;
    QStringList head;
    for (const QString& title : titles)
        head.append(CsvCell(title));
    lines.append(head.join(u';'));
    for (int index : rows) {
        if (index < 0 || index >= comparison.rows.size())
            continue;
        const ComparisonRow& row = comparison.rows[index];
        QStringList cells{QString::number(row.id), CsvCell(row.command), CsvCell(row.description)};
        for (const QString& text : row.text)
            cells.append(CsvCell(StrCommaToDot(text)));
        cells.append(row.Differs() ? QStringLiteral("1") : QStringLiteral("0"));
        lines.append(cells.join(u';'));
    }
    return lines.join(u'\n') + u'\n';
}
