// What a transmission came to, told the user: a value refused by its limits,
// the entries the GCU did not answer, and after the store the read-back's
// outcome. Values it holds are stored and verified; a value it does not hold
// is listed (its entry is "M" again and its controls show what the GCU
// holds); without a read-back nothing is reported as stored.
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/UnitMain.h"

bool TFormMain::ReportTransmission(const TransmitOutcome& outcome) {
    using Stop = TransmitOutcome::Stop;
    using Check = TransmitOutcome::Check;
    ReportNotOnPcb(outcome.notOnPcb);
    if (outcome.stop == Stop::Refused && outcome.refused)
        ReportValueOutOfLimits(outcome.refused->refusal);
    if (outcome.stop == Stop::NoAnswer)
        ShowMessage(TranslateString(Msg::NoAnswer), TMsgDlgType::mtError);
    // A link lost during the run is told once; at the store, with the store
    // not verified below.
    if (outcome.stop == Stop::LinkLost && !outcome.storeSent)
        ShowMessage(TranslateString(Msg::LinkLost) + u'\n' +
                        TranslateString(Msg::ReadBackNotVerified),
                    TMsgDlgType::mtError);
    switch (outcome.check) {
    case Check::NotRun:
        return false;
    case Check::Verified:
        ShowMessage(TranslateString(Msg::ReadBackAllHeld));
        return true;
    case Check::NotHeld: {
        const QStringList lines = MismatchLines(outcome.mismatches, Commands, RPMFactorGLOB,
                                                TranslateString(Msg::ReadBackMissing));
        ShowMessage(TranslateString(Msg::ReadBackNotHeld) + u'\n' + MessageList(lines),
                    TMsgDlgType::mtWarning);
        return false;
    }
    case Check::Failed:
        break;
    }
    const QString notVerified = TranslateString(Msg::ReadBackNotVerified);
    QString failure = TranslateString(MessageOfWaitResult(outcome.readBack.wait));
    if (!outcome.readBack.malformed.isEmpty())
        failure = TranslateString(Msg::MalformedConfiguration) + u' ' +
                  (outcome.readBack.malformedPhrase ? PhraseText(*outcome.readBack.malformedPhrase)
                                                    : outcome.readBack.malformed);
    // A GCU that stays silent when the user has just been told it stopped
    // answering is not reported a second time: only that the store is not
    // verified.
    const bool silent = outcome.stop == Stop::NoAnswer &&
                        outcome.readBack.wait == WaitResult::TimedOut &&
                        outcome.readBack.malformed.isEmpty();
    ShowMessage(silent ? notVerified : failure + u'\n' + notVerified, TMsgDlgType::mtError);
    return false;
}
