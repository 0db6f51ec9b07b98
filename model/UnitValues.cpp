#include "model/UnitValues.h"

#include "model/DerivedValues.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/Sequence.h"
#include "util/Exceptions.h"

#include <QCryptographicHash>
#include <algorithm>
#include <optional>

bool SameAtFirmwareDigits(double a, double b, int digitsFW) {
    const std::optional<long long> ua = FirmwareValueUnits(a, digitsFW);
    const std::optional<long long> ub = FirmwareValueUnits(b, digitsFW);
    return ua && ub && *ua == *ub;
}

int UnitRpmFactor(const CommandTable& table, const UnitValues& unit, int rpmFactor) {
    constexpr int divisor = 46;
    constexpr int times2 = 76;
    if (!unit.Has(divisor) && !unit.Has(times2))
        return rpmFactor;
    // The divisor and "x 2" are plain numbers: their display value is their GCU value.
    const auto display = [&](int id) {
        return unit.Has(id) ? unit.fw.value(id) * table[id].FWtoSWFactor : table[id].ActualValueSW;
    };
    return RPMFactorFor(display(divisor), display(times2));
}

CommandTable TableWithUnitValues(const CommandTable& table, const UnitValues& unit, int rpmFactor) {
    CommandTable copy = table;
    // The unit's RPM values mean what its own divisor and "x 2" make them.
    rpmFactor = UnitRpmFactor(table, unit, rpmFactor);
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& row = copy[id];
        if (!IsRPMParameter(row))
            continue;
        SetRPMScale(row, rpmFactor);
    }
    for (auto it = unit.fw.cbegin(); it != unit.fw.cend(); ++it) {
        if (!CommandTable::IsValidId(it.key()))
            continue;
        TCommandRecord& row = copy[it.key()];
        row.ActualValueFW = it.value();
        try {
            row.ActualValueSW = FWValueToSWValue(copy, it.key(), it.value(), rpmFactor);
        } catch (const EConvertError&) {
            // A zero factor: the GCU value is what counts, the display value stays.
        }
        row.Status = StatusLetter::Read;
    }
    return copy;
}

QVector<TCommandRecord> UnitConfigRecords(const CommandTable& table, int pcbVersion,
                                          const UnitValues& unit, int rpmFactor) {
    const CommandTable held = TableWithUnitValues(table, unit, rpmFactor);
    QVector<TCommandRecord> records;
    for (int id : ConfigRowsToSave(held, pcbVersion)) {
        if (unit.Has(id))
            records.append(held[id]);
    }
    return records;
}

QString RecordValuesHash(const QVector<TCommandRecord>& records) {
    QVector<const TCommandRecord*> ordered;
    for (const TCommandRecord& record : records)
        ordered.append(&record);
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const TCommandRecord* a, const TCommandRecord* b) { return a->ID < b->ID; });
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const TCommandRecord* record : ordered) {
        const std::optional<long long> units =
            FirmwareValueUnits(record->ActualValueFW, record->DigitsValueFW);
        const QString value =
            units
                ? QStringLiteral("%1e-%2").arg(*units).arg(std::clamp(record->DigitsValueFW, 0, 5))
                : QStringLiteral("none");
        hash.addData(QStringLiteral("%1=%2\n").arg(record->ID).arg(value).toUtf8());
    }
    return QStringLiteral("sha256:") + QString::fromLatin1(hash.result().toHex());
}
