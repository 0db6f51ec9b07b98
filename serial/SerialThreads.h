#pragma once
// The threads of the serial-port object: the receive thread of a connection,
// the one-shot sender thread and the reconnect thread. Internal to the serial
// library; the window sees only the events they deliver.
#include "serial/SerialPort.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <shared_mutex>
#include <thread>

// A thread that ends by itself; its owner joins it once it has ended.
class TWorkerThread {
  public:
    TWorkerThread();
    virtual ~TWorkerThread();
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // Starts the body; the caller holds the owner's thread lock.
    void Start();
    void RequestStop();
    bool StopRequested() const { return FStop; }
    bool Started() const { return FStarted; }
    bool Ended() const { return FEnded; }
    bool IsCurrentThread() const;
    void Join();

  protected:
    virtual void Execute() = 0;
    // Sleeps up to timeout; returns early, with false, when a stop is requested.
    bool PauseFor(std::chrono::microseconds timeout) const;
    int WakeHandle() const { return FWake; }
    virtual void MarkEnded();

  private:
    void Run();

    std::thread FThread;
    std::atomic<std::thread::id> FThreadId{};
    std::atomic<bool> FStop{false};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FEnded{false};
    int FWake = -1; // eventfd that a stop request makes readable
};

// The receive thread of one connection. It owns the device: its construction
// phase (Connect) opens it and announces the connection, its body applies the
// settings and polls, and its end closes the device and reports the end once,
// with its own port.
class TComThread : public TWorkerThread {
  public:
    TComThread(TSerialPort* AOwner, uint64_t number, const QByteArray& portName);
    ~TComThread() override;

    // Opens the device; on success records the connection in the owner and
    // reads the initial modem lines. False with errno otherwise.
    bool Connect(int& error);
    // Applies the line settings, timeouts and queue sizes to the new device.
    void Setup();
    // Fires OnConnect.
    void AnnounceConnect();
    int GetPortHandle() const { return ComDevice; }
    bool OpenedOnCurrentThread() const { return FOpener == std::this_thread::get_id(); }
    uint64_t Number() const { return FNumber; }
    const QByteArray& PortName() const { return FPortName; }
    TCommPort PortId() const { return FPortId; }
    // The connection is forgotten: its end reports no OnDisconnect.
    void Abandon() { FAbandoned = true; }

    // Guards ComDevice: shared while the owner uses it, exclusive to close it.
    mutable std::shared_mutex DeviceLock;
    // Values applied at setup, used by the owner's writes and the pause.
    std::atomic<int> AppliedRate{4800};
    std::atomic<uint32_t> WriteTimeoutMultiplier{100};
    std::atomic<uint32_t> WriteTimeoutConstant{1000};

  protected:
    void Execute() override;

  private:
    bool KeepPolling() const;
    void PollLineStatus();
    void ReceiveStep();
    bool BytesStayQueued() const;
    void ReceiveAutomatically(int waiting);
    // Reads up to max bytes onto the end of chunk, noting when they came: the
    // count, 0 when none wait, -1 on failure with the reason in error.
    long ReadOnto(QByteArray& chunk, ArrivalMarks& arrivals, long max, int& error);
    void ReadRestOfLine(QByteArray& chunk, ArrivalMarks& arrivals);
    // While the window handles a chunk: what has come since goes into the
    // next one, with the time it came. False once nothing more is taken.
    bool ReadWhileHandedOver();
    // Hands a chunk to OnReceive (after the NUL and DSR filters).
    void Deliver(QByteArray chunk, ArrivalMarks arrivals);
    void SignalPullRead(int waiting);
    void Pause(bool bytesLeftWaiting);
    void CheckUnplugged();
    // The device has gone (hang-up, I/O error, unlisted port) or its modem lines
    // dropped: settle the state, report OnFault, end the connection.
    void Fault(bool fromLineStatus);
    void CloseDeviceNow();
    void ClearConnectedIfMine();
    void Finish();

    void DoExecuteReceive(const QByteArray& buffer, const ArrivalMarks& arrivals);
    void DoExecuteReceiveNoBuffer();
    void DoExecuteLineStatus(TLineStatusSet lines);
    void DoExecuteConnect();
    void DoExecuteDisconnect();
    void DoExecuteFault();
    void DoIdle();
    void DoResume();

    TSerialPort* Owner;
    const uint64_t FNumber;
    const QByteArray FPortName;
    const TCommPort FPortId;
    const std::thread::id FOpener = std::this_thread::get_id();
    std::atomic<int> ComDevice{-1};
    std::atomic<bool> FReachedOpen{false};
    std::atomic<bool> FAbandoned{false};
    // Bytes read while the window handled the chunk before, with their arrivals.
    QByteArray FPending;
    ArrivalMarks FPendingArrivals;
    int FHandedOver = -1; // eventfd: the window has handled a chunk
};

// Sends one text on a thread of its own; failures end it silently.
class TSenderThread : public TWorkerThread {
  public:
    TSenderThread(TSerialPort* AOwner, const QByteArray& ABuffer, int AType)
        : Owner(AOwner), Buffer(ABuffer), SendType(AType) {}

  protected:
    void Execute() override;

  private:
    TSerialPort* Owner;
    const QByteArray Buffer;
    const int SendType;
};

// Reopens the port after a modem-line fault while AutoReconnect is set.
class TReconnectThread : public TWorkerThread {
  public:
    explicit TReconnectThread(TSerialPort* AOwner) : Owner(AOwner) {}

  protected:
    void Execute() override;

  private:
    TSerialPort* Owner;
};
