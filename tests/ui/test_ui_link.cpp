// The device link in the real window against the simulated GCU on its
// pseudo-terminal: auto-connect, the announcement and the offer to read the
// configuration, the download into the controls, disconnect, a lost link, a
// silent GCU, a port busy for a moment, the manual command; and the receive
// handler's window-side effects.
#include "app/DemoMode.h"
#include "device/ConfigDump.h"
#include "device/DeviceFrames.h"
#include "gcusim/GcuSimulator.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTexts.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr int Patience = 15000; // ms; generous for a loaded machine

bool CopyShippedCommands(const QString& dataDir) {
    QDir(dataDir).mkpath(QStringLiteral("CFG"));
    return QFile::copy(QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"),
                       dataDir + QStringLiteral("/CFG/Commands.CSV"));
}

// The message texts, also while no translation file is shipped.
void FillMessages(TFormMain& form) {
    FillTranslationTableFromFolder(
        form.Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
        QStringLiteral(QV_SOURCE_DIR "/translation/texts"));
}

class LinkWithSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(CopyShippedCommands(dataDir.path()));
        SetProgramFolder(dataDir.path());
        GcuSimulatorOptions options;
        options.commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");
        options.stateFile = dataDir.filePath(QStringLiteral("gcu-state.txt"));
        options.bootWindowMs = 200;
        gcu = std::make_unique<GcuSimulator>(options);
        port = gcu->start();
        qputenv("GCU_EXTRA_PORTS",
                ExtraPortsWith(QString(), port, QLatin1String(DemoAdapterName)).toLocal8Bit());
        form = std::make_unique<TFormMain>();
        LinkExchange::Limits limits;
        limits.dump = std::chrono::milliseconds(2000);
        form->SetLinkLimits(limits);
        form->show();
        FillMessages(*form);
    }
    void TearDown() override {
        form->close();
        form.reset();
        gcu->stop();
        qunsetenv("GCU_EXTRA_PORTS");
        SetProgramFolder(QString());
    }

    TButton& ConnectButton() const {
        return form->Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
    }
    TComboBox& PortBox() const {
        return form->Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort"));
    }
    bool Connected() const { return ConnectButton().Tag() == 1; }
    int TimesAsked(int message) const {
        const QString text = form->TranslateString(message);
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&text](const auto& q) { return q.text.startsWith(text); }));
    }
    bool WaitFor(const std::function<bool()>& condition, int ms = Patience) {
        return QTest::qWaitFor(condition, ms);
    }
    // Auto-connect finds the simulated GCU; message 4 is answered with Answer.
    void AutoConnect(TModalResult answer) {
        dialogs.messageAnswers.push_back(answer);
        ASSERT_TRUE(WaitFor([this] { return Connected(); }));
        ASSERT_TRUE(WaitFor([this] { return TimesAsked(4) == 1; }));
    }
    void ExpectClosedState() const {
        EXPECT_EQ(ConnectButton().Tag(), 0);
        EXPECT_EQ(ConnectButton().Caption(), form->TranslateString(15));
        EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LSerialCommunicationStatus")).Caption(),
                  form->TranslateString(16));
        EXPECT_FALSE(form->Control<TLed>(QStringLiteral("LedSerialCommunication")).Lit());
        EXPECT_TRUE(PortBox().isEnabled());
        EXPECT_FALSE(form->SerialConnectedGLOB);
        EXPECT_FALSE(form->Control<TButton>(QStringLiteral("BCommunicationGetConfig")).isEnabled());
    }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<GcuSimulator> gcu;
    QString port;
    std::unique_ptr<TFormMain> form;
};

// Every bound control shows the value the GCU holds, in the colour of a value
// read; what PCB 4.3 lacks is hidden.
void ExpectControlsShowGcuValues(const TFormMain& form, const GcuSimulator& gcu) {
    int checked = 0;
    for (QObject* component : form.ComponentList()) {
        const TControl* control = AsControl(component);
        const int id = control ? control->HelpContext() : 0;
        if (!CommandTable::IsValidId(id) || id == ConfigDump::PcbVersionRow)
            continue;
        const TCommandRecord& row = form.Commands[id];
        const bool shown = !control->Widget()->isHidden();
        EXPECT_EQ(shown, IsVisibleOnPcb(row, 43)) << component->objectName().toStdString();
        if (row.ReadFromGCUID <= 0 || control->Tag() == 10)
            continue;
        SCOPED_TRACE(component->objectName().toStdString());
        const std::optional<double> held = gcu.ParameterById(id);
        ASSERT_TRUE(held);
        EXPECT_DOUBLE_EQ(row.ActualValueFW, *held);
        EXPECT_EQ(row.Status, QStringLiteral("A"));
        if (auto* spin = qobject_cast<const TSpinEdit*>(component)) {
            EXPECT_EQ(spin->Value(), std::clamp(RoundedDisplayValue(row), spin->MinValue(),
                                                std::max(spin->MinValue(), spin->MaxValue())));
            EXPECT_EQ(spin->Color(), clWhite);
        } else if (auto* edit = qobject_cast<const TEdit*>(component)) {
            EXPECT_EQ(edit->Text(), EditTextForValue(row));
            EXPECT_EQ(edit->Color(), clWhite);
        } else if (auto* radio = qobject_cast<const TRadioGroup*>(component)) {
            EXPECT_EQ(radio->ItemIndex(), RoundedDisplayValue(row));
            EXPECT_EQ(radio->Color(), clWhite);
        } else if (auto* check = qobject_cast<const TCheckBox*>(component)) {
            EXPECT_EQ(check->Checked(), CheckBoxSetForValue(row));
            const auto* marker = form.Find<TShape>(QStringLiteral("S") + component->objectName());
            ASSERT_TRUE(marker);
            EXPECT_TRUE(marker->isHidden()); // white: no marker
        } else {
            continue;
        }
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

// ------------------------------------------------------------------ end to end

TEST_F(LinkWithSimulator, autoConnectFindsGcu_announcementThenOfferThenDownloadIntoControls) {
    dialogs.messageAnswers.push_back(mrYes);
    ASSERT_TRUE(WaitFor([this] { return Connected(); }));
    EXPECT_TRUE(PortBox().Text().startsWith(port + QStringLiteral(" = ")));
    EXPECT_TRUE(PortBox().Text().contains(QLatin1String(DemoAdapterName)));
    EXPECT_FALSE(PortBox().isEnabled());
    EXPECT_TRUE(form->Control<TLed>(QStringLiteral("LedSerialCommunication")).Lit());
    EXPECT_EQ(ConnectButton().Caption(), form->TranslateString(13));
    EXPECT_TRUE(form->SerialConnectedGLOB);

    auto& version = form->Control<TLabel>(QStringLiteral("LFirmwareVersion"));
    const bool versionShown =
        WaitFor([&version] { return version.Caption() == QStringLiteral("5.0.9"); });
    ASSERT_TRUE(versionShown) << version.Caption().toStdString();
    QElapsedTimer sinceAnnouncement;
    sinceAnnouncement.start();
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(4) == 1; }));
    EXPECT_GE(sinceAnnouncement.elapsed(), 350); // the offer comes 500 ms after it

    ASSERT_TRUE(WaitFor([this] { return TimesAsked(17) == 1; }));
    EXPECT_EQ(form->PCBVersionGLOB, 43);
    EXPECT_EQ(form->Control<TEdit>(QStringLiteral("EPCBVersion")).Text(), QStringLiteral("4.3"));
    EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LSystemInfoReboots")).Caption(),
              QString::number(gcu->RebootCounter()));
    EXPECT_FALSE(form->SilentControlsEventsGLOB);
    EXPECT_EQ(form->SerialRequestGLOB, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form->Control<TButton>(QStringLiteral("BSaveConfig")).isEnabled());
    ExpectControlsShowGcuValues(*form, *gcu);
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 0);
}

TEST_F(LinkWithSimulator, dumpInSeveralPieces_isAppliedOnceWhenComplete) {
    GcuFaultOptions faults;
    faults.answerPieces = 4;
    faults.piecePauseMs = 150;
    gcu->SetFaults(faults);
    AutoConnect(mrYes);
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(17) == 1; }));
    QTest::qWait(300); // nothing more may come
    EXPECT_EQ(TimesAsked(17), 1);
    EXPECT_EQ(form->PCBVersionGLOB, 43);
}

TEST_F(LinkWithSimulator, disconnect_showsClosedStateAndKeepsPresentPortSelected) {
    AutoConnect(mrNo);
    const QString entry = PortBox().Text();
    ConnectButton().Click();
    ExpectClosedState();
    EXPECT_EQ(PortBox().Text(), entry); // still plugged in: kept for a manual reconnect
    ASSERT_TRUE(WaitFor([this] { return !gcu->IsPortOpen(); }));
    QTest::qWait(1500); // auto-connect stays idle while a port is chosen
    EXPECT_FALSE(Connected());
    EXPECT_EQ(TimesAsked(17), 0); // No to message 4 reads nothing
}

TEST_F(LinkWithSimulator, reconnect_announcementRecognisedAgainAndOfferRepeated) {
    AutoConnect(mrNo);
    ConnectButton().Click();
    auto& version = form->Control<TLabel>(QStringLiteral("LFirmwareVersion"));
    version.SetCaption(QStringLiteral("old"));
    dialogs.messageAnswers.push_back(mrNo);
    ConnectButton().Click(); // the port is still selected: manual reconnect
    ASSERT_TRUE(Connected());
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(4) == 2; }));
    EXPECT_EQ(version.Caption(), QStringLiteral("5.0.9"));
}

TEST_F(LinkWithSimulator, gcuHangingUp_bringsWindowToClosedStateAndBackToAutoConnect) {
    AutoConnect(mrNo);
    gcu->HangUp();
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    ExpectClosedState();
    EXPECT_EQ(PortBox().Text(), QLatin1String(PortBox::AutoConnect));
    EXPECT_TRUE(dialogs.asked.size() == 1) << "no error for a lost link";
}

TEST_F(LinkWithSimulator, disconnectDuringLive_stopsTheStreamBeforeClosing) {
    AutoConnect(mrNo);
    auto& live = form->Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    live.SetChecked(true);
    ASSERT_TRUE(WaitFor([this] { return form->LiveLinesShown() > 0; }));
    form->Control<TTabSheet>(QStringLiteral("TSCommands")).SetTabVisible(true);
    ConnectButton().Click();
    EXPECT_FALSE(live.Checked());
    ExpectClosedState();
    // The traffic log: the stop frame went out, then the port closed.
    const QString log = form->Control<TMemo>(QStringLiteral("Memo")).toPlainText();
    const qsizetype stop = log.lastIndexOf(QStringLiteral(" -  Sent: [PRINTSTS 0][CR][LF]"));
    ASSERT_GE(stop, 0);
    EXPECT_GT(log.indexOf(QStringLiteral(" -  Disconnected from "), stop), stop);
}

TEST_F(LinkWithSimulator, linkLostDuringLive_endsLiveModeWithoutErrors) {
    AutoConnect(mrNo);
    auto& live = form->Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    live.SetChecked(true);
    ASSERT_TRUE(WaitFor([this] { return form->LiveLinesShown() > 0; }));
    gcu->HangUp();
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    ExpectClosedState();
    EXPECT_FALSE(live.Checked());
    EXPECT_FALSE(live.isEnabled());
    EXPECT_EQ(form->Router().Request(), RequestId::None);
    EXPECT_EQ(form->SerialRequestGLOB, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dialogs.asked.size(), 1u); // message 4 only
}

TEST_F(LinkWithSimulator, silentGcu_downloadEndsWithNoAnswerMessageAndChangesNothing) {
    AutoConnect(mrNo);
    GcuFaultOptions silent;
    silent.neverAnswer = true;
    gcu->SetFaults(silent);
    const TCommandRecord before = form->Commands[20];
    QElapsedTimer took;
    took.start();
    form->Control<TButton>(QStringLiteral("BCommunicationGetConfig")).Click();
    EXPECT_LT(took.elapsed(), 8000);
    EXPECT_GE(took.elapsed(), 1900);
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 1);
    EXPECT_EQ(TimesAsked(17), 0);
    EXPECT_EQ(form->SerialRequestGLOB, 0);
    EXPECT_FALSE(form->SerialWaitingForResponseGLOB);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form->Commands[20].Status, before.Status);
    EXPECT_TRUE(Connected());
}

TEST_F(LinkWithSimulator, hangUpDuringDownload_endsTheWaitAtOnce) {
    AutoConnect(mrNo);
    GcuFaultOptions silent;
    silent.neverAnswer = true;
    gcu->SetFaults(silent);
    QTimer::singleShot(300, [this] { gcu->HangUp(); });
    QElapsedTimer took;
    took.start();
    form->Control<TButton>(QStringLiteral("BCommunicationGetConfig")).Click();
    EXPECT_LT(took.elapsed(), 1900); // before the time limit
    ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    ExpectClosedState();
}

TEST_F(LinkWithSimulator, getConfigWithPendingChanges_asksFirst_noKeepsThemYesClearsThenReads) {
    AutoConnect(mrNo);
    TSequenceRecord& entry = form->Sequence[1];
    entry.CommandID = 20;
    entry.Status = StatusLetter::Modified;
    entry.SenderType = form->Commands[20].SenderType;
    entry.SenderName1 = form->Commands[20].SenderName1;
    auto& getConfig = form->Control<TButton>(QStringLiteral("BCommunicationGetConfig"));
    const int framesBefore = gcu->FramesReceived();

    dialogs.messageAnswers.push_back(mrNo);
    getConfig.Click();
    EXPECT_EQ(TimesAsked(18), 1);
    EXPECT_EQ(form->Sequence[1].CommandID, 20);
    EXPECT_EQ(form->SerialRequestGLOB, 0);

    dialogs.messageAnswers.push_back(mrYes);
    getConfig.Click(); // returns once the dump is in
    EXPECT_EQ(TimesAsked(18), 2);
    EXPECT_EQ(TimesAsked(17), 1);
    EXPECT_TRUE(form->Sequence.IsEmpty());
    EXPECT_EQ(gcu->FramesReceived(), framesBefore + 1); // only "[INVPARAM 1]"
    EXPECT_TRUE(gcu->ReceivedFrames().last().contains("[INVPARAM 1]"));
}

TEST_F(LinkWithSimulator, windowClosedWhileConnected_closesThePort) {
    AutoConnect(mrNo);
    form->close();
    EXPECT_TRUE(
        gcu->WaitUntil([this] { return !gcu->IsPortOpen(); }, std::chrono::milliseconds(Patience)));
}

TEST_F(LinkWithSimulator, manualCommand_sentUnchangedWithLineEnd) {
    AutoConnect(mrNo);
    form->Control<TTabSheet>(QStringLiteral("TSCommands")).SetTabVisible(true);
    form->Control<TEdit>(QStringLiteral("EditCMD")).SetText(QStringLiteral("[TESTLEDN 100]"));
    const int framesBefore = gcu->FramesReceived();
    form->Control<TButton>(QStringLiteral("BSend")).Click();
    ASSERT_TRUE(gcu->WaitUntil([&] { return gcu->FramesReceived() > framesBefore; },
                               std::chrono::milliseconds(Patience)));
    EXPECT_TRUE(gcu->ReceivedFrames().last().contains("[TESTLEDN 100]"));
    auto& memo = form->Control<TMemo>(QStringLiteral("Memo"));
    ASSERT_GT(memo.LineCount(), 0);
    EXPECT_TRUE(memo.Line(memo.LineCount() - 1)
                    .endsWith(QStringLiteral(" -  Sent: [TESTLEDN 100][CR][LF]")));
}

TEST_F(LinkWithSimulator, portBusyForAMoment_autoConnectWaitsSilentlyThenConnects) {
    form->Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort"))
        .SetText(QStringLiteral("x"));
    TSerialPort other;
    other.SetCustomPortName(port.toLocal8Bit());
    other.SetPort(spCustom);
    ASSERT_TRUE(other.Open());
    PortBox().SetText(QLatin1String(PortBox::AutoConnect));
    QTest::qWait(2500); // two ticks find it busy
    EXPECT_FALSE(Connected());
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(PortBox().Text(), QLatin1String(PortBox::AutoConnect));
    other.Close();
    dialogs.messageAnswers.push_back(mrNo);
    ASSERT_TRUE(WaitFor([this] { return Connected(); }));
}

TEST_F(LinkWithSimulator, manualConnectToBusyPort_showsErrorWithItsFixAtOnce) {
    PortBox().SetText(port); // typed by hand: the text is the port name
    TSerialPort other;
    other.SetCustomPortName(port.toLocal8Bit());
    other.SetPort(spCustom);
    ASSERT_TRUE(other.Open());
    RunReported([this] { form->BSerialCommunicationConnectDisconnectClick(&ConnectButton()); });
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.contains(QStringLiteral("busy")));
    EXPECT_TRUE(dialogs.asked[0].text.contains(QStringLiteral("press Connect again")));
    EXPECT_FALSE(Connected());
    EXPECT_TRUE(PortBox().isEnabled());
}

// ------------------------------------------------------------------ window side, no GCU

class LinkWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(CopyShippedCommands(dataDir.path()));
        SetProgramFolder(dataDir.path());
        form.show();
        FillMessages(form);
    }
    void TearDown() override { SetProgramFolder(QString()); }
    void Receive(const QByteArray& piece) { form.SerialPortReceive(form.SerialPort, piece); }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    TFormMain form;
};

TEST_F(LinkWindow, announcement_showsVersionStartsOfferTimerAndIsLoggedOnlyWithLogShown) {
    auto& memo = form.Control<TMemo>(QStringLiteral("Memo"));
    Receive("901 - Init OK\r\n900 - Versione Firmware: 1.2.3\r\n");
    EXPECT_EQ(form.Control<TLabel>(QStringLiteral("LFirmwareVersion")).Caption(),
              QStringLiteral("1.2.3"));
    EXPECT_TRUE(form.TimerConnection->Enabled());
    EXPECT_TRUE(form.SerialInitCompletedGLOB);
    EXPECT_EQ(memo.LineCount(), 0);

    form.Control<TTabSheet>(QStringLiteral("TSCommands")).SetTabVisible(true);
    Receive("hello\r\n"); // the text goes in unchanged, its line end too
    ASSERT_GE(memo.LineCount(), 1);
    EXPECT_TRUE(memo.Line(0).contains(QStringLiteral(" -  Recieved: hello")));
}

TEST_F(LinkWindow, versionLineCutAnywhere_showsWholeVersionOnceComplete) {
    auto& version = form.Control<TLabel>(QStringLiteral("LFirmwareVersion"));
    Receive("901 - Init OK\r\n900 - Ve"); // cut inside the marker
    EXPECT_TRUE(form.TimerConnection->Enabled());
    Receive("rsione Firmware: 5.");
    Receive("0.9\r\n");
    EXPECT_EQ(version.Caption(), QStringLiteral("5.0.9"));
    Receive("900 - Versione Firmware: 6.0.0\r\n"); // only once per connection
    EXPECT_EQ(version.Caption(), QStringLiteral("5.0.9"));
}

TEST_F(LinkWindow, offerAnsweredYesWithoutLink_readsNothing) {
    dialogs.messageAnswers.push_back(mrYes);
    form.TimerConnectionTimer(form.TimerConnection);
    EXPECT_FALSE(form.TimerConnection->Enabled());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, form.TranslateString(4));
    EXPECT_EQ(form.SerialRequestGLOB, 0); // Get Config. is disabled without a link
}

TEST_F(LinkWindow, buttonWithAutoConnectShown_doesNothing) {
    auto& box = form.Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort"));
    ASSERT_EQ(box.Text(), QLatin1String(PortBox::AutoConnect));
    EXPECT_EQ(box.Items().value(0), QLatin1String(PortBox::AutoConnect));
    form.Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Click();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(form.Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Tag(),
              0);
}

TEST_F(LinkWindow, liveRequestSetThroughGlobal_isFollowedByTheRouter) {
    form.SerialRequestGLOB = RequestId::Live;
    Receive("*1&0&0");
    EXPECT_EQ(form.Router().Request(), RequestId::Live);
    form.SerialRequestGLOB = RequestId::None;
    Receive("noise\r\n");
    EXPECT_EQ(form.Router().Request(), RequestId::None);
}

} // namespace
