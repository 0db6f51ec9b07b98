// Restore points in the window: the keeper that takes them as the session works
// with the unit (in the user's data folder, never below the program's own),
// its failures told once per cause and connection, and the buttons of the "Restore Points" page
// that need the window's dialogs. What the page shows is RestorePointsPage.
#include "device/RestorePointPlaces.h"
#include "model/ConfigText.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

void TFormMain::WireRestorePointsHandlers() {
    RestorePointKeeper::Places places = UserRestorePointPlaces();
    // The window files points under the units known by name, asking which
    // unit is on the link when that is not clear.
    places.userDataFolder = [] { return UserDataFolder(); };
    pointKeeper_ = new RestorePointKeeper(Session, places, this);
    // Once per cause and connection: the user knows, and everything else goes
    // on; a cause that comes back on the next connection is told again.
    connect(&Session, &UnitSession::linkOpened, this, [this] { pointFailuresShown_.clear(); });
    connect(pointKeeper_, &RestorePointKeeper::failed, this, [this](const DetailPhrase& reason) {
        if (!pointFailuresQuiet_)
            TellPointFailure(reason);
    });
    restorePoints_ = new RestorePointsPage(*this);
    AttachHandler(QStringLiteral("BRestorePointsRefresh"), &TFormMain::BRestorePointsRefreshClick);
    AttachHandler(QStringLiteral("BRestorePointsCompareFile"),
                  &TFormMain::BRestorePointsCompareFileClick);
    AttachHandler(QStringLiteral("BRestorePointsTake"), &TFormMain::BRestorePointsTakeClick);
    AttachHandler(QStringLiteral("BRestorePointsRestore"), &TFormMain::BRestorePointsRestoreClick);
    AttachHandler(QStringLiteral("BRestorePointsExport"), &TFormMain::BRestorePointsExportClick);
}

void TFormMain::TellPointFailure(const DetailPhrase& reason) {
    const QString cause = EnglishText(reason);
    if (pointFailuresShown_.contains(cause))
        return;
    pointFailuresShown_.append(cause);
    ShowMessage(TranslateString(Msg::RestorePointsNotWritten) + PhraseText(reason),
                TMsgDlgType::mtWarning);
}

QString TFormMain::ComparisonsFolder() {
    return UserDataFolder() + QStringLiteral("/comparisons");
}

void TFormMain::BRestorePointsRefreshClick(QObject*) {
    RestorePoints().Refresh();
}

// Any configuration file, offered in CFG/ as "Load Config." does.
void TFormMain::BRestorePointsCompareFileClick(QObject*) {
    OpenDialog->Title.clear();
    OpenDialog->InitialDir = CfgFolder() + QLatin1Char('/');
    OpenDialog->Filter = QStringLiteral("Quarventa Configuration File|*.QCF");
    OpenDialog->DefaultExt = QStringLiteral("QCF");
    OpenDialog->FileName.clear();
    if (!OpenDialog->Execute() || OpenDialog->FileName.isEmpty())
        return;
    RestorePoints().CompareFile(OpenDialog->FileName);
}

void TFormMain::BRestorePointsTakeClick(QObject*) {
    RestorePoints().TakeSelected();
}

void TFormMain::BRestorePointsRestoreClick(QObject*) {
    RestorePoints().RestoreChosen();
}

// A file that cannot be written reaches the general error report.
void TFormMain::BRestorePointsExportClick(QObject*) {
    QDir().mkpath(ComparisonsFolder());
    SaveDialog->Title.clear();
    SaveDialog->InitialDir = ComparisonsFolder() + QLatin1Char('/');
    SaveDialog->Filter = QStringLiteral("Comparison|*.csv|Quarventa Configuration Text|*.qvt");
    SaveDialog->DefaultExt = QStringLiteral("csv");
    SaveDialog->FileName =
        ComparisonsFolder() + QStringLiteral("/comparison-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
        QStringLiteral(".csv");
    if (!SaveDialog->Execute() || SaveDialog->FileName.isEmpty())
        return;
    const QString& fileName = SaveDialog->FileName;
    if (!IsConfigTextFile(fileName)) {
        RestorePoints().ExportCsv(fileName);
        return;
    }
    // The point or file compared with, as a text to read, mail or load.
    if (RestorePoints().ExportConfigText(fileName))
        ShowMessage(TranslateString(Msg::ConfigSaved) + QFileInfo(fileName).fileName());
}
