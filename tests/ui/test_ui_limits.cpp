// Values held to their limits, in the real window against the simulated GCU:
// keystrokes typed into the real controls are captured only when the typing
// ends, held to the field's limits; coupled rules run on the finished value;
// a spin button at its limit changes nothing; output-test durations follow the
// same rules; and a value outside its command's limits, however it got into
// an entry, is never framed.
#include "model/WorkingCopy.h"
#include "model/RecordFiles.h"
#include "model/Sequence.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "util/UnitUtils.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <limits>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

using qvtest::WaitFor;

// Replaces the field's text with Typed, keystroke by keystroke, as a user
// does after selecting what the field shows. Typing ends separately.
void Type(TSpinEdit& field, const QString& typed) {
    field.selectAll();
    if (typed.isEmpty())
        QTest::keyClick(&field, Qt::Key_Backspace);
    else
        QTest::keyClicks(&field, typed);
}

void Type(TEdit& field, const QString& typed) {
    field.selectAll();
    if (typed.isEmpty())
        QTest::keyClick(&field, Qt::Key_Backspace);
    else
        QTest::keyClicks(&field, typed);
}

QList<QByteArray> Trimmed(QList<QByteArray> frames) {
    for (QByteArray& frame : frames)
        frame = frame.trimmed();
    return frames;
}

// The simulated GCU starts with the values of State (its stored set).
class LimitsWithGcu : public qvtest::WindowWithGcu {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        QFile file(options.stateFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(State());
    }
    // Up-shift main-load actuation power (11, limits 10..100) at 80.
    virtual QByteArray State() const { return "id.11=80\n"; }

    // A frame typed on the Commands page goes out as it stands: once it is
    // on the wire, everything the window sent before it is there too.
    QList<QByteArray> FramesUpToMarker(int before) {
        const QByteArray marker = "[PRINTSTS 0]";
        form->Control<TEdit>(QStringLiteral("EditCMD")).SetText(QString::fromLatin1(marker));
        Button("BSend").Click();
        EXPECT_TRUE(WaitFor([&] { return Trimmed(FramesSince(before)).contains(marker); }));
        QList<QByteArray> frames = Trimmed(FramesSince(before));
        frames.removeAll(marker);
        return frames;
    }
    int RowOf(int id) const {
        for (int i = 1; i <= EntryCount(); ++i)
            if (Entry(i).CommandID == id)
                return i;
        return 0;
    }
    // Of command Id's entry; none: "-" and NaN.
    QString StatusOf(int id) const { return EntryOf(id) ? EntryOf(id)->Status : "-"; }
    double ValueOf(int id) const { return EntryOf(id) ? EntryOf(id)->ActualValueSW : NAN; }
    double FirmwareValueOf(int id) const { return EntryOf(id) ? EntryOf(id)->ActualValueFW : NAN; }
    bool HasFocus(QWidget& field) {
        QApplication::setActiveWindow(form.get());
        field.setFocus();
        return QTest::qWaitFor([&] { return field.hasFocus(); }, 2000);
    }
};

} // namespace

// ------------------------------------------------------------------ typing held to the limits

TEST_F(LimitsWithGcu, typedAboveTheLimit_isHeldToItWhenTypingEnds_andOnlyTheHeldValueIsSent) {
    ConnectAndRead();
    auto& power = Spin("SEUpShiftActuationMainLoadActuationPower"); // 11, limits 10..100
    ASSERT_EQ(power.Value(), 80);

    // Typing ends with Enter: 250 becomes 100, shown so, and only 100 is captured.
    Type(power, "250");
    EXPECT_EQ(EntryOf(11), nullptr) << "captured while the user was still typing";
    QTest::keyClick(&power, Qt::Key_Return);
    EXPECT_EQ(power.Text(), "100");
    ASSERT_NE(EntryOf(11), nullptr);
    EXPECT_EQ(ValueOf(11), 100);
    EXPECT_EQ(StatusOf(11), "M");

    int before = gcu->FramesReceived();
    form->Control<TStringGrid>(QStringLiteral("SGSequence")).SetRow(RowOf(11));
    Button("BSequenceTransmit").click();
    EXPECT_EQ(FramesUpToMarker(before),
              (QList<QByteArray>{"[UPACTPWR 100]", "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(gcu->ParameterById(11), 100);
    EXPECT_EQ(StatusOf(11), "T");

    // 100 is already the value: typing 250 again captures nothing.
    Type(power, "250");
    QTest::keyClick(&power, Qt::Key_Return);
    EXPECT_EQ(power.Text(), "100");
    EXPECT_EQ(StatusOf(11), "T");
    EXPECT_FALSE(GetSequenceFlags(form->Sequence).pending);

    // Typing below the limit, ended by pressing a button: another change is
    // pending, "Transmit All" ends the typing first and sends the held 10.
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70); // 8
    Type(power, "5");
    ASSERT_TRUE(Button("BSequenceTransmitAll").isEnabled());
    before = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(power.Text(), "10");
    EXPECT_EQ(FramesUpToMarker(before), (QList<QByteArray>{"[UPACTPWR 10]", "[DNACTPWR 70]",
                                                           "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(gcu->ParameterById(11), 10);
    EXPECT_EQ(TimesAsked(Msg::ValueOutOfLimitsNotSent), 0);
}

TEST_F(LimitsWithGcu, typingEndedByTheFocusLeaving_isHeldAndCapturedOnce) {
    ConnectAndRead();
    auto& power = Spin("SEUpShiftActuationMainLoadActuationPower");
    auto& other = Spin("SEUpShiftActuationPreLoadActuationPower");
    form->Control<TPageControl>(QStringLiteral("PCMain")).setCurrentIndex(1); // Up Shift
    if (!HasFocus(power))
        GTEST_SKIP() << "the platform gives no keyboard focus";
    Type(power, "9999");
    EXPECT_EQ(EntryOf(11), nullptr);
    other.setFocus();
    ASSERT_TRUE(WaitFor([&] { return !power.hasFocus(); }));
    EXPECT_EQ(power.Text(), "100");
    ASSERT_NE(EntryOf(11), nullptr);
    EXPECT_EQ(ValueOf(11), 100);
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(LimitsWithGcu, typedEditHeldToItsCommandsDisplayLimits) {
    ConnectAndRead();
    // The kart axle edits are read-only in this layout; a bound edit the user
    // can type into follows the same rule.
    auto& axle = Edit("EKartAxlePositionLowMillivolts"); // 158, 0..5000 mV
    axle.setReadOnly(false);
    Type(axle, "9000");
    EXPECT_EQ(EntryOf(158), nullptr);
    QTest::keyClick(&axle, Qt::Key_Return);
    EXPECT_EQ(axle.Text(), "5000");
    ASSERT_NE(EntryOf(158), nullptr);
    EXPECT_EQ(ValueOf(158), 5000);
    EXPECT_DOUBLE_EQ(FirmwareValueOf(158), 5.0);
}

// ------------------------------------------------------------------ coupled rules wait for the end

TEST_F(LimitsWithGcu, typing400IntoTheUpShiftTimeout_leaves400InFieldAndSequence) {
    ConnectAndRead();
    auto& timeout = Spin("SEUpShiftActuationMainLoadActuationTimeout"); // 5, 30..400
    auto& cut = Spin("SEUpShiftEngineCutMainCutEngineCutTimeout");      // 7
    auto& preload = Spin("SEUpShiftActuationPreLoadActuationTime");     // 25
    const int cutBefore = cut.Value();
    const int preloadBefore = preload.Value();
    Type(timeout, "400");
    QTest::keyClick(&timeout, Qt::Key_Return);
    EXPECT_EQ(timeout.Text(), "400");
    ASSERT_NE(EntryOf(5), nullptr);
    EXPECT_EQ(ValueOf(5), 400);
    EXPECT_EQ(cut.Value(), cutBefore);
    EXPECT_EQ(preload.Value(), preloadBefore);
    EXPECT_EQ(EntryOf(7), nullptr);
    EXPECT_EQ(EntryOf(25), nullptr);
    EXPECT_EQ(EntryCount(), 1);
}

// A field ends with the number typed, or, where the GCU keeps the value in
// coarser steps than the field shows (millivolts sent as hundredths of a
// volt), with the nearest step, which is what is sent, and the window says so.
TEST_F(LimitsWithGcu, typingAWholeNumberIntoAnyField_endsWithThatNumberOrTheGcusNearestStep) {
    ConnectAndRead();
    auto& pages = form->Control<TPageControl>(QStringLiteral("PCMain"));
    int typedFields = 0;
    int steppedFields = 0;
    for (QObject* component : form->ComponentList()) {
        auto* field = qobject_cast<TSpinEdit*>(component);
        if (!field || field->HelpContext() <= 0 || field->isReadOnly() || !field->isEnabled())
            continue;
        const int id = field->HelpContext();
        if (form->Commands[id].Command.isEmpty())
            continue;
        SCOPED_TRACE(field->objectName().toStdString());
        // Three quarters up the field's range: several digits, no coupled
        // rule has to move the typed field itself.
        const int low = field->MinValue(), high = field->MaxValue();
        int value = high - (high - low) / 4;
        if (value == field->Value())
            value = value > low ? value - 1 : value + 1;
        for (int page = 0; page < pages.count(); ++page)
            if (pages.widget(page)->isAncestorOf(field))
                pages.setCurrentIndex(page);
        const int held = RoundHalfToEvenInt(HeldDisplayValueOf(form->Commands, id, value, form->RPMFactorGLOB));
        Type(*field, QString::number(value));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(field->Text(), QString::number(held));
        EXPECT_EQ(ValueOf(id), held);
        if (held != value) {
            ++steppedFields;
            EXPECT_TRUE(form->Control<TLabel>("LEditNotice").Caption().contains(QString::number(value)));
        }
        ++typedFields;
    }
    EXPECT_GT(typedFields, 80);
    EXPECT_GT(steppedFields, 0); // the millivolt fields of the barrel sensor
}

// ------------------------------------------------------------------ spin buttons at their limits

namespace {
class SpinButtonsAtTheirMaximum : public LimitsWithGcu {
  protected:
    // RPM limiter 350 Hz and RPM recovery 350 Hz (their firmware maximum),
    // minimum battery voltage 16.0 V (its maximum).
    QByteArray State() const override { return "id.98=350\nid.161=350\nid.1=16\n"; }

    struct Snapshot {
        QStringList entries; // id, status and value of each entry
        QStringList texts;   // limiter, recovery, battery and the down-shift limits
    };
    Snapshot Take() const {
        Snapshot s;
        for (int i = 1; i <= EntryCount(); ++i)
            s.entries << QStringLiteral("%1 %2 %3")
                             .arg(Entry(i).CommandID)
                             .arg(Entry(i).Status)
                             .arg(Entry(i).ActualValueSW);
        for (const char* name : {"ERatiosRpmRPMLimiter", "ERatiosRpmRPMRecovery",
                                 "EInputsOutputsMinimumBatteryVoltage", "ERatiosRpm2L",
                                 "ERatiosRpm3L", "ERatiosRpm4L", "ERatiosRpm5L", "ERatiosRpm6L"})
            s.texts << Edit(name).Text();
        return s;
    }
    QToolButton* Arrow(const char* spinButton, bool up) const {
        auto& arrows = form->Control<TSpinButton>(QString::fromLatin1(spinButton));
        return up ? arrows.UpButton() : arrows.DownButton();
    }
};
} // namespace

TEST_F(SpinButtonsAtTheirMaximum, upAtTheFirmwareMaximumChangesNothing_downStillSteps) {
    ConnectAndRead();
    ASSERT_EQ(Edit("ERatiosRpmRPMLimiter").Text(), "21000");
    ASSERT_EQ(Edit("ERatiosRpmRPMRecovery").Text(), "21000");
    ASSERT_EQ(Edit("EInputsOutputsMinimumBatteryVoltage").Text(), "16,0");
    // The down-shift limits the GCU holds differ from those the limiter gives:
    // the download shows what the GCU holds, and nothing is pending.
    ASSERT_EQ(EntryCount(), 0);

    const Snapshot atMaximum = Take();
    for (const char* spinButton : {"SBERatiosRpmRPMLimiter", "SBERatiosRpmRPMRecovery",
                                   "SBSEInputsOutputsMinimumBatteryVoltage"}) {
        SCOPED_TRACE(spinButton);
        Arrow(spinButton, true)->click();
        EXPECT_EQ(Take().entries, atMaximum.entries);
        EXPECT_EQ(Take().texts, atMaximum.texts);
    }
    EXPECT_FALSE(GetSequenceFlags(form->Sequence).pending);

    // The arrows work: one step down each.
    Arrow("SBERatiosRpmRPMLimiter", false)->click();
    EXPECT_EQ(Edit("ERatiosRpmRPMLimiter").Text(), "20940");
    Arrow("SBERatiosRpmRPMRecovery", false)->click();
    EXPECT_EQ(Edit("ERatiosRpmRPMRecovery").Text(), "20940");
    Arrow("SBSEInputsOutputsMinimumBatteryVoltage", false)->click();
    EXPECT_EQ(Edit("EInputsOutputsMinimumBatteryVoltage").Text(), "15,9");
    ASSERT_NE(EntryOf(98), nullptr);
    EXPECT_EQ(StatusOf(98), "M");
    ASSERT_NE(EntryOf(1), nullptr);
    EXPECT_DOUBLE_EQ(FirmwareValueOf(1), 15.9);
}

// ------------------------------------------------------------------ output-test durations

TEST_F(LimitsWithGcu, outputTestDuration_emptyOrSignIsRefused_tooLongIsHeld_neverSentAsTyped) {
    AutoConnect(mrNo);
    auto& duration = Spin("SERecoveryOutputTestUpShiftActuationTime");
    ASSERT_EQ(duration.Text(), "180");
    int before = gcu->FramesReceived();
    for (const char* typed : {"", "-"}) {
        SCOPED_TRACE(typed);
        const int refusals = TimesAsked(Msg::NotANumber);
        Type(duration, QString::fromLatin1(typed));
        Button("BRecoveryOutputTestUpShiftTest").click();
        EXPECT_EQ(TimesAsked(Msg::NotANumber), refusals + 1);
        EXPECT_EQ(duration.Text(), "180");
    }
    EXPECT_EQ(FramesUpToMarker(before), QList<QByteArray>());

    // Too long: held to the longest the GCU itself drives each output (the
    // longest LED test is the test's own limit).
    const struct {
        const char *button, *field, *frame;
    } tests[] = {
        {"BRecoveryOutputTestUpShiftTest", "SERecoveryOutputTestUpShiftActuationTime",
         "[TESTATUP 400]"},
        {"BRecoveryOutputTestDownShiftTest", "SERecoveryOutputTestDownShiftActuationTime",
         "[TESTATDW 500]"},
        {"BRecoveryOutputTestBlipperTest", "SERecoveryOutputTestBlipperActuationTime",
         "[TESTBLIP 300]"},
        {"BRecoveryOutputTestEngineCutTest", "SERecoveryOutputTestEngineCutEngineCutTime",
         "[TESTACUT 250]"},
        {"BRecoveryOutputTestLedTest", "SERecoveryOutputTestLedLedTestTime", "[TESTLEDN 1000]"},
    };
    for (const auto& test : tests) {
        SCOPED_TRACE(test.button);
        auto& field = Spin(test.field);
        Type(field, "99999");
        before = gcu->FramesReceived();
        Button(test.button).click();
        const QByteArray frame(test.frame);
        EXPECT_EQ(FramesUpToMarker(before), QList<QByteArray>{frame});
        EXPECT_EQ(field.Text(), QString::fromLatin1(frame.mid(10).chopped(1)));
    }
    // Too short: held as well. A field the program wrote is held when used.
    Type(duration, "3");
    QTest::keyClick(&duration, Qt::Key_Return);
    EXPECT_EQ(duration.Text(), "30");
    duration.SetText(QStringLiteral("5000"));
    before = gcu->FramesReceived();
    Button("BRecoveryOutputTestUpShiftTest").click();
    EXPECT_EQ(FramesUpToMarker(before), QList<QByteArray>{"[TESTATUP 400]"});
    EXPECT_EQ(duration.Text(), "400");
    for (const QByteArray& frame : gcu->ReceivedFrames())
        EXPECT_FALSE(frame.contains("99999") || frame.contains(" ]") || frame.contains(" -]"))
            << frame.constData();
}

// ------------------------------------------------------------------ the frame guard

TEST_F(LimitsWithGcu, outOfLimitValueInAnEntry_isNeverFramed_entryKeepsStatus_noStore) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(90);   // 11
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70); // 8
    ASSERT_EQ(EntryCount(), 2);
    // However it got there: a value outside 10..100 written into the entry.
    TSequenceRecord& entry = form->Sequence[RowOf(11)];
    entry.ActualValueFW = 250;
    entry.ActualValueSW = 250;

    int before = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(TimesAsked(Msg::ValueOutOfLimitsNotSent), 1);
    ASSERT_FALSE(dialogs.asked.empty());
    const QString report = dialogs.asked.back().text;
    EXPECT_TRUE(report.contains(QStringLiteral("[UPACTPWR]")) &&
                report.contains(form->Commands[11].Description) && report.contains("250") &&
                report.contains(QStringLiteral("10 .. 100")))
        << report.toStdString();
    EXPECT_EQ(FramesUpToMarker(before), QList<QByteArray>()); // nothing framed, no store
    EXPECT_EQ(StatusOf(11), "M");
    EXPECT_EQ(StatusOf(8), "M");
    EXPECT_EQ(gcu->ParameterById(11), 80);

    // The single transmit refuses it the same way.
    form->Control<TStringGrid>(QStringLiteral("SGSequence")).SetRow(RowOf(11));
    before = gcu->FramesReceived();
    Button("BSequenceTransmit").click();
    EXPECT_EQ(TimesAsked(Msg::ValueOutOfLimitsNotSent), 2);
    EXPECT_EQ(FramesUpToMarker(before), QList<QByteArray>());
    EXPECT_EQ(StatusOf(11), "M");

    // The legal entry still goes out on its own.
    form->Control<TStringGrid>(QStringLiteral("SGSequence")).SetRow(RowOf(8));
    before = gcu->FramesReceived();
    Button("BSequenceTransmit").click();
    EXPECT_EQ(FramesUpToMarker(before),
              (QList<QByteArray>{"[DNACTPWR 70]", "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(StatusOf(8), "T");
}

// ------------------------------------------------------------------ values the unit holds outside
// their limits

class GcuHoldsValuesOutsideTheirLimits : public LimitsWithGcu {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        LimitsWithGcu::ConfigureGcu(options);
        // Actuator temperature limit (2, 60..130 °C), minimum battery voltage (1, 6..16 V).
        options.faults.dumpFieldTexts = {{2, "-5"}, {1, "1e308"}};
    }
    const char* const TempLimit = "SEFunctionStrategiesActuatorTempLimit";
    const char* const MinBattery = "EInputsOutputsMinimumBatteryVoltage";
    const char* const UpPowerSpin = "SEUpShiftActuationMainLoadActuationPower";
};

TEST_F(GcuHoldsValuesOutsideTheirLimits, shownMarkedAsTheUnitHoldsThem_reported_neverReplaced) {
    ConnectAndRead();
    // Shown as the unit holds them, in the colour and with the hint that say so.
    EXPECT_EQ(Spin(TempLimit).Text(), "-5");
    EXPECT_EQ(Spin(TempLimit).Color(), OutsideLimitsColor);
    EXPECT_TRUE(Spin(TempLimit).Hint().endsWith(
        form->TranslateString(Msg::ValueOutsideLimitsHint).arg("-5", "60", "130")))
        << Spin(TempLimit).Hint().toStdString();
    EXPECT_EQ(Edit(MinBattery).Text(), "1E+308");
    EXPECT_EQ(Edit(MinBattery).Color(), OutsideLimitsColor);
    EXPECT_NE(Spin(UpPowerSpin).Color(), OutsideLimitsColor); // 80: inside its limits
    EXPECT_EQ(Spin(UpPowerSpin).Hint(), TFormMain::CommandHint(11, form->Commands[11]));

    // The download says which values lie outside their limits.
    const QString report = ShownStartingWith(Msg::ConfigRead);
    EXPECT_TRUE(report.contains(form->TranslateString(Msg::ValuesOutsideLimits)));
    EXPECT_TRUE(report.contains(
        QStringLiteral("ACTTLIMT - %1: -5 (60 .. 130)").arg(form->Commands[2].Description)))
        << report.toStdString();
    EXPECT_TRUE(report.contains(
        QStringLiteral("MINVBATT - %1: 1E+308 (6,0 .. 16,0)").arg(form->Commands[1].Description)))
        << report.toStdString();
    EXPECT_EQ(report.count(u'\n'), 4); // 17, a blank line, 132 and two values

    // Kept as the unit holds them: nothing captured, a saved file holds them.
    EXPECT_EQ(EntryCount(), 0);
    EXPECT_EQ(form->Commands[2].ActualValueFW, -5);
    EXPECT_EQ(form->Commands[1].ActualValueFW, 1e308);
    const QString saved = data.FilePath("held.QCF");
    dialogs.fileAnswers = {saved};
    Button("BSaveConfig").click();
    const auto records = ReadConfigFile(saved).records;
    const auto held = [&records](int id) {
        for (const TCommandRecord& record : records)
            if (record.ID == id)
                return record.ActualValueFW;
        return std::numeric_limits<double>::quiet_NaN();
    };
    EXPECT_EQ(held(2), -5);
    EXPECT_EQ(held(1), 1e308);

    // Another change goes out alone; the values outside their limits are not sent.
    Spin(UpPowerSpin).SetValue(90);
    const int before = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(FramesUpToMarker(before),
              (QList<QByteArray>{"[UPACTPWR 90]", "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(Spin(TempLimit).Text(), "-5");
}

TEST_F(LimitsWithGcu, derivedValuesInsideTheirLimits_areNotRefused) {
    ConnectAndRead();
    // "x 2": the RPM factor becomes 120; new tooth counts give new ratios and
    // down-shift limits, cut to the factor.
    Check("CBRatiosRpmX2").SetChecked(true);
    ASSERT_EQ(form->RPMFactorGLOB, 120);
    Spin("SERatiosRpm1S").SetValue(40);
    Spin("SERatiosRpm2P").SetValue(18);
    ASSERT_NE(EntryOf(76), nullptr); // "x 2"
    ASSERT_NE(EntryOf(17), nullptr); // gear 1 ratio
    ASSERT_NE(EntryOf(18), nullptr); // gear 2 ratio
    ASSERT_NE(EntryOf(56), nullptr); // gear 2 down-shift limit
    const int entries = EntryCount();
    const int before = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(TimesAsked(Msg::ValueOutOfLimitsNotSent), 0);
    // Every entry, then the store and its read-back.
    EXPECT_EQ(FramesUpToMarker(before).size(), entries + 2);
    for (int i = 1; i <= EntryCount(); ++i)
        EXPECT_EQ(Entry(i).Status, "T") << Entry(i).Command.toStdString();
    for (int id : {17, 18, 56})
        EXPECT_EQ(gcu->ParameterById(id), FirmwareValueOf(id)) << id;
    // Derived values are read back as sent, at the GCU's precision.
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 1);
}

TEST_F(LimitsWithGcu, typedCommandLine_isNoNumberField_itsButtonSendsIt) {
    AutoConnect(mrNo);
    auto& line = Edit("EditCMD");
    line.setFocus();
    QTest::keyClicks(&line, "[TESTLEDN 50]");
    const int before = gcu->FramesReceived();
    Button("BSend").click();
    EXPECT_EQ(TimesAsked(Msg::NotANumber), 0);
    EXPECT_EQ(FramesUpToMarker(before), QList<QByteArray>{"[TESTLEDN 50]"});
}
