// Restore points with the real window and the simulated GCU: the point after
// a download, the point before a transmission (what the unit held before it,
// without the pending edits), a unit changed behind the program's back shown
// by the comparison and brought back with "Restore This Point", and a data
// folder that cannot be written.
#include "model/ConfigText.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/RestorePoints.h"
#include "sim/SimPtyClient.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/RestorePointsPage.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>

namespace {

using qvtest::WaitFor;

class RestorePointsWithGcu : public qvtest::WindowWithGcu {
  protected:
    RestorePointsPage& Page() const { return form->RestorePoints(); }
    // The first unit seen is a unit of its own, named without a question.
    RestorePointStore Store() const {
        return RestorePointStore(UnitsFolder(data.UserPath()) + "/unit-0001");
    }
    QVector<TCommandRecord> Records(const RestorePointInfo& point) const {
        const auto read = Store().Read(point);
        EXPECT_TRUE(read.intact);
        return read.records;
    }
    // The point's values that differ from the simulated GCU's, by command ID.
    QVector<int> DifferFromGcu(const QVector<TCommandRecord>& records) const {
        QVector<int> ids;
        for (const TCommandRecord& r : records)
            if (!SameAtFirmwareDigits(r.ActualValueFW, gcu->ParameterById(r.ID).value_or(-1e9),
                                      r.DigitsValueFW))
                ids.append(r.ID);
        return ids;
    }
    static QVector<int> Differing(const QVector<TCommandRecord>& a,
                                  const QVector<TCommandRecord>& b) {
        QVector<int> ids;
        EXPECT_EQ(a.size(), b.size());
        for (int i = 0; i < std::min(a.size(), b.size()); ++i) {
            EXPECT_EQ(a[i].ID, b[i].ID);
            if (!SameAtFirmwareDigits(a[i].ActualValueFW, b[i].ActualValueFW, a[i].DigitsValueFW))
                ids.append(a[i].ID);
        }
        return ids;
    }
    void TransmitAll() {
        const int before = gcu->FramesReceived();
        ASSERT_TRUE(Button("BSequenceTransmitAll").isEnabled());
        Button("BSequenceTransmitAll").click();
        // The store, then its read-back.
        ASSERT_TRUE(WaitFor([&] {
            const QList<QByteArray> frames = FramesSince(before);
            return frames.size() >= 2 && frames.last().startsWith("[INVPARAM 1]") &&
                   frames[frames.size() - 2].startsWith("[SAVEPRMT 0]");
        }));
    }
    void ShowRestorePage() {
        auto& pages = form->Control<TPageControl>("PCMain");
        pages.SetActivePage(&form->Control<TTabSheet>("TSRestorePoints"));
        QApplication::processEvents();
    }
    QVector<int> ShownIds() const {
        QVector<int> ids;
        for (int index : Page().ShownRows())
            ids.append(Page().CurrentComparison().rows[index].id);
        return ids;
    }
    // Another client stores values in the GCU while the program is not connected.
    void StoreBehindTheProgramsBack(const QList<QByteArray>& frames) {
        SimPtyClient other(gcu->PortPath());
        ASSERT_TRUE(other.IsOpen());
        // The whole announcement, its version line included.
        ASSERT_TRUE(other.ReadUntil([](const QByteArray& r) {
            return r.contains("Versione Firmware") && r.endsWith("\r\n");
        }));
        for (const QByteArray& frame : frames)
            ASSERT_TRUE(other.Ask(frame).startsWith("OK")) << frame.toStdString();
        ASSERT_TRUE(other.Ask("[SAVEPRMT 0]").startsWith("OK"));
    }
};

// ------------------------------------------------------------------ taking points

TEST_F(RestorePointsWithGcu, download_takesOnePointOfExactlyWhatTheUnitHolds_thatLoadConfigOpens) {
    ConnectAndRead();
    EXPECT_EQ(Page().ConnectedUnitKey(), "unit-0001");
    const QVector<RestorePointInfo> points = Store().List();
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(points[0].reason, RestoreReason::Downloaded);
    EXPECT_EQ(points[0].firmware, "5.0.9");
    EXPECT_EQ(points[0].pcb, "4.3");
    EXPECT_EQ(points[0].reboots, gcu->RebootCounter());
    const QVector<TCommandRecord> records = Records(points[0]);
    EXPECT_EQ(records.size(), ConfigRowsToSave(form->Commands, form->PCBVersionGLOB).size());
    EXPECT_GT(records.size(), 100);
    EXPECT_TRUE(DifferFromGcu(records).isEmpty());
    // Nothing went into the program's folder.
    EXPECT_TRUE(QDir(data.FilePath("CFG")).entryList({"*.QCF"}).isEmpty());

    // The point is a configuration file like any other.
    dialogs.fileAnswers.push_back(Store().ConfigFilePath(points[0]));
    Button("BLoadConfig").click();
    EXPECT_EQ(TimesAsked(Msg::ConfigLoaded), 1);
    EXPECT_EQ(EntryCount(), records.size());
    EXPECT_EQ(TimesAsked(Msg::RecordsLeftOut), 0);
}

TEST_F(RestorePointsWithGcu, transmission_keepsTheUnitBeforeItAndAfterTheStore_notPendingEdits) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);       // 11
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);     // 8
    Spin("SEGearDetectionRecognitionToleranceMillivolts").SetValue(120); // 62
    TransmitAll();
    // Before the store the unit held what was downloaded: the same point, the
    // moment noted on it. After the store it holds the three values.
    QVector<RestorePointInfo> points = Store().List();
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points[1].reason, RestoreReason::Downloaded);
    ASSERT_EQ(points[1].alsoTaken.size(), 1);
    EXPECT_EQ(points[1].alsoTaken[0].reason, RestoreReason::BeforeStore);
    EXPECT_EQ(points[0].reason, RestoreReason::Stored);
    const QVector<TCommandRecord> downloaded = Records(points[1]);
    const QVector<TCommandRecord> stored = Records(points[0]);
    EXPECT_EQ(Differing(downloaded, stored), QVector<int>({8, 11, 62}));
    EXPECT_TRUE(DifferFromGcu(stored).isEmpty());

    // The next transmission finds the unit as stored (the moment is noted on
    // that point) and keeps the one value more it stores.
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(90);
    TransmitAll();
    points = Store().List();
    ASSERT_EQ(points.size(), 3);
    EXPECT_EQ(points[1].reason, RestoreReason::Stored);
    ASSERT_EQ(points[1].alsoTaken.size(), 1);
    EXPECT_EQ(points[1].alsoTaken[0].reason, RestoreReason::BeforeStore);
    EXPECT_EQ(points[0].reason, RestoreReason::Stored);
    EXPECT_EQ(Differing(stored, Records(points[0])), QVector<int>({11}));
    EXPECT_TRUE(DifferFromGcu(Records(points[0])).isEmpty());
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 0);
}

// A store the read-back does not verify is no "stored" point; the unit's
// values are what was read back.
TEST_F(RestorePointsWithGcu, storeNotVerified_noStoredPoint_unitAsReadBack) {
    ConnectAndRead();
    GcuFaultOptions faults;
    faults.keepOldValueOf = {11};
    gcu->SetFaults(faults);
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);   // 11, kept at 100
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70); // 8
    TransmitAll();
    ASSERT_EQ(TimesAsked(Msg::ReadBackNotHeld), 1);
    const QVector<RestorePointInfo> points = Store().List();
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(points[0].reason, RestoreReason::Downloaded);
    ASSERT_TRUE(form->Session.Unit().has_value());
    EXPECT_EQ(form->Session.Unit()->values.fw.value(11), 100);
    EXPECT_EQ(form->Session.Unit()->values.fw.value(8), 70);
}

// ------------------------------------------------------------------ compare and restore

TEST_F(RestorePointsWithGcu,
       unitChangedBehindTheProgramsBack_compareShowsThoseRows_restoreBringsTheStoredPointBack) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);       // 11
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);     // 8
    Spin("SEGearDetectionRecognitionToleranceMillivolts").SetValue(120); // 62
    TransmitAll();
    const RestorePointInfo stored = Store().List().value(0);
    ASSERT_EQ(stored.reason, RestoreReason::Stored);
    const QVector<TCommandRecord> storedValues = Records(stored);

    ConnectButton().Click(); // disconnect
    ASSERT_FALSE(Connected());
    StoreBehindTheProgramsBack({"[UPACTPWR 55]", "[DNACTPWR 65]"});
    // The offer to read, and yes to clearing the transmitted entries.
    dialogs.messageAnswers.push_back(mrYes);
    dialogs.messageAnswers.push_back(mrYes);
    ConnectButton().Click();
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(Msg::ConfigRead) == 2; }));
    ASSERT_EQ(Store().List().size(), 3);

    ShowRestorePage();
    ASSERT_EQ(Page().HistoryPoints().size(), 3);
    EXPECT_EQ(Page().ShownUnitKey(), "unit-0001");
    form->Control<TStringGrid>("SGRestorePointsHistory").SetRow(2); // the stored point
    const Comparison& comparison = Page().CurrentComparison();
    ASSERT_TRUE(comparison.present[2]);
    QVector<int> differing;
    for (const ComparisonRow& row : comparison.rows)
        if (row.unitVsChosen)
            differing.append(row.id);
    EXPECT_EQ(differing, QVector<int>({8, 11}));
    EXPECT_EQ(comparison.counts.unitVsWorking, 0);
    EXPECT_EQ(comparison.counts.missingInChosen, 0);
    EXPECT_EQ(comparison.counts.extraInChosen, 0);
    // The history counts them too.
    EXPECT_EQ(form->Control<TStringGrid>("SGRestorePointsHistory").Cells(5, 2), "2");
    EXPECT_EQ(form->Control<TStringGrid>("SGRestorePointsHistory").Cells(5, 1), "0");

    form->Control<TCheckBox>("CBRestorePointsDifferencesOnly").SetChecked(true);
    EXPECT_EQ(ShownIds(), QVector<int>({8, 11}));
    auto& grid = form->Control<TStringGrid>("SGRestorePointsCompare");
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cells(1, 1), "DNACTPWR");
    EXPECT_EQ(grid.Cells(3, 1), "65"); // unit
    EXPECT_EQ(grid.Cells(4, 1), "65"); // working copy
    EXPECT_EQ(grid.Cells(5, 1), "70"); // the stored value

    // "Take" on one selected row: one loaded entry.
    grid.selectionModel()->select(grid.model()->index(2, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Button("BRestorePointsTake").click();
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 11);
    EXPECT_EQ(Entry(1).Status, "L");
    EXPECT_EQ(Entry(1).ActualValueFW, 80);
    EXPECT_EQ(form->Control<TPageControl>("PCMain").ActivePage()->objectName(), "TSRestorePoints");

    // "Restore This Point": every differing row, the one taken replaced.
    Button("BRestorePointsRestore").click();
    EXPECT_EQ(TimesAsked(Msg::RestorePointsTaken), 2);
    ASSERT_EQ(EntryCount(), 2);
    EXPECT_EQ(EntryOf(8)->Status, "L");
    EXPECT_EQ(EntryOf(8)->ActualValueFW, 70);
    EXPECT_EQ(EntryOf(11)->Status, "L");
    // The working copy now holds the point's values; the unit does not yet.
    EXPECT_EQ(Page().CurrentComparison().counts.workingVsChosen, 0);
    EXPECT_EQ(Page().CurrentComparison().counts.unitVsChosen, 2);

    TransmitAll();
    EXPECT_TRUE(DifferFromGcu(storedValues).isEmpty());
    EXPECT_EQ(gcu->ParameterById(8), 70);
    EXPECT_EQ(gcu->ParameterById(11), 80);
    // The store kept the unit as the point was: the newest point holds its values.
    const RestorePointInfo restored = Store().List().value(0);
    EXPECT_EQ(restored.reason, RestoreReason::Stored);
    EXPECT_EQ(restored.hash, stored.hash);
    // Back on the page (the transmission showed the entries' pages), the unit
    // holds the point's values.
    ShowRestorePage();
    EXPECT_EQ(Page().CurrentComparison().counts.unitVsChosen, 0);
}

TEST_F(RestorePointsWithGcu, compareWithAFile_exportWritesTheRowsShown_asCsv) {
    ConnectAndRead();
    // A configuration file with one value changed, saved as "Save Config." does.
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
    const QString file = data.FilePath("CFG/Track.QCF");
    dialogs.fileAnswers.push_back(file);
    Button("BSaveConfig").click();
    ASSERT_TRUE(QFile::exists(file));

    ShowRestorePage();
    dialogs.fileAnswers.push_back(file);
    Button("BRestorePointsCompareFile").click();
    const Comparison& comparison = Page().CurrentComparison();
    EXPECT_EQ(comparison.counts.unitVsChosen, 1);
    EXPECT_EQ(comparison.counts.workingVsChosen, 0);
    EXPECT_EQ(comparison.counts.unitVsWorking, 1);
    EXPECT_TRUE(
        form->Control<TLabel>("LRestorePointsComparedWith").Caption().endsWith("Track.QCF"));

    form->Control<TCheckBox>("CBRestorePointsDifferencesOnly").SetChecked(true);
    const QString csv = data.FilePath("comparison.csv");
    dialogs.fileAnswers.push_back(csv);
    Button("BRestorePointsExport").click();
    EXPECT_EQ(TimesAsked(Msg::RestorePointsExported), 1);
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], form->TranslateString(Msg::RestorePointsCompareTitles).replace('|', ';'));
    EXPECT_TRUE(lines[1].startsWith("11;UPACTPWR;")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(";100;80;80;1")) << lines[1].toStdString();

    // As a configuration text: the file's values, every one of them, read
    // back as the file holds them.
    const QString text = data.FilePath("track.qvt");
    dialogs.fileAnswers.push_back(text);
    Button("BRestorePointsExport").click();
    EXPECT_TRUE(Reported(Msg::ConfigSaved, "track.qvt"));
    QFile textFile(text);
    ASSERT_TRUE(textFile.open(QIODevice::ReadOnly));
    const ConfigTextRecords read =
        ParseConfigText(QString::fromUtf8(textFile.readAll()), form->Commands);
    EXPECT_TRUE(read.leftOut.isEmpty());
    const QVector<TCommandRecord> saved = ReadConfigFile(file).records;
    ASSERT_EQ(read.file.records.size(), saved.size());
    for (int i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(read.file.records[i].ID, saved[i].ID);
        EXPECT_EQ(FirmwareValueUnits(read.file.records[i].ActualValueFW, saved[i].DigitsValueFW),
                  FirmwareValueUnits(saved[i].ActualValueFW, saved[i].DigitsValueFW))
            << saved[i].Command.toStdString();
    }
}

// ------------------------------------------------------------------ the page in every language

// Every caption of the page is shown whole, the titles come from the
// language's texts, and the counts fit their two lines. With QV_SCREENSHOT_DIR
// set, the page is saved as restore-points-<language>.png there.
TEST_F(RestorePointsWithGcu, pageShowsHistoryAndComparisonWholeInEveryLanguage) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);
    TransmitAll();
    Spin("SEGearDetectionRecognitionToleranceMillivolts").SetValue(120);
    TransmitAll();
    Spin("SERecoveryDownShiftActuationActuationTime").SetValue(120); // pending
    form->BCreateTranslationClick(form.get());
    qvtest::FillMessageTexts(*form);
    ShowRestorePage();
    ASSERT_EQ(Page().HistoryPoints().size(), 3); // downloaded, stored, stored
    form->Control<TStringGrid>("SGRestorePointsHistory").SetRow(3);
    ASSERT_EQ(Page().CurrentComparison().counts.differing, 4);

    const char* buttons[] = {"BTranslateEnglish", "BTranslateItalian", "BTranslateFrench",
                             "BTranslateSpanish", "BTranslateGerman"};
    const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    auto& page = form->Control<TTabSheet>("TSRestorePoints");
    for (int language = 1; language <= 5; ++language) {
        SCOPED_TRACE(language);
        form->Control<TButton>(buttons[language - 1]).click();
        QApplication::processEvents();
        EXPECT_EQ(form->size(), QSize(1200, 729));
        // Captions whole: a button's text with its margins, a check box's and
        // a group's as their style needs them.
        for (QWidget* widget : page.findChildren<QWidget*>()) {
            if (!widget->isVisible())
                continue;
            if (auto* button = qobject_cast<TButton*>(widget)) {
                EXPECT_GE(button->width(),
                          button->fontMetrics().horizontalAdvance(button->text()) + 20)
                    << widget->objectName().toStdString();
            } else if (qobject_cast<TCheckBox*>(widget) || qobject_cast<TGroupBox*>(widget)) {
                EXPECT_GE(widget->width(), widget->minimumSizeHint().width())
                    << widget->objectName().toStdString();
            }
        }
        const QStringList titles =
            form->TranslateString(Msg::RestorePointsCompareTitles).split('|');
        auto& grid = form->Control<TStringGrid>("SGRestorePointsCompare");
        for (int col = 0; col < grid.ColCount(); ++col)
            EXPECT_EQ(grid.Cells(col, 0), titles[col]);
        EXPECT_EQ(form->Control<TStringGrid>("SGRestorePointsHistory").Cells(1, 1).isEmpty(),
                  false);
        auto& counts = form->Control<TLabel>("LRestorePointsCounts");
        const QRect needed = counts.fontMetrics().boundingRect(QRect(0, 0, counts.width(), 1000),
                                                               Qt::TextWordWrap, counts.text());
        EXPECT_LE(needed.height(), counts.height()) << counts.text().toStdString();
        if (!folder.isEmpty()) {
            EXPECT_TRUE(
                form->grab().save(folder + QStringLiteral("/restore-points-%1.png").arg(language)));
        }
    }
}

// ------------------------------------------------------------------ failures

class RestorePointsUnwritable : public RestorePointsWithGcu {
  protected:
    void BeforeShow() override {
        RestorePointsWithGcu::BeforeShow();
        // A file where the folder of every unit's points should be.
        QDir().mkpath(data.UserPath());
        QFile blocker(UnitsFolder(data.UserPath()));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
};

TEST_F(RestorePointsUnwritable, oneMessageWithTheReason_downloadAndStoreStillWork) {
    ConnectAndRead();
    ASSERT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 1);
    const auto asked = std::find_if(dialogs.asked.begin(), dialogs.asked.end(), [this](auto& q) {
        return q.text.startsWith(form->TranslateString(Msg::RestorePointsNotWritten));
    });
    EXPECT_TRUE(asked->text.contains(UnitsFolder(data.UserPath()))) << asked->text.toStdString();
    EXPECT_EQ(asked->type, TMsgDlgType::mtWarning);

    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
    TransmitAll();
    EXPECT_EQ(gcu->ParameterById(11), 80);
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(90);
    TransmitAll();
    EXPECT_EQ(gcu->ParameterById(11), 90);
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 1);
    EXPECT_TRUE(QFileInfo(UnitsFolder(data.UserPath())).isFile());
}

} // namespace
