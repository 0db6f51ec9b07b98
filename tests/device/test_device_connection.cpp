// Port-box entries, the adapters auto-connect looks for, and its search with
// ports that are busy for a moment.
#include "device/ConnectionRules.h"
#include "translation/MessageNumbers.h"

#include <cerrno>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using namespace std::chrono_literals;

TEST(PortBox, entryNameRule_roundTripsAndToleratesTypedText) {
    EXPECT_EQ(PortBox::PortNameFromEntry("COM3 = USB Serial Port"), "COM3");
    const QString entry = PortBox::MakeEntry("/dev/ttyUSB0", "USB-SERIAL CH340");
    EXPECT_EQ(entry, "/dev/ttyUSB0 = USB-SERIAL CH340");
    EXPECT_EQ(PortBox::PortNameFromEntry(entry), "/dev/ttyUSB0");
    // A friendly name holding "=" does not shift the port name.
    EXPECT_EQ(PortBox::PortNameFromEntry("/dev/pts/4 = sim a=b"), "/dev/pts/4");
    EXPECT_EQ(PortBox::PortNameFromEntry("/dev/pts/4 = "), "/dev/pts/4");
    // Typed by hand without "=".
    EXPECT_EQ(PortBox::PortNameFromEntry(" /dev/ttyACM1 "), "/dev/ttyACM1");
}

TEST(PortBox, afterDisconnect_presentPortStaysVanishedOneReturnsToAuto) {
    const QStringList items =
        PortBox::ItemsFromPortList({"/dev/ttyUSB0 = USB Serial Port", "/dev/ttyS0 = "});
    EXPECT_EQ(items.first(), "AUTO CONNECT");
    EXPECT_TRUE(PortBox::KeepSelectionAfterRefresh("/dev/ttyUSB0 = USB Serial Port", items));
    EXPECT_FALSE(PortBox::KeepSelectionAfterRefresh("/dev/ttyUSB1 = USB Serial Port", items));
}

TEST(AutoConnectRules, patternsAndIdleRules) {
    EXPECT_EQ(AutoConnect::AdapterPatterns().size(), 5);
    for (const char* name :
         {"Arduino Mega 2560", "USB-SERIAL CH340", "Prolific USB-to-Serial Comm Port",
          "Dispositivo seriale USB", "USB Serial Port"})
        EXPECT_TRUE(AutoConnect::IsGcuAdapter(QStringLiteral("/dev/x = ") + name)) << name;
    EXPECT_FALSE(AutoConnect::IsGcuAdapter("/dev/ttyS0 = usb serial port")); // case as written
    EXPECT_TRUE(AutoConnect::ShouldAct("Connect", "AUTO CONNECT"));
    EXPECT_FALSE(AutoConnect::ShouldAct("Disconnect", "AUTO CONNECT"));
    EXPECT_FALSE(AutoConnect::ShouldAct("Connetti", "AUTO CONNECT"));
    EXPECT_FALSE(AutoConnect::ShouldAct("Connect", "/dev/ttyUSB0 = USB Serial Port"));
}

TEST(AutoConnectRules, candidatesInListOrderSkippingAutoItem) {
    const QStringList items{"AUTO CONNECT USB Serial Port",
                            "/dev/ttyS0 = ", "/dev/ttyUSB1 = USB Serial Port",
                            "/dev/ttyACM0 = Arduino Mega 2560"};
    EXPECT_EQ(AutoConnect::Candidates(items), (QList<int>{2, 3}));
}

class AutoConnectorTest : public ::testing::Test {
  protected:
    std::chrono::milliseconds now{0};
    AutoConnector connector{[this] { return now; }};
    QStringList items{"AUTO CONNECT", "/dev/ttyACM0 = Arduino Mega 2560",
                      "/dev/ttyS0 = ", "/dev/ttyUSB0 = USB Serial Port"};
    std::map<int, OpenAttempt> outcome; // by item index; missing = Refused
    QList<int> tried;

    AutoConnectTick Tick() {
        return connector.Tick(items, [this](int index, QString& error) {
            tried.append(index);
            const OpenAttempt attempt =
                outcome.count(index) ? outcome[index] : OpenAttempt::Refused;
            if (attempt == OpenAttempt::Busy)
                error = QStringLiteral("Cannot connect to %1. busy").arg(index);
            return attempt;
        });
    }
};

TEST_F(AutoConnectorTest, opensFirstMatchingThatOpens_andTouchesNoOther) {
    outcome[1] = OpenAttempt::Opened;
    outcome[3] = OpenAttempt::Opened;
    const AutoConnectTick tick = Tick();
    EXPECT_TRUE(tick.connected);
    EXPECT_EQ(tick.selectIndex, 1);
    EXPECT_EQ(tried, QList<int>{1});
}

TEST_F(AutoConnectorTest, refusedPortsLeaveLastTriedSelected) {
    const AutoConnectTick tick = Tick();
    EXPECT_FALSE(tick.connected);
    EXPECT_EQ(tried, (QList<int>{1, 3}));
    EXPECT_EQ(tick.selectIndex, 3);
    EXPECT_FALSE(tick.error.has_value());
}

TEST_F(AutoConnectorTest, noMatchingEntry_triesNothing) {
    items = QStringList{"AUTO CONNECT", "/dev/ttyS0 = "};
    const AutoConnectTick tick = Tick();
    EXPECT_TRUE(tried.isEmpty());
    EXPECT_EQ(tick.selectIndex, -1);
}

TEST_F(AutoConnectorTest, busyPortPassedOverSilently_nextOneStillTried) {
    outcome[1] = OpenAttempt::Busy;
    outcome[3] = OpenAttempt::Opened;
    const AutoConnectTick tick = Tick();
    EXPECT_TRUE(tick.connected);
    EXPECT_EQ(tried, (QList<int>{1, 3}));
    EXPECT_FALSE(tick.error.has_value());
}

TEST_F(AutoConnectorTest, busyForAMoment_retriedNextTickWithoutError) {
    outcome[1] = OpenAttempt::Busy;
    AutoConnectTick tick = Tick();
    EXPECT_FALSE(tick.error.has_value());
    EXPECT_EQ(tick.selectIndex, 0); // back to auto-connect for the next tick
    EXPECT_TRUE(connector.IsTrackedBusy("/dev/ttyACM0"));
    now += 1000ms;
    outcome[1] = OpenAttempt::Opened;
    tick = Tick();
    EXPECT_TRUE(tick.connected);
    EXPECT_FALSE(connector.IsTrackedBusy("/dev/ttyACM0"));
}

TEST_F(AutoConnectorTest, stillBusyAfterGrace_reportsOpenErrorOnce) {
    outcome[1] = OpenAttempt::Busy;
    for (int second = 0; second < 10; ++second, now += 1000ms) {
        const AutoConnectTick tick = Tick();
        ASSERT_FALSE(tick.error.has_value()) << "at " << second << " s";
        ASSERT_EQ(tick.selectIndex, 0);
    }
    const AutoConnectTick tick = Tick(); // 10 s after the first busy answer
    ASSERT_TRUE(tick.error.has_value());
    EXPECT_EQ(*tick.error, "Cannot connect to 1. busy");
    EXPECT_EQ(tick.selectIndex, 1); // the entry stays selected: auto-connect rests
    EXPECT_FALSE(connector.IsTrackedBusy("/dev/ttyACM0"));
}

TEST_F(AutoConnectorTest, busySpellInterrupted_startsGraceAgain) {
    outcome[1] = OpenAttempt::Busy;
    Tick();
    now += 8000ms;
    outcome[1] = OpenAttempt::Refused; // unplugged for a moment
    Tick();
    EXPECT_FALSE(connector.IsTrackedBusy("/dev/ttyACM0"));
    now += 1000ms;
    outcome[1] = OpenAttempt::Busy;
    Tick();
    now += 9000ms;
    EXPECT_FALSE(Tick().error.has_value());
    now += 1000ms;
    EXPECT_TRUE(Tick().error.has_value());
}

TEST(OpenAdvice, permissionDenied_namesOnlyASerialGroup_elseTheUdevRule) {
    const QString rule = QStringLiteral("/usr/lib/udev/rules.d/70-quarventa-serial.rules");
    for (const char* group : {"dialout", "uucp", "tty"}) {
        const OpenAdvice::Advice advice = OpenAdvice::ForOpenError(EACCES, group, rule);
        EXPECT_EQ(advice.message, Msg::PermissionJoinGroup) << group;
        EXPECT_EQ(advice.appended, QStringLiteral("sudo usermod -aG %1 $USER").arg(group));
    }
    // Joining root (or a group nobody knows) is never advised.
    for (const char* group : {"root", "plugdev", ""}) {
        const OpenAdvice::Advice advice = OpenAdvice::ForOpenError(EPERM, group, rule);
        EXPECT_EQ(advice.message, Msg::PermissionUdevRule) << group;
        EXPECT_EQ(advice.appended, rule);
    }
}

TEST(OpenAdvice, busyPointsAtTheModemServiceAndTheRule_otherErrorsAddNothing) {
    EXPECT_EQ(OpenAdvice::ForOpenError(EBUSY, "dialout", "r").message, Msg::PortBusyAdvice);
    EXPECT_TRUE(OpenAdvice::ForOpenError(EBUSY, "dialout", "r").appended.isEmpty());
    EXPECT_EQ(OpenAdvice::ForOpenError(ENOENT, "dialout", "r").message, 0);
    EXPECT_EQ(OpenAdvice::ForOpenError(0, "root", "r").message, 0);
}
