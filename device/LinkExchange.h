#pragma once
// Asking the GCU and waiting for the answer, with the time limits of the link.
// The router decides when an answer is complete; the waiter keeps the window
// responsive meanwhile. A time-out clears the request, so nothing is marked
// done; so does a link lost during the wait, which is told apart.
#include "device/LinkRouter.h"
#include "device/ResponseWaiter.h"
#include "util/Exceptions.h"

#include <QByteArray>
#include <chrono>
#include <functional>
#include <optional>

// A frame could not go out because the link is gone (the port closed by
// itself). The sender raises it; the exchange reports the request as
// LinkLost, so a send after the link went reads as the link lost, not as an
// error of the port. Its text is the port's own.
class ELinkGone : public QvException {
  public:
    using QvException::QvException;
};

class LinkExchange {
  public:
    using Sender = std::function<void(const QByteArray& frame)>;

    struct Limits {
        std::chrono::milliseconds answer{3000}; // a one-line answer, from the query
        // The dump, from the request: this, plus the time the longest dump the
        // command table allows takes on the wire, whatever arrives meanwhile.
        std::chrono::milliseconds dump{3000};
        std::chrono::milliseconds anyPiece{3000}; // the acknowledgement of a write
        // The moment a store is given before anything else is asked.
        std::chrono::milliseconds store{1500};
    };
    // Bytes a second at the GCU's line rate (115200 bits, ten bits a byte).
    static constexpr int WireBytesPerSecond = 11520;
    // Text that came for the dump this recently at its time limit means the GCU
    // was still sending something that is no dump.
    static constexpr std::chrono::milliseconds StillSending{1000};

    LinkExchange(LinkRouter& router, const ResponseWaiter& waiter, Sender send, Limits limits)
        : router_(router), waiter_(waiter), send_(std::move(send)), limits_(limits) {}
    LinkExchange(LinkRouter& router, const ResponseWaiter& waiter, Sender send)
        : LinkExchange(router, waiter, std::move(send), Limits{}) {}

    // "[INVPARAM 1]" and wait until the dump is complete; the dump is returned
    // to the caller (on Completed, the whole text up to its "#"). MaxDumpLength
    // bounds the text a dump can be; it also sets the time limit. Unusable: the
    // GCU answered, but with no whole dump (fields without their end mark, half
    // a dump, more text than a dump can be, or text still coming at the limit).
    struct DumpAnswer {
        WaitResult result = WaitResult::TimedOut;
        QString dump;
    };
    DumpAnswer RequestConfigDump(int maxDumpLength = LinkRouter::DefaultMaxDumpLength);
    // The whole download's time limit for a dump of at most MaxDumpLength characters.
    std::chrono::milliseconds DumpLimit(int maxDumpLength) const;
    // Query frame for a stored-answer request; on Completed the answer is the
    // router's ReceivedText(). Range helps to find an answer glued to a status
    // line cut short. Unusable: only lines without a number came (the last one
    // is the router's PassedOverText()).
    WaitResult Ask(int requestId, const QByteArray& queryFrame,
                   const std::optional<AnswerRange>& range = std::nullopt);
    // A parameter write: waits for the next piece of any text.
    WaitResult SendAndAwaitAnyPiece(const QByteArray& frame);
    // "[SAVEPRMT 0]", then a moment for the GCU to answer it (its answer, any
    // text, or Limits::store at most), so that a unit busy writing its memory
    // is not asked for anything at once. Completed: text came; TimedOut: the
    // moment passed; LinkLost: the link closed meanwhile or was already gone.
    WaitResult StoreParameters();

    // Live mode on: the router takes every piece as status text, then
    // "[PRINTSTS 1]" is sent; off: the router stops, then "[PRINTSTS 0]". A
    // refused start leaves live routing off.
    void SwitchLive(bool on);

    void Send(const QByteArray& frame) const { send_(frame); }
    LinkRouter& Router() const { return router_; }
    const Limits& TimeLimits() const { return limits_; }

  private:
    WaitResult AwaitAnswer(int requestId, std::chrono::milliseconds limit);
    WaitResult AwaitAnyPiece(const QByteArray& frame, std::chrono::milliseconds limit);
    // False when the frame could not go out because the link is gone.
    bool SendOrAbandon(const QByteArray& frame);

    LinkRouter& router_;
    const ResponseWaiter& waiter_;
    Sender send_;
    Limits limits_;
};
