// The device link in the window: the serial-port object's events, the receive
// handler with the traffic log and the start-up announcement, sending frames,
// and the manual command line of the Commands page.
#include "device/DeviceFrames.h"
#include "device/LinkLogging.h"
#include "device/TrafficLog.h"
#include "model/LiveSession.h"
#include "ui/ErrorReport.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QApplication>

namespace {
// A received-text handler must not end the receive thread's hand-over with an
// error: errors there are dropped, as the serial-port object would.
template <class Call> void Discarding(Call&& call) {
    try {
        call();
    } catch (...) {
    }
}
} // namespace

ResponseWaiter::BusyIndicator TFormMain::HourglassIndicator() {
    return [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

std::unique_ptr<LinkExchange> TFormMain::MakeLinkExchange(const LinkExchange::Limits& limits) {
    return std::make_unique<LinkExchange>(
        linkRouter_, linkWaiter_, [this](const QByteArray& frame) { SendLinkFrame(frame); },
        limits);
}

void TFormMain::SetLinkLimits(const LinkExchange::Limits& limits) {
    linkExchange_ = MakeLinkExchange(limits);
}

// The link globals mirror the router, which is where the request lives.
void TFormMain::SyncLinkGlobals() {
    SerialRequestGLOB = linkRouter_.Request();
    SerialWaitingForResponseGLOB = linkRouter_.Waiting();
    SerialInitCompletedGLOB = linkRouter_.InitCompleted();
    SerialRecievedStringGLOB = linkRouter_.ReceivedText();
}

void TFormMain::WireSerialPortEvents() {
    Control<TMemo>(QStringLiteral("Memo")).setMaximumBlockCount(TrafficLog::MaxLines);
    SerialPort->OnReceive = [this](TSerialPort* sender, const QByteArray& buffer) {
        Discarding([&] { SerialPortReceive(sender, buffer); });
    };
    // The port object reports a send from inside SendString; an error here
    // would read as a failed send, so the log line never raises.
    SerialPort->OnSend = [this](TSerialPort* sender, const QByteArray& buffer) {
        Discarding([&] { SerialPortSend(sender, buffer); });
    };
    SerialPort->OnConnect = [this](TSerialPort* sender, TCommPort port) {
        Discarding([&] { SerialPortConnect(sender, port); });
    };
    SerialPort->OnDisconnect = [this](TSerialPort* sender, TCommPort port) {
        Discarding([&] { SerialPortDisconnect(sender, port); });
    };
}

void TFormMain::UnwireSerialPortEvents() {
    if (!SerialPort)
        return;
    SerialPort->OnReceive = nullptr;
    SerialPort->OnSend = nullptr;
    SerialPort->OnConnect = nullptr;
    SerialPort->OnDisconnect = nullptr;
}

void TFormMain::SendFrame(const QByteArray& frame) {
    SyncLinkGlobals();
    SerialPort->SendString(frame);
}

// The port refuses a frame only when it is not open; the link's requests
// only run on a link the window holds open, so the link went by itself.
void TFormMain::SendLinkFrame(const QByteArray& frame) {
    try {
        SendFrame(frame);
    } catch (const ESerialPortException& refused) {
        throw ELinkGone(refused.Message());
    }
}

bool TFormMain::TrafficLogShown() const {
    return Control<TTabSheet>(QStringLiteral("TSCommands")).TabVisible();
}

void TFormMain::AppendTrafficLog(const QString& line) {
    if (TrafficLogShown())
        Control<TMemo>(QStringLiteral("Memo")).Append(line);
}

// ---------------------------------------------------------------- receiving

// Live mode may be switched through the request global, as the shared state
// allows; the router follows it before routing.
void TFormMain::AdoptRequestSetByWindow() {
    const bool liveWanted = SerialRequestGLOB == RequestId::Live;
    const bool liveRouted = linkRouter_.Request() == RequestId::Live;
    if (liveWanted && !liveRouted)
        linkRouter_.BeginLive();
    else if (!liveWanted && liveRouted)
        linkRouter_.EndLive();
}

void TFormMain::SerialPortReceive(TSerialPort*, const QByteArray& Buffer) {
    if (Buffer.isEmpty())
        return;
    AdoptRequestSetByWindow();
    // Lines are timed by when their bytes arrived, not by when they are handled.
    const ReceiveOutcome outcome = linkRouter_.Receive(
        Buffer, QTime::currentTime(), TrafficLogShown(), SerialPort->ReceivedArrivals());
    SyncLinkGlobals();
    // A piece of the live stream alone goes to the status lines' own category.
    const bool statusOnly = outcome.reachedLive && !outcome.announcement &&
                            !outcome.completedDump && !outcome.answerCompleted;
    const QLoggingCategory& category = statusOnly ? lcLinkStatus() : lcLink();
    if (category.isInfoEnabled())
        qCInfo(category).noquote()
            << "received:" << FromCp1252(TSerialPort::ReplaceControlChars(Buffer));
    if (!outcome.logLine.isEmpty())
        Control<TMemo>(QStringLiteral("Memo")).Append(outcome.logLine);
    if (outcome.announcement || !outcome.firmwareVersion.isEmpty()) {
        Control<TLabel>(QStringLiteral("LFirmwareVersion")).SetCaption(outcome.firmwareVersion);
        announcedFirmware_ = outcome.firmwareVersion;
    }
    if (outcome.announcement)
        TimerConnection->SetEnabled(true);
    for (qsizetype i = 0; i < outcome.liveLines.size(); ++i)
        GetLive(outcome.liveLines[i], outcome.liveArrivals[size_t(i)]);
    if (outcome.completedDump && readingBack_)
        readBackDump_ = *outcome.completedDump;
    // A dump read for a restore point is not shown.
    else if (outcome.completedDump && silentDumpSink_)
        *silentDumpSink_ = *outcome.completedDump;
    else if (outcome.completedDump)
        GetConfig(*outcome.completedDump);
}

// ---------------------------------------------------------------- log lines

void TFormMain::SerialPortSend(TSerialPort*, const QByteArray& Buffer) {
    qCInfo(lcLink).noquote() << "sent:" << FromCp1252(TSerialPort::ReplaceControlChars(Buffer));
    if (TrafficLogShown())
        AppendTrafficLog(TrafficLog::SentLine(
            QTime::currentTime(), FromCp1252(TSerialPort::ReplaceControlChars(Buffer))));
}

void TFormMain::SerialPortConnect(TSerialPort* Sender, TCommPort Port) {
    // A new connection may be another GCU or the same one after an update: it
    // announces itself again and nothing from the last connection is pending.
    linkRouter_.ResetForConnection();
    SyncLinkGlobals();
    announcedFirmware_.clear();
    liveSession_->LinkOpened();
    if (restorePoints_)
        restorePoints_->LinkOpened();
    qCInfo(lcLink).noquote() << "connected to" << FromCp1252(Sender->CommPortToString(Port));
    AppendTrafficLog(TrafficLog::ConnectedLine(QTime::currentTime(),
                                               FromCp1252(Sender->CommPortToString(Port))));
}

void TFormMain::SerialPortDisconnect(TSerialPort* Sender, TCommPort Port) {
    // A wait in progress ends now instead of running into its time limit, and
    // knows that the link, not the GCU, failed it.
    linkRouter_.LoseLink();
    SyncLinkGlobals();
    qCInfo(lcLink).noquote() << "disconnected from" << FromCp1252(Sender->CommPortToString(Port));
    AppendTrafficLog(TrafficLog::DisconnectedLine(QTime::currentTime(),
                                                  FromCp1252(Sender->CommPortToString(Port))));
    // The port closed by itself (adapter pulled, fault). The window follows
    // once this event is over: the receive thread that reports it is still
    // waiting for the handler and must end before the port is closed for good.
    if (!closingLink_)
        PostReported(this, [this] { LinkLost(); });
}

// ---------------------------------------------------------------- manual command

void TFormMain::BSendClick(QObject*) {
    SendFrame(DeviceFrames::ManualCommand(Control<TEdit>(QStringLiteral("EditCMD")).Text()));
}
