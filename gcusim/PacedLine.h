#pragma once
// The serial line between the GCU and the PC at its real rate: every byte
// takes ten bit times, in each direction. A pseudo-terminal moves bytes at
// once; these queues hold them until the line would have carried them.
#include <QByteArray>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>

using LineClock = std::chrono::steady_clock;

// Time of one byte (start bit, 8 data bits, stop bit); 0 when unpaced.
std::chrono::nanoseconds ByteTimeAt(int baudRate);

// What the GCU sends: pieces leave in order, each byte once its ten bits are
// through; a piece may wait a pause after the one before it.
class PacedTransmitter {
  public:
    // Writes bytes to the port; returns how many were taken, or -1 with errno.
    using Writer = std::function<long(const char* data, long size)>;
    enum class Result { Idle, Waiting, Blocked, Gone };

    explicit PacedTransmitter(int baudRate = 115200) { SetBaudRate(baudRate); }
    void SetBaudRate(int baudRate) { byteTime_ = ByteTimeAt(baudRate); }

    // Empties the queue; the line is free from Now on.
    void Reset(LineClock::time_point now);
    // Bytes handed over at Now; they start once the line is free and the
    // pause after the previous piece has passed.
    void Enqueue(LineClock::time_point now, const QByteArray& bytes, bool statusLine = false,
                 std::chrono::nanoseconds pauseBefore = {});
    // Drops every status byte not yet on the line; a line under way is cut.
    // True when a line was cut (its first part is on the line).
    bool DropUnsentStatusLines();

    // Hands every byte due by Now to Write. Blocked: the reader is behind
    // (retry when the port is writable); Gone: the port refused the write.
    Result Pump(LineClock::time_point now, const Writer& write);
    // When the next bytes fall due; nullopt when nothing waits.
    std::optional<LineClock::time_point> NextDue() const { return nextDue_; }

    int PendingBytes() const;
    int QueuedStatusLines() const;

  private:
    struct Piece {
        QByteArray bytes;
        int sent = 0;
        std::chrono::nanoseconds pauseBefore{0};
        LineClock::time_point handedOver;
        std::optional<LineClock::time_point> start;
        bool statusLine = false;
    };
    std::chrono::nanoseconds byteTime_{0};
    std::deque<Piece> queue_;
    LineClock::time_point lineFreeAt_{};
    std::optional<LineClock::time_point> nextDue_;
};

// What the PC sends: usable by the GCU once the line has carried it.
class PacedReceiver {
  public:
    explicit PacedReceiver(int baudRate = 115200) { SetBaudRate(baudRate); }
    void SetBaudRate(int baudRate) { byteTime_ = ByteTimeAt(baudRate); }

    void Reset(LineClock::time_point now);
    // Bytes read from the port at Now.
    void Received(const QByteArray& bytes, LineClock::time_point now);
    // The next bytes that have arrived by Now, oldest first; empty when none.
    std::optional<QByteArray> TakeArrived(LineClock::time_point now);
    std::optional<LineClock::time_point> NextArrival() const;

  private:
    struct Piece {
        QByteArray bytes;
        LineClock::time_point arrivesAt;
    };
    std::chrono::nanoseconds byteTime_{0};
    std::deque<Piece> queue_;
    LineClock::time_point lineFreeAt_{};
};
