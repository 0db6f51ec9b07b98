// The control kinds: the rules the window logic relies on, and notifications
// raised for program writes as for user edits.
#include "ui/Controls.h"
#include "util/StringGridModel.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

TEST(SpinEdit, equalLimits_storeAnyValue) {
    TSpinEdit spin;
    spin.SetValue(-12345);
    EXPECT_EQ(spin.Value(), -12345);
    spin.SetMinValue(7);
    spin.SetMaxValue(7);
    spin.SetValue(99);
    EXPECT_EQ(spin.Value(), 99);
}

TEST(SpinEdit, differentLimits_storeNearestLimit) {
    TSpinEdit spin;
    spin.SetMinValue(10);
    spin.SetMaxValue(20);
    spin.SetValue(25);
    EXPECT_EQ(spin.Value(), 20);
    spin.SetValue(-3);
    EXPECT_EQ(spin.Value(), 10);
    spin.SetValue(15);
    EXPECT_EQ(spin.Value(), 15);
}

TEST(SpinEdit, textThatIsNoInteger_readsAsMinValue) {
    TSpinEdit spin;
    spin.SetMinValue(5);
    spin.SetMaxValue(50);
    for (const char* text : {"", "-", "12,5", "abc", "9999999999"}) {
        spin.SetText(QString::fromLatin1(text));
        EXPECT_EQ(spin.Value(), 5) << text;
    }
    spin.SetText(QStringLiteral(" 42 "));
    EXPECT_EQ(spin.Value(), 42);
}

TEST(SpinEdit, arrowsStepByIncrementWithinLimits) {
    TSpinEdit spin;
    spin.SetMinValue(0);
    spin.SetMaxValue(1000);
    spin.SetIncrement(10);
    spin.SetValue(995);
    spin.stepBy(-2);
    EXPECT_EQ(spin.Value(), 975);
    spin.stepBy(3);
    EXPECT_EQ(spin.Value(), 1000);
    spin.setReadOnly(true);
    spin.stepBy(-1);
    EXPECT_EQ(spin.Value(), 1000);
}

TEST(SpinEdit, programWritesRaiseChangeAtOnce_typingOnlyWhenItEnds) {
    TSpinEdit spin;
    QSignalSpy changes(&spin, &TSpinEdit::Change);
    spin.SetValue(3);
    EXPECT_EQ(changes.count(), 1);
    spin.SetValue(3); // nothing shown changes
    EXPECT_EQ(changes.count(), 1);
    QTest::keyClick(&spin, Qt::Key_4);
    QTest::keyClick(&spin, Qt::Key_A); // letters are refused
    EXPECT_EQ(spin.Text(), QStringLiteral("34"));
    EXPECT_EQ(changes.count(), 1); // still typing
    QTest::keyClick(&spin, Qt::Key_Return);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(spin.Value(), 34);
    QTest::keyClick(&spin, Qt::Key_Return); // nothing typed since
    EXPECT_EQ(changes.count(), 2);
}

TEST(SpinEdit, typingEndsHeldToTheLimits_reportedOnlyWhenTheValueDiffers) {
    TSpinEdit spin;
    spin.SetMinValue(10);
    spin.SetMaxValue(100);
    spin.SetValue(100);
    QSignalSpy changes(&spin, &TSpinEdit::Change);
    const auto type = [&](const char* typed) {
        spin.selectAll();
        QTest::keyClicks(&spin, QString::fromLatin1(typed));
    };
    // Above the maximum, onto the value shown before: nothing to report.
    type("250");
    QTest::keyClick(&spin, Qt::Key_Return);
    EXPECT_EQ(spin.Text(), "100");
    EXPECT_EQ(changes.count(), 0);
    // Below the minimum: the minimum, reported once.
    type("5");
    QTest::keyClick(&spin, Qt::Key_Enter);
    EXPECT_EQ(spin.Text(), "10");
    EXPECT_EQ(changes.count(), 1);
    // Typed back to what was reported: nothing.
    type("55");
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QTest::keyClicks(&spin, "10");
    QTest::keyClick(&spin, Qt::Key_Return);
    EXPECT_EQ(changes.count(), 1);
    // A sign and a leading zero are written as the number they are.
    type("+070");
    QTest::keyClick(&spin, Qt::Key_Return);
    EXPECT_EQ(spin.Text(), "70");
    EXPECT_EQ(changes.count(), 2);
    // An arrow while typing steps from the typed value, held first.
    type("300");
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.Text(), "99");
    EXPECT_EQ(changes.count(), 4); // the held 100, then 99
    // A program write replaces the typing; its end has nothing left to report.
    type("42");
    spin.SetValue(60);
    EXPECT_EQ(changes.count(), 5);
    QTest::keyClick(&spin, Qt::Key_Return);
    EXPECT_EQ(spin.Text(), "60");
    EXPECT_EQ(changes.count(), 5);
    // Text that is no number is reported as it stands, for the window to judge.
    type("-");
    QTest::keyClick(&spin, Qt::Key_Return);
    EXPECT_EQ(spin.Text(), "-");
    EXPECT_EQ(changes.count(), 6);
}

TEST(SpinEdit, wheelStepsOnlyTheFocusedField) {
    TSpinEdit spin;
    spin.SetIncrement(5);
    spin.show();
    const auto wheel = [&] {
        QWheelEvent event(QPointF(5, 5), spin.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&spin, &event);
    };
    wheel();
    EXPECT_EQ(spin.Value(), 0);
    QApplication::setActiveWindow(&spin);
    spin.setFocus();
    if (!spin.hasFocus())
        GTEST_SKIP() << "the platform gives no focus";
    wheel();
    EXPECT_EQ(spin.Value(), 5);
}

TEST(Edit, programWriteRaisesChangeOnlyWhenTextChanges) {
    TEdit edit;
    QSignalSpy changes(&edit, &TEdit::Change);
    edit.SetText(QStringLiteral("4,5"));
    edit.SetText(QStringLiteral("4,5"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(edit.Text(), QStringLiteral("4,5"));
}

TEST(Edit, typingEndsHeldToItsLimitsWithTheirDecimals_insideStaysAsTyped) {
    TEdit edit;
    edit.SetText(QStringLiteral("12,0"));
    QSignalSpy changes(&edit, &TEdit::Change);
    const auto type = [&](const char* typed) {
        edit.selectAll();
        QTest::keyClicks(&edit, QString::fromLatin1(typed));
    };
    // Without limits a typed number stays as typed, reported when typing ends.
    type("99,99");
    EXPECT_EQ(changes.count(), 0);
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.Text(), "99,99");
    EXPECT_EQ(changes.count(), 1);

    edit.SetLimits(EditLimits{6.0, 16.0, 1});
    type("20");
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.Text(), "16,0");
    EXPECT_EQ(changes.count(), 2);
    type("5,95");
    EXPECT_TRUE(edit.FinishTyping()); // as when a button is pressed
    EXPECT_EQ(edit.Text(), "6,0");
    EXPECT_EQ(changes.count(), 3);
    type("12,25");
    EXPECT_TRUE(edit.FinishTyping());
    EXPECT_EQ(edit.Text(), "12,25");
    EXPECT_EQ(changes.count(), 4);
    type("abc");
    EXPECT_FALSE(edit.FinishTyping());
    EXPECT_EQ(edit.Text(), "abc"); // reported for the window to judge
    EXPECT_EQ(changes.count(), 5);
    EXPECT_TRUE(edit.FinishTyping()); // nothing typed since
    EXPECT_EQ(changes.count(), 5);
}

TEST(CheckBox, threeStates_eachChangeRaisesClick) {
    TCheckBox check;
    QSignalSpy clicks(&check, &TCheckBox::Click);
    EXPECT_EQ(check.State(), TCheckBoxState::cbUnchecked);
    check.SetState(TCheckBoxState::cbGrayed);
    EXPECT_EQ(check.State(), TCheckBoxState::cbGrayed);
    EXPECT_FALSE(check.Checked());
    check.SetChecked(true);
    EXPECT_EQ(check.State(), TCheckBoxState::cbChecked);
    check.SetChecked(true);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(CheckBox, userClickTogglesAndLeavesGrayed) {
    TCheckBox check;
    check.SetState(TCheckBoxState::cbGrayed);
    check.click();
    EXPECT_EQ(check.State(), TCheckBoxState::cbChecked);
    check.click();
    EXPECT_EQ(check.State(), TCheckBoxState::cbUnchecked);
    check.click();
    EXPECT_EQ(check.State(), TCheckBoxState::cbChecked);
}

TEST(RadioGroup, itemIndexMinusOneSelectsNothing_changesRaiseClick) {
    TRadioGroup group;
    group.SetColumns(2);
    group.SetItems({QStringLiteral("Decreasing"), QStringLiteral("Increasing")});
    QSignalSpy clicks(&group, &TRadioGroup::Click);
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItemIndex(1);
    group.SetItemIndex(1);
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_EQ(clicks.count(), 1);
    group.SetItemIndex(-1);
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_EQ(clicks.count(), 2);
    const auto buttons = group.findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    for (QAbstractButton* button : buttons)
        EXPECT_FALSE(button->isChecked());
    buttons[0]->click(); // a user click
    EXPECT_EQ(group.ItemIndex(), 0);
    EXPECT_EQ(clicks.count(), 3);
    group.SetItemIndex(5); // out of range selects nothing
    EXPECT_EQ(group.ItemIndex(), -1);
}

TEST(RadioGroup, twoColumnsPutItemsSideBySide) {
    TRadioGroup group;
    group.SetColumns(2);
    group.SetItems({QStringLiteral("Digital"), QStringLiteral("Analog")});
    group.resize(300, 60);
    group.show();
    const auto buttons = group.findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->y(), buttons[1]->y());
    EXPECT_LT(buttons[0]->x(), buttons[1]->x());
}

TEST(Captions, doubleAmpersandShowsOne_singleMarksAccelerator) {
    EXPECT_EQ(CaptionToDisplayText(QStringLiteral(" Ratios && RPM")),
              QStringLiteral(" Ratios & RPM"));
    EXPECT_EQ(CaptionToDisplayText(QStringLiteral("&Load")), QStringLiteral("Load"));
    EXPECT_EQ(CaptionToDisplayText(QStringLiteral("a&&&b&")), QStringLiteral("a&b"));
    TLabel label;
    label.SetCaption(QStringLiteral("Neutral && Reverse"));
    EXPECT_EQ(label.text(), QStringLiteral("Neutral & Reverse"));
    EXPECT_EQ(label.Caption(), QStringLiteral("Neutral && Reverse"));
}

TEST(ProgressBar, statesDrawGreenRedYellow) {
    const QColor normal = TProgressBar::StateColor(TProgressBarState::pbsNormal);
    const QColor error = TProgressBar::StateColor(TProgressBarState::pbsError);
    const QColor paused = TProgressBar::StateColor(TProgressBarState::pbsPaused);
    EXPECT_GT(normal.green(), normal.red());
    EXPECT_GT(error.red(), 2 * error.green());
    EXPECT_GT(paused.red(), 2 * paused.blue());
    EXPECT_GT(paused.green(), 2 * paused.blue());

    TProgressBar bar;
    bar.resize(104, 14);
    bar.SetMin(0);
    bar.SetMax(200);
    bar.SetPosition(50);
    bar.SetState(TProgressBarState::pbsError);
    const QImage image = bar.grab().toImage();
    const QColor drawn = image.pixelColor(10, 7);
    EXPECT_EQ(drawn, error);
    EXPECT_NE(image.pixelColor(90, 7), error); // beyond the position
    EXPECT_EQ(bar.FilledWidth(100), 25);
    bar.SetPosition(900);
    EXPECT_EQ(bar.FilledWidth(100), 100);
    bar.SetMax(0); // an empty range draws nothing
    EXPECT_EQ(bar.FilledWidth(100), 0);
}

// Screen readers see a progress bar with its range and position; a range
// change keeps the position, held within the new range.
TEST(ProgressBar, isAnAccessibleProgressBarWhosePositionStaysWithinItsRange) {
    TProgressBar bar;
    EXPECT_EQ(bar.Position(), 0);
    bar.SetMin(10);
    bar.SetMax(130);
    bar.SetPosition(100);
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->role(), QAccessible::ProgressBar);
    ASSERT_NE(shown->valueInterface(), nullptr);
    EXPECT_EQ(shown->valueInterface()->currentValue().toInt(), 100);
    EXPECT_EQ(shown->valueInterface()->maximumValue().toInt(), 130);
    bar.SetMax(200);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetMax(50);
    EXPECT_EQ(bar.Position(), 50);
    bar.SetPosition(-5);
    EXPECT_EQ(bar.Position(), 10);
}

TEST(StringGrid, showsItsModelAndMeasuresInItsFont) {
    TStringGrid grid;
    grid.SetColCount(3);
    grid.SetRowCount(4);
    grid.SetCells(2, 3, QStringLiteral("MAXVATPS"));
    EXPECT_EQ(grid.model()->rowCount(), 4);
    EXPECT_EQ(grid.model()->columnCount(), 3);
    EXPECT_EQ(grid.model()->index(3, 2).data().toString(), QStringLiteral("MAXVATPS"));
    const QString text = QStringLiteral("A fairly long description");
    EXPECT_EQ(grid.Model().TextWidth(text), grid.fontMetrics().horizontalAdvance(text));
    grid.SetColWidths(1, 123);
    EXPECT_EQ(grid.columnWidth(1), 123);
}

TEST(StringGrid, newCellTextSignalsThatCellAlone_sameTextNothing_newShapeResets) {
    TStringGrid grid;
    grid.SetColCount(6);
    grid.SetRowCount(201);
    QSignalSpy changes(grid.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy resets(grid.model(), &QAbstractItemModel::modelReset);
    grid.SetCells(5, 17, QStringLiteral("T"));
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex(), grid.model()->index(17, 5));
    EXPECT_EQ(changes[0][1].toModelIndex(), grid.model()->index(17, 5));
    grid.SetCells(5, 17, QStringLiteral("T"));
    EXPECT_EQ(changes.size(), 1);
    grid.SetRowCount(5);
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(grid.model()->rowCount(), 5);
}

TEST(StringGrid, selectingRowsAsksFirstAndSkipsFixedRows) {
    TStringGrid grid;
    grid.SetColCount(6);
    grid.SetRowCount(10);
    grid.SetFixedCols(0);
    grid.SetFixedRows(1);
    grid.SetRowSelect(true);
    std::vector<int> asked;
    bool allow = true;
    QObject::connect(&grid, &TStringGrid::SelectCell, [&](int, int row, bool* canSelect) {
        asked.push_back(row);
        *canSelect = allow;
    });
    grid.SetRow(3);
    EXPECT_EQ(grid.Row(), 3);
    grid.SetRow(3); // the selected row raises nothing
    grid.SetRow(0); // a fixed row cannot be selected
    EXPECT_EQ(grid.Row(), 3);
    allow = false;
    grid.SetRow(5);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(asked, (std::vector<int>{3, 5}));
}

TEST(StringGrid, userClickAsksSelectCellAndDrawCellRunsPerCell) {
    TStringGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(5);
    grid.SetFixedCols(0);
    grid.resize(300, 200);
    grid.show();
    int drawn = 0;
    QObject::connect(&grid, &TStringGrid::DrawCell,
                     [&](QPainter*, int, int, const QRect&, bool) { ++drawn; });
    std::vector<int> asked;
    QObject::connect(&grid, &TStringGrid::SelectCell,
                     [&](int, int row, bool*) { asked.push_back(row); });
    const QRect cell = grid.visualRect(grid.model()->index(2, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(asked, std::vector<int>{2});
    EXPECT_EQ(grid.Row(), 2);
    grid.grab();
    EXPECT_GE(drawn, 10);
}

TEST(PageControl, tabIndexCountsVisibleTabs) {
    TPageControl pages;
    TTabSheet* sheets[4];
    for (int i = 0; i < 4; ++i) {
        sheets[i] = new TTabSheet;
        sheets[i]->SetCaption(QStringLiteral("Page %1").arg(i));
        pages.AddPage(sheets[i]);
    }
    EXPECT_EQ(sheets[3]->TabIndex(), 3);
    sheets[1]->SetTabVisible(false);
    EXPECT_FALSE(sheets[1]->TabVisible());
    EXPECT_EQ(sheets[1]->TabIndex(), -1);
    EXPECT_EQ(sheets[2]->TabIndex(), 1);
    EXPECT_EQ(sheets[3]->TabIndex(), 2);
    EXPECT_EQ(sheets[3]->PageIndex(), 3);
    sheets[1]->SetTabVisible(true);
    EXPECT_EQ(sheets[3]->TabIndex(), 3);
}

TEST(ControlProperties, hintShowsWhileOwnFlagOrWindowFlagIsOn) {
    TEdit edit;
    edit.SetHint(QStringLiteral("7 [ENGCUTTM] Engine cut time"));
    edit.SetWindowShowHint(true);
    EXPECT_EQ(edit.toolTip(), edit.Hint());
    edit.SetWindowShowHint(false);
    EXPECT_TRUE(edit.toolTip().isEmpty());
    edit.SetShowHint(true); // its own flag no longer follows the window
    EXPECT_EQ(edit.toolTip(), edit.Hint());
    edit.SetWindowShowHint(true);
    edit.SetWindowShowHint(false);
    EXPECT_EQ(edit.toolTip(), edit.Hint());
}

TEST(ControlProperties, colourIsStoredAndPainted) {
    TSpinEdit spin;
    spin.SetColor(0x00AAFFFF);
    EXPECT_EQ(spin.Color(), 0x00AAFFFFu);
    EXPECT_EQ(spin.palette().color(QPalette::Base), QColor(255, 255, 170));
    TShape marker;
    EXPECT_EQ(marker.BrushColor(), 0x0080FFFFu); // design-time fill
    marker.resize(20, 20);
    marker.SetBrushColor(clLime);
    EXPECT_EQ(marker.grab().toImage().pixelColor(10, 10), QColor(0, 255, 0));
}
