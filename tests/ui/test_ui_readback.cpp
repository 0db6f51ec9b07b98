// Read-back after store, end to end: the real window transmits to the
// simulated GCU, stores, reads the configuration back and compares. In each
// case the simulator's values, the grid's statuses, the controls and the
// message agree.
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"

#include <QTest>
#include <algorithm>

namespace {

using qvtest::WaitFor;

constexpr int DownPower = 8; // DNACTPWR, 10..100 %
constexpr int UpPower = 11;  // UPACTPWR, 10..100 %
const char* const DownPowerSpin = "SEDownShiftActuationMainLoadActuationPower";
const char* const UpPowerSpin = "SEUpShiftActuationMainLoadActuationPower";

class ReadBack : public qvtest::WindowWithGcu {
  protected:
    // Two changes: down-shift power 70 (entry 1), up-shift power Up (entry 2).
    void EditBothPowers(int up) {
        Spin(UpPowerSpin).SetValue(up);
        Spin(DownPowerSpin).SetValue(70);
        ASSERT_EQ(EntryCount(), 2);
        ASSERT_EQ(Entry(1).CommandID, DownPower);
    }
    QList<QByteArray> TrimmedFramesSince(int count) const {
        QList<QByteArray> frames = FramesSince(count);
        for (QByteArray& frame : frames)
            frame = frame.trimmed();
        return frames;
    }
    const QString& LastMessage() const { return dialogs.asked.back().text; }
    void ExpectShownAsRead(const char* spin, int value) const {
        EXPECT_EQ(Spin(spin).Value(), value) << spin;
        EXPECT_EQ(Spin(spin).Color(), GetStatusColor(StatusLetter::Read, false)) << spin;
    }
};

TEST_F(ReadBack, everyValueTaken_entriesStayTransmitted_userToldTheyAreHeld) {
    ConnectAndRead();
    EditBothPowers(80);
    const int before = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(TrimmedFramesSince(before), (QList<QByteArray>{"[DNACTPWR 70]", "[UPACTPWR 80]",
                                                             "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(gcu->StoredParameterById(DownPower), 70);
    EXPECT_EQ(gcu->StoredParameterById(UpPower), 80);
    EXPECT_EQ(Entry(1).Status, StatusLetter::Transmitted);
    EXPECT_EQ(Entry(2).Status, StatusLetter::Transmitted);
    EXPECT_EQ(Spin(DownPowerSpin).Value(), 70);
    EXPECT_EQ(Spin(UpPowerSpin).Value(), 80);
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 1);
    EXPECT_EQ(LastMessage(), form->TranslateString(Msg::ReadBackAllHeld));
    EXPECT_EQ(TimesAsked(Msg::ConfigRead), 1); // the read-back is silent
    EXPECT_EQ(TimesAsked(Msg::OfferToReadConfig), 1);
}

class GcuKeepsAnOldValue : public ReadBack {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.faults.keepOldValueOf = {DownPower};
    }
};

TEST_F(GcuKeepsAnOldValue, itsEntryGoesBackToModified_controlShowsTheUnitsValue_listed) {
    ConnectAndRead();
    EditBothPowers(80);
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(gcu->StoredParameterById(DownPower), 100);
    EXPECT_EQ(gcu->StoredParameterById(UpPower), 80);
    EXPECT_EQ(Entry(1).Status, StatusLetter::Modified);
    EXPECT_EQ(Entry(1).ActualValueFW, 70); // still what the user wants
    EXPECT_EQ(Grid().Cells(5, 1), StatusLetter::Modified);
    EXPECT_EQ(Entry(2).Status, StatusLetter::Transmitted);
    ExpectShownAsRead(DownPowerSpin, 100);
    EXPECT_EQ(form->Commands[DownPower].ActualValueFW, 100);
    EXPECT_EQ(Spin(UpPowerSpin).Value(), 80);
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 0);
    ASSERT_EQ(TimesAsked(Msg::ReadBackNotHeld), 1);
    EXPECT_EQ(LastMessage(), form->TranslateString(Msg::ReadBackNotHeld) +
                                 QStringLiteral("\nDNACTPWR - Down-shift main-load actuation "
                                                "power: 70 % / 100 %"));
    EXPECT_TRUE(Button("BSequenceTransmit").isEnabled() ||
                Button("BSequenceTransmitAll").isEnabled());
}

class GcuClampsToItsOwnLimits : public ReadBack {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.faults.clampTo = {{UpPower, 10, 90}};
    }
};

TEST_F(GcuClampsToItsOwnLimits, singleTransmit_clampedValueListedAndShown_entryModified) {
    ConnectAndRead();
    Spin(UpPowerSpin).SetValue(95);
    ASSERT_EQ(EntryCount(), 1);
    const int before = gcu->FramesReceived();
    Button("BSequenceTransmit").click();
    EXPECT_EQ(TrimmedFramesSince(before),
              (QList<QByteArray>{"[UPACTPWR 95]", "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(gcu->StoredParameterById(UpPower), 90);
    EXPECT_EQ(Entry(1).Status, StatusLetter::Modified);
    ExpectShownAsRead(UpPowerSpin, 90);
    ASSERT_EQ(TimesAsked(Msg::ReadBackNotHeld), 1);
    EXPECT_TRUE(LastMessage().endsWith(
        QStringLiteral("UPACTPWR - Up-shift main-load actuation power: 95 % / 90 %")));
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 0);
}

TEST_F(ReadBack, readBackUnanswered_entriesAreToBeSentAgain_storeNotVerified) {
    ConnectAndRead();
    EditBothPowers(80);
    GcuFaultOptions noDump;
    noDump.dumpUnanswered = true;
    gcu->SetFaults(noDump);
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(gcu->StoredParameterById(DownPower), 70);
    EXPECT_EQ(gcu->StoredParameterById(UpPower), 80);
    // Nobody saw the unit keep them: not shown as stored, to be sent again.
    EXPECT_EQ(Entry(1).Status, StatusLetter::Modified);
    EXPECT_EQ(Entry(2).Status, StatusLetter::Modified);
    EXPECT_TRUE(Button("BSequenceTransmitAll").isEnabled());
    EXPECT_EQ(Spin(DownPowerSpin).Value(), 70);
    ASSERT_EQ(TimesAsked(Msg::NoAnswer), 1);
    EXPECT_EQ(LastMessage(), form->TranslateString(Msg::NoAnswer) + u'\n' +
                                 form->TranslateString(Msg::ReadBackNotVerified));
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 0);
    EXPECT_EQ(TimesAsked(Msg::ReadBackNotHeld), 0);
}

} // namespace
