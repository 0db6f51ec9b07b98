#include "device/LinkExchange.h"

#include "device/DeviceFrames.h"

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

std::chrono::milliseconds LinkExchange::DumpLimit(int maxDumpLength) const {
    return limits_.dump +
           std::chrono::milliseconds(qint64(maxDumpLength) * 1000 / WireBytesPerSecond);
}

LinkExchange::DumpAnswer LinkExchange::RequestConfigDump(int maxDumpLength) {
    LinkRequestOptions options;
    options.maxDumpLength = maxDumpLength;
    router_.BeginRequest(RequestId::ConfigDump, options);
    SendOrAbandon(send_, DeviceFrames::GetConfiguration(), router_);
    DumpAnswer answer;
    answer.result = AwaitAnswer(RequestId::ConfigDump, DumpLimit(maxDumpLength));
    if (answer.result == WaitResult::Completed) {
        answer.dump = router_.CompletedDump();
        return answer;
    }
    if (answer.result != WaitResult::TimedOut)
        return answer;
    const qint64 sinceText = router_.MsSinceDumpText();
    const bool stillSending = sinceText >= 0 && sinceText < StillSending.count();
    if (router_.DumpOverflowed() || stillSending)
        answer.result = WaitResult::Unusable;
    return answer;
}

WaitResult LinkExchange::Ask(int requestId, const QByteArray& queryFrame,
                             const std::optional<AnswerRange>& range) {
    LinkRequestOptions options;
    options.answerRange = range;
    router_.BeginRequest(requestId, options);
    SendOrAbandon(send_, queryFrame, router_);
    const WaitResult result = AwaitAnswer(requestId, limits_.answer);
    if (result == WaitResult::TimedOut && !router_.PassedOverText().isEmpty())
        return WaitResult::Unusable;
    return result;
}

// Ends when the answer is complete, or when the request is dropped or replaced
// (time-out, link lost, live mode switched on meanwhile): then the answer
// counts as missing.
WaitResult LinkExchange::AwaitAnswer(int requestId, std::chrono::milliseconds limit) {
    const quint64 losses = router_.LinkLosses();
    ResponseWaiter::Options options;
    options.limit = limit;
    options.onTimeout = [this] { router_.AbandonRequest(); };
    waiter_.Wait(
        [this, requestId] { return router_.AnswerReady() || router_.Request() != requestId; },
        options);
    if (router_.LinkLosses() != losses)
        return WaitResult::LinkLost;
    return router_.AnswerReady() ? WaitResult::Completed : WaitResult::TimedOut;
}

WaitResult LinkExchange::SendAndAwaitAnyPiece(const QByteArray& frame,
                                             std::optional<std::chrono::milliseconds> limit) {
    const quint64 losses = router_.LinkLosses();
    router_.BeginPlainWait();
    try {
        send_(frame);
    } catch (...) {
        router_.EndPlainWait();
        throw;
    }
    ResponseWaiter::Options options;
    options.limit = limit.value_or(limits_.anyPiece);
    options.onTimeout = [this] { router_.EndPlainWait(); };
    const WaitResult result = waiter_.Wait([this] { return !router_.Waiting(); }, options);
    if (router_.LinkLosses() != losses)
        return WaitResult::LinkLost;
    return result;
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
