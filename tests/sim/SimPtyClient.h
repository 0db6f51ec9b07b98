#pragma once
// A client of the simulated GCU's port, as the program would be: opens the
// device raw and non-blocking, sends frames and waits (poll, no sleeps) for
// what comes back.
#include <QByteArray>
#include <QString>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

class SimPtyClient {
  public:
    using Clock = std::chrono::steady_clock;
    struct Piece {
        Clock::time_point at;
        QByteArray bytes;
    };

    SimPtyClient() = default;
    explicit SimPtyClient(const QString& path) { Open(path); }
    ~SimPtyClient() { Close(); }
    SimPtyClient(const SimPtyClient&) = delete;
    SimPtyClient& operator=(const SimPtyClient&) = delete;

    bool Open(const QString& path) {
        Close();
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return false;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        openedAt_ = Clock::now();
        received_.clear();
        pieces_.clear();
        hungUp_ = false;
        return true;
    }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool IsOpen() const { return fd_ >= 0; }

    bool Send(const QByteArray& bytes) {
        sentAt_ = Clock::now();
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Reads until Done(received) holds, the port hangs up or Timeout passes.
    bool ReadUntil(const std::function<bool(const QByteArray&)>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = Clock::now() + timeout;
        while (!done(received_)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || hungUp_)
                return done(received_);
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                received_.append(buffer, n);
                pieces_.push_back({Clock::now(), QByteArray(buffer, n)});
            } else if (n == 0 || (n < 0 && errno != EAGAIN)) {
                hungUp_ = true;
            }
        }
        return true;
    }
    bool ReadUntilContains(const QByteArray& text,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return ReadUntil([&text](const QByteArray& r) { return r.contains(text); }, timeout);
    }
    // Sends a frame and returns what arrived up to and including the next CR LF.
    QByteArray Ask(const QByteArray& frame) {
        Take();
        Send(frame + "\r\n");
        ReadUntilContains("\r\n");
        return Take();
    }
    // Everything received so far, which is then forgotten.
    QByteArray Take() {
        QByteArray all = received_;
        received_.clear();
        pieces_.clear();
        return all;
    }

    const QByteArray& Received() const { return received_; }
    const std::vector<Piece>& Pieces() const { return pieces_; }
    bool HungUp() const { return hungUp_; }
    Clock::time_point OpenedAt() const { return openedAt_; }
    Clock::time_point SentAt() const { return sentAt_; }

  private:
    int fd_ = -1;
    QByteArray received_;
    std::vector<Piece> pieces_;
    bool hungUp_ = false;
    Clock::time_point openedAt_;
    Clock::time_point sentAt_;
};
