#pragma once
// Asking the GCU and waiting for the answer, with the time limits of the link.
// The router decides when an answer is complete; the waiter keeps the window
// responsive meanwhile. A time-out clears the request, so nothing is marked done.
#include "LinkRouter.h"
#include "ResponseWaiter.h"

#include <QByteArray>
#include <chrono>
#include <functional>

class LinkExchange {
  public:
    using Sender = std::function<void(const QByteArray& frame)>;

    struct Limits {
        std::chrono::milliseconds answer{3000};    // a one-line answer, from the query
        std::chrono::milliseconds dumpPiece{5000}; // the dump, from its last piece
        std::chrono::milliseconds anyPiece{3000};  // the acknowledgement of a write
    };

    LinkExchange(LinkRouter& router, const ResponseWaiter& waiter, Sender send, Limits limits)
        : router_(router), waiter_(waiter), send_(std::move(send)), limits_(limits) {}
    LinkExchange(LinkRouter& router, const ResponseWaiter& waiter, Sender send)
        : LinkExchange(router, waiter, std::move(send), Limits{}) {}

    // "[INVPARAM 1]" and wait until the dump is complete (the router hands it to
    // the receive handler, which applies it). A disconnect meanwhile (the window
    // abandons the request) ends the wait as TimedOut.
    WaitResult RequestConfigDump();
    // Query frame for a stored-answer request; on Completed the answer is the
    // router's ReceivedText().
    WaitResult Ask(int requestId, const QByteArray& queryFrame);
    // A parameter write: waits for the next piece of any text.
    WaitResult SendAndAwaitAnyPiece(const QByteArray& frame);

    // Live mode on: the router takes every piece as status text, then
    // "[PRINTSTS 1]" is sent; off: the router stops, then "[PRINTSTS 0]". A
    // refused start leaves live routing off.
    void SwitchLive(bool on);

    void Send(const QByteArray& frame) const { send_(frame); }
    LinkRouter& Router() const { return router_; }

  private:
    WaitResult AwaitAnswer(int requestId, std::chrono::milliseconds limit, bool restartOnProgress);

    LinkRouter& router_;
    const ResponseWaiter& waiter_;
    Sender send_;
    Limits limits_;
};
