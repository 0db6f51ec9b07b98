#pragma once
// The operating-system side of the serial-port object on Linux: open a tty
// exclusively, apply a line-settings record through termios and ioctls, queue
// counts, reads and bounded writes, modem lines and the error texts.
#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>

struct termios;

// The line settings as one record, independent of the platform. The serial-port
// object builds it from its properties; ApplyLineSettings maps it onto termios.
struct TLineSettings {
    int baudRate = 4800;
    uint8_t byteSize = 8;
    uint8_t parity = 0;   // order of TParityBits
    uint8_t stopBits = 0; // order of TStopBits
    bool dtrActive = true;
    bool rtsActive = true;
    bool outxDsrFlow = false;
    bool dtrHandshake = false;
    bool outxCtsFlow = false;
    bool rtsHandshake = false;
    bool outX = false;
    bool inX = false;
    char xonChar = 17;
    char xoffChar = 19;
    uint16_t xonLim = 0;
    uint16_t xoffLim = 1;
    bool parityCheck = false;
    bool replaceParityErrors = false;
    bool discardNulls = false;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    char errorChar = 0;
    char eofChar = 26;
    char evtChar = 26;
};

namespace SerialDevice {

// Opens the device read/write, non-blocking, without becoming its controlling
// terminal, and takes it exclusively (TIOCEXCL and an flock that binds root too).
// Returns the descriptor, or -1 with the reason in error.
int OpenExclusive(const QByteArray& path, int& error);
// Gives up the exclusive hold, discards both queues and closes.
void CloseDevice(int fd);
// The text shown after "Cannot connect to <port>. " for an errno of OpenExclusive.
QString OpenErrorText(int error, const QByteArray& path);
// The name of the group that owns the device; empty when unknown.
QString DeviceGroup(const QByteArray& path);

// Writes the record into t (raw mode, no echo, reads that return at once).
// Fails only for a rate the platform cannot express.
bool FillTermios(const TLineSettings& settings, termios& t);
// Applies the record: termios, then DTR and RTS. False when the device refuses.
bool ApplyLineSettings(int fd, const TLineSettings& settings);
// The rate the device holds (input and output speed must agree); -1 when unknown.
int CurrentRate(int fd);
// Rates without a B constant go through termios2 (CustomRate.cpp).
bool SetArbitraryRate(int fd, int rate);
int ReadArbitraryRate(int fd);

// Bytes waiting in the input and output queues; -1 on failure.
int InputWaiting(int fd);
int OutputWaiting(int fd);
// Reads up to max bytes: the count, 0 when none wait, -1 on failure with errno.
long ReadSome(int fd, char* buffer, long max);
// Writes all bytes or gives up after timeoutMs; the count written, -1 when nothing
// could be written because of an error.
long WriteBounded(int fd, const char* data, long size, uint32_t timeoutMs);

bool PurgeInput(int fd);
bool PurgeOutput(int fd);
// Modem lines in: bit 0 CTS, 1 DSR, 2 RING, 3 DCD; false when the device has none.
bool ModemLinesIn(int fd, uint8_t& lines);
bool SetDtr(int fd, bool on);
bool SetRts(int fd, bool on);
bool SetBreak(int fd, bool on);
// Acts as if XON (resume output) or XOFF (suspend output) had been received.
bool SimulateXonXoff(int fd, bool on);
// A device that has gone: hang-up or error condition on the descriptor.
bool HasHungUp(int fd);

// How a wait for input ended.
enum class TInputWait {
    Readable, // the device has bytes to read
    TimedOut, // nothing came in time
    Woken,    // the wake handle was signalled (a stop request); wins over input
    Lost,     // the device hung up or reports an error
};
// Blocks until the device has input, the wake handle (an eventfd, or -1) is
// signalled, or the timeout passes. With fd -1 it waits on the wake handle only.
// Interrupted waits go on for the time that is left.
TInputWait WaitForInput(int fd, int wake, std::chrono::nanoseconds timeout);
// A read error that means the device has gone.
bool IsLostDeviceError(int error);

} // namespace SerialDevice
