#pragma once
// The present serial ports of the machine and the names of their devices, read
// from sysfs (/sys/class/tty) plus the virtual ports named in GCU_EXTRA_PORTS
// ("path[=friendly name];..."). The sysfs root can be pointed at a test tree.
#include <QString>

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
// vendor:product pairs, else the product string, else the manufacturer string.
QString UsbFriendlyName(const QString& vendorId, const QString& productId, const QString& product,
                        const QString& manufacturer);
