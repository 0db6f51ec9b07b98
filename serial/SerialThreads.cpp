#include "serial/SerialThreads.h"

#include "serial/SerialDevice.h"

#include <algorithm>
#include <cerrno>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

using Clock = std::chrono::steady_clock;
using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::milliseconds;

namespace {

// A chunk is handed over as soon as it ends a line. The configuration dump ends
// with its end mark "#" and CR LF, so a complete dump ends a line as well.
constexpr char kLineEnd = '\n';
// Text without a line end is handed over once the line has been quiet for this
// many character times (at least kMinQuietGap), so that a message that is still
// arriving is delivered whole.
constexpr int kQuietCharacters = 24;
constexpr microseconds kMinQuietGap{2000};
constexpr long kChunkLimit = 1 << 16;

microseconds QuietGap(int rate) {
    if (rate <= 0)
        return kMinQuietGap;
    const long long us = 1000000LL * 10 * kQuietCharacters / rate;
    return std::max(kMinQuietGap, microseconds(us));
}

bool EndsALine(const QByteArray& chunk) {
    return chunk.endsWith(kLineEnd);
}

} // namespace

// ---------------------------------------------------------------------------
// TWorkerThread

TWorkerThread::TWorkerThread() : FWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TWorkerThread::~TWorkerThread() {
    Join();
    if (FWake >= 0)
        ::close(FWake);
}

void TWorkerThread::Start() {
    FStarted = true;
    FThread = std::thread([this] { Run(); });
}

void TWorkerThread::Run() {
    FThreadId = std::this_thread::get_id();
    Execute();
    MarkEnded();
}

void TWorkerThread::MarkEnded() {
    FEnded = true;
}

void TWorkerThread::RequestStop() {
    FStop = true;
    const uint64_t one = 1;
    if (FWake >= 0) [[maybe_unused]]
        auto n = ::write(FWake, &one, sizeof one);
}

bool TWorkerThread::IsCurrentThread() const {
    return FThreadId == std::this_thread::get_id();
}

void TWorkerThread::Join() {
    if (FThread.joinable() && !IsCurrentThread())
        FThread.join();
}

bool TWorkerThread::PauseFor(microseconds timeout) const {
    if (FStop)
        return false;
    SerialDevice::WaitForInput(-1, FWake, timeout);
    return !FStop;
}

// ---------------------------------------------------------------------------
// TComThread: construction phase, on the thread that calls Open

TComThread::TComThread(TSerialPort* AOwner, uint64_t number, const QByteArray& portName)
    : Owner(AOwner), FNumber(number), FPortName(portName),
      FPortId(TSerialPort::StringToCommPort(portName)),
      FHandedOver(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    std::lock_guard<std::mutex> lock(Owner->FDataLock);
    Owner->FEntireBuffer.clear();
}

TComThread::~TComThread() {
    CloseDeviceNow();
    if (FHandedOver >= 0)
        ::close(FHandedOver);
}

bool TComThread::Connect(int& error) {
    const int fd = SerialDevice::OpenExclusive(FPortName.trimmed(), error);
    if (fd < 0)
        return false;
    ComDevice = fd;
    {
        std::lock_guard<std::mutex> lock(Owner->FThreadLock);
        if (Owner->FConnectionNumber == FNumber)
            Owner->FConnectedTo = FPortId;
    }
    FReachedOpen = true;
    Owner->FInitialLineStatus = Owner->GetLineStatus(fd);
    return true;
}

void TComThread::AnnounceConnect() {
    DoExecuteConnect();
}

// Applies the settings before Open returns, so that no byte that arrives after
// Open is discarded by the setup. A refused setting has already closed the port
// inside SetDCBState; the body then ends at once and reports OnDisconnect.
void TComThread::Setup() {
    try {
        if (Owner->SetDCBState() || Owner->FSkipSetupFailed) {
            Owner->SetTimeouts();
            Owner->SetBuffers();
        }
    } catch (...) {
        Owner->Close();
    }
}

// ---------------------------------------------------------------------------
// Thread body

void TComThread::Execute() {
    if (!StopRequested()) {
        Owner->FIdleTimeout = 0;
        while (KeepPolling()) {
            PollLineStatus();
            if (!KeepPolling())
                break;
            ReceiveStep();
            if (!KeepPolling())
                break;
            Pause(BytesStayQueued());
        }
    }
    Finish();
}

bool TComThread::KeepPolling() const {
    return !StopRequested() && ComDevice >= 0 && Owner->CurrentComThread().get() == this;
}

void TComThread::PollLineStatus() {
    try {
        const TLineStatusSet lines = Owner->GetLineStatus(ComDevice);
        if (lines == Owner->FLineStatus)
            return;
        Owner->FLineStatus = lines;
        DoExecuteLineStatus(lines);
        if (Owner->FCloseWhenLineStatusIsZero && lines == 0 && Owner->FInitialLineStatus != 0 &&
            Owner->IsConnected())
            Fault(true);
    } catch (...) {
    }
}

void TComThread::ReceiveStep() {
    const int fd = ComDevice;
    if (fd < 0)
        return;
    try {
        if (SerialDevice::HasHungUp(fd)) {
            Fault(false);
            return;
        }
        const int waiting = SerialDevice::InputWaiting(fd);
        if (waiting < 0) {
            if (SerialDevice::IsLostDeviceError(errno))
                Fault(false);
            else
                CheckUnplugged();
        } else if (!Owner->FAutoReceive) {
            SignalPullRead(waiting);
        } else if (waiting == 0 && FPending.isEmpty()) {
            CheckUnplugged();
        } else {
            ReceiveAutomatically(waiting);
        }
    } catch (...) {
        Owner->FIsReceiving = false;
        CheckUnplugged();
    }
}

// Bytes that this thread leaves queued (pull mode, or fewer than a packet) must
// not end the pause, or the loop would spin.
bool TComThread::BytesStayQueued() const {
    const int fd = ComDevice;
    const int waiting = fd >= 0 ? SerialDevice::InputWaiting(fd) : 0;
    if (waiting <= 0)
        return false;
    const uint32_t packet = Owner->FPacketSize;
    return !Owner->FAutoReceive || (packet > 0 && static_cast<uint32_t>(waiting) < packet);
}

// Bytes read while the window handled the chunk before come first, with the
// times they came.
void TComThread::ReceiveAutomatically(int waiting) {
    const uint32_t packet = Owner->FPacketSize;
    if (packet > 0 && static_cast<uint32_t>(waiting) < packet) {
        CheckUnplugged();
        return;
    }
    Owner->FIsReceiving = true;
    QByteArray chunk;
    ArrivalMarks arrivals;
    chunk.swap(FPending);
    arrivals.swap(FPendingArrivals);
    int readError = 0;
    long n = 0;
    if (waiting > 0) {
        const long room = std::max<long>(kChunkLimit - long(chunk.size()), 1);
        const long wanted = packet == 0 ? std::min<long>(waiting, room) : long(packet);
        n = ReadOnto(chunk, arrivals, wanted, readError);
    }
    if (!chunk.isEmpty() && packet == 0 && (waiting == 0 || n > 0))
        ReadRestOfLine(chunk, arrivals);
    Owner->FIsReceiving = false;
    if (waiting > 0 && n <= 0) {
        if (!chunk.isEmpty())
            Deliver(chunk, arrivals);
        // Bytes were announced: nothing to read now means the device has gone.
        if (n == 0 || SerialDevice::IsLostDeviceError(readError))
            Fault(false);
        else
            CheckUnplugged();
        return;
    }
    Deliver(chunk, arrivals);
}

long TComThread::ReadOnto(QByteArray& chunk, ArrivalMarks& arrivals, long max, int& error) {
    const qsizetype before = chunk.size();
    chunk.resize(before + max);
    const long n = SerialDevice::ReadSome(ComDevice, chunk.data() + before, max);
    error = errno;
    chunk.truncate(before + std::max(n, 0L));
    if (n > 0)
        arrivals.push_back({chunk.size(), Clock::now()});
    return n;
}

bool TComThread::ReadWhileHandedOver() {
    const long room = kChunkLimit - long(FPending.size());
    const int waiting = SerialDevice::InputWaiting(ComDevice);
    if (room <= 0 || waiting <= 0)
        return false;
    int error = 0;
    return ReadOnto(FPending, FPendingArrivals, std::min<long>(waiting, room), error) > 0;
}

// Reads on, blocking on the device, until the chunk ends a line, so that an
// answer is handed over the moment its last byte is in. Text without a line end
// goes once the line has been quiet for the quiet gap; the poll period and the
// chunk limit bound a chunk, so that a stream without line ends still moves. A
// stop request or a lost device ends the chunk early: what was read is still
// handed over, and the next pass finds the lost device.
void TComThread::ReadRestOfLine(QByteArray& chunk, ArrivalMarks& arrivals) {
    constexpr long kReadStep = 4096;
    const microseconds gap = QuietGap(AppliedRate);
    auto lastByte = Clock::now();
    const auto limit = lastByte + milliseconds(Owner->FDelay.load());
    while (!EndsALine(chunk) && chunk.size() < kChunkLimit && lastByte < limit) {
        // A gap that has run out still takes the bytes already there: the line
        // was not quiet if only this thread was slow to look.
        const auto until = std::min<Clock::time_point>(lastByte + gap, limit);
        const auto left = std::max<Clock::duration>(Clock::duration::zero(), until - Clock::now());
        if (SerialDevice::WaitForInput(ComDevice, WakeHandle(), left) !=
            SerialDevice::TInputWait::Readable)
            return;
        int error = 0;
        if (ReadOnto(chunk, arrivals, std::min(kReadStep, kChunkLimit - long(chunk.size())),
                     error) <= 0)
            return;
        lastByte = Clock::now();
    }
}

void TComThread::Deliver(QByteArray chunk, ArrivalMarks arrivals) {
    if (Owner->FDiscardNulls)
        RemoveByteKeepingArrivals(chunk, arrivals, '\0');
    if (Owner->FDsrSensitivity) {
        const TLineStatusSet lines = Owner->GetLineStatus(ComDevice);
        if (lines != 0 && !LineStatusHas(lines, lsDSR))
            chunk.clear();
    }
    if (chunk.isEmpty())
        return;
    if (Owner->FIdleWasFired.exchange(false))
        DoResume();
    Owner->FIdleTimeout = 0;
    Owner->StoreChunk(chunk);
    DoExecuteReceive(chunk, arrivals);
    if (Owner->FLogInput)
        Owner->WriteLog(chunk);
}

// Pull mode: bytes stay queued; OnReceive with an empty buffer says that new
// bytes wait.
void TComThread::SignalPullRead(int waiting) {
    if (waiting == 0) {
        CheckUnplugged();
        return;
    }
    bool signal = false;
    {
        std::lock_guard<std::mutex> lock(Owner->FCriticalSection);
        if (Owner->FReadBytes + static_cast<uint32_t>(waiting) > Owner->FSignaledBytes) {
            Owner->FSignaledBytes = Owner->FReadBytes + static_cast<uint32_t>(waiting);
            signal = true;
        }
    }
    if (signal)
        DoExecuteReceiveNoBuffer();
}

// Waits up to Delay for the first byte of the next chunk, blocking on the
// device; the next pass reads it at once. Bytes that this thread leaves queued
// would wake the wait at once, so then it is a plain pause.
void TComThread::Pause(bool bytesLeftWaiting) {
    if (!FPending.isEmpty())
        return; // read while the window was busy: handed over at once
    const milliseconds delay(Owner->FDelay.load());
    const auto start = Clock::now();
    if (bytesLeftWaiting)
        PauseFor(delay);
    else
        SerialDevice::WaitForInput(ComDevice, WakeHandle(), delay);
    if (StopRequested())
        return;
    const auto elapsed = duration_cast<milliseconds>(Clock::now() - start).count();
    Owner->FIdleTimeout += static_cast<uint32_t>(elapsed);
    const uint32_t idleInterval = Owner->FIdleInterval;
    if (Owner->FAutoReceive && !Owner->FIdleWasFired && idleInterval > 0 &&
        Owner->FIdleTimeout >= idleInterval) {
        Owner->FIdleWasFired = true;
        DoIdle();
    }
}

void TComThread::CheckUnplugged() {
    if (Owner->FDelay < Owner->FMinCheckDisconnectedInterval)
        return;
    if (!TSerialPort::IsExistingCommPort(FPortName))
        Fault(false);
}

// The state is settled first, so that the handlers may call Close or Open.
void TComThread::Fault(bool fromLineStatus) {
    Owner->FIsFaulted = true;
    RequestStop();
    {
        std::lock_guard<std::mutex> lock(Owner->FThreadLock);
        if (Owner->ComThread.get() == this)
            Owner->ComThread.reset();
    }
    Owner->FLineStatus = 0;
    Owner->InitSyncCommunicationParams();
    Owner->FIdleWasFired = false;
    CloseDeviceNow();
    ClearConnectedIfMine();
    DoExecuteFault();
    if (fromLineStatus)
        Owner->StartReconnectThread();
}

void TComThread::CloseDeviceNow() {
    std::unique_lock<std::shared_mutex> lock(DeviceLock);
    const int fd = ComDevice.exchange(-1);
    if (fd >= 0)
        SerialDevice::CloseDevice(fd);
}

void TComThread::ClearConnectedIfMine() {
    std::lock_guard<std::mutex> lock(Owner->FThreadLock);
    if (Owner->FConnectionNumber == FNumber)
        Owner->FConnectedTo = spNone;
}

void TComThread::Finish() {
    CloseDeviceNow();
    ClearConnectedIfMine();
    if (FReachedOpen && !FAbandoned.exchange(true))
        DoExecuteDisconnect();
    std::lock_guard<std::mutex> lock(Owner->FDispatchLock);
    MarkEnded();
    Owner->FDispatchChanged.notify_all();
}

// ---------------------------------------------------------------------------
// Dispatchers: each hands its event to the owner's thread (or runs it here).

// In automatic chunks the thread goes on reading while the window handles
// the chunk, so that what comes meanwhile keeps the time it came.
void TComThread::DoExecuteReceive(const QByteArray& buffer, const ArrivalMarks& arrivals) {
    const auto call = [this, buffer, arrivals] {
        if (!Owner->OnReceive)
            return;
        struct Restore {
            TSerialPort* owner;
            const ArrivalMarks* saved;
            ~Restore() { owner->FReceivedArrivals = saved; }
        } restore{Owner, std::exchange(Owner->FReceivedArrivals, &arrivals)};
        Owner->OnReceive(Owner, buffer);
    };
    if (Owner->FPacketSize != 0 || FHandedOver < 0 || !IsCurrentThread()) {
        Owner->Dispatch(call);
        return;
    }
    const TSerialPort::TReadWhileWaiting reading{ComDevice, FHandedOver,
                                                 [this] { return ReadWhileHandedOver(); }};
    Owner->Dispatch(call, &reading);
}

void TComThread::DoExecuteReceiveNoBuffer() {
    Owner->Dispatch([this] {
        if (Owner->OnReceive)
            Owner->OnReceive(Owner, QByteArray());
    });
}

void TComThread::DoExecuteLineStatus(TLineStatusSet lines) {
    Owner->Dispatch([this, lines] {
        if (Owner->OnLineStatusChange)
            Owner->OnLineStatusChange(Owner, lines);
    });
}

void TComThread::DoExecuteConnect() {
    Owner->Dispatch([this] {
        if (Owner->OnConnect)
            Owner->OnConnect(Owner, FPortId);
    });
}

void TComThread::DoExecuteDisconnect() {
    Owner->Dispatch([this] {
        if (Owner->OnDisconnect)
            Owner->OnDisconnect(Owner, FPortId);
    });
}

void TComThread::DoExecuteFault() {
    Owner->Dispatch([this] {
        if (Owner->OnFault)
            Owner->OnFault(Owner, FPortId);
    });
}

void TComThread::DoIdle() {
    Owner->Dispatch([this] {
        if (Owner->OnIdle && Owner->IsConnected())
            Owner->OnIdle(Owner);
    });
}

void TComThread::DoResume() {
    Owner->Dispatch([this] {
        if (Owner->OnResume && Owner->IsConnected())
            Owner->OnResume(Owner);
    });
}

// ---------------------------------------------------------------------------
// Sender and reconnect threads

void TSenderThread::Execute() {
    try {
        if (SendType != 0)
            Owner->SendChars(Buffer);
        else
            Owner->SendString(Buffer);
    } catch (...) {
    }
}

void TReconnectThread::Execute() {
    while (Owner->FAutoReconnect && Owner->FIsFaulted && !StopRequested()) {
        try {
            if (TSerialPort::IsExistingCommPort(Owner->CommPortToString(Owner->GetCommPort())) &&
                Owner->Open())
                break;
        } catch (...) {
        }
        if (!PauseFor(milliseconds(std::max(Owner->FAutoReconnectCheckInterval.load(), 1))))
            break;
    }
    std::lock_guard<std::mutex> lock(Owner->FThreadLock);
    if (Owner->ReconnectThread.get() == this)
        Owner->ReconnectThread.reset();
}
