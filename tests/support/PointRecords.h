#pragma once
// Restore points made by hand: the records of a configuration with given
// values (command words "VALUE<id>", two firmware digits), and a point of
// them taken into a unit's folder at a given moment.
#include "model/RestorePoints.h"
#include "support/CommandRows.h"

#include <QDateTime>
#include <QMap>
#include <QVector>

namespace qvtest {

inline QVector<TCommandRecord> ValueRecords(const QMap<int, double>& values) {
    CommandTable table;
    QVector<TCommandRecord> records;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const QByteArray word =
            QByteArray("VALUE") + QByteArray::number(it.key()).rightJustified(3, '0');
        TCommandRecord& row = WritableRow(table, it.key(), word.constData(), "mS", "mS", 1, 2, 2);
        row.ActualValueFW = row.ActualValueSW = it.value();
        row.Status = QStringLiteral("A");
        records.append(row);
    }
    return records;
}

inline RestorePointStore::TakeResult TakePoint(const QString& unitFolder,
                                               const QMap<int, double>& values,
                                               const QDateTime& time, int reboots = 10,
                                               const QString& firmware = QStringLiteral("5.0.9"),
                                               const QString& pcb = QStringLiteral("4.3")) {
    RestorePointContent content;
    content.time = time;
    content.reason = RestoreReason::Downloaded;
    content.firmware = firmware;
    content.pcb = pcb;
    content.reboots = reboots;
    content.records = ValueRecords(values);
    return RestorePointStore(unitFolder).Take(content);
}

} // namespace qvtest
