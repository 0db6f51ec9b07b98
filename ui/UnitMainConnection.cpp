// Opening and closing the link: the Connect/Disconnect button with its port
// box, status label and LED, the port list, auto-connect, a link that is lost
// by itself, and the offer to read the configuration once the GCU announced
// itself.
#include "device/ConnectionRules.h"
#include "device/LinkLogging.h"
#include "serial/SerialDevice.h"
#include "translation/MessageNumbers.h"
#include "ui/UnitMain.h"
#include "util/BuildInfo.h"

#include <QRegularExpression>
#include <cerrno>

namespace {
const QString PortBoxName = QStringLiteral("CBSerialCommunicationComPort");
const QString ConnectButtonName = QStringLiteral("BSerialCommunicationConnectDisconnect");

} // namespace

// ---------------------------------------------------------------- port list

void TFormMain::SerialLoadComPorts() {
    static const QRegularExpression lineEnds(QStringLiteral("[\r\n]+"));
    const QStringList lines = GetSerialPortFriendlyNames().split(lineEnds, Qt::SkipEmptyParts);
    // The shown text stays as it is; only the items change.
    Control<TComboBox>(PortBoxName).SetItems(PortBox::ItemsFromPortList(lines));
    ShowWholePortEntries();
}

// ---------------------------------------------------------------- connect / disconnect

void TFormMain::BSerialCommunicationConnectDisconnectClick(QObject*) {
    const QString entry = Control<TComboBox>(PortBoxName).Text();
    if (entry == QLatin1String(PortBox::AutoConnect))
        return;
    if (Control<TButton>(ConnectButtonName).Tag() != 0)
        return CloseLink();
    if (!commandTableUsable_)
        return;
    bool opened = false;
    try {
        opened = OpenLink(entry);
    } catch (const ESerialPortException& refused) {
        throw ESerialPortException(WithOpenAdvice(refused, entry), refused.SystemError());
    }
    if (!opened)
        ReportAdaptersWithoutPort(true);
}

// The system's reason in its own words, then what the user can do about it
// in the current language: join the port's group, install the udev rule, or
// close the program that holds the port.
QString TFormMain::WithOpenAdvice(const ESerialPortException& refused, const QString& entry) const {
    const QByteArray portName = PortBox::PortNameFromEntry(entry).toLocal8Bit();
    const OpenAdvice::Advice advice =
        OpenAdvice::ForOpenError(refused.SystemError(), SerialDevice::DeviceGroup(portName),
                                 QLatin1String(BuildInfo::UdevRulePath));
    if (advice.message == 0)
        return refused.Message();
    return refused.Message() + u' ' + TranslateString(advice.message) + advice.appended;
}

// Opens the port of a box entry. False, with nothing changed, when the port is
// not present or already open; the open error of a port that exists but cannot
// be opened is raised with its text (busy, permission and their fix).
bool TFormMain::OpenLink(const QString& entry) {
    const QByteArray portName = PortBox::PortNameFromEntry(entry).toLocal8Bit();
    if (portName.isEmpty())
        return false;
    // Device paths are custom names: the name first, then the port that uses it.
    SerialPort->SetCustomPortName(portName);
    SerialPort->SetPort(TSerialPort::StringToCommPort(portName));
    SerialPort->SetNeedSynchronization(true);
    // The session learns the adapter as the port opens.
    const TAdapterIdentity before = linkAdapter_;
    linkAdapter_ = AdapterIdentityOf(QString::fromLocal8Bit(portName));
    if (!SerialPort->Open()) {
        linkAdapter_ = before;
        return false;
    }
    qCInfo(lcLink) << "link open on" << linkAdapter_.path << "serial" << linkAdapter_.usbSerial
                   << "by-id" << linkAdapter_.byIdName << "usb" << linkAdapter_.usbPort;
    StopAwaitingLostAdapter();
    ShowLinkState(true);
    return true;
}

void TFormMain::CloseLink() {
    auto& live = Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    if (live.Checked())
        live.SetChecked(false); // its handler stops the stream before the port closes
    LiveLinkEnded(false);
    Session.BeginClosing();
    SerialPort->Close();
    qCInfo(lcLink) << "link closed by the user";
    StopAwaitingLostAdapter();
    ShowClosedLinkAndRefreshPorts();
}

void TFormMain::ShowLinkState(bool open, int statusMessage) {
    Control<TButton>(ConnectButtonName).SetTag(open ? 1 : 0);
    linkStatusMessage_ = statusMessage;
    ShowLinkStateTexts();
    Control<TLed>(QStringLiteral("LedSerialCommunication")).SetLit(open);
    Control<TComboBox>(PortBoxName).setEnabled(!open);
    SerialConnectedGLOB = open;
    EnableControls();
}

// The button and the status label say what the link is now, in the current
// language (also right after a language switch, whose table holds only the
// designed captions).
void TFormMain::ShowLinkStateTexts() {
    auto& button = Control<TButton>(ConnectButtonName);
    const bool open = button.Tag() == 1;
    button.SetCaption(TranslateString(open ? Msg::CaptionDisconnect : Msg::CaptionConnect));
    int status = open ? Msg::StatusConnected : Msg::StatusNotConnected;
    if (linkStatusMessage_ != 0)
        status = linkStatusMessage_;
    Control<TLabel>(QStringLiteral("LSerialCommunicationStatus"))
        .SetCaption(TranslateString(status));
}

// A port still present stays selected for a manual reconnect; a vanished one
// hands the box back to auto-connect. Live numbers of the closed link go.
void TFormMain::ShowClosedLinkAndRefreshPorts() {
    ShowLinkState(false);
    ShowLiveNumbersInactive();
    SerialLoadComPorts();
    auto& box = Control<TComboBox>(PortBoxName);
    if (!PortBox::KeepSelectionAfterRefresh(box.Text(), box.Items()))
        box.SetItemIndex(0);
}

// The port closed by itself: the window shows the closed state as after a
// disconnect. Live mode ends without a frame, since nothing can be sent.
void TFormMain::LinkLost() {
    if (Control<TButton>(ConnectButtonName).Tag() != 1 || SerialPort->IsConnected())
        return;
    LiveLinkEnded(true);
    StopLiveWithoutSending();
    Session.BeginClosing();
    SerialPort->Close(); // ends what is left of the connection
    qCInfo(lcLink) << "link lost on" << linkAdapter_.path;
    ShowLinkState(false);
    ShowLiveNumbersInactive();
    SerialLoadComPorts();
    if (AwaitLostAdapter(linkAdapter_.path))
        return; // the box keeps the lost entry until the adapter is back or the wait ends
    auto& box = Control<TComboBox>(PortBoxName);
    if (!PortBox::KeepSelectionAfterRefresh(box.Text(), box.Items()))
        box.SetItemIndex(0);
}

void TFormMain::StopLiveWithoutSending() {
    Session.Router().EndLive();
    auto& live = Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    if (!live.Checked())
        return;
    {
        const QSignalBlocker silent(&live);
        live.SetChecked(false);
    }
    SetLiveControls(QStringLiteral("INACTIVE"));
}

// ---------------------------------------------------------------- auto-connect

// Idle while a link is open or a port is chosen by hand. The connect button's
// tag says whether the link is open, whatever language its caption is in and
// also when the message texts are missing (the caption is then empty).
bool TFormMain::AutoConnectIdle() const {
    return !commandTableUsable_ || Control<TButton>(ConnectButtonName).Tag() != 0 ||
           Control<TComboBox>(PortBoxName).Text() != QLatin1String(PortBox::AutoConnect);
}

void TFormMain::TimerAutoConnectTimer(QObject*) {
    if (AutoConnectIdle())
        return;
    SerialLoadComPorts();
    auto& box = Control<TComboBox>(PortBoxName);
    const AutoConnectTick tick =
        autoConnector_.Tick(box.Items(), [this, &box](int index, QString& error) {
            box.SetItemIndex(index);
            try {
                return OpenLink(box.Text()) ? OpenAttempt::Opened : OpenAttempt::Refused;
            } catch (const ESerialPortException& busy) {
                error = WithOpenAdvice(busy, box.Text());
                return OpenAttempt::Busy;
            }
        });
    if (tick.selectIndex >= 0)
        box.SetItemIndex(tick.selectIndex);
    if (tick.error)
        ShowMessage(*tick.error, TMsgDlgType::mtError);
}

// ---------------------------------------------------------------- offer to read

void TFormMain::TimerConnectionTimer(QObject*) {
    TimerConnection->SetEnabled(false);
    if (AskYesNo(TranslateString(Msg::OfferToReadConfig)))
        BCommunicationGetConfigClick(&Control<TButton>(QStringLiteral("BCommunicationGetConfig")));
}
