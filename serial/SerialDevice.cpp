#include "serial/SerialDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifndef BOTHER
#define BOTHER 0010000 // the kernel's marker of a rate set through termios2
#endif

namespace SerialDevice {

namespace {

struct RateCode {
    int rate;
    speed_t code;
};

constexpr RateCode kRateCodes[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The B constant of a rate; B0 when the rate has none.
speed_t RateToCode(int rate) {
    for (const auto& rc : kRateCodes)
        if (rc.rate == rate)
            return rc.code;
    return B0;
}

int CodeToRate(speed_t code) {
    for (const auto& rc : kRateCodes)
        if (rc.code == code)
            return rc.rate;
    return -1;
}

tcflag_t DataBitsFlag(uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

// Parity codes in the order none, odd, even, mark, space.
tcflag_t ParityFlags(uint8_t parity) {
    switch (parity) {
    case 1:
        return PARENB | PARODD;
    case 2:
        return PARENB;
    case 3:
        return PARENB | CMSPAR | PARODD;
    case 4:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

// One and a half stop bits exist only as CSTOPB with five data bits.
tcflag_t StopBitsFlag(uint8_t stopBits) {
    return stopBits == 0 ? 0 : CSTOPB;
}

void SetRawMode(termios& t) {
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

bool SetModemBit(int fd, int bit, bool on) {
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

} // namespace

int OpenExclusive(const QByteArray& path, int& error) {
    error = 0;
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (!isatty(fd)) {
        error = ENOTTY;
        ::close(fd);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {
// Bytes already written still go out before the port closes (the command that
// ends the live stream is often the last one), but for a short time only: a
// line held up by flow control or a vanished adapter must not hold the close.
void LetOutputLeave(int fd) {
    constexpr auto limit = std::chrono::milliseconds(50);
    const auto end = std::chrono::steady_clock::now() + limit;
    int pending = 0;
    while (ioctl(fd, TIOCOUTQ, &pending) == 0 && pending > 0 &&
           std::chrono::steady_clock::now() < end)
        poll(nullptr, 0, 2);
}
} // namespace

void CloseDevice(int fd) {
    if (fd < 0)
        return;
    LetOutputLeave(fd);
    tcflush(fd, TCIOFLUSH);
    ioctl(fd, TIOCNXCL);
    ::close(fd);
}

QString OpenErrorText(int error, const QByteArray& path) {
    switch (error) {
    case EACCES:
    case EPERM:
        Q_UNUSED(path);
        return QStringLiteral("Permission denied.");
    case EBUSY:
        return QStringLiteral("The port is busy: another program has it open.");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("The device does not exist (unplugged?).");
    case ENOTTY:
        return QStringLiteral("The device is not a serial port.");
    default:
        return QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.');
    }
}

QString DeviceGroup(const QByteArray& path) {
    struct stat st {};
    if (stat(path.constData(), &st) != 0)
        return {};
    const struct group* g = getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString();
}

bool FillTermios(const TLineSettings& s, termios& t) {
    SetRawMode(t);
    t.c_cflag |= DataBitsFlag(s.byteSize) | ParityFlags(s.parity) | StopBitsFlag(s.stopBits);
    if (s.outxCtsFlow || s.rtsHandshake)
        t.c_cflag |= CRTSCTS;
    if (s.outX)
        t.c_iflag |= IXON;
    if (s.inX)
        t.c_iflag |= IXOFF;
    // Checked parity with replacement gives NUL bytes in place of the bad ones;
    // without replacement the bad bytes are dropped.
    if (s.parityCheck)
        t.c_iflag |= INPCK;
    if (!s.replaceParityErrors)
        t.c_iflag |= IGNPAR;
    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    t.c_cc[VEOF] = static_cast<cc_t>(s.eofChar);
    const speed_t code = RateToCode(s.baudRate);
    if (code == B0)
        return s.baudRate > 0; // set afterwards through termios2
    return cfsetispeed(&t, code) == 0 && cfsetospeed(&t, code) == 0;
}

bool ApplyLineSettings(int fd, const TLineSettings& s) {
    termios t{};
    if (tcgetattr(fd, &t) != 0 || !FillTermios(s, t))
        return false;
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        return false;
    if (RateToCode(s.baudRate) == B0 && !SetArbitraryRate(fd, s.baudRate))
        return false;
    // RTS under CRTSCTS is the kernel's; pseudo-terminals have no modem lines,
    // which is not a refusal of the settings.
    // Linux has no DTR handshake: DTR then simply stays active.
    SetDtr(fd, s.dtrActive || s.dtrHandshake);
    if (!s.rtsHandshake)
        SetRts(fd, s.rtsActive);
    return true;
}

int CurrentRate(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return -1;
    if ((t.c_cflag & CBAUD) == BOTHER)
        return ReadArbitraryRate(fd);
    if (cfgetispeed(&t) != cfgetospeed(&t) && cfgetispeed(&t) != B0)
        return -1;
    return CodeToRate(cfgetospeed(&t));
}

int InputWaiting(int fd) {
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

int OutputWaiting(int fd) {
    int n = 0;
    return ioctl(fd, TIOCOUTQ, &n) == 0 ? n : -1;
}

long ReadSome(int fd, char* buffer, long max) {
    for (;;) {
        const long n = ::read(fd, buffer, static_cast<size_t>(max));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return 0;
        return -1;
    }
}

long WriteBounded(int fd, const char* data, long size, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    long written = 0;
    while (written < size) {
        const long n = ::write(fd, data + written, static_cast<size_t>(size - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return written > 0 ? written : -1;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            break;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return written > 0 ? written : -1;
    }
    return written;
}

bool PurgeInput(int fd) {
    return tcflush(fd, TCIFLUSH) == 0;
}
bool PurgeOutput(int fd) {
    return tcflush(fd, TCOFLUSH) == 0;
}

bool ModemLinesIn(int fd, uint8_t& lines) {
    int status = 0;
    lines = 0;
    if (ioctl(fd, TIOCMGET, &status) != 0)
        return false;
    if (status & TIOCM_CTS)
        lines |= 1u << 0;
    if (status & TIOCM_DSR)
        lines |= 1u << 1;
    if (status & TIOCM_RNG)
        lines |= 1u << 2;
    if (status & TIOCM_CAR)
        lines |= 1u << 3;
    return true;
}

bool SetDtr(int fd, bool on) {
    return SetModemBit(fd, TIOCM_DTR, on);
}
bool SetRts(int fd, bool on) {
    return SetModemBit(fd, TIOCM_RTS, on);
}

bool SetBreak(int fd, bool on) {
    return ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0;
}

bool SimulateXonXoff(int fd, bool on) {
    return tcflow(fd, on ? TCOON : TCOOFF) == 0;
}

bool HasHungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

TInputWait WaitForInput(int fd, int wake, std::chrono::nanoseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    // poll(2) leaves out a negative descriptor.
    pollfd fds[2] = {{wake, POLLIN, 0}, {fd, POLLIN, 0}};
    for (;;) {
        const auto left = std::max(std::chrono::nanoseconds(0), deadline - Clock::now());
        const timespec ts{static_cast<time_t>(left.count() / 1000000000),
                          static_cast<long>(left.count() % 1000000000)};
        const int n = ppoll(fds, 2, &ts, nullptr);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return TInputWait::Lost;
        if (n == 0)
            return TInputWait::TimedOut;
        if (fds[0].revents != 0)
            return TInputWait::Woken;
        if (fds[1].revents & POLLIN)
            return TInputWait::Readable;
        return TInputWait::Lost;
    }
}

bool IsLostDeviceError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

} // namespace SerialDevice
