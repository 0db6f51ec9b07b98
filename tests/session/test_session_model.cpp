// The one truth of the unit session, checked by random operation sequences
// against a simulated unit: typing, spin steps, coupled edits, discard and
// erase, loading a file, taking rows and restoring a point, transmitting and
// downloading, in any order. After every step the value a control shows, the
// value "Save Config." writes and the value a frame sends are one value;
// after every verified store the pages show what the unit holds; nothing
// outside its limits ever reaches the unit. A failing sequence is shrunk to
// a short one and printed.
#include "device/ConfigDump.h"
#include "device/DeviceFrames.h"
#include "device/UnitSession.h"
#include "model/ConfigComparison.h"
#include "model/DerivedValues.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/SequenceLoading.h"
#include "support/LoopbackGcu.h"
#include "ui/Inventory.h"
#include "util/UnitUtils.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <random>

namespace {

using qvtest::LoopbackGcu;
using qvtest::ShippedCommandTable;

enum class Op {
    Type,
    Step,
    Coupled,
    Discard,
    DiscardAll,
    Erase,
    EraseAll,
    LoadFile,
    Apply,
    Take,
    Restore,
    Transmit,
    TransmitAll,
    Download,
};
constexpr int OpCount = int(Op::Download) + 1;

const char* OpName(Op op) {
    static const char* const names[] = {"type",     "step",     "coupled edit", "discard",
                                        "discard all", "erase", "erase all",   "load file",
                                        "apply",    "take",     "restore",      "transmit",
                                        "transmit all", "download"};
    return names[int(op)];
}

// One step with its own random numbers, so that a sequence can be replayed
// with steps left out.
struct Step {
    Op op = Op::Type;
    quint32 a = 0;
    quint32 b = 0;
    double f = 0.0;
    QString Describe() const {
        return QStringLiteral("%1(a=%2 b=%3 f=%4)").arg(QLatin1String(OpName(op))).arg(a).arg(b).arg(f);
    }
};

// The commands a user can type into (bound, not read-only), and those of the
// coupled rules.
QVector<int> EditableIds(const CommandTable& table) {
    QVector<int> ids;
    for (const InventoryItem& item : MainWindowInventory()) {
        const int id = item.helpContext;
        if (!CommandTable::IsValidId(id) || table[id].Command.isEmpty() ||
            (item.flags & InventoryFlag::ReadOnly) || ids.contains(id))
            continue;
        if (item.kind == ControlKind::SpinEdit || item.kind == ControlKind::Edit ||
            item.kind == ControlKind::RadioGroup || item.kind == ControlKind::CheckBox)
            ids.append(id);
    }
    return ids;
}

const QVector<int> CoupledIds = {25, 7, 5, 61, 32, 43, 129, 130, 131, 134, 139, 140, 46, 76, 41, 157};

int ChoicesOf(const QString& name) {
    const InventoryItem* item = FindInventoryItem(name);
    if (!item)
        return 0;
    if (item->kind == ControlKind::CheckBox)
        return 2;
    if (item->kind == ControlKind::RadioGroup)
        return int(QString::fromUtf8(item->items).split(u'|', Qt::SkipEmptyParts).size());
    return 0;
}

// A world: the session, a simulated unit, the points read on the way.
class World {
  public:
    World() : session_(view_), unit_(ShippedCommandTable()) {
        CommandTable& table = session_.Commands();
        table = ShippedCommandTable();
        BindCommandsFromInventory(table);
        session_.Working().ShowDefaults();
        session_.Waiter().SetBusyIndicator({});
        unit_.Attach(session_);
        editable_ = EditableIds(table);
        // The unit starts from values of its own, within its limits.
        std::mt19937 rng(7);
        for (int id : editable_) {
            const TCommandRecord& row = table[id];
            if (row.SenderType != QLatin1String("TSpinEdit") || id == 46 || id == 76)
                continue;
            if (rng() % 4 == 0) {
                const double span = row.MaxValueFW - row.MinValueFW;
                unit_.Parameters().SetValue(
                    id, RealToFixedDec(row.MinValueFW + span * (rng() % 100) / 100.0,
                                       std::max(0, row.DigitsValueFW)));
            }
        }
    }

    // The step, then the checks; an empty text when all hold.
    QString Run(const Step& step) {
        try {
            Do(step);
        } catch (const QvException& error) {
            // A value refused by the window's own rules (not a number, limits)
            // ends the step, as the general error report would.
            Q_UNUSED(error);
        }
        return Check();
    }

    // The pending entries, for the report of a failing sequence.
    QString Entries() {
        QStringList lines;
        const ChangeSequence& sequence = session_.Sequence();
        for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i) {
            const TSequenceRecord& e = sequence[i];
            lines << QStringLiteral("%1 %2 %3 shown %4 sent %5 (row %6 / %7)")
                         .arg(i)
                         .arg(e.Status, e.Command)
                         .arg(e.ActualValueSW)
                         .arg(e.ActualValueFW)
                         .arg(Table()[e.CommandID].ActualValueSW)
                         .arg(Table()[e.CommandID].ActualValueFW);
        }
        return lines.join(QStringLiteral("\n      "));
    }

  private:
    CommandTable& Table() { return session_.Commands(); }
    WorkingCopy& Working() { return session_.Working(); }

    void Do(const Step& s) {
        switch (s.op) {
        case Op::Type:
            return Type(editable_[int(s.a % editable_.size())], s.f);
        case Op::Coupled:
            return Type(CoupledIds[int(s.a % CoupledIds.size())], s.f);
        case Op::Step: {
            const int ids[] = {WorkingIds::RPMLimiter, WorkingIds::RPMRecovery,
                               WorkingIds::MinimumBatteryVoltage};
            Working().Step(ids[s.a % 3], s.b % 2 == 0);
            return;
        }
        case Op::Discard:
            SelectRow(s.a);
            Working().DiscardSelected();
            return;
        case Op::DiscardAll:
            Working().DiscardAll();
            return;
        case Op::Erase:
            SelectRow(s.a);
            Working().EraseSelected();
            return;
        case Op::EraseAll:
            Working().EraseAll();
            return;
        case Op::LoadFile:
            return LoadFile(s);
        case Op::Apply:
            return Apply();
        case Op::Take:
            return Take(s, false);
        case Op::Restore:
            return Take(s, true);
        case Op::Transmit:
            SelectRow(s.a);
            return Transmit(false);
        case Op::TransmitAll:
            return Transmit(true);
        case Op::Download:
            if (!session_.Sequence().IsEmpty())
                Working().EraseAll();
            if (session_.Download().Ok())
                points_.append(*session_.Unit());
            verifiedStore_ = false;
            return;
        }
    }

    void SelectRow(quint32 a) {
        const int count = std::max(1, session_.Sequence().Count());
        session_.Rules().SelectGridRow(1 + int(a % count));
    }

    // What the user does in a control of command Id: a value anywhere in its
    // limits, now and then typed beyond them and held by the control.
    void Type(int id, double f) {
        const TCommandRecord& row = Table()[id];
        const int choices = ChoicesOf(row.SenderName1);
        if (choices > 0) {
            Working().Edit(id, std::min(choices - 1, int(f * choices)));
            return;
        }
        const double low = row.MinValueSW;
        const double high = row.MaxValueSW;
        const double typed = low + (high - low) * (f * 1.2 - 0.1);
        const double shown = HeldToDisplayLimits(row, ShownValueOf(row, typed));
        Working().Edit(id, shown, typed);
    }

    // A configuration file as "Save Config." writes one, of the working copy
    // with a few values changed within their limits (and, now and then, one
    // whose two forms disagree, which loading must refuse).
    void LoadFile(const Step& s) {
        std::mt19937 rng(s.a);
        const int pcb = session_.PCBVersion();
        RecordSeries<TCommandRecord> file;
        for (int id : ConfigRowsToSave(Table(), pcb))
            file.records.append(Table()[id]);
        const int changes = 1 + int(s.b % 4);
        for (int n = 0; n < changes && !file.records.isEmpty(); ++n) {
            TCommandRecord& r = file.records[int(rng() % file.records.size())];
            if (ChoicesOf(r.SenderName1) > 0 || IsRPMParameter(r))
                continue;
            const double fw = RealToFixedDec(
                r.MinValueFW + (r.MaxValueFW - r.MinValueFW) * (rng() % 101) / 100.0,
                std::max(0, r.DigitsValueFW));
            r.ActualValueFW = fw;
            r.ActualValueSW = FWValueToSWValue(Table(), r.ID, fw, session_.RPMFactor());
            if (s.f < 0.1)
                r.ActualValueFW = fw + 3; // a file at odds with itself
        }
        Working().ReplacingSequence([&] {
            LoadConfiguration(session_.Rules(), file, pcb, InventoryBoundControls(Table()));
        });
        AddFollowingValues();
    }

    // The loaded entries with what follows from them, as a user answering Yes.
    void AddFollowingValues() {
        QVector<TakenValue> loaded;
        for (int i = 1; i <= SequenceCount && session_.Sequence()[i].CommandID > 0; ++i) {
            const TSequenceRecord& e = session_.Sequence()[i];
            if (e.Status == StatusLetter::Loaded)
                loaded.append(TakenValue{e.CommandID, e.Command, e.ActualValueFW});
        }
        const TakenCheck check = CheckTakenValues(Working(), loaded);
        if (check.following.isEmpty())
            return;
        QVector<TakenValue> added;
        for (const TakenValue& v : WithFollowingValues(Table(), loaded, check))
            if (std::none_of(loaded.begin(), loaded.end(),
                             [&](const TakenValue& l) { return l.id == v.id && l.fw == v.fw; }))
                added.append(v);
        TakeIntoSequence(session_.Rules(), added, Working().TargetRpmFactor(),
                         InventoryBoundControls(Table()));
        Working().Reconcile();
    }

    void Apply() {
        const BoundControlLookup bound = InventoryBoundControls(Table());
        const int factor = Working().TargetRpmFactor();
        for (int i = 1; i <= SequenceCount && session_.Sequence()[i].CommandID > 0; ++i) {
            const TSequenceRecord& e = session_.Sequence()[i];
            if (e.Status == StatusLetter::Loaded && LoadedEntryFault(Table(), e, bound, factor)) {
                session_.Rules().SelectGridRow(i);
                Working().DiscardSelected();
            }
        }
        Working().ApplyLoadedEntries();
    }

    // Rows of an earlier point taken (with their coupled groups, the values
    // that follow them as a user answering Yes), or the whole point restored.
    void Take(const Step& s, bool restore) {
        if (points_.isEmpty())
            return;
        const UnitReading& point = points_[int(s.a % points_.size())];
        std::optional<ComparedColumn> unit;
        if (session_.Unit())
            unit = ColumnOfUnit(Table(), session_.Unit()->values);
        const Comparison comparison =
            CompareParameterSets(Table(), session_.PCBVersion(), session_.RPMFactor(), unit,
                                 ColumnOfWorkingCopy(Table(), session_.Sequence()),
                                 ColumnOfUnit(Table(), point.values));
        QVector<int> rows;
        if (restore) {
            rows = RowsToRestore(comparison);
        } else {
            for (int i = 0; i < comparison.rows.size(); ++i)
                if (comparison.rows[i].known && comparison.rows[i].workingVsChosen &&
                    (i + int(s.b)) % 3 == 0)
                    rows.append(i);
            rows = RowsWithCoupledGroups(comparison, Table(), rows);
        }
        QVector<TakenValue> values = ValuesToTake(comparison, rows, CompareColumn::Chosen);
        const TakenCheck check = CheckTakenValues(Working(), values);
        values = WithFollowingValues(Table(), values, check);
        TakeIntoSequence(session_.Rules(), values, Working().TargetRpmFactor(),
                         InventoryBoundControls(Table()));
        Working().Reconcile();
    }

    void Transmit(bool all) {
        const int framesBefore = int(unit_.frames.size());
        const TransmitOutcome outcome = session_.Transmit(all);
        verifiedStore_ = outcome.check == TransmitOutcome::Check::Verified;
        sent_ = unit_.frames.mid(framesBefore);
    }

    // ---------------------------------------------------------------- the checks

    QString Check() {
        CommandTable& table = Table();
        const int factor = session_.RPMFactor();
        for (int id = 1; id <= CommandCount; ++id) {
            const TCommandRecord& row = table[id];
            if (row.SenderName1.isEmpty() || row.Command.isEmpty())
                continue;
            // What the control shows is what "Save Config." writes.
            const double saved = FirmwareValueOf(table, id, ShownValueOf(row, row.ActualValueSW), factor);
            if (!SameAtFirmwareDigits(saved, row.ActualValueFW, row.DigitsValueFW))
                return QStringLiteral("[%1] shows %2, its row holds %3 for the GCU (%4 at the factor %5)")
                    .arg(row.Command)
                    .arg(ShownTextOf(row, row.ActualValueSW))
                    .arg(row.ActualValueFW)
                    .arg(saved)
                    .arg(factor);
        }
        const ChangeSequence& sequence = session_.Sequence();
        const int target = Working().TargetRpmFactor();
        for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i) {
            const TSequenceRecord& e = sequence[i];
            if (!IsPendingStatus(e.Status))
                continue;
            const TCommandRecord& row = table[e.CommandID];
            // The frame carries what the grid shows.
            QString frame;
            try {
                frame = session_.Rules().TransmitFrameText(i);
            } catch (const EValueOutOfLimits&) {
                continue; // never sent
            }
            static const QRegularExpression number(QStringLiteral("\\[\\w+ ([^\\]]+)\\]"));
            const double framed = number.match(frame).captured(1).toDouble();
            const double shown = FirmwareValueOf(table, e.CommandID, ShownValueOf(row, e.ActualValueSW), target);
            if (!SameAtFirmwareDigits(framed, shown, row.DigitsValueFW))
                return QStringLiteral("entry %1 [%2] shows %3 but sends %4 (%5 at the factor %6)")
                    .arg(i)
                    .arg(row.Command)
                    .arg(ShownTextOf(row, e.ActualValueSW))
                    .arg(framed)
                    .arg(shown)
                    .arg(target);
            // A change the user made is what its control shows; only a value
            // the unit was sent but does not hold is sent again while its
            // control shows what the unit holds, as a value read.
            const bool notHeld = row.Status == StatusLetter::Read &&
                                 SameAtFirmwareDigits(e.PreviousValueFW, row.ActualValueFW,
                                                      row.DigitsValueFW);
            if (e.Status == StatusLetter::Modified && !notHeld &&
                ShownTextOf(row, e.ActualValueSW) != ShownTextOf(row, row.ActualValueSW))
                return QStringLiteral("entry %1 [%2] is %3, its control shows %4")
                    .arg(i)
                    .arg(row.Command, ShownTextOf(row, e.ActualValueSW),
                         ShownTextOf(row, row.ActualValueSW));
        }
        if (unit_.refusedWrites > 0)
            return QStringLiteral("the unit refused a value outside its limits: %1")
                .arg(QString::fromLatin1(sent_.join(' ')));
        if (verifiedStore_) {
            // After a verified store the pages show what the unit holds.
            verifiedStore_ = false;
            for (int id = 1; id <= CommandCount; ++id) {
                const TCommandRecord& row = table[id];
                const std::optional<double> held = unit_.Parameters().ValueOfCommand(id);
                if (!held || row.SenderName1.isEmpty() || row.ReadFromGCUID <= 0 ||
                    id == 15 || !IsVisibleOnPcb(row, session_.PCBVersion()))
                    continue;
                const int at = sequence.FindForCapture(id);
                if (at > 0 && IsPendingStatus(sequence[at].Status))
                    continue;
                if (!SameAtFirmwareDigits(*held, row.ActualValueFW, row.DigitsValueFW))
                    return QStringLiteral("after a verified store [%1] shows %2 (%3), the unit holds %4")
                        .arg(row.Command, ShownTextOf(row, row.ActualValueSW))
                        .arg(row.ActualValueFW)
                        .arg(*held);
            }
        }
        return {};
    }

    NoWorkingCopyView view_;
    UnitSession session_;
    LoopbackGcu unit_;
    QVector<int> editable_;
    QVector<UnitReading> points_;
    bool verifiedStore_ = false;
    QList<QByteArray> sent_;
};

struct Failure {
    int failedAt = -1; // the step after which a check failed; -1: none
    QString why;
    QString entries; // the sequence at that moment
};

Failure Replay(const std::vector<Step>& steps) {
    World world;
    for (int i = 0; i < int(steps.size()); ++i) {
        const QString why = world.Run(steps[size_t(i)]);
        if (!why.isEmpty())
            return Failure{i, why, world.Entries()};
    }
    return {};
}

// Steps left out one at a time, as long as the sequence still fails.
std::vector<Step> Shrink(std::vector<Step> steps) {
    bool shorter = true;
    while (shorter) {
        shorter = false;
        for (int i = int(steps.size()) - 1; i >= 0; --i) {
            std::vector<Step> without = steps;
            without.erase(without.begin() + i);
            if (Replay(without).failedAt >= 0) {
                steps = without;
                shorter = true;
            }
        }
    }
    return steps;
}

std::vector<Step> RandomSequence(std::mt19937& rng, int length) {
    // Downloads, transmissions and edits are the common steps.
    static const Op weighted[] = {
        Op::Type,     Op::Type,     Op::Type,        Op::Coupled,  Op::Coupled, Op::Step,
        Op::Discard,  Op::DiscardAll, Op::Erase,     Op::EraseAll, Op::LoadFile, Op::Apply,
        Op::Take,     Op::Restore,  Op::Transmit,    Op::TransmitAll, Op::TransmitAll,
        Op::Download, Op::Download};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Step> steps;
    for (int i = 0; i < length; ++i) {
        Step step;
        step.op = weighted[rng() % std::size(weighted)];
        step.a = rng();
        step.b = rng();
        step.f = unit(rng);
        steps.push_back(step);
    }
    return steps;
}

TEST(UnitSessionModel, randomOperationSequences_keepShownSavedAndSentValuesOneAndTheUnitsValuesShown) {
    const int sequences = qEnvironmentVariableIntValue("QV_MODEL_SEQUENCES") > 0
                              ? qEnvironmentVariableIntValue("QV_MODEL_SEQUENCES")
                              : 2000;
    const int seed = qEnvironmentVariableIntValue("QV_MODEL_SEED") > 0
                         ? qEnvironmentVariableIntValue("QV_MODEL_SEED")
                         : 20261210;
    std::mt19937 rng(seed);
    int stepsRun = 0;
    for (int n = 0; n < sequences; ++n) {
        const std::vector<Step> steps = RandomSequence(rng, 1 + int(rng() % 30));
        stepsRun += int(steps.size());
        const Failure failure = Replay(steps);
        if (failure.failedAt < 0)
            continue;
        std::vector<Step> shown(steps.begin(), steps.begin() + failure.failedAt + 1);
        shown = Shrink(shown);
        QStringList lines;
        for (const Step& step : shown)
            lines << step.Describe();
        const Failure shrunk = Replay(shown);
        FAIL() << "seed " << seed << ", sequence " << n << ": " << shrunk.why.toStdString()
               << "\n  shrunk to "
               << shown.size() << " steps:\n    "
               << lines.join(QStringLiteral("\n    ")).toStdString()
               << "\n  entries then:\n      " << shrunk.entries.toStdString();
    }
    EXPECT_GT(stepsRun, sequences);
}

} // namespace
