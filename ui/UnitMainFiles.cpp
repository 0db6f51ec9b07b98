// Configuration files (*.QCF) and sequence files (*.QSQ) in the window: the
// four buttons of the sequence page, their questions and file dialogs, and the
// reports after a load. What a file holds and how its records become entries
// is decided in RecordFiles and SequenceLoading; this file asks, picks the
// file and tells the user what happened.
#include "model/RecordFiles.h"
#include "model/SequenceLoading.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/ProgramPaths.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"

#include <QFileInfo>

namespace {

struct RecordFileKind {
    const char* filter;
    const char* defaultExt;
};
constexpr RecordFileKind ConfigurationFiles{"Quarventa Configuration File|*.QCF", "QCF"};
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

// A control named in a file is accepted only when the binding tied it to that
// command and it is of the kind the record says: anything else could be
// neither coloured nor applied.
BoundControlCheck BoundControlsOf(const TFormMain& form) {
    return [&form](const QString& controlName, const QString& controlType, int commandId) {
        if (!CommandTable::IsValidId(commandId) || controlName.isEmpty())
            return false;
        const TCommandRecord& row = form.Commands[commandId];
        if (controlName != row.SenderName1 && controlName != row.SenderName2)
            return false;
        const QObject* control = form.FindComponent(controlName);
        return control && TFormMain::ClassName(control) == controlType;
    };
}

ReplaceAsker ReplaceQuestionOf(const TFormMain& form) {
    return [&form](const ReplaceQuestion& question) {
        const QString text =
            ComposeReplaceQuestion(form.TranslateString(Msg::ReplaceAlreadyHolds),
                                   form.TranslateString(Msg::ReplaceAlreadyHolds + 1),
                                   form.TranslateString(Msg::ReplaceAlreadyHolds + 2),
                                   form.TranslateString(Msg::ReplaceAlreadyHolds + 3), question);
        return AskYesNo(text, TMsgDlgType::mtWarning);
    };
}

void ReportFileNotLoaded(const TFormMain& form, const EInOutError& error) {
    ShowMessage(form.TranslateString(Msg::FileNotLoaded) + error.Message(), TMsgDlgType::mtError);
}

// The count the message asks for, then one line per record saying why.
void ReportLeftOutRecords(const TFormMain& form, const QVector<LeftOutRecord>& leftOut) {
    if (leftOut.isEmpty())
        return;
    ShowMessage(form.TranslateString(Msg::RecordsLeftOut) + QString::number(leftOut.size()) +
                    QStringLiteral("\n\n") + DescribeLeftOutRecords(leftOut),
                TMsgDlgType::mtWarning);
}

// After a load: the grid shows the new entries, message N names the file, the
// records left out follow, and the buttons fit the new sequence.
void ReportLoaded(TFormMain& form, int message, const QString& fileName,
                  const QVector<LeftOutRecord>& leftOut) {
    form.Control<TStringGrid>(QStringLiteral("SGSequence")).viewport()->update();
    ShowMessage(form.TranslateString(message) + WithoutFolder(fileName));
    ReportLeftOutRecords(form, leftOut);
    form.EnableControls();
}

} // namespace

// ---------------------------------------------------------------- configuration files

void TFormMain::BSaveConfigClick(QObject*) {
    if (!ButtonEnabled(*this, "BSaveConfig") || !MayGoOnWithoutPcbVersion(*this))
        return;
    QString fileName;
    if (!ChooseRecordFile(*SaveDialog, ConfigurationFiles, fileName))
        return;
    SaveConfigFile(fileName, Commands, PCBVersionGLOB);
    ShowMessage(TranslateString(Msg::ConfigSaved) + WithoutFolder(fileName));
    EnableControls();
}

// The file's records become "L" entries in place of the whole sequence; the
// controls and the command table keep their values until "Apply Config.".
void TFormMain::BLoadConfigClick(QObject*) {
    if (!ButtonEnabled(*this, "BLoadConfig") || !MayGoOnWithoutPcbVersion(*this))
        return;
    if (!Sequence.IsEmpty() &&
        !AskYesNo(TranslateString(Msg::LoadConfigReplacesSequence), TMsgDlgType::mtConfirmation))
        return;
    QString fileName;
    if (!ChooseRecordFile(*OpenDialog, ConfigurationFiles, fileName))
        return;
    ConfigLoadResult result;
    try {
        result =
            LoadConfigurationFile(SequenceRules, fileName, PCBVersionGLOB, BoundControlsOf(*this));
    } catch (const EInOutError& error) {
        ReportFileNotLoaded(*this, error);
        return;
    }
    ReportLoaded(*this, Msg::ConfigLoaded, fileName, result.leftOut);
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
        result = LoadSequenceFile(SequenceRules, fileName, BoundControlsOf(*this),
                                  ReplaceQuestionOf(*this));
    } catch (const EInOutError& error) {
        ReportFileNotLoaded(*this, error);
        return;
    }
    ReportLoaded(*this, Msg::SequenceLoaded, fileName, result.leftOut);
}

// ---------------------------------------------------------------- wiring

void TFormMain::WireFileHandlers() {
    AttachHandler(QStringLiteral("BSaveConfig"), &TFormMain::BSaveConfigClick);
    AttachHandler(QStringLiteral("BLoadConfig"), &TFormMain::BLoadConfigClick);
    AttachHandler(QStringLiteral("BSequenceSave"), &TFormMain::BSequenceSaveClick);
    AttachHandler(QStringLiteral("BSequenceLoad"), &TFormMain::BSequenceLoadClick);
}
