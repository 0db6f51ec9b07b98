// One truth, end to end with the real window and the simulated GCU: what a
// control shows is what "Save Config." writes and what a frame sends; after a
// verified store the controls show what the unit holds; values taken from a
// point or a file come with the values they only make sense with; a value
// that became other than typed is said in the window; the window says where
// the values it shows come from.
#include "model/RecordFiles.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/RestorePointsPage.h"

#include <QApplication>
#include <QTest>
#include <cmath>

namespace {

using qvtest::WaitFor;

constexpr int TempLimit = 2; // ACTTLIMT, 60..130 °C, 100 in the unit
const char* const TempLimitSpin = "SEFunctionStrategiesActuatorTempLimit";
const char* const PreloadSpin = "SEUpShiftActuationPreLoadActuationTime";      // 25
const char* const CutSpin = "SEUpShiftEngineCutMainCutEngineCutTimeout";       // 7
const char* const TimeoutSpin = "SEUpShiftActuationMainLoadActuationTimeout";  // 5, up to 400

class OneTruth : public qvtest::WindowWithGcu {
  protected:
    QString SaveConfigAs(const QString& name) {
        const QString path = data.FilePath(name);
        dialogs.fileAnswers.push_back(path);
        Button("BSaveConfig").click();
        return path;
    }
    double SavedValue(const QString& path, int id) const {
        for (const TCommandRecord& r : ReadConfigFile(path).records)
            if (r.ID == id)
                return r.ActualValueFW;
        return -1;
    }
    void LoadConfig(const QString& path) {
        if (!form->Sequence.IsEmpty())
            dialogs.messageAnswers.push_back(mrYes); // the sequence is replaced
        dialogs.fileAnswers.push_back(path);
        Button("BLoadConfig").click();
    }
    QList<QByteArray> TrimmedFramesSince(int count) const {
        QList<QByteArray> frames = FramesSince(count);
        for (QByteArray& frame : frames)
            frame = frame.trimmed();
        return frames;
    }
    void TransmitAll() {
        ASSERT_TRUE(Button("BSequenceTransmitAll").isEnabled());
        Button("BSequenceTransmitAll").click();
    }
    void StepUp(const char* name, int times) {
        for (int i = 0; i < times; ++i)
            Spin(name).stepBy(1);
    }
    RestorePointsPage& Page() const { return form->RestorePoints(); }
    void ShowRestorePage() {
        auto& pages = form->Control<TPageControl>("PCMain");
        pages.SetActivePage(&form->Control<TTabSheet>("TSRestorePoints"));
        QApplication::processEvents();
    }
    // Selects the comparison grid's row of command Id alone.
    bool SelectComparisonRowOf(int id) {
        auto& grid = form->Control<TStringGrid>("SGRestorePointsCompare");
        for (int row = 1; row < grid.RowCount(); ++row) {
            if (grid.Cells(0, row) == QString::number(id)) {
                grid.selectionModel()->select(grid.model()->index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
                return true;
            }
        }
        return false;
    }
    QString Notice() const { return form->Control<TLabel>("LEditNotice").Caption(); }
    QString Origin() const { return form->Control<TLabel>("LWorkingCopyOrigin").toolTip(); }
};

// ------------------------------------------------------------------ discarded values

TEST_F(OneTruth, discardAllAfterSpinSteps_savedFileHoldsTheValueShown) {
    ConnectAndRead();
    StepUp(TempLimitSpin, 3);
    ASSERT_EQ(Spin(TempLimitSpin).Value(), 103);
    ASSERT_EQ(EntryOf(TempLimit)->Status, StatusLetter::Modified);
    Button("BSequenceDiscardAll").click();
    EXPECT_EQ(Spin(TempLimitSpin).Value(), 100);
    const QString file = SaveConfigAs("discarded.QCF");
    EXPECT_EQ(SavedValue(file, TempLimit), 100);
    EXPECT_EQ(form->Commands[TempLimit].ActualValueFW, 100);
}

TEST_F(OneTruth, discardAllAfterACappedCoupledEdit_nothingCappedIsSavedOrSent) {
    ConnectAndRead();
    const int cut = Spin(CutSpin).Value();
    const int timeout = Spin(TimeoutSpin).Value();
    const int preload = Spin(PreloadSpin).Value();
    Spin(CutSpin).SetValue(250);
    Spin(PreloadSpin).SetValue(200);
    // The timeout stops at its maximum and the cut gives way: both said so.
    ASSERT_EQ(Spin(TimeoutSpin).Value(), 400);
    ASSERT_EQ(Spin(CutSpin).Value(), 200);
    EXPECT_TRUE(Notice().contains("UPACTTMO")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("UPCUTTMO")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("250")) << Notice().toStdString();

    Button("BSequenceDiscardAll").click();
    EXPECT_EQ(Spin(TimeoutSpin).Value(), timeout);
    EXPECT_EQ(Spin(CutSpin).Value(), cut);
    EXPECT_EQ(Spin(PreloadSpin).Value(), preload);
    const QString file = SaveConfigAs("coupled.QCF");
    EXPECT_EQ(SavedValue(file, 5), timeout);
    EXPECT_EQ(SavedValue(file, 7), cut);
    EXPECT_EQ(SavedValue(file, 25), preload);

    // The file holds what the unit holds: loading and sending it sends nothing.
    Button("BSequenceEraseAll").click();
    LoadConfig(file);
    const int before = gcu->FramesReceived();
    if (Button("BSequenceTransmitAll").isEnabled())
        TransmitAll();
    for (const QByteArray& frame : TrimmedFramesSince(before))
        EXPECT_FALSE(frame.startsWith("[UPACTTMO") && frame != QByteArray("[UPACTTMO ") +
                                                                   QByteArray::number(timeout) + "]")
            << frame.toStdString();
    EXPECT_EQ(gcu->ParameterById(5), timeout);
}

// ------------------------------------------------------------------ after a verified store

TEST_F(OneTruth, loadedValueTransmittedAndVerified_theControlShowsWhatTheUnitHolds) {
    ConnectAndRead();
    CommandTable table = form->Commands;
    table[TempLimit].ActualValueFW = 120;
    table[TempLimit].ActualValueSW = 120;
    const QString file = data.FilePath("warmer.QCF");
    SaveConfigFile(file, table, form->PCBVersionGLOB);
    LoadConfig(file);
    ASSERT_EQ(Spin(TempLimitSpin).Value(), 100); // loaded, not yet applied or sent
    const int before = gcu->FramesReceived();
    TransmitAll();
    EXPECT_TRUE(TrimmedFramesSince(before).contains("[ACTTLIMT 120]"));
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 1);
    EXPECT_EQ(gcu->ParameterById(TempLimit), 120);
    EXPECT_EQ(Spin(TempLimitSpin).Value(), 120);
    EXPECT_EQ(form->Commands[TempLimit].ActualValueFW, 120);
    // A file saved now holds it too.
    EXPECT_EQ(SavedValue(SaveConfigAs("after.QCF"), TempLimit), 120);
}

// ------------------------------------------------------------------ values that go together

TEST_F(OneTruth, takeOfAGearsTeethFromAPoint_bringsItsRatioAndDownShiftLimitsAlong) {
    ConnectAndRead();
    const double ratio = gcu->ParameterById(17).value_or(0);
    const double limit = gcu->ParameterById(56).value_or(0);
    Spin("SERatiosRpm1P").SetValue(15);
    ASSERT_NE(EntryOf(17), nullptr); // the ratio follows the teeth
    TransmitAll();
    ASSERT_EQ(gcu->ParameterById(129), 15);
    ASSERT_NE(gcu->ParameterById(17), ratio);

    // The downloaded point still holds 13 teeth: take only the teeth's row.
    ShowRestorePage();
    form->Control<TCheckBox>("CBRestorePointsDifferencesOnly").SetChecked(true);
    form->Control<TStringGrid>("SGRestorePointsHistory").SetRow(2);
    ASSERT_TRUE(SelectComparisonRowOf(129));
    Button("BRestorePointsTake").click();
    ASSERT_NE(EntryOf(129), nullptr);
    ASSERT_NE(EntryOf(17), nullptr);
    ASSERT_NE(EntryOf(56), nullptr);
    EXPECT_EQ(EntryOf(129)->ActualValueFW, 13);
    EXPECT_DOUBLE_EQ(EntryOf(17)->ActualValueFW, ratio);
    EXPECT_DOUBLE_EQ(EntryOf(56)->ActualValueFW, limit);
    TransmitAll();
    EXPECT_EQ(gcu->ParameterById(129), 13);
    EXPECT_DOUBLE_EQ(gcu->ParameterById(17).value_or(0), ratio);
    EXPECT_DOUBLE_EQ(gcu->ParameterById(56).value_or(0), limit);
    EXPECT_EQ(Spin("SERatiosRpm1P").Value(), 13);
}

TEST_F(OneTruth, restoreFromAFileWithoutTheRatios_asksBeforeAnythingIsSent_andTheRatiosFollow) {
    ConnectAndRead();
    // A hand-made file: gear 1's teeth changed, no ratio or limit with them.
    CommandTable table = form->Commands;
    table[129].ActualValueFW = table[129].ActualValueSW = 17;
    RecordSeries<TCommandRecord> partial;
    for (int id : {129, 130})
        partial.records.append(table[id]);
    const QString file = data.FilePath("teeth.QCF");
    WriteConfigFile(file, partial.records);
    ShowRestorePage();
    dialogs.fileAnswers.push_back(file);
    Button("BRestorePointsCompareFile").click();
    const int before = gcu->FramesReceived();
    dialogs.messageAnswers.push_back(mrYes); // the ratios and limits as the pages compute them
    Button("BRestorePointsRestore").click();
    ASSERT_EQ(TimesAsked(Msg::CoupledValuesQuestion), 1);
    EXPECT_TRUE(FramesSince(before).isEmpty()); // asked before anything is sent
    ASSERT_NE(EntryOf(129), nullptr);
    ASSERT_NE(EntryOf(17), nullptr);
    const double teeth1S = table[130].ActualValueSW;
    EXPECT_NEAR(EntryOf(17)->ActualValueFW, std::round(teeth1S / 17 * 100) / 100, 1e-9);
    TransmitAll();
    EXPECT_EQ(gcu->ParameterById(129), 17);
    EXPECT_NEAR(gcu->ParameterById(17).value_or(0), std::round(teeth1S / 17 * 100) / 100, 1e-9);
}

// ------------------------------------------------------------------ what the window says

TEST_F(OneTruth, valueTypedAboveItsLimit_isHeldAndSaidSo_withoutAMessageBox) {
    ConnectAndRead();
    const int boxes = MessagesAsked();
    auto& spin = Spin(TempLimitSpin);
    spin.setFocus();
    spin.selectAll();
    QTest::keyClicks(&spin, "150");
    ASSERT_TRUE(spin.FinishTyping());
    EXPECT_EQ(spin.Value(), 130);
    EXPECT_EQ(EntryOf(TempLimit)->ActualValueFW, 130);
    EXPECT_TRUE(Notice().contains("ACTTLIMT")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("150")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("130")) << Notice().toStdString();
    EXPECT_EQ(MessagesAsked(), boxes);
}

TEST_F(OneTruth, originSaysDefaultsUntilAUnitIsRead_thenWhenItWasRead_andWhatWaits) {
    EXPECT_EQ(Origin(), form->TranslateString(Msg::OriginDefaults));
    ConnectAndRead();
    EXPECT_TRUE(Origin().startsWith(form->TranslateString(Msg::OriginUnit).section("%1", 0, 0)))
        << Origin().toStdString();
    EXPECT_TRUE(Origin().contains(form->TranslateString(Msg::OriginAllInUnit)));
    Spin(TempLimitSpin).SetValue(110);
    EXPECT_TRUE(Origin().contains(form->TranslateString(Msg::OriginPending).arg(1)))
        << Origin().toStdString();
}

} // namespace
