// Change capture in the window: edits of bound controls become pending
// changes (colour, entry, grid), silenced writes do not, typed-back values
// undo, the gearbox pair, which derived values each edit recomputes, and text
// that is not a number.
#include "translation/MessageNumbers.h"
#include "ui/test_ui_editing_window.h"

#include <QApplication>
#include <QTest>

namespace {

constexpr TColor NotYetRead = 0x00E9E9E9;

class Capture : public EditingWindow {};

} // namespace

TEST_F(Capture, spinEditChange_becomesModifiedEntryInYellowAndInTheGrid) {
    auto& tolerance = Spin("SEGearDetectionRecognitionToleranceMillivolts"); // 62, mV -> V
    tolerance.SetValue(120);
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 62);
    EXPECT_EQ(Entry(1).Status, "M");
    EXPECT_EQ(Entry(1).PreviousValueSW, 100);
    EXPECT_EQ(Entry(1).ActualValueSW, 120);
    EXPECT_DOUBLE_EQ(Entry(1).ActualValueFW, 0.12);
    EXPECT_EQ(form->SequenceActivePositionGLOB, 1);
    EXPECT_EQ(form->Commands[62].Status, "M");
    EXPECT_EQ(form->Commands[62].ActualValueSW, 120);
    EXPECT_EQ(ColorOf("SEGearDetectionRecognitionToleranceMillivolts"), clYellow);
    EXPECT_EQ(Grid().Cells(0, 1).trimmed(), "62");
    EXPECT_EQ(Grid().Cells(1, 1), "GEARTOLR");
    EXPECT_EQ(Grid().Cells(3, 1), "120");
    EXPECT_EQ(Grid().Cells(5, 1), "M");
    EXPECT_TRUE(Grid().Cells(1, 2).isEmpty());
    EXPECT_TRUE(Button("BSequenceDiscard").isEnabled());
    EXPECT_FALSE(Button("BSequenceTransmit").isEnabled()); // not connected
    EXPECT_EQ(MessagesAsked(), 0);
}

TEST_F(Capture, silencedWrites_leaveColourAndSequenceAlone) {
    form->SilentControlsEventsGLOB = true;
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);
    form->Control<TRadioGroup>("GBInputsOutputsLed").SetItemIndex(1);
    Check("CBFunctionStrategiesClosedLoop").SetChecked(true);
    form->SilentControlsEventsGLOB = false;
    EXPECT_EQ(EntryCount(), 0);
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), NotYetRead);
    EXPECT_EQ(ColorOf("GBInputsOutputsLed"), NotYetRead);
    EXPECT_EQ(form->Find<TShape>("SCBFunctionStrategiesClosedLoop")->BrushColor(), NotYetRead);
}

TEST_F(Capture, typingBackTheFirstValue_removesTheEntryAndPaintsWhite) {
    auto& power = Spin("SEDownShiftActuationMainLoadActuationPower"); // 8, default 100
    power.SetValue(70);
    power.SetValue(80);
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).PreviousValueSW, 100);
    EXPECT_EQ(Entry(1).ActualValueSW, 80);
    power.SetValue(100);
    EXPECT_EQ(EntryCount(), 0);
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), clWhite);
    EXPECT_TRUE(form->Commands[8].Status.isEmpty());
    EXPECT_EQ(form->Commands[8].ActualValueSW, 100);
    EXPECT_TRUE(Grid().Cells(1, 1).isEmpty());
}

TEST_F(Capture, radioGroupAndCheckBox_captureIndexAndCheckedStateWithTheirColours) {
    form->Control<TRadioGroup>("GBInputsOutputsLed").SetItemIndex(1); // 124
    ASSERT_NE(EntryOf(124), nullptr);
    EXPECT_EQ(EntryOf(124)->ActualValueSW, 1);
    EXPECT_EQ(ColorOf("GBInputsOutputsLed"), clYellow);

    Check("CBFunctionStrategiesClosedLoop").SetChecked(false); // 106, from grayed
    ASSERT_NE(EntryOf(106), nullptr);
    EXPECT_EQ(EntryOf(106)->ActualValueSW, 0);
    const TShape* marker = form->Find<TShape>("SCBFunctionStrategiesClosedLoop");
    EXPECT_EQ(marker->BrushColor(), clYellow);
    EXPECT_FALSE(marker->isHidden());
    // The newest capture is the active entry; the radio group keeps its
    // normal "M" colour.
    EXPECT_EQ(Entry(1).CommandID, 106);
    EXPECT_EQ(ColorOf("GBInputsOutputsLed"), GetStatusColor("M", false));
}

TEST_F(Capture, gearboxPair_checkingOneUnchecksTheOther_uncheckingLeavesTheOther) {
    auto& bike = Check("CBFunctionStrategiesBikeGearbox");
    auto& kart = Check("CBFunctionStrategiesKartGearbox");
    bike.SetChecked(true);
    kart.SetChecked(true);
    EXPECT_TRUE(kart.Checked());
    EXPECT_FALSE(bike.Checked());
    ASSERT_NE(EntryOf(41), nullptr);
    ASSERT_NE(EntryOf(157), nullptr);
    EXPECT_EQ(EntryOf(41)->ActualValueSW, 0);
    EXPECT_EQ(EntryOf(157)->ActualValueSW, 1);
    EXPECT_EQ(Entry(1).CommandID, 157);

    // Back to the kart value from before: that change is undone, the bike box
    // stays unchecked.
    kart.SetChecked(false);
    EXPECT_FALSE(bike.Checked());
    EXPECT_FALSE(kart.Checked());
    EXPECT_EQ(EntryOf(157), nullptr);
    ASSERT_NE(EntryOf(41), nullptr);
    EXPECT_EQ(EntryOf(41)->ActualValueSW, 0);
}

TEST_F(Capture, eachEditRecomputesOnlyItsOwnDerivedValues) {
    auto& ratio1 = Edit("ERatiosRpm1R");
    auto& degrees1 = Edit("EGearDetectionBarrelPosition1Barrel");
    const QString ratioBefore = ratio1.Text();

    Spin("SERatiosRpmDivisor").SetValue(2); // 46: the RPM factor only
    EXPECT_EQ(form->RPMFactorGLOB, 30);
    EXPECT_EQ(ratio1.Text(), ratioBefore);
    EXPECT_EQ(EntryOf(17), nullptr);

    Spin("SERatiosRpm1P").SetValue(12); // 129: the ratio, captured as a change of 17
    EXPECT_EQ(ratio1.Text(), "2,83");   // 34 / 12
    ASSERT_NE(EntryOf(17), nullptr);
    EXPECT_DOUBLE_EQ(EntryOf(17)->ActualValueSW, 2.83);

    Spin("SEGearDetectionSensorTypeMaximum").SetValue(2500); // 144: every degree display
    EXPECT_EQ(degrees1.Text(), "180");                       // 1000 mV over 500..2500
    EXPECT_EQ(Edit("EGearDetectionBarrelPositionRBarrel").Text(), "126");     // 700 mV
    EXPECT_EQ(Edit("EUpShiftActuationPreLoadExitTravelBarrel").Text(), "27"); // 150 mV
}

TEST_F(Capture, textThatIsNotANumber_showsTheLastValueAgainWithAMessage) {
    auto& power = Spin("SEDownShiftActuationMainLoadActuationPower");
    power.SetValue(70);
    ASSERT_EQ(EntryCount(), 1);
    power.SetText(QString()); // not typed by the user: judged at once
    EXPECT_EQ(power.Text(), "70");
    EXPECT_EQ(Entry(1).ActualValueSW, 70);
    EXPECT_EQ(EntryCount(), 1);
    ASSERT_EQ(MessagesAsked(), 1);
    EXPECT_EQ(dialogs.asked[0].text, form->TranslateString(34));
    EXPECT_FALSE(dialogs.asked[0].text.isEmpty());

    // A field never edited goes back to the value its row holds.
    auto& untouched = Spin("SEUpShiftActuationMainLoadActuationPower"); // 11, default 100
    untouched.SetText("-");
    EXPECT_EQ(untouched.Text(), "100");
    EXPECT_EQ(ColorOf("SEUpShiftActuationMainLoadActuationPower"), NotYetRead);
    EXPECT_EQ(EntryOf(11), nullptr);
    EXPECT_EQ(MessagesAsked(), 2);
}

TEST_F(Capture, typedText_isCapturedAndJudgedWhenTheTypingEnds) {
    auto& power = Spin("SEDownShiftActuationMainLoadActuationPower");
    power.SetValue(70);
    ASSERT_EQ(EntryCount(), 1);
    power.selectAll();
    QTest::keyClick(&power, Qt::Key_Backspace);
    EXPECT_EQ(MessagesAsked(), 0); // the user may be about to type the new number
    EXPECT_EQ(power.Text(), "");
    QTest::keyClicks(&power, "85");
    EXPECT_EQ(Entry(1).ActualValueSW, 70);
    QTest::keyClick(&power, Qt::Key_Return);
    EXPECT_EQ(Entry(1).ActualValueSW, 85);
    EXPECT_EQ(MessagesAsked(), 0);

    power.selectAll();
    QTest::keyClick(&power, Qt::Key_Minus);
    QTest::keyClick(&power, Qt::Key_Return);
    EXPECT_EQ(power.Text(), "85");
    EXPECT_EQ(MessagesAsked(), 1);
    EXPECT_EQ(dialogs.asked[0].text, form->TranslateString(Msg::NotANumber));
    EXPECT_EQ(Entry(1).ActualValueSW, 85);
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), clYellow);
}
