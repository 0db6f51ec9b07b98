#include "serial/SerialPort.h"
#include "serial/SerialLogging.h"

#include <cstring>

#include "serial/PortListing.h"
#include "serial/SerialDevice.h"
#include "serial/SerialThreads.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kBaudRates[] = {75,     110,    134,    150,    300,    600,   1200,  1800,
                              2400,   4800,   7200,   9600,   14400,  19200, 38400, 57600,
                              115200, 128000, 230400, 256000, 460800, 921600};

const QEvent::Type kDispatchEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

const char* const kDataWidthStopBitsText = "Invalid data-width and stop-bits combination.";

// Runs a handler from a thread; a failing handler must not end the thread.
template <typename F> void RunGuarded(F&& f) {
    try {
        f();
    } catch (...) {
    }
}

QByteArray Trimmed(const QByteArray& text) {
    return text.trimmed();
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

TSerialPort::TSerialPort(QObject* AOwner) : QObject(AOwner) {
    InitSyncCommunicationParams();
}

// Ends every thread before the object goes: pending events are dropped, and a
// thread started meanwhile (by the reconnect thread) is caught by the next round.
TSerialPort::~TSerialPort() {
    {
        std::lock_guard<std::mutex> lock(FDispatchLock);
        FDestroying = true;
    }
    FDispatchChanged.notify_all();
    FAutoReconnect = false;
    for (;;) {
        std::vector<std::shared_ptr<TWorkerThread>> threads;
        {
            std::lock_guard<std::mutex> lock(FThreadLock);
            threads.insert(threads.end(), FComThreads.begin(), FComThreads.end());
            threads.insert(threads.end(), FReconnectThreads.begin(), FReconnectThreads.end());
            threads.insert(threads.end(), FSenderThreads.begin(), FSenderThreads.end());
            FComThreads.clear();
            FReconnectThreads.clear();
            FSenderThreads.clear();
        }
        if (threads.empty())
            break;
        for (const auto& t : threads)
            t->RequestStop();
        for (const auto& t : threads)
            t->Join();
    }
    std::lock_guard<std::mutex> lock(FThreadLock);
    ComThread.reset();
    ReconnectThread.reset();
}

// ---------------------------------------------------------------------------
// Port identifier and rate table

TCommPort TSerialPort::StringToCommPort(const QByteArray& Port) {
    const QByteArray name = Trimmed(Port).toUpper();
    if (name.isEmpty())
        return spNone;
    if (name.startsWith("COM") && name.size() <= 6) {
        const QByteArray digits = name.mid(3);
        bool ok = false;
        const int n = digits.toInt(&ok);
        if (ok && n >= 1 && n <= 254 && QByteArray::number(n) == digits)
            return static_cast<TCommPort>(n);
    }
    return spCustom;
}

QByteArray TSerialPort::CommPortToString(TCommPort Port) const {
    if (Port == spNone)
        return {};
    if (Port == spCustom) {
        const QByteArray custom = CustomPortName();
        return Trimmed(custom).isEmpty() ? QByteArray("vcom1") : custom;
    }
    return "COM" + QByteArray::number(static_cast<int>(Port));
}

TBaudRate TSerialPort::IntToBaudRate(int Value) {
    for (int i = 0; i < int(std::size(kBaudRates)); ++i)
        if (kBaudRates[i] == Value)
            return static_cast<TBaudRate>(i);
    return brCustom;
}

int TSerialPort::BaudRateToInt(TBaudRate pBaudRate) const {
    if (pBaudRate < brCustom)
        return kBaudRates[pBaudRate];
    return FCustomBaudRate;
}

// ---------------------------------------------------------------------------
// Properties

TCommPort TSerialPort::GetCommPort() const {
    return StringToCommPort(PortName());
}

void TSerialPort::SetCommPort(TCommPort Value) {
    if (Value == GetCommPort())
        return;
    const QByteArray name = CommPortToString(Value);
    std::lock_guard<std::mutex> lock(FSettingsLock);
    FPort = name;
}

QByteArray TSerialPort::PortName() const {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    return FPort;
}

QByteArray TSerialPort::CustomPortName() const {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    return FCustomPortName;
}

void TSerialPort::SetCustomPortName(const QByteArray& Value) {
    const bool portIsCustom = GetCommPort() == spCustom;
    std::lock_guard<std::mutex> lock(FSettingsLock);
    FCustomPortName = Trimmed(Value);
    if (portIsCustom)
        FPort = FCustomPortName;
}

TBaudRate TSerialPort::GetBaudRate() const {
    return IntToBaudRate(FBaudRate);
}

void TSerialPort::SetBaudRate(TBaudRate Value) {
    {
        std::lock_guard<std::mutex> lock(FSettingsLock);
        FBaudRate = BaudRateToInt(Value);
    }
    ApplySettingsWhenOpen();
}

void TSerialPort::SetCustomBaudRate(int Value) {
    {
        std::lock_guard<std::mutex> lock(FSettingsLock);
        FCustomBaudRate = Value;
        if (IntToBaudRate(FBaudRate) != brCustom)
            return;
        FBaudRate = Value;
    }
    ApplySettingsWhenOpen();
}

TDataWidth TSerialPort::GetDataWidth() const {
    switch (FDataWidth) {
    case 5:
        return dw5Bits;
    case 6:
        return dw6Bits;
    case 7:
        return dw7Bits;
    default:
        return dw8Bits;
    }
}

void TSerialPort::SetDataWidth(TDataWidth Value) {
    if ((Value == dw5Bits && FStopBits == 2) || (Value != dw5Bits && FStopBits == 1))
        throw ESerialPortException(QString::fromLatin1(kDataWidthStopBitsText));
    {
        std::lock_guard<std::mutex> lock(FSettingsLock);
        FDataWidth = static_cast<uint8_t>(5 + std::min<int>(Value, dw8Bits));
    }
    ApplySettingsWhenOpen();
}

TStopBits TSerialPort::GetStopBits() const {
    switch (FStopBits) {
    case 1:
        return sb1_5Bits;
    case 2:
        return sb2Bits;
    default:
        return sb1Bit;
    }
}

void TSerialPort::SetStopBits(TStopBits Value) {
    uint8_t code = 0;
    if (Value == sb1_5Bits) {
        if (FDataWidth >= 6 && FDataWidth <= 8)
            throw ESerialPortException(QString::fromLatin1(kDataWidthStopBitsText));
        code = 1;
    } else if (Value == sb2Bits) {
        if (FDataWidth == 5)
            throw ESerialPortException(QString::fromLatin1(kDataWidthStopBitsText));
        code = 2;
    }
    {
        std::lock_guard<std::mutex> lock(FSettingsLock);
        FStopBits = code;
    }
    ApplySettingsWhenOpen();
}

TParityBits TSerialPort::GetParity() const {
    return FParity >= 1 && FParity <= 4 ? static_cast<TParityBits>(FParity) : pbNone;
}

void TSerialPort::SetParity(TParityBits Value) {
    {
        std::lock_guard<std::mutex> lock(FSettingsLock);
        FParity = static_cast<uint8_t>(Value);
    }
    ApplySettingsWhenOpen();
}

// Stores a setting; applies the settings to an open device when it changed.
template <typename T> void TSerialPort::StoreSetting(T& field, T value, bool onlyWhenChanged) {
    {
        std::lock_guard<std::mutex> lock(FSettingsLock);
        if (onlyWhenChanged && field == value)
            return;
        field = value;
    }
    ApplySettingsWhenOpen();
}

void TSerialPort::SetEnableDTROnOpen(bool Value) {
    StoreSetting(FEnableDTROnOpen, Value, true);
}
void TSerialPort::SetEnableRTSOnOpen(bool Value) {
    StoreSetting(FEnableRTSOnOpen, Value, true);
}
void TSerialPort::SetHwFlowControl(THwFlowControl Value) {
    StoreSetting(FHwFlowControl, Value, true);
}
void TSerialPort::SetSwFlowControl(TSwFlowControl Value) {
    StoreSetting(FSwFlowControl, Value, true);
}
void TSerialPort::SetXonChar(char Value) {
    StoreSetting(FXonChar, Value, true);
}
void TSerialPort::SetXoffChar(char Value) {
    StoreSetting(FXoffChar, Value, true);
}
void TSerialPort::SetXonLim(uint16_t Value) {
    StoreSetting(FXonLim, Value, true);
}
void TSerialPort::SetXoffLim(uint16_t Value) {
    StoreSetting(FXoffLim, Value, true);
}
void TSerialPort::SetParityCheck(bool Value) {
    StoreSetting(FParityCheck, Value, true);
}
void TSerialPort::SetTXContinueOnXoff(bool Value) {
    StoreSetting(FTXContinueOnXoff, Value, true);
}
void TSerialPort::SetErrorChar(char Value) {
    StoreSetting(FErrorChar, Value, true);
}
void TSerialPort::SetEofChar(char Value) {
    StoreSetting(FEofChar, Value, true);
}
void TSerialPort::SetEvtChar(char Value) {
    StoreSetting(FEvtChar, Value, true);
}

void TSerialPort::SetReplaceParityErrors(bool Value) {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    FReplaceParityErrors = Value;
}

void TSerialPort::SetDiscardNulls(bool Value) {
    if (FDiscardNulls.exchange(Value) != Value)
        ApplySettingsWhenOpen();
}

void TSerialPort::SetDsrSensitivity(bool Value) {
    if (FDsrSensitivity.exchange(Value) != Value)
        ApplySettingsWhenOpen();
}

void TSerialPort::SetInputBuffer(uint32_t Value) {
    if (FInputBuffer.exchange(Value) != Value && CurrentComThread())
        SetBuffers();
}

void TSerialPort::SetOutputBuffer(uint32_t Value) {
    if (FOutputBuffer.exchange(Value) != Value && CurrentComThread())
        SetBuffers();
}

// Linux's normal scheduler gives threads of ordinary users no priorities; the
// value is kept for the settings' sake.
void TSerialPort::SetPriority(TThreadPriority Value) {
    FPriority = Value;
}

QString TSerialPort::LogFile() const {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    return FLogFile;
}

void TSerialPort::SetLogFile(const QString& Value) {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    FLogFile = Value;
}

void TSerialPort::SetAutoReceive(bool Value) {
    if (FAutoReceive.exchange(Value) != Value)
        InitSyncCommunicationParams();
}

QByteArray TSerialPort::NewLine() const {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    return FNewLine;
}

void TSerialPort::SetNewLine(const QByteArray& Value) {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    FNewLine = Value;
}

const ArrivalMarks& TSerialPort::ReceivedArrivals() const {
    static const ArrivalMarks none;
    return FReceivedArrivals ? *FReceivedArrivals : none;
}

QDateTime TSerialPort::LastTimeReceived() const {
    std::lock_guard<std::mutex> lock(FDataLock);
    return FLastTimeReceived;
}

QDateTime TSerialPort::ConnectionTime() const {
    std::lock_guard<std::mutex> lock(FDataLock);
    return FConnectionTime;
}

void TSerialPort::ApplySettingsWhenOpen() {
    if (CurrentComThread())
        SetDCBState();
}

TLineSettings TSerialPort::BuildLineSettings() const {
    std::lock_guard<std::mutex> lock(FSettingsLock);
    TLineSettings s;
    s.baudRate = FBaudRate;
    s.byteSize = FDataWidth;
    s.parity = FParity;
    s.stopBits = FStopBits;
    s.dtrActive = FEnableDTROnOpen;
    s.rtsActive = FEnableRTSOnOpen;
    s.outxDsrFlow = s.dtrHandshake = FHwFlowControl == hfDTRDSR;
    s.outxCtsFlow = s.rtsHandshake = FHwFlowControl == hfRTSCTS;
    s.outX = s.inX = FSwFlowControl == sfXONXOFF;
    s.xonChar = FXonChar;
    s.xoffChar = FXoffChar;
    s.xonLim = FXonLim > 0 ? FXonLim : static_cast<uint16_t>(FInputBuffer / 4);
    s.xoffLim = FXoffLim;
    s.parityCheck = FParityCheck;
    s.replaceParityErrors = FReplaceParityErrors;
    s.discardNulls = FDiscardNulls;
    s.dsrSensitivity = FDsrSensitivity;
    s.txContinueOnXoff = FTXContinueOnXoff;
    s.errorChar = FErrorChar;
    s.eofChar = FEofChar;
    s.evtChar = FEvtChar;
    return s;
}

// ---------------------------------------------------------------------------
// Event hand-over to the owning thread

bool TSerialPort::OnOwnerThread() const {
    return QThread::currentThread() == thread();
}

void TSerialPort::Dispatch(const std::function<void()>& call, const TReadWhileWaiting* reading) {
    if (FDestroying)
        return;
    if (!FNeedSynchronization || OnOwnerThread()) {
        RunGuarded(call);
        return;
    }
    auto item = std::make_shared<TDispatchCall>();
    item->call = call;
    if (reading)
        item->doneHandle = reading->doneHandle;
    {
        std::lock_guard<std::mutex> lock(FDispatchLock);
        FDispatchQueue.push_back(item);
    }
    FDispatchChanged.notify_all();
    QCoreApplication::postEvent(this, new QEvent(kDispatchEvent));
    if (reading && reading->doneHandle >= 0) {
        AwaitDispatch(item, *reading);
        return;
    }
    std::unique_lock<std::mutex> lock(FDispatchLock);
    FDispatchChanged.wait(lock, [&] { return item->done || FDestroying; });
}

// Waits for the call as Dispatch does, reading the device meanwhile. The
// done handle wakes the wait; the slice bounds it, so that the object's end
// (which wakes only the condition) is seen too.
void TSerialPort::AwaitDispatch(const std::shared_ptr<TDispatchCall>& item,
                                const TReadWhileWaiting& reading) {
    constexpr std::chrono::milliseconds kWaitSlice{50};
    int device = reading.device;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(FDispatchLock);
            if (item->done || FDestroying)
                return;
        }
        switch (SerialDevice::WaitForInput(device, reading.doneHandle, kWaitSlice)) {
        case SerialDevice::TInputWait::Woken: {
            uint64_t count = 0;
            [[maybe_unused]] const auto n = ::read(reading.doneHandle, &count, sizeof count);
            break;
        }
        case SerialDevice::TInputWait::Readable:
            if (!reading.read())
                device = -1;
            break;
        case SerialDevice::TInputWait::Lost:
            device = -1; // the receive loop finds out once the call has run
            break;
        case SerialDevice::TInputWait::TimedOut:
            break;
        }
    }
}

void TSerialPort::RunPendingDispatches() {
    for (;;) {
        std::shared_ptr<TDispatchCall> item;
        {
            std::lock_guard<std::mutex> lock(FDispatchLock);
            if (FDispatchQueue.empty())
                return;
            item = FDispatchQueue.front();
            FDispatchQueue.pop_front();
        }
        if (!FDestroying)
            RunGuarded(item->call);
        {
            // The handle is signalled under the lock: once the waiting thread
            // sees the call done, it may end and close its handle.
            std::lock_guard<std::mutex> lock(FDispatchLock);
            item->done = true;
            if (item->doneHandle >= 0) {
                const uint64_t one = 1;
                [[maybe_unused]] const auto n = ::write(item->doneHandle, &one, sizeof one);
            }
        }
        FDispatchChanged.notify_all();
    }
}

bool TSerialPort::event(QEvent* e) {
    if (e->type() == kDispatchEvent) {
        RunPendingDispatches();
        return true;
    }
    return QObject::event(e);
}

// ---------------------------------------------------------------------------
// Threads

// The name of the port that ConnectedTo stands for, also while it is closing.
QByteArray TSerialPort::ConnectedPortName() const {
    std::lock_guard<std::mutex> lock(FThreadLock);
    for (const auto& thread : FComThreads)
        if (thread->Number() == FConnectionNumber)
            return thread->PortName();
    return {};
}

std::shared_ptr<TComThread> TSerialPort::CurrentComThread() const {
    std::lock_guard<std::mutex> lock(FThreadLock);
    return ComThread;
}

bool TSerialPort::WithDevice(const std::function<void(int fd)>& use) const {
    const auto thread = CurrentComThread();
    if (!thread)
        return false;
    std::shared_lock<std::shared_mutex> lock(thread->DeviceLock);
    const int fd = thread->GetPortHandle();
    if (fd < 0)
        return false;
    use(fd);
    return true;
}

// Waits for a receive thread to end; on the owning thread it runs the thread's
// events meanwhile, so that OnDisconnect normally runs inside Close.
void TSerialPort::WaitForThreadEnd(const std::shared_ptr<TComThread>& thread, uint32_t budgetMs) {
    // Nothing to wait for on the thread itself, nor on the thread that opened it
    // and starts it only after OnConnect.
    if (thread->IsCurrentThread() || (!thread->Started() && thread->OpenedOnCurrentThread()))
        return;
    const bool onOwner = OnOwnerThread();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
    std::unique_lock<std::mutex> lock(FDispatchLock);
    while (!thread->Ended() && !FDestroying) {
        if (onOwner && !FDispatchQueue.empty()) {
            lock.unlock();
            RunPendingDispatches();
            lock.lock();
            continue;
        }
        if (FDispatchChanged.wait_until(lock, deadline) == std::cv_status::timeout)
            break;
    }
}

// Joins the threads that have ended; they free themselves here.
void TSerialPort::ReapEndedThreads() {
    std::vector<std::shared_ptr<TWorkerThread>> ended;
    {
        std::lock_guard<std::mutex> lock(FThreadLock);
        auto take = [&](auto& list) {
            for (auto it = list.begin(); it != list.end();) {
                if ((*it)->Ended() && !(*it)->IsCurrentThread()) {
                    ended.push_back(*it);
                    it = list.erase(it);
                } else {
                    ++it;
                }
            }
        };
        take(FComThreads);
        take(FReconnectThreads);
        take(FSenderThreads);
    }
    for (const auto& t : ended)
        t->Join();
}

void TSerialPort::StopReconnectThread() {
    std::shared_ptr<TReconnectThread> reconnect;
    {
        std::lock_guard<std::mutex> lock(FThreadLock);
        if (!ReconnectThread || ReconnectThread->IsCurrentThread())
            return;
        reconnect = std::move(ReconnectThread);
    }
    reconnect->RequestStop();
}

void TSerialPort::StartReconnectThread() {
    if (FDestroying || !FAutoReconnect || !FIsFaulted)
        return;
    std::lock_guard<std::mutex> lock(FThreadLock);
    if (ReconnectThread)
        return;
    ReconnectThread = std::make_shared<TReconnectThread>(this);
    FReconnectThreads.push_back(ReconnectThread);
    ReconnectThread->Start();
}

// ---------------------------------------------------------------------------
// Open and close

bool TSerialPort::Open() {
    if (FDestroying)
        return false;
    FIdleTimeout = 0;
    const QByteArray portName = PortName();
    const TCommPort portId = StringToCommPort(portName);
    // Every device path is a custom name: only the same path is the same port.
    if (portId == FConnectedTo &&
        (portId != spCustom || ConnectedPortName().compare(portName, Qt::CaseInsensitive) == 0))
        return false;
    if (!FSkipSetupFailed && !IsExistingCommPort(CommPortToString(portId)))
        return false;
    StopReconnectThread();
    if (CurrentComThread())
        Close();
    FIdleWasFired = false;
    InitSyncCommunicationParams();
    ReapEndedThreads();

    auto thread = std::make_shared<TComThread>(this, ++FConnectionNumber, portName);
    {
        std::lock_guard<std::mutex> lock(FThreadLock);
        FConnectedTo = spNone;
        ComThread = thread;
        FComThreads.push_back(thread);
    }
    int error = 0;
    if (!thread->Connect(error)) {
        {
            std::lock_guard<std::mutex> lock(FThreadLock);
            if (ComThread == thread)
                ComThread.reset();
            FComThreads.erase(std::remove(FComThreads.begin(), FComThreads.end(), thread),
                              FComThreads.end());
        }
        Close();
        qCInfo(lcSerial) << "open of" << portName << "refused:" << std::strerror(error);
        throw ESerialPortException(QStringLiteral("Cannot connect to %1. %2")
                                       .arg(QString::fromLocal8Bit(portName),
                                            SerialDevice::OpenErrorText(error, portName)),
                                   error);
    }
    thread->Setup();
    FIsFaulted = false;
    if (!thread->StopRequested()) {
        std::lock_guard<std::mutex> lock(FDataLock);
        FConnectionTime = QDateTime::currentDateTime();
    }
    {
        std::lock_guard<std::mutex> lock(FThreadLock);
        if (ReconnectThread && ReconnectThread->IsCurrentThread())
            ReconnectThread.reset();
    }
    thread->AnnounceConnect();
    {
        std::lock_guard<std::mutex> lock(FThreadLock);
        if (!FDestroying)
            thread->Start();
    }
    // A refused setting or a handler of OnConnect may have closed it again.
    qCInfo(lcSerial) << "opened" << portName << "at" << FBaudRate << "bit/s";
    return !thread->StopRequested();
}

void TSerialPort::Close() {
    qCDebug(lcSerial) << "close" << PortName();
    InitSyncCommunicationParams();
    FIdleWasFired = false;
    {
        std::lock_guard<std::mutex> lock(FDataLock);
        FConnectionTime = QDateTime();
    }
    std::shared_ptr<TComThread> thread;
    {
        std::lock_guard<std::mutex> lock(FThreadLock);
        thread = std::move(ComThread);
        ComThread.reset();
        if (!thread) {
            // A connection still ending is forgotten: no OnDisconnect for it.
            FConnectedTo = spNone;
            for (const auto& t : FComThreads)
                if (!t->IsCurrentThread())
                    t->Abandon();
        }
    }
    if (thread) {
        thread->RequestStop();
        WaitForThreadEnd(thread, FDelay / 2 + 19 * 5);
        FLineStatus = 0;
    }
    ReapEndedThreads();
}

// ---------------------------------------------------------------------------
// Sending

QByteArray TSerialPort::NotOpenText() const {
    return PortName() + " is not open. Serial port is not connected.";
}

uint32_t TSerialPort::SendString(const QByteArray& text) {
    const qsizetype nul = text.indexOf('\0');
    return SendBytes(nul < 0 ? text : text.left(nul), true);
}

uint32_t TSerialPort::SendData(const char* Data, uint32_t dataSize) {
    return SendBytes(QByteArray(Data, static_cast<qsizetype>(dataSize)), false);
}

// One write of the bytes, bounded by the write timeouts applied at open. The
// unplug check follows a write that wrote nothing, and in string mode also a
// write that nobody is told about.
uint32_t TSerialPort::SendBytes(const QByteArray& bytes, bool stringMode) {
    const auto thread = CurrentComThread();
    if (!thread || thread->GetPortHandle() < 0)
        throw ESerialPortException(QString::fromLocal8Bit(NotOpenText()));
    long written = -1;
    try {
        FIsSending = true;
        const uint32_t timeout =
            thread->WriteTimeoutConstant +
            thread->WriteTimeoutMultiplier * static_cast<uint32_t>(bytes.size());
        const bool open = WithDevice([&](int fd) {
            written = bytes.isEmpty() ? 0
                                      : SerialDevice::WriteBounded(fd, bytes.constData(),
                                                                   bytes.size(), timeout);
        });
        FIsSending = false;
        if (!open || written < 0)
            throw ESerialPortException(QString::fromLocal8Bit(NotOpenText()));
        if (written > 0 && OnSend && !FDestroying)
            OnSend(this, bytes.left(written));
        else if (stringMode || written == 0)
            CheckIfUnplugged();
    } catch (...) {
        FIsSending = false;
        CheckIfUnplugged();
        throw ESerialPortException(QString::fromLocal8Bit(NotOpenText()));
    }
    return static_cast<uint32_t>(written);
}

uint32_t TSerialPort::SendStringLine(const QByteArray& text) {
    return SendString(text + NewLine());
}

uint32_t TSerialPort::SendChars(const QByteArray& text) {
    if (text.isEmpty())
        return 0;
    return SendData(text.constData(), static_cast<uint32_t>(text.size()));
}

uint32_t TSerialPort::SendCharsLine(const QByteArray& text) {
    return SendChars(text + NewLine());
}

uint32_t TSerialPort::SendByte(uint8_t number) {
    const char c = static_cast<char>(number);
    return SendData(&c, 1);
}

uint32_t TSerialPort::SendChar(char character) {
    return SendData(&character, 1);
}

uint32_t TSerialPort::SendWord(uint16_t number) {
    const char bytes[2] = {static_cast<char>(number & 0xFF), static_cast<char>(number >> 8)};
    return SendData(bytes, 2);
}

void TSerialPort::SendStringOnNewThread(const QByteArray& text) {
    ReapEndedThreads();
    std::lock_guard<std::mutex> lock(FThreadLock);
    if (FDestroying)
        return;
    auto sender = std::make_shared<TSenderThread>(this, text, 0);
    FSenderThreads.push_back(sender);
    sender->Start();
}

void TSerialPort::SendCharsOnNewThread(const QByteArray& text) {
    ReapEndedThreads();
    std::lock_guard<std::mutex> lock(FThreadLock);
    if (FDestroying)
        return;
    auto sender = std::make_shared<TSenderThread>(this, text, 1);
    FSenderThreads.push_back(sender);
    sender->Start();
}

// ---------------------------------------------------------------------------
// Device settings and lines

bool TSerialPort::SetDCBState() {
    const auto thread = CurrentComThread();
    if (!thread || thread->GetPortHandle() < 0)
        return false;
    try {
        ClearInputBuffer();
        const TLineSettings settings = BuildLineSettings();
        bool applied = false;
        const bool open =
            WithDevice([&](int fd) { applied = SerialDevice::ApplyLineSettings(fd, settings); });
        if (open && applied) {
            thread->AppliedRate = settings.baudRate;
            return true;
        }
        Close();
        return false;
    } catch (...) {
        return false;
    }
}

// Reads return at once by the termios settings of the device; the write bounds
// are taken by the connection for its writes.
bool TSerialPort::SetTimeouts() {
    const auto thread = CurrentComThread();
    if (!thread || thread->GetPortHandle() < 0)
        return false;
    thread->WriteTimeoutMultiplier = FWriteTotalTimeoutMultiplier.load();
    thread->WriteTimeoutConstant = FWriteTotalTimeoutConstant.load();
    return true;
}

// A tty's queues have fixed sizes; the request is advisory and always granted.
bool TSerialPort::SetBuffers() {
    const auto thread = CurrentComThread();
    return thread && thread->GetPortHandle() >= 0;
}

TLineStatusSet TSerialPort::GetLineStatus(int handle) const {
    uint8_t lines = 0;
    if (handle < 0 || !SerialDevice::ModemLinesIn(handle, lines))
        return 0;
    return lines;
}

bool TSerialPort::SetDTR(bool OnOff) {
    bool ok = false;
    return WithDevice([&](int fd) { ok = SerialDevice::SetDtr(fd, OnOff); }) && ok;
}

bool TSerialPort::SetRTS(bool OnOff) {
    bool ok = false;
    return WithDevice([&](int fd) { ok = SerialDevice::SetRts(fd, OnOff); }) && ok;
}

bool TSerialPort::SetBreak(bool OnOff) {
    bool ok = false;
    return WithDevice([&](int fd) { ok = SerialDevice::SetBreak(fd, OnOff); }) && ok;
}

bool TSerialPort::SetXonXoff(bool OnOff) {
    bool ok = false;
    return WithDevice([&](int fd) { ok = SerialDevice::SimulateXonXoff(fd, OnOff); }) && ok;
}

bool TSerialPort::GetCTS() {
    const auto thread = CurrentComThread();
    return thread && LineStatusHas(GetLineStatus(thread->GetPortHandle()), lsCTS);
}

bool TSerialPort::GetDSR() {
    const auto thread = CurrentComThread();
    return thread && LineStatusHas(GetLineStatus(thread->GetPortHandle()), lsDSR);
}

bool TSerialPort::GetRING() {
    const auto thread = CurrentComThread();
    return thread && LineStatusHas(GetLineStatus(thread->GetPortHandle()), lsRING);
}

bool TSerialPort::GetDCD() {
    const auto thread = CurrentComThread();
    return thread && LineStatusHas(GetLineStatus(thread->GetPortHandle()), lsDCD);
}

bool TSerialPort::ClearInputBuffer() {
    int waiting = -1;
    bool purged = false;
    const bool open = WithDevice([&](int fd) {
        waiting = SerialDevice::InputWaiting(fd);
        purged = SerialDevice::PurgeInput(fd);
    });
    if (!open || !purged)
        return false;
    std::lock_guard<std::mutex> lock(FCriticalSection);
    FReadBytes += static_cast<uint32_t>(std::max(waiting, 0));
    return true;
}

bool TSerialPort::ClearOutputBuffer() {
    bool purged = false;
    return WithDevice([&](int fd) { purged = SerialDevice::PurgeOutput(fd); }) && purged;
}

uint32_t TSerialPort::GetAvailableInputBufferSize() {
    int n = 0;
    WithDevice([&](int fd) { n = SerialDevice::InputWaiting(fd); });
    return static_cast<uint32_t>(std::max(n, 0));
}

uint32_t TSerialPort::GetAvailableOutputBufferSize() {
    int n = 0;
    WithDevice([&](int fd) { n = SerialDevice::OutputWaiting(fd); });
    return static_cast<uint32_t>(std::max(n, 0));
}

// The buffers are filled by the receive thread and read by others: each side
// gets bytes of its own rather than storage shared through Qt's reference
// count, so no release of one thread's copy can meet the other's.
QByteArray TSerialPort::GetLastReadBuffer() const {
    std::lock_guard<std::mutex> lock(FDataLock);
    return QByteArray(FReadBuffer.constData(), FReadBuffer.size());
}

QByteArray TSerialPort::GetEntireBuffer() const {
    std::lock_guard<std::mutex> lock(FDataLock);
    return QByteArray(FEntireBuffer.constData(), FEntireBuffer.size());
}

QByteArray TSerialPort::Echo() {
    const QByteArray last = GetLastReadBuffer();
    return SendChars(last) > 0 ? last : QByteArray();
}

QByteArray TSerialPort::RandomDataGenerator(uint32_t length) {
    QRandomGenerator generator(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()));
    QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
    for (char& b : bytes)
        b = static_cast<char>(generator.bounded(256));
    return bytes;
}

void TSerialPort::ResetIdleState() {
    FIdleWasFired = false;
    FIdleTimeout = 0;
}

void TSerialPort::WriteLog(const QByteArray& text) {
    QFile file(LogFile());
    if (LogFile().isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw ESerialPortException(QStringLiteral("Invalid log file name or access denied."));
    QByteArray line = text;
    if (FLogDateTime)
        line = QDateTime::currentDateTime()
                   .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                   .toLatin1() +
               ' ' + text + "\r\n";
    if (file.write(line) != line.size())
        throw ESerialPortException(QStringLiteral("Invalid log file name or access denied."));
}

// Keeps the last chunk and, when asked, all chunks since open.
void TSerialPort::StoreChunk(const QByteArray& chunk) {
    std::lock_guard<std::mutex> lock(FDataLock);
    FLastTimeReceived = QDateTime::currentDateTime();
    FReadBuffer = QByteArray(chunk.constData(), chunk.size());
    if (FKeepEntireBuffer)
        FEntireBuffer.append(chunk);
}

void TSerialPort::InitSyncCommunicationParams() {
    std::lock_guard<std::mutex> lock(FCriticalSection);
    FReadBytes = 0;
    FSignaledBytes = 0;
}

// ---------------------------------------------------------------------------
// Present ports and the unplug check

void TSerialPort::GetExistingCommPortNames(QStringList& Strings) {
    Strings.clear();
    for (const TPresentPort& port : ListPresentPorts()) {
        const QString name = port.path.toUpper().trimmed();
        if (!name.isEmpty())
            Strings.append(name);
    }
}

bool TSerialPort::IsExistingCommPort(const QByteArray& name) {
    return FindPresentPort(QString::fromLocal8Bit(name)).has_value();
}

void TSerialPort::CheckIfUnplugged() {
    if (FDelay < FMinCheckDisconnectedInterval)
        return;
    if (!IsConnected() || IsExistingCommPort(CommPortToString(GetCommPort())))
        return;
    FIsFaulted = true;
    qCInfo(lcSerial) << "port" << PortName() << "is gone (unplugged)";
    if (OnFault && !FDestroying)
        RunGuarded([&] { OnFault(this, FConnectedTo); });
    Close();
}

TCommPortSet TSerialPort::GetExistingCommPorts() {
    TCommPortSet ports;
    for (const TPresentPort& port : ListPresentPorts()) {
        const TCommPort id = StringToCommPort(port.path.toLocal8Bit());
        if (id != spNone)
            ports.set(id);
    }
    return ports;
}

QByteArray TSerialPort::GetCommPortPath(const QByteArray& name) {
    const QString wanted = QString::fromLocal8Bit(name).trimmed();
    QByteArray path;
    for (const TPresentPort& port : ListPresentPorts())
        if (port.path.trimmed() == wanted)
            path = port.devicePath.toLocal8Bit();
    return path;
}

QByteArray TSerialPort::GetCommPortPath(TCommPort Port) const {
    return GetCommPortPath(CommPortToString(Port));
}

TSerialCommPortType TSerialPort::GetCommPortType(const QByteArray& name) {
    const QByteArray path = GetCommPortPath(name).toLower();
    auto has = [&](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(),
                           [&](const char* w) { return path.contains(w); });
    };
    if (has({"usb"}))
        return stUsb;
    if (has({"bth", "bluetooth"}))
        return stBluetooth;
    if (has({"vsp", "com0com", "vserial", "virtual", "vcp"}))
        return stVirtual;
    if (has({"serial"}))
        return stSerial;
    return stUnknown;
}

TSerialCommPortType TSerialPort::GetCommPortType(TCommPort Port) const {
    return GetCommPortType(CommPortToString(Port));
}

bool TSerialPort::IsCommPortBusy(const QByteArray& name) {
    if (!IsExistingCommPort(name))
        throw ESerialPortException(
            QStringLiteral("Port %1 does not exist.").arg(QString::fromLocal8Bit(name)));
    int error = 0;
    const int fd = SerialDevice::OpenExclusive(name.trimmed(), error);
    if (fd < 0)
        return true;
    QThread::msleep(100);
    SerialDevice::CloseDevice(fd);
    return false;
}

bool TSerialPort::IsCommPortBusy(TCommPort Port) const {
    return IsCommPortBusy(CommPortToString(Port));
}

bool TSerialPort::IsCommPortAvailable(const QByteArray& name) {
    return IsExistingCommPort(name) && !IsCommPortBusy(name);
}

bool TSerialPort::IsCommPortAvailable(TCommPort Port) const {
    return IsCommPortAvailable(CommPortToString(Port));
}
