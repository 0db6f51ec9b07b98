// The line-rate queues on a made-up clock: when bytes leave and arrive.
#include "gcusim/PacedLine.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const LineClock::time_point T0 = LineClock::time_point() + 1h;
const std::chrono::nanoseconds Byte = ByteTimeAt(115200);

// A port that takes at most Room bytes per write (-1: refuses with EIO).
struct FakePort {
    QByteArray written;
    long room = 1 << 20;
    PacedTransmitter::Writer Writer() {
        return [this](const char* data, long size) -> long {
            if (room < 0) {
                errno = EIO;
                return -1;
            }
            const long taken = std::min(size, room);
            if (taken == 0) {
                errno = EAGAIN;
                return -1;
            }
            written.append(data, taken);
            return taken;
        };
    }
};

} // namespace

TEST(SimPacing, bytesLeaveAtTenBitTimesEach) {
    EXPECT_EQ(Byte.count(), 86805);
    PacedTransmitter line;
    FakePort port;
    line.Reset(T0);
    line.Enqueue(T0, "0123456789");
    EXPECT_EQ(line.Pump(T0, port.Writer()), PacedTransmitter::Result::Waiting);
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(line.NextDue(), T0 + 10 * Byte);
    line.Pump(T0 + 5 * Byte, port.Writer());
    EXPECT_EQ(port.written, "01234");
    EXPECT_EQ(line.PendingBytes(), 5);
    EXPECT_EQ(line.Pump(T0 + 10 * Byte, port.Writer()), PacedTransmitter::Result::Idle);
    EXPECT_EQ(port.written, "0123456789");
    EXPECT_FALSE(line.NextDue());
}

TEST(SimPacing, aPieceWaitsItsPauseAfterThePreviousOneHasLeft) {
    PacedTransmitter line;
    FakePort port;
    line.Reset(T0);
    line.Enqueue(T0, "abc");
    line.Enqueue(T0, "def", false, 1ms);
    line.Pump(T0 + 3 * Byte + 500us, port.Writer());
    EXPECT_EQ(port.written, "abc");
    EXPECT_EQ(line.NextDue(), T0 + 3 * Byte + 1ms);
    line.Pump(T0 + 3 * Byte + 1ms + 2 * Byte, port.Writer());
    EXPECT_EQ(port.written, "abcde");
}

TEST(SimPacing, aSlowReaderBlocksWithoutLosingOrReorderingBytes_andARefusalIsReported) {
    PacedTransmitter line;
    FakePort port;
    port.room = 2;
    line.Reset(T0);
    line.Enqueue(T0, "hello");
    line.Enqueue(T0, "world");
    EXPECT_EQ(line.Pump(T0 + 20 * Byte, port.Writer()), PacedTransmitter::Result::Blocked);
    EXPECT_EQ(port.written, "he");
    port.room = 1 << 20;
    EXPECT_EQ(line.Pump(T0 + 20 * Byte, port.Writer()), PacedTransmitter::Result::Idle);
    EXPECT_EQ(port.written, "helloworld");

    line.Enqueue(T0 + 30 * Byte, "x");
    port.room = -1;
    EXPECT_EQ(line.Pump(T0 + 40 * Byte, port.Writer()), PacedTransmitter::Result::Gone);
}

TEST(SimPacing, droppingStatusLinesCutsTheOneUnderWayAndKeepsAnswers) {
    PacedTransmitter line;
    FakePort port;
    line.Reset(T0);
    line.Enqueue(T0, "*1&2&3#\r\n", true);
    line.Enqueue(T0, "*4&5&6#\r\n", true);
    line.Enqueue(T0, "OK\r\n");
    EXPECT_EQ(line.QueuedStatusLines(), 2);
    line.Pump(T0 + 3 * Byte, port.Writer());
    line.DropUnsentStatusLines();
    EXPECT_EQ(line.QueuedStatusLines(), 1); // the cut one, already sent in full
    line.Pump(T0 + 20 * Byte, port.Writer());
    EXPECT_EQ(port.written, "*1&OK\r\n");
}

TEST(SimPacing, unpacedLineSendsAtOnce) {
    PacedTransmitter line(0);
    FakePort port;
    line.Reset(T0);
    line.Enqueue(T0, "everything");
    EXPECT_EQ(line.Pump(T0, port.Writer()), PacedTransmitter::Result::Idle);
    EXPECT_EQ(port.written, "everything");
}

TEST(SimPacing, receivedBytesArriveAfterTheLineHasCarriedThem_inOrder) {
    PacedReceiver line;
    line.Reset(T0);
    line.Received("[INVPARAM 1]\r\n", T0);
    line.Received("[PRINTSTS 1]\r\n", T0 + Byte);
    EXPECT_FALSE(line.TakeArrived(T0 + 13 * Byte));
    EXPECT_EQ(line.TakeArrived(T0 + 14 * Byte), QByteArray("[INVPARAM 1]\r\n"));
    // The second frame queued behind the first on the line.
    EXPECT_EQ(line.NextArrival(), T0 + 28 * Byte);
    EXPECT_FALSE(line.TakeArrived(T0 + 27 * Byte));
    EXPECT_EQ(line.TakeArrived(T0 + 28 * Byte), QByteArray("[PRINTSTS 1]\r\n"));
    EXPECT_FALSE(line.NextArrival());
}
