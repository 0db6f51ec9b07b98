#pragma once
// The one time-limited wait for the GCU: runs a local event loop (timers,
// clicks and received pieces are handled inside it) until a condition holds or
// the limit passes. Blocks in the event loop between events; never spins.
#include <QtGlobal>
#include <chrono>
#include <functional>

enum class WaitResult {
    Completed, // the awaited answer is complete
    TimedOut,  // no answer within the limit
    Unusable,  // the GCU sent text, but not the answer asked for
    LinkLost,  // the link closed during the wait
};

// The message that tells the user why a wait that did not complete failed.
int MessageOfWaitResult(WaitResult result);

class ResponseWaiter {
  public:
    // Shows (true) and clears (false) the hourglass; the window maps it onto the
    // application's override cursor.
    using BusyIndicator = std::function<void(bool busy)>;

    struct Options {
        std::chrono::milliseconds limit{3000};
        // When given, each change of this counter restarts the limit, so a long
        // answer is measured from its last piece.
        std::function<quint64()> progress;
        // Runs once when the limit passes, before Wait returns (clears the request
        // so that a late answer completes nothing).
        std::function<void()> onTimeout;
    };

    explicit ResponseWaiter(BusyIndicator busy = {}) : busy_(std::move(busy)) {}
    void SetBusyIndicator(BusyIndicator busy) { busy_ = std::move(busy); }

    // Completed or TimedOut; the exchange tells the other results apart.
    WaitResult Wait(const std::function<bool()>& done, const Options& options) const;

  private:
    BusyIndicator busy_;
};
