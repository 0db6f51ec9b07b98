#include "device/ResponseWaiter.h"
#include "translation/MessageNumbers.h"

#include <QEventLoop>
#include <QTimer>

namespace {
// Clears the hourglass on every way out, exceptions from handlers included.
class BusyScope {
  public:
    explicit BusyScope(const ResponseWaiter::BusyIndicator& busy) : busy_(busy) {
        if (busy_)
            busy_(true);
    }
    ~BusyScope() {
        if (busy_)
            busy_(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    const ResponseWaiter::BusyIndicator& busy_;
};
} // namespace

WaitResult ResponseWaiter::Wait(const std::function<bool()>& done, const Options& options) const {
    if (done())
        return WaitResult::Completed;
    BusyScope busy(busy_);

    bool expired = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&expired] { expired = true; });
    deadline.start(options.limit);

    quint64 lastProgress = options.progress ? options.progress() : 0;
    QEventLoop loop;
    while (!done()) {
        if (options.progress && options.progress() != lastProgress) {
            lastProgress = options.progress();
            expired = false;
            deadline.start(options.limit);
        }
        if (expired) {
            if (options.onTimeout)
                options.onTimeout();
            return WaitResult::TimedOut;
        }
        // Sleeps until at least one event (the deadline timer included) arrives.
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return WaitResult::Completed;
}

int MessageOfWaitResult(WaitResult result) {
    switch (result) {
    case WaitResult::LinkLost:
        return Msg::LinkLost;
    case WaitResult::Unusable:
        return Msg::MalformedConfiguration;
    case WaitResult::Completed:
    case WaitResult::TimedOut:
        break;
    }
    return Msg::NoAnswer;
}
