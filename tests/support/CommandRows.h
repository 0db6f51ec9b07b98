#pragma once
// A writable spin-edit row of a hand-made command table, read from and written
// to the GCU under its own ID, with wide limits. Tests set what they need
// beyond that (PCB flags, page, control name, values) on the row returned.
#include "model/CommandTable.h"

#include <QString>

namespace qvtest {

inline TCommandRecord& WritableRow(CommandTable& table, int id, const char* word,
                                   const char* fwUnit, const char* swUnit, double factor,
                                   int digitsFW, int digitsSW) {
    TCommandRecord& row = table[id];
    row.ID = id;
    row.Command = word;
    row.Description = QStringLiteral("%1 description").arg(word);
    row.MeasureUnitFW = QString::fromUtf8(fwUnit);
    row.MeasureUnitSW = QString::fromUtf8(swUnit);
    row.FWtoSWFactor = factor;
    row.DigitsValueFW = digitsFW;
    row.DigitsValueSW = digitsSW;
    row.MinValueFW = row.MinValueSW = -1e6;
    row.MaxValueFW = row.MaxValueSW = 1e6;
    row.WriteToGCUID = 1;
    row.ReadFromGCUID = id;
    row.SenderType = QStringLiteral("TSpinEdit");
    return row;
}

} // namespace qvtest
