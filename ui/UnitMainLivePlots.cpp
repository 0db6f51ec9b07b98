// Live plots and recordings in the window: the buttons of the "Live Plots"
// page that need the window (file dialogs, messages, the link's state), and
// where the stream and the link reach the plots. Drawing, the history, shift
// times and the recorder are ui/LivePlots and model/.
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
} // namespace

QString TFormMain::RecordingsFolder() {
    return UserDataFolder() + QStringLiteral("/recordings");
}

void TFormMain::WireLivePlotsHandlers() {
    livePlots_ = new LivePlots(*this);
    AttachHandler(QStringLiteral("BLivePlotsRecord"), &TFormMain::BLivePlotsRecordClick);
    AttachHandler(QStringLiteral("BLivePlotsStopRecording"),
                  &TFormMain::BLivePlotsStopRecordingClick);
    AttachHandler(QStringLiteral("BLivePlotsOpen"), &TFormMain::BLivePlotsOpenClick);
    AttachHandler(QStringLiteral("BLivePlotsShowLive"), &TFormMain::BLivePlotsShowLiveClick);
}

void TFormMain::BLivePlotsRecordClick(QObject*) {
    if (Plots().Recorder().IsRecording())
        return;
    QDir().mkpath(RecordingsFolder());
    const QString proposed =
        RecordingsFolder() + QStringLiteral("/live-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
        QStringLiteral(".csv");
    QString fileName;
    if (!ChooseRecording(*SaveDialog, proposed, fileName))
        return;
    Plots().StartRecording(fileName); // a file that cannot be made reaches the error report
}

void TFormMain::BLivePlotsStopRecordingClick(QObject*) {
    EndLiveRecording(LiveCsv::EndStopped);
}

void TFormMain::EndLiveRecording(const char* reason) {
    if (!livePlots_ || livePlots_->StopRecording(QString::fromLatin1(reason)))
        return;
    ShowMessage(TranslateString(Msg::LivePlotsWriteFailed) + livePlots_->Recorder().Error(),
                TMsgDlgType::mtWarning);
}

void TFormMain::BLivePlotsOpenClick(QObject*) {
    QString fileName;
    if (!ChooseRecording(*OpenDialog, QString(), fileName))
        return;
    try {
        Plots().OpenReplay(fileName);
    } catch (const EInOutError& error) {
        ShowMessage(TranslateString(Msg::LivePlotsNotARecording) + error.Message(),
                    TMsgDlgType::mtWarning);
    }
}

void TFormMain::BLivePlotsShowLiveClick(QObject*) {
    Plots().ShowLive();
}
