// Measures the serial-port object against a responder on a pseudo-terminal that
// answers every frame at once, as the GCU does:
//  - time from SendString of a frame to the OnReceive that completes its answer
//    (median and 99th percentile), and whether each answer came in one event;
//  - time for 200 such exchanges one after the other;
//  - CPU time the process uses while the port is open and quiet.
// Usage: bench_serial_latency [frames] [quiet seconds]
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
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

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Answers each CR LF terminated frame with "[" + word + " 1234.5]" CR LF, the
// answer split in two writes 300 us apart as a USB adapter may deliver it.
void Respond(int master, std::atomic<bool>& stop) {
    QByteArray pending;
    while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[256];
        const auto n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf("\r\n")) >= 0) {
            const QByteArray frame = pending.left(end);
            pending.remove(0, end + 2);
            const QByteArray answer = frame.left(9) + " 1234.5]\r\n";
            [[maybe_unused]] auto a = ::write(master, answer.constData(), 6);
            usleep(300);
            [[maybe_unused]] auto b = ::write(master, answer.constData() + 6, answer.size() - 6);
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
    std::thread responder(Respond, master, std::ref(stop));

    TSerialPort port;
    port.SetBaudRate(br115200);
    port.SetCustomPortName(name);
    port.SetPort(spCustom);
    port.SetNeedSynchronization(true);

    QByteArray answer;
    int eventsForAnswer = 0;
    QEventLoop wait;
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
        port.SendString("[MAXVATPS " + QByteArray::number(i % 10) + "]\r\n");
        QTimer::singleShot(2000, &wait, &QEventLoop::quit);
        if (!answer.endsWith("\r\n"))
            wait.exec();
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

    std::printf("frames: %d (answer of 18 bytes in two writes 0.3 ms apart)\n", frames);
    std::printf("SendString -> OnReceive completing the answer: median %.2f ms, p99 %.2f ms, "
                "max %.2f ms\n",
                Percentile(times, 0.5), Percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()));
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
    return 0;
}
