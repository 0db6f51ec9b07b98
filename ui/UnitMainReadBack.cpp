// Read-back after store: once a transmission run has stored its values, the
// configuration is read back silently and every value sent in the run is
// compared with what the GCU holds. Values it holds stay "T" and the user is
// told they are stored; a value it does not hold goes back to "M", its
// controls show what the GCU holds, and one message lists them. Without a
// read-back nothing is reported as stored.
#include "device/ConfigDump.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"

bool TFormMain::ReadBackAfterStore(StoreReadBack& run, bool silenceAlreadyReported) {
    if (run.NothingSent())
        return false;
    const std::optional<CommandTable> held = ReadBackConfiguration(silenceAlreadyReported);
    if (!held)
        return false; // reported
    run.SetHeldValues(DumpedValues(*held));
    const QVector<ReadBackMismatch> mismatches = run.Mismatches(Commands);
    // What the unit holds now; kept as the point "stored" only when verified.
    if (readBackReading_)
        RestorePoints().ReadBack(*readBackReading_, mismatches.isEmpty());
    if (mismatches.isEmpty()) {
        ShowMessage(TranslateString(Msg::ReadBackAllHeld));
        return true;
    }
    for (const ReadBackMismatch& mismatch : mismatches) {
        const int at = Sequence.FindForCapture(mismatch.commandId);
        if (at > 0 && Sequence[at].Status == StatusLetter::Transmitted)
            SequenceRules.MarkNotHeld(at, mismatch.heldFW);
    }
    EnableControls();
    const QStringList lines =
        MismatchLines(mismatches, Commands, RPMFactorGLOB, TranslateString(Msg::ReadBackMissing));
    ShowMessage(TranslateString(Msg::ReadBackNotHeld) + u'\n' + MessageList(lines),
                TMsgDlgType::mtWarning);
    return false;
}

// The dump, applied to a copy of the command table only: the window's own
// rows and controls stay as they are. Empty, after the report, when no whole
// dump came. A GCU that stays silent when the user has just been told it
// stopped answering is not reported a second time: only that the store is not
// verified.
std::optional<CommandTable> TFormMain::ReadBackConfiguration(bool silenceAlreadyReported) {
    readBackDump_.reset();
    readBackReading_.reset();
    readingBack_ = true;
    WaitResult result = WaitResult::TimedOut;
    try {
        result = Exchange().RequestConfigDump(MaxDumpLength(ExpectedDumpFieldCount(Commands)));
    } catch (...) {
        readingBack_ = false;
        throw;
    }
    readingBack_ = false;
    SyncLinkGlobals();
    const QString notVerified = TranslateString(Msg::ReadBackNotVerified);
    QString failure;
    switch (result) {
    case WaitResult::Completed:
        break;
    case WaitResult::TimedOut:
        failure = TranslateString(Msg::NoAnswer);
        break;
    case WaitResult::Unusable:
        failure = TranslateString(Msg::MalformedConfiguration);
        break;
    case WaitResult::LinkLost:
        failure = TranslateString(Msg::LinkLost);
        break;
    }
    if (failure.isEmpty() && readBackDump_) {
        CommandTable copy = Commands;
        const ConfigDumpResult parsed =
            ApplyConfigDump(*readBackDump_, copy, RPMFactorGLOB, PCBVersionGLOB, 0);
        if (parsed.ok) {
            readBackReading_ = ReadingOfDump(copy, parsed);
            return copy;
        }
        failure = TranslateString(Msg::MalformedConfiguration) + u' ' +
                  (parsed.problem ? PhraseText(*parsed.problem) : parsed.error);
    } else if (failure.isEmpty()) {
        failure = TranslateString(Msg::NoAnswer);
    }
    const bool silent = result == WaitResult::TimedOut && silenceAlreadyReported;
    ShowMessage(silent ? notVerified : failure + u'\n' + notVerified, TMsgDlgType::mtError);
    return std::nullopt;
}
