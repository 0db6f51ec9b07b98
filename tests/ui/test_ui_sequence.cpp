// The change sequence in the window: the grid's colours, selecting an entry,
// the button rules (discard, erase, transmit without a link), the question
// before closing with unsent changes; and, against the simulated GCU, "Transmit
// All", a GCU that does not answer, "Discard" and "Erase All".
#include "app/DemoMode.h"
#include "gcusim/GcuSimulator.h"
#include "translation/MessageNumbers.h"
#include "ui/test_ui_editing_window.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <algorithm>

namespace {

using qvtest::WaitFor;

class SequenceWindow : public EditingWindow {
  protected:
    // The colour painted inside cell (Col, Row) of the sequence grid, away from its text.
    QColor GridCellColor(int col, int row) {
        TStringGrid& grid = Grid();
        grid.scrollToTop();
        const QImage image = grid.viewport()->grab().toImage();
        const int x = grid.columnViewportPosition(col) + grid.columnWidth(col) - 4;
        const int y = grid.rowViewportPosition(row) + 2;
        return image.pixelColor(x, y);
    }
    int TimesAsked(int message) const {
        const QString text = form->TranslateString(message);
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&text](const auto& q) { return q.text == text; }));
    }
    int CurrentPage() const { return form->Control<TPageControl>("PCMain").currentIndex(); }
    // Two pending changes: up-shift power (page 2) first, then down-shift power (page 3).
    void CaptureTwoChanges() {
        Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);   // 11
        Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70); // 8
        ASSERT_EQ(EntryCount(), 2);
        ASSERT_EQ(Entry(1).CommandID, 8);
    }
};

} // namespace

// ------------------------------------------------------------------ grid and selection

TEST_F(SequenceWindow, gridRowsShowTheirStatusColour_theSelectedRowItsSelectedColour) {
    CaptureTwoChanges();
    EXPECT_EQ(GridCellColor(2, 1), ToQColor(GetStatusColor("M", true)));
    EXPECT_EQ(GridCellColor(2, 2), ToQColor(GetStatusColor("M", false)));
    EXPECT_EQ(GridCellColor(2, 3), ToQColor(GetStatusColor("", false)));
    form->Sequence[2].Status = "L";
    form->FillSGSequence();
    EXPECT_EQ(GridCellColor(5, 2), ToQColor(GetStatusColor("L", false)));
    Grid().SetRow(2);
    EXPECT_EQ(GridCellColor(2, 2), ToQColor(GetStatusColor("L", true)));
    EXPECT_EQ(GridCellColor(2, 1), ToQColor(GetStatusColor("M", false)));
}

TEST_F(SequenceWindow, pickingARow_highlightsItsControlsAndShowsTheirPageUnlessSilenced) {
    CaptureTwoChanges();
    EXPECT_EQ(CurrentPage(), 2); // the newest change's page, Down Shift
    Grid().SetRow(2);
    EXPECT_EQ(form->SequenceActivePositionGLOB, 2);
    EXPECT_EQ(CurrentPage(), 1);
    EXPECT_EQ(ColorOf("SEUpShiftActuationMainLoadActuationPower"), GetStatusColor("M", true));
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), GetStatusColor("M", false));

    form->SilentActivePageChangeGLOB = true;
    Grid().SetRow(1);
    EXPECT_EQ(form->SequenceActivePositionGLOB, 1);
    EXPECT_EQ(CurrentPage(), 1);
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), GetStatusColor("M", true));
}

// ------------------------------------------------------------------ discard and erase

TEST_F(SequenceWindow, discard_showsThePreviousValueWithoutCapturingIt_onlyForPendingEntries) {
    CaptureTwoChanges();
    auto& down = Spin("SEDownShiftActuationMainLoadActuationPower");
    Button("BSequenceDiscard").click();
    EXPECT_EQ(down.Value(), 100);
    ASSERT_EQ(EntryCount(), 2);
    EXPECT_EQ(Entry(1).CommandID, 8);
    EXPECT_EQ(Entry(1).Status, "D");
    EXPECT_EQ(Entry(1).ActualValueSW, 70);
    EXPECT_TRUE(form->Commands[8].Status.isEmpty());
    EXPECT_EQ(form->Commands[8].ActualValueSW, 100);
    EXPECT_EQ(Grid().Cells(5, 1), "D");
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), GetStatusColor("D", true));
    EXPECT_FALSE(Button("BSequenceDiscard").isEnabled());

    Button("BSequenceDiscard").Click(); // a "D" entry is left as it is
    EXPECT_EQ(Entry(1).Status, "D");

    Button("BSequenceDiscardAll").click();
    EXPECT_EQ(Entry(2).Status, "D");
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationPower").Value(), 100);
    EXPECT_EQ(Grid().Row(), 1);
    EXPECT_FALSE(Button("BSequenceDiscardAll").isEnabled());
    EXPECT_EQ(MessagesAsked(), 0);
}

TEST_F(SequenceWindow, erase_asksFirst_noKeepsTheEntry_yesRemovesAndRestoresIt) {
    CaptureTwoChanges();
    dialogs.messageAnswers = {mrNo};
    Button("BSequenceErase").click();
    EXPECT_EQ(TimesAsked(5), 1);
    EXPECT_EQ(EntryCount(), 2);

    dialogs.messageAnswers = {mrYes};
    Button("BSequenceErase").click();
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 11);
    EXPECT_EQ(Spin("SEDownShiftActuationMainLoadActuationPower").Value(), 100);
    EXPECT_EQ(ColorOf("SEDownShiftActuationMainLoadActuationPower"), clWhite);
    EXPECT_EQ(Grid().Cells(1, 1), "UPACTPWR");
    EXPECT_TRUE(Grid().Cells(1, 2).isEmpty());
}

TEST_F(SequenceWindow, eraseAll_noChangesNothing_yesEmptiesRestoringOnlyUnsentControls) {
    CaptureTwoChanges();
    form->Sequence[2].Status = "T"; // the up-shift change had been sent
    dialogs.messageAnswers = {mrNo};
    Button("BSequenceEraseAll").click();
    EXPECT_EQ(EntryCount(), 2);
    EXPECT_EQ(Spin("SEDownShiftActuationMainLoadActuationPower").Value(), 70);

    dialogs.messageAnswers = {mrYes};
    Button("BSequenceEraseAll").click();
    EXPECT_EQ(TimesAsked(5), 2);
    EXPECT_EQ(EntryCount(), 0);
    EXPECT_EQ(Spin("SEDownShiftActuationMainLoadActuationPower").Value(), 100);
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationPower").Value(), 80);
    EXPECT_EQ(ColorOf("SEUpShiftActuationMainLoadActuationPower"), clWhite);
    EXPECT_FALSE(Button("BSequenceErase").isEnabled());
}

TEST_F(SequenceWindow, transmitWithoutLink_reportsTheSendErrorAndKeepsTheEntry) {
    CaptureTwoChanges();
    Button("BSequenceTransmit").Click();
    ASSERT_EQ(MessagesAsked(), 1);
    EXPECT_EQ(dialogs.asked[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(Entry(1).Status, "M");
    Button("BSequenceTransmitAll").Click();
    EXPECT_EQ(MessagesAsked(), 2);
    EXPECT_EQ(Entry(1).Status, "M");
    EXPECT_EQ(Entry(2).Status, "M");
}

// ------------------------------------------------------------------ closing

TEST_F(SequenceWindow, closingWithUnsentChanges_asks_noKeepsTheWindowOpen_yesCloses) {
    CaptureTwoChanges();
    dialogs.messageAnswers = {mrNo};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(TimesAsked(31), 1);
    EXPECT_FALSE(form->TranslateString(31).isEmpty());

    dialogs.messageAnswers = {mrYes};
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(TimesAsked(31), 2);
}

TEST_F(SequenceWindow, closingWithOnlySentOrDiscardedEntries_asksNothing) {
    CaptureTwoChanges();
    form->Sequence[1].Status = "T";
    form->Sequence[2].Status = "D";
    EXPECT_TRUE(form->close());
    EXPECT_EQ(MessagesAsked(), 0);
}

// ------------------------------------------------------------------ with the simulated GCU

namespace {

// The shared window with the simulated GCU; frames compared without their
// line ends.
class SequenceWithGcu : public qvtest::WindowWithGcu {
  protected:
    static QByteArray Trimmed(const QByteArray& frame) { return frame.trimmed(); }
};

} // namespace

TEST_F(SequenceWithGcu, transmitAll_sendsThreeEditsInListOrderAndStoresOnce_readBackAsRead) {
    ConnectAndRead();
    Spin("SEGearDetectionRecognitionToleranceMillivolts").SetValue(120); // Main Setting
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);       // Up Shift
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);     // Down Shift
    ASSERT_EQ(form->Sequence.Count(), 3);
    const int before = gcu->FramesReceived();
    ASSERT_TRUE(Button("BSequenceTransmitAll").isEnabled());
    Button("BSequenceTransmitAll").click();
    ASSERT_TRUE(WaitFor([&] { return gcu->FramesReceived() >= before + 5; }));
    QList<QByteArray> frames = FramesSince(before);
    std::transform(frames.begin(), frames.end(), frames.begin(), Trimmed);
    // The store is read back and checked.
    EXPECT_EQ(frames, (QList<QByteArray>{"[DNACTPWR 70]", "[UPACTPWR 80]", "[GEARTOLR 0.12]",
                                         "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 1);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Entry(i).Status, "T") << i;
    EXPECT_EQ(form->Control<TStringGrid>("SGSequence").Row(), 1);
    EXPECT_FALSE(Button("BSequenceTransmitAll").isEnabled());
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);

    // A reconnect resets the GCU to what it stored; a new download shows the
    // sent values in the colour of values read.
    Button("BSerialCommunicationConnectDisconnect").Click();
    ASSERT_FALSE(Connected());
    dialogs.messageAnswers = {mrYes, mrYes}; // the offer to read, then "discard the sequence"
    Button("BSerialCommunicationConnectDisconnect").Click();
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(17) == 2; }));
    EXPECT_EQ(TimesAsked(18), 1);
    EXPECT_EQ(gcu->ParameterById(8), 70);
    EXPECT_EQ(gcu->ParameterById(11), 80);
    EXPECT_EQ(gcu->ParameterById(62), 0.12);
    EXPECT_EQ(Spin("SEDownShiftActuationMainLoadActuationPower").Value(), 70);
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationPower").Value(), 80);
    EXPECT_EQ(Spin("SEGearDetectionRecognitionToleranceMillivolts").Value(), 120);
    for (const char* name :
         {"SEDownShiftActuationMainLoadActuationPower", "SEUpShiftActuationMainLoadActuationPower",
          "SEGearDetectionRecognitionToleranceMillivolts"})
        EXPECT_EQ(Spin(name).Color(), GetStatusColor("A", false)) << name;
    EXPECT_TRUE(form->Sequence.IsEmpty());
}

TEST_F(SequenceWithGcu, unansweredEntryKeepsItsStatus_runStops_userIsTold_discardAndEraseAllNo) {
    ConnectAndRead();
    LinkExchange::Limits limits;
    limits.anyPiece = std::chrono::milliseconds(400);
    form->SetLinkLimits(limits);
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);

    GcuFaultOptions silent;
    silent.neverAnswer = true;
    gcu->SetFaults(silent);
    int before = gcu->FramesReceived();
    // A click on "Transmit" while the run waits does not start a second transmission.
    QTimer::singleShot(50, form.get(), [this] { Button("BSequenceTransmit").Click(); });
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 1);
    EXPECT_EQ(Entry(1).Status, "M");
    EXPECT_EQ(Entry(2).Status, "M");
    ASSERT_TRUE(WaitFor([&] { return gcu->FramesReceived() >= before + 1; }));
    QTest::qWait(200); // nothing else may follow: no second entry, no store
    ASSERT_EQ(FramesSince(before).size(), 1);
    EXPECT_EQ(FramesSince(before)[0].trimmed(), "[DNACTPWR 70]");

    Button("BSequenceTransmit").click();
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 2);
    EXPECT_EQ(Entry(1).Status, "M");

    // The GCU answers again: a single transmit sends the frame and the store
    // (the unit, which the unanswered frames may have changed, is read first
    // for its restore point, and the store is read back after).
    gcu->SetFaults(GcuFaultOptions());
    before = gcu->FramesReceived();
    Button("BSequenceTransmit").click();
    EXPECT_EQ(Entry(1).Status, "T");
    ASSERT_TRUE(WaitFor([&] { return gcu->FramesReceived() >= before + 2; }));
    QList<QByteArray> frames = FramesSince(before);
    std::transform(frames.begin(), frames.end(), frames.begin(), Trimmed);
    const qsizetype sent = frames.indexOf("[DNACTPWR 70]");
    ASSERT_GE(sent, 0);
    EXPECT_EQ(frames.value(sent + 1), "[SAVEPRMT 0]");

    // Discard of the unsent up-shift change: the value read comes back, and it
    // is not captured as a change.
    form->Control<TStringGrid>("SGSequence").SetRow(2);
    Button("BSequenceDiscard").click();
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationPower").Value(), 100);
    EXPECT_EQ(Entry(2).Status, "D");
    EXPECT_EQ(form->Sequence.Count(), 2);

    dialogs.messageAnswers = {mrNo};
    Button("BSequenceEraseAll").click();
    EXPECT_EQ(form->Sequence.Count(), 2);
    EXPECT_EQ(Entry(1).Status, "T");
    EXPECT_EQ(Spin("SEDownShiftActuationMainLoadActuationPower").Value(), 70);
}
