#include "model/SequenceLoading.h"

#include "model/SequenceController.h"
#include "util/UnitUtils.h"

#include <QHash>
#include <QStringList>
#include <cmath>
#include <optional>

namespace {

LeftOutRecord LeftOut(int recordNumber, int id, const QString& command, LeftOutReason reason) {
    return LeftOutRecord{recordNumber, id, command, reason};
}

bool ControlsAreBound(const QString& type, const QString& name1, const QString& name2, int id,
                      const BoundControlCheck& isBoundControl) {
    for (const QString& name : {name1, name2}) {
        if (!name.isEmpty() && !(isBoundControl && isBoundControl(name, type, id)))
            return false;
    }
    return true;
}

bool AllFinite(std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

// Why a configuration record of a valid ID cannot become an entry; nothing
// when it can.
std::optional<LeftOutReason> ConfigRecordFault(const TCommandRecord& r,
                                               const BoundControlCheck& isBoundControl) {
    if (!AllFinite({r.ActualValueFW, r.ActualValueSW}))
        return LeftOutReason::ValueNotNumber;
    if (!ControlsAreBound(r.SenderType, r.SenderName1, r.SenderName2, r.ID, isBoundControl))
        return LeftOutReason::UnknownControl;
    return std::nullopt;
}

std::optional<LeftOutReason> SequenceRecordFault(const TSequenceRecord& r,
                                                 const BoundControlCheck& isBoundControl) {
    if (!CommandTable::IsValidId(r.CommandID))
        return LeftOutReason::IdOutOfRange;
    if (!AllFinite({r.PreviousValueFW, r.ActualValueFW, r.PreviousValueSW, r.ActualValueSW}))
        return LeftOutReason::ValueNotNumber;
    if (!ControlsAreBound(r.SenderType, r.SenderName1, r.SenderName2, r.CommandID, isBoundControl))
        return LeftOutReason::UnknownControl;
    return std::nullopt;
}

TSequenceRecord EntryFromConfigRecord(const TCommandRecord& r, const QString& time) {
    TSequenceRecord entry;
    entry.CommandID = r.ID;
    entry.Command = r.Command;
    entry.Description = r.Description;
    entry.ActualValueFW = r.ActualValueFW;
    entry.ActualValueSW = r.ActualValueSW;
    entry.SenderType = r.SenderType;
    entry.SenderName1 = r.SenderName1;
    entry.SenderName2 = r.SenderName2;
    entry.ActivePageIndex1 = r.ActivePageIndex1;
    entry.ActivePageIndex2 = r.ActivePageIndex2;
    entry.Time = time;
    entry.Status = StatusLetter::Loaded;
    CutSequenceTexts(entry);
    return entry;
}

// Sets SilentActivePageChange for a scope and clears it on every way out.
class SilentPageChange {
  public:
    explicit SilentPageChange(ChangeSequence& sequence) : sequence_(sequence) {
        sequence_.SilentActivePageChange = true;
    }
    ~SilentPageChange() { sequence_.SilentActivePageChange = false; }
    SilentPageChange(const SilentPageChange&) = delete;
    SilentPageChange& operator=(const SilentPageChange&) = delete;

  private:
    ChangeSequence& sequence_;
};

void SelectEveryEntry(SequenceController& controller) {
    ChangeSequence& sequence = controller.Sequence();
    for (int i = 1; i <= SequenceCount; ++i) {
        if (sequence[i].CommandID > 0)
            controller.SGSequenceSelectCell(i);
    }
}

void TakeLoadedValues(CommandTable& commands, const TSequenceRecord& entry) {
    TCommandRecord& row = commands[entry.CommandID];
    row.ActualValueFW = entry.ActualValueFW;
    row.ActualValueSW = entry.ActualValueSW;
}

struct TableValues {
    double fw = 0.0;
    double sw = 0.0;
};

} // namespace

ConfigLoadResult LoadConfiguration(SequenceController& controller,
                                   const RecordSeries<TCommandRecord>& file, int pcbVersion,
                                   const BoundControlCheck& isBoundControl) {
    ConfigLoadResult result;
    result.recordCount = static_cast<int>(file.records.size());
    result.trailingBytes = file.trailingBytes;

    // Built apart and committed whole.
    ChangeSequence loaded = controller.Sequence();
    loaded.ClearAll();
    const QString time = controller.timeText();
    int place = 1;
    for (int n = 0; n < file.records.size(); ++n) {
        const TCommandRecord& r = file.records[n];
        if (!CommandTable::IsValidId(r.ID)) {
            result.leftOut.append(LeftOut(n + 1, r.ID, r.Command, LeftOutReason::IdOutOfRange));
            continue;
        }
        if (!IsCommandActiveForPcb(controller.Commands()[r.ID], pcbVersion)) {
            ++result.notForPcb;
            continue;
        }
        if (const auto fault = ConfigRecordFault(r, isBoundControl)) {
            result.leftOut.append(LeftOut(n + 1, r.ID, r.Command, *fault));
            continue;
        }
        if (place > SequenceCount) {
            result.leftOut.append(LeftOut(n + 1, r.ID, r.Command, LeftOutReason::NoFreePlace));
            continue;
        }
        loaded[place++] = EntryFromConfigRecord(r, time);
        ++result.taken;
    }
    // The entries it replaces go as with "Erase All": an edit is reverted, so
    // no control keeps a value that is in no list, and every colour is cleared.
    controller.EraseAll();
    controller.Sequence() = loaded;

    controller.FillSGSequence();
    {
        SilentPageChange silent(controller.Sequence());
        SelectEveryEntry(controller);
    }
    controller.SGSequenceSelectCell(1);
    return result;
}

ConfigLoadResult LoadConfigurationFile(SequenceController& controller, const QString& fileName,
                                       int pcbVersion, const BoundControlCheck& isBoundControl) {
    return LoadConfiguration(controller, ReadConfigFile(fileName), pcbVersion, isBoundControl);
}

QString ComposeReplaceQuestion(const QString& message8, const QString& message9,
                               const QString& message10, const QString& message11,
                               const ReplaceQuestion& question) {
    return message8 + question.command + message9 + FloatToDisplayText(question.newValue) +
           message10 + FloatToDisplayText(question.currentValue) + message11;
}

namespace {

class SequenceMerge {
  public:
    SequenceMerge(SequenceController& controller, const BoundControlCheck& isBoundControl,
                  const ReplaceAsker& askReplace, SequenceLoadResult& result)
        : controller_(controller), sequence_(controller.Sequence()),
          commands_(controller.Commands()), isBoundControl_(isBoundControl),
          askReplace_(askReplace), result_(result), place_(sequence_.FirstFreePlace()),
          time_(controller.timeText()) {}

    void Merge(int recordNumber, const TSequenceRecord& record) {
        if (const auto fault = SequenceRecordFault(record, isBoundControl_)) {
            result_.leftOut.append(LeftOut(recordNumber, record.CommandID, record.Command, *fault));
            return;
        }
        if (OfferReplacements(record))
            return;
        Append(recordNumber, record);
    }

  private:
    // Asks for every entry of the record's command; false when there is none.
    bool OfferReplacements(const TSequenceRecord& record) {
        bool matched = false;
        for (int j = 1; j <= SequenceCount; ++j) {
            if (sequence_[j].CommandID != record.CommandID)
                continue;
            matched = true;
            ShowEntry(j);
            const ReplaceQuestion question{j, record.Command, record.ActualValueSW,
                                           sequence_[j].ActualValueSW};
            if (askReplace_ && askReplace_(question)) {
                sequence_[j] = Loaded(record);
                TakeValuesOf(sequence_[j]);
                ++result_.replaced;
            } else {
                ++result_.keptOnNo;
            }
            ShowEntry(j);
        }
        return matched;
    }

    void Append(int recordNumber, const TSequenceRecord& record) {
        if (place_ < 1 || place_ > SequenceCount) {
            result_.leftOut.append(LeftOut(recordNumber, record.CommandID, record.Command,
                                           LeftOutReason::NoFreePlace));
            return;
        }
        TSequenceRecord entry = Loaded(record);
        entry.PreviousValueSW = 0.0;
        TakeValuesOf(entry);
        sequence_[place_++] = entry;
        ++result_.appended;
    }

    TSequenceRecord Loaded(const TSequenceRecord& record) const {
        TSequenceRecord entry = record;
        entry.Time = time_;
        entry.Status = StatusLetter::Loaded;
        CutSequenceTexts(entry);
        return entry;
    }

    // The command row takes the entry's values; the entry remembers what the
    // row held before this load (the first time the load touched it).
    void TakeValuesOf(TSequenceRecord& entry) {
        const TCommandRecord& row = commands_[entry.CommandID];
        const TableValues before =
            valuesBefore_.value(entry.CommandID, TableValues{row.ActualValueFW, row.ActualValueSW});
        valuesBefore_.insert(entry.CommandID, before);
        entry.HasTableValuesBeforeLoad = true;
        entry.TableValueBeforeLoadFW = before.fw;
        entry.TableValueBeforeLoadSW = before.sw;
        TakeLoadedValues(commands_, entry);
    }

    void ShowEntry(int row) {
        controller_.SelectGridRow(row);
        controller_.SGSequenceSelectCell(row);
    }

    SequenceController& controller_;
    ChangeSequence& sequence_;
    CommandTable& commands_;
    const BoundControlCheck& isBoundControl_;
    const ReplaceAsker& askReplace_;
    SequenceLoadResult& result_;
    int place_;
    QString time_;
    QHash<int, TableValues> valuesBefore_;
};

} // namespace

SequenceLoadResult LoadSequence(SequenceController& controller,
                                const RecordSeries<TSequenceRecord>& file,
                                const BoundControlCheck& isBoundControl,
                                const ReplaceAsker& askReplace) {
    SequenceLoadResult result;
    result.recordCount = static_cast<int>(file.records.size());
    result.trailingBytes = file.trailingBytes;

    const ChangeSequence sequenceBefore = controller.Sequence();
    const CommandTable commandsBefore = controller.Commands();
    try {
        SequenceMerge merge(controller, isBoundControl, askReplace, result);
        for (int n = 0; n < file.records.size(); ++n)
            merge.Merge(n + 1, file.records[n]);
        controller.FillSGSequence();
        SelectEveryEntry(controller);
        controller.SGSequenceSelectCell(1);
    } catch (...) {
        controller.Sequence() = sequenceBefore;
        controller.Commands() = commandsBefore;
        throw;
    }
    return result;
}

SequenceLoadResult LoadSequenceFile(SequenceController& controller, const QString& fileName,
                                    const BoundControlCheck& isBoundControl,
                                    const ReplaceAsker& askReplace) {
    return LoadSequence(controller, ReadSequenceFile(fileName), isBoundControl, askReplace);
}

QString DescribeLeftOutRecords(const QVector<LeftOutRecord>& leftOut) {
    QStringList lines;
    for (const LeftOutRecord& r : leftOut) {
        QString why;
        switch (r.reason) {
        case LeftOutReason::IdOutOfRange:
            why = QStringLiteral("ID outside 1 to 200");
            break;
        case LeftOutReason::ValueNotNumber:
            why = QStringLiteral("value is not a number");
            break;
        case LeftOutReason::UnknownControl:
            why = QStringLiteral("control not found");
            break;
        case LeftOutReason::NoFreePlace:
            why = QStringLiteral("no free place in the sequence");
            break;
        }
        lines.append(QStringLiteral("Record %1 (ID %2, %3): %4")
                         .arg(r.recordNumber)
                         .arg(r.id)
                         .arg(r.command, why));
    }
    return lines.join(QLatin1Char('\n'));
}
