// "Get Config." in the window: a dump applied into the bound controls with
// the PCB visibility rule, a malformed dump that changes nothing; and
// "Apply Config." with loaded entries, including ones it cannot apply.
#include "device/ConfigDump.h"
#include "model/Sequence.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTexts.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"
#include "util/UnitUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The kinds whose visibility follows the PCB version (page controls and
// panels do not, whatever their help context).
bool ShowsParameter(const QObject* component) {
    static const QStringList kinds{"TSpinEdit", "TEdit",       "TRadioGroup", "TCheckBox",
                                   "TLabel",    "TSpinButton", "TGroupBox",   "TButton"};
    return kinds.contains(TFormMain::ClassName(component));
}

class ConfigWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        QDir(dataDir.path()).mkpath(QStringLiteral("CFG"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"),
                                dataDir.filePath(QStringLiteral("CFG/Commands.CSV"))));
        SetProgramFolder(dataDir.path());
        form.show();
        FillTranslationTableFromFolder(
            form.Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
            QStringLiteral(QV_SOURCE_DIR "/translation/texts"));
    }
    void TearDown() override { SetProgramFolder(QString()); }

    // A dump whose every field holds its row's default (GCU units), the PCB
    // version Pcb, and the fields given in Overrides (by position).
    QString Dump(const QString& pcb, const QMap<int, QString>& overrides = {}) const {
        QStringList fields(ExpectedDumpFieldCount(form.Commands), QStringLiteral("0"));
        for (int id = 1; id <= CommandCount; ++id) {
            const int k = form.Commands[id].ReadFromGCUID;
            if (k <= 0)
                continue;
            while (fields.size() < k)
                fields.append(QStringLiteral("0"));
            fields[k - 1] = id == ConfigDump::PcbVersionRow
                                ? pcb
                                : StrCommaToDot(RealToStrDec(form.Commands[id].DefaultValueFW,
                                                             form.Commands[id].DigitsValueFW));
        }
        for (auto it = overrides.begin(); it != overrides.end(); ++it)
            fields[it.key() - 1] = it.value();
        return fields.join(u'&') + QStringLiteral("&#\r\n");
    }
    // The first bound check box and its command.
    std::pair<TCheckBox*, int> BoundCheckBox() const {
        for (QObject* component : form.ComponentList())
            if (auto* check = qobject_cast<TCheckBox*>(component))
                if (CommandTable::IsValidId(check->HelpContext()) &&
                    form.Commands[check->HelpContext()].ReadFromGCUID > 0)
                    return {check, check->HelpContext()};
        return {nullptr, 0};
    }
    int TimesAsked(int message) const {
        const QString text = form.TranslateString(message);
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&text](const auto& q) { return q.text.startsWith(text); }));
    }
    // Bound controls that are not hidden.
    int ShownBoundControls() const {
        int shown = 0;
        for (QObject* component : form.ComponentList()) {
            const TControl* control = AsControl(component);
            if (control && CommandTable::IsValidId(control->HelpContext()) &&
                ShowsParameter(component) && !control->Widget()->isHidden())
                ++shown;
        }
        return shown;
    }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    TFormMain form;
};

TEST_F(ConfigWindow, pcbVersionWithCommaOrPoint_setsVersionAndShowsByItsFlag) {
    for (const QString& pcb : {QStringLiteral("4.1"), QStringLiteral("4,1")}) {
        form.GetConfig(Dump(pcb));
        EXPECT_EQ(form.Control<TEdit>(QStringLiteral("EPCBVersion")).Text(), QStringLiteral("4.1"));
        EXPECT_EQ(form.PCBVersionGLOB, 41);
    }
    int compared = 0;
    for (QObject* component : form.ComponentList()) {
        const TControl* control = AsControl(component);
        if (!control || !CommandTable::IsValidId(control->HelpContext()) ||
            !ShowsParameter(component))
            continue;
        const TCommandRecord& row = form.Commands[control->HelpContext()];
        EXPECT_EQ(!control->Widget()->isHidden(), row.ActivePCB41 == QLatin1String("1"))
            << component->objectName().toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 100);
    EXPECT_EQ(TimesAsked(17), 2);
    EXPECT_FALSE(form.SilentControlsEventsGLOB);
}

TEST_F(ConfigWindow, forcedVersion_decidesVisibility) {
    form.PCBForceVersionGLOB = 50;
    form.GetConfig(Dump(QStringLiteral("4.1")));
    EXPECT_EQ(form.PCBVersionGLOB, 50);
    const auto [check, id] = BoundCheckBox();
    ASSERT_TRUE(check);
    EXPECT_EQ(!check->isHidden(), form.Commands[id].ActivePCB50 == QLatin1String("1"));
}

// A value read hides the marker; one outside the row's limits 0..1 shows it
// in the colour of a value outside its limits.
TEST_F(ConfigWindow, checkBoxIsSetOnlyForOne_andItsMarkerHidesForValueRead) {
    const auto [check, id] = BoundCheckBox();
    ASSERT_TRUE(check);
    ASSERT_EQ(form.Commands[id].MinValueFW, 0);
    ASSERT_EQ(form.Commands[id].MaxValueFW, 1);
    const int field = form.Commands[id].ReadFromGCUID;
    const TShape* marker = form.Find<TShape>(QStringLiteral("S") + check->objectName());
    ASSERT_TRUE(marker);
    struct Case {
        const char* value;
        bool checked;
        bool outside;
    };
    for (const Case& c : {Case{"1", true, false}, Case{"0", false, false}, Case{"2", false, true},
                          Case{"-1", false, true}, Case{"0", false, false}}) {
        SCOPED_TRACE(c.value);
        form.GetConfig(Dump(QStringLiteral("4.3"), {{field, QString::fromLatin1(c.value)}}));
        EXPECT_EQ(check->Checked(), c.checked);
        EXPECT_EQ(marker->isHidden(), !c.outside);
        if (c.outside) {
            EXPECT_EQ(marker->BrushColor(), OutsideLimitsColor);
        }
    }
}

TEST_F(ConfigWindow, malformedDump_changesNeitherTableNorControls_andSaysSo) {
    auto& pcb = form.Control<TEdit>(QStringLiteral("EPCBVersion"));
    form.GetConfig(Dump(QStringLiteral("4.3")));
    const int shownBefore = ShownBoundControls();
    const CommandTable before = form.Commands;
    const QString pcbText = pcb.Text();
    const auto [check, id] = BoundCheckBox();
    const bool checkedBefore = check->Checked();
    const int field = form.Commands[id].ReadFromGCUID;

    // 39 fields hold the reboot counter but leave most rows unread.
    QStringList shortDump = Dump(QStringLiteral("4.0")).split(u'&').mid(0, 39);
    const QString tooShort = shortDump.join(u'&') + QStringLiteral("&#\r\n");
    const QString notANumber =
        Dump(QStringLiteral("4.0"), {{field, checkedBefore ? "0" : "1"}, {5, "x1"}});
    // A version the table has no flags for would hide every control.
    const QString unknownPcb = Dump(QStringLiteral("4.5"), {{field, checkedBefore ? "0" : "1"}});
    for (const QString& bad : {tooShort, notANumber, unknownPcb}) {
        form.GetConfig(bad);
        EXPECT_EQ(form.PCBVersionGLOB, 43);
        EXPECT_EQ(pcb.Text(), pcbText);
        EXPECT_EQ(check->Checked(), checkedBefore);
        EXPECT_EQ(ShownBoundControls(), shownBefore);
        for (int row = 1; row <= CommandCount; ++row)
            EXPECT_EQ(form.Commands[row].ActualValueFW, before[row].ActualValueFW) << row;
        EXPECT_FALSE(form.SilentControlsEventsGLOB);
    }
    EXPECT_EQ(TimesAsked(Msg::MalformedConfiguration), 3);
    EXPECT_EQ(TimesAsked(17), 1);
}

TEST_F(ConfigWindow, getConfigWithoutLink_doesNothing) {
    form.Control<TButton>(QStringLiteral("BCommunicationGetConfig")).Click();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(form.SerialRequestGLOB, 0);
}

// ------------------------------------------------------------------ Apply Config.

class ApplyConfig : public ConfigWindow {
  protected:
    // A loaded entry for command Id shown by control Name with display value V.
    void AddLoaded(int place, int id, const QString& name, double value) {
        TSequenceRecord& entry = form.Sequence[place];
        entry.CommandID = id;
        entry.Command = form.Commands[id].Command;
        entry.Status = StatusLetter::Loaded;
        entry.SenderType = form.Commands[id].SenderType;
        entry.SenderName1 = name;
        entry.ActualValueSW = value;
        entry.ActualValueFW = SWValueToFWValue(form.Commands, id, value, form.RPMFactorGLOB);
    }
    // A command shown by a spin edit with a range, and that spin edit.
    std::pair<int, TSpinEdit*> RangedSpinEdit() const {
        for (int id = 1; id <= CommandCount; ++id)
            if (auto* spin = form.Find<TSpinEdit>(form.Commands[id].SenderName1))
                if (spin->MaxValue() > spin->MinValue() + 2)
                    return {id, spin};
        return {0, nullptr};
    }
};

TEST_F(ApplyConfig, noLoadedEntries_onlySelectsRowOneAndRefreshesStates) {
    auto& grid = form.Control<TStringGrid>(QStringLiteral("SGSequence"));
    form.Control<TButton>(QStringLiteral("BApplyConfig")).Click();
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_FALSE(form.Control<TButton>(QStringLiteral("BApplyConfig")).isEnabled());
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(ApplyConfig, entryShowingItsValue_turnsModifiedInModifiedColour) {
    const auto [id, spin] = RangedSpinEdit();
    ASSERT_TRUE(spin);
    AddLoaded(1, id, spin->objectName(), spin->Value());
    form.BApplyConfigClick(nullptr);
    EXPECT_EQ(form.Sequence[1].Status, StatusLetter::Modified);
    EXPECT_EQ(spin->Color(), form.GetStatusColor(StatusLetter::Modified, false));
}

// Entries a load would have left out are discarded, not applied and not left
// to be sent; a value beyond its limit is never written limited.
TEST_F(ApplyConfig, entriesThatCannotBeApplied_areDiscardedAndReported_noneWrittenLimited) {
    const auto [id, spin] = RangedSpinEdit();
    ASSERT_TRUE(spin);
    const int other = id == 1 ? 2 : 1;
    AddLoaded(1, other, QStringLiteral("SENoSuchControl"), 5);     // missing
    AddLoaded(2, other, QStringLiteral("LFirmwareVersion"), 5);    // another kind
    AddLoaded(3, other, QStringLiteral("BSequenceTransmit"), 1);   // a button
    AddLoaded(4, id, spin->objectName(), spin->MaxValue() + 1000); // beyond its limit
    const int shown = spin->Value();
    form.BApplyConfigClick(nullptr);
    for (int place = 1; place <= 4; ++place)
        EXPECT_EQ(form.Sequence[place].Status, StatusLetter::Discarded) << place;
    EXPECT_EQ(spin->Value(), shown);
    EXPECT_EQ(form.Control<TStringGrid>(QStringLiteral("SGSequence")).Row(), 1);
    ASSERT_EQ(TimesAsked(Msg::RecordsLeftOut), 1);
    EXPECT_TRUE(
        dialogs.asked.back().text.startsWith(form.TranslateString(Msg::RecordsLeftOut) + "4\n"));
    EXPECT_FALSE(form.Control<TButton>(QStringLiteral("BApplyConfig")).isEnabled());
}

} // namespace
