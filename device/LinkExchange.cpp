#include "LinkExchange.h"

#include "DeviceFrames.h"

namespace {
// A refused send (port not open) leaves nothing pending behind it.
void SendOrAbandon(const LinkExchange::Sender& send, const QByteArray& frame, LinkRouter& router) {
    try {
        send(frame);
    } catch (...) {
        router.AbandonRequest();
        throw;
    }
}
} // namespace

WaitResult LinkExchange::RequestConfigDump() {
    router_.BeginRequest(RequestId::ConfigDump);
    SendOrAbandon(send_, DeviceFrames::GetConfiguration(), router_);
    return AwaitAnswer(RequestId::ConfigDump, limits_.dumpPiece, true);
}

WaitResult LinkExchange::Ask(int requestId, const QByteArray& queryFrame) {
    router_.BeginRequest(requestId);
    SendOrAbandon(send_, queryFrame, router_);
    return AwaitAnswer(requestId, limits_.answer, false);
}

// Ends when the answer is complete, or when the request is dropped or replaced
// (disconnect, live mode switched on meanwhile): then the answer counts as missing.
WaitResult LinkExchange::AwaitAnswer(int requestId, std::chrono::milliseconds limit,
                                     bool restartOnProgress) {
    ResponseWaiter::Options options;
    options.limit = limit;
    if (restartOnProgress)
        options.progress = [this] { return router_.PiecesReceived(); };
    options.onTimeout = [this] { router_.AbandonRequest(); };
    const WaitResult result = waiter_.Wait(
        [this, requestId] { return router_.AnswerReady() || router_.Request() != requestId; },
        options);
    if (result == WaitResult::Completed && !router_.AnswerReady())
        return WaitResult::TimedOut;
    return result;
}

WaitResult LinkExchange::SendAndAwaitAnyPiece(const QByteArray& frame) {
    router_.BeginPlainWait();
    try {
        send_(frame);
    } catch (...) {
        router_.EndPlainWait();
        throw;
    }
    ResponseWaiter::Options options;
    options.limit = limits_.anyPiece;
    options.onTimeout = [this] { router_.EndPlainWait(); };
    return waiter_.Wait([this] { return !router_.Waiting(); }, options);
}

void LinkExchange::SwitchLive(bool on) {
    if (!on) {
        router_.EndLive();
        send_(DeviceFrames::LiveStream(false));
        return;
    }
    router_.BeginLive();
    try {
        send_(DeviceFrames::LiveStream(true));
    } catch (...) {
        router_.EndLive();
        throw;
    }
}
