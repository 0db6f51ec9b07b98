#include "gcusim/PacedLine.h"

#include <algorithm>
#include <cerrno>

namespace {

using Nanos = std::chrono::nanoseconds;

// Bytes written together: keeps wake-ups below one a millisecond at 115200.
constexpr int Batch = 12;

} // namespace

Nanos ByteTimeAt(int baudRate) {
    return baudRate > 0 ? Nanos(10'000'000'000LL / baudRate) : Nanos{0};
}

void PacedTransmitter::Reset(LineClock::time_point now) {
    queue_.clear();
    lineFreeAt_ = now;
    nextDue_.reset();
}

void PacedTransmitter::Enqueue(LineClock::time_point now, const QByteArray& bytes, bool statusLine,
                               Nanos pauseBefore) {
    if (!bytes.isEmpty())
        queue_.push_back(Piece{bytes, 0, pauseBefore, now, std::nullopt, statusLine});
}

bool PacedTransmitter::DropUnsentStatusLines() {
    bool cut = false;
    for (auto it = queue_.begin(); it != queue_.end();) {
        if (!it->statusLine) {
            ++it;
        } else if (it->sent > 0) {
            it->bytes.truncate(it->sent);
            cut = true;
            ++it;
        } else {
            it = queue_.erase(it);
        }
    }
    return cut;
}

int PacedTransmitter::PendingBytes() const {
    int pending = 0;
    for (const Piece& piece : queue_)
        pending += static_cast<int>(piece.bytes.size()) - piece.sent;
    return pending;
}

int PacedTransmitter::QueuedStatusLines() const {
    return static_cast<int>(
        std::count_if(queue_.begin(), queue_.end(), [](const Piece& p) { return p.statusLine; }));
}

PacedTransmitter::Result PacedTransmitter::Pump(LineClock::time_point now, const Writer& write) {
    nextDue_.reset();
    while (!queue_.empty()) {
        Piece& piece = queue_.front();
        if (!piece.start) {
            const auto earliest = std::max(lineFreeAt_ + piece.pauseBefore, piece.handedOver);
            if (earliest > now) {
                nextDue_ = earliest;
                return Result::Waiting;
            }
            piece.start = earliest;
        }
        const qsizetype size = piece.bytes.size();
        const qsizetype due = byteTime_.count() > 0
                                  ? std::min<qsizetype>(size, (now - *piece.start) / byteTime_)
                                  : size;
        if (due > piece.sent) {
            const long wanted = static_cast<long>(due - piece.sent);
            const long taken = write(piece.bytes.constData() + piece.sent, wanted);
            if (taken < 0)
                return errno == EAGAIN ? Result::Blocked : Result::Gone;
            piece.sent += static_cast<int>(taken);
            if (taken < wanted)
                return Result::Blocked;
        }
        if (piece.sent == size) {
            lineFreeAt_ = *piece.start + byteTime_ * size;
            queue_.pop_front();
            continue;
        }
        nextDue_ = *piece.start + byteTime_ * std::min<qsizetype>(size, piece.sent + Batch);
        return Result::Waiting;
    }
    return Result::Idle;
}

void PacedReceiver::Reset(LineClock::time_point now) {
    queue_.clear();
    lineFreeAt_ = now;
}

void PacedReceiver::Received(const QByteArray& bytes, LineClock::time_point now) {
    lineFreeAt_ = std::max(lineFreeAt_, now) + byteTime_ * bytes.size();
    queue_.push_back(Piece{bytes, lineFreeAt_});
}

std::optional<QByteArray> PacedReceiver::TakeArrived(LineClock::time_point now) {
    if (queue_.empty() || queue_.front().arrivesAt > now)
        return std::nullopt;
    QByteArray bytes = queue_.front().bytes;
    queue_.pop_front();
    return bytes;
}

std::optional<LineClock::time_point> PacedReceiver::NextArrival() const {
    if (queue_.empty())
        return std::nullopt;
    return queue_.front().arrivesAt;
}
