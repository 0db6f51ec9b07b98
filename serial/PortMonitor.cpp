#include "serial/PortMonitor.h"

#include "serial/SerialLogging.h"

#include <QSocketNotifier>
#include <libudev.h>

namespace {

// udev's monitor socket, read whenever it has an event.
class UdevPortMonitor : public PortMonitor {
  public:
    UdevPortMonitor() {
        udev_ = udev_new();
        if (udev_)
            monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!monitor_) {
            qCInfo(lcSerial) << "no udev monitor: the port list follows adapters only on refresh";
            return;
        }
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr);
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device");
        if (udev_monitor_enable_receiving(monitor_) < 0) {
            qCInfo(lcSerial) << "udev monitor refused to receive";
            return;
        }
        const int fd = udev_monitor_get_fd(monitor_);
        notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadEvent(); });
    }
    ~UdevPortMonitor() override {
        notifier_.reset();
        if (monitor_)
            udev_monitor_unref(monitor_);
        if (udev_)
            udev_unref(udev_);
    }
    UdevPortMonitor(const UdevPortMonitor&) = delete;
    UdevPortMonitor& operator=(const UdevPortMonitor&) = delete;

    bool IsWatching() const override { return notifier_ != nullptr; }

  private:
    void ReadEvent() {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device)
            return;
        const auto text = [](const char* value) {
            return value ? QString::fromLocal8Bit(value) : QString();
        };
        const QString action = text(udev_device_get_action(device));
        const QString subsystem = text(udev_device_get_subsystem(device));
        const QString name = text(udev_device_get_sysname(device));
        udev_device_unref(device);
        qCDebug(lcSerial) << "device" << action << subsystem << name;
        Q_EMIT DeviceChanged(action, subsystem, name);
    }

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

PortMonitorFactory& Factory() {
    static PortMonitorFactory factory;
    return factory;
}

} // namespace

std::unique_ptr<PortMonitor> CreatePortMonitor() {
    if (Factory())
        return Factory()();
    return std::make_unique<UdevPortMonitor>();
}

void SetPortMonitorFactory(PortMonitorFactory factory) {
    Factory() = std::move(factory);
}
