// Link faults in the real window against the simulated GCU: text of a request
// that was given up never feeds a later one, text left open before a request
// does not keep its answer from being taken, a download has an overall time
// limit and a dump cut short is reported as such, a lost link is not an
// answer (also at the store), calibration answers are found after a status
// line cut short and after acknowledgements, one request at a time, and a
// command table that cannot be used keeps the link closed.
#include "app/DemoMode.h"
#include "device/Calibration.h"
#include "device/ConfigDump.h"
#include "device/DeviceFrames.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/Inventory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <cmath>
#include <functional>

namespace {

using namespace std::chrono_literals;
using qvtest::WaitFor;

// What the command table holds of every row the dump fills.
std::map<int, double> DumpRowsOf(const TFormMain& form) {
    std::map<int, double> values;
    for (int id = 1; id <= CommandCount; ++id)
        if (form.Commands[id].ReadFromGCUID > 0)
            values[id] = form.Commands[id].ActualValueFW;
    return values;
}

// The rows the dump fills hold what the simulated GCU holds.
void ExpectTableHoldsGcuValues(const TFormMain& form, const GcuSimulator& gcu) {
    int compared = 0;
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = form.Commands[id];
        if (row.ReadFromGCUID <= 0 || id == ConfigDump::PcbVersionRow)
            continue;
        const std::optional<double> held = gcu.ParameterById(id);
        ASSERT_TRUE(held) << id;
        EXPECT_DOUBLE_EQ(row.ActualValueFW, *held) << id;
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

// What a calibration step's control shows.
QString ShownBy(const TFormMain& form, const CalibrationStep& step) {
    switch (step.display) {
    case CalibrationDisplay::SpinEditText:
        return form.Control<TSpinEdit>(step.controlName).Text();
    case CalibrationDisplay::EditText:
        return form.Control<TEdit>(step.controlName).Text();
    case CalibrationDisplay::SpinEditValue:
        return QString::number(form.Control<TSpinEdit>(step.controlName).Value());
    }
    return QString();
}

GcuSensor SensorOf(const CalibrationStep& step) {
    if (step.display == CalibrationDisplay::SpinEditValue)
        return GcuSensor::Barrel;
    return step.display == CalibrationDisplay::EditText ? GcuSensor::KartAxle : GcuSensor::Throttle;
}

class LinkFaults : public qvtest::WindowWithGcu {
  protected:
    TButton& GetConfigButton() const { return Button("BCommunicationGetConfig"); }
    TCheckBox& Live() const { return Check("CBLiveActive"); }
    // Waits until the simulated GCU has sent everything and the window has read it.
    void WaitUntilLineIsQuiet() {
        ASSERT_TRUE(gcu->WaitUntil([this] { return gcu->OutputPending() == 0; }, 20s));
        QTest::qWait(400); // the port's poll and the receive event
    }
};

// ------------------------------------------------------------------ configuration download

class DumpInPiecesWithALongGap : public LinkFaults {
  protected:
    void ConfigureLimits(LinkExchange::Limits& limits) override { limits.dump = 2000ms; }
};

TEST_F(DumpInPiecesWithALongGap, retryAtOnce_neverTakesTheOldDumpsTail_aWholeDumpIsTakenLater) {
    ConnectAndRead();
    const std::map<int, double> before = DumpRowsOf(*form);
    const QString reboots = form->Control<TLabel>("LSystemInfoReboots").Caption();
    const int limit = int(
        form->Exchange().DumpLimit(MaxDumpLength(ExpectedDumpFieldCount(form->Commands))).count());
    GcuFaultOptions gap;
    gap.dumpGapMs = limit + 400; // the old tail comes early in the retry's wait
    gcu->SetFaults(gap);

    GetConfigButton().click();
    EXPECT_EQ(TimesAsked(Msg::MalformedConfiguration), 1); // begun, never finished
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
    GetConfigButton().click(); // at once: the first dump's tail arrives meanwhile
    EXPECT_EQ(TimesAsked(Msg::NoAnswer) + TimesAsked(Msg::MalformedConfiguration), 2);
    EXPECT_EQ(TimesAsked(Msg::ConfigRead), 1); // only the first download
    EXPECT_EQ(DumpRowsOf(*form), before);
    EXPECT_EQ(form->PCBVersionGLOB, 43);
    EXPECT_EQ(Edit("EPCBVersion").Text(), QStringLiteral("4.3"));
    EXPECT_EQ(form->Control<TLabel>("LSystemInfoReboots").Caption(), reboots);
    EXPECT_TRUE(form->Sequence.IsEmpty());
    EXPECT_FALSE(Spin("SEUpShiftActuationMainLoadActuationPower").isHidden());

    // Once the line is quiet, a whole dump is read as usual.
    WaitUntilLineIsQuiet();
    gcu->SetFaults(GcuFaultOptions());
    GetConfigButton().click();
    EXPECT_EQ(TimesAsked(Msg::ConfigRead), 2);
    ExpectTableHoldsGcuValues(*form, *gcu);
    EXPECT_TRUE(form->Sequence.IsEmpty());
}

TEST_F(LinkFaults, textWithoutEndMarkKeepsComing_downloadEndsAtItsLimitWithMalformedMessage) {
    AutoConnect(mrNo);
    const std::map<int, double> before = DumpRowsOf(*form);
    GcuFaultOptions chatter;
    chatter.dumpChatterMs = 12000;
    gcu->SetFaults(chatter);
    const int limit = int(
        form->Exchange().DumpLimit(MaxDumpLength(ExpectedDumpFieldCount(form->Commands))).count());
    QElapsedTimer took;
    took.start();
    GetConfigButton().click();
    EXPECT_LT(took.elapsed(), limit + 1500);
    EXPECT_EQ(TimesAsked(Msg::MalformedConfiguration), 1);
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
    EXPECT_EQ(TimesAsked(Msg::ConfigRead), 0);
    EXPECT_EQ(DumpRowsOf(*form), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form->Router().Request(), RequestId::None);
}

TEST_F(LinkFaults, dumpOfTheReportedFieldCount_isReportedWithASpaceBeforeTheReason) {
    AutoConnect(mrNo);
    QStringList fields(39, QStringLiteral("1"));
    form->GetConfig(fields.join(u'&') + QStringLiteral("#\r\n"));
    ASSERT_EQ(TimesAsked(Msg::MalformedConfiguration), 1);
    EXPECT_TRUE(
        dialogs.asked.back().text.endsWith(form->TranslateString(Msg::MalformedConfiguration) +
                                           QStringLiteral(" the dump holds 39 fields, %1 expected")
                                               .arg(ExpectedDumpFieldCount(form->Commands))));
}

// ------------------------------------------------------------------ text before a request

TEST_F(LinkFaults, unaskedTextWithoutLineEnd_thenGetConfig_readsTheDumpOnTheFirstTry) {
    AutoConnect(mrNo);
    struct Junk {
        const char* name;
        QByteArray text;
        int noiseMs;
    };
    const Junk junks[] = {
        {"two letters", "OK", 0},
        {"NUL and FF bytes", QByteArray("\0\xff\0\xff\xff", 5), 0},
        {"a long text", QByteArray(20000, 'x'), 0},
        {"noise, then a letter", "z", 1500},
    };
    int read = TimesAsked(Msg::ConfigRead);
    for (const Junk& junk : junks) {
        SCOPED_TRACE(junk.name);
        GcuFaultOptions faults;
        faults.idleNoiseMs = junk.noiseMs;
        gcu->SetFaults(faults);
        QTest::qWait(junk.noiseMs + 100);
        faults.idleNoiseMs = 0;
        faults.idleText = junk.text; // last, so that the line is left open
        gcu->SetFaults(faults);
        WaitUntilLineIsQuiet();
        gcu->SetFaults(GcuFaultOptions());
        const int frames = gcu->FramesReceived();
        GetConfigButton().click();
        EXPECT_EQ(TimesAsked(Msg::ConfigRead), ++read);
        EXPECT_EQ(FramesSince(frames).size(), 1); // one request, no retry
        ExpectTableHoldsGcuValues(*form, *gcu);
    }
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
    EXPECT_EQ(TimesAsked(Msg::MalformedConfiguration), 0);
}

class UnpacedGcu : public LinkFaults {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override { options.baudRate = 0; }
};

TEST_F(UnpacedGcu, aOneMegabyteLineWithoutLineEnd_thenGetConfig_readsTheDumpOnTheFirstTry) {
    AutoConnect(mrNo);
    GcuFaultOptions faults;
    faults.idleText = QByteArray(1 << 20, 'A');
    gcu->SetFaults(faults);
    // More than the port holds: the window reads it meanwhile.
    ASSERT_TRUE(WaitFor([this] { return gcu->OutputPending() == 0; }));
    QTest::qWait(400);
    gcu->SetFaults(GcuFaultOptions());
    GetConfigButton().click();
    EXPECT_EQ(TimesAsked(Msg::ConfigRead), 1);
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
    ExpectTableHoldsGcuValues(*form, *gcu);
}

// A dump the GCU began but did not finish was answered, wrongly: the user is
// told the configuration came incomplete, not that the GCU is silent, and the
// next try reads it.
TEST_F(LinkFaults, dumpCutShort_isReportedIncompleteNotUnanswered_theNextTryReadsIt) {
    AutoConnect(mrNo);
    const std::map<int, double> before = DumpRowsOf(*form);
    struct Fault {
        const char* name;
        std::function<void(GcuFaultOptions&)> set;
    };
    const Fault faults[] = {
        {"half a dump", [](GcuFaultOptions& f) { f.dumpHalfOnly = true; }},
        {"without its end mark", [](GcuFaultOptions& f) { f.dumpWithoutEndMark = true; }},
        {"in pieces 2 s apart",
         [](GcuFaultOptions& f) {
             f.answerPieces = 3;
             f.piecePauseMs = 2000;
         }},
    };
    int read = 0;
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        GcuFaultOptions options;
        fault.set(options);
        gcu->SetFaults(options);
        const int incomplete = TimesAsked(Msg::MalformedConfiguration);
        GetConfigButton().click();
        EXPECT_EQ(TimesAsked(Msg::MalformedConfiguration), incomplete + 1);
        EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
        EXPECT_EQ(DumpRowsOf(*form), before);
        WaitUntilLineIsQuiet();
        gcu->SetFaults(GcuFaultOptions());
        GetConfigButton().click();
        EXPECT_EQ(TimesAsked(Msg::ConfigRead), ++read);
    }
}

// ------------------------------------------------------------------ a lost link is not an answer

TEST_F(LinkFaults, linkDropsBeforeTheUnitAnswersAWrite_entriesKeepStatus_runStops_userToldLost) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);
    ASSERT_EQ(EntryCount(), 2);
    GcuFaultOptions hangUp;
    hangUp.hangUpAfterFrames = gcu->FramesReceived() + 1; // on the first write, unanswered
    gcu->SetFaults(hangUp);
    const int framesBefore = gcu->FramesReceived();

    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(Entry(1).Status, StatusLetter::Modified);
    EXPECT_EQ(Entry(2).Status, StatusLetter::Modified);
    EXPECT_EQ(TimesAsked(Msg::LinkLost), 1);
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
    for (const auto& question : dialogs.asked)
        EXPECT_FALSE(question.text.contains(QStringLiteral("not open")))
            << question.text.toStdString();
    ASSERT_EQ(FramesSince(framesBefore).size(), 1); // no second entry, no store
    EXPECT_TRUE(FramesSince(framesBefore)[0].startsWith("[DNACTPWR 70]"));
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
}

class GcuHangsUpAtTheStore : public LinkFaults {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.faults.hangUpOnWord = QStringLiteral("SAVEPRMT");
    }
    // Three changes the GCU answers, then the store it hangs up on.
    void EditThree() {
        Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
        Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70);
        Spin("SEFunctionStrategiesActuatorTempLimit").SetValue(90);
        ASSERT_EQ(EntryCount(), 3);
    }
    void ExpectLinkLostAndStoreNotVerified(int framesBefore) {
        const QString lost = ShownStartingWith(Msg::LinkLost);
        EXPECT_EQ(TimesAsked(Msg::LinkLost), 1);
        EXPECT_TRUE(lost.contains(form->TranslateString(Msg::ReadBackNotVerified)))
            << lost.toStdString();
        EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 0);
        EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
        for (const QString& text : Messages())
            EXPECT_FALSE(text.contains(QStringLiteral("not open"))) << text.toStdString();
        // Nothing is asked of a unit that is gone: the store was the last frame.
        const QList<QByteArray> frames = FramesSince(framesBefore);
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_TRUE(frames.back().startsWith("[SAVEPRMT 0]"));
        EXPECT_TRUE(WaitFor([this] { return !Connected(); }));
    }
};

TEST_F(GcuHangsUpAtTheStore, transmitAll_saysTheLinkWasLostAndTheStoreIsNotVerified) {
    ConnectAndRead();
    EditThree();
    const int frames = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    ExpectLinkLostAndStoreNotVerified(frames);
    EXPECT_EQ(FramesSince(frames).size(), 4);
    // Sent and answered, not known to be stored: still to be sent, never verified.
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Entry(i).Status, StatusLetter::Modified) << i;
    EXPECT_EQ(gcu->StoredParameterById(11), 100); // the unit stored nothing
}

TEST_F(GcuHangsUpAtTheStore, transmitOne_saysTheLinkWasLostAndTheStoreIsNotVerified) {
    ConnectAndRead();
    EditThree();
    const int frames = gcu->FramesReceived();
    Button("BSequenceTransmit").click();
    ExpectLinkLostAndStoreNotVerified(frames);
    EXPECT_EQ(FramesSince(frames).size(), 2);
}

// A unit busy writing its memory loses what it is sent meanwhile: the read-back
// waits for the store's answer.
class GcuSlowToStore : public LinkFaults {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override { options.faults.storeBusyMs = 400; }
};

TEST_F(GcuSlowToStore, readBackIsAskedOnceTheStoreIsAnswered_theStoreIsVerified) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);
    const int frames = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    QList<QByteArray> sent = FramesSince(frames);
    for (QByteArray& frame : sent)
        frame = frame.trimmed();
    EXPECT_EQ(sent, (QList<QByteArray>{"[UPACTPWR 80]", "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 1);
    EXPECT_EQ(TimesAsked(Msg::ReadBackNotVerified), 0);
    EXPECT_EQ(Entry(1).Status, StatusLetter::Transmitted);
    EXPECT_EQ(gcu->StoredParameterById(11), 80);
}

TEST_F(LinkFaults, windowClosedDuringADownload_saysTheLinkWasLost) {
    AutoConnect(mrNo);
    GcuFaultOptions silent;
    silent.neverAnswer = true;
    gcu->SetFaults(silent);
    QTimer::singleShot(300, form.get(), [this] { form->close(); });
    GetConfigButton().click();
    EXPECT_EQ(TimesAsked(Msg::LinkLost), 1);
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(LinkFaults, linkLostInLiveMode_barsAndNumbersShowTheInactiveState) {
    AutoConnect(mrNo);
    Live().SetChecked(true);
    ASSERT_TRUE(WaitFor([this] { return form->LiveLinesShown() > 2; }));
    const QString liveBattery = form->Control<TLabel>("LSerialLiveBattery").Caption();
    gcu->HangUp();
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    EXPECT_FALSE(Live().Checked());
    for (const char* label :
         {"LSerialLiveBarrel", "LSerialLiveTPS", "LSerialLiveRPM", "LSerialLiveBattery",
          "LSerialLiveGCUTemp", "LSerialLiveActuatorTemp"}) {
        const InventoryItem* item = FindInventoryItem(QString::fromLatin1(label));
        ASSERT_NE(item, nullptr) << label;
        EXPECT_EQ(form->Control<TLabel>(label).Caption(), QString::fromUtf8(item->caption))
            << label << " showed " << liveBattery.toStdString();
    }
    for (const char* bar :
         {"PBSerialLiveBarrel", "PBSerialLiveTPS", "PBSerialLiveRPM", "PBSerialLiveBattery",
          "PBSerialLiveGCUTemp", "PBSerialLiveActuatorTemp"}) {
        const auto& shown = form->Control<TProgressBar>(bar);
        EXPECT_EQ(shown.Position(), shown.Min()) << bar;
    }
}

// ------------------------------------------------------------------ calibration answers

class StatusLineCutWhenStopped : public LinkFaults {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.faults.cutStatusLineOnStop = true;
        options.statusLinesPerSecond = 50;
    }
};

TEST_F(StatusLineCutWhenStopped, tpsSetInLiveMode_findsTheAnswerGluedToTheCutLine_20Tries) {
    ConnectAndRead();
    const int asked = MessagesAsked();
    Live().SetChecked(true);
    const CalibrationStep& step = *CalibrationStepForButton("BThrottlePositionSensorFullOpenSet");
    for (int attempt = 0; attempt < 20; ++attempt) {
        SCOPED_TRACE(attempt);
        const double volts = 3.5 + 0.05 * attempt;
        gcu->OverrideSensor(GcuSensor::Throttle, volts);
        const quint64 lines = form->LiveLinesShown();
        ASSERT_TRUE(WaitFor([&] { return form->LiveLinesShown() > lines + 1; }));
        Button("BThrottlePositionSensorFullOpenSet").click();
        EXPECT_EQ(ShownBy(*form, step), QString::number(std::lround(volts * 1000)));
        EXPECT_DOUBLE_EQ(form->Commands[step.row].ActualValueFW, *gcu->ParameterById(step.row));
        EXPECT_TRUE(Live().Checked());
    }
    EXPECT_EQ(MessagesAsked(), asked);
}

class AcknowledgingGcu : public LinkFaults {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.faults.acknowledgeFrames = true;
    }
};

TEST_F(AcknowledgingGcu, everySetButton_takesTheQueriedValueNotTheAcknowledgement) {
    ConnectAndRead();
    const int asked = MessagesAsked();
    double volts = 0.40;
    for (const CalibrationStep& step : CalibrationSteps()) {
        SCOPED_TRACE(step.buttonName.toStdString());
        volts += 0.25;
        gcu->OverrideSensor(SensorOf(step), volts);
        form->Control<TButton>(step.buttonName).Click();
        EXPECT_EQ(ShownBy(*form, step), QString::number(std::lround(volts * 1000)));
        EXPECT_NEAR(form->Commands[step.row].ActualValueFW, volts, 1e-9);
        EXPECT_EQ(MessagesAsked(), asked);
    }
}

// ------------------------------------------------------------------ one request at a time

class SlowGcu : public LinkFaults {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.faults.answerPieces = 2;
        options.faults.piecePauseMs = 1200;
    }
};

TEST_F(SlowGcu, otherRequestsDuringAWait_changeNothing_theFirstEndsNormally) {
    ConnectAndRead();
    const int asked = MessagesAsked();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80); // something to transmit
    gcu->OverrideSensor(GcuSensor::Throttle, 0.62);
    const int framesBefore = gcu->FramesReceived();
    QTimer::singleShot(400, form.get(), [this] {
        GetConfigButton().click();
        Button("BThrottlePositionSensorFullOpenSet").click();
        Button("BKartAxlePositionLowSet").click();
        Button("BRecoveryOutputTestLedTest").click();
        Button("BSequenceTransmit").click();
        Button("BSequenceTransmitAll").click();
        Live().click();
    });
    Button("BThrottlePositionSensorIdleSet").click();
    EXPECT_EQ(MessagesAsked(), asked);
    EXPECT_EQ(Spin("SEThrottlePositionSensorIdleMillivolts").Text(), QStringLiteral("620"));
    QList<QByteArray> frames = FramesSince(framesBefore);
    for (QByteArray& frame : frames)
        frame = frame.trimmed();
    EXPECT_EQ(frames, (QList<QByteArray>{"[MINVATPS 0]", "[MINVATPS ?]"}));
    EXPECT_FALSE(Live().Checked());
    EXPECT_EQ(Entry(1).Status, StatusLetter::Modified);
    EXPECT_FALSE(form->RequestPending());
}

// ------------------------------------------------------------------ a command table that cannot be
// used

// Each kind of broken commands file: one message naming the file (and the
// line, where there is one), no auto-connect and not a byte on the wire,
// although a GCU is offered to connect to.
TEST(BrokenCommandTable, eachKind_oneMessage_noConnection_nothingOnTheWire) {
    const QString shipped = QStringLiteral(QV_SOURCE_DIR "/CFG/Commands.CSV");
    QFile shippedFile(shipped);
    ASSERT_TRUE(shippedFile.open(QIODevice::ReadOnly));
    const QByteArray good = shippedFile.readAll();
    QByteArray garbage(4000, '\0');
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(garbage.data()), 1000);
    QList<QByteArray> lines = good.split('\n');
    lines[2] =
        "2;ACTTLIMT;Actuator temperature limit;sixty" + lines[2].mid(lines[2].indexOf(";60;") + 3);
    const QByteArray nonNumeric = lines.join('\n');
    struct Case {
        const char* name;
        QByteArray file;
        int message;
        QString where; // the line and what is wrong, as the message names them
    };
    const Case cases[] = {
        {"garbage", garbage, Msg::CommandTableUnusable, QString()},
        {"five columns",
         "ID;Command;Description;MinValueFW;MaxValueFW\r\n1;MINVBATT;Battery;6;16\r\n",
         Msg::CommandTableUnusable, QStringLiteral("1: the title line has 5 columns")},
        {"a word where a number belongs", nonNumeric, Msg::CommandTableUnusable,
         QStringLiteral("3: column 3 (MinValueFW)")},
        {"empty", QByteArray(), Msg::CommandTableHoldsNothing, QString()},
        {"title line only", good.left(good.indexOf('\n') + 1), Msg::CommandTableHoldsNothing,
         QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::ProgramDataFolder data;
        ASSERT_TRUE(data.IsValid());
        const QString commands = data.FilePath(QStringLiteral("CFG/Commands.CSV"));
        QFile file(commands);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.file);
        file.close();
        GcuSimulatorOptions options;
        options.commandsFile = shipped;
        options.bootWindowMs = 200;
        GcuSimulator gcu(options);
        const QString port = gcu.start();
        qputenv("GCU_EXTRA_PORTS",
                ExtraPortsWith(QString(), port, QLatin1String(DemoAdapterName)).toLocal8Bit());
        ScopedScriptedDialogs dialogs;
        dialogs.messageAnswers = {mrYes, mrYes, mrYes}; // whatever would be asked
        auto form = std::make_unique<TFormMain>();
        form->show();
        QTest::qWait(2500); // two ticks of auto-connect
        ASSERT_EQ(dialogs.asked.size(), 1u);
        const QString& shown = dialogs.asked.front().text;
        EXPECT_EQ(dialogs.asked.front().type, TMsgDlgType::mtError);
        EXPECT_FALSE(form->TranslateString(c.message).isEmpty());
        EXPECT_TRUE(
            shown.startsWith(form->TranslateString(c.message) + QDir::toNativeSeparators(commands)))
            << shown.toStdString();
        if (c.message == Msg::CommandTableUnusable) {
            EXPECT_TRUE(shown.contains(form->TranslateString(Msg::FileLine) +
                                       (c.where.isEmpty() ? QStringLiteral("1: ") : c.where)))
                << shown.toStdString();
        }
        EXPECT_EQ(gcu.PortOpenCount(), 0);
        EXPECT_EQ(gcu.FramesReceived(), 0);
        auto& connect =
            form->Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
        EXPECT_EQ(connect.Tag(), 0);
        EXPECT_FALSE(connect.isEnabled());
        form->Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort")).SetText(port);
        connect.Click(); // by hand: nothing either
        EXPECT_EQ(gcu.PortOpenCount(), 0);
        form->close();
        form.reset();
        gcu.stop();
        qunsetenv("GCU_EXTRA_PORTS");
    }
}

} // namespace
