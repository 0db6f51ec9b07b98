// The present-port listing and friendly names over a sysfs tree built here.
#include "serial/PortListing.h"
#include "serial/SerialPort.h"
#include "support/FakeDevices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace {

// A sysfs tree in a temporary folder: devices below devices/, ttys in class/tty.
class SysfsTree {
  public:
    SysfsTree() {
        QDir(root_.path()).mkpath(QStringLiteral("class/tty"));
        QDir(root_.path()).mkpath(QStringLiteral("devices"));
    }
    QString Root() const { return root_.path(); }

    void Attributes(const QString& deviceDir, const QMap<QString, QString>& values) const {
        QDir(root_.path()).mkpath(QStringLiteral("devices/") + deviceDir);
        for (auto it = values.begin(); it != values.end(); ++it) {
            QFile f(root_.path() + QStringLiteral("/devices/") + deviceDir + QLatin1Char('/') +
                    it.key());
            if (f.open(QIODevice::WriteOnly))
                f.write(it.value().toUtf8() + '\n');
        }
    }
    // A tty whose device link points at devices/<deviceDir>; no link when empty.
    void Tty(const QString& name, const QString& deviceDir) const {
        const QString ttyDir = root_.path() + QStringLiteral("/class/tty/") + name;
        QDir().mkpath(ttyDir);
        if (deviceDir.isEmpty())
            return;
        QDir(root_.path()).mkpath(QStringLiteral("devices/") + deviceDir);
        QFile::link(QStringLiteral("../../../devices/") + deviceDir,
                    ttyDir + QStringLiteral("/device"));
    }
    void TtyAttribute(const QString& name, const char* attribute, const QString& value) const {
        QFile f(root_.path() + QStringLiteral("/class/tty/") + name + QLatin1Char('/') +
                QLatin1String(attribute));
        if (f.open(QIODevice::WriteOnly))
            f.write(value.toUtf8() + '\n');
    }
    void Use(std::function<std::optional<bool>(const QString&)> probe = nullptr) const {
        TPortListingOptions options;
        options.sysfsRoot = root_.path();
        options.legacyPortProbe = std::move(probe);
        SetPortListingOptions(options);
    }

  private:
    QTemporaryDir root_;
};

const QString kUsb = QStringLiteral("pci0000:00/0000:00:14.0/usb1/");

// A machine with adapters of every kind the listing meets.
class PortListing : public ::testing::Test {
  protected:
    void SetUp() override {
        qunsetenv("GCU_EXTRA_PORTS");
        tree_.Attributes(kUsb + "1-1", {{"idVendor", "1a86"},
                                        {"idProduct", "7523"},
                                        {"product", "USB Serial"},
                                        {"manufacturer", "QinHeng"}});
        tree_.Tty("ttyUSB0", kUsb + "1-1/1-1:1.0/ttyUSB0");
        tree_.Attributes(kUsb + "1-2", {{"idVendor", "1234"},
                                        {"idProduct", "abcd"},
                                        {"product", "GCU Adapter"},
                                        {"manufacturer", "Acme"}});
        tree_.Tty("ttyUSB1", kUsb + "1-2/1-2:1.0/ttyUSB1");
        tree_.Attributes(kUsb + "1-3",
                         {{"idVendor", "dead"}, {"idProduct", "beef"}, {"manufacturer", "Maker"}});
        tree_.Tty("ttyUSB10", kUsb + "1-3/1-3:1.0/ttyUSB10");
        tree_.Attributes(kUsb + "1-4", {{"idVendor", "2341"}, {"idProduct", "0042"}});
        tree_.Tty("ttyACM0", kUsb + "1-4/1-4:1.0");
        tree_.Tty("ttyS0", "platform/serial8250");
        tree_.Tty("ttyS1", "platform/serial8250");
        tree_.Tty("ttyS2", "pnp0/00:04");
        tree_.TtyAttribute("ttyS2", "type", "4");
        tree_.Tty("ttyS3", "platform/serial8250");
        tree_.TtyAttribute("ttyS3", "type", "0");
        tree_.Tty("tty0", QString());
        tree_.Tty("ptmx", "virtual/tty/ptmx");
        tree_.Use([](const QString& path) -> std::optional<bool> {
            if (path.endsWith(QLatin1String("ttyS1")))
                return true;
            if (path.endsWith(QLatin1String("ttyS0")))
                return false;
            return std::nullopt; // ttyS2, ttyS3: the device cannot be asked
        });
    }
    void TearDown() override {
        qunsetenv("GCU_EXTRA_PORTS");
        SetPortListingOptions(TPortListingOptions());
    }

    SysfsTree tree_;
};

TEST_F(PortListing, friendlyNames_oneLinePerRealPortInNaturalOrder) {
    EXPECT_EQ(GetSerialPortFriendlyNames(), QStringLiteral("/dev/ttyACM0 = Arduino Mega 2560\r\n"
                                                           "/dev/ttyS1 = \r\n"
                                                           "/dev/ttyS2 = \r\n"
                                                           "/dev/ttyUSB0 = USB-SERIAL CH340\r\n"
                                                           "/dev/ttyUSB1 = GCU Adapter\r\n"
                                                           "/dev/ttyUSB10 = Maker\r\n"));
}

TEST_F(PortListing, extraPorts_followTheSysfsPortsWhenTheirDeviceExists) {
    QTemporaryFile simulator;
    QTemporaryFile plain;
    ASSERT_TRUE(simulator.open() && plain.open());
    qputenv("GCU_EXTRA_PORTS",
            (simulator.fileName() + "= GCU Simulator ;/nonexistent/pts/9=Ghost;" + plain.fileName())
                .toLocal8Bit());
    EXPECT_TRUE(GetSerialPortFriendlyNames().endsWith(
        QStringLiteral("/dev/ttyUSB10 = Maker\r\n") + simulator.fileName() +
        QStringLiteral(" = GCU Simulator\r\n") + plain.fileName() + QStringLiteral(" = \r\n")));
    EXPECT_TRUE(TSerialPort::IsExistingCommPort(simulator.fileName().toLocal8Bit()));
    EXPECT_FALSE(TSerialPort::IsExistingCommPort("/nonexistent/pts/9"));
    EXPECT_EQ(TSerialPort::GetCommPortType(simulator.fileName().toLocal8Bit()), stVirtual);
}

TEST_F(PortListing, noTtyAtAll_givesAnEmptyText) {
    SysfsTree empty;
    empty.Use();
    EXPECT_EQ(GetSerialPortFriendlyNames(), QString());
    TPortListingOptions missing;
    missing.sysfsRoot = tree_.Root() + QStringLiteral("/no-such-folder");
    SetPortListingOptions(missing);
    EXPECT_EQ(GetSerialPortFriendlyNames(), QString());
    EXPECT_TRUE(TSerialPort::GetExistingCommPorts().none());
}

TEST_F(PortListing, presentPortList_isUpperCaseAndMatchedIgnoringCase) {
    QStringList names;
    TSerialPort::GetExistingCommPortNames(names);
    EXPECT_EQ(names, (QStringList{"/DEV/TTYACM0", "/DEV/TTYS1", "/DEV/TTYS2", "/DEV/TTYUSB0",
                                  "/DEV/TTYUSB1", "/DEV/TTYUSB10"}));
    EXPECT_TRUE(TSerialPort::IsExistingCommPort("/dev/ttyUSB0"));
    EXPECT_TRUE(TSerialPort::IsExistingCommPort("/DEV/TTYUSB0"));
    EXPECT_FALSE(TSerialPort::IsExistingCommPort("/dev/ttyS0")) << "no port behind it";
    EXPECT_FALSE(TSerialPort::IsExistingCommPort("/dev/ttyS3"));
    EXPECT_FALSE(TSerialPort::IsExistingCommPort("/dev/tty0"));
    EXPECT_FALSE(TSerialPort::IsExistingCommPort("/dev/ptmx"));
    EXPECT_FALSE(TSerialPort::IsExistingCommPort(" /dev/ttyUSB0")) << "the name is not trimmed";
    const TCommPortSet ports = TSerialPort::GetExistingCommPorts();
    EXPECT_EQ(ports.count(), 1u);
    EXPECT_TRUE(ports.test(spCustom));
}

TEST_F(PortListing, devicePathsAndTypes_comeFromTheSysfsDevice) {
    EXPECT_EQ(TSerialPort::GetCommPortPath("/dev/ttyUSB0"),
              QByteArray("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0"));
    EXPECT_EQ(TSerialPort::GetCommPortType("/dev/ttyUSB0"), stUsb);
    EXPECT_EQ(TSerialPort::GetCommPortType(" /dev/ttyACM0 "), stUsb);
    EXPECT_EQ(TSerialPort::GetCommPortType("/dev/ttyS1"), stSerial);
    EXPECT_EQ(TSerialPort::GetCommPortType("/dev/ttyS2"), stUnknown);
    EXPECT_EQ(TSerialPort::GetCommPortPath("/dev/ttyUSB7"), QByteArray());
    EXPECT_EQ(TSerialPort::GetCommPortType("/dev/ttyUSB7"), stUnknown);
    TSerialPort port;
    port.SetCustomPortName("/dev/ttyUSB1");
    EXPECT_EQ(port.GetCommPortType(spCustom), stUsb);
}

TEST(UsbFriendlyNames, knownAdaptersGetTheirDriverNamesOthersTheirStrings) {
    EXPECT_EQ(UsbFriendlyName("067b", "2303", "X", "Y"),
              QStringLiteral("Prolific USB-to-Serial Comm Port"));
    EXPECT_EQ(UsbFriendlyName("0403", "6001", "FT232R USB UART", "FTDI"),
              QStringLiteral("USB Serial Port"));
    EXPECT_EQ(UsbFriendlyName("0403", "6015", "", ""), QStringLiteral("USB Serial Port"));
    EXPECT_EQ(UsbFriendlyName("2341", "0010", "", ""), QStringLiteral("Arduino Mega 2560"));
    EXPECT_EQ(UsbFriendlyName("2A03", "0042", "", ""), QStringLiteral("Arduino Mega 2560"));
    EXPECT_EQ(UsbFriendlyName("1A86", "7523", "", ""), QStringLiteral("USB-SERIAL CH340"));
    EXPECT_EQ(UsbFriendlyName("10c4", "ea60", "CP2102", "Silicon Labs"), QStringLiteral("CP2102"));
    EXPECT_EQ(UsbFriendlyName("10c4", "ea60", "", "Silicon Labs"), QStringLiteral("Silicon Labs"));
    EXPECT_EQ(UsbFriendlyName("10c4", "ea60", "", ""), QString());
}

} // namespace

// ------------------------------------------------------------------ adapter identity

namespace {

qvtest::FakeAdapter Ftdi(const char* socket, const char* serial) {
    qvtest::FakeAdapter adapter;
    adapter.usbPort = QLatin1String(socket);
    adapter.serial = QLatin1String(serial);
    return adapter;
}

qvtest::FakeAdapter Ch340(const char* socket) {
    qvtest::FakeAdapter adapter;
    adapter.usbPort = QLatin1String(socket);
    adapter.vendor = QStringLiteral("1a86");
    adapter.product = QStringLiteral("7523");
    adapter.productName = QStringLiteral("USB Serial");
    adapter.manufacturer = QStringLiteral("1a86");
    return adapter;
}

} // namespace

TEST(AdapterIdentity, readsSerialNumberByIdNameAndSocket_pathOnlyWithoutUsbDevice) {
    qunsetenv("GCU_EXTRA_PORTS");
    qvtest::FakeDevices devices;
    devices.Plug(Ftdi("1-1.2", "A50285BI"), "ttyUSB0");
    devices.Plug(Ch340("1-3"), "ttyUSB1");
    const TAdapterIdentity ftdi = AdapterIdentityOf(devices.PortPath("ttyUSB0"));
    EXPECT_EQ(ftdi.path, devices.PortPath("ttyUSB0"));
    EXPECT_EQ(ftdi.usbSerial, "A50285BI");
    EXPECT_EQ(ftdi.byIdName, "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(ftdi.usbPort, "1-1.2");
    EXPECT_EQ(ftdi.vendorProduct, "0403:6001");
    const TAdapterIdentity ch340 = AdapterIdentityOf(devices.PortPath("ttyUSB1"));
    EXPECT_TRUE(ch340.usbSerial.isEmpty());
    EXPECT_EQ(ch340.byIdName, "usb-1a86_USB_Serial-if00-port0");
    const TAdapterIdentity virtualPort = AdapterIdentityOf("/dev/pts/7");
    EXPECT_EQ(virtualPort.path, "/dev/pts/7");
    EXPECT_TRUE(virtualPort.usbSerial.isEmpty() && virtualPort.byIdName.isEmpty() &&
                virtualPort.usbPort.isEmpty());
}

TEST(AdapterIdentity, sameAdapter_bySerialNumber_orWithoutOneByIdNameInTheSameSocket) {
    TAdapterIdentity a{"/dev/ttyUSB0", "A50285BI", "usb-FTDI_x_A50285BI-if00-port0", "1-1",
                       "0403:6001"};
    TAdapterIdentity movedAndRenamed = a;
    movedAndRenamed.path = "/dev/ttyUSB3";
    movedAndRenamed.usbPort = "1-4";
    EXPECT_TRUE(SameAdapter(a, movedAndRenamed)); // the serial number follows the adapter
    TAdapterIdentity otherSerial = a;
    otherSerial.usbSerial = "FT9Z0QX1";
    EXPECT_FALSE(SameAdapter(a, otherSerial));

    TAdapterIdentity ch340{"/dev/ttyUSB0", "", "usb-1a86_USB_Serial-if00-port0", "1-1",
                           "1a86:7523"};
    TAdapterIdentity sameSocket = ch340;
    sameSocket.path = "/dev/ttyUSB1";
    EXPECT_TRUE(SameAdapter(ch340, sameSocket));
    TAdapterIdentity otherSocket = ch340;
    otherSocket.usbPort = "1-2";
    EXPECT_FALSE(SameAdapter(ch340, otherSocket)); // every CH340 has that by-id name
    TAdapterIdentity pathOnly{"/dev/pts/3", "", "", "", ""};
    EXPECT_FALSE(SameAdapter(pathOnly, pathOnly));
}

TEST(AdaptersWithoutPort, knownChipWithoutTty_isListed_withTtyOrUnknownChipIsNot) {
    qvtest::FakeDevices devices;
    devices.Plug(Ftdi("1-1", "A1"), "ttyUSB0"); // known, with its port
    devices.PlugUsbDevice(Ch340("1-2"));        // known, taken by another driver
    qvtest::FakeAdapter unknown = Ftdi("1-3", "B2");
    unknown.vendor = "dead";
    devices.PlugUsbDevice(unknown); // not a serial adapter we know
    const std::vector<TUsbAdapter> orphans = ListKnownAdaptersWithoutPort();
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0].name, "USB-SERIAL CH340");
    EXPECT_EQ(orphans[0].vendorProduct, "1a86:7523");
    EXPECT_TRUE(orphans[0].sysfsPath.endsWith("/1-2"));
}

// The udev rule is made from the same list the names come from.
TEST(KnownAdapters, udevRuleGivesEveryKnownAdapterToTheUserAndKeepsModemManagerAway) {
    QFile rule(QStringLiteral(QV_BINARY_DIR "/packaging/70-quarventa-serial.rules"));
    ASSERT_TRUE(rule.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(rule.readAll());
    const QStringList ids = KnownAdapterIds();
    ASSERT_GE(ids.size(), 7);
    for (const QString& id : ids) {
        const QString match = QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\"")
                                  .arg(id.section(':', 0, 0), id.section(':', 1, 1));
        EXPECT_TRUE(text.contains(match + QStringLiteral(", TAG+=\"uaccess\"")))
            << id.toStdString();
        EXPECT_TRUE(text.contains(match + QStringLiteral(", ENV{ID_MM_DEVICE_IGNORE}=\"1\"")))
            << id.toStdString();
        EXPECT_FALSE(UsbFriendlyName(id.section(':', 0, 0), id.section(':', 1, 1), "p", "m") ==
                     "p");
    }
    EXPECT_EQ(text.count(QStringLiteral("TAG+=\"uaccess\"")), ids.size());
}
