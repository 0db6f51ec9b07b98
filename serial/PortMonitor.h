#pragma once
// Tells the window when serial ports and USB devices come and go, as the
// system's device manager (udev) reports them: event-driven, no polling. The
// window refreshes its port list on every event and may reconnect an adapter
// that came back. Tests replace the monitor through SetPortMonitorFactory and
// drive it by hand (together with a sysfs tree of their own, see PortListing).
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class PortMonitor : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // False when the device manager cannot be reached (no udev, a container):
    // no events come, and the port list is refreshed only where it was before.
    virtual bool IsWatching() const = 0;

  Q_SIGNALS:
    // Action is "add" or "remove" (others are passed on as udev names them),
    // Subsystem "tty" or "usb", Name the kernel's device name ("ttyUSB0", "1-1.2").
    void DeviceChanged(const QString& action, const QString& subsystem, const QString& name);
};

// The monitor the window uses: through libudev unless a test installed a
// factory. Never null: a monitor that cannot watch says so through IsWatching.
std::unique_ptr<PortMonitor> CreatePortMonitor();
using PortMonitorFactory = std::function<std::unique_ptr<PortMonitor>()>;
// nullptr restores the udev monitor.
void SetPortMonitorFactory(PortMonitorFactory factory);

// A monitor driven by hand (tests, and a system without udev).
class ManualPortMonitor : public PortMonitor {
    Q_OBJECT
  public:
    using PortMonitor::PortMonitor;
    bool IsWatching() const override { return watching; }
    void Report(const QString& action, const QString& subsystem, const QString& name) {
        Q_EMIT DeviceChanged(action, subsystem, name);
    }
    bool watching = true;
};
