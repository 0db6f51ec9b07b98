// The window against its inventory: every control with its kind, parent,
// caption, command ID, keyword and tag, the component order the binding walks,
// the markers of bound check boxes, the rows of the shipped commands file, and
// a layout in which everything fits.
#include "model/CommandTable.h"
#include "ui/Inventory.h"
#include "ui/Layout.h"
#include "ui/UnitMain.h"
#include "util/StringGridModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QString CaptionOf(QObject* control) {
    if (auto* label = qobject_cast<TLabel*>(control))
        return label->Caption();
    if (auto* button = qobject_cast<TButton*>(control))
        return button->Caption();
    if (auto* check = qobject_cast<TCheckBox*>(control))
        return check->Caption();
    if (auto* radio = qobject_cast<TRadioGroup*>(control))
        return radio->Caption();
    if (auto* group = qobject_cast<TGroupBox*>(control))
        return group->Caption();
    if (auto* page = qobject_cast<TTabSheet*>(control))
        return page->Caption();
    return {};
}

class WindowTest : public ::testing::Test {
  protected:
    TFormMain form;
};

TEST_F(WindowTest, everyInventoryControlExistsWithItsData) {
    for (const InventoryItem& item : MainWindowInventory()) {
        const QString name = QString::fromLatin1(item.name);
        SCOPED_TRACE(item.name);
        QObject* control = form.FindComponent(name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->objectName(), name);
        EXPECT_EQ(TFormMain::ClassName(control), QLatin1String(ControlKindClassName(item.kind)));
        const QString parent =
            *item.parent ? QString::fromLatin1(item.parent) : QStringLiteral("FormMain");
        // A page's widget parent is its page control's stack; its page control counts.
        if (auto* page = qobject_cast<TTabSheet*>(control)) {
            EXPECT_EQ(page->PageControl()->objectName(), parent);
        } else {
            EXPECT_EQ(control->parent()->objectName(), parent);
        }
        EXPECT_EQ(CaptionOf(control), QString::fromUtf8(item.caption));
        const TComponent* props = AsComponent(control);
        EXPECT_EQ(props->HelpContext(), item.helpContext);
        EXPECT_EQ(props->HelpKeyword(), QString::fromUtf8(item.helpKeyword));
        EXPECT_EQ(props->Tag(), item.tag);
    }
}

TEST_F(WindowTest, spotChecksOfNamesIdsAndSettings) {
    EXPECT_EQ(form.Control<TButton>("BGearDetectionBarrelPositionRSet").HelpKeyword(), "R");
    EXPECT_EQ(form.Control<TButton>("BGearDetectionBarrelPosition6Set").HelpContext(), 83);
    EXPECT_EQ(form.Control<TButton>("BSerialCommunicationConnectDisconnect").HelpContext(), -1);
    EXPECT_EQ(form.Control<TPageControl>("PCMain").HelpContext(), 81);
    EXPECT_EQ(form.Control<TButton>("BTranslateSpanish").Tag(), 4);
    EXPECT_EQ(form.Control<TEdit>("EGearDetectionBarrelPosition1Barrel").Tag(), 10);
    EXPECT_TRUE(form.Control<TEdit>("EGearDetectionBarrelPosition1Barrel").isReadOnly());
    EXPECT_EQ(form.Control<TSpinEdit>("SEGearDetectionBarrelPositionRMillivolts").Increment(), 10);
    EXPECT_EQ(form.Control<TSpinEdit>("SERatiosRpm1P").Increment(), 1);
    EXPECT_TRUE(form.Control<TSpinEdit>("SEThrottlePositionSensorIdleMillivolts").isReadOnly());
    EXPECT_TRUE(form.Control<TEdit>("ERatiosRpm1L").isHidden());
    EXPECT_FALSE(form.Control<TCheckBox>("CBLiveActive").isEnabled());
    EXPECT_FALSE(form.Control<TProgressBar>("PBSerialLiveRPM").isEnabled());
    EXPECT_FALSE(form.Control<TSpinEdit>("SERecoveryOutputTestUpShiftActuationPower").isEnabled());
    EXPECT_EQ(form.Control<TSpinEdit>("SERecoveryOutputTestUpShiftActuationPower").Color(),
              clSilver);
    EXPECT_EQ(form.Control<TEdit>("ESerialLiveGear").Text(), "N");
    EXPECT_EQ(form.Control<TEdit>("ESerialLiveSelector").Text(), "A");
    EXPECT_EQ(form.Control<TEdit>("ESerialLiveSelector").Color(), clGreen);
    EXPECT_EQ(form.Control<TComboBox>("CBSerialCommunicationComPort").Text(), "AUTO CONNECT");
    EXPECT_EQ(form.Control<TLabel>("LSerialCommunicationStatus").Caption(), "No Connection");
    auto& inputs = form.Control<TRadioGroup>("GBInputsOutputsSelector");
    EXPECT_EQ(inputs.Items(), (QStringList{"Digital", "Analog"}));
    EXPECT_EQ(inputs.Columns(), 2);
    EXPECT_EQ(inputs.ItemIndex(), -1);
    EXPECT_EQ(form.Control<TRadioGroup>("GBInputsOutputsLed").Columns(), 1);

    auto& commands = form.Control<TStringGrid>("SGCommands");
    EXPECT_EQ(commands.ColCount(), 15);
    EXPECT_EQ(commands.RowCount(), 201);
    EXPECT_EQ(commands.ColWidths(3), 30);
    EXPECT_TRUE(commands.CellsEditable());
    auto& translation = form.Control<TStringGrid>("SGTranslation");
    EXPECT_EQ(translation.ColCount(), 7);
    EXPECT_EQ(translation.RowCount(), 1001);
    EXPECT_EQ(translation.FixedCols(), 2);
    auto& sequence = form.Control<TStringGrid>("SGSequence");
    EXPECT_EQ(sequence.ColCount(), 6);
    EXPECT_EQ(sequence.RowCount(), 201);
    EXPECT_EQ(sequence.FixedCols(), 0);
    EXPECT_TRUE(sequence.RowSelect());
    EXPECT_EQ(form.FindComponent("NoSuchControl"), nullptr);
}

TEST_F(WindowTest, spinEditsStartUnlimitedCheckBoxesUncheckedMarkersHidden) {
    for (QObject* component : form.ComponentList()) {
        if (auto* spin = qobject_cast<TSpinEdit*>(component)) {
            EXPECT_EQ(spin->MinValue(), 0);
            EXPECT_EQ(spin->MaxValue(), 0);
        } else if (auto* check = qobject_cast<TCheckBox*>(component)) {
            EXPECT_EQ(check->State(), TCheckBoxState::cbUnchecked);
        } else if (auto* marker = qobject_cast<TShape*>(component)) {
            EXPECT_TRUE(marker->isHidden());
            EXPECT_EQ(marker->BrushColor(), 0x0080FFFFu);
        }
    }
}

TEST_F(WindowTest, componentsInInventoryOrderThenNonVisualOnes) {
    const auto inventory = MainWindowInventory();
    ASSERT_GE(form.ComponentCount(), int(inventory.size()));
    for (size_t i = 0; i < inventory.size(); ++i)
        ASSERT_EQ(form.Components(int(i))->objectName(), QLatin1String(inventory[i].name));
    QStringList tail;
    for (int i = int(inventory.size()); i < form.ComponentCount(); ++i)
        tail << form.Components(i)->objectName();
    const QStringList expected{"SaveDialog",       "OpenDialog",
                               "SerialPort",       "TimerConnection",
                               "TimerAutoConnect", "TimerCalculateBarrelDegrees"};
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(TFormMain::ClassName(form.FindComponent("SaveDialog")), "TSaveDialog");
    EXPECT_EQ(form.SaveDialog->HelpContext(), 2000);
    EXPECT_EQ(form.OpenDialog->HelpContext(), 2000);
}

TEST_F(WindowTest, serialPortHasItsDesignTimeSettings) {
    ASSERT_NE(form.SerialPort, nullptr);
    EXPECT_EQ(TFormMain::ClassName(form.SerialPort), "TSerialPort");
    EXPECT_EQ(form.SerialPort->CommPortToString(form.SerialPort->GetCommPort()), "COM8");
    EXPECT_EQ(form.SerialPort->BaudRateToInt(form.SerialPort->BaudRate()), 115200);
    EXPECT_EQ(form.SerialPort->CustomPortName(), "vcom1");
    EXPECT_EQ(form.SerialPort->NewLine(), "\r\n");
    EXPECT_EQ(form.SerialPort->PacketSize(), 0u);
    EXPECT_FALSE(form.SerialPort->IsConnected());
}

TEST_F(WindowTest, timersHaveTheirPeriodsAndOnlyAutoConnectRuns) {
    EXPECT_EQ(form.TimerAutoConnect->Interval(), 1000);
    EXPECT_TRUE(form.TimerAutoConnect->Enabled());
    EXPECT_EQ(form.TimerConnection->Interval(), 500);
    EXPECT_FALSE(form.TimerConnection->Enabled());
    EXPECT_EQ(form.TimerCalculateBarrelDegrees->Interval(), 500);
    EXPECT_FALSE(form.TimerCalculateBarrelDegrees->Enabled());
}

TEST_F(WindowTest, containersAndControlsAreWalkedDepthFirst) {
    // Every control comes after its container and before the container's next sibling.
    QHash<QString, int> position;
    for (int i = 0; i < form.ComponentCount(); ++i)
        position.insert(form.Components(i)->objectName(), i);
    for (const InventoryItem& item : MainWindowInventory()) {
        if (*item.parent) {
            EXPECT_LT(position[item.parent], position[item.name]) << item.name;
        }
    }
}

TEST_F(WindowTest, upShiftControlsOfSharedCommandsComeFirst) {
    const auto at = [&](const char* name) {
        return form.ComponentList().indexOf(form.FindComponent(name));
    };
    EXPECT_LT(at("SEUpShiftHSAStrategyMainSettingsRetryTravelMillivolts"),
              at("SEDownShiftHSAStrategyMainSettingsRetryTravelMillivolts"));
    EXPECT_LT(at("SEUpShiftActuationPostLoadActuationPower"),
              at("SEDownShiftActuationPostLoadActuationPower"));
    EXPECT_GE(at("SEUpShiftHSAStrategyMainSettingsRetryTravelMillivolts"), 0);
}

TEST_F(WindowTest, everyBoundCheckBoxHasItsMarker) {
    int bound = 0;
    for (QObject* component : form.ComponentList()) {
        auto* check = qobject_cast<TCheckBox*>(component);
        if (!check || check->HelpContext() <= 0)
            continue;
        ++bound;
        auto* marker = form.Find<TShape>("S" + check->objectName());
        EXPECT_NE(marker, nullptr) << check->objectName().toStdString();
        if (marker) {
            EXPECT_EQ(marker->parent(), check->parent());
        }
    }
    EXPECT_EQ(bound, 29);
}

TEST_F(WindowTest, pagesInOrderWithThreeMaintenanceTabsHidden) {
    auto& pages = form.Control<TPageControl>("PCMain");
    const QStringList expected{
        "TSMainSetting",    "TSUpshift",     "TSDownShift", "TSRecovery",      "TSCommands",
        "TSFirmwareUpdate", "TSTranslation", "TSLivePlots", "TSRestorePoints", "TSUnits"};
    ASSERT_EQ(pages.PageCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pages.Pages(i)->objectName(), expected[i]);
        EXPECT_EQ(pages.Pages(i)->TabVisible(), i < 4 || i >= 7);
        if (i < 4) {
            EXPECT_EQ(pages.Pages(i)->TabIndex(), i);
        }
    }
    // The live plots, the restore points and the units come after the parameter pages,
    // so the pages that hold bound controls keep their tab positions.
    EXPECT_EQ(pages.Pages(7)->TabIndex(), 4);
    EXPECT_EQ(pages.Pages(8)->TabIndex(), 5);
    EXPECT_EQ(pages.Pages(9)->TabIndex(), 6);
    EXPECT_EQ(pages.tabText(3), "Recovery && Special  ");
}

// ------------------------------------------------------------------ commands file

// The unit pairs the scaling knows.
bool IsKnownUnitPair(const QString& fw, const QString& sw) {
    static const QSet<QString> pairs{
        "V/mV", "Nr/Nr", "V/V", "Hz/RPM", "mS/mS", QString::fromUtf8("°C/°C"), "%/%", "TF/TF"};
    return pairs.contains(fw + "/" + sw);
}

// Whether a command of this unit pair can be shown by a control of this kind:
// check boxes and radio groups hold a whole choice, spin edits whole numbers.
bool UnitPairFitsKind(const TCommandRecord& row, const QString& kind) {
    if (!IsKnownUnitPair(row.MeasureUnitFW, row.MeasureUnitSW))
        return false;
    const bool choice = row.MeasureUnitSW == "Nr" || row.MeasureUnitSW == "TF";
    if (kind == "TCheckBox" || kind == "TRadioGroup")
        return choice && row.DigitsValueSW == 0;
    if (kind == "TSpinEdit")
        return row.DigitsValueSW == 0;
    return kind == "TEdit";
}

bool IsParameterControl(QObject* component) {
    const QString kind = TFormMain::ClassName(component);
    const TComponent* props = AsComponent(component);
    if (!props || props->HelpContext() <= 0)
        return false;
    if (kind == "TEdit")
        return props->Tag() != 10;
    return kind == "TSpinEdit" || kind == "TCheckBox" || kind == "TRadioGroup";
}

TEST_F(WindowTest, shippedCommandsFileHasAFittingRowForEveryParameterControl) {
    const QString path = QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV");
    if (!QFile::exists(path))
        GTEST_SKIP() << "the commands file is not in the build folder yet";
    StringGridModel grid;
    LoadStringGridFromCSV(grid, path);
    CommandTable commands;
    LoadCommandsFromGrid(grid, commands);
    int checked = 0;
    for (QObject* component : form.ComponentList()) {
        const TComponent* props = AsComponent(component);
        if (!props || !CommandTable::IsValidId(props->HelpContext()))
            continue;
        const TCommandRecord& row = commands[props->HelpContext()];
        SCOPED_TRACE(component->objectName().toStdString());
        EXPECT_FALSE(row.Command.isEmpty()) << "command " << props->HelpContext();
        if (IsParameterControl(component)) {
            ++checked;
            EXPECT_TRUE(UnitPairFitsKind(row, TFormMain::ClassName(component)))
                << row.MeasureUnitFW.toStdString() << "/" << row.MeasureUnitSW.toStdString()
                << " digits " << row.DigitsValueSW;
        }
    }
    EXPECT_EQ(checked, 142); // every spin edit, edit, check box and radio group with an ID
}

// ------------------------------------------------------------------ layout

// Alt+letter and screen readers reach a parameter edit through its label: on
// the four parameter pages every spin edit whose container has a label of its
// own command ID is that label's buddy, and no label names an edit of another
// command or another container.
TEST_F(WindowTest, parameterEditsAreTheBuddiesOfTheLabelsOfTheirCommands) {
    const QStringList pages = {"TSMainSetting", "TSUpshift", "TSDownShift", "TSRecovery"};
    auto onParameterPage = [&](const QWidget* control) {
        for (const QWidget* w = control; w; w = w->parentWidget())
            if (pages.contains(w->objectName()))
                return true;
        return false;
    };
    int spinEditsWithLabels = 0;
    for (const InventoryItem& item : MainWindowInventory()) {
        if (item.kind == ControlKind::Label) {
            const QWidget* buddy = form.Control<TLabel>(item.name).buddy();
            if (!buddy)
                continue;
            const InventoryItem* edit = FindInventoryItem(buddy->objectName());
            ASSERT_NE(edit, nullptr) << item.name;
            EXPECT_EQ(edit->helpContext, item.helpContext) << item.name;
            EXPECT_STREQ(edit->parent, item.parent) << item.name;
            continue;
        }
        if (item.kind != ControlKind::SpinEdit || item.helpContext <= 0 ||
            !onParameterPage(&form.Control<QWidget>(item.name)))
            continue;
        QList<const TLabel*> labels;
        for (const InventoryItem& other : MainWindowInventory())
            if (other.kind == ControlKind::Label && other.helpContext == item.helpContext &&
                qstrcmp(other.parent, item.parent) == 0)
                labels.append(&form.Control<TLabel>(other.name));
        if (labels.size() != 1)
            continue; // none, or column captions that share the ID
        EXPECT_EQ(labels.front()->buddy(), &form.Control<QWidget>(item.name)) << item.name;
        ++spinEditsWithLabels;
    }
    EXPECT_GE(spinEditsWithLabels, 60);
    EXPECT_EQ(form.Control<TLabel>("LRatiosRpmRPMDivisor").buddy(),
              &form.Control<QWidget>("SERatiosRpmDivisor"));
}

TEST(LayoutRows, tokensGiveCellsSpansAndAlignment) {
    const auto cells = ParseLayoutRows({"A . ^B:2 >C", "[D|E]:3x2 +F"});
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[0].name, "A");
    EXPECT_EQ(cells[1].name, "B");
    EXPECT_EQ(cells[1].col, 2);
    EXPECT_EQ(cells[1].colSpan, 2);
    EXPECT_EQ(cells[1].align, '^');
    EXPECT_EQ(cells[2].col, 4);
    EXPECT_EQ(cells[2].align, '>');
    EXPECT_EQ(cells[3].name, "[D|E]");
    EXPECT_EQ(cells[3].row, 1);
    EXPECT_EQ(cells[3].colSpan, 3);
    EXPECT_EQ(cells[3].rowSpan, 2);
    EXPECT_EQ(cells[4].col, 3);
}

TEST_F(WindowTest, everyVisualControlIsPlacedOnceInItsOwnContainer) {
    QHash<QString, QString> placedIn;
    for (const QString& container : LaidOutContainers()) {
        for (const QString& name : LaidOutNames(container)) {
            EXPECT_FALSE(placedIn.contains(name)) << name.toStdString() << " placed twice";
            placedIn.insert(name, container);
        }
    }
    QStringList besideTabs;
    for (const auto& [pages, label] : LabelsBesideTabs())
        besideTabs << QLatin1String(label);
    for (const InventoryItem& item : MainWindowInventory()) {
        const bool placedByOwner = item.kind == ControlKind::Shape ||
                                   item.kind == ControlKind::TabSheet ||
                                   QLatin1String(item.name) == QLatin1String("PMain") ||
                                   besideTabs.contains(QLatin1String(item.name));
        if (placedByOwner)
            continue;
        EXPECT_EQ(placedIn.value(item.name), QLatin1String(item.parent)) << item.name;
    }
}

QString ShownText(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return CaptionToDisplayText(button->text());
    return {};
}

// Text must fit; other controls get at least their minimum size unless they
// were given a fixed width on purpose.
void ExpectNotSqueezed(QWidget* widget) {
    const QString text = ShownText(widget);
    // A label that wraps its text needs the lines the text takes at its width.
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->wordWrap()) {
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000),
                                                               Qt::TextWordWrap, text);
        EXPECT_LE(needed.height(), label->height())
            << widget->objectName().toStdString() << " cuts its text";
        return;
    }
    if (!text.isEmpty()) {
        int needed = widget->fontMetrics().horizontalAdvance(text);
        if (qobject_cast<QAbstractButton*>(widget))
            needed += 8;
        EXPECT_GE(widget->width(), needed)
            << widget->objectName().toStdString() << " cuts its text";
        return;
    }
    if (widget->minimumWidth() == widget->maximumWidth())
        return;
    EXPECT_GE(widget->width(), widget->minimumSizeHint().width())
        << widget->objectName().toStdString() << " is squeezed";
}

// Within the window and its container, and not over a sibling: what a person
// would see as cut off or overlapping.
void ExpectTidy(QWidget* container) {
    const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QList<QWidget*> shown;
    for (QWidget* child : children) {
        if (child->isVisible() && AsControl(child) && !qobject_cast<TShape*>(child))
            shown << child;
    }
    for (QWidget* child : shown) {
        EXPECT_TRUE(container->rect().contains(child->geometry()))
            << child->objectName().toStdString() << " leaves "
            << container->objectName().toStdString();
        ExpectNotSqueezed(child);
        for (QWidget* other : shown) {
            if (other != child && child->geometry().intersects(other->geometry()))
                ADD_FAILURE() << child->objectName().toStdString() << " overlaps "
                              << other->objectName().toStdString();
        }
        ExpectTidy(child);
    }
}

TEST_F(WindowTest, everyPageFitsTheWindowWithoutOverlapsOrClipping) {
    form.show();
    EXPECT_EQ(form.size(), QSize(1200, 729));
    auto& pages = form.Control<TPageControl>("PCMain");
    for (int i = 0; i < pages.PageCount(); ++i) {
        TTabSheet* page = pages.Pages(i);
        SCOPED_TRACE(page->objectName().toStdString());
        page->SetTabVisible(true);
        pages.SetActivePage(page);
        QCoreApplication::processEvents();
        EXPECT_EQ(form.size(), QSize(1200, 729));
        EXPECT_LE(form.minimumSizeHint().width(), 1200);
        EXPECT_LE(form.minimumSizeHint().height(), 729);
        ExpectTidy(page);
    }
    ExpectTidy(&form.Control<TPanel>("PBottom"));
    ExpectTidy(&form.Control<TPanel>("PRight"));
    EXPECT_EQ(form.Control<TPanel>("PBottom").height(), 88);
    EXPECT_EQ(form.Control<TPanel>("PRight").width(), 320);
}

TEST_F(WindowTest, markersSitBehindTheirCheckBoxes) {
    form.show();
    QCoreApplication::processEvents();
    auto* marker = form.Find<TShape>("SCBRatiosRpmX2");
    auto* check = form.Find<TCheckBox>("CBRatiosRpmX2");
    marker->show();
    QCoreApplication::processEvents();
    const QPoint indicator = check->geometry().topLeft() + QPoint(6, check->height() / 2);
    EXPECT_TRUE(marker->geometry().contains(indicator));
    const auto siblings = check->parentWidget()->children();
    EXPECT_LT(siblings.indexOf(marker), siblings.indexOf(check)); // painted first
}

} // namespace
