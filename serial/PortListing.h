#pragma once
// The present serial ports of the machine and the names of their devices, read
// from sysfs (/sys/class/tty) plus the virtual ports named in GCU_EXTRA_PORTS
// ("path[=friendly name];..."). The sysfs root can be pointed at a test tree.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

struct TPresentPort {
    QString path;         // device path, the port name ("/dev/ttyUSB0")
    QString friendlyName; // the device's name for users; may be empty
    QString devicePath;   // canonical sysfs path of the device; "virtual" for extra ports
};

struct TPortListingOptions {
    QString sysfsRoot = QStringLiteral("/sys");
    QString devDir = QStringLiteral("/dev");
    // Whether an on-board ttyS port really exists: true or false when known,
    // nothing when it cannot tell. By default the serial core's "type" attribute
    // tells, else the device is asked (TIOCGSERIAL); an unknown type is no port.
    std::function<std::optional<bool>(const QString& devicePath)> legacyPortProbe;
};

// The options every listing uses; the sysfs root defaults to $GCU_SYSFS_ROOT
// when set. Tests may replace them.
TPortListingOptions PortListingOptions();
void SetPortListingOptions(const TPortListingOptions& options);

// All present ports: sysfs ttys with a real device behind them in natural name
// order (ttyACM0, ttyS0, ttyUSB2, ttyUSB10), then the extra ports in their order.
std::vector<TPresentPort> ListPresentPorts();
// The present port whose path equals name (letter case ignored, not trimmed);
// its friendly name may be left empty. Cheap enough for the unplug check.
std::optional<TPresentPort> FindPresentPort(const QString& name);

// The name a USB adapter is known by: the usual driver's name for known
// vendor:product pairs (serial/KnownAdapters.def), else the product string,
// else the manufacturer string.
QString UsbFriendlyName(const QString& vendorId, const QString& productId, const QString& product,
                        const QString& manufacturer);
// Whether vendor:product is one of the known adapters; their "vvvv:pppp" ids.
bool IsKnownAdapter(const QString& vendorId, const QString& productId);
QStringList KnownAdapterIds();

// Who an adapter is, as far as the system tells: enough to know it again when
// it comes back after being unplugged (a GCU reset), and to keep things per unit.
struct TAdapterIdentity {
    QString path;          // the port's device path ("/dev/ttyUSB0")
    QString usbSerial;     // the USB serial number; FTDI chips have one, CH340 mostly not
    QString byIdName;      // its name below /dev/serial/by-id, when udev made one
    QString usbPort;       // where it is plugged in (USB bus path such as "1-1.2")
    QString vendorProduct; // "1a86:7523"; empty for a port without a USB device
};
// The identity of a present port; only the path for one without a USB device.
TAdapterIdentity AdapterIdentityOf(const QString& portPath);
// The same adapter: the same USB serial number when either has one; else the
// same by-id name in the same USB socket. Ports without either are never the same.
bool SameAdapter(const TAdapterIdentity& a, const TAdapterIdentity& b);

// A known USB serial chip that is present but has no tty: another driver (a
// braille-display daemon, for one) has taken it.
struct TUsbAdapter {
    QString sysfsPath;     // below the sysfs root ("/devices/.../1-1")
    QString name;          // the known adapter's name
    QString vendorProduct; // "1a86:7523"
};
std::vector<TUsbAdapter> ListKnownAdaptersWithoutPort();
