#include "model/UnitRecognition.h"

#include <algorithm>

int CountDifferingValues(const ComparedColumn& a, const ComparedColumn& b) {
    int differing = 0;
    for (auto it = a.constBegin(); it != a.constEnd(); ++it) {
        const auto other = b.constFind(it.key());
        if (other == b.constEnd())
            continue;
        const int digits = std::min(it->digitsFW, other->digitsFW);
        if (!SameAtFirmwareDigits(it->fw, other->fw, digits))
            ++differing;
    }
    return differing;
}

namespace {

bool BothKnownAndDiffer(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && a.trimmed() != b.trimmed();
}

} // namespace

UnitCandidate CompareWithKnownUnit(const UnitToRecognize& known, const FreshUnitReading& reading) {
    const KnownUnit& unit = known.unit;
    UnitCandidate candidate;
    candidate.key = unit.key;
    candidate.name = unit.name;
    candidate.lastSeen = unit.lastSeen;
    candidate.firmware = unit.firmware;
    candidate.reboots = unit.reboots;
    if (known.newestValues)
        candidate.differingValues = CountDifferingValues(reading.values, *known.newestValues);

    int& m = candidate.mismatches;
    if (BothKnownAndDiffer(unit.adapterSerial, reading.adapterSerial))
        m |= MismatchAdapter;
    if (BothKnownAndDiffer(unit.pcb, reading.pcb))
        m |= MismatchPcb;
    const bool updatedHere =
        !reading.updatedUnitKey.isEmpty() && reading.updatedUnitKey == unit.key;
    if (updatedHere)
        return candidate; // only the adapter and the PCB tell after an update
    if (BothKnownAndDiffer(unit.firmware, reading.firmware))
        m |= MismatchFirmware;
    if (unit.reboots >= 0 && reading.reboots >= 0 && reading.reboots < unit.reboots)
        m |= MismatchRebootsLower;
    if (candidate.differingValues < 0)
        m |= MismatchNoValues;
    else if (candidate.differingValues > CloseValueLimit)
        m |= MismatchValuesFar;
    return candidate;
}

UnitRecognition RecognizeUnit(const QVector<UnitToRecognize>& known,
                              const FreshUnitReading& reading) {
    UnitRecognition result;
    QVector<UnitCandidate> candidates;
    for (const UnitToRecognize& unit : known) {
        const UnitCandidate candidate = CompareWithKnownUnit(unit, reading);
        if (!(candidate.mismatches & MismatchPcb))
            candidates.append(candidate);
    }
    // After an update on this link the updated unit is the one, when it fits.
    for (const UnitCandidate& candidate : candidates) {
        if (!reading.updatedUnitKey.isEmpty() && candidate.key == reading.updatedUnitKey &&
            candidate.Fits()) {
            result.recognised = true;
            result.key = candidate.key;
            result.candidates = {candidate};
            return result;
        }
    }
    const auto fitting = std::count_if(candidates.begin(), candidates.end(),
                                       [](const UnitCandidate& c) { return c.Fits(); });
    if (fitting == 1) {
        const UnitCandidate& one = *std::find_if(candidates.begin(), candidates.end(),
                                                 [](const UnitCandidate& c) { return c.Fits(); });
        result.recognised = true;
        result.key = one.key;
        result.candidates = {one};
        return result;
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const UnitCandidate& a, const UnitCandidate& b) {
                         if (a.Fits() != b.Fits())
                             return a.Fits();
                         // Units without a point to compare come last.
                         const unsigned da = unsigned(a.differingValues);
                         const unsigned db = unsigned(b.differingValues);
                         if (da != db)
                             return da < db;
                         return a.lastSeen > b.lastSeen;
                     });
    result.candidates = candidates;
    return result;
}

QVector<UnitToRecognize> UnitsToRecognize(UnitRegistry& registry) {
    QVector<UnitToRecognize> units;
    for (const KnownUnit& unit : registry.Load()) {
        UnitToRecognize known{unit, std::nullopt};
        if (const auto newest = registry.Newest(unit.key))
            known.newestValues = ColumnOfRecords(newest->records);
        units.append(known);
    }
    return units;
}
