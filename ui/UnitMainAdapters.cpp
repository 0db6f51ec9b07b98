// Adapters that come and go: the port list follows the system's device events,
// a link lost because its adapter vanished is reopened by itself when the same
// adapter comes back soon (a GCU that resets takes its USB adapter with it),
// known USB serial chips that another driver took are named with what to do,
// and the port box shows every port's whole text.
#include "device/ConnectionRules.h"
#include "device/LinkLogging.h"
#include "serial/PortListing.h"
#include "serial/PortMonitor.h"
#include "translation/MessageNumbers.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>

namespace {
const QString PortBoxName = QStringLiteral("CBSerialCommunicationComPort");
} // namespace

// ---------------------------------------------------------------- device events

void TFormMain::WatchPorts() {
    portMonitor_ = CreatePortMonitor();
    connect(portMonitor_.get(), &PortMonitor::DeviceChanged, this,
            [this](const QString& action, const QString& subsystem, const QString&) {
                RunReported([&] { PortDeviceChanged(action, subsystem); });
            });
    auto& box = Control<TComboBox>(PortBoxName);
    connect(&box, &QComboBox::currentTextChanged, &box,
            [&box](const QString& text) { box.setToolTip(text); });
    // A chosen entry shows from its start, the device path, not its tail.
    connect(&box, &QComboBox::currentIndexChanged, &box, [&box] {
        if (box.lineEdit())
            box.lineEdit()->setCursorPosition(0);
    });
    reconnectTimer_ = new QTimer(this);
    reconnectTimer_->setSingleShot(true);
    connect(reconnectTimer_, &QTimer::timeout, this,
            [this] { RunReported([this] { ReconnectTimerTick(); }); });
}

TAdapterIdentity TFormMain::LinkAdapter() const {
    return Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Tag() == 1
               ? linkAdapter_
               : TAdapterIdentity{};
}

void TFormMain::PortDeviceChanged(const QString& action, const QString& subsystem) {
    if (!shown_)
        return;
    SerialLoadComPorts();
    if (action == QLatin1String("add") && lostAdapter_)
        TryReconnectLostAdapter();
    // A new USB device gets its port a moment later, when its driver has
    // bound; one still without a port after that has been taken by another.
    if (action == QLatin1String("add") && subsystem == QLatin1String("usb"))
        QTimer::singleShot(AdapterBindTime, this,
                           Reported([this] { ReportAdaptersWithoutPort(false); }));
    else if (action == QLatin1String("remove"))
        ReportAdaptersWithoutPort(false); // forgets the ones that went
}

// The link ended by itself. When its adapter has gone and can be told again
// (serial number or by-id name), the window waits for it: the box keeps the
// lost entry, so auto-connect cannot take another adapter meanwhile.
bool TFormMain::AwaitLostAdapter(const QString& portPath) {
    const bool vanished = !QFileInfo::exists(portPath) || !FindPresentPort(portPath);
    if (!vanished || (linkAdapter_.usbSerial.isEmpty() && linkAdapter_.byIdName.isEmpty()))
        return false;
    lostAdapter_ = linkAdapter_;
    lostEntry_ = Control<TComboBox>(PortBoxName).Text();
    lostSince_.start();
    qCInfo(lcLink) << "adapter vanished; waiting for it" << lostAdapter_->usbSerial
                   << lostAdapter_->byIdName << lostAdapter_->usbPort;
    reconnectTimer_->start(int(ReconnectWindow.count()));
    return true;
}

void TFormMain::TryReconnectLostAdapter() {
    if (!lostAdapter_ ||
        Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Tag() != 0)
        return;
    if (lostSince_.elapsed() > ReconnectWindow.count())
        return GiveUpOnLostAdapter();
    for (const TPresentPort& port : ListPresentPorts()) {
        if (!SameAdapter(*lostAdapter_, AdapterIdentityOf(port.path)))
            continue;
        auto& box = Control<TComboBox>(PortBoxName);
        const QString entry = PortBox::MakeEntry(port.path, port.friendlyName);
        box.SetText(entry);
        bool opened = false;
        try {
            opened = OpenLink(entry);
        } catch (const ESerialPortException& refused) {
            // Busy for a moment after it came back: tried again shortly.
            qCInfo(lcLink) << "returned adapter not open yet:" << refused.Message();
        }
        if (opened) {
            qCInfo(lcLink) << "reconnected to the returned adapter at" << port.path;
            lostAdapter_.reset();
            reconnectTimer_->stop();
            ShowLinkState(true, Msg::StatusReconnected);
        } else {
            reconnectTimer_->start(500);
        }
        return;
    }
}

// The timer either retries an adapter that was back but busy, or ends the wait.
void TFormMain::ReconnectTimerTick() {
    if (!lostAdapter_)
        return;
    if (lostSince_.elapsed() >= ReconnectWindow.count())
        return GiveUpOnLostAdapter();
    TryReconnectLostAdapter();
    if (lostAdapter_ && !reconnectTimer_->isActive())
        reconnectTimer_->start(int(ReconnectWindow.count() - lostSince_.elapsed()));
}

void TFormMain::StopAwaitingLostAdapter() {
    lostAdapter_.reset();
    reconnectTimer_->stop();
}

// The adapter did not come back in time: the box goes back to auto-connect,
// as after any vanished port, unless the user chose something else meanwhile.
void TFormMain::GiveUpOnLostAdapter() {
    qCInfo(lcLink) << "the vanished adapter did not come back";
    StopAwaitingLostAdapter();
    auto& box = Control<TComboBox>(PortBoxName);
    if (Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Tag() == 0 &&
        box.Text() == lostEntry_ && !PortBox::KeepSelectionAfterRefresh(box.Text(), box.Items()))
        box.SetItemIndex(0);
}

// ---------------------------------------------------------------- chips without a port

void TFormMain::ReportAdaptersWithoutPort(bool always) {
    QStringList present;
    for (const TUsbAdapter& adapter : ListKnownAdaptersWithoutPort()) {
        present.append(adapter.sysfsPath);
        if (!always && adaptersWithoutPortShown_.contains(adapter.sysfsPath))
            continue;
        adaptersWithoutPortShown_.append(adapter.sysfsPath);
        qCInfo(lcLink) << "adapter without a port:" << adapter.name << adapter.vendorProduct
                       << adapter.sysfsPath;
        ShowMessage(TranslateString(Msg::AdapterWithoutPort) + adapter.name + QStringLiteral(" (") +
                        adapter.vendorProduct + u')',
                    TMsgDlgType::mtWarning);
    }
    // Unplugged ones are named again when they come back without a port.
    adaptersWithoutPortShown_.removeIf(
        [&present](const QString& path) { return !present.contains(path); });
}

// ---------------------------------------------------------------- the port box

// The box is narrow; its list opens as wide as the longest entry, and the
// entry's whole text is its tool tip.
void TFormMain::ShowWholePortEntries() {
    auto& box = Control<TComboBox>(PortBoxName);
    int widest = box.width();
    const QFontMetrics metrics(box.view()->font());
    for (int i = 0; i < box.count(); ++i) {
        box.setItemData(i, box.itemText(i), Qt::ToolTipRole);
        widest = std::max(widest, metrics.horizontalAdvance(box.itemText(i)) + 32);
    }
    box.view()->setMinimumWidth(widest);
    box.setToolTip(box.Text());
}
