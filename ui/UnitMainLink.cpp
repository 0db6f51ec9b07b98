// The device link in the window: the serial-port object's events, the receive
// handler with the traffic log and the start-up announcement, sending frames,
// and the manual command line of the Commands page.
#include "device/DeviceFrames.h"
#include "device/LinkLogging.h"
#include "device/TrafficLog.h"
#include "model/LiveSession.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QApplication>

namespace {
// A received-text handler must not end the receive thread's hand-over with an
// error: no message is shown, as the serial-port object would show none, but
// the error is kept in the link's log with what the handler was doing.
template <class Call> void Discarding(const char* what, Call&& call) {
    try {
        call();
    } catch (const QvException& error) {
        qCWarning(lcLink).noquote() << what << "failed:" << error.Message();
    } catch (const std::exception& error) {
        qCWarning(lcLink).noquote() << what << "failed:" << error.what();
    } catch (...) {
        qCWarning(lcLink).noquote() << what << "failed";
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

void TFormMain::SetLinkLimits(const LinkExchange::Limits& limits) {
    Session.SetLimits(limits);
}

TFormMain::RequestGlobal& TFormMain::RequestGlobal::operator=(int requestId) {
    const bool liveWanted = requestId == RequestId::Live;
    const bool liveRouted = router_.Request() == RequestId::Live;
    if (liveWanted && !liveRouted)
        router_.BeginLive();
    else if (!liveWanted && liveRouted)
        router_.EndLive();
    return *this;
}

void TFormMain::WireSerialPortEvents() {
    Session.Waiter().SetBusyIndicator(HourglassIndicator());
    Session.SetSender([this](const QByteArray& frame) { SendLinkFrame(frame); });
    Control<TMemo>(QStringLiteral("Memo")).setMaximumBlockCount(TrafficLog::MaxLines);
    SerialPort->OnReceive = [this](TSerialPort* sender, const QByteArray& buffer) {
        Discarding("handling received text", [&] { SerialPortReceive(sender, buffer); });
    };
    // The port object reports a send from inside SendString; an error here
    // would read as a failed send, so the log line never raises.
    SerialPort->OnSend = [this](TSerialPort* sender, const QByteArray& buffer) {
        Discarding("logging sent text", [&] { SerialPortSend(sender, buffer); });
    };
    SerialPort->OnConnect = [this](TSerialPort* sender, TCommPort port) {
        Discarding("opening the link", [&] { SerialPortConnect(sender, port); });
    };
    SerialPort->OnDisconnect = [this](TSerialPort* sender, TCommPort port) {
        Discarding("closing the link", [&] { SerialPortDisconnect(sender, port); });
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

// A piece goes to the session's router. Announcement and live lines are
// shown here; an awaited answer (a dump, a learned value) goes to the request
// that waits for it.
void TFormMain::SerialPortReceive(TSerialPort*, const QByteArray& Buffer) {
    if (Buffer.isEmpty())
        return;
    // Lines are timed by when their bytes arrived, not by when they are handled.
    const ReceiveOutcome outcome = Session.Receive(Buffer, QTime::currentTime(), TrafficLogShown(),
                                                   SerialPort->ReceivedArrivals());
    // A piece of the live stream alone goes to the status lines' own category.
    const bool statusOnly = outcome.reachedLive && !outcome.announcement &&
                            !outcome.completedDump && !outcome.answerCompleted;
    const QLoggingCategory& category = statusOnly ? lcLinkStatus() : lcLink();
    if (category.isInfoEnabled())
        qCInfo(category).noquote()
            << "received:" << FromCp1252(TSerialPort::ReplaceControlChars(Buffer));
    if (!outcome.logLine.isEmpty())
        Control<TMemo>(QStringLiteral("Memo")).Append(outcome.logLine);
    if (outcome.announcement || !outcome.firmwareVersion.isEmpty())
        Control<TLabel>(QStringLiteral("LFirmwareVersion")).SetCaption(outcome.firmwareVersion);
    if (outcome.announcement)
        TimerConnection->SetEnabled(true);
    for (qsizetype i = 0; i < outcome.liveLines.size(); ++i)
        GetLive(outcome.liveLines[i], outcome.liveArrivals[size_t(i)]);
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
    Session.LinkOpened(
        UnitLinkIdentity{linkAdapter_.path, linkAdapter_.usbSerial, linkAdapter_.vendorProduct});
    qCInfo(lcLink).noquote() << "connected to" << FromCp1252(Sender->CommPortToString(Port));
    AppendTrafficLog(TrafficLog::ConnectedLine(QTime::currentTime(),
                                               FromCp1252(Sender->CommPortToString(Port))));
}

void TFormMain::SerialPortDisconnect(TSerialPort* Sender, TCommPort Port) {
    // A wait in progress ends now, and knows that the link, not the GCU,
    // failed it. Only a link the program did not close itself is lost.
    const bool lost = Session.LinkClosed();
    qCInfo(lcLink).noquote() << "disconnected from" << FromCp1252(Sender->CommPortToString(Port));
    AppendTrafficLog(TrafficLog::DisconnectedLine(QTime::currentTime(),
                                                  FromCp1252(Sender->CommPortToString(Port))));
    // The port closed by itself (adapter pulled, fault). The window follows
    // once this event is over: the receive thread that reports it is still
    // waiting for the handler and must end before the port is closed for good.
    if (lost)
        PostReported(this, [this] { LinkLost(); });
}

// ---------------------------------------------------------------- manual command

void TFormMain::BSendClick(QObject*) {
    SendFrame(DeviceFrames::ManualCommand(Control<TEdit>(QStringLiteral("EditCMD")).Text()));
}
