// When the receive thread hands received text over: at a line end at once, after
// a quiet line otherwise, and without losing or reordering a byte.
#include "support/SerialTestSupport.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Writes pieces to the far end with a pause before each but the first, on a
// thread of its own, and notes when the last write began and when it returned.
class PiecesWriter {
  public:
    PiecesWriter(const Pty& pty, QList<QByteArray> pieces, microseconds pause)
        : thread_([this, &pty, pieces = std::move(pieces), pause] {
              for (qsizetype i = 0; i < pieces.size(); ++i) {
                  if (i > 0)
                      std::this_thread::sleep_for(pause);
                  const auto before = Clock::now();
                  pty.Write(pieces[i]);
                  const auto after = Clock::now();
                  // The most the bytes of two writes can lie apart.
                  if (i > 0)
                      longestGap_ = std::max(longestGap_, MsBetween(lastStart_, after));
                  lastStart_ = before;
                  lastEnd_ = after;
              }
          }) {}
    ~PiecesWriter() { Join(); }
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }
    // Valid after Join.
    Clock::time_point LastWriteBegan() const { return lastStart_; }
    Clock::time_point LastWriteReturned() const { return lastEnd_; }
    double LongestGapMs() const { return longestGap_; }

  private:
    Clock::time_point lastStart_{};
    Clock::time_point lastEnd_{};
    double longestGap_ = 0;
    std::thread thread_;
};

// A port set up as the window sets it up, at a chosen line rate; each received
// chunk is kept with the time it reached the window thread.
class SerialReceive : public ListedPtyTest {
  protected:
    SerialReceive() {
        timeout_.setSingleShot(true);
        QObject::connect(&timeout_, &QTimer::timeout, &loop_, &QEventLoop::quit);
    }

    void Open(TBaudRate rate) {
        Configure(port_, pty_.Path(), rate);
        port_.OnReceive = [this](TSerialPort*, const QByteArray& chunk) {
            chunks_.append(chunk);
            arrivals_.push_back(Clock::now());
            received_ += chunk;
            if (received_.size() >= expectedSize_)
                loop_.quit();
        };
        ASSERT_TRUE(port_.Open());
    }
    // Handles window events (blocking, no polling) until size bytes came in.
    bool AwaitBytes(qsizetype size, int timeoutMs = 3000) {
        expectedSize_ = size;
        if (received_.size() < size) {
            timeout_.start(timeoutMs);
            loop_.exec();
            timeout_.stop();
        }
        return received_.size() >= size;
    }
    void Forget() {
        chunks_.clear();
        arrivals_.clear();
        received_.clear();
    }

    QEventLoop loop_;
    QTimer timeout_;
    QList<QByteArray> chunks_;
    std::vector<Clock::time_point> arrivals_;
    QByteArray received_;
    qsizetype expectedSize_ = 0;
    TSerialPort port_; // last: it goes first, before what its handler uses
};

// At 9600 bits per second the quiet gap is 24 character times, 25 ms: a hand-over
// well inside 20 ms can only come from the line end.
constexpr double kQuietGapAt9600Ms = 25.0;

TEST_F(SerialReceive, answerEndingInLineEnd_isHandedOverAtOnceNotAfterTheQuietGap) {
    Open(br009600);
    const QByteArray answer = "[MAXVATPS 1234.5]\r\n";
    std::vector<double> latencies;
    int whole = 0;
    for (int i = 0; i < 200; ++i) {
        Forget();
        const auto written = Clock::now();
        pty_.Write(answer);
        ASSERT_TRUE(AwaitBytes(answer.size())) << "exchange " << i;
        latencies.push_back(MsBetween(written, arrivals_.back()));
        whole += chunks_ == QList<QByteArray>{answer} ? 1 : 0;
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2];
    EXPECT_LT(median, 20.0) << "a line end ends the wait (the quiet gap here is "
                            << kQuietGapAt9600Ms << " ms)";
    EXPECT_EQ(whole, 200) << "every answer arrives whole, in one OnReceive";
    port_.Close();
}

TEST_F(SerialReceive, dumpEndMark_handsTheDumpOverWholeAsSoonAsItIsComplete) {
    Open(br009600);
    // Fields separated by "&", then the end mark "#" and CR LF, arriving as the
    // line delivers it: in small pieces close together.
    QByteArray dump;
    for (int field = 1; field <= 60; ++field)
        dump += QByteArray::number(field * 1.5, 'f', 1) + '&';
    dump += "#\r\n";
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at < dump.size(); at += 24)
        pieces.append(dump.mid(at, 24));
    PiecesWriter writer(pty_, pieces, microseconds(1000));
    ASSERT_TRUE(AwaitBytes(dump.size()));
    writer.Join();
    EXPECT_EQ(received_, dump);
    if (writer.LongestGapMs() < kQuietGapAt9600Ms - 5) {
        EXPECT_EQ(chunks_, QList<QByteArray>{dump}) << "the dump is not cut at a quiet moment";
    }
    EXPECT_LT(MsBetween(writer.LastWriteReturned(), arrivals_.back()), 20.0)
        << "the end mark ends the wait";
    port_.Close();
}

TEST_F(SerialReceive, textWithoutLineEnd_waitsForAQuietLineAndThenArrivesWhole) {
    Open(br009600);
    PiecesWriter writer(pty_, {"no line ", "end here"}, microseconds(5000));
    ASSERT_TRUE(AwaitBytes(16));
    writer.Join();
    EXPECT_EQ(chunks_, QList<QByteArray>{"no line end here"});
    EXPECT_GE(MsBetween(writer.LastWriteBegan(), arrivals_.back()), kQuietGapAt9600Ms - 1)
        << "handed over only once the line has been quiet";
    port_.Close();
}

// A line whose second half comes 0.3 ms after the first (as a USB adapter may
// deliver it) stays one chunk. The quiet gap of 25 ms leaves room for a loaded
// machine to hold the writer or the terminal layer for a while.
TEST_F(SerialReceive, lineSplitOverTwoWritesAFractionOfAMillisecondApart_arrivesAsOneChunk) {
    Open(br009600);
    const QByteArray line = "[MAXVATPS 1234.5]\r\n";
    int counted = 0;
    for (int i = 0; i < 20; ++i) {
        Forget();
        PiecesWriter writer(pty_, {line.left(6), line.mid(6)}, microseconds(300));
        ASSERT_TRUE(AwaitBytes(line.size()));
        writer.Join();
        EXPECT_EQ(received_, line);
        // A round whose writes the machine held apart longer than the gap shows
        // nothing about the receive side.
        if (writer.LongestGapMs() > kQuietGapAt9600Ms - 5)
            continue;
        ++counted;
        EXPECT_EQ(chunks_, QList<QByteArray>{line}) << "round " << i;
    }
    EXPECT_GT(counted, 0) << "the writer never managed a short gap";
    port_.Close();
}

TEST_F(SerialReceive, thousandBackToBackLines_arriveCompleteAndInOrder) {
    Open(br115200);
    QByteArray expected;
    QList<QByteArray> lines;
    for (int i = 0; i < 1000; ++i) {
        lines.append("*" + QByteArray::number(i).rightJustified(4, '0') + "&12.5&3000#\r\n");
        expected += lines.last();
    }
    PiecesWriter writer(pty_, lines, microseconds(0));
    ASSERT_TRUE(AwaitBytes(expected.size(), 10000));
    writer.Join();
    EXPECT_EQ(received_, expected);
    port_.Close();
}

// The window is busy with a chunk (here 300 ms in its handler) while more
// lines come: the receive thread goes on reading them, so each keeps the time
// its bytes came, not the time the window got round to it.
TEST_F(SerialReceive, linesArrivingWhileTheWindowIsBusy_keepTheTimeTheyCame) {
    Configure(port_, pty_.Path(), br115200);
    struct Line {
        qsizetype end = 0; // index of its line end in the stream
        SteadyTime written;
        SteadyTime arrived;
    };
    std::vector<Line> lines(12);
    ArrivalMarks marks; // of the whole stream
    port_.OnReceive = [&](TSerialPort* sender, const QByteArray& chunk) {
        AppendArrivals(marks, received_.size(), sender->ReceivedArrivals());
        received_ += chunk;
        if (received_.size() == chunk.size())
            std::this_thread::sleep_for(milliseconds(300)); // the first chunk: busy
        if (received_.size() >= expectedSize_)
            loop_.quit();
    };
    ASSERT_TRUE(port_.Open());
    QByteArray expected;
    for (size_t i = 0; i < lines.size(); ++i) {
        expected += "*" + QByteArray::number(qulonglong(i)) + "&1&1&13.80#\r\n";
        lines[i].end = expected.size() - 1;
    }
    std::thread writer([&] {
        qsizetype from = 0;
        for (Line& line : lines) {
            line.written = Clock::now();
            pty_.Write(expected.mid(from, line.end + 1 - from));
            from = line.end + 1;
            std::this_thread::sleep_for(milliseconds(25));
        }
    });
    const bool all = AwaitBytes(expected.size(), 5000);
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_EQ(received_, expected);
    double worst = 0;
    for (Line& line : lines) {
        line.arrived = ArrivalOf(marks, line.end, SteadyTime());
        ASSERT_NE(line.arrived, SteadyTime()) << "a byte without its arrival";
        worst = std::max(worst, MsBetween(line.written, line.arrived));
        EXPECT_GE(MsBetween(line.written, line.arrived), 0.0);
    }
    // Without reading on, the lines of the busy 300 ms would share one time
    // up to 300 ms late.
    EXPECT_LT(worst, 30.0) << "a line was timed this late (ms)";
    port_.Close();
}

TEST(ArrivalMarks, aByteArrivesWithItsReadAndKeepsItWhenOthersAreRemoved) {
    const SteadyTime t0 = SteadyClock::now();
    const auto at = [t0](int ms) { return t0 + milliseconds(ms); };
    QByteArray chunk("ab\0c\0\0d\0", 8);
    ArrivalMarks marks{{3, at(1)}, {6, at(2)}, {8, at(3)}};
    EXPECT_EQ(ArrivalOf(marks, 0, at(9)), at(1));
    EXPECT_EQ(ArrivalOf(marks, 3, at(9)), at(2));
    EXPECT_EQ(ArrivalOf(marks, 7, at(9)), at(3));
    EXPECT_EQ(ArrivalOf(marks, 8, at(9)), at(9)); // past the chunk
    RemoveByteKeepingArrivals(chunk, marks, '\0');
    EXPECT_EQ(chunk, QByteArray("abcd"));
    // "ab" came first, "c" second, "d" last; a read of NULs alone leaves no mark.
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(ArrivalOf(marks, 1, at(9)), at(1));
    EXPECT_EQ(ArrivalOf(marks, 2, at(9)), at(2));
    EXPECT_EQ(ArrivalOf(marks, 3, at(9)), at(3));
    ArrivalMarks joined = {{2, at(1)}};
    AppendArrivals(joined, 2, {{1, at(5)}});
    EXPECT_EQ(ArrivalOf(joined, 2, at(9)), at(5));
}

TEST_F(SerialReceive, closeWhileTheThreadIsBlockedWaiting_endsPromptlyWithOneDisconnect) {
    TSerialPort port;
    EventLog log(port);
    // A poll period and quiet gap far longer than the close may take: only a
    // wake-up of the blocked wait ends the thread in time.
    port.SetDelay(5000);
    port.SetBaudRate(br000300); // quiet gap 800 ms
    port.SetCustomPortName(pty_.Path());
    port.SetPort(spCustom);
    ASSERT_TRUE(port.Open());
    QTest::qWait(50);
    auto started = Clock::now();
    port.Close();
    EXPECT_LT(MsBetween(started, Clock::now()), 500.0) << "waiting for the first byte";
    EXPECT_EQ(log.Events(), (QList<QByteArray>{"connect", "disconnect"}));

    // Blocked inside a line that has begun: the bytes already read still arrive.
    ASSERT_TRUE(port.Open());
    pty_.Write("partial");
    ASSERT_TRUE(WaitFor([&] { return port.IsReceiving(); }, 2000));
    started = Clock::now();
    port.Close();
    EXPECT_LT(MsBetween(started, Clock::now()), 500.0) << "waiting for the rest of a line";
    EXPECT_EQ(log.Events(),
              (QList<QByteArray>{"connect", "disconnect", "connect", "receive", "disconnect"}));
    EXPECT_EQ(log.Received(), QByteArray("partial"));
    QTest::qWait(50);
    EXPECT_EQ(log.Count("disconnect"), 2) << "one OnDisconnect per connection";
}

} // namespace
