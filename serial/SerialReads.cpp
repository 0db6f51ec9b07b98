// Pull reads (AutoReceive off) and the device search of the serial-port object.
#include "serial/PortListing.h"
#include "serial/SerialDevice.h"
#include "serial/SerialPort.h"
#include "serial/SerialThreads.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <poll.h>

namespace {

// Waits briefly for input, so that the read loops below do not spin.
void WaitForInput(int fd) {
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 2);
}

bool TimedOut(const QElapsedTimer& clock, uint32_t timeout) {
    return timeout > 0 && clock.elapsed() > static_cast<qint64>(timeout);
}

} // namespace

QByteArray TSerialPort::ReadBuffer() {
    if (FAutoReceive)
        return {};
    QByteArray bytes;
    try {
        WithDevice([&](int fd) {
            const int waiting = SerialDevice::InputWaiting(fd);
            if (waiting <= 0)
                return;
            FIsReceiving = true;
            bytes.resize(waiting);
            const long n = SerialDevice::ReadSome(fd, bytes.data(), waiting);
            bytes.truncate(std::max(n, 0L));
        });
        if (!bytes.isEmpty()) {
            {
                std::lock_guard<std::mutex> lock(FCriticalSection);
                FReadBytes += static_cast<uint32_t>(bytes.size());
            }
            StoreChunk(bytes);
            if (FLogInput)
                WriteLog(bytes);
        }
    } catch (...) {
        bytes.clear();
    }
    FIsReceiving = false;
    return bytes;
}

QByteArray TSerialPort::ReadChar() {
    if (FAutoReceive)
        return {};
    QByteArray byte;
    try {
        WithDevice([&](int fd) {
            char c = 0;
            FIsReceiving = true;
            if (SerialDevice::ReadSome(fd, &c, 1) == 1)
                byte.append(c);
            else
                WaitForInput(fd);
        });
        if (!byte.isEmpty()) {
            {
                std::lock_guard<std::mutex> lock(FCriticalSection);
                FReadBytes += 1;
            }
            StoreChunk(byte);
            if (FLogInput)
                WriteLog(byte);
        }
    } catch (...) {
        byte.clear();
    }
    FIsReceiving = false;
    return byte;
}

uint8_t TSerialPort::ReadByte() {
    const QByteArray byte = ReadChar();
    return byte.isEmpty() ? 0 : static_cast<uint8_t>(byte[0]);
}

QByteArray TSerialPort::ReadChars(uint32_t noChars, uint32_t timeout) {
    QByteArray text;
    if (noChars == 0)
        return text;
    QElapsedTimer clock;
    clock.start();
    while (static_cast<uint32_t>(text.size()) < noChars && !TimedOut(clock, timeout) &&
           IsConnected() && !FAutoReceive) {
        try {
            text += ReadChar();
        } catch (...) {
        }
    }
    return text;
}

QByteArray TSerialPort::ReadStringUpToEndChars(const QList<QByteArray>& endCharsList,
                                               uint32_t timeout, QByteArray& partialResult,
                                               bool& timedOut) {
    QByteArray result;
    partialResult.clear();
    timedOut = false;
    if (endCharsList.isEmpty())
        return result;
    QByteArray text;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (TimedOut(clock, timeout) || !IsConnected() || FAutoReceive) {
            partialResult = text;
            timedOut = true;
            return result;
        }
        try {
            const QByteArray byte = ReadChar();
            bool matched = false;
            if (!byte.isEmpty()) {
                text += byte;
                for (const QByteArray& end : endCharsList) {
                    if (!end.isEmpty() && text.contains(end)) {
                        {
                            std::lock_guard<std::mutex> lock(FDataLock);
                            FReadBuffer = text;
                        }
                        result = text.left(text.size() - end.size());
                        matched = true;
                        break;
                    }
                }
            }
            const int maxLength = FMaxLineLength;
            if (maxLength >= 1 && text.size() >= maxLength) {
                partialResult = text;
                timedOut = true;
                return result;
            }
            if (matched)
                return result;
        } catch (...) {
        }
    }
}

QByteArray TSerialPort::ReadStringUpToEndChars(const QList<QByteArray>& endCharsList,
                                               uint32_t timeout, QByteArray& partialResult) {
    bool timedOut = false;
    return ReadStringUpToEndChars(endCharsList, timeout, partialResult, timedOut);
}

QByteArray TSerialPort::ReadStringUpToEndChars(const QList<QByteArray>& endCharsList,
                                               uint32_t timeout) {
    QByteArray partial;
    return ReadStringUpToEndChars(endCharsList, timeout, partial);
}

QByteArray TSerialPort::ReadStringUpToEndChars(const QByteArray& endChars, uint32_t timeout) {
    if (endChars.isEmpty())
        return {};
    return ReadStringUpToEndChars(QList<QByteArray>{endChars}, timeout);
}

QByteArray TSerialPort::ReadStringLine(uint32_t timeout) {
    return ReadStringUpToEndChars(NewLine(), timeout);
}

// ---------------------------------------------------------------------------
// Device search

namespace {

void WaitHandlingEvents(unsigned long ms) {
    QCoreApplication::processEvents();
    QThread::msleep(ms);
}

// Writes the token and looks up to five times for the answer in what waits.
bool TokenAnswered(int fd, const QByteArray& sentToken, const QByteArray& receivedToken) {
    const qsizetype nul = sentToken.indexOf('\0');
    const QByteArray token = nul < 0 ? sentToken : sentToken.left(nul);
    if (SerialDevice::WriteBounded(fd, token.constData(), token.size(),
                                   1000 + 100 * static_cast<uint32_t>(token.size())) < 0)
        return false;
    QThread::msleep(50);
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int waiting = SerialDevice::InputWaiting(fd);
        if (waiting < 0)
            return false;
        QByteArray answer(std::max(waiting, 1), Qt::Uninitialized);
        const long n = SerialDevice::ReadSome(fd, answer.data(), answer.size());
        answer.truncate(std::max(n, 0L));
        if (!receivedToken.isEmpty() && answer.contains(receivedToken))
            return true;
        WaitHandlingEvents(500);
    }
    return false;
}

} // namespace

bool TSerialPort::DetectDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                               TBaudRate highestRate, TBaudRate lowestRate, QByteArray& strPort,
                               TBaudRate& pBaudRate) {
    FCancelDetect = false;
    strPort.clear();
    // The present-port list in its own letter case: device paths are case-sensitive.
    for (const TPresentPort& port : ListPresentPorts()) {
        const QByteArray path = port.path.toLocal8Bit();
        int error = 0;
        const int fd = SerialDevice::OpenExclusive(path, error);
        if (fd < 0)
            continue;
        for (int rate = std::min<int>(highestRate, br921600); rate >= lowestRate; --rate) {
            bool cancel = false;
            if (OnDetect)
                OnDetect(this, StringToCommPort(path), static_cast<TBaudRate>(rate), cancel);
            if (cancel || FCancelDetect) {
                SerialDevice::CloseDevice(fd);
                strPort.clear();
                return false;
            }
            QThread::msleep(50);
            TLineSettings settings = BuildLineSettings();
            settings.baudRate = BaudRateToInt(static_cast<TBaudRate>(rate));
            if (!SerialDevice::ApplyLineSettings(fd, settings))
                continue;
            QThread::msleep(50);
            if (TokenAnswered(fd, sentToken, receivedToken)) {
                SerialDevice::CloseDevice(fd);
                QThread::msleep(50);
                strPort = path;
                pBaudRate = static_cast<TBaudRate>(rate);
                return true;
            }
        }
        SerialDevice::PurgeInput(fd);
        SerialDevice::PurgeOutput(fd);
        SerialDevice::CloseDevice(fd);
        WaitHandlingEvents(50);
    }
    return false;
}

bool TSerialPort::DetectDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                               TCommPort& pPort, TBaudRate& pBaudRate) {
    QByteArray name;
    const bool found = DetectDevice(sentToken, receivedToken, br921600, br000075, name, pBaudRate);
    pPort = found ? StringToCommPort(name) : spNone;
    return found;
}

bool TSerialPort::FastDetectDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                                   QByteArray& strPort, TBaudRate& pBaudRate) {
    return DetectDevice(sentToken, receivedToken, br921600, br004800, strPort, pBaudRate);
}

// Automatic receive is off before the token goes out, so that the receive
// thread cannot take a quick answer away from the read.
bool TSerialPort::TestDevice(const QByteArray& sentToken, const QByteArray& receivedToken,
                             uint32_t timeout) {
    const bool autoReceive = FAutoReceive;
    SetAutoReceive(false);
    try {
        SendString(sentToken);
        QByteArray partial;
        bool timedOut = false;
        ReadStringUpToEndChars(QList<QByteArray>{receivedToken}, timeout, partial, timedOut);
        SetAutoReceive(autoReceive);
        return !timedOut && !receivedToken.isEmpty();
    } catch (...) {
        SetAutoReceive(autoReceive);
        throw;
    }
}
