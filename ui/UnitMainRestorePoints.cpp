// Restore points in the window: the buttons of the "Restore Points" page that
// need the window's dialogs, and reading the unit silently for a point. What
// the page shows and when points are taken is RestorePointsPage.
#include "device/ConfigDump.h"
#include "ui/Dialogs.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QDateTime>
#include <QDir>
#include <QScopedValueRollback>

void TFormMain::WireRestorePointsHandlers() {
    restorePoints_ = new RestorePointsPage(*this);
    AttachHandler(QStringLiteral("BRestorePointsRefresh"), &TFormMain::BRestorePointsRefreshClick);
    AttachHandler(QStringLiteral("BRestorePointsCompareFile"),
                  &TFormMain::BRestorePointsCompareFileClick);
    AttachHandler(QStringLiteral("BRestorePointsTake"), &TFormMain::BRestorePointsTakeClick);
    AttachHandler(QStringLiteral("BRestorePointsRestore"), &TFormMain::BRestorePointsRestoreClick);
    AttachHandler(QStringLiteral("BRestorePointsExport"), &TFormMain::BRestorePointsExportClick);
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
    SaveDialog->Filter = QStringLiteral("Comparison|*.csv");
    SaveDialog->DefaultExt = QStringLiteral("csv");
    SaveDialog->FileName =
        ComparisonsFolder() + QStringLiteral("/comparison-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
        QStringLiteral(".csv");
    if (!SaveDialog->Execute() || SaveDialog->FileName.isEmpty())
        return;
    RestorePoints().ExportCsv(SaveDialog->FileName);
}

// ---------------------------------------------------------------- reading the unit

UnitReading TFormMain::ReadingOfDump(const CommandTable& table,
                                     const ConfigDumpResult& result) const {
    UnitReading reading;
    reading.values = UnitValuesOfDump(table, result.fieldCount);
    reading.firmware = announcedFirmware_;
    reading.pcbText =
        result.pcbVersionText.value_or(Control<TEdit>(QStringLiteral("EPCBVersion")).Text());
    reading.pcbVersion = result.pcbVersion;
    reading.reboots = result.reboots;
    return reading;
}

std::optional<UnitReading> TFormMain::ReadUnitSilently(QString* why) {
    const auto fail = [this, why](int reason) -> std::optional<UnitReading> {
        if (why)
            *why = TranslateString(reason);
        return std::nullopt;
    };
    if (!SerialConnectedGLOB)
        return fail(Msg::PhraseNoGcuConnected);
    if (Control<TCheckBox>(QStringLiteral("CBLiveActive")).Checked())
        return fail(Msg::PhraseGcuStreamingLive);
    std::optional<QString> dump;
    {
        const QScopedValueRollback<std::optional<QString>*> sink(silentDumpSink_, &dump);
        Exchange().RequestConfigDump();
        SyncLinkGlobals();
    }
    if (!dump)
        return fail(Msg::PhraseGcuSentNoConfiguration);
    CommandTable read = Commands;
    const ConfigDumpResult result =
        ApplyConfigDump(*dump, read, RPMFactorGLOB, PCBVersionGLOB, PCBForceVersionGLOB);
    if (!result.ok) {
        if (why)
            *why = PhraseText({Msg::PhraseMalformedFromGcu,
                               {result.problem ? PhraseText(*result.problem) : result.error}});
        return std::nullopt;
    }
    return ReadingOfDump(read, result);
}
