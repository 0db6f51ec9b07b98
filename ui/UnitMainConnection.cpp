// Opening and closing the link: the Connect/Disconnect button with its port
// box, status label and LED, the port list, auto-connect, a link that is lost
// by itself, and the offer to read the configuration once the GCU announced
// itself.
#include "device/ConnectionRules.h"
#include "serial/SerialDevice.h"
#include "translation/MessageNumbers.h"
#include "ui/UnitMain.h"

#include <QRegularExpression>
#include <cerrno>

namespace {
const QString PortBoxName = QStringLiteral("CBSerialCommunicationComPort");
const QString ConnectButtonName = QStringLiteral("BSerialCommunicationConnectDisconnect");

// Ends a flag's span on every way out, errors included.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};
} // namespace

// ---------------------------------------------------------------- port list

void TFormMain::SerialLoadComPorts() {
    static const QRegularExpression lineEnds(QStringLiteral("[\r\n]+"));
    const QStringList lines = GetSerialPortFriendlyNames().split(lineEnds, Qt::SkipEmptyParts);
    // The shown text stays as it is; only the items change.
    Control<TComboBox>(PortBoxName).SetItems(PortBox::ItemsFromPortList(lines));
}

// ---------------------------------------------------------------- connect / disconnect

void TFormMain::BSerialCommunicationConnectDisconnectClick(QObject*) {
    const QString entry = Control<TComboBox>(PortBoxName).Text();
    if (entry == QLatin1String(PortBox::AutoConnect))
        return;
    if (Control<TButton>(ConnectButtonName).Tag() != 0)
        return CloseLink();
    try {
        OpenLink(entry);
    } catch (const ESerialPortException& refused) {
        throw ESerialPortException(WithBusyFix(refused.Message(), entry));
    }
}

// A port that another program holds is a common case on Linux (a modem
// service probes freshly plugged adapters for a few seconds): say what to do.
QString TFormMain::WithBusyFix(const QString& openError, const QString& entry) {
    const QByteArray portName = PortBox::PortNameFromEntry(entry).toLocal8Bit();
    if (!openError.endsWith(SerialDevice::OpenErrorText(EBUSY, portName)))
        return openError;
    return openError +
           QStringLiteral(" Close the program that uses it, or, if the adapter was just plugged "
                          "in, wait a few seconds until the system has finished probing it, then "
                          "press Connect again.");
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
    if (!SerialPort->Open())
        return false;
    ShowLinkState(true);
    return true;
}

void TFormMain::CloseLink() {
    auto& live = Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    if (live.Checked())
        live.SetChecked(false); // its handler stops the stream before the port closes
    {
        FlagScope closing(closingLink_);
        SerialPort->Close();
    }
    ShowClosedLinkAndRefreshPorts();
}

void TFormMain::ShowLinkState(bool open) {
    auto& button = Control<TButton>(ConnectButtonName);
    button.SetCaption(TranslateString(open ? Msg::CaptionDisconnect : Msg::CaptionConnect));
    button.SetTag(open ? 1 : 0);
    Control<TLed>(QStringLiteral("LedSerialCommunication")).SetLit(open);
    Control<TLabel>(QStringLiteral("LSerialCommunicationStatus"))
        .SetCaption(TranslateString(open ? Msg::StatusConnected : Msg::StatusNotConnected));
    Control<TComboBox>(PortBoxName).setEnabled(!open);
    SerialConnectedGLOB = open;
    EnableControls();
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
    StopLiveWithoutSending();
    {
        FlagScope closing(closingLink_);
        SerialPort->Close(); // ends what is left of the connection
    }
    ShowClosedLinkAndRefreshPorts();
}

void TFormMain::StopLiveWithoutSending() {
    linkRouter_.EndLive();
    SyncLinkGlobals();
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
    return Control<TButton>(ConnectButtonName).Tag() != 0 ||
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
                error = busy.Message();
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
