// Measures the serial-port object against a responder on a pseudo-terminal that
// answers every frame as the GCU does over its line at 115200 bit/s: the frame
// takes its wire time to come in, the answer its wire time to go out, and a USB
// adapter hands the answer over in two pieces:
//  - time from SendString of a frame to the OnReceive that completes its answer
//    (median and 99th percentile), against the wire time of frame and answer,
//    and whether each answer came in one event;
//  - time for the exchanges one after the other;
//  - CPU time the process uses while the port is open and quiet.
// The last line is the median round trip over the wire time ("ratio 1.08").
// With "unpaced" the responder answers at once, the second piece 0.3 ms after
// the first, so that only the program's own delay is measured.
// Usage: bench_serial_latency [frames] [quiet seconds] [unpaced]
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLineRate = 115200;
constexpr qsizetype kFirstPiece = 6; // bytes of the answer in its first piece

// Time of one byte on the line: start bit, 8 data bits, stop bit.
std::chrono::nanoseconds ByteTime() {
    return std::chrono::nanoseconds(10LL * 1000000000LL / kLineRate);
}

QByteArray Frame(int i) {
    return "[MAXVATPS " + QByteArray::number(i % 10) + "]\r\n";
}

QByteArray AnswerTo(const QByteArray& frame) {
    return frame.left(9) + " 1234.5]\r\n";
}

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Answers each CR LF terminated frame with "[" + word + " 1234.5]" CR LF in two
// writes: paced, each piece once the line would have carried it (the frame in,
// then the answer out); unpaced, at once and 0.3 ms apart.
void Respond(int master, std::atomic<bool>& stop, bool paced) {
    QByteArray pending;
    while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[256];
        const auto n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        const auto arrived = Clock::now();
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf("\r\n")) >= 0) {
            const QByteArray frame = pending.left(end + 2);
            pending.remove(0, end + 2);
            const QByteArray answer = AnswerTo(frame);
            if (paced)
                std::this_thread::sleep_until(arrived + ByteTime() * (frame.size() + kFirstPiece));
            [[maybe_unused]] auto a = ::write(master, answer.constData(), kFirstPiece);
            if (paced)
                std::this_thread::sleep_until(arrived +
                                              ByteTime() * (frame.size() + answer.size()));
            else
                usleep(300);
            [[maybe_unused]] auto b =
                ::write(master, answer.constData() + kFirstPiece, answer.size() - kFirstPiece);
        }
    }
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t i = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[i];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int quietSeconds = argc > 2 ? std::max(0, atoi(argv[2])) : 10;
    const bool paced = !(argc > 3 && QByteArray(argv[3]) == "unpaced");

    termios raw{};
    cfmakeraw(&raw);
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    ::close(slave);
    qputenv("GCU_EXTRA_PORTS", QByteArray(name) + "=bench responder");

    std::atomic<bool> stop{false};
    std::thread responder(Respond, master, std::ref(stop), paced);

    TSerialPort port;
    port.SetBaudRate(br115200);
    port.SetCustomPortName(name);
    port.SetPort(spCustom);
    port.SetNeedSynchronization(true);

    QByteArray answer;
    int eventsForAnswer = 0;
    QEventLoop wait;
    // One guard timer, restarted per exchange: a timer left over from an earlier
    // exchange must not end a later wait early.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &wait, &QEventLoop::quit);
    port.OnReceive = [&](TSerialPort*, const QByteArray& chunk) {
        answer += chunk;
        ++eventsForAnswer;
        if (answer.endsWith("\r\n"))
            wait.quit();
    };
    if (!port.Open()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }

    auto exchange = [&](int i) {
        answer.clear();
        eventsForAnswer = 0;
        QElapsedTimer clock;
        clock.start();
        port.SendString(Frame(i));
        guard.start(2000);
        if (!answer.endsWith("\r\n"))
            wait.exec();
        guard.stop();
        return clock.nsecsElapsed() / 1e6;
    };

    for (int i = 0; i < 10; ++i) // warm-up
        exchange(i);
    std::vector<double> times;
    int whole = 0;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < frames; ++i) {
        times.push_back(exchange(i));
        whole += eventsForAnswer == 1 && answer.endsWith("\r\n") ? 1 : 0;
    }
    const double totalMs = total.nsecsElapsed() / 1e6;

    const qsizetype frameBytes = Frame(0).size();
    const qsizetype answerBytes = AnswerTo(Frame(0)).size();
    const double wireMs = (ByteTime() * (frameBytes + answerBytes)).count() / 1e6;
    const double median = Percentile(times, 0.5);
    const double p99 = Percentile(times, 0.99);
    std::printf("frames: %d of %lld bytes, answers of %lld bytes in two writes, %s\n", frames,
                static_cast<long long>(frameBytes), static_cast<long long>(answerBytes),
                paced ? "paced at 115200 bit/s" : "unpaced (0.3 ms apart)");
    std::printf("wire time of frame and answer at 115200 bit/s: %.2f ms\n", wireMs);
    std::printf("SendString -> OnReceive completing the answer: median %.2f ms, p99 %.2f ms, "
                "max %.2f ms\n",
                median, p99, *std::max_element(times.begin(), times.end()));
    if (paced)
        std::printf("over the wire time: median %+.2f ms, p99 %+.2f ms\n", median - wireMs,
                    p99 - wireMs);
    std::printf("answers delivered whole in one OnReceive: %d of %d\n", whole, frames);
    std::printf("%d exchanges one after the other: %.1f ms\n", frames, totalMs);

    if (quietSeconds > 0) {
        const double cpuBefore = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop quiet;
        QTimer::singleShot(quietSeconds * 1000, Qt::PreciseTimer, &quiet, &QEventLoop::quit);
        quiet.exec();
        const double cpu = CpuSeconds() - cpuBefore;
        std::printf("open and quiet for %.1f s: CPU %.1f ms (%.3f %% of one core)\n",
                    wall.elapsed() / 1000.0, cpu * 1000, 100.0 * cpu / (wall.elapsed() / 1000.0));
    }

    // The listing that auto-connect asks for once a second, on this machine.
    QElapsedTimer listing;
    listing.start();
    for (int i = 0; i < 20; ++i)
        GetSerialPortFriendlyNames();
    std::printf("GetSerialPortFriendlyNames on this machine: %.2f ms per call\n",
                listing.nsecsElapsed() / 1e6 / 20);

    port.Close();
    stop = true;
    responder.join();
    ::close(master);
    std::printf("ratio %.2f\n", median / wireMs);
    return 0;
}
