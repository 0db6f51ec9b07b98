#pragma once
// Pseudo-terminals standing in for serial devices, and a recorder of the events
// of a serial-port object, for the serial tests.
#include "serial/PortListing.h"
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

// The far end of a pseudo-terminal; the object under test opens Path.
class Pty {
  public:
    Pty() {
        termios raw{};
        cfmakeraw(&raw);
        char name[128] = {};
        int slave = -1;
        if (openpty(&master_, &slave, name, &raw, nullptr) == 0) {
            path_ = name;
            ::close(slave);
        }
    }
    ~Pty() { Hangup(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool Valid() const { return master_ >= 0; }
    const QByteArray& Path() const { return path_; }
    int Master() const { return master_; }

    void Write(const QByteArray& bytes) const {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const auto n = ::write(master_, bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += n;
        }
    }
    // Reads what the object sent until want bytes came or timeoutMs passed.
    QByteArray Read(qsizetype want, int timeoutMs = 2000) const {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < want && clock.elapsed() < timeoutMs) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buffer[512];
                const auto n = ::read(master_, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, n);
            }
        }
        return got;
    }
    // Closing the far end is what the object sees when an adapter is pulled.
    void Hangup() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    QByteArray path_;
};

// Points the port listing at an empty sysfs tree and lists the given extra ports.
class ListedPorts {
  public:
    explicit ListedPorts(const QList<QByteArray>& paths) {
        TPortListingOptions options;
        options.sysfsRoot = root_.path();
        SetPortListingOptions(options);
        qputenv("GCU_EXTRA_PORTS", paths.join(';'));
    }
    ~ListedPorts() {
        qunsetenv("GCU_EXTRA_PORTS");
        SetPortListingOptions(TPortListingOptions());
    }

  private:
    QTemporaryDir root_;
};

// Every event of a port object as one line, with the thread it ran on. Stored
// as standard strings and handed out as fresh copies, so that no Qt container is
// shared between the threads.
class EventLog {
  public:
    explicit EventLog(TSerialPort& port) {
        port.OnConnect = [this](TSerialPort*, TCommPort p) { Add("connect", p); };
        port.OnDisconnect = [this](TSerialPort*, TCommPort p) { Add("disconnect", p); };
        port.OnFault = [this](TSerialPort*, TCommPort p) { Add("fault", p); };
        port.OnIdle = [this](TSerialPort*) { Add("idle", spNone); };
        port.OnResume = [this](TSerialPort*) { Add("resume", spNone); };
        port.OnLineStatusChange = [this](TSerialPort*, TLineStatusSet s) {
            Add("lines " + std::to_string(s), spNone);
        };
        port.OnReceive = [this](TSerialPort*, const QByteArray& b) {
            const std::string bytes(b.constData(), size_t(b.size()));
            std::lock_guard<std::mutex> lock(mutex_);
            received_ += bytes;
            chunks_.push_back(bytes);
            events_.push_back("receive");
            offMainThread_ |= QThread::currentThread() != qApp->thread();
        };
        port.OnSend = [this](TSerialPort*, const QByteArray& b) {
            const std::string bytes(b.constData(), size_t(b.size()));
            std::lock_guard<std::mutex> lock(mutex_);
            sent_.push_back(bytes);
        };
    }
    QList<QByteArray> Events() const { return Copy(events_); }
    int Count(const QByteArray& event) const { return int(Events().count(event)); }
    QByteArray Received() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return QByteArray(received_.data(), qsizetype(received_.size()));
    }
    QList<QByteArray> Chunks() const { return Copy(chunks_); }
    QList<QByteArray> Sent() const { return Copy(sent_); }
    bool AnyOffMainThread() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return offMainThread_;
    }
    QList<TCommPort> Ports() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return QList<TCommPort>(ports_.begin(), ports_.end());
    }

  private:
    void Add(const std::string& event, TCommPort port) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
        ports_.push_back(port);
        offMainThread_ |= QThread::currentThread() != qApp->thread();
    }
    QList<QByteArray> Copy(const std::vector<std::string>& list) const {
        std::lock_guard<std::mutex> lock(mutex_);
        QList<QByteArray> copy;
        for (const std::string& item : list)
            copy.append(QByteArray(item.data(), qsizetype(item.size())));
        return copy;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<TCommPort> ports_;
    std::vector<std::string> chunks_;
    std::vector<std::string> sent_;
    std::string received_;
    bool offMainThread_ = false;
};

// Handles window events until the condition holds; false after timeoutMs.
template <typename Pred> bool WaitFor(Pred pred, int timeoutMs = 3000) {
    return QTest::qWaitFor(pred, timeoutMs);
}

// A pseudo-terminal listed as the one extra port, for the tests of port
// objects.
class ListedPtyTest : public ::testing::Test {
  protected:
    ListedPtyTest() : listed_({pty_.Path()}) {}
    void SetUp() override { ASSERT_TRUE(pty_.Valid()); }

    // Sets Port up as the window sets it up, on the device at Path.
    static void Configure(TSerialPort& port, const QByteArray& path, TBaudRate rate = br115200) {
        port.SetBaudRate(rate);
        port.SetCustomPortName(path);
        port.SetPort(spCustom);
        port.SetNeedSynchronization(true);
    }

    Pty pty_;
    ListedPorts listed_;
};
