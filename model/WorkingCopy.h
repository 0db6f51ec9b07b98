#pragma once
// The working copy the pages show: one display value per command (the command
// row's ActualValueSW), from which the shown text, the GCU value and the
// values derived from it all follow; the change sequence of what is not yet
// in the unit; and the rules that keep them one. Every edit, spin-button
// step, discard, erase and apply goes through here, so that what a control
// shows, what "Save Config." writes and what a frame sends are the same
// value. Widget-free: the window is a view that shows what it is told to, and
// the command-line front end drives the same rules without one.
#include "model/CommandTable.h"
#include "model/Sequence.h"
#include "model/SequenceController.h"
#include "model/UnitValues.h"
#include "util/StringGridModel.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

// Commands that other values follow.
namespace WorkingIds {
constexpr int MinimumBatteryVoltage = 1;
constexpr int RPMDivisor = 46;
constexpr int RPMTimes2 = 76;
constexpr int RPMLimiter = 98;
constexpr int RPMRecovery = 161;
constexpr int BikeGearbox = 41;
constexpr int KartGearbox = 157;
// Gear I (1..6): primary and secondary teeth, ratio, and (2..6) the down-shift limit.
constexpr int PrimaryTeeth(int gear) { return 129 + 2 * (gear - 1); }
constexpr int SecondaryTeeth(int gear) { return 130 + 2 * (gear - 1); }
constexpr int Ratio(int gear) { return 16 + gear; }
constexpr int DownShiftLimit(int gear) { return 54 + gear; }
// The barrel sensor's range and the millivolt values shown in degrees.
constexpr int SensorMinimum = 143;
constexpr int SensorMaximum = 144;
bool HasBarrelDegrees(int id);
} // namespace WorkingIds

// A coupled timing group: the actuation timeout is never shorter than the
// pre-load time plus the engine-cut time. The up-shift pre-load is shown once
// more in the HSA strategy (Copy).
struct TimingGroupIds {
    int preload = 0;
    int cut = 0;
    int timeout = 0;
    int copy = 0; // 0 = none
};
inline constexpr TimingGroupIds UpShiftTimingIds{25, 7, 5, 33};
inline constexpr TimingGroupIds RecoveryUpShiftTimingIds{61, 32, 43, 0};

// The commands whose values only make sense together: the gear teeth, the
// ratios and down-shift limits that follow from them with the RPM limiter and
// the RPM factor (so every RPM value), each coupled timing group, and the two
// gearbox choices. Taking one value of a group from a point or a file takes
// its group.
QVector<QVector<int>> CoupledGroups(const CommandTable& table);
// Ids and every command of the groups they belong to.
QSet<int> WithCoupledGroups(const CommandTable& table, const QSet<int>& ids);

// A value taken that is not what the rules make of the values taken with it.
struct FollowingValue {
    int id = 0;
    double taken = 0.0;     // display units: the value as taken (or shown)
    double following = 0.0; // what the rules give
};

// Why a value became other than the user gave it.
enum class EditNoticeReason {
    AboveMaximum,  // typed above the command's maximum: the maximum is kept
    BelowMinimum,  // typed below its minimum: the minimum is kept
    GcuStep,       // the GCU holds the value in steps: the nearest step is kept
    CoupledTiming, // the actuation timeout must hold pre-load plus engine cut
    Gearbox,       // bike and kart gearbox exclude each other
};

struct EditNotice {
    int id = 0;          // the command whose value changed
    double given = 0.0;  // what was typed, or what it showed before the rule
    double became = 0.0; // what it shows now (display units)
    EditNoticeReason reason = EditNoticeReason::AboveMaximum;
    int causeId = 0; // a coupled change: the command the user changed
};

// The window's side: besides the sequence's colours and selection, the rows'
// values into their controls and the displays that only follow from values.
class WorkingCopyView : public SequenceView {
  public:
    // Rows Ids into their controls as the command table holds them, with
    // change capture silenced.
    virtual void ShowValues(const QVector<int>& ids) = 0;
    // The barrel degrees and the RPM controls' step and limits.
    virtual void ShowDerivedDisplays() = 0;
};

// A view that shows nothing: the command-line front end and the tests of the
// rules alone.
class NoWorkingCopyView : public WorkingCopyView {
  public:
    void SetControlColor(const QString&, const QString&, quint32) override {}
    void WriteControlValues(const QVector<ControlValueWrite>&) override {}
    int CurrentPageIndex() const override { return 0; }
    void ShowPage(int) override {}
    void SetGridSelectedRow(int) override {}
    StringGridModel& SequenceGrid() override { return grid_; }
    void EnableControls() override {}
    void ShowValues(const QVector<int>&) override {}
    void ShowDerivedDisplays() override {}

  private:
    StringGridModel grid_{SequenceGridColumns, SequenceCount + 1};
};

// How a value is shown by its control's kind (spin edit, edit, radio group,
// check box): the text the user sees, which decides whether a write changes
// anything.
QString ShownTextOf(const TCommandRecord& row, double displayValue);
// The value a shown text stands for: what the shown value is when read back.
double ShownValueOf(const TCommandRecord& row, double displayValue);
// The GCU value of a display value: scaled with the RPM factor and written
// with the command's firmware digits, as a frame carries it.
double FirmwareValueOf(const CommandTable& commands, int id, double displayValue, int rpmFactor);
// The display value the GCU actually holds for a display value: through its
// GCU value and back, as shown. A value the GCU takes as it is comes back
// unchanged; 12010 RPM at 60 RPM a unit comes back as 12000.
double HeldDisplayValueOf(const CommandTable& commands, int id, double displayValue,
                          int rpmFactor);
// A display value held to the row's display limits (none when the two are equal).
double HeldToDisplayLimits(const TCommandRecord& row, double displayValue);

class WorkingCopy {
  public:
    explicit WorkingCopy(WorkingCopyView& view);
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    CommandTable& Commands() { return commands_; }
    const CommandTable& Commands() const { return commands_; }
    ChangeSequence& Sequence() { return sequence_; }
    const ChangeSequence& Sequence() const { return sequence_; }
    SequenceController& Rules() { return rules_; }
    WorkingCopyView& View() { return view_; }

    // Display RPM per GCU unit of the RPM parameters (RPMFactorGLOB), as the
    // divisor and "x 2" now shown give it.
    int RpmFactor() const { return rpmFactor_; }
    int& RpmFactorRef() { return rpmFactor_; }

    // Before anything is read: every row holds its default, the RPM rows
    // follow the factor the defaults give. Nothing is captured.
    void ShowDefaults();

    // ------------------------------------------------------------ the user's edits
    // Command Id's control now shows Value (already held to the control's
    // limits); Typed is what the user typed when the control held it. The
    // change is captured, the rules that follow from it run, and every value
    // they change is shown. Notices say what became other than typed.
    void Edit(int id, double value, std::optional<double> typed = std::nullopt);
    // One step of the RPM limiter, RPM recovery or minimum battery voltage
    // spin button; false when the step would leave the command's limits.
    bool Step(int id, bool up);
    // "Discard", "Discard All", "Erase", "Erase All": every form of the value
    // goes back (shown, GCU), and so do the changes a rule made of the edit
    // (its ratios and limits, coupled timings, re-expressed RPM values).
    bool DiscardSelected();
    void DiscardAll();
    void EraseSelected();
    void EraseAll();
    // "Apply Config.": loaded entries into their controls as edits. Returns
    // the entries that could not be applied (their command is not shown).
    void ApplyLoadedEntries();
    // The derived values follow the values shown again where an input of
    // theirs is a pending change (after values went back, or entries were
    // loaded); a unit's own values are left as it holds them.
    void Reconcile();
    // Replace runs (a load that replaces the sequence); the edits it reverts
    // take what followed from them along.
    void ReplacingSequence(const std::function<void()>& replace);

    // ------------------------------------------------------------ values of the unit
    // The unit holds Values (GCU units): rows without a pending change ("M" or
    // "L") show them, scaled with the factor the unit's own divisor gives;
    // status "A". Rows with a pending change keep it. Returns the rows shown.
    QVector<int> TakeUnitValues(const UnitValues& values);
    // A calibration step taught the unit Id's value.
    void ValueLearned(int id, double valueFW);

    // With Taken (command ID -> display value) over the values shown: the
    // values that follow from them by the rules (ratios and down-shift limits,
    // RPM values at the factor the divisor gives, the coupled timings) where
    // they are not what is taken or shown. Nothing changes here.
    QVector<FollowingValue> FollowingValues(const QMap<int, double>& taken) const;

    // Notices since the last call (the window shows them, then they are gone).
    QVector<EditNotice> TakeNotices();

    // Runs when an operation has ended and shown what it changed.
    std::function<void()> changed;

    // The RPM factor after every pending change is sent: the divisor and "x 2"
    // of a pending entry, else as shown.
    int TargetRpmFactor() const;
    // Pending RPM entries' GCU values follow the factor they will be sent under.
    void RescalePendingRpmEntries();

  private:
    class Operation;
    friend class Operation;
    double ShownValue(int id) const;
    QString ShownText(int id) const;
    void WriteShown(int id, double value, int causeId, EditNoticeReason reason);
    void Notify(int id);
    void Capture(int id);
    void ApplyTimingRule(const TimingGroupIds& group, int changedId);
    void CalculateRatioRPM(bool onlyWherePending = false);
    void SetRPMFactor();
    bool HasPendingChange(int id) const;
    void ApplyLoadedRpmFactor();
    void GoBackOnCaused(int causeId, bool erase);
    void Notice(const EditNotice& notice);

    CommandTable commands_;
    ChangeSequence sequence_;
    WorkingCopyView& view_;
    SequenceController rules_;
    int rpmFactor_ = 60;
    // While an operation runs: values shown but not yet captured, the rows
    // that changed, and the user's command a rule follows.
    QMap<int, double> shown_;
    QSet<int> changed_;
    QMap<int, std::optional<double>> firmwareOverride_;
    int operationDepth_ = 0;
    bool captured_ = false;
    int userCommand_ = 0;
    QVector<EditNotice> notices_;
};
