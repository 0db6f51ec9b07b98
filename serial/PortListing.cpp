#include "serial/PortListing.h"

#include "serial/SerialPort.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::mutex optionsLock;

TPortListingOptions& StoredOptions() {
    static TPortListingOptions options = [] {
        TPortListingOptions o;
        const QString root = qEnvironmentVariable("GCU_SYSFS_ROOT");
        if (!root.isEmpty())
            o.sysfsRoot = root;
        return o;
    }();
    return options;
}

// One sysfs attribute, trimmed; empty when missing.
QString ReadAttribute(const QString& dir, const char* name) {
    QFile f(dir + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// Asks the driver for the port type; an unknown type means no port at this line.
std::optional<bool> ProbeLegacyPort(const QString& devicePath) {
    const int fd = ::open(QFile::encodeName(devicePath).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY ? std::optional<bool>(true) : std::nullopt;
    serial_struct info{};
    const bool ok = ioctl(fd, TIOCGSERIAL, &info) == 0;
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return info.type != PORT_UNKNOWN;
}

// The serial core's own record of the port type (what TIOCGSERIAL reports).
std::optional<bool> TypeAttribute(const QString& ttyDir) {
    const QString type = ReadAttribute(ttyDir, "type");
    if (type.isEmpty())
        return std::nullopt;
    return type != QLatin1String("0");
}

// Reading the type from sysfs first spares the port an open, which would
// toggle its modem lines on every refresh of the port list.
bool LegacyPortExists(const TPortListingOptions& options, const QString& ttyDir,
                      const QString& devicePath) {
    std::optional<bool> known =
        options.legacyPortProbe ? options.legacyPortProbe(devicePath) : TypeAttribute(ttyDir);
    if (!known && !options.legacyPortProbe)
        known = ProbeLegacyPort(devicePath);
    if (!known)
        known = TypeAttribute(ttyDir);
    return known.value_or(false);
}

// The USB device above a tty's device: the nearest folder with an idVendor.
QString FindUsbDevice(const QString& deviceDir, const QString& devicesRoot) {
    QString dir = deviceDir;
    while (dir.startsWith(devicesRoot) && dir.length() > devicesRoot.length()) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")))
            return dir;
        dir = QFileInfo(dir).path();
    }
    return {};
}

QString FriendlyNameOf(const QString& deviceDir, const QString& devicesRoot) {
    const QString usb = FindUsbDevice(deviceDir, devicesRoot);
    if (usb.isEmpty())
        return {};
    return UsbFriendlyName(ReadAttribute(usb, "idVendor"), ReadAttribute(usb, "idProduct"),
                           ReadAttribute(usb, "product"), ReadAttribute(usb, "manufacturer"));
}

// The sysfs entry of one tty as a present port, or nothing when it is not one.
std::optional<TPresentPort> PortFromSysfs(const TPortListingOptions& options, const QString& root,
                                          const QString& ttyName, bool withName = true) {
    const QString ttyDir = options.sysfsRoot + QStringLiteral("/class/tty/") + ttyName;
    const QString deviceDir = QFileInfo(ttyDir + QStringLiteral("/device")).canonicalFilePath();
    if (root.isEmpty() || deviceDir.isEmpty())
        return std::nullopt;
    const QString devicesRoot = root + QStringLiteral("/devices");
    if (deviceDir.startsWith(devicesRoot + QStringLiteral("/virtual/")))
        return std::nullopt;
    TPresentPort port;
    port.path = options.devDir + QLatin1Char('/') + ttyName;
    port.devicePath = deviceDir.mid(root.length());
    if (ttyName.startsWith(QLatin1String("ttyS")) && !LegacyPortExists(options, ttyDir, port.path))
        return std::nullopt;
    if (withName)
        port.friendlyName = FriendlyNameOf(deviceDir, devicesRoot);
    return port;
}

std::vector<TPresentPort> SysfsPorts(const TPortListingOptions& options) {
    QStringList names = QDir(options.sysfsRoot + QStringLiteral("/class/tty"))
                            .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    // ttyUSB2 before ttyUSB10, the same whatever the user's language.
    QCollator collator{QLocale(QLocale::English)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::sort(names.begin(), names.end(), collator);
    const QString root = QDir(options.sysfsRoot).canonicalPath();
    std::vector<TPresentPort> ports;
    for (const QString& name : names)
        if (auto port = PortFromSysfs(options, root, name))
            ports.push_back(*port);
    return ports;
}

// GCU_EXTRA_PORTS entries whose device exists.
std::vector<TPresentPort> ExtraPorts() {
    std::vector<TPresentPort> ports;
    const QStringList entries =
        qEnvironmentVariable("GCU_EXTRA_PORTS").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        TPresentPort port;
        port.path = (eq < 0 ? entry : entry.left(eq)).trimmed();
        port.friendlyName = eq < 0 ? QString() : entry.mid(eq + 1).trimmed();
        port.devicePath = QStringLiteral("virtual");
        if (!port.path.isEmpty() && QFileInfo::exists(port.path))
            ports.push_back(port);
    }
    return ports;
}

} // namespace

TPortListingOptions PortListingOptions() {
    std::lock_guard<std::mutex> lock(optionsLock);
    return StoredOptions();
}

void SetPortListingOptions(const TPortListingOptions& options) {
    std::lock_guard<std::mutex> lock(optionsLock);
    StoredOptions() = options;
}

std::vector<TPresentPort> ListPresentPorts() {
    std::vector<TPresentPort> ports = SysfsPorts(PortListingOptions());
    for (const TPresentPort& extra : ExtraPorts())
        ports.push_back(extra);
    return ports;
}

std::optional<TPresentPort> FindPresentPort(const QString& name) {
    for (const TPresentPort& extra : ExtraPorts())
        if (extra.path.compare(name, Qt::CaseInsensitive) == 0)
            return extra;
    // A device path below the device folder names one sysfs entry; looking at
    // that entry alone gives the same answer as the whole listing.
    const TPortListingOptions options = PortListingOptions();
    const QString prefix = options.devDir + QLatin1Char('/');
    if (name.startsWith(prefix, Qt::CaseInsensitive)) {
        const QString tty = name.mid(prefix.length());
        if (tty.contains(QLatin1Char('/')))
            return std::nullopt; // below a subfolder: never a sysfs tty
        if (QFileInfo::exists(options.sysfsRoot + QStringLiteral("/class/tty/") + tty))
            return PortFromSysfs(options, QDir(options.sysfsRoot).canonicalPath(), tty, false);
    }
    for (const TPresentPort& port : SysfsPorts(options))
        if (port.path.compare(name, Qt::CaseInsensitive) == 0)
            return port;
    return std::nullopt;
}

namespace {
struct KnownAdapter {
    const char* vendor;
    const char* product;
    const char* name;
};
// One list for the names, the adapters without a port and the udev rule.
constexpr KnownAdapter KnownAdapters[] = {
#define QV_KNOWN_ADAPTER(vendor, product, name) {vendor, product, name},
#include "serial/KnownAdapters.def"
#undef QV_KNOWN_ADAPTER
};

const KnownAdapter* FindKnownAdapter(const QString& vendorId, const QString& productId) {
    for (const KnownAdapter& known : KnownAdapters)
        if (vendorId.compare(QLatin1String(known.vendor), Qt::CaseInsensitive) == 0 &&
            productId.compare(QLatin1String(known.product), Qt::CaseInsensitive) == 0)
            return &known;
    return nullptr;
}

// The name below /dev/serial/by-id that udev made for the port; empty when none.
QString ByIdNameOf(const TPortListingOptions& options, const QString& portPath) {
    const QFileInfoList links =
        QDir(options.devDir + QStringLiteral("/serial/by-id")).entryInfoList(QDir::System);
    for (const QFileInfo& link : links)
        if (link.isSymLink() && QDir::cleanPath(link.symLinkTarget()) == portPath)
            return link.fileName();
    return {};
}
} // namespace

QString UsbFriendlyName(const QString& vendorId, const QString& productId, const QString& product,
                        const QString& manufacturer) {
    if (const KnownAdapter* known = FindKnownAdapter(vendorId, productId))
        return QString::fromLatin1(known->name);
    return !product.isEmpty() ? product : manufacturer;
}

bool IsKnownAdapter(const QString& vendorId, const QString& productId) {
    return FindKnownAdapter(vendorId, productId) != nullptr;
}

QStringList KnownAdapterIds() {
    QStringList ids;
    for (const KnownAdapter& known : KnownAdapters)
        ids.append(QLatin1String(known.vendor) + u':' + QLatin1String(known.product));
    return ids;
}

TAdapterIdentity AdapterIdentityOf(const QString& portPath) {
    const TPortListingOptions options = PortListingOptions();
    TAdapterIdentity identity;
    identity.path = portPath;
    identity.byIdName = ByIdNameOf(options, portPath);
    const QString prefix = options.devDir + QLatin1Char('/');
    if (!portPath.startsWith(prefix))
        return identity;
    const QString ttyDir =
        options.sysfsRoot + QStringLiteral("/class/tty/") + portPath.mid(prefix.length());
    const QString deviceDir = QFileInfo(ttyDir + QStringLiteral("/device")).canonicalFilePath();
    const QString root = QDir(options.sysfsRoot).canonicalPath();
    if (deviceDir.isEmpty() || root.isEmpty())
        return identity;
    const QString usb = FindUsbDevice(deviceDir, root + QStringLiteral("/devices"));
    if (usb.isEmpty())
        return identity;
    identity.usbSerial = ReadAttribute(usb, "serial");
    identity.usbPort = QFileInfo(usb).fileName();
    identity.vendorProduct =
        ReadAttribute(usb, "idVendor") + QLatin1Char(':') + ReadAttribute(usb, "idProduct");
    return identity;
}

bool SameAdapter(const TAdapterIdentity& a, const TAdapterIdentity& b) {
    if (!a.usbSerial.isEmpty() || !b.usbSerial.isEmpty())
        return a.usbSerial == b.usbSerial && a.vendorProduct == b.vendorProduct;
    // Without a serial number (most CH340), every adapter of the kind has the
    // same by-id name: only the same one in the same USB socket counts.
    return !a.byIdName.isEmpty() && a.byIdName == b.byIdName && !a.usbPort.isEmpty() &&
           a.usbPort == b.usbPort;
}

std::vector<TUsbAdapter> ListKnownAdaptersWithoutPort() {
    const TPortListingOptions options = PortListingOptions();
    const QString root = QDir(options.sysfsRoot).canonicalPath();
    if (root.isEmpty())
        return {};
    QStringList portDevices;
    for (const TPresentPort& port : SysfsPorts(options))
        portDevices.append(root + port.devicePath);
    std::vector<TUsbAdapter> adapters;
    const QFileInfoList usbDevices =
        QDir(options.sysfsRoot + QStringLiteral("/bus/usb/devices"))
            .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : usbDevices) {
        const QString dir = entry.canonicalFilePath();
        const QString vendor = ReadAttribute(dir, "idVendor");
        const QString product = ReadAttribute(dir, "idProduct");
        const KnownAdapter* known = FindKnownAdapter(vendor, product);
        if (!known)
            continue;
        const bool hasPort =
            std::any_of(portDevices.begin(), portDevices.end(), [&dir](const QString& device) {
                return device.startsWith(dir + QLatin1Char('/'));
            });
        if (!hasPort)
            adapters.push_back({dir.mid(root.length()), QString::fromLatin1(known->name),
                                vendor + QLatin1Char(':') + product});
    }
    return adapters;
}

QString GetSerialPortFriendlyNames() {
    QString text;
    for (const TPresentPort& port : ListPresentPorts())
        text += port.path + QStringLiteral(" = ") + port.friendlyName + QStringLiteral("\r\n");
    return text;
}
