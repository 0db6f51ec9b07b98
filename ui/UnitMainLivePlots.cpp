// Live plots and recordings in the window: the buttons of the "Live Plots"
// page that need the window (file dialogs, messages, the link's state), and
// where the link reaches the live session. Drawing is ui/LivePlots; the
// history, shift times, gaps and the recorder are the session's (model/).
#include "model/LiveSession.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/LivePlots.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"

#include <QDateTime>
#include <QDir>

namespace {
const char* const RecordingFilter = "Live recording|*.csv";

// Recordings and shift tables are CSV files in the recordings folder.
bool ChooseRecording(TFileDialogComponent& dialog, const QString& proposed, QString& fileName) {
    dialog.Title.clear();
    dialog.InitialDir = TFormMain::RecordingsFolder() + QLatin1Char('/');
    dialog.Filter = QString::fromLatin1(RecordingFilter);
    dialog.DefaultExt = QStringLiteral("csv");
    dialog.FileName = proposed;
    if (!dialog.Execute())
        return false;
    fileName = dialog.FileName;
    return !fileName.isEmpty();
}

// A name for a new file in the recordings folder: Kind, then the moment.
QString ProposedFile(const char* kind) {
    QDir().mkpath(TFormMain::RecordingsFolder());
    return TFormMain::RecordingsFolder() + u'/' + QLatin1String(kind) + u'-' +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".csv");
}
} // namespace

QString TFormMain::RecordingsFolder() {
    return UserDataFolder() + QStringLiteral("/recordings");
}

void TFormMain::WireLivePlotsHandlers() {
    livePlots_ = new LivePlots(*this, Session.Live());
    AttachHandler(QStringLiteral("BLivePlotsRecord"), &TFormMain::BLivePlotsRecordClick);
    AttachHandler(QStringLiteral("BLivePlotsStopRecording"),
                  &TFormMain::BLivePlotsStopRecordingClick);
    AttachHandler(QStringLiteral("BLivePlotsOpen"), &TFormMain::BLivePlotsOpenClick);
    AttachHandler(QStringLiteral("BLivePlotsShowLive"), &TFormMain::BLivePlotsShowLiveClick);
    AttachHandler(QStringLiteral("BLivePlotsOverlayFile"), &TFormMain::BLivePlotsOverlayFileClick);
    AttachHandler(QStringLiteral("BLivePlotsExportShifts"),
                  &TFormMain::BLivePlotsExportShiftsClick);
}

void TFormMain::BLivePlotsRecordClick(QObject*) {
    if (LiveData().Recorder().IsRecording())
        return;
    QString fileName;
    if (!ChooseRecording(*SaveDialog, ProposedFile("live"), fileName))
        return;
    LiveData().StartRecording(fileName); // a file that cannot be made reaches the error report
    Plots().UpdateControls();
}

void TFormMain::BLivePlotsStopRecordingClick(QObject*) {
    EndLiveRecording(LiveCsv::EndStopped);
}

void TFormMain::EndLiveRecording(const char* reason) {
    const bool written = LiveData().StopRecording(QString::fromLatin1(reason));
    if (livePlots_)
        livePlots_->UpdateControls();
    if (!written)
        ShowMessage(TranslateString(Msg::LivePlotsWriteFailed) + LiveData().Recorder().Error(),
                    TMsgDlgType::mtWarning);
}

void TFormMain::LiveLinkEnded(bool lost) {
    const bool recording = LiveData().Recorder().IsRecording();
    if (lost)
        LiveData().LinkLost();
    else
        LiveData().LinkClosed();
    if (livePlots_)
        livePlots_->UpdateControls();
    if (recording && !LiveData().Recorder().Error().isEmpty())
        ShowMessage(TranslateString(Msg::LivePlotsWriteFailed) + LiveData().Recorder().Error(),
                    TMsgDlgType::mtWarning);
}

void TFormMain::BLivePlotsOpenClick(QObject*) {
    QString fileName;
    if (!ChooseRecording(*OpenDialog, QString(), fileName))
        return;
    Plots().OpenReplay(fileName); // read in the background; a file that is none is reported
}

void TFormMain::BLivePlotsShowLiveClick(QObject*) {
    Plots().ShowLive();
}

void TFormMain::BLivePlotsOverlayFileClick(QObject*) {
    QString fileName;
    if (!ChooseRecording(*OpenDialog, QString(), fileName))
        return;
    Plots().OverlayFile(fileName);
}

void TFormMain::BLivePlotsExportShiftsClick(QObject*) {
    QString fileName;
    if (!ChooseRecording(*SaveDialog, ProposedFile("shifts"), fileName))
        return;
    Plots().ExportShifts(fileName); // a file that cannot be written reaches the error report
}
