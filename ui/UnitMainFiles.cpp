// Configuration files (*.QCF, or as text *.qvt) and sequence files (*.QSQ) in
// the window: the four buttons of the sequence page, their questions and file
// dialogs, and the reports after a load. What a file holds and how its records
// become entries is decided in RecordFiles, ConfigText and SequenceLoading;
// this file asks, picks the file and tells the user what happened.
#include "model/ConfigComparison.h"
#include "model/ConfigText.h"
#include "model/RecordFiles.h"
#include "model/SequenceLoading.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"
#include "util/UnitUtils.h"

#include <QFileInfo>

namespace {

struct RecordFileKind {
    const char* filter;
    const char* defaultExt;
};
// A configuration is kept as records or as text (*.qvt), by the file's suffix;
// a load shows both kinds at first.
constexpr RecordFileKind ConfigurationFiles{
    "Quarventa Configuration File|*.QCF|Quarventa Configuration Text|*.qvt", "QCF"};
constexpr RecordFileKind ConfigurationFilesToLoad{
    "Quarventa Configuration|*.QCF;*.qvt|Quarventa Configuration File|*.QCF|"
    "Quarventa Configuration Text|*.qvt",
    "QCF"};
constexpr RecordFileKind SequenceFiles{"Quarventa Sequence File|*.QSQ", "QSQ"};

bool ButtonEnabled(const TFormMain& form, const char* name) {
    return form.Control<TButton>(QString::fromLatin1(name)).isEnabled();
}

// Without a PCB version the selection by version cannot be made; the user
// decides whether to go on.
bool MayGoOnWithoutPcbVersion(const TFormMain& form) {
    if (form.PCBVersionGLOB != 0)
        return true;
    return AskYesNo(form.TranslateString(Msg::NoPcbVersion), TMsgDlgType::mtWarning);
}

// The dialog is set up anew each time, starting in CFG/. False on cancel.
bool ChooseRecordFile(TFileDialogComponent& dialog, const RecordFileKind& kind, QString& fileName) {
    dialog.Title.clear();
    dialog.InitialDir = CfgFolder() + QLatin1Char('/');
    dialog.Filter = QString::fromLatin1(kind.filter);
    dialog.DefaultExt = QString::fromLatin1(kind.defaultExt);
    dialog.FileName.clear();
    if (!dialog.Execute())
        return false;
    fileName = dialog.FileName;
    return !fileName.isEmpty();
}

QString WithoutFolder(const QString& fileName) {
    return QFileInfo(fileName).fileName();
}

ReplaceAnswer ReplaceAnswerOf(TModalResult result) {
    switch (result) {
    case mrYes:
        return ReplaceAnswer::Yes;
    case mrNo:
        return ReplaceAnswer::No;
    case mrYesToAll:
        return ReplaceAnswer::YesToAll;
    case mrNoToAll:
        return ReplaceAnswer::NoToAll;
    default:
        return ReplaceAnswer::Cancel; // the Cancel button, or the box closed
    }
}

// A file may repeat a command many times: besides Yes and No the question
// offers the same answer for all that follow, and Cancel, which loads nothing.
ReplaceAsker ReplaceQuestionOf(const TFormMain& form) {
    return [&form](const ReplaceQuestion& question) {
        const QString text =
            ComposeReplaceQuestion(form.TranslateString(Msg::ReplaceAlreadyHolds),
                                   form.TranslateString(Msg::ReplaceAlreadyHolds + 1),
                                   form.TranslateString(Msg::ReplaceAlreadyHolds + 2),
                                   form.TranslateString(Msg::ReplaceAlreadyHolds + 3), question);
        return ReplaceAnswerOf(Dialogs().MessageDlg(
            text, TMsgDlgType::mtWarning, mbYes | mbNo | mbYesToAll | mbNoToAll | mbCancel));
    };
}

// A file plainly not of its kind is refused with what is wrong with it, in
// the user's language; other read errors give the system's text.
void ReportFileNotLoaded(const TFormMain& form, const EInOutError& error) {
    QString reason = form.ReasonText(error);
    if (const auto* refused = dynamic_cast<const ERecordFileRefused*>(&error)) {
        const int message = refused->Reason() == ERecordFileRefused::Why::NotWholeRecords
                                ? Msg::FileNotWholeRecords
                                : Msg::FileTooManyRecords;
        reason = form.TranslateString(message) + WithoutFolder(refused->FileName());
    }
    ShowMessage(form.TranslateString(Msg::FileNotLoaded) + reason, TMsgDlgType::mtError);
}

// After a load, one report: message N names the file (or, when the load took
// nothing, what it found instead), how many of its records were loaded, and
// the records left out with why; the grid shows the new entries and the
// buttons fit the new sequence.
void ReportLoaded(TFormMain& form, int message, const QString& fileName, int recordCount,
                  int loaded, const QVector<LeftOutRecord>& leftOut) {
    form.Control<TStringGrid>(QStringLiteral("SGSequence")).viewport()->update();
    QString text;
    if (recordCount == 0)
        text = form.TranslateString(Msg::FileHoldsNoRecords) + WithoutFolder(fileName);
    else if (loaded == 0)
        text = form.TranslateString(Msg::NoRecordLoaded) + WithoutFolder(fileName);
    else
        text = form.TranslateString(message) + WithoutFolder(fileName) + QStringLiteral("\n\n") +
               form.TranslateString(Msg::FileLoadCounts).arg(loaded).arg(recordCount);
    if (!leftOut.isEmpty())
        text += QStringLiteral("\n\n") + form.LeftOutRecordsText(leftOut);
    const bool warn = loaded == 0 || !leftOut.isEmpty();
    ShowMessage(text, warn ? TMsgDlgType::mtWarning : TMsgDlgType::mtInformation);
    form.EnableControls();
}

// What the header of a configuration text says of the connected unit.
ConfigTextHeader ConfigTextHeaderOf(const TFormMain& form) {
    ConfigTextHeader header;
    if (!form.SerialConnectedGLOB)
        return header;
    header.unitName = form.Session.UnitName(); // "" while the unit is not known by name
    if (const std::optional<UnitReading>& unit = form.Session.Unit()) {
        header.firmware = unit->firmware;
        header.pcbVersion = unit->pcbText;
        header.reboots = unit->reboots;
    }
    return header;
}

} // namespace

// A control named in a file is accepted only when the binding tied it to that
// command and it is of the kind the record says: anything else could be
// neither coloured nor applied. A radio group takes only its items, a check
// box 0 and 1.
BoundControlLookup TFormMain::BoundControls() const {
    return [this](const QString& controlName, const QString& controlType,
                  int commandId) -> std::optional<BoundControl> {
        if (!CommandTable::IsValidId(commandId) || controlName.isEmpty())
            return std::nullopt;
        const TCommandRecord& row = Commands[commandId];
        if (controlName != row.SenderName1 && controlName != row.SenderName2)
            return std::nullopt;
        const QObject* control = FindComponent(controlName);
        if (!control || ClassName(control) != controlType)
            return std::nullopt;
        if (const auto* radio = qobject_cast<const TRadioGroup*>(control))
            return BoundControl{static_cast<int>(radio->Items().size())};
        if (qobject_cast<const TCheckBox*>(control))
            return BoundControl{2};
        return BoundControl{};
    };
}

// The count the message asks for, then one line per record saying why.
QString TFormMain::LeftOutRecordsText(const QVector<LeftOutRecord>& leftOut) const {
    QStringList lines;
    for (const LeftOutRecord& record : leftOut)
        lines << PhraseText(LeftOutRecordPhrase(record));
    return TranslateString(Msg::RecordsLeftOut) + QString::number(leftOut.size()) +
           QStringLiteral("\n\n") + MessageList(lines);
}

void TFormMain::ReportLeftOutRecords(const QVector<LeftOutRecord>& leftOut) {
    if (leftOut.isEmpty())
        return;
    ShowMessage(LeftOutRecordsText(leftOut), TMsgDlgType::mtWarning);
}

// ---------------------------------------------------------------- values that go together

namespace {
QString ParameterText(const TCommandRecord& row) {
    QString name = u'[' + row.Command + u']';
    if (!row.Description.isEmpty())
        name += u' ' + row.Description;
    return name;
}

QString DisplayValueText(const TCommandRecord& row, double value) {
    QString text = RealToStrDec(value, std::max(0, row.DigitsValueSW));
    if (!row.MeasureUnitSW.isEmpty())
        text += u' ' + row.MeasureUnitSW;
    return text;
}
} // namespace

// Values taken from a point or a file are checked against the rules that tie
// them to others (ratios and down-shift limits, RPM values and the factor,
// coupled timings) before anything is sent. Where they disagree the user
// chooses: the values that follow as the pages compute them, everything as
// it is, or (Cancellable) nothing.
std::optional<QVector<TakenValue>> TFormMain::ResolveFollowingValues(QVector<TakenValue> values,
                                                                     bool cancellable) {
    const TakenCheck check = CheckTakenValues(Session.Working(), values);
    if (check.following.isEmpty())
        return values;
    QStringList lines;
    for (const FollowingValue& value : check.following) {
        const TCommandRecord& row = Commands[value.id];
        lines << TranslateString(Msg::CoupledValueLine)
                     .arg(ParameterText(row), DisplayValueText(row, value.taken),
                          DisplayValueText(row, value.following));
    }
    const QString text =
        TranslateString(Msg::CoupledValuesQuestion) + u'\n' + MessageList(lines) +
        QStringLiteral("\n\n") +
        TranslateString(cancellable ? Msg::CoupledValuesChoice : Msg::CoupledValuesLoadChoice);
    const TModalResult answer = Dialogs().MessageDlg(
        text, TMsgDlgType::mtWarning, cancellable ? mbYes | mbNo | mbCancel : mbYes | mbNo);
    if (answer == mrNo)
        return values;
    if (answer != mrYes)
        return std::nullopt;
    return WithFollowingValues(Commands, values, check);
}

// After a file's entries were loaded: where they disagree with what follows
// from them, the user chooses, and the values that follow join the entries.
void TFormMain::CheckLoadedFollowingValues() {
    QVector<TakenValue> loaded;
    for (int i = 1; i <= SequenceCount && Sequence[i].CommandID > 0; ++i)
        if (Sequence[i].Status == StatusLetter::Loaded)
            loaded.append(
                TakenValue{Sequence[i].CommandID, Sequence[i].Command, Sequence[i].ActualValueFW});
    if (loaded.isEmpty())
        return;
    const std::optional<QVector<TakenValue>> decided = ResolveFollowingValues(loaded, false);
    if (!decided || decided->size() == loaded.size())
        return;
    QVector<TakenValue> added;
    for (const TakenValue& value : *decided)
        if (std::none_of(loaded.begin(), loaded.end(),
                         [&](const TakenValue& l) { return l.id == value.id && l.fw == value.fw; }))
            added.append(value);
    TakeIntoSequence(SequenceRules, added, Session.Working().TargetRpmFactor(), BoundControls());
    Session.Working().Reconcile();
}

// ---------------------------------------------------------------- configuration files

void TFormMain::BSaveConfigClick(QObject*) {
    if (!ButtonEnabled(*this, "BSaveConfig") || !MayGoOnWithoutPcbVersion(*this))
        return;
    QString fileName;
    if (!ChooseRecordFile(*SaveDialog, ConfigurationFiles, fileName))
        return;
    if (IsConfigTextFile(fileName))
        SaveConfigTextFile(fileName, Commands, PCBVersionGLOB, ConfigTextHeaderOf(*this));
    else
        SaveConfigFile(fileName, Commands, PCBVersionGLOB);
    ShowMessage(TranslateString(Msg::ConfigSaved) + WithoutFolder(fileName));
    EnableControls();
}

// The file's records become "L" entries in place of the whole sequence; the
// controls and the command table keep their values until "Apply Config.". A
// file of which nothing can be taken changes nothing.
void TFormMain::BLoadConfigClick(QObject*) {
    if (!ButtonEnabled(*this, "BLoadConfig") || !MayGoOnWithoutPcbVersion(*this))
        return;
    if (!Sequence.IsEmpty() &&
        !AskYesNo(TranslateString(Msg::LoadConfigReplacesSequence), TMsgDlgType::mtConfirmation))
        return;
    QString fileName;
    if (!ChooseRecordFile(*OpenDialog, ConfigurationFilesToLoad, fileName))
        return;
    ConfigLoadResult result;
    try {
        // The edits the load replaces go back, and what followed from them too.
        Session.Working().ReplacingSequence([&] {
            result = IsConfigTextFile(fileName)
                         ? LoadConfigurationTextFile(SequenceRules, fileName, PCBVersionGLOB,
                                                     BoundControls())
                         : LoadConfigurationFile(SequenceRules, fileName, PCBVersionGLOB,
                                                 BoundControls());
        });
    } catch (const EInOutError& error) {
        ReportFileNotLoaded(*this, error);
        return;
    }
    if (result.taken > 0)
        CheckLoadedFollowingValues();
    if (result.taken > 0)
        Session.FileLoaded(fileName);
    ReportLoaded(*this, Msg::ConfigLoaded, fileName, result.recordCount, result.taken,
                 result.leftOut);
}

// ---------------------------------------------------------------- sequence files

void TFormMain::BSequenceSaveClick(QObject*) {
    if (!ButtonEnabled(*this, "BSequenceSave"))
        return;
    QString fileName;
    if (!ChooseRecordFile(*SaveDialog, SequenceFiles, fileName))
        return;
    SaveSequenceFile(fileName, Sequence);
    ShowMessage(TranslateString(Msg::SequenceSaved) + WithoutFolder(fileName));
    EnableControls();
}

// The file's records join the sequence: a command that already has an entry
// is replaced only when the user says so, the others follow the entries.
// Cancelling a replace question loads nothing, and says nothing more.
void TFormMain::BSequenceLoadClick(QObject*) {
    if (!ButtonEnabled(*this, "BSequenceLoad"))
        return;
    if (!Sequence.IsEmpty() &&
        !AskYesNo(TranslateString(Msg::LoadSequenceAddsToSequence), TMsgDlgType::mtConfirmation))
        return;
    QString fileName;
    if (!ChooseRecordFile(*OpenDialog, SequenceFiles, fileName))
        return;
    SequenceLoadResult result;
    try {
        result =
            LoadSequenceFile(SequenceRules, fileName, BoundControls(), ReplaceQuestionOf(*this));
    } catch (const EInOutError& error) {
        ReportFileNotLoaded(*this, error);
        return;
    }
    if (result.cancelled) {
        Control<TStringGrid>(QStringLiteral("SGSequence")).viewport()->update();
        EnableControls();
        return;
    }
    if (result.appended + result.replaced > 0) {
        Session.FileLoaded(fileName);
        CheckLoadedFollowingValues();
    }
    ReportLoaded(*this, Msg::SequenceLoaded, fileName, result.recordCount,
                 result.appended + result.replaced, result.leftOut);
}

// ---------------------------------------------------------------- wiring

void TFormMain::WireFileHandlers() {
    AttachHandler(QStringLiteral("BSaveConfig"), &TFormMain::BSaveConfigClick);
    AttachHandler(QStringLiteral("BLoadConfig"), &TFormMain::BLoadConfigClick);
    AttachHandler(QStringLiteral("BSequenceSave"), &TFormMain::BSequenceSaveClick);
    AttachHandler(QStringLiteral("BSequenceLoad"), &TFormMain::BSequenceLoadClick);
}
