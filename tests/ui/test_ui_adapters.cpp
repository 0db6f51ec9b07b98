// Adapters that come and go, with the simulated GCU behind a USB adapter of a
// sysfs tree and device folder built by the test (FakeDevices) and a device
// monitor driven by hand: the port list follows the events at once, a link
// lost because its adapter vanished shows the closed state, the same adapter
// coming back is reconnected and announced, another one is not; known chips
// that another driver took are named with what to do.
#include "serial/PortMonitor.h"
#include "support/FakeDevices.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using qvtest::FakeAdapter;
using qvtest::WaitFor;

FakeAdapter Ftdi() {
    FakeAdapter ftdi;
    ftdi.serial = QStringLiteral("A50285BI");
    return ftdi;
}

FakeAdapter Ch340(const char* socket) {
    FakeAdapter ch340;
    ch340.usbPort = QLatin1String(socket);
    ch340.vendor = QStringLiteral("1a86");
    ch340.product = QStringLiteral("7523");
    ch340.productName = QStringLiteral("USB Serial");
    ch340.manufacturer = QStringLiteral("1a86");
    return ch340; // no serial number, as most of them
}

class AdaptersComeAndGo : public qvtest::WindowWithGcu {
  protected:
    void SetUp() override {
        ASSERT_TRUE(devices.IsValid());
        SetPortMonitorFactory([this] {
            auto created = std::make_unique<ManualPortMonitor>();
            monitor = created.get();
            return std::unique_ptr<PortMonitor>(std::move(created));
        });
        WindowWithGcu::SetUp();
    }
    void TearDown() override {
        WindowWithGcu::TearDown();
        SetPortMonitorFactory(nullptr);
    }
    // The simulated GCU's port is the adapter's device node /dev/ttyUSB0.
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.linkPath = devices.PortPath(QStringLiteral("ttyUSB0"));
    }
    bool OfferedAsExtraPort() const override { return false; }

    // The adapter with the GCU behind it is plugged in and auto-connect finds it.
    void PlugAndConnect(const FakeAdapter& adapter) {
        devices.Plug(adapter, QStringLiteral("ttyUSB0"));
        monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
        AutoConnect(mrNo);
    }
    // The adapter is pulled out: its port, device node and by-id name go, and
    // the line hangs up.
    void Unplug(const FakeAdapter& adapter) {
        devices.Unplug(adapter, QStringLiteral("ttyUSB0"));
        gcu->HangUp();
        monitor->Report(QStringLiteral("remove"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
        ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    }
    // The GCU is reachable again on a new pseudo-terminal.
    void ReplugGcu() {
        gcu->Replug();
        ASSERT_TRUE(
            gcu->WaitUntil([this] { return !gcu->IsHungUp() && !gcu->PortPath().isEmpty(); },
                           std::chrono::milliseconds(qvtest::Patience)));
    }
    // The same adapter is back with the GCU behind it.
    void PlugBack(const FakeAdapter& adapter) {
        ReplugGcu();
        devices.Plug(adapter, QStringLiteral("ttyUSB0"));
        monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
    }
    QString Status() const {
        return form->Control<TLabel>(QStringLiteral("LSerialCommunicationStatus")).Caption();
    }
    bool LedLit() const {
        return form->Control<TLed>(QStringLiteral("LedSerialCommunication")).Lit();
    }
    bool Listed(const QString& tty) const {
        return PortBox().Items().join(u'\n').contains(devices.PortPath(tty) +
                                                      QStringLiteral(" = "));
    }

    qvtest::FakeDevices devices;
    ManualPortMonitor* monitor = nullptr;
};

} // namespace

TEST_F(AdaptersComeAndGo, unplugWhileIdle_showsClosedLink_sameAdapterBack_reconnectsAndSaysSo) {
    PlugAndConnect(Ftdi());
    const TAdapterIdentity linked = form->LinkAdapter();
    EXPECT_EQ(linked.path, devices.PortPath(QStringLiteral("ttyUSB0")));
    EXPECT_EQ(linked.usbSerial, QStringLiteral("A50285BI"));
    EXPECT_EQ(linked.byIdName, qvtest::FakeDevices::ByIdName(Ftdi()));
    EXPECT_EQ(linked.usbPort, QStringLiteral("1-1"));

    Unplug(Ftdi());
    EXPECT_FALSE(LedLit());
    EXPECT_EQ(Status(), form->TranslateString(Msg::StatusNotConnected));
    EXPECT_FALSE(form->SerialConnectedGLOB);
    EXPECT_TRUE(form->LinkAdapter().path.isEmpty());
    EXPECT_FALSE(Listed(QStringLiteral("ttyUSB0")));
    // Waiting for it: auto-connect may not take another adapter meanwhile.
    EXPECT_NE(PortBox().Text(), QLatin1String(PortBox::AutoConnect));

    dialogs.messageAnswers.push_back(mrNo); // the GCU announces itself again
    PlugBack(Ftdi());
    ASSERT_TRUE(WaitFor([this] { return Connected(); }));
    EXPECT_TRUE(LedLit());
    EXPECT_EQ(Status(), form->TranslateString(Msg::StatusReconnected));
    EXPECT_EQ(form->LinkAdapter().usbSerial, QStringLiteral("A50285BI"));
    EXPECT_TRUE(WaitFor([this] { return TimesAsked(Msg::OfferToReadConfig) == 2; }));
}

// One FTDI cable moved from one bike to another: the same adapter comes back
// with another unit behind it, which the window opens and reads as it is.
TEST_F(AdaptersComeAndGo, sameAdapterWithAnotherUnitBehindIt_isReopenedAndReadAsThatUnit) {
    PlugAndConnect(Ftdi());
    Unplug(Ftdi());
    GcuSimulator& other = StartAnotherUnit([](GcuSimulatorOptions& options) {
        options.pcbVersion = QStringLiteral("4.2");
        options.firmwareVersion = QStringLiteral("5.1.0");
        options.rebootCounter = 7;
        options.storedValues = {QStringLiteral("MINVBATT=11.5")};
    });
    dialogs.messageAnswers.push_back(mrYes); // read the configuration of the one back
    devices.Plug(Ftdi(), QStringLiteral("ttyUSB0"));
    monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
    ASSERT_TRUE(WaitFor([this] { return Connected(); }));
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(Msg::ConfigRead) == 1; }));
    EXPECT_TRUE(other.IsPortOpen());
    EXPECT_FALSE(gcu->IsPortOpen());
    EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LFirmwareVersion")).Caption(), "5.1.0");
    EXPECT_EQ(form->Control<TEdit>(QStringLiteral("EPCBVersion")).Text(), "4.2");
    EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LSystemInfoReboots")).Caption(), "8");
    EXPECT_DOUBLE_EQ(form->Commands[1].ActualValueFW, 11.5);
}

TEST_F(AdaptersComeAndGo, anotherAdapterWhileWaiting_isListedButNotConnected) {
    PlugAndConnect(Ftdi());
    Unplug(Ftdi());
    ReplugGcu(); // the GCU is reachable again, but through another adapter
    FakeAdapter other = Ftdi();
    other.serial = QStringLiteral("FT9Z0QX1");
    other.usbPort = QStringLiteral("1-2");
    devices.Plug(other, QStringLiteral("ttyUSB1"), gcu->PortPath());
    monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB1"));
    EXPECT_TRUE(Listed(QStringLiteral("ttyUSB1")));
    QTest::qWait(1500); // an auto-connect tick too
    EXPECT_FALSE(Connected());
    EXPECT_FALSE(gcu->IsPortOpen());
}

TEST_F(AdaptersComeAndGo, adapterWithoutSerialNumber_isKnownAgainOnlyInTheSameSocket) {
    PlugAndConnect(Ch340("1-1"));
    EXPECT_TRUE(form->LinkAdapter().usbSerial.isEmpty());
    Unplug(Ch340("1-1"));

    // Every CH340 has the same by-id name: one in another socket is another.
    ReplugGcu();
    devices.Plug(Ch340("1-3"), QStringLiteral("ttyUSB1"), gcu->PortPath());
    monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB1"));
    QTest::qWait(300);
    EXPECT_FALSE(Connected());

    devices.Unplug(Ch340("1-3"), QStringLiteral("ttyUSB1"));
    monitor->Report(QStringLiteral("remove"), QStringLiteral("tty"), QStringLiteral("ttyUSB1"));
    dialogs.messageAnswers.push_back(mrNo);
    devices.Plug(Ch340("1-1"), QStringLiteral("ttyUSB0"));
    monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
    ASSERT_TRUE(WaitFor([this] { return Connected(); }));
    EXPECT_EQ(Status(), form->TranslateString(Msg::StatusReconnected));
}

TEST_F(AdaptersComeAndGo, adapterNotBackInTime_boxReturnsToAutoConnect) {
    form->ReconnectWindow = std::chrono::milliseconds(400);
    PlugAndConnect(Ftdi());
    Unplug(Ftdi());
    EXPECT_NE(PortBox().Text(), QLatin1String(PortBox::AutoConnect));
    EXPECT_TRUE(
        WaitFor([this] { return PortBox().Text() == QLatin1String(PortBox::AutoConnect); }, 5000));
    EXPECT_FALSE(Connected());
}

TEST_F(AdaptersComeAndGo, portListFollowsPlugAndUnplugAtOnce_notOnlyOnTicks) {
    PortBox().SetText(QStringLiteral("chosen by hand")); // auto-connect idle: no refresh by ticks
    devices.Plug(Ftdi(), QStringLiteral("ttyUSB0"));
    EXPECT_FALSE(Listed(QStringLiteral("ttyUSB0")));
    monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(Listed(QStringLiteral("ttyUSB0")));
    devices.Unplug(Ftdi(), QStringLiteral("ttyUSB0"));
    monitor->Report(QStringLiteral("remove"), QStringLiteral("tty"), QStringLiteral("ttyUSB0"));
    EXPECT_FALSE(Listed(QStringLiteral("ttyUSB0")));
    EXPECT_FALSE(Connected());
}

TEST_F(AdaptersComeAndGo,
       knownChipWithoutPort_isNamedOncePerPlug_andOnEveryConnectThatFindsNoPort) {
    form->AdapterBindTime = 0;
    PortBox().SetText(QStringLiteral("chosen by hand"));
    devices.PlugUsbDevice(Ch340("1-4")); // a braille daemon took it: no port
    monitor->Report(QStringLiteral("add"), QStringLiteral("usb"), QStringLiteral("1-4"));
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(Msg::AdapterWithoutPort) == 1; }));
    EXPECT_TRUE(dialogs.asked.back().text.endsWith(QStringLiteral("USB-SERIAL CH340 (1a86:7523)")));
    EXPECT_EQ(dialogs.asked.back().type, TMsgDlgType::mtWarning);

    monitor->Report(QStringLiteral("add"), QStringLiteral("usb"), QStringLiteral("1-5"));
    QTest::qWait(100);
    EXPECT_EQ(TimesAsked(Msg::AdapterWithoutPort), 1);

    // A port that is not there: Connect says why none may be there.
    PortBox().SetText(devices.PortPath(QStringLiteral("ttyUSB7")));
    ConnectButton().Click();
    EXPECT_EQ(TimesAsked(Msg::AdapterWithoutPort), 2);

    // Pulled out and plugged in again without a port: named again.
    devices.Unplug(Ch340("1-4"), QStringLiteral("none"));
    monitor->Report(QStringLiteral("remove"), QStringLiteral("usb"), QStringLiteral("1-4"));
    devices.PlugUsbDevice(Ch340("1-4"));
    monitor->Report(QStringLiteral("add"), QStringLiteral("usb"), QStringLiteral("1-4"));
    EXPECT_TRUE(WaitFor([this] { return TimesAsked(Msg::AdapterWithoutPort) == 3; }));

    // Once its driver gives it a port, it is no longer named.
    devices.Unplug(Ch340("1-4"), QStringLiteral("none"));
    monitor->Report(QStringLiteral("remove"), QStringLiteral("usb"), QStringLiteral("1-4"));
    devices.Plug(Ch340("1-4"), QStringLiteral("ttyUSB3"));
    monitor->Report(QStringLiteral("add"), QStringLiteral("usb"), QStringLiteral("1-4"));
    QTest::qWait(100);
    EXPECT_EQ(TimesAsked(Msg::AdapterWithoutPort), 3);
}

TEST_F(AdaptersComeAndGo, portBoxListIsAsWideAsItsLongestEntry_withTheWholeTextAsToolTip) {
    FakeAdapter longName = Ftdi();
    longName.vendor = QStringLiteral("abcd");
    longName.productName =
        QStringLiteral("Very Long Product Name Of A USB Serial Bridge With Many Words");
    devices.Plug(longName, QStringLiteral("ttyUSB12"));
    monitor->Report(QStringLiteral("add"), QStringLiteral("tty"), QStringLiteral("ttyUSB12"));
    auto& box = PortBox();
    const int index = box.findText(devices.PortPath(QStringLiteral("ttyUSB12")) +
                                   QStringLiteral(" = ") + longName.productName);
    ASSERT_GT(index, 0);
    EXPECT_EQ(box.itemData(index, Qt::ToolTipRole).toString(), box.itemText(index));
    EXPECT_GE(box.view()->minimumWidth(),
              box.view()->fontMetrics().horizontalAdvance(box.itemText(index)));
    EXPECT_GT(box.view()->minimumWidth(), box.width());
    box.SetItemIndex(index);
    EXPECT_EQ(box.toolTip(), box.itemText(index));
    EXPECT_EQ(box.lineEdit()->cursorPosition(), 0); // the path shows, not the tail
}
