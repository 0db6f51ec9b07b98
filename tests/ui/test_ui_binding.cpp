// Binding of the command table to the window's controls: limits, defaults,
// hints, colours, sender names and pages; the status colours; the enabled
// states that follow from the link, live mode and the change sequence.
#include "support/WindowFixtures.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"
#include "util/UnitUtils.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

constexpr TColor NotYetRead = 0x00E9E9E9;

// The page a control lies on, 1 = Main Setting .. 4 = Recovery & Special.
int ExpectedPage(const TFormMain& form, const QWidget* control) {
    const char* pages[] = {"TSMainSetting", "TSUpshift", "TSDownShift", "TSRecovery"};
    for (int i = 0; i < 4; ++i) {
        if (form.Control<TTabSheet>(QString::fromLatin1(pages[i])).isAncestorOf(control))
            return i + 1;
    }
    return 0;
}

// Spin edits whose values the coupled timing rules move as soon as the
// binding writes their neighbours; only their limits are the binding's.
bool IsCoupledTiming(const QString& name) {
    static const QStringList coupled = {"SEUpShiftActuationPreLoadActuationTime",
                                        "SEUpShiftEngineCutMainCutEngineCutTimeout",
                                        "SEUpShiftActuationMainLoadActuationTimeout",
                                        "SEUpShiftHSAStrategyMainSettingsActuationPreload",
                                        "SERecoveryUpShiftPreLoadActuationTime",
                                        "SERecoveryUpShiftEngineCutEngineCutTime",
                                        "SERecoveryUpShiftActuationActuationTime"};
    return coupled.contains(name);
}

bool IsBoundKind(const QObject* component) {
    if (auto* edit = qobject_cast<const TEdit*>(component))
        return edit->Tag() != 10;
    return qobject_cast<const TSpinEdit*>(component) ||
           qobject_cast<const TRadioGroup*>(component) || qobject_cast<const TCheckBox*>(component);
}

// The window with a copy of the shipped data folder, so nothing the tests do
// reaches the shipped files.
class Binding : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(qvtest::CopyShippedCommands(dataDir.path()));
        SetProgramFolder(dataDir.path());
    }
    void TearDown() override { SetProgramFolder(QString()); }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    TFormMain form;
};

// ------------------------------------------------------------------ after start-up

TEST_F(Binding, everyBoundControlShowsItsDefaultHintAndUnreadColourAndIsKnownToItsRow) {
    form.show();
    ASSERT_TRUE(dialogs.asked.empty());
    int spins = 0, edits = 0, radios = 0, checks = 0;
    for (QObject* component : form.ComponentList()) {
        TControl* control = AsControl(component);
        if (!control || control->HelpContext() <= 0 || !IsBoundKind(component))
            continue;
        const int id = control->HelpContext();
        const TCommandRecord& row = form.Commands[id];
        const QString name = component->objectName();
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(control->Hint(),
                  QString::number(id) + " [" + row.Command + "] " + row.Description);
        EXPECT_TRUE(control->ShowHint());
        EXPECT_EQ(row.SenderType, TFormMain::ClassName(component));
        const int page = ExpectedPage(form, control->Widget());
        if (row.SenderName1 == name) {
            EXPECT_EQ(row.ActivePageIndex1, page);
        } else {
            EXPECT_EQ(row.SenderName2, name);
            EXPECT_EQ(row.ActivePageIndex2, page);
        }
        if (auto* spin = qobject_cast<TSpinEdit*>(component)) {
            ++spins;
            EXPECT_EQ(spin->MinValue(), RoundHalfToEvenInt(row.MinValueSW));
            EXPECT_EQ(spin->MaxValue(), RoundHalfToEvenInt(row.MaxValueSW));
            const int shown = std::clamp(RoundHalfToEvenInt(row.DefaultValueSW), spin->MinValue(),
                                         spin->MaxValue());
            if (IsCoupledTiming(name)) {
                EXPECT_GE(spin->Value(), spin->MinValue());
                EXPECT_LE(spin->Value(), spin->MaxValue());
            } else {
                EXPECT_EQ(spin->Value(), shown);
            }
            EXPECT_EQ(spin->Color(), NotYetRead);
        } else if (auto* edit = qobject_cast<TEdit*>(component)) {
            ++edits;
            EXPECT_EQ(edit->Text(), RealToStrDec(row.DefaultValueSW, row.DigitsValueSW));
            EXPECT_EQ(edit->Color(), NotYetRead);
        } else if (auto* radio = qobject_cast<TRadioGroup*>(component)) {
            ++radios;
            EXPECT_EQ(radio->ItemIndex(), RoundHalfToEvenInt(row.DefaultValueSW));
            EXPECT_EQ(radio->Color(), NotYetRead);
        } else if (auto* check = qobject_cast<TCheckBox*>(component)) {
            ++checks;
            EXPECT_EQ(check->State(), TCheckBoxState::cbGrayed);
            auto& marker = form.Control<TShape>("S" + name);
            EXPECT_EQ(marker.BrushColor(), NotYetRead);
            EXPECT_FALSE(marker.isHidden());
        }
    }
    // The shipped layout has controls of every bound kind.
    EXPECT_GT(spins, 50);
    EXPECT_GT(edits, 0);
    EXPECT_GT(radios, 0);
    EXPECT_GT(checks, 0);
}

TEST_F(Binding, sharedCommandsHaveTheUpShiftControlFirstAndTheDownShiftControlSecond) {
    form.show();
    const TCommandRecord& retry = form.Commands[115];
    EXPECT_EQ(retry.SenderName1, "SEUpShiftHSAStrategyMainSettingsRetryTravelMillivolts");
    EXPECT_EQ(retry.SenderName2, "SEDownShiftHSAStrategyMainSettingsRetryTravelMillivolts");
    EXPECT_EQ(retry.ActivePageIndex1, 2);
    EXPECT_EQ(retry.ActivePageIndex2, 3);
    const TCommandRecord& power = form.Commands[153];
    EXPECT_EQ(power.SenderName1, "SEUpShiftActuationPostLoadActuationPower");
    EXPECT_EQ(power.SenderName2, "SEDownShiftActuationPostLoadActuationPower");
    EXPECT_EQ(power.ActivePageIndex1, 2);
    EXPECT_EQ(power.ActivePageIndex2, 3);
    // Every other bound command has one control only.
    int withTwo = 0;
    for (int id = 1; id <= CommandCount; ++id)
        withTwo += form.Commands[id].SenderName2.isEmpty() ? 0 : 1;
    EXPECT_EQ(withTwo, 2);
}

TEST_F(Binding, barrelDegreeDisplaysAreNotBound) {
    form.show();
    int displays = 0;
    for (QObject* component : form.ComponentList()) {
        auto* edit = qobject_cast<TEdit*>(component);
        if (!edit || edit->Tag() != 10)
            continue;
        ++displays;
        EXPECT_TRUE(edit->Hint().isEmpty()) << edit->objectName().toStdString();
        for (int id = 1; id <= CommandCount; ++id) {
            EXPECT_NE(form.Commands[id].SenderName1, edit->objectName());
            EXPECT_NE(form.Commands[id].SenderName2, edit->objectName());
        }
    }
    EXPECT_EQ(displays, 16);
}

// ------------------------------------------------------------------ binding rules

// A form whose command rows the test writes itself, bound without start-up.
class BindingRules : public ::testing::Test {
  protected:
    QObject* FirstBound(const char* className) {
        for (QObject* component : form.ComponentList()) {
            TControl* control = AsControl(component);
            if (control && control->HelpContext() > 0 && IsBoundKind(component) &&
                TFormMain::ClassName(component) == QLatin1String(className))
                return component;
        }
        return nullptr;
    }
    TCommandRecord& RowOf(QObject* component) {
        return form.Commands[AsControl(component)->HelpContext()];
    }

    ScopedScriptedDialogs dialogs;
    TFormMain form;
};

TEST_F(BindingRules, spinEditLimitsAndValueRoundHalvesToEvenAndDefaultIsLimited) {
    auto* spin = qobject_cast<TSpinEdit*>(FirstBound("TSpinEdit"));
    ASSERT_TRUE(spin);
    TCommandRecord& row = RowOf(spin);
    row.MinValueSW = 2.5;
    row.MaxValueSW = 10.5;
    row.DefaultValueSW = 6.5;
    form.AssignCommandsToControls();
    EXPECT_EQ(spin->MinValue(), 2);
    EXPECT_EQ(spin->MaxValue(), 10);
    EXPECT_EQ(spin->Value(), 6);
    spin->SetValue(500);
    EXPECT_EQ(spin->Value(), 10);
    spin->SetValue(-3);
    EXPECT_EQ(spin->Value(), 2);
}

TEST_F(BindingRules, spinEditOfAnEmptyRowIsNotLimited) {
    auto* spin = qobject_cast<TSpinEdit*>(FirstBound("TSpinEdit"));
    ASSERT_TRUE(spin);
    form.AssignCommandsToControls(); // every row is empty
    EXPECT_EQ(spin->Value(), 0);
    spin->SetValue(12345);
    EXPECT_EQ(spin->Value(), 12345);
    EXPECT_EQ(RowOf(spin).SenderName1, spin->objectName());
}

TEST_F(BindingRules, editShowsItsDefaultWithTheRowsDecimalsAndRadioGroupItsItem) {
    auto* edit = qobject_cast<TEdit*>(FirstBound("TEdit"));
    auto* radio = qobject_cast<TRadioGroup*>(FirstBound("TRadioGroup"));
    ASSERT_TRUE(edit && radio);
    ASSERT_GE(radio->Items().size(), 2);
    RowOf(edit).DefaultValueSW = 12.345;
    RowOf(edit).DigitsValueSW = 2;
    RowOf(radio).DefaultValueSW = 0.5; // halves go to the even neighbour
    radio->SetItemIndex(1);
    form.AssignCommandsToControls();
    EXPECT_EQ(edit->Text(), "12,35");
    EXPECT_EQ(radio->ItemIndex(), 0);
}

TEST_F(BindingRules, rowsNoControlShowsKeepAnEmptySender) {
    QSet<int> shown;
    for (QObject* component : form.ComponentList()) {
        TControl* control = AsControl(component);
        if (control && IsBoundKind(component))
            shown.insert(control->HelpContext());
    }
    int unshown = 0;
    while (shown.contains(++unshown))
        ;
    ASSERT_LE(unshown, CommandCount);
    form.Commands[unshown].Command = "NOCTRL";
    form.AssignCommandsToControls();
    EXPECT_TRUE(form.Commands[unshown].SenderName1.isEmpty());
    EXPECT_EQ(form.Commands[unshown].ActivePageIndex1, 0);
}

// Stands in for the edit capture: counts what its generic handlers receive.
class CountingForm : public TFormMain {
  public:
    void Count(QObject* sender) { senders.append(sender); }
    QList<QObject*> senders;
};

TEST(BindingHandlers, genericHandlerGoesOnlyToBoundControlsWithoutAHandlerOfTheirOwn) {
    ScopedScriptedDialogs dialogs;
    CountingForm form;
    const auto count = static_cast<TFormMain::Handler>(&CountingForm::Count);
    form.BoundControlHandlers = {count, count, count, count};
    QList<TSpinEdit*> spins;
    for (QObject* component : form.ComponentList()) {
        auto* spin = qobject_cast<TSpinEdit*>(component);
        if (spin && spin->HelpContext() > 0 && spins.size() < 2)
            spins.append(spin);
    }
    ASSERT_EQ(spins.size(), 2);
    spins[1]->SetHandlerAttached(true); // as if the layout had given it one
    form.AssignCommandsToControls();
    form.senders.clear();
    spins[0]->SetValue(7);
    spins[1]->SetValue(7);
    EXPECT_EQ(form.senders, QList<QObject*>{spins[0]});
}

// ------------------------------------------------------------------ colours

TEST(StatusColors, everyLetterHasItsSelectedAndItsNormalColour) {
    struct Case {
        const char* status;
        TColor active;
        TColor normal;
    };
    const Case cases[] = {{"A", clBtnFace, clWhite},     {"M", clYellow, 0x00AAFFFF},
                          {"T", clLime, 0x00AAFFAA},     {"D", 0x004040FF, 0x00AAAAFF},
                          {"L", 0x00FF9933, 0x00FFD5AA}, {"", clSilver, NotYetRead}};
    for (const Case& c : cases) {
        EXPECT_EQ(TFormMain::GetStatusColor(c.status, true), c.active) << c.status;
        EXPECT_EQ(TFormMain::GetStatusColor(c.status, false), c.normal) << c.status;
    }
    // Letters compare exactly.
    EXPECT_EQ(TFormMain::GetStatusColor("m", false), NotYetRead);
}

TEST_F(BindingRules, checkBoxColourGoesToItsMarkerWhichWhiteHides) {
    auto& check = form.Control<TCheckBox>("CBRatiosRpmX2");
    auto& marker = form.Control<TShape>("SCBRatiosRpmX2");
    const TColor before = check.Color();
    form.SetControlColor("TCheckBox", "CBRatiosRpmX2", clYellow);
    EXPECT_EQ(marker.BrushColor(), clYellow);
    EXPECT_FALSE(marker.isHidden());
    EXPECT_EQ(check.Color(), before);
    form.SetControlColor("TCheckBox", "CBRatiosRpmX2", clWhite);
    EXPECT_EQ(marker.BrushColor(), clWhite);
    EXPECT_TRUE(marker.isHidden());
    form.SetControlColor("TCheckBox", "CBRatiosRpmX2", 0x00AAFFAA);
    EXPECT_FALSE(marker.isHidden());
}

TEST_F(BindingRules, valueControlsTakeTheColourAndOtherTypesAreLeftAlone) {
    for (const char* className : {"TSpinEdit", "TEdit", "TRadioGroup"}) {
        QObject* component = FirstBound(className);
        ASSERT_TRUE(component) << className;
        form.SetControlColor(className, component->objectName(), 0x00FFD5AA);
        EXPECT_EQ(AsControl(component)->Color(), 0x00FFD5AA) << className;
    }
    QObject* spin = FirstBound("TSpinEdit");
    const TColor spinColor = AsControl(spin)->Color();
    form.SetControlColor("TLabel", spin->objectName(), clLime);
    EXPECT_EQ(AsControl(spin)->Color(), spinColor);
    // A name that does not exist changes nothing and raises nothing.
    form.SetControlColor("TEdit", "ENoSuchEdit", clLime);
    form.SetControlColor("TCheckBox", "CBNoSuchBox", clLime);
}

// ------------------------------------------------------------------ enabled states

class Enabling : public ::testing::Test {
  protected:
    void SetLive(bool live) {
        auto& box = form.Control<TCheckBox>("CBLiveActive");
        const QSignalBlocker quiet(box); // only the state, not live mode itself
        box.SetChecked(live);
    }
    void AddEntry(int place, const char* status) {
        form.Sequence[place].CommandID = 10 + place;
        form.Sequence[place].Status = status;
    }
    bool On(const char* name) {
        return qobject_cast<QWidget*>(form.FindComponent(name))->isEnabled();
    }
    // The enabled states of the sequence buttons as one text, in table order.
    std::string SequenceButtons() {
        std::string states;
        for (const char* name : {"BSequenceTransmit", "BSequenceTransmitAll", "BSequenceDiscard",
                                 "BSequenceDiscardAll", "BSequenceErase", "BSequenceEraseAll",
                                 "BSequenceSave", "BSequenceLoad", "BApplyConfig"})
            states += On(name) ? '1' : '0';
        return states;
    }
    bool AllBarrelSetButtons(bool enabled) {
        for (const char* gear : {"R", "N", "1", "2", "3", "4", "5", "6"}) {
            if (On(qPrintable(QStringLiteral("BGearDetectionBarrelPosition%1Set").arg(gear))) !=
                enabled)
                return false;
        }
        return true;
    }

    ScopedScriptedDialogs dialogs;
    TFormMain form;
};

TEST_F(Enabling, emptySequenceOffLineLeavesOnlyLoadSequenceAndTheBarrelButtons) {
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "000000010");
    EXPECT_FALSE(On("BSaveConfig"));
    EXPECT_FALSE(On("BCommunicationGetConfig"));
    EXPECT_FALSE(On("CBLiveActive"));
    EXPECT_FALSE(On("BRecoveryFirmwareUpdate"));
    EXPECT_TRUE(AllBarrelSetButtons(true));
    for (int i = 1; i <= 6; ++i) {
        EXPECT_TRUE(On(qPrintable(QStringLiteral("SERatiosRpm%1P").arg(i))));
        EXPECT_TRUE(On(qPrintable(QStringLiteral("SERatiosRpm%1S").arg(i))));
        EXPECT_FALSE(On(qPrintable(QStringLiteral("ERatiosRpm%1R").arg(i))));
        EXPECT_FALSE(On(qPrintable(QStringLiteral("ERatiosRpm%1L").arg(i))));
    }
}

TEST_F(Enabling, selectedLoadedEntryOffLineAllowsEverythingButTransmitting) {
    AddEntry(1, "L");
    form.SequenceActivePositionGLOB = 1;
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "001111111");
}

TEST_F(Enabling, connectedWithAnUnselectedModifiedEntryAllowsTransmitAllOnly) {
    AddEntry(1, "T");
    AddEntry(2, "M");
    form.SequenceActivePositionGLOB = 1; // the selected entry is not pending
    form.SerialConnectedGLOB = true;
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "010111110");
    EXPECT_TRUE(On("BCommunicationGetConfig"));
    EXPECT_TRUE(On("CBLiveActive"));
    EXPECT_TRUE(On("BRecoveryFirmwareUpdate"));
    form.SequenceActivePositionGLOB = 2;
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "111111110");
}

TEST_F(Enabling, liveModeBlocksTransmittingDownloadAndBarrelTeachingButNotLiveItself) {
    AddEntry(1, "M");
    form.SequenceActivePositionGLOB = 1;
    form.SerialConnectedGLOB = true;
    SetLive(true);
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "001111110");
    EXPECT_FALSE(On("BCommunicationGetConfig"));
    EXPECT_TRUE(On("CBLiveActive"));
    EXPECT_TRUE(AllBarrelSetButtons(false));
    SetLive(false);
    form.EnableControls();
    EXPECT_TRUE(AllBarrelSetButtons(true));
    EXPECT_TRUE(On("BCommunicationGetConfig"));
}

TEST_F(Enabling, sentAndDiscardedEntriesCanOnlyBeErasedAndSaveConfigNeedsAPcbVersion) {
    AddEntry(1, "T");
    AddEntry(2, "D");
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "000011010");
    EXPECT_FALSE(On("BSaveConfig"));
    form.PCBVersionGLOB = 43;
    form.EnableControls();
    EXPECT_TRUE(On("BSaveConfig"));
    // Entries after an empty place still count.
    form.Sequence.ClearAll();
    AddEntry(5, "L");
    form.EnableControls();
    EXPECT_EQ(SequenceButtons(), "000111111");
}

} // namespace
