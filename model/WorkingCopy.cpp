#include "model/WorkingCopy.h"

#include "model/DerivedValues.h"
#include "model/ParameterLimits.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

const QString SpinEditType = QStringLiteral("TSpinEdit");
const QString EditType = QStringLiteral("TEdit");
const QString RadioGroupType = QStringLiteral("TRadioGroup");
const QString CheckBoxType = QStringLiteral("TCheckBox");

bool IsTeeth(int id) {
    return id >= WorkingIds::PrimaryTeeth(1) && id <= WorkingIds::SecondaryTeeth(6);
}

const TimingGroupIds* TimingGroupOf(int id) {
    for (const TimingGroupIds* group : {&UpShiftTimingIds, &RecoveryUpShiftTimingIds}) {
        if (id == group->preload || id == group->cut || id == group->timeout)
            return group;
    }
    return nullptr;
}

TimingRole RoleIn(const TimingGroupIds& group, int id) {
    if (id == group.preload)
        return TimingRole::Preload;
    if (id == group.cut)
        return TimingRole::Cut;
    return TimingRole::Timeout;
}

int RoundedInt(double value) {
    return RoundHalfToEvenInt(value);
}

} // namespace

bool WorkingIds::HasBarrelDegrees(int id) {
    switch (id) {
    case 44:
    case 62:
    case 69:
    case 80:
    case 81:
    case 113:
    case 115:
        return true;
    default:
        return id >= 143 && id <= 152;
    }
}

// ---------------------------------------------------------------- one value, its forms

QString ShownTextOf(const TCommandRecord& row, double displayValue) {
    if (row.SenderType == SpinEditType || row.SenderType == RadioGroupType)
        return QString::number(RoundedInt(displayValue));
    if (row.SenderType == CheckBoxType)
        return RoundedInt(displayValue) == 1 ? QStringLiteral("1") : QStringLiteral("0");
    return RealToStrDec(displayValue, std::max(0, row.DigitsValueSW));
}

double ShownValueOf(const TCommandRecord& row, double displayValue) {
    if (row.SenderType == SpinEditType || row.SenderType == RadioGroupType)
        return RoundedInt(displayValue);
    if (row.SenderType == CheckBoxType)
        return RoundedInt(displayValue) == 1 ? 1.0 : 0.0;
    if (!std::isfinite(displayValue))
        return displayValue;
    return RealToFixedDec(displayValue, std::max(0, row.DigitsValueSW));
}

double FirmwareValueOf(const CommandTable& commands, int id, double displayValue, int rpmFactor) {
    const double fw = SWValueToFWValue(commands, id, displayValue, rpmFactor);
    if (!std::isfinite(fw))
        return fw;
    return RealToFixedDec(fw, std::clamp(commands[id].DigitsValueFW, 0, 5));
}

double HeldDisplayValueOf(const CommandTable& commands, int id, double displayValue,
                          int rpmFactor) {
    const TCommandRecord& row = commands[id];
    const double shown = ShownValueOf(row, displayValue);
    if (!std::isfinite(shown))
        return shown;
    const double fw = FirmwareValueOf(commands, id, shown, rpmFactor);
    const double back = FWValueToSWValue(commands, id, fw, rpmFactor);
    // Only a value the GCU would keep otherwise moves: the round trip may
    // lose a last bit that the shown text does not show.
    if (ShownTextOf(row, back) == ShownTextOf(row, shown))
        return shown;
    return ShownValueOf(row, back);
}

double HeldToDisplayLimits(const TCommandRecord& row, double displayValue) {
    if (row.MinValueSW == row.MaxValueSW)
        return displayValue;
    if (row.SenderType == SpinEditType)
        return std::clamp<double>(displayValue, RoundedInt(row.MinValueSW),
                                  RoundedInt(row.MaxValueSW));
    return std::clamp(displayValue, row.MinValueSW, row.MaxValueSW);
}

// ---------------------------------------------------------------- the working copy

WorkingCopy::WorkingCopy(WorkingCopyView& view) : view_(view), rules_(sequence_, commands_, view) {
    rules_.rpmFactor = [this] { return rpmFactor_; };
}

// Every public operation runs as one: the values it shows change together, and
// the window shows them once, when it ends.
class WorkingCopy::Operation {
  public:
    Operation(WorkingCopy& copy, int userCommand) : copy_(copy) {
        if (copy_.operationDepth_++ == 0)
            copy_.userCommand_ = userCommand;
    }
    ~Operation() {
        if (--copy_.operationDepth_ > 0)
            return;
        copy_.shown_.clear();
        copy_.firmwareOverride_.clear();
        copy_.userCommand_ = 0;
        if (finished_)
            return;
        copy_.captured_ = false;
        // An error ended it (the caller reports it): what changed so far is
        // shown all the same, so that no control shows a value the rows lost.
        try {
            Show();
        } catch (...) {
        }
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // The outermost operation shows what changed.
    void Finish() {
        finished_ = true;
        if (copy_.operationDepth_ > 1)
            return;
        copy_.ApplyLoadedRpmFactor();
        copy_.RescalePendingRpmEntries();
        if (copy_.captured_) {
            // The grid shows the changes, and the buttons follow them.
            copy_.captured_ = false;
            copy_.rules_.FillSGSequence();
            copy_.view_.EnableControls();
        }
        Show();
    }

  private:
    void Show() {
        QVector<int> ids(copy_.changed_.begin(), copy_.changed_.end());
        std::sort(ids.begin(), ids.end());
        copy_.changed_.clear();
        copy_.shown_.clear();
        copy_.view_.ShowValues(ids);
        copy_.view_.ShowDerivedDisplays();
        if (copy_.changed)
            copy_.changed();
    }

    WorkingCopy& copy_;
    bool finished_ = false;
};

double WorkingCopy::ShownValue(int id) const {
    const auto it = shown_.constFind(id);
    if (it != shown_.cend())
        return *it;
    return commands_[id].ActualValueSW;
}

QString WorkingCopy::ShownText(int id) const {
    return ShownTextOf(commands_[id], ShownValue(id));
}

void WorkingCopy::Notice(const EditNotice& notice) {
    for (EditNotice& earlier : notices_) {
        if (earlier.id == notice.id && earlier.reason == notice.reason) {
            earlier.became = notice.became; // one notice per value: from first to last
            return;
        }
    }
    notices_.append(notice);
}

QVector<EditNotice> WorkingCopy::TakeNotices() {
    QVector<EditNotice> notices;
    notices.swap(notices_);
    return notices;
}

void WorkingCopy::ShowDefaults() {
    Operation op(*this, 0);
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& row = commands_[id];
        if (row.ID <= 0)
            continue;
        row.ActualValueSW = row.DefaultValueSW;
        row.ActualValueFW = row.DefaultValueFW;
        row.Status.clear();
    }
    rpmFactor_ = RPMFactorFor(commands_[WorkingIds::RPMDivisor].ActualValueSW,
                              commands_[WorkingIds::RPMTimes2].ActualValueSW);
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& row = commands_[id];
        if (!IsRPMParameter(row))
            continue;
        ReexpressRPMParameter(row, rpmFactor_);
        // The display value is what the GCU value shows at this factor.
        row.ActualValueSW = row.ActualValueFW * rpmFactor_;
        changed_.insert(id);
    }
    op.Finish();
}

// ---------------------------------------------------------------- edits

void WorkingCopy::Edit(int id, double value, std::optional<double> typed) {
    if (!CommandTable::IsValidId(id))
        return;
    Operation op(*this, id);
    const TCommandRecord& row = commands_[id];
    double shown = ShownValueOf(row, value);
    if (typed && ShownTextOf(row, *typed) != ShownTextOf(row, shown)) {
        Notice({id, *typed, shown,
                *typed > shown ? EditNoticeReason::AboveMaximum : EditNoticeReason::BelowMinimum,
                0});
    }
    const double held = HeldDisplayValueOf(commands_, id, shown, rpmFactor_);
    if (std::isfinite(held) && ShownTextOf(row, held) != ShownTextOf(row, shown)) {
        Notice({id, shown, held, EditNoticeReason::GcuStep, 0});
        shown = held;
    }
    shown_[id] = shown;
    changed_.insert(id);
    Notify(id);
    op.Finish();
}

// The program writes Value into command Id's control: a spin edit holds it to
// its limits, and only a write that changes what the control shows raises its
// notification, which captures it and runs the rules that follow from it.
void WorkingCopy::WriteShown(int id, double value, int causeId, EditNoticeReason reason) {
    const TCommandRecord& row = commands_[id];
    double shown = ShownValueOf(row, value);
    if (row.SenderType == SpinEditType)
        shown = HeldToDisplayLimits(row, shown);
    const double held = HeldDisplayValueOf(commands_, id, shown, rpmFactor_);
    if (std::isfinite(held))
        shown = held;
    if (ShownTextOf(row, shown) == ShownText(id))
        return;
    if (causeId > 0 && causeId != id)
        Notice({id, ShownValue(id), shown, reason, causeId});
    shown_[id] = shown;
    changed_.insert(id);
    Notify(id);
}

// The change notification of command Id's control: its coupling rule first,
// then the capture, then the values that follow from it.
void WorkingCopy::Notify(int id) {
    if (const TimingGroupIds* group = TimingGroupOf(id))
        ApplyTimingRule(*group, id);
    if ((id == WorkingIds::BikeGearbox || id == WorkingIds::KartGearbox) &&
        RoundedInt(ShownValue(id)) == 1) {
        const int other =
            id == WorkingIds::BikeGearbox ? WorkingIds::KartGearbox : WorkingIds::BikeGearbox;
        WriteShown(other, 0, id, EditNoticeReason::Gearbox);
    }
    Capture(id);
    if (IsTeeth(id) || id == WorkingIds::RPMLimiter)
        CalculateRatioRPM();
    if (id == WorkingIds::RPMDivisor || id == WorkingIds::RPMTimes2)
        SetRPMFactor();
}

void WorkingCopy::Capture(int id) {
    const double value = ShownValue(id);
    TCommandRecord& row = commands_[id];
    if (row.ID <= 0 || row.Command.isEmpty()) {
        // A control whose row has no command: nothing to send, the row
        // simply holds what it shows.
        row.ActualValueSW = value;
        row.ActualValueFW = value;
        shown_.remove(id);
        changed_.insert(id);
        return;
    }
    const auto override = firmwareOverride_.constFind(id);
    const double fw = override != firmwareOverride_.cend() && override->has_value()
                          ? **override
                          : FirmwareValueOf(commands_, id, value, rpmFactor_);
    rules_.AddSequenceRecord(id, value, fw);
    captured_ = true;
    shown_.remove(id);
    changed_.insert(id);
    // A change a rule made of the user's edit goes back with that edit.
    TSequenceRecord& entry = sequence_[1];
    if (entry.CommandID == id)
        entry.CausedBy = userCommand_ > 0 && userCommand_ != id ? userCommand_ : 0;
}

void WorkingCopy::ApplyTimingRule(const TimingGroupIds& group, int changedId) {
    if (group.copy != 0 && changedId == group.preload &&
        ShownText(group.copy) != ShownText(group.preload))
        WriteShown(group.copy, ShownValue(group.preload), 0, EditNoticeReason::CoupledTiming);
    const TimingGroup values{
        RoundedInt(ShownValue(group.preload)), RoundedInt(ShownValue(group.cut)),
        RoundedInt(ShownValue(group.timeout)), RoundedInt(commands_[group.timeout].MaxValueSW)};
    const TimingCorrection correction = CoupledTimingCorrection(values, RoleIn(group, changedId));
    const int cause = userCommand_ > 0 ? userCommand_ : changedId;
    if (correction.cut)
        WriteShown(group.cut, *correction.cut, cause, EditNoticeReason::CoupledTiming);
    if (correction.timeout)
        WriteShown(group.timeout, *correction.timeout, cause, EditNoticeReason::CoupledTiming);
}

// Ratios follow their teeth, down-shift limits the limiter and the ratios.
// OnlyWherePending: only where an input is a pending change, so that a unit's
// own values, consistent or not, stay as it holds them.
void WorkingCopy::CalculateRatioRPM(bool onlyWherePending) {
    using namespace WorkingIds;
    for (int gear = 1; gear <= 6; ++gear) {
        if (onlyWherePending && !HasPendingChange(PrimaryTeeth(gear)) &&
            !HasPendingChange(SecondaryTeeth(gear)))
            continue;
        const int primary = RoundedInt(ShownValue(PrimaryTeeth(gear)));
        const int secondary = RoundedInt(ShownValue(SecondaryTeeth(gear)));
        if (const std::optional<QString> text = GearRatioText(primary, secondary);
            text && ShownText(Ratio(gear)) != *text)
            WriteShown(Ratio(gear), DisplayTextToFloat(*text), 0, EditNoticeReason::GcuStep);
    }
    for (int gear = 2; gear <= 6; ++gear) {
        if (onlyWherePending && !HasPendingChange(RPMLimiter) && !HasPendingChange(Ratio(gear)) &&
            !HasPendingChange(Ratio(gear - 1)))
            continue;
        const QString ratioText = ShownText(Ratio(gear));
        const QString belowText = ShownText(Ratio(gear - 1));
        if (ratioText.isEmpty() || belowText.isEmpty() || !StrIsOnlyNumbers(ratioText) ||
            !StrIsOnlyNumbers(belowText))
            continue;
        const int limiter = RoundedInt(ShownValue(RPMLimiter));
        if (const std::optional<qint64> limit = ::DownShiftLimit(
                limiter, DisplayTextToFloat(belowText), DisplayTextToFloat(ratioText), rpmFactor_))
            WriteShown(DownShiftLimit(gear), double(*limit), 0, EditNoticeReason::GcuStep);
    }
}

// A loaded divisor or "x 2" that is not the one shown is taken into its
// control at once, as an edit: every RPM value, shown, loaded or changed, is
// then sent at the factor it is shown at.
void WorkingCopy::ApplyLoadedRpmFactor() {
    for (const int id : {WorkingIds::RPMDivisor, WorkingIds::RPMTimes2}) {
        const int at = sequence_.FindForCapture(id);
        if (at <= 0 || sequence_[at].Status != StatusLetter::Loaded)
            continue;
        const double loaded = sequence_[at].ActualValueSW;
        if (ShownTextOf(commands_[id], loaded) != ShownText(id))
            WriteShown(id, loaded, 0, EditNoticeReason::GcuStep);
    }
}

bool WorkingCopy::HasPendingChange(int id) const {
    const int at = sequence_.FindForCapture(id);
    return at > 0 && sequence_[at].Status == StatusLetter::Modified;
}

// The factor follows the divisor and "x 2" shown; every RPM parameter is
// re-expressed with it: its display value becomes what its GCU value shows at
// the new factor, and a GCU value that changes is a change to send, shown or
// not.
void WorkingCopy::SetRPMFactor() {
    rpmFactor_ =
        RPMFactorFor(ShownValue(WorkingIds::RPMDivisor), ShownValue(WorkingIds::RPMTimes2));
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& row = commands_[id];
        if (!IsRPMParameter(row))
            continue;
        SetRPMScale(row, rpmFactor_);
        const double fw = RoundHalfToEven(ShownValue(id) / rpmFactor_);
        const double snapped = fw * rpmFactor_;
        if (ShownTextOf(row, snapped) != ShownText(id)) {
            WriteShown(id, snapped, 0, EditNoticeReason::GcuStep);
        } else if (!SameAtFirmwareDigits(fw, row.ActualValueFW, row.DigitsValueFW)) {
            Capture(id);
        }
    }
    changed_.insert(WorkingIds::RPMDivisor); // the RPM controls' step follows
}

bool WorkingCopy::Step(int id, bool up) {
    if (!CommandTable::IsValidId(id))
        return false;
    Operation op(*this, id);
    const TCommandRecord& row = commands_[id];
    if (id == WorkingIds::RPMLimiter || id == WorkingIds::RPMRecovery) {
        const std::optional<int> next = RPMSpinStep(row, up);
        if (!next)
            return false;
        WriteShown(id, double(qint64(rpmFactor_) * *next), 0, EditNoticeReason::GcuStep);
    } else if (id == WorkingIds::MinimumBatteryVoltage) {
        const std::optional<double> next = DecimalSpinStep(row, up);
        if (!next)
            return false;
        WriteShown(id, RealToFixedDec(*next * row.FWtoSWFactor, std::max(0, row.DigitsValueSW)), 0,
                   EditNoticeReason::GcuStep);
    } else {
        return false;
    }
    op.Finish();
    return true;
}

// ---------------------------------------------------------------- going back

void WorkingCopy::Reconcile() {
    Operation op(*this, 0);
    SetRPMFactor();
    CalculateRatioRPM(true);
    op.Finish();
}

// The changes a rule made of command CauseId's edit, still pending, go back
// too (or are erased with it); each may have caused changes in turn.
void WorkingCopy::GoBackOnCaused(int causeId, bool erase) {
    if (causeId <= 0)
        return;
    for (bool found = true; found;) {
        found = false;
        for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i) {
            TSequenceRecord& entry = sequence_[i];
            if (entry.CausedBy != causeId || entry.Status != StatusLetter::Modified)
                continue;
            const int id = entry.CommandID;
            entry.CausedBy = 0;
            rules_.SelectGridRow(i);
            if (erase)
                rules_.EraseSelected();
            else
                rules_.DiscardSelected();
            changed_.insert(id);
            GoBackOnCaused(id, erase);
            found = true;
            break;
        }
    }
}

bool WorkingCopy::DiscardSelected() {
    Operation op(*this, 0);
    const int row = sequence_.GridSelectedRow;
    const int id = ChangeSequence::IsValidIndex(row) ? sequence_[row].CommandID : 0;
    const bool discarded = rules_.DiscardSelected();
    if (discarded) {
        changed_.insert(id);
        GoBackOnCaused(id, false);
        if (ChangeSequence::IsValidIndex(row))
            rules_.SelectGridRow(std::min(row, std::max(1, sequence_.Count())));
        Reconcile();
    }
    op.Finish();
    return discarded;
}

void WorkingCopy::DiscardAll() {
    Operation op(*this, 0);
    rules_.DiscardAll();
    Reconcile();
    op.Finish();
}

void WorkingCopy::EraseSelected() {
    Operation op(*this, 0);
    const int row = sequence_.GridSelectedRow;
    const int id = ChangeSequence::IsValidIndex(row) ? sequence_[row].CommandID : 0;
    const bool modified =
        ChangeSequence::IsValidIndex(row) && sequence_[row].Status == StatusLetter::Modified;
    rules_.EraseSelected();
    if (modified) {
        changed_.insert(id);
        GoBackOnCaused(id, true);
    }
    Reconcile();
    op.Finish();
}

void WorkingCopy::EraseAll() {
    Operation op(*this, 0);
    rules_.EraseAll();
    Reconcile();
    op.Finish();
}

void WorkingCopy::ReplacingSequence(const std::function<void()>& replace) {
    Operation op(*this, 0);
    for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i)
        if (sequence_[i].Status == StatusLetter::Modified)
            changed_.insert(sequence_[i].CommandID);
    replace();
    Reconcile();
    op.Finish();
}

// Passes from the last entry to the first until one finds nothing to do. An
// entry whose control already shows its value becomes "M"; another one is
// written as an edit would be. An entry that does not take its value after
// one write is left as it is, so the passes always end.
void WorkingCopy::ApplyLoadedEntries() {
    Operation op(*this, 0);
    QSet<int> written;
    QSet<int> leftAsIs;
    bool foundSomething = true;
    while (foundSomething) {
        foundSomething = false;
        for (int i = SequenceCount; i >= 1; --i) {
            TSequenceRecord& entry = sequence_[i];
            const int id = entry.CommandID;
            if (entry.Status != StatusLetter::Loaded || entry.SenderName1.isEmpty() ||
                !CommandTable::IsValidId(id) || leftAsIs.contains(id))
                continue;
            const TCommandRecord& row = commands_[id];
            if (ShownTextOf(row, entry.ActualValueSW) == ShownText(id)) {
                // Already shown: the entry is a change like an edit, and the
                // command row holds exactly its value.
                entry.Status = StatusLetter::Modified;
                entry.PreviousValueSW = row.ActualValueSW;
                entry.PreviousValueFW = row.ActualValueFW;
                TCommandRecord& held = commands_[id];
                held.ActualValueSW = ShownValueOf(row, entry.ActualValueSW);
                held.ActualValueFW = entry.ActualValueFW;
                held.Status = StatusLetter::Modified;
                for (const QString& name : {entry.SenderName1, entry.SenderName2})
                    if (!name.isEmpty())
                        view_.SetControlColor(entry.SenderType, name,
                                              GetStatusColor(StatusLetter::Modified, false));
                changed_.insert(id);
                foundSomething = true;
            } else if (!written.contains(id)) {
                written.insert(id);
                const int userBefore = userCommand_;
                userCommand_ = id;
                WriteShown(id, entry.ActualValueSW, 0, EditNoticeReason::GcuStep);
                userCommand_ = userBefore;
                foundSomething = true;
            } else {
                leftAsIs.insert(id);
            }
        }
    }
    op.Finish();
}

// ---------------------------------------------------------------- the unit's values

QVector<int> WorkingCopy::TakeUnitValues(const UnitValues& values) {
    Operation op(*this, 0);
    const auto pendingEntry = [this](int id) -> TSequenceRecord* {
        for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i)
            if (sequence_[i].CommandID == id && IsPendingStatus(sequence_[i].Status))
                return &sequence_[i];
        return nullptr;
    };
    // The unit's own divisor and "x 2" give the factor its RPM values mean.
    const auto unitDisplay = [&](int id) {
        if (values.Has(id) && !pendingEntry(id))
            return FWValueToSWValue(commands_, id, values.fw.value(id), rpmFactor_);
        return commands_[id].ActualValueSW;
    };
    rpmFactor_ =
        RPMFactorFor(unitDisplay(WorkingIds::RPMDivisor), unitDisplay(WorkingIds::RPMTimes2));
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& row = commands_[id];
        if (!IsRPMParameter(row))
            continue;
        SetRPMScale(row, rpmFactor_);
    }
    QVector<int> shown;
    for (auto it = values.fw.cbegin(); it != values.fw.cend(); ++it) {
        const int id = it.key();
        if (!CommandTable::IsValidId(id))
            continue;
        TCommandRecord& row = commands_[id];
        double display = row.ActualValueSW;
        try {
            display = FWValueToSWValue(commands_, id, it.value(), rpmFactor_);
        } catch (const EConvertError&) {
            // A zero factor: the GCU value is what counts.
        }
        if (TSequenceRecord* entry = pendingEntry(id)) {
            // A change still to send stays; it now goes back to what the
            // unit holds.
            if (entry->Status == StatusLetter::Modified) {
                entry->PreviousValueFW = it.value();
                entry->PreviousValueSW = display;
            }
            continue;
        }
        row.ActualValueFW = it.value();
        row.ActualValueSW = display;
        row.Status = StatusLetter::Read;
        changed_.insert(id);
        shown.append(id);
    }
    changed_.insert(WorkingIds::RPMDivisor);
    op.Finish();
    return shown;
}

void WorkingCopy::ValueLearned(int id, double valueFW) {
    if (!CommandTable::IsValidId(id))
        return;
    Operation op(*this, 0);
    const double display = FWValueToSWValue(commands_, id, valueFW, rpmFactor_);
    if (sequence_.FindForCapture(id) > 0) {
        // A change of the user's is pending: it now stands for the learned value.
        shown_[id] = display;
        firmwareOverride_[id] = valueFW;
        Capture(id);
    } else {
        TCommandRecord& row = commands_[id];
        row.ActualValueFW = valueFW;
        row.ActualValueSW = display;
        row.Status = StatusLetter::Read;
        changed_.insert(id);
    }
    op.Finish();
}

// ---------------------------------------------------------------- RPM factor of what is sent

int WorkingCopy::TargetRpmFactor() const {
    const auto target = [this](int id) {
        for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i)
            if (sequence_[i].CommandID == id && IsPendingStatus(sequence_[i].Status))
                return sequence_[i].ActualValueSW;
        return commands_[id].ActualValueSW;
    };
    return RPMFactorFor(target(WorkingIds::RPMDivisor), target(WorkingIds::RPMTimes2));
}

void WorkingCopy::RescalePendingRpmEntries() {
    int factor = 0;
    for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i) {
        TSequenceRecord& entry = sequence_[i];
        if (!IsPendingStatus(entry.Status) || !CommandTable::IsValidId(entry.CommandID) ||
            !IsRPMParameter(commands_[entry.CommandID]))
            continue;
        if (factor == 0)
            factor = TargetRpmFactor();
        entry.ActualValueFW =
            RealToFixedDec(RoundHalfToEven(entry.ActualValueSW / factor),
                           std::clamp(commands_[entry.CommandID].DigitsValueFW, 0, 5));
    }
}

// ---------------------------------------------------------------- values that go together

QVector<QVector<int>> CoupledGroups(const CommandTable& table) {
    using namespace WorkingIds;
    QVector<int> gears{RPMDivisor, RPMTimes2, RPMLimiter};
    for (int gear = 1; gear <= 6; ++gear) {
        gears << PrimaryTeeth(gear) << SecondaryTeeth(gear) << Ratio(gear);
        if (gear >= 2)
            gears << DownShiftLimit(gear);
    }
    for (int id = 1; id <= CommandCount; ++id)
        if (IsRPMParameter(table[id]) && !gears.contains(id))
            gears << id;
    QVector<QVector<int>> groups{gears};
    for (const TimingGroupIds* timing : {&UpShiftTimingIds, &RecoveryUpShiftTimingIds}) {
        QVector<int> group{timing->preload, timing->cut, timing->timeout};
        if (timing->copy != 0)
            group << timing->copy;
        groups << group;
    }
    groups << QVector<int>{BikeGearbox, KartGearbox};
    return groups;
}

QSet<int> WithCoupledGroups(const CommandTable& table, const QSet<int>& ids) {
    QSet<int> all = ids;
    for (const QVector<int>& group : CoupledGroups(table)) {
        const bool touched =
            std::any_of(group.begin(), group.end(), [&](int id) { return ids.contains(id); });
        if (touched)
            for (int id : group)
                all.insert(id);
    }
    return all;
}

QVector<FollowingValue> WorkingCopy::FollowingValues(const QMap<int, double>& taken) const {
    NoWorkingCopyView view;
    WorkingCopy scratch(view);
    scratch.commands_ = commands_;
    scratch.rpmFactor_ = rpmFactor_;
    for (auto it = taken.cbegin(); it != taken.cend(); ++it)
        if (CommandTable::IsValidId(it.key()))
            scratch.commands_[it.key()].ActualValueSW = it.value();
    const CommandTable before = scratch.commands_;
    {
        Operation op(scratch, 0);
        scratch.SetRPMFactor();
        scratch.CalculateRatioRPM();
        for (const TimingGroupIds* group : {&UpShiftTimingIds, &RecoveryUpShiftTimingIds}) {
            const bool fits = RoundedInt(scratch.ShownValue(group->timeout)) >=
                              RoundedInt(scratch.ShownValue(group->preload)) +
                                  RoundedInt(scratch.ShownValue(group->cut));
            const bool copied = group->copy == 0 ||
                                scratch.ShownText(group->copy) == scratch.ShownText(group->preload);
            if (!fits || !copied)
                scratch.ApplyTimingRule(*group, group->preload);
        }
        op.Finish();
    }
    QVector<FollowingValue> following;
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& was = before[id];
        const TCommandRecord& now = scratch.commands_[id];
        if (was.SenderName1.isEmpty() ||
            ShownTextOf(was, was.ActualValueSW) == ShownTextOf(now, now.ActualValueSW))
            continue;
        following.append(FollowingValue{id, was.ActualValueSW, now.ActualValueSW});
    }
    return following;
}
