#pragma once
// The serial-port object: the settings of one serial line, open, close and send
// on a POSIX tty, the receive thread that hands received bytes to the window
// thread, the present-port list and the control-character notation.
#include "util/ArrivalTimes.h"
#include "util/Exceptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TSerialPort;
class TComThread;
class TReconnectThread;
class TSenderThread;
struct TLineSettings;

// The one error type of the serial-port object; it carries only its text.
class ESerialPortException : public QvException {
  public:
    explicit ESerialPortException(const QString& message, int systemError = 0)
        : QvException(message), systemError_(systemError) {}
    // The errno behind a refused open; 0 for the other errors.
    int SystemError() const { return systemError_; }

  private:
    int systemError_ = 0;
};

// Port identifier: COM1 ... COM254 by number, or the port named by CustomPortName.
// On Linux every device path is a custom name.
enum TCommPort : uint8_t {
    spNone = 0,
    spCOM1 = 1,
    spCOM2,
    spCOM3,
    spCOM4,
    spCOM5,
    spCOM6,
    spCOM7,
    spCOM8,
    spCOM9,
    spCOM10,
    spCOM11,
    spCOM12,
    spCOM13,
    spCOM14,
    spCOM15,
    spCOM16,
    spCOM17,
    spCOM18,
    spCOM19,
    spCOM20,
    spCOM21,
    spCOM22,
    spCOM23,
    spCOM24,
    spCOM25,
    spCOM26,
    spCOM27,
    spCOM28,
    spCOM29,
    spCOM30,
    spCOM31,
    spCOM32,
    spCOM33,
    spCOM34,
    spCOM35,
    spCOM36,
    spCOM37,
    spCOM38,
    spCOM39,
    spCOM40,
    spCOM41,
    spCOM42,
    spCOM43,
    spCOM44,
    spCOM45,
    spCOM46,
    spCOM47,
    spCOM48,
    spCOM49,
    spCOM50,
    spCOM51,
    spCOM52,
    spCOM53,
    spCOM54,
    spCOM55,
    spCOM56,
    spCOM57,
    spCOM58,
    spCOM59,
    spCOM60,
    spCOM61,
    spCOM62,
    spCOM63,
    spCOM64,
    spCOM65,
    spCOM66,
    spCOM67,
    spCOM68,
    spCOM69,
    spCOM70,
    spCOM71,
    spCOM72,
    spCOM73,
    spCOM74,
    spCOM75,
    spCOM76,
    spCOM77,
    spCOM78,
    spCOM79,
    spCOM80,
    spCOM81,
    spCOM82,
    spCOM83,
    spCOM84,
    spCOM85,
    spCOM86,
    spCOM87,
    spCOM88,
    spCOM89,
    spCOM90,
    spCOM91,
    spCOM92,
    spCOM93,
    spCOM94,
    spCOM95,
    spCOM96,
    spCOM97,
    spCOM98,
    spCOM99,
    spCOM100,
    spCOM101,
    spCOM102,
    spCOM103,
    spCOM104,
    spCOM105,
    spCOM106,
    spCOM107,
    spCOM108,
    spCOM109,
    spCOM110,
    spCOM111,
    spCOM112,
    spCOM113,
    spCOM114,
    spCOM115,
    spCOM116,
    spCOM117,
    spCOM118,
    spCOM119,
    spCOM120,
    spCOM121,
    spCOM122,
    spCOM123,
    spCOM124,
    spCOM125,
    spCOM126,
    spCOM127,
    spCOM128,
    spCOM129,
    spCOM130,
    spCOM131,
    spCOM132,
    spCOM133,
    spCOM134,
    spCOM135,
    spCOM136,
    spCOM137,
    spCOM138,
    spCOM139,
    spCOM140,
    spCOM141,
    spCOM142,
    spCOM143,
    spCOM144,
    spCOM145,
    spCOM146,
    spCOM147,
    spCOM148,
    spCOM149,
    spCOM150,
    spCOM151,
    spCOM152,
    spCOM153,
    spCOM154,
    spCOM155,
    spCOM156,
    spCOM157,
    spCOM158,
    spCOM159,
    spCOM160,
    spCOM161,
    spCOM162,
    spCOM163,
    spCOM164,
    spCOM165,
    spCOM166,
    spCOM167,
    spCOM168,
    spCOM169,
    spCOM170,
    spCOM171,
    spCOM172,
    spCOM173,
    spCOM174,
    spCOM175,
    spCOM176,
    spCOM177,
    spCOM178,
    spCOM179,
    spCOM180,
    spCOM181,
    spCOM182,
    spCOM183,
    spCOM184,
    spCOM185,
    spCOM186,
    spCOM187,
    spCOM188,
    spCOM189,
    spCOM190,
    spCOM191,
    spCOM192,
    spCOM193,
    spCOM194,
    spCOM195,
    spCOM196,
    spCOM197,
    spCOM198,
    spCOM199,
    spCOM200,
    spCOM201,
    spCOM202,
    spCOM203,
    spCOM204,
    spCOM205,
    spCOM206,
    spCOM207,
    spCOM208,
    spCOM209,
    spCOM210,
    spCOM211,
    spCOM212,
    spCOM213,
    spCOM214,
    spCOM215,
    spCOM216,
    spCOM217,
    spCOM218,
    spCOM219,
    spCOM220,
    spCOM221,
    spCOM222,
    spCOM223,
    spCOM224,
    spCOM225,
    spCOM226,
    spCOM227,
    spCOM228,
    spCOM229,
    spCOM230,
    spCOM231,
    spCOM232,
    spCOM233,
    spCOM234,
    spCOM235,
    spCOM236,
    spCOM237,
    spCOM238,
    spCOM239,
    spCOM240,
    spCOM241,
    spCOM242,
    spCOM243,
    spCOM244,
    spCOM245,
    spCOM246,
    spCOM247,
    spCOM248,
    spCOM249,
    spCOM250,
    spCOM251,
    spCOM252,
    spCOM253,
    spCOM254,
    spCustom = 255
};

enum TBaudRate : uint8_t {
    br000075,
    br000110,
    br000134,
    br000150,
    br000300,
    br000600,
    br001200,
    br001800,
    br002400,
    br004800,
    br007200,
    br009600,
    br014400,
    br019200,
    br038400,
    br057600,
    br115200,
    br128000,
    br230400,
    br256000,
    br460800,
    br921600,
    brCustom
};

enum TDataWidth : uint8_t { dw5Bits, dw6Bits, dw7Bits, dw8Bits };
enum TParityBits : uint8_t { pbNone, pbOdd, pbEven, pbMark, pbSpace };
enum TStopBits : uint8_t { sb1Bit, sb1_5Bits, sb2Bits };
enum THwFlowControl : uint8_t { hfNONE, hfDTRDSR, hfRTSCTS };
enum TSwFlowControl : uint8_t { sfNONE, sfXONXOFF };
enum TLineStatus : uint8_t { lsCTS, lsDSR, lsRING, lsDCD };
enum TSerialCommPortType : uint8_t { stSerial, stUsb, stBluetooth, stVirtual, stUnknown };

// Set of TLineStatus, bit n for ordinal n; 0 is the empty set.
using TLineStatusSet = uint8_t;
constexpr bool LineStatusHas(TLineStatusSet set, TLineStatus line) {
    return (set >> line) & 1u;
}
constexpr TLineStatusSet LineStatusWith(TLineStatusSet set, TLineStatus line) {
    return static_cast<TLineStatusSet>(set | (1u << line));
}

// Set of TCommPort, bit n for ordinal n.
using TCommPortSet = std::bitset<256>;

using TThreadPriority = QThread::Priority;

// Event slots; each may be empty. Sender is the port object.
using TSendReceiveEvent = std::function<void(TSerialPort* Sender, const QByteArray& Buffer)>;
using TConnectEvent = std::function<void(TSerialPort* Sender, TCommPort Port)>;
using TLineStatusEvent = std::function<void(TSerialPort* Sender, TLineStatusSet LineStatus)>;
using TNotifyEvent = std::function<void(TSerialPort* Sender)>;
using TDetectEvent =
    std::function<void(TSerialPort* Sender, TCommPort Port, TBaudRate BaudRate, bool& Cancel)>;

// Bytes to the bracketed control-character notation and back ("[CR]" is 13).
QByteArray ReplaceControlChars(const QByteArray& strInput);
QByteArray InsertControlChars(const QByteArray& strInput);

// One line "port = friendly name" CR LF per present port (see PortListing.h).
QString GetSerialPortFriendlyNames();

// The serial-port object. Settings are plain properties; Open starts a receive
// thread that owns the device and reports through the event slots. With
// NeedSynchronization (the default) every thread event runs on the thread that
// owns this object while the reporting thread waits for the handler to return;
// such calls run whenever that thread handles its pending events, nested event
// loops included. Without it they run on the reporting thread.
class TSerialPort : public QObject {
    Q_OBJECT

  public:
    explicit TSerialPort(QObject* AOwner = nullptr);
    ~TSerialPort() override;

    // --- port identifier and rate table ---------------------------------------
    static TCommPort StringToCommPort(const QByteArray& Port);
    QByteArray CommPortToString(TCommPort Port) const;
    static TBaudRate IntToBaudRate(int Value);
    int BaudRateToInt(TBaudRate pBaudRate) const;

    // --- properties ------------------------------------------------------------
    TCommPort GetCommPort() const;
    void SetCommPort(TCommPort Value);
    TCommPort Port() const { return GetCommPort(); }
    void SetPort(TCommPort Value) { SetCommPort(Value); }
    // The name of the port that Open uses ("COM8" or a device path).
    QByteArray PortName() const;

    TBaudRate GetBaudRate() const;
    void SetBaudRate(TBaudRate Value);
    TBaudRate BaudRate() const { return GetBaudRate(); }
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int Value);
    // The line rate in bits per second that the device gets.
    int LineRate() const { return FBaudRate; }

    TDataWidth GetDataWidth() const;
    void SetDataWidth(TDataWidth Value);
    TDataWidth DataWidth() const { return GetDataWidth(); }
    TStopBits GetStopBits() const;
    void SetStopBits(TStopBits Value);
    TStopBits StopBits() const { return GetStopBits(); }
    TParityBits GetParity() const;
    void SetParity(TParityBits Value);
    TParityBits Parity() const { return GetParity(); }

    bool EnableDTROnOpen() const { return FEnableDTROnOpen; }
    void SetEnableDTROnOpen(bool Value);
    bool EnableRTSOnOpen() const { return FEnableRTSOnOpen; }
    void SetEnableRTSOnOpen(bool Value);
    THwFlowControl HwFlowControl() const { return FHwFlowControl; }
    void SetHwFlowControl(THwFlowControl Value);
    TSwFlowControl SwFlowControl() const { return FSwFlowControl; }
    void SetSwFlowControl(TSwFlowControl Value);
    char XonChar() const { return FXonChar; }
    void SetXonChar(char Value);
    char XoffChar() const { return FXoffChar; }
    void SetXoffChar(char Value);
    uint16_t XonLim() const { return FXonLim; }
    void SetXonLim(uint16_t Value);
    uint16_t XoffLim() const { return FXoffLim; }
    void SetXoffLim(uint16_t Value);
    bool ParityCheck() const { return FParityCheck; }
    void SetParityCheck(bool Value);
    bool ReplaceParityErrors() const { return FReplaceParityErrors; }
    void SetReplaceParityErrors(bool Value);
    bool DiscardNulls() const { return FDiscardNulls; }
    void SetDiscardNulls(bool Value);
    bool DsrSensitivity() const { return FDsrSensitivity; }
    void SetDsrSensitivity(bool Value);
    bool TXContinueOnXoff() const { return FTXContinueOnXoff; }
    void SetTXContinueOnXoff(bool Value);
    char ErrorChar() const { return FErrorChar; }
    void SetErrorChar(char Value);
    char EofChar() const { return FEofChar; }
    void SetEofChar(char Value);
    char EvtChar() const { return FEvtChar; }
    void SetEvtChar(char Value);

    uint32_t ReadIntervalTimeout() const { return FReadIntervalTimeout; }
    void SetReadIntervalTimeout(uint32_t Value) { FReadIntervalTimeout = Value; }
    uint32_t ReadTotalTimeoutMultiplier() const { return FReadTotalTimeoutMultiplier; }
    void SetReadTotalTimeoutMultiplier(uint32_t Value) { FReadTotalTimeoutMultiplier = Value; }
    uint32_t ReadTotalTimeoutConstant() const { return FReadTotalTimeoutConstant; }
    void SetReadTotalTimeoutConstant(uint32_t Value) { FReadTotalTimeoutConstant = Value; }
    uint32_t WriteTotalTimeoutMultiplier() const { return FWriteTotalTimeoutMultiplier; }
    void SetWriteTotalTimeoutMultiplier(uint32_t Value) { FWriteTotalTimeoutMultiplier = Value; }
    uint32_t WriteTotalTimeoutConstant() const { return FWriteTotalTimeoutConstant; }
    void SetWriteTotalTimeoutConstant(uint32_t Value) { FWriteTotalTimeoutConstant = Value; }

    uint32_t InputBuffer() const { return FInputBuffer; }
    void SetInputBuffer(uint32_t Value);
    uint32_t OutputBuffer() const { return FOutputBuffer; }
    void SetOutputBuffer(uint32_t Value);
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority Value);

    // Poll period of the receive thread in ms; Interval is a second name for it.
    uint32_t Delay() const { return FDelay; }
    void SetDelay(uint32_t Value) { FDelay = Value; }
    uint32_t Interval() const { return FDelay; }
    void SetInterval(uint32_t Value) { FDelay = Value; }
    uint32_t IdleInterval() const { return FIdleInterval; }
    void SetIdleInterval(uint32_t Value) { FIdleInterval = Value; }

    QByteArray CustomPortName() const;
    void SetCustomPortName(const QByteArray& Value);

    bool LogInput() const { return FLogInput; }
    void SetLogInput(bool Value) { FLogInput = Value; }
    bool LogDateTime() const { return FLogDateTime; }
    void SetLogDateTime(bool Value) { FLogDateTime = Value; }
    QString LogFile() const;
    void SetLogFile(const QString& Value);

    bool AutoReceive() const { return FAutoReceive; }
    void SetAutoReceive(bool Value);
    bool AutoReconnect() const { return FAutoReconnect; }
    void SetAutoReconnect(bool Value) { FAutoReconnect = Value; }
    int AutoReconnectCheckInterval() const { return FAutoReconnectCheckInterval; }
    void SetAutoReconnectCheckInterval(int Value) { FAutoReconnectCheckInterval = Value; }
    bool KeepEntireBuffer() const { return FKeepEntireBuffer; }
    void SetKeepEntireBuffer(bool Value) { FKeepEntireBuffer = Value; }
    QByteArray NewLine() const;
    void SetNewLine(const QByteArray& Value);
    bool CloseWhenLineStatusIsZero() const { return FCloseWhenLineStatusIsZero; }
    void SetCloseWhenLineStatusIsZero(bool Value) { FCloseWhenLineStatusIsZero = Value; }
    bool SkipSetupFailed() const { return FSkipSetupFailed; }
    void SetSkipSetupFailed(bool Value) { FSkipSetupFailed = Value; }
    uint32_t PacketSize() const { return FPacketSize; }
    void SetPacketSize(uint32_t Value) { FPacketSize = Value; }

    bool IsSending() const { return FIsSending; }
    bool IsReceiving() const { return FIsReceiving; }
    bool IsFaulted() const { return FIsFaulted; }
    bool IsIdle() const { return FIdleWasFired; }
    bool NeedSynchronization() const { return FNeedSynchronization; }
    void SetNeedSynchronization(bool Value) { FNeedSynchronization = Value; }
    uint32_t MinCheckDisconnectedInterval() const { return FMinCheckDisconnectedInterval; }
    void SetMinCheckDisconnectedInterval(uint32_t Value) { FMinCheckDisconnectedInterval = Value; }
    int MaxLineLength() const { return FMaxLineLength; }
    void SetMaxLineLength(int Value) { FMaxLineLength = Value; }
    QDateTime LastTimeReceived() const;
    // Inside OnReceive: when the bytes of the buffer being handed over arrived
    // (read by the receive thread as they came, also while the window was
    // still busy with the chunk before). Empty outside OnReceive.
    const ArrivalMarks& ReceivedArrivals() const;
    QDateTime ConnectionTime() const;
    // The identifier of the open port; spNone when closed.
    TCommPort ConnectedTo() const { return FConnectedTo; }

    // --- event slots -----------------------------------------------------------
    TSendReceiveEvent OnReceive;
    TSendReceiveEvent OnSend;
    TLineStatusEvent OnLineStatusChange;
    TConnectEvent OnConnect;
    TConnectEvent OnDisconnect;
    TConnectEvent OnFault;
    TNotifyEvent OnIdle;
    TNotifyEvent OnResume;
    TDetectEvent OnDetect;

    // --- open, close, send -----------------------------------------------------
    // True when connected; false when the port is not present or already open.
    // Raises ESerialPortException when the device cannot be opened.
    bool Open();
    // Never raises; OnDisconnect normally runs inside it.
    void Close();
    bool IsConnected() const { return FConnectedTo != spNone; }
    // Writes the text up to its first NUL byte; raises when not open.
    uint32_t SendString(const QByteArray& text);
    uint32_t SendStringLine(const QByteArray& text);
    uint32_t SendChars(const QByteArray& text);
    uint32_t SendCharsLine(const QByteArray& text);
    uint32_t SendData(const char* Data, uint32_t dataSize);
    uint32_t SendByte(uint8_t number);
    uint32_t SendChar(char character);
    uint32_t SendWord(uint16_t number);
    void SendStringOnNewThread(const QByteArray& text);
    void SendCharsOnNewThread(const QByteArray& text);

    // --- device settings and lines ---------------------------------------------
    bool SetDCBState();
    bool SetTimeouts();
    bool SetBuffers();
    // The device record that SetDCBState applies, built from the settings.
    TLineSettings BuildLineSettings() const;
    // Virtual so that tests can stand in for modem lines that a pseudo-terminal lacks.
    virtual TLineStatusSet GetLineStatus(int handle) const;
    bool SetDTR(bool OnOff);
    bool SetRTS(bool OnOff);
    bool SetBreak(bool OnOff);
    bool SetXonXoff(bool OnOff);
    bool GetCTS();
    bool GetDSR();
    bool GetRING();
    bool GetDCD();
    bool ClearInputBuffer();
    bool ClearOutputBuffer();
    uint32_t GetAvailableInputBufferSize();
    uint32_t GetAvailableOutputBufferSize();
    QByteArray GetLastReadBuffer() const;
    QByteArray GetEntireBuffer() const;
    QByteArray Echo();
    static QByteArray RandomDataGenerator(uint32_t length);
    void ResetIdleState();
    void WriteLog(const QByteArray& text);
    void CheckIfUnplugged();
    void InitSyncCommunicationParams();

    // --- pull reads (AutoReceive false) ------------------------------------------
    QByteArray ReadBuffer();
    QByteArray ReadChar();
    uint8_t ReadByte();
    QByteArray ReadChars(uint32_t noChars, uint32_t timeout);
    QByteArray ReadStringUpToEndChars(const QList<QByteArray>& endCharsList, uint32_t timeout,
                                      QByteArray& partialResult, bool& timedOut);
    QByteArray ReadStringUpToEndChars(const QList<QByteArray>& endCharsList, uint32_t timeout,
                                      QByteArray& partialResult);
    QByteArray ReadStringUpToEndChars(const QList<QByteArray>& endCharsList, uint32_t timeout);
    QByteArray ReadStringUpToEndChars(const QByteArray& endChars, uint32_t timeout);
    QByteArray ReadStringLine(uint32_t timeout);

    // --- control-character notation --------------------------------------------
    static QByteArray ReplaceControlChars(const QByteArray& strInput) {
        return ::ReplaceControlChars(strInput);
    }
    static QByteArray InsertControlChars(const QByteArray& strInput) {
        return ::InsertControlChars(strInput);
    }

    // --- present ports and discovery ---------------------------------------------
    static void GetExistingCommPortNames(QStringList& Strings);
    static bool IsExistingCommPort(const QByteArray& name);
    static TCommPortSet GetExistingCommPorts();
    static QByteArray GetCommPortPath(const QByteArray& name);
    QByteArray GetCommPortPath(TCommPort Port) const;
    static TSerialCommPortType GetCommPortType(const QByteArray& name);
    TSerialCommPortType GetCommPortType(TCommPort Port) const;
    static bool IsCommPortBusy(const QByteArray& name);
    bool IsCommPortBusy(TCommPort Port) const;
    static bool IsCommPortAvailable(const QByteArray& name);
    bool IsCommPortAvailable(TCommPort Port) const;
    bool DetectDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                      TBaudRate highestRate, TBaudRate lowestRate, QByteArray& strPort,
                      TBaudRate& pBaudRate);
    bool DetectDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                      TCommPort& pPort, TBaudRate& pBaudRate);
    bool FastDetectDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                          QByteArray& strPort, TBaudRate& pBaudRate);
    bool TestDevice(const QByteArray& sentToken, const QByteArray& receivedToken, uint32_t timeout);
    void CancelDetect() { FCancelDetect = true; }

  protected:
    bool event(QEvent* e) override;

  private:
    friend class TComThread;
    friend class TReconnectThread;
    friend class TSenderThread;

    struct TDispatchCall {
        std::function<void()> call;
        bool done = false;
        int doneHandle = -1; // an eventfd signalled once the call has run
    };
    // How a receive thread goes on reading while its call waits: Read is
    // called whenever Device has input and returns false to stop looking at
    // the device; DoneHandle is signalled when the call has run.
    struct TReadWhileWaiting {
        int device = -1;
        int doneHandle = -1;
        std::function<bool()> read;
    };

    // Runs Call on the owning thread and waits for it (or at once, see class note).
    void Dispatch(const std::function<void()>& call, const TReadWhileWaiting* reading = nullptr);
    void AwaitDispatch(const std::shared_ptr<TDispatchCall>& item,
                       const TReadWhileWaiting& reading);
    // Runs the calls that threads have handed to the owning thread.
    void RunPendingDispatches();
    bool OnOwnerThread() const;
    bool Destroying() const { return FDestroying; }

    std::shared_ptr<TComThread> CurrentComThread() const;
    QByteArray ConnectedPortName() const;
    // Runs Use with the open device's descriptor; false when not open.
    bool WithDevice(const std::function<void(int fd)>& use) const;
    void WaitForThreadEnd(const std::shared_ptr<TComThread>& thread, uint32_t budgetMs);
    void ReapEndedThreads();
    void StopReconnectThread();
    void StartReconnectThread();
    void CheckIfUnpluggedFor(const QByteArray& portName);
    void FaultFromSend();
    void StoreChunk(const QByteArray& chunk);
    void SetLineStatusField(TLineStatusSet value) { FLineStatus = value; }
    uint32_t SendBytes(const QByteArray& bytes, bool checkUnplugAfterSuccess);
    QByteArray NotOpenText() const;
    void ApplySettingsWhenOpen();
    template <typename T> void StoreSetting(T& field, T value, bool onlyWhenChanged);

    // Settings. Byte strings and rates are guarded by FSettingsLock; the values the
    // receive thread reads while running are atomics.
    mutable std::mutex FSettingsLock;
    QByteArray FPort;
    QByteArray FCustomPortName = "vcom1";
    int FBaudRate = 4800;
    int FCustomBaudRate = 0;
    uint8_t FDataWidth = 8;
    uint8_t FParity = 0;
    uint8_t FStopBits = 0;
    bool FEnableDTROnOpen = true;
    bool FEnableRTSOnOpen = true;
    THwFlowControl FHwFlowControl = hfNONE;
    TSwFlowControl FSwFlowControl = sfNONE;
    char FXonChar = 17;
    char FXoffChar = 19;
    uint16_t FXonLim = 0;
    uint16_t FXoffLim = 1;
    bool FParityCheck = false;
    bool FReplaceParityErrors = false;
    char FErrorChar = 0;
    char FEofChar = 26;
    char FEvtChar = 26;
    std::atomic<bool> FDiscardNulls{false};
    std::atomic<bool> FDsrSensitivity{false};
    bool FTXContinueOnXoff = false;

    mutable std::mutex FDataLock; // FReadBuffer, FEntireBuffer, the two times
    QByteArray FReadBuffer;
    QByteArray FEntireBuffer;
    std::atomic<bool> FKeepEntireBuffer{false};
    std::atomic<TLineStatusSet> FLineStatus{0};
    std::atomic<TLineStatusSet> FInitialLineStatus{0};

    std::atomic<uint32_t> FReadIntervalTimeout{0xFFFFFFFFu};
    std::atomic<uint32_t> FReadTotalTimeoutMultiplier{0};
    std::atomic<uint32_t> FReadTotalTimeoutConstant{0};
    std::atomic<uint32_t> FWriteTotalTimeoutMultiplier{100};
    std::atomic<uint32_t> FWriteTotalTimeoutConstant{1000};
    TThreadPriority FPriority = QThread::NormalPriority;
    std::atomic<uint32_t> FDelay{100};
    std::atomic<uint32_t> FInputBuffer{4096};
    std::atomic<uint32_t> FOutputBuffer{4096};

    // Threads. FThreadLock guards ComThread, ReconnectThread and the lists of
    // threads that may still be running.
    mutable std::mutex FThreadLock;
    std::shared_ptr<TComThread> ComThread;
    std::shared_ptr<TReconnectThread> ReconnectThread;
    std::vector<std::shared_ptr<TComThread>> FComThreads;
    std::vector<std::shared_ptr<TReconnectThread>> FReconnectThreads;
    std::vector<std::shared_ptr<TSenderThread>> FSenderThreads;
    std::atomic<TCommPort> FConnectedTo{spNone};
    std::atomic<uint64_t> FConnectionNumber{0};

    std::atomic<bool> FIsSending{false};
    std::atomic<bool> FIsReceiving{false};
    std::atomic<bool> FIsFaulted{false};
    std::atomic<bool> FNeedSynchronization{true};
    std::atomic<bool> FAutoReceive{true};
    std::atomic<bool> FAutoReconnect{false};
    std::atomic<int> FAutoReconnectCheckInterval{4000};
    std::atomic<bool> FLogInput{false};
    std::atomic<bool> FLogDateTime{false};
    QString FLogFile;
    std::atomic<bool> FCancelDetect{false};
    std::atomic<uint32_t> FMinCheckDisconnectedInterval{50};
    QByteArray FNewLine = "\r\n";
    std::atomic<int> FMaxLineLength{0};

    std::mutex FCriticalSection; // FSignaledBytes, FReadBytes
    uint32_t FSignaledBytes = 0;
    uint32_t FReadBytes = 0;
    QDateTime FLastTimeReceived;
    QDateTime FConnectionTime;
    std::atomic<uint32_t> FIdleInterval{0};
    std::atomic<bool> FIdleWasFired{false};
    std::atomic<bool> FCloseWhenLineStatusIsZero{true};
    std::atomic<bool> FSkipSetupFailed{false};
    std::atomic<uint32_t> FPacketSize{0};
    std::atomic<uint32_t> FIdleTimeout{0};

    // Hand-over of thread events to the owning thread.
    mutable std::mutex FDispatchLock;
    std::condition_variable FDispatchChanged;
    std::deque<std::shared_ptr<TDispatchCall>> FDispatchQueue;
    // The arrivals of the buffer OnReceive is handling (owning thread only).
    const ArrivalMarks* FReceivedArrivals = nullptr;
    std::atomic<bool> FDestroying{false};
};
