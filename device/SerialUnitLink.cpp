#include "device/SerialUnitLink.h"

#include "device/DeviceFrames.h"
#include "device/LinkLogging.h"
#include "serial/PortListing.h"
#include "serial/SerialPort.h"
#include "util/UnitUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTime>
#include <QTimer>

SerialUnitLink::SerialUnitLink(UnitSession& session, QObject* parent)
    : QObject(parent), session_(session), port_(std::make_unique<TSerialPort>()) {
    // The settings the window's serial object has.
    port_->SetBaudRate(TSerialPort::IntToBaudRate(115200));
    port_->SetNewLine(InsertControlChars("[CR][LF]"));
    port_->SetPacketSize(0);
    port_->SetNeedSynchronization(true);
    session_.SetSender([this](const QByteArray& frame) {
        try {
            qCInfo(lcLink).noquote()
                << "sent:" << FromCp1252(TSerialPort::ReplaceControlChars(frame));
            port_->SendString(frame);
        } catch (const ESerialPortException& refused) {
            // Frames go out only while the link is open: it went by itself.
            throw ELinkGone(refused.Message());
        }
    });
    port_->OnReceive = [this](TSerialPort*, const QByteArray& buffer) { Received(buffer); };
    // A new connection may be another unit, or the same one after an update:
    // it announces itself again and nothing of the last connection is pending.
    port_->OnConnect = [this](TSerialPort*, TCommPort) { session_.LinkOpened(identity_); };
    port_->OnDisconnect = [this](TSerialPort*, TCommPort) {
        if (session_.LinkClosed())
            lost_ = true;
        qCInfo(lcLink) << (lost_ ? "link lost" : "link closed");
    };
}

SerialUnitLink::~SerialUnitLink() {
    Close();
    port_->OnReceive = nullptr;
    port_->OnConnect = nullptr;
    port_->OnDisconnect = nullptr;
}

bool SerialUnitLink::Open(const QString& path) {
    const QByteArray portName = path.toLocal8Bit();
    if (portName.isEmpty())
        return false;
    // Device paths are custom names: the name first, then the port that uses it.
    port_->SetCustomPortName(portName);
    port_->SetPort(TSerialPort::StringToCommPort(portName));
    const TAdapterIdentity adapter = AdapterIdentityOf(path);
    identity_ = UnitLinkIdentity{adapter.path.isEmpty() ? path : adapter.path, adapter.usbSerial,
                                 adapter.vendorProduct};
    announced_ = false;
    announcement_.clear();
    lost_ = false;
    if (!port_->Open())
        return false;
    qCInfo(lcLink) << "link open on" << path << "serial" << adapter.usbSerial;
    return true;
}

void SerialUnitLink::Close() {
    if (session_.Router().Request() == RequestId::Live)
        session_.Router().EndLive();
    if (session_.LinkOpen())
        session_.BeginClosing();
    // Also after a loss: it ends what is left of the connection.
    port_->Close();
}

bool SerialUnitLink::IsOpen() const {
    return port_->IsConnected() && !lost_;
}

void SerialUnitLink::Received(const QByteArray& piece) {
    if (piece.isEmpty())
        return;
    const ReceiveOutcome outcome =
        session_.Receive(piece, QTime::currentTime(), false, port_->ReceivedArrivals());
    qCInfo(outcome.reachedLive ? lcLinkStatus() : lcLink()).noquote()
        << "received:" << FromCp1252(TSerialPort::ReplaceControlChars(piece));
    if (outcome.announcement) {
        announced_ = true;
        announcement_.clear();
    }
    // The announcement's text, until the firmware version came with it.
    if (announced_ &&
        (outcome.announcement || !outcome.firmwareVersion.isEmpty() ||
         session_.AnnouncedFirmware().isEmpty()) &&
        announcement_.size() < 1024)
        announcement_ += outcome.text;
    if (liveLine)
        for (qsizetype i = 0; i < outcome.liveLines.size(); ++i)
            liveLine(outcome.liveLines[i], outcome.liveArrivals[size_t(i)]);
}

bool SerialUnitLink::AwaitAnnouncement(std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    while (!announced_ && IsOpen() && clock.elapsed() < limit.count()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return announced_;
}

QStringList SerialUnitLink::AnnouncementLines() const {
    QStringList lines;
    for (const QString& line : announcement_.split(u'\n'))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    return lines;
}

void SerialUnitLink::RunFor(std::chrono::milliseconds span, const std::function<bool()>& stop) {
    QElapsedTimer clock;
    clock.start();
    while (IsOpen() && clock.elapsed() < span.count() && !(stop && stop())) {
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(20, span.count() - clock.elapsed()), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
}
