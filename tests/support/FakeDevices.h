#pragma once
// A machine's USB serial adapters as the program sees them, built in temporary
// folders: a sysfs tree (devices/, class/tty/, bus/usb/devices/) and a device
// folder (/dev) with the ports and /dev/serial/by-id names that udev would make.
// The port listing is pointed at them for the object's life. A port's device
// node may be a link to a real tty (the simulated GCU's pseudo-terminal).
#include "serial/PortListing.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace qvtest {

struct FakeAdapter {
    QString usbPort = QStringLiteral("1-1"); // socket: the USB device's sysfs name
    QString vendor = QStringLiteral("0403");
    QString product = QStringLiteral("6001");
    QString serial; // empty: the adapter has none (most CH340)
    QString productName = QStringLiteral("FT232R USB UART");
    QString manufacturer = QStringLiteral("FTDI");
};

class FakeDevices {
  public:
    FakeDevices() {
        for (const char* dir :
             {"sys/class/tty", "sys/devices", "sys/bus/usb/devices", "dev/serial/by-id"})
            QDir(root_.path()).mkpath(QLatin1String(dir));
        TPortListingOptions options;
        options.sysfsRoot = SysfsRoot();
        options.devDir = DevDir();
        options.legacyPortProbe = [](const QString&) { return std::optional<bool>(false); };
        SetPortListingOptions(options);
    }
    ~FakeDevices() { SetPortListingOptions(TPortListingOptions()); }
    FakeDevices(const FakeDevices&) = delete;
    FakeDevices& operator=(const FakeDevices&) = delete;

    bool IsValid() const { return root_.isValid(); }
    QString SysfsRoot() const { return root_.filePath(QStringLiteral("sys")); }
    QString DevDir() const { return root_.filePath(QStringLiteral("dev")); }
    QString PortPath(const QString& tty) const { return DevDir() + u'/' + tty; }

    // The adapter's USB device appears (no port yet: its driver has not bound).
    void PlugUsbDevice(const FakeAdapter& adapter) const {
        const QString device = UsbDevice(adapter.usbPort);
        QDir().mkpath(SysfsRoot() + device);
        Attribute(device, "idVendor", adapter.vendor);
        Attribute(device, "idProduct", adapter.product);
        Attribute(device, "product", adapter.productName);
        Attribute(device, "manufacturer", adapter.manufacturer);
        if (!adapter.serial.isEmpty())
            Attribute(device, "serial", adapter.serial);
        QFile::link(QStringLiteral("../../..") + device,
                    SysfsRoot() + QStringLiteral("/bus/usb/devices/") + adapter.usbPort);
    }
    // The adapter with its port Tty; the device node links to Target (a real
    // tty) when given. Udev's by-id name is made as udev makes it.
    void Plug(const FakeAdapter& adapter, const QString& tty, const QString& target = {}) const {
        PlugUsbDevice(adapter);
        const QString ttyDevice =
            UsbDevice(adapter.usbPort) + u'/' + adapter.usbPort + QStringLiteral(":1.0/") + tty;
        QDir().mkpath(SysfsRoot() + ttyDevice);
        const QString classDir = SysfsRoot() + QStringLiteral("/class/tty/") + tty;
        QDir().mkpath(classDir);
        QFile::link(QStringLiteral("../../..") + ttyDevice, classDir + QStringLiteral("/device"));
        if (!target.isEmpty())
            QFile::link(target, PortPath(tty));
        QFile::link(QStringLiteral("../../") + tty,
                    DevDir() + QStringLiteral("/serial/by-id/") + ByIdName(adapter));
    }
    // Everything of the adapter goes: USB device, port, device node, by-id name.
    void Unplug(const FakeAdapter& adapter, const QString& tty) const {
        QDir(SysfsRoot() + QStringLiteral("/class/tty/") + tty).removeRecursively();
        QFile::remove(SysfsRoot() + QStringLiteral("/bus/usb/devices/") + adapter.usbPort);
        QDir(SysfsRoot() + UsbDevice(adapter.usbPort)).removeRecursively();
        QFile::remove(PortPath(tty));
        QFile::remove(DevDir() + QStringLiteral("/serial/by-id/") + ByIdName(adapter));
    }
    static QString ByIdName(const FakeAdapter& adapter) {
        QString name = QStringLiteral("usb-") + adapter.manufacturer + u'_' + adapter.productName;
        if (!adapter.serial.isEmpty())
            name += u'_' + adapter.serial;
        return name.replace(u' ', u'_') + QStringLiteral("-if00-port0");
    }

  private:
    static QString UsbDevice(const QString& usbPort) {
        return QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/") + usbPort;
    }
    void Attribute(const QString& device, const char* name, const QString& value) const {
        QFile f(SysfsRoot() + device + u'/' + QLatin1String(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(value.toUtf8() + '\n');
    }

    QTemporaryDir root_;
};

} // namespace qvtest
