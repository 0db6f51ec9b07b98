#include "model/SequenceLoading.h"
#include "translation/MessageNumbers.h"

#include "model/DerivedValues.h"
#include "model/SequenceController.h"
#include "model/WorkingCopy.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

LeftOutRecord LeftOut(int recordNumber, int id, const QString& command, LeftOutReason reason) {
    return LeftOutRecord{recordNumber, id, command, reason};
}

bool AllFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Limits read from the command table; a pair of equal limits sets none (an
// empty row). The slack only absorbs the last bits of a scaled value.
bool WithinLimits(double value, double minimum, double maximum) {
    if (minimum == maximum)
        return true;
    const double slack = 1e-9 * std::max({1.0, std::fabs(minimum), std::fabs(maximum)});
    return value >= minimum - slack && value <= maximum + slack;
}

bool IsChoice(double value, int choices) {
    return value == std::nearbyint(value) && value >= 0 && value < choices;
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

} // namespace

std::optional<LeftOutReason> LoadedValueFault(const TCommandRecord& row, double valueFW,
                                              double valueSW,
                                              const QVector<BoundControl>& controls) {
    if (!AllFinite({valueFW, valueSW}))
        return LeftOutReason::ValueNotNumber;
    for (const BoundControl& control : controls) {
        if (control.choices > 0 && !IsChoice(valueSW, control.choices))
            return LeftOutReason::ValueNotAChoice;
    }
    if (!WithinLimits(valueSW, row.MinValueSW, row.MaxValueSW) ||
        !WithinLimits(valueFW, row.MinValueFW, row.MaxValueFW))
        return LeftOutReason::ValueOutsideLimits;
    return std::nullopt;
}

int RpmFactorOfLoaded(const CommandTable& commands, const QMap<int, double>& values) {
    const auto value = [&](int id) { return values.value(id, commands[id].ActualValueSW); };
    return RPMFactorFor(value(WorkingIds::RPMDivisor), value(WorkingIds::RPMTimes2));
}

std::optional<LeftOutReason> LoadedEntryFault(const CommandTable& commands,
                                              const TSequenceRecord& entry,
                                              const BoundControlLookup& boundControl,
                                              int rpmFactor) {
    if (!CommandTable::IsValidId(entry.CommandID))
        return LeftOutReason::IdOutOfRange;
    const TCommandRecord& row = commands[entry.CommandID];
    if (row.Command.isEmpty())
        return LeftOutReason::NoSuchCommand;
    // The word names the parameter the user sees; the frame is built from the
    // table's word. A record whose two disagree is not trusted at all.
    if (entry.Command != row.Command)
        return LeftOutReason::WrongCommandWord;
    if (!AllFinite({entry.PreviousValueFW, entry.ActualValueFW, entry.PreviousValueSW,
                    entry.ActualValueSW}))
        return LeftOutReason::ValueNotNumber;
    QVector<BoundControl> controls;
    for (const QString& name : {entry.SenderName1, entry.SenderName2}) {
        if (name.isEmpty())
            continue;
        const std::optional<BoundControl> control =
            boundControl ? boundControl(name, entry.SenderType, entry.CommandID) : std::nullopt;
        if (!control)
            return LeftOutReason::UnknownControl;
        controls.append(*control);
    }
    // An RPM value is written at the factor it will be sent under, and its
    // display limits are the GCU's limits at that factor.
    TCommandRecord limits = row;
    if (rpmFactor > 0 && IsRPMParameter(limits))
        ReexpressRPMParameter(limits, rpmFactor);
    if (const auto fault =
            LoadedValueFault(limits, entry.ActualValueFW, entry.ActualValueSW, controls))
        return fault;
    if (rpmFactor > 0) {
        try {
            const double sent = FirmwareValueOf(commands, entry.CommandID,
                                                ShownValueOf(row, entry.ActualValueSW), rpmFactor);
            if (!SameAtFirmwareDigits(sent, entry.ActualValueFW, row.DigitsValueFW))
                return LeftOutReason::FormsDisagree;
        } catch (const EConvertError&) {
            return LeftOutReason::ValueNotNumber;
        }
    }
    return std::nullopt;
}

ConfigLoadResult LoadConfiguration(SequenceController& controller,
                                   const RecordSeries<TCommandRecord>& file, int pcbVersion,
                                   const BoundControlLookup& boundControl) {
    ConfigLoadResult result;
    result.recordCount = static_cast<int>(file.records.size());
    result.trailingBytes = file.trailingBytes;

    // Built apart and committed whole.
    ChangeSequence loaded = controller.Sequence();
    loaded.ClearAll();
    const QString time = controller.timeText();
    int place = 1;
    QMap<int, double> factorValues;
    // Only a divisor and "x 2" the loading rules take set the factor the
    // file's RPM values are read with.
    for (const TCommandRecord& r : file.records)
        if ((r.ID == WorkingIds::RPMDivisor || r.ID == WorkingIds::RPMTimes2) &&
            !LoadedValueFault(controller.Commands()[r.ID], r.ActualValueFW, r.ActualValueSW, {}))
            factorValues.insert(r.ID, r.ActualValueSW);
    const int rpmFactor = RpmFactorOfLoaded(controller.Commands(), factorValues);
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
        const TSequenceRecord entry = EntryFromConfigRecord(r, time);
        if (const auto fault =
                LoadedEntryFault(controller.Commands(), entry, boundControl, rpmFactor)) {
            result.leftOut.append(LeftOut(n + 1, r.ID, r.Command, *fault));
            continue;
        }
        if (place > SequenceCount) {
            result.leftOut.append(LeftOut(n + 1, r.ID, r.Command, LeftOutReason::NoFreePlace));
            continue;
        }
        loaded[place++] = entry;
        ++result.taken;
    }
    // Nothing to load: the sequence the user has stays as it is.
    if (result.taken == 0)
        return result;
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
                                       int pcbVersion, const BoundControlLookup& boundControl) {
    return LoadConfiguration(controller, ReadConfigFile(fileName), pcbVersion, boundControl);
}

QString ComposeReplaceQuestion(const QString& message8, const QString& message9,
                               const QString& message10, const QString& message11,
                               const ReplaceQuestion& question) {
    return message8 + question.command + message9 + FloatToDisplayText(question.newValue) +
           message10 + FloatToDisplayText(question.currentValue) + message11;
}

namespace {

// The user cancelled a replace question.
struct LoadCancelled {};

class SequenceMerge {
  public:
    SequenceMerge(SequenceController& controller, const BoundControlLookup& boundControl,
                  const ReplaceAsker& askReplace, SequenceLoadResult& result, int rpmFactor)
        : controller_(controller), sequence_(controller.Sequence()),
          commands_(controller.Commands()), boundControl_(boundControl), askReplace_(askReplace),
          result_(result), place_(sequence_.FirstFreePlace()), time_(controller.timeText()),
          rpmFactor_(rpmFactor) {}

    void Merge(int recordNumber, const TSequenceRecord& record) {
        if (const auto fault = LoadedEntryFault(commands_, record, boundControl_, rpmFactor_)) {
            result_.leftOut.append(LeftOut(recordNumber, record.CommandID, record.Command, *fault));
            return;
        }
        if (OfferReplacements(record))
            return;
        Append(recordNumber, record);
    }

  private:
    // Asks for every entry of the record's command, unless an earlier answer
    // was for all of them; false when there is no such entry.
    bool OfferReplacements(const TSequenceRecord& record) {
        bool matched = false;
        for (int j = 1; j <= SequenceCount; ++j) {
            if (sequence_[j].CommandID != record.CommandID)
                continue;
            matched = true;
            const bool asking = !forAll_;
            if (asking)
                ShowEntry(j);
            if (Answer(j, record)) {
                // An edit the record replaces goes back first: its control
                // and command row show again what they showed before it.
                if (sequence_[j].Status == StatusLetter::Modified)
                    controller_.RevertToPreviousValueSequence(j);
                sequence_[j] = Loaded(record);
                ++result_.replaced;
            } else {
                ++result_.keptOnNo;
            }
            if (asking)
                ShowEntry(j);
        }
        return matched;
    }

    // Yes or No for replacing entry Row: the answer given for all, or the
    // user's. Cancel ends the load.
    bool Answer(int row, const TSequenceRecord& record) {
        if (forAll_)
            return *forAll_;
        const ReplaceQuestion question{row, record.Command, record.ActualValueSW,
                                       sequence_[row].ActualValueSW};
        ++result_.questionsAsked;
        const ReplaceAnswer answer = askReplace_ ? askReplace_(question) : ReplaceAnswer::No;
        switch (answer) {
        case ReplaceAnswer::Cancel:
            throw LoadCancelled{};
        case ReplaceAnswer::YesToAll:
            forAll_ = true;
            break;
        case ReplaceAnswer::NoToAll:
            forAll_ = false;
            break;
        case ReplaceAnswer::Yes:
        case ReplaceAnswer::No:
            break;
        }
        return answer == ReplaceAnswer::Yes || answer == ReplaceAnswer::YesToAll;
    }

    void Append(int recordNumber, const TSequenceRecord& record) {
        if (place_ < 1 || place_ > SequenceCount) {
            result_.leftOut.append(LeftOut(recordNumber, record.CommandID, record.Command,
                                           LeftOutReason::NoFreePlace));
            return;
        }
        TSequenceRecord entry = Loaded(record);
        entry.PreviousValueSW = 0.0;
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

    void ShowEntry(int row) {
        controller_.SelectGridRow(row);
        controller_.SGSequenceSelectCell(row);
    }

    SequenceController& controller_;
    ChangeSequence& sequence_;
    CommandTable& commands_;
    const BoundControlLookup& boundControl_;
    const ReplaceAsker& askReplace_;
    SequenceLoadResult& result_;
    int place_;
    QString time_;
    int rpmFactor_ = 0;
    std::optional<bool> forAll_; // the answer given for all later questions
};

void ShowWholeSequence(SequenceController& controller) {
    controller.FillSGSequence();
    SelectEveryEntry(controller);
    controller.SGSequenceSelectCell(1);
}

} // namespace

SequenceLoadResult LoadSequence(SequenceController& controller,
                                const RecordSeries<TSequenceRecord>& file,
                                const BoundControlLookup& boundControl,
                                const ReplaceAsker& askReplace) {
    SequenceLoadResult result;
    result.recordCount = static_cast<int>(file.records.size());
    result.trailingBytes = file.trailingBytes;

    const ChangeSequence sequenceBefore = controller.Sequence();
    const CommandTable commandsBefore = controller.Commands();
    const auto restore = [&] {
        controller.Sequence() = sequenceBefore;
        controller.Commands() = commandsBefore;
    };
    // The factor the entries will be sent under: the divisor and "x 2" of
    // the file, else of the entries pending, else as shown.
    QMap<int, double> factorValues;
    for (const int id : {WorkingIds::RPMDivisor, WorkingIds::RPMTimes2}) {
        for (int i = 1; i <= SequenceCount && sequenceBefore[i].CommandID > 0; ++i)
            if (sequenceBefore[i].CommandID == id && IsPendingStatus(sequenceBefore[i].Status))
                factorValues.insert(id, sequenceBefore[i].ActualValueSW);
        for (const TSequenceRecord& record : file.records)
            if (record.CommandID == id)
                factorValues.insert(id, record.ActualValueSW);
    }
    const int rpmFactor = RpmFactorOfLoaded(controller.Commands(), factorValues);
    try {
        SequenceMerge merge(controller, boundControl, askReplace, result, rpmFactor);
        for (int n = 0; n < file.records.size(); ++n)
            merge.Merge(n + 1, file.records[n]);
        ShowWholeSequence(controller);
    } catch (const LoadCancelled&) {
        restore();
        ShowWholeSequence(controller);
        result.cancelled = true;
        result.appended = result.replaced = result.keptOnNo = 0;
        result.leftOut.clear();
    } catch (...) {
        restore();
        throw;
    }
    return result;
}

SequenceLoadResult LoadSequenceFile(SequenceController& controller, const QString& fileName,
                                    const BoundControlLookup& boundControl,
                                    const ReplaceAsker& askReplace) {
    return LoadSequence(controller, ReadSequenceFile(fileName), boundControl, askReplace);
}

DetailPhrase LeftOutRecordPhrase(const LeftOutRecord& record) {
    // Each reason's phrase for a record of a record file and for a line of a
    // text file; the reasons of text lines alone have no record phrase.
    struct Phrases {
        LeftOutReason reason;
        int record;
        int line;
    };
    static const Phrases phrases[] = {
        {LeftOutReason::IdOutOfRange, Msg::PhraseLeftOutIdOutOfRange,
         Msg::PhraseLineLeftOutIdOutOfRange},
        {LeftOutReason::NoSuchCommand, Msg::PhraseLeftOutNoSuchCommand,
         Msg::PhraseLineLeftOutNoSuchCommand},
        {LeftOutReason::WrongCommandWord, Msg::PhraseLeftOutWrongCommandWord,
         Msg::PhraseLineLeftOutWrongCommandWord},
        {LeftOutReason::ValueNotNumber, Msg::PhraseLeftOutValueNotNumber,
         Msg::PhraseLineLeftOutValueNotNumber},
        {LeftOutReason::ValueOutsideLimits, Msg::PhraseLeftOutValueOutsideLimits,
         Msg::PhraseLineLeftOutValueOutsideLimits},
        {LeftOutReason::ValueNotAChoice, Msg::PhraseLeftOutValueNotAChoice,
         Msg::PhraseLineLeftOutValueNotAChoice},
        {LeftOutReason::UnknownControl, Msg::PhraseLeftOutUnknownControl,
         Msg::PhraseLineLeftOutUnknownControl},
        {LeftOutReason::NoFreePlace, Msg::PhraseLeftOutNoFreePlace,
         Msg::PhraseLineLeftOutNoFreePlace},
        {LeftOutReason::FormsDisagree, Msg::PhraseLeftOutFormsDisagree,
         Msg::PhraseLeftOutFormsDisagree}, // records alone
        {LeftOutReason::DuplicateCommand, 0, Msg::PhraseLineLeftOutDuplicateCommand},
        {LeftOutReason::NotAValueLine, 0, Msg::PhraseLineLeftOutNotAValueLine},
        {LeftOutReason::UnknownCommandWord, 0, Msg::PhraseLineLeftOutUnknownCommandWord},
    };
    int message = 0;
    for (const Phrases& p : phrases)
        if (p.reason == record.reason)
            message = record.textLine || p.record == 0 ? p.line : p.record;
    const QString number = QString::number(record.recordNumber);
    // A line that names no parameter is given by its first word alone.
    if (record.reason == LeftOutReason::NotAValueLine ||
        record.reason == LeftOutReason::UnknownCommandWord)
        return {message, {number, record.command}};
    return {message, {number, QString::number(record.id), record.command}};
}

QStringList LeftOutRecordLines(const QVector<LeftOutRecord>& leftOut) {
    QStringList lines;
    for (const LeftOutRecord& record : leftOut)
        lines.append(EnglishText(LeftOutRecordPhrase(record)));
    return lines;
}

QString DescribeLeftOutRecords(const QVector<LeftOutRecord>& leftOut) {
    return LeftOutRecordLines(leftOut).join(QLatin1Char('\n'));
}
