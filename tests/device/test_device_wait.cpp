// The time-limited wait and the exchanges built on it. Waits are driven by
// timers in the event loop; limits are short so that time-outs stay quick.
#include "device/DeviceFrames.h"
#include "device/LinkExchange.h"
#include "device/LinkRouter.h"
#include "device/ResponseWaiter.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace std::chrono_literals;

namespace {
struct BusyLog {
    std::vector<bool> calls;
    ResponseWaiter::BusyIndicator Indicator() {
        return [this](bool busy) { calls.push_back(busy); };
    }
};

// Delivers a piece to the router from the event loop, as the receive event does.
void DeliverLater(LinkRouter& router, int delayMs, const char* text) {
    QTimer::singleShot(delayMs, [&router, piece = QByteArray(text)] {
        router.Receive(piece, QTime::currentTime(), false);
    });
}
} // namespace

TEST(ResponseWaiter, conditionMetInTime_completesAndClearsHourglass) {
    BusyLog busy;
    ResponseWaiter waiter(busy.Indicator());
    bool done = false;
    int timeouts = 0;
    QTimer::singleShot(10, [&done] { done = true; });
    ResponseWaiter::Options options;
    options.limit = 5000ms;
    options.onTimeout = [&timeouts] { ++timeouts; };
    EXPECT_EQ(waiter.Wait([&done] { return done; }, options), WaitResult::Completed);
    EXPECT_EQ(timeouts, 0);
    EXPECT_EQ(busy.calls, (std::vector<bool>{true, false}));
}

TEST(ResponseWaiter, nothingArrives_timesOutOnceAfterLimit) {
    BusyLog busy;
    ResponseWaiter waiter(busy.Indicator());
    int timeouts = 0;
    ResponseWaiter::Options options;
    options.limit = 60ms;
    options.onTimeout = [&timeouts] { ++timeouts; };
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waiter.Wait([] { return false; }, options), WaitResult::TimedOut);
    EXPECT_GE(clock.elapsed(), 55);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(busy.calls, (std::vector<bool>{true, false}));
}

TEST(ResponseWaiter, alreadyDone_returnsWithoutHourglass) {
    BusyLog busy;
    ResponseWaiter waiter(busy.Indicator());
    EXPECT_EQ(waiter.Wait([] { return true; }, {}), WaitResult::Completed);
    EXPECT_TRUE(busy.calls.empty());
}

TEST(ResponseWaiter, progressRestartsLimit_butSilenceStillTimesOut) {
    // Progress every 40 ms for 12 rounds outlasts a 300 ms limit.
    auto runWith = [](bool watchProgress) {
        ResponseWaiter waiter;
        quint64 progress = 0;
        bool done = false;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (++progress == 12)
                done = true;
        });
        ticker.start(40);
        ResponseWaiter::Options options;
        options.limit = 300ms;
        if (watchProgress)
            options.progress = [&progress] { return progress; };
        return waiter.Wait([&done] { return done; }, options);
    };
    EXPECT_EQ(runWith(true), WaitResult::Completed);
    EXPECT_EQ(runWith(false), WaitResult::TimedOut);
}

TEST(ResponseWaiter, hourglassClearedWhenHandlerInsideWaitThrows) {
    BusyLog busy;
    ResponseWaiter waiter(busy.Indicator());
    ResponseWaiter::Options options;
    options.limit = 5000ms;
    int rounds = 0;
    EXPECT_THROW(waiter.Wait(
                     [&rounds]() -> bool {
                         if (++rounds == 2)
                             throw std::runtime_error("handler failed");
                         return false;
                     },
                     options),
                 std::runtime_error);
    EXPECT_EQ(busy.calls, (std::vector<bool>{true, false}));
}

class LinkExchangeTest : public ::testing::Test {
  protected:
    LinkRouter router;
    ResponseWaiter waiter;
    std::vector<QByteArray> sent;
    LinkExchange exchange{router, waiter, [this](const QByteArray& f) { sent.push_back(f); },
                          LinkExchange::Limits{300ms, 300ms, 300ms}};
};

TEST_F(LinkExchangeTest, askWaitsForWholeLine_notFirstPiece) {
    DeliverLater(router, 5, "2.");
    DeliverLater(router, 30, "35\r\n");
    EXPECT_EQ(exchange.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
              WaitResult::Completed);
    EXPECT_EQ(sent, std::vector<QByteArray>{"[MINVATPS ?]\r\n"});
    EXPECT_EQ(router.ReceivedText(), "2.35\r\n");
}

TEST_F(LinkExchangeTest, askWithoutAnswer_timesOutAndClearsRequest) {
    DeliverLater(router, 5, "2.3"); // never finished
    EXPECT_EQ(exchange.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
              WaitResult::TimedOut);
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_FALSE(router.AnswerReady());
    // The late rest of the line completes nothing.
    EXPECT_FALSE(router.Receive("5\r\n", QTime(), false).answerCompleted);
}

TEST_F(LinkExchangeTest, dumpLimit_coversTheWholeDownloadAtTheWireRate) {
    // Pieces 200 ms apart: longer than the 300 ms the GCU gets to begin, within
    // the time the longest dump takes on the wire on top of it.
    DeliverLater(router, 200, "1&2&");
    DeliverLater(router, 400, "3&4&");
    DeliverLater(router, 600, "5#\r\n");
    const LinkExchange::DumpAnswer answer = exchange.RequestConfigDump();
    EXPECT_EQ(answer.result, WaitResult::Completed);
    // The dump goes back to the one who asked for it, whole.
    EXPECT_EQ(answer.dump, QStringLiteral("1&2&3&4&5#"));
    EXPECT_EQ(sent, std::vector<QByteArray>{"[INVPARAM 1]\r\n"});
    EXPECT_EQ(router.Request(), RequestId::None);
}

TEST_F(LinkExchangeTest, dumpStalling_isAnAnswerCutShort_andItsTextIsForgotten) {
    DeliverLater(router, 5, "1&2&");
    EXPECT_EQ(exchange.RequestConfigDump().result, WaitResult::Unusable);
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_TRUE(router.ReceivedText().isEmpty());
    // Fields that end without the end mark were answered too; nothing at all was not.
    DeliverLater(router, 5, "1&2&3\r\n");
    EXPECT_EQ(exchange.RequestConfigDump().result, WaitResult::Unusable);
    DeliverLater(router, 5, "OK\r\n");
    EXPECT_EQ(exchange.RequestConfigDump().result, WaitResult::TimedOut);
}

TEST_F(LinkExchangeTest, refusedSend_leavesNothingPending) {
    LinkExchange failing{router, waiter,
                         [](const QByteArray&) { throw std::runtime_error("not open"); }};
    EXPECT_THROW(failing.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
                 std::runtime_error);
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_THROW(failing.SendAndAwaitAnyPiece("[X 1]\r\n"), std::runtime_error);
    EXPECT_FALSE(router.Waiting());
}

TEST_F(LinkExchangeTest, parameterWriteEndsAtAnyPiece) {
    DeliverLater(router, 5, "o");
    EXPECT_EQ(exchange.SendAndAwaitAnyPiece("[UPSHTIME 12.5]\r\n"), WaitResult::Completed);
    EXPECT_EQ(exchange.SendAndAwaitAnyPiece("[UPSHTIME 12.5]\r\n"), WaitResult::TimedOut);
    EXPECT_FALSE(router.Waiting());
}

TEST_F(LinkExchangeTest, switchLive_routesStatusLinesOnlyWhileOn) {
    exchange.SwitchLive(true);
    EXPECT_EQ(router.Request(), RequestId::Live);
    EXPECT_EQ(router.Receive("*1&2#\r\n", QTime(), false).liveLines.size(), 1);
    exchange.SwitchLive(false);
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_TRUE(router.Receive("*1&2#\r\n", QTime(), false).liveLines.isEmpty());
    EXPECT_EQ(sent, (std::vector<QByteArray>{"[PRINTSTS 1]\r\n", "[PRINTSTS 0]\r\n"}));

    LinkExchange failing{router, waiter,
                         [](const QByteArray&) { throw std::runtime_error("not open"); }};
    EXPECT_THROW(failing.SwitchLive(true), std::runtime_error);
    EXPECT_EQ(router.Request(), RequestId::None);
}

TEST_F(LinkExchangeTest, requestDroppedDuringWait_countsAsNoAnswer) {
    // A disconnect abandons the request: the wait ends at once, nothing is done.
    QTimer::singleShot(5, [this] { router.AbandonRequest(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(exchange.RequestConfigDump().result, WaitResult::TimedOut);
    EXPECT_LT(clock.elapsed(), 250);
    QTimer::singleShot(5, [this] { router.BeginLive(); });
    EXPECT_EQ(exchange.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
              WaitResult::TimedOut);
}

TEST_F(LinkExchangeTest, linkLostDuringAnyWait_isToldApartFromNoAnswer) {
    QTimer::singleShot(20, [this] { router.LoseLink(); });
    EXPECT_EQ(exchange.RequestConfigDump().result, WaitResult::LinkLost);
    QTimer::singleShot(20, [this] { router.LoseLink(); });
    EXPECT_EQ(exchange.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
              WaitResult::LinkLost);
    QTimer::singleShot(20, [this] { router.LoseLink(); });
    EXPECT_EQ(exchange.SendAndAwaitAnyPiece("[UPACTPWR 80]\r\n"), WaitResult::LinkLost);
    // A wait that ends otherwise is not lost.
    EXPECT_EQ(exchange.SendAndAwaitAnyPiece("[UPACTPWR 80]\r\n"), WaitResult::TimedOut);
}

TEST_F(LinkExchangeTest, dumpLimit_holdsWhateverKeepsArriving_textThatIsNoDumpIsUnusable) {
    // Fields without an end mark every 50 ms: the limit is not restarted by them.
    QTimer chatter;
    QObject::connect(&chatter, &QTimer::timeout,
                     [this] { router.Receive("12&0&", QTime::currentTime(), false); });
    chatter.start(50);
    const int maxLength = 4000; // under the chatter's total: the limit ends it, not the bound
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(exchange.RequestConfigDump(maxLength).result, WaitResult::Unusable);
    const qint64 limit = exchange.DumpLimit(maxLength).count();
    EXPECT_GE(clock.elapsed(), limit - 20);
    EXPECT_LT(clock.elapsed(), limit + 1000);
    EXPECT_FALSE(router.DumpOverflowed());
}

TEST_F(LinkExchangeTest, dumpTextLongerThanADumpCanBe_endsTheWaitAtOnce) {
    DeliverLater(router, 5, "12&0&3.50&1&12&0&3.50&1&12&0&3.50&1&");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(exchange.RequestConfigDump(20).result, WaitResult::Unusable);
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_TRUE(router.DumpOverflowed());
}

TEST_F(LinkExchangeTest, askAnsweredOnlyByAnAcknowledgement_isUnusableWithItsText) {
    DeliverLater(router, 5, "OK\r\n");
    EXPECT_EQ(exchange.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
              WaitResult::Unusable);
    EXPECT_EQ(router.PassedOverText(), "OK");
    DeliverLater(router, 5, "OK\r\n");
    DeliverLater(router, 40, "0.50\r\n");
    EXPECT_EQ(exchange.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")),
              WaitResult::Completed);
    EXPECT_EQ(router.ReceivedText(), "0.50\r\n");
}

// ------------------------------------------------------------------ storing, a link that is gone

TEST_F(LinkExchangeTest, store_waitsForTheUnitsAnswerOrAMomentAtMost) {
    LinkExchange::Limits limits{300ms, 300ms, 300ms};
    limits.store = 150ms;
    LinkExchange storing{router, waiter, [this](const QByteArray& f) { sent.push_back(f); },
                         limits};
    DeliverLater(router, 20, "OK SAVEPRMT\r\n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(storing.StoreParameters(), WaitResult::Completed);
    EXPECT_LT(clock.elapsed(), 140);
    clock.restart();
    EXPECT_EQ(storing.StoreParameters(), WaitResult::TimedOut);
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_FALSE(router.Waiting());
    EXPECT_EQ(sent, (std::vector<QByteArray>{"[SAVEPRMT 0]\r\n", "[SAVEPRMT 0]\r\n"}));
    QTimer::singleShot(20, [this] { router.LoseLink(); });
    EXPECT_EQ(storing.StoreParameters(), WaitResult::LinkLost);
}

TEST_F(LinkExchangeTest, sendRefusedBecauseTheLinkIsGone_isTheLinkLostForEveryRequest) {
    int sends = 0;
    LinkExchange gone{router, waiter, [&sends](const QByteArray&) {
                          ++sends;
                          throw ELinkGone("/dev/ttyUSB0 is not open.");
                      }};
    const std::pair<const char*, std::function<WaitResult()>> requests[] = {
        {"dump", [&] { return gone.RequestConfigDump().result; }},
        {"query", [&] { return gone.Ask(RequestId::TpsIdle, DeviceFrames::Query("MINVATPS")); }},
        {"write", [&] { return gone.SendAndAwaitAnyPiece("[UPACTPWR 80]\r\n"); }},
        {"store", [&] { return gone.StoreParameters(); }},
    };
    for (const auto& [name, request] : requests) {
        SCOPED_TRACE(name);
        const quint64 losses = router.LinkLosses();
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(request(), WaitResult::LinkLost);
        EXPECT_LT(clock.elapsed(), 250); // at once, not at a time limit
        EXPECT_EQ(router.LinkLosses(), losses + 1);
        EXPECT_EQ(router.Request(), RequestId::None);
        EXPECT_FALSE(router.Waiting());
    }
    EXPECT_EQ(sends, 4);
}
