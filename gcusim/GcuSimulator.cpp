#include "gcusim/GcuSimulator.h"

#include "gcusim/GcuCommandProcessor.h"
#include "gcusim/GcuParameterSet.h"
#include "gcusim/IntelHex.h"
#include "gcusim/PacedLine.h"
#include "gcusim/Stk500v2BootLoader.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Nanos = std::chrono::nanoseconds;

// A boot loader session without traffic for this long starts the application.
constexpr auto BootLoaderIdleLimit = std::chrono::seconds(3);
// Status lines waiting behind a slow reader before new ones are skipped.
constexpr int MaxQueuedStatusLines = 2;

QString ErrnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

CommandTable LoadTable(const GcuSimulatorOptions& options) {
    if (options.commandTable)
        return *options.commandTable;
    StringGridModel grid(CommandsFileColumnCount, CommandCount + 1);
    LoadStringGridFromCSV(grid, options.commandsFile);
    CommandTable table;
    LoadCommandsFromGrid(grid, table);
    return table;
}

} // namespace

std::optional<QString> FirmwareVersionInImage(const std::vector<uint8_t>& flash, uint32_t end) {
    static const QByteArray marker = QByteArray(GcuVersionMarker) + ' ';
    const QByteArray image(reinterpret_cast<const char*>(flash.data()),
                           qsizetype(std::min<size_t>(end, flash.size())));
    const qsizetype at = image.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    const QByteArray version = image.mid(at + marker.size(), 5);
    if (version.size() != 5 ||
        !std::all_of(version.begin(), version.end(), [](char c) { return c > ' ' && c < 127; }))
        return std::nullopt;
    return QString::fromLatin1(version);
}

QByteArray GcuAnnouncement(const QString& firmwareVersion) {
    return (QStringLiteral("901 - Init OK\r\n900 - ") + QLatin1String(GcuVersionMarker) + u' ' +
            firmwareVersion + QStringLiteral("\r\n"))
        .toLatin1();
}

enum class LinkMode { Unplugged, Closed, Booting, BootLoader, Running };

struct GcuSimulator::Impl {
    explicit Impl(GcuSimulatorOptions o)
        : options(std::move(o)), statusLinesToDrop(options.faults.dropStatusLines) {}

    GcuSimulatorOptions options;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::thread thread;
    int wakeFd = -1;
    int masterFd = -1;
    int slaveFd = -1; // held open: keeps the pty's state between clients
    int watchFd = -1; // inotify on the slave device: clients opening, closing
    int clientOpens = 0;
    std::atomic<bool> stopRequested{false};
    bool hangUpRequested = false;
    bool replugRequested = false;

    std::unique_ptr<GcuParameterSet> parameters;
    GcuRideModel ride;
    std::unique_ptr<GcuCommandProcessor> processor;
    GcuFrameSplitter splitter;
    Stk500v2BootLoader bootLoader;
    std::mt19937 rng{12345};

    QString portPath;
    QString firmware; // announced
    LinkMode mode = LinkMode::Unplugged;
    bool running = false;
    Clock::time_point bootDeadline;
    Clock::time_point lastBootTraffic;
    Clock::time_point lastRideStep;
    bool streaming = false;
    Clock::time_point nextStatus;
    Clock::time_point chatterUntil; // dump-like text without an end mark goes out until then
    Clock::time_point nextChatter;
    Clock::time_point noiseUntil; // random bytes go out until then
    Clock::time_point busyUntil;  // a store under way: frames are lost until then
    QByteArray storeAnswer;       // its answer, sent at its end
    Clock::time_point nextNoise;
    long statusLines = 0;
    int statusLinesToDrop = 0;
    QList<GcuStatusLogEntry> statusLog;
    PacedTransmitter transmitter;
    PacedReceiver receiver;
    bool outputBlocked = false;
    int framesReceived = 0;
    QList<QByteArray> frames;
    int openCount = 0;
    int bootLoaderSessions = 0;
    bool flashDirty = false;
    uint64_t generation = 0; // counts state changes for WaitUntil

    // --- set-up -----------------------------------------------------------
    void CreatePort();
    void ClosePort();
    void PublishLink();
    void RemoveLink();
    void Log(const QString& text) const {
        if (options.log)
            options.log(text);
    }

    // --- the thread ---------------------------------------------------------
    void Run();
    void RunOnce();
    void HandleRequests();
    void HandleClientEvents(Clock::time_point now);
    void ResetSlaveForNextClient();
    void OnOpened(Clock::time_point now);
    void OnClosed();
    void ReadInput(Clock::time_point now);
    void HandleArrivedInput(Clock::time_point now);
    void HandleBootBytes(const QByteArray& bytes, Clock::time_point now);
    void HandleFrames(const QByteArray& bytes, Clock::time_point now);
    void StartApplication(Clock::time_point now);
    void RunTimers(Clock::time_point now);
    void StepRide(Clock::time_point now);
    void SetStreaming(bool on, Clock::time_point now);
    void Chatter(Clock::time_point now);
    void StartIdleFaults(Clock::time_point now);
    void Noise(Clock::time_point now);
    QByteArray DumpAsSent(QByteArray dump) const;
    std::optional<int> WrittenCommand(const GcuFrame& frame) const;
    void ApplyWriteFaults(int commandId, double before);
    void EnqueueAnswer(const QByteArray& text, Clock::time_point now);
    void EnqueueDumpWithGap(const QByteArray& dump, Clock::time_point now);
    void PumpOutput(Clock::time_point now);
    std::optional<Clock::time_point> NextDeadline(Clock::time_point now);
    bool SaveState() const;
    void WriteFlashOut();
    void Notify() {
        ++generation;
        changed.notify_all();
    }
};

// --- set-up ---------------------------------------------------------------------

void GcuSimulator::Impl::CreatePort() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError(ErrnoText("Cannot open a pseudo-terminal"));
    char name[128] = {};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        throw EInOutError(ErrnoText("Cannot prepare the pseudo-terminal"));
    }
    // The simulator holds the slave itself, so that it can reset what a client
    // leaves behind (line settings, exclusive use, unread output); the clients'
    // opens and closes are seen through inotify on the device.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (slave < 0 || watch < 0 || inotify_add_watch(watch, name, IN_OPEN | IN_CLOSE) < 0) {
        const QString reason = ErrnoText("Cannot watch the pseudo-terminal");
        for (const int f : {fd, slave, watch})
            if (f >= 0)
                ::close(f);
        throw EInOutError(reason);
    }
    masterFd = fd;
    slaveFd = slave;
    watchFd = watch;
    clientOpens = 0;
    portPath = QString::fromLocal8Bit(name);
    mode = LinkMode::Closed;
    ResetSlaveForNextClient();
    PublishLink();
}

void GcuSimulator::Impl::ResetSlaveForNextClient() {
    // Raw, so that nothing the GCU sends is echoed back before a client sets
    // its own line; exclusive use ends with the client that asked for it (a
    // pty outlives its clients, so the flag would lock the next one out).
    termios tio{};
    tcgetattr(slaveFd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(slaveFd, TCSANOW, &tio);
    ioctl(slaveFd, TIOCNXCL);
    // Output the last client left unread must not greet the next one, and
    // what it sent last is dropped as the board's reset drops it.
    tcflush(slaveFd, TCIFLUSH);
    tcflush(masterFd, TCIFLUSH);
}

void GcuSimulator::Impl::ClosePort() {
    for (int* fd : {&watchFd, &slaveFd, &masterFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    RemoveLink();
    portPath.clear();
    mode = LinkMode::Unplugged;
    transmitter.Reset(Clock::now());
    receiver.Reset(Clock::now());
    streaming = false;
}

void GcuSimulator::Impl::PublishLink() {
    if (options.linkPath.isEmpty())
        return;
    const QByteArray link = QFile::encodeName(options.linkPath);
    const QFileInfo info(options.linkPath);
    if (info.exists() && !info.isSymLink())
        throw EInOutError(QStringLiteral("Will not replace ") + options.linkPath +
                          ": it is not a symbolic link");
    ::unlink(link.constData());
    if (::symlink(QFile::encodeName(portPath).constData(), link.constData()) != 0)
        throw EInOutError(ErrnoText("Cannot create the link") + " " + options.linkPath);
}

// Another simulator may have published the path since (another unit plugged
// in on the same path): its link stays.
void GcuSimulator::Impl::RemoveLink() {
    if (options.linkPath.isEmpty() || portPath.isEmpty())
        return;
    const QFileInfo link(options.linkPath);
    if (link.isSymLink() && link.symLinkTarget() == portPath)
        ::unlink(QFile::encodeName(options.linkPath).constData());
}

bool GcuSimulator::Impl::SaveState() const {
    if (options.stateFile.isEmpty())
        return true;
    QSaveFile file(options.stateFile);
    const QByteArray text = parameters->StateText();
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    Log(QStringLiteral("cannot write the state file ") + options.stateFile);
    return false;
}

void GcuSimulator::Impl::WriteFlashOut() {
    if (!flashDirty || options.flashOutFile.isEmpty())
        return;
    flashDirty = false;
    try {
        WriteMemoryFile(options.flashOutFile, bootLoader.Flash(), bootLoader.ProgrammedEnd());
        Log(QStringLiteral("flash image written to ") + options.flashOutFile);
    } catch (const EInOutError& e) {
        Log(e.Message());
    }
}

// --- link events ------------------------------------------------------------------

void GcuSimulator::Impl::HandleClientEvents(Clock::time_point now) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(watchFd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        // Events in order, so that a quick close and reopen is still a reset.
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_OPEN) {
                if (++clientOpens == 1)
                    OnOpened(now);
            } else if (event->mask & IN_CLOSE && clientOpens > 0) {
                if (--clientOpens == 0)
                    OnClosed();
            }
        }
    }
}

void GcuSimulator::Impl::OnOpened(Clock::time_point now) {
    // Opening the port resets the board: unsaved values are lost, the reboot
    // counter counts, and the boot loader listens first.
    ++openCount;
    parameters->RestoreStored();
    parameters->SetRebootCounter(parameters->RebootCounter() + 1);
    SaveState();
    ride.SetCalibration(processor->RideCalibration());
    splitter.Reset();
    bootLoader.Restart();
    transmitter.Reset(now);
    receiver.Reset(now);
    outputBlocked = false;
    streaming = false;
    storeAnswer.clear();
    busyUntil = {};
    mode = options.bootWindowMs > 0 ? LinkMode::Booting : LinkMode::Running;
    bootDeadline = now + std::chrono::milliseconds(options.bootWindowMs);
    Log(QStringLiteral("port opened"));
    if (mode == LinkMode::Running)
        StartApplication(now);
}

void GcuSimulator::Impl::OnClosed() {
    mode = LinkMode::Closed;
    transmitter.Reset(Clock::now());
    receiver.Reset(Clock::now());
    streaming = false;
    ResetSlaveForNextClient();
    WriteFlashOut();
    Log(QStringLiteral("port closed"));
}

void GcuSimulator::Impl::StartApplication(Clock::time_point now) {
    mode = LinkMode::Running;
    splitter.Reset();
    lastRideStep = now;
    // Once an image has been written, the GCU runs it: it announces the
    // version given for after an update, else the one the image carries.
    if (bootLoader.FlashProgrammed()) {
        const QString image =
            !options.firmwareAfterUpdate.isEmpty()
                ? options.firmwareAfterUpdate
                : FirmwareVersionInImage(bootLoader.Flash(), bootLoader.ProgrammedEnd())
                      .value_or(firmware);
        if (image != firmware) {
            firmware = image;
            Log(QStringLiteral("firmware now ") + firmware);
        }
    }
    const QByteArray announcement = GcuAnnouncement(firmware);
    transmitter.Enqueue(now, announcement);
    if (options.faults.announceTwice)
        transmitter.Enqueue(now, announcement);
    Log(QStringLiteral("announced"));
    StartIdleFaults(now);
}

// Text nobody asked for: the idle text at once, noise for a while.
void GcuSimulator::Impl::StartIdleFaults(Clock::time_point now) {
    if (!options.faults.idleText.isEmpty()) {
        transmitter.Enqueue(now, options.faults.idleText);
        Log(QStringLiteral("sent %1 bytes unasked").arg(options.faults.idleText.size()));
    }
    if (options.faults.idleNoiseMs > 0) {
        noiseUntil = now + std::chrono::milliseconds(options.faults.idleNoiseMs);
        nextNoise = now;
    }
}

// --- input ------------------------------------------------------------------------

void GcuSimulator::Impl::ReadInput(Clock::time_point now) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n <= 0)
            break; // EAGAIN: all read
        // The pty delivers at once; the board's line would still be busy
        // carrying these bytes for ten bit times each.
        receiver.Received(QByteArray(buffer, n), now);
    }
    HandleArrivedInput(now);
}

void GcuSimulator::Impl::HandleArrivedInput(Clock::time_point now) {
    while (const auto bytes = receiver.TakeArrived(now)) {
        if (mode == LinkMode::Booting || mode == LinkMode::BootLoader)
            HandleBootBytes(*bytes, now);
        else if (mode == LinkMode::Running)
            HandleFrames(*bytes, now);
    }
}

void GcuSimulator::Impl::HandleBootBytes(const QByteArray& bytes, Clock::time_point now) {
    const auto answer = bootLoader.Feed(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                        static_cast<size_t>(bytes.size()));
    if (answer.empty())
        return; // the boot loader ignores everything but its own messages
    if (mode == LinkMode::Booting) {
        mode = LinkMode::BootLoader;
        ++bootLoaderSessions;
        Log(QStringLiteral("boot loader session"));
    }
    lastBootTraffic = now;
    transmitter.Enqueue(now, QByteArray(reinterpret_cast<const char*>(answer.data()),
                                        static_cast<qsizetype>(answer.size())));
    if (bootLoader.FlashProgrammed())
        flashDirty = true;
    if (bootLoader.LeftProgrammingMode()) {
        WriteFlashOut();
        StartApplication(now);
    }
}

void GcuSimulator::Impl::HandleFrames(const QByteArray& bytes, Clock::time_point now) {
    for (const GcuFrame& frame : splitter.Feed(bytes)) {
        ++framesReceived;
        frames << frame.raw;
        Log(QStringLiteral("received ") + QString::fromLatin1(frame.raw));
        const int hangUpAt = options.faults.hangUpAfterFrames;
        if (hangUpAt > 0 && framesReceived >= hangUpAt) {
            Log(QStringLiteral("hanging up after %1 frames").arg(framesReceived));
            ClosePort();
            return;
        }
        if (!options.faults.hangUpOnWord.isEmpty() && frame.word == options.faults.hangUpOnWord) {
            Log(QStringLiteral("hanging up on ") + frame.word);
            ClosePort();
            return;
        }
        if (options.faults.neverAnswer)
            continue;
        if (now < busyUntil) {
            Log(QStringLiteral("busy storing: lost ") + QString::fromLatin1(frame.raw).trimmed());
            continue;
        }
        StepRide(now);
        const std::optional<int> written = WrittenCommand(frame);
        const double before = written ? parameters->ValueOfCommand(*written).value_or(0.0) : 0.0;
        GcuReply reply = processor->Handle(frame);
        if (written)
            ApplyWriteFaults(*written, before);
        if (frame.word == QLatin1String("INVPARAM") && options.faults.dumpUnanswered)
            continue;
        if (frame.word == QLatin1String("INVPARAM") && reply.text.endsWith("#\r\n"))
            reply.text = DumpAsSent(reply.text);
        if (frame.word == QLatin1String("INVPARAM") && options.faults.dumpChatterMs > 0) {
            reply.text.clear();
            chatterUntil = now + std::chrono::milliseconds(options.faults.dumpChatterMs);
            nextChatter = now;
        }
        if (frame.wellFormed && options.faults.acknowledgeFrames)
            reply.text.prepend("OK\r\n");
        if (reply.stream != GcuReply::Stream::Unchanged)
            SetStreaming(reply.stream == GcuReply::Stream::Start, now);
        if (reply.saveRequested) {
            parameters->StorePermanently();
            if (!SaveState())
                reply.text = GcuAnswer::Error(QStringLiteral("SAVEPRMT")); // not kept on disk
        }
        const Nanos busy = std::chrono::milliseconds(options.faults.storeBusyMs);
        if (reply.saveRequested && busy.count() > 0) {
            busyUntil = now + busy;
            storeAnswer = reply.text;
            Log(QStringLiteral("storing for %1 ms").arg(options.faults.storeBusyMs));
        } else if (frame.word == QLatin1String("INVPARAM") && options.faults.dumpGapMs > 0) {
            EnqueueDumpWithGap(reply.text, now);
        } else if (!reply.text.isEmpty()) {
            EnqueueAnswer(reply.text, now);
        }
    }
}

// The dump with the faults that change its text.
QByteArray GcuSimulator::Impl::DumpAsSent(QByteArray dump) const {
    const GcuFaultOptions& f = options.faults;
    if (!f.dumpFieldTexts.empty()) {
        QList<QByteArray> fields = dump.chopped(3).split('&');
        for (const GcuDumpFieldText& field : f.dumpFieldTexts) {
            const int position = CommandTable::IsValidId(field.commandId)
                                     ? parameters->Table()[field.commandId].ReadFromGCUID
                                     : 0;
            if (position >= 1 && position <= fields.size())
                fields[position - 1] = field.text;
        }
        dump = fields.join('&') + "#\r\n";
    }
    if (f.dumpWithoutEndMark)
        dump = dump.chopped(3) + "\r\n";
    if (f.dumpHalfOnly)
        dump = dump.left(dump.size() / 2);
    return dump;
}

// The first field from the middle on that has two characters or more is cut
// after its first one.
void GcuSimulator::Impl::EnqueueDumpWithGap(const QByteArray& dump, Clock::time_point now) {
    qsizetype cut = 0;
    for (qsizetype at = dump.indexOf('&', dump.size() / 2); at >= 0 && !cut;
         at = dump.indexOf('&', at + 1)) {
        qsizetype end = at + 1;
        while (end < dump.size() && dump[end] != '&' && dump[end] != '#')
            ++end;
        if (end - (at + 1) >= 2)
            cut = at + 2;
    }
    if (!cut)
        cut = dump.size() / 2;
    transmitter.Enqueue(now, dump.left(cut));
    transmitter.Enqueue(now, dump.mid(cut), false,
                        std::chrono::milliseconds(options.faults.dumpGapMs));
    Log(QStringLiteral("answered the dump in two pieces"));
}

// The command a parameter write names; none for queries and fixed frames.
std::optional<int> GcuSimulator::Impl::WrittenCommand(const GcuFrame& frame) const {
    if (!frame.wellFormed || frame.argument == QLatin1String("?"))
        return std::nullopt;
    return parameters->CommandIdOfWord(frame.word);
}

// The write was answered as usual; what the GCU keeps may still differ.
void GcuSimulator::Impl::ApplyWriteFaults(int commandId, double before) {
    const GcuFaultOptions& f = options.faults;
    if (std::find(f.keepOldValueOf.begin(), f.keepOldValueOf.end(), commandId) !=
        f.keepOldValueOf.end()) {
        parameters->SetValue(commandId, before);
        Log(QStringLiteral("kept the old value of command %1").arg(commandId));
    }
    for (const GcuOwnLimits& limits : f.clampTo) {
        const std::optional<double> taken = parameters->ValueOfCommand(commandId);
        if (limits.commandId != commandId || !taken)
            continue;
        parameters->SetValue(commandId, std::clamp(*taken, limits.minimum, limits.maximum));
    }
}

void GcuSimulator::Impl::SetStreaming(bool on, Clock::time_point now) {
    streaming = on;
    nextStatus = now;
    if (on)
        return;
    // Stopping drops every status byte not yet on the wire, so the next
    // answer is not preceded by the tail of a status line.
    const bool cut = transmitter.DropUnsentStatusLines();
    if (cut || !options.faults.cutStatusLineOnStop)
        return;
    // No line was under way: the stream stops inside a fresh one.
    const QByteArray line =
        FormatStatusLine(ride.Sample(), processor->RideCalibration().rpmPerHz, statusLines++);
    transmitter.Enqueue(now, line.left(line.size() / 2));
}

void GcuSimulator::Impl::Chatter(Clock::time_point now) {
    if (now >= chatterUntil || now < nextChatter)
        return;
    nextChatter = now + std::chrono::milliseconds(100);
    transmitter.Enqueue(now, QByteArrayLiteral("12&0&3.50&1&"));
}

void GcuSimulator::Impl::Noise(Clock::time_point now) {
    if (now >= noiseUntil || now < nextNoise)
        return;
    nextNoise = now + std::chrono::milliseconds(20);
    QByteArray bytes(16, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng() & 0xFF);
    transmitter.Enqueue(now, bytes);
}

// --- output -----------------------------------------------------------------------

void GcuSimulator::Impl::EnqueueAnswer(const QByteArray& text, Clock::time_point now) {
    QByteArray bytes = text;
    if (options.faults.garbageAnswers)
        for (char& c : bytes)
            c = static_cast<char>(rng() & 0xFF);
    const int pieces = std::clamp(options.faults.answerPieces, 1, static_cast<int>(bytes.size()));
    const Nanos pause = std::chrono::milliseconds(options.faults.piecePauseMs);
    for (int i = 0; i < pieces; ++i) {
        const qsizetype from = bytes.size() * i / pieces;
        const qsizetype to = bytes.size() * (i + 1) / pieces;
        transmitter.Enqueue(now, bytes.mid(from, to - from), false, i > 0 ? pause : Nanos{0});
    }
    Log(QStringLiteral("answered ") + QString::fromLatin1(text).trimmed());
}

void GcuSimulator::Impl::PumpOutput(Clock::time_point now) {
    if (outputBlocked)
        return;
    const auto write = [this](const char* data, long size) -> long {
        return ::write(masterFd, data, static_cast<size_t>(size));
    };
    switch (transmitter.Pump(now, write)) {
    case PacedTransmitter::Result::Blocked:
        outputBlocked = true; // the reader is behind; wait until it reads
        break;
    case PacedTransmitter::Result::Gone:
        transmitter.Reset(now);
        break;
    case PacedTransmitter::Result::Idle:
    case PacedTransmitter::Result::Waiting:
        break;
    }
}

// --- timers -------------------------------------------------------------------------

void GcuSimulator::Impl::StepRide(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - lastRideStep).count();
    lastRideStep = now;
    ride.Advance(std::clamp(seconds, 0.0, 60.0));
}

void GcuSimulator::Impl::RunTimers(Clock::time_point now) {
    HandleArrivedInput(now);
    if (mode == LinkMode::Booting && now >= bootDeadline)
        StartApplication(now);
    if (mode == LinkMode::BootLoader && now - lastBootTraffic >= BootLoaderIdleLimit)
        StartApplication(now);
    if (mode == LinkMode::Running) {
        Chatter(now);
        Noise(now);
        if (!storeAnswer.isEmpty() && now >= busyUntil) {
            EnqueueAnswer(storeAnswer, now);
            storeAnswer.clear();
        }
    }
    if (mode != LinkMode::Running || !streaming || options.faults.neverAnswer ||
        options.statusLinesPerSecond <= 0 || now < nextStatus)
        return;
    const auto period = std::chrono::duration_cast<Nanos>(
        std::chrono::duration<double>(1.0 / options.statusLinesPerSecond));
    nextStatus += period;
    if (nextStatus < now)
        nextStatus = now + period; // fell behind: skip, never burst
    StepRide(now);
    if (transmitter.QueuedStatusLines() >= MaxQueuedStatusLines)
        return;
    const GcuRideCalibration calibration = processor->RideCalibration();
    const long number = statusLines++;
    QByteArray line = FormatStatusLine(ride.Sample(), calibration.rpmPerHz, number);
    if (statusLog.size() >= GcuSimulator::MaxStatusLog)
        statusLog.removeFirst();
    const bool dropped = statusLinesToDrop > 0;
    statusLog.append({number, ride.Time(), line, dropped});
    if (dropped) {
        --statusLinesToDrop;
        return;
    }
    if (options.faults.garbageAnswers)
        for (char& c : line)
            c = static_cast<char>(rng() & 0xFF);
    transmitter.Enqueue(now, line, true);
}

std::optional<Clock::time_point> GcuSimulator::Impl::NextDeadline(Clock::time_point now) {
    std::optional<Clock::time_point> wake;
    const auto consider = [&wake](Clock::time_point t) {
        if (!wake || t < *wake)
            wake = t;
    };
    PumpOutput(now);
    if (const auto due = transmitter.NextDue(); due && !outputBlocked)
        consider(*due);
    if (const auto arrival = receiver.NextArrival())
        consider(*arrival);
    if (mode == LinkMode::Booting)
        consider(bootDeadline);
    if (mode == LinkMode::BootLoader)
        consider(lastBootTraffic + BootLoaderIdleLimit);
    if (mode == LinkMode::Running && now < chatterUntil)
        consider(nextChatter);
    if (mode == LinkMode::Running && now < noiseUntil)
        consider(nextNoise);
    if (mode == LinkMode::Running && !storeAnswer.isEmpty())
        consider(busyUntil);
    if (mode == LinkMode::Running && streaming && !options.faults.neverAnswer &&
        options.statusLinesPerSecond > 0)
        consider(nextStatus);
    return wake;
}

// --- the loop -------------------------------------------------------------------------

void GcuSimulator::Impl::HandleRequests() {
    if (hangUpRequested && masterFd >= 0) {
        Log(QStringLiteral("hanging up"));
        ClosePort();
    }
    hangUpRequested = false;
    if (replugRequested && masterFd < 0) {
        try {
            CreatePort();
            Log(QStringLiteral("replugged on ") + portPath);
        } catch (const QvException& e) {
            Log(e.Message());
        }
    }
    replugRequested = false;
}

void GcuSimulator::Impl::Run() {
    while (!stopRequested)
        RunOnce();
}

void GcuSimulator::Impl::RunOnce() {
    std::optional<Clock::time_point> wake;
    bool linkOpen = false;
    {
        std::lock_guard lock(mutex);
        HandleRequests();
        linkOpen = mode != LinkMode::Closed && mode != LinkMode::Unplugged;
        if (linkOpen) {
            const auto now = Clock::now();
            RunTimers(now);
            wake = NextDeadline(now);
        }
        Notify();
    }
    pollfd fds[3] = {{wakeFd, POLLIN, 0}, {watchFd, POLLIN, 0}, {masterFd, POLLIN, 0}};
    if (outputBlocked)
        fds[2].events |= POLLOUT;
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (wake) {
        const auto left = std::max(Nanos{0}, *wake - Clock::now());
        timeout.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
        timeoutPtr = &timeout;
    }
    const nfds_t watched = masterFd < 0 ? 1 : (linkOpen ? 3 : 2);
    if (::ppoll(fds, watched, timeoutPtr, nullptr) < 0 && errno != EINTR)
        return;
    if (fds[0].revents & POLLIN) {
        uint64_t count = 0;
        [[maybe_unused]] const auto ignored = ::read(wakeFd, &count, sizeof count);
    }
    std::lock_guard lock(mutex);
    const auto now = Clock::now();
    if (watched >= 3 && masterFd >= 0) {
        if (fds[2].revents & POLLOUT)
            outputBlocked = false;
        // Input before open and close events: bytes of a session that has
        // ended are dropped with it.
        if (fds[2].revents & POLLIN)
            ReadInput(now);
    }
    if (watched >= 2 && watchFd >= 0 && (fds[1].revents & POLLIN))
        HandleClientEvents(now);
    Notify();
}

// --- the public face ----------------------------------------------------------------------

GcuSimulator::GcuSimulator(GcuSimulatorOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

GcuSimulator::~GcuSimulator() {
    stop();
}

QString GcuSimulator::start() {
    Impl& d = *impl_;
    std::lock_guard lock(d.mutex);
    if (d.running)
        return d.portPath;
    if (!ParseGcuNumber(d.options.pcbVersion))
        throw EConvertError(QStringLiteral("PCB version is not a number: ") + d.options.pcbVersion);
    d.parameters = std::make_unique<GcuParameterSet>(LoadTable(d.options), d.options.pcbVersion);
    if (!d.options.stateFile.isEmpty() && QFileInfo::exists(d.options.stateFile)) {
        QFile file(d.options.stateFile);
        if (!file.open(QIODevice::ReadOnly))
            throw EInOutError(QStringLiteral("Cannot read ") + d.options.stateFile);
        d.parameters->LoadStateText(file.readAll());
    }
    if (!d.options.storedValues.isEmpty())
        d.parameters->LoadStateText(d.options.storedValues.join(u'\n').toLatin1(),
                                    QStringLiteral("Values given"));
    if (d.options.rebootCounter)
        d.parameters->SetRebootCounter(*d.options.rebootCounter);
    d.firmware = d.options.firmwareVersion;
    d.processor = std::make_unique<GcuCommandProcessor>(*d.parameters, d.ride);
    d.transmitter.SetBaudRate(d.options.baudRate);
    d.receiver.SetBaudRate(d.options.baudRate);
    d.ride.SetCalibration(d.processor->RideCalibration());
    d.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d.wakeFd < 0)
        throw EInOutError(ErrnoText("Cannot create the wake-up event"));
    try {
        d.CreatePort();
    } catch (...) {
        ::close(d.wakeFd);
        d.wakeFd = -1;
        throw;
    }
    d.stopRequested = false;
    d.running = true;
    d.thread = std::thread([&d] { d.Run(); });
    return d.portPath;
}

void GcuSimulator::stop() {
    Impl& d = *impl_;
    {
        std::lock_guard lock(d.mutex);
        if (!d.running)
            return;
        d.stopRequested = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(d.wakeFd, &one, sizeof one);
    d.thread.join();
    std::lock_guard lock(d.mutex);
    d.WriteFlashOut();
    d.ClosePort();
    ::close(d.wakeFd);
    d.wakeFd = -1;
    d.running = false;
    d.Notify();
}

namespace {
void Wake(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(fd, &one, sizeof one);
}
} // namespace

bool GcuSimulator::IsRunning() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->running;
}

QString GcuSimulator::PortPath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->portPath;
}

void GcuSimulator::HangUp() {
    std::lock_guard lock(impl_->mutex);
    impl_->hangUpRequested = true;
    if (impl_->running)
        Wake(impl_->wakeFd);
}

void GcuSimulator::Replug() {
    std::lock_guard lock(impl_->mutex);
    impl_->replugRequested = true;
    if (impl_->running)
        Wake(impl_->wakeFd);
}

void GcuSimulator::SetFaults(const GcuFaultOptions& faults) {
    std::lock_guard lock(impl_->mutex);
    impl_->options.faults = faults;
    impl_->statusLinesToDrop = faults.dropStatusLines;
    if (impl_->mode == LinkMode::Running)
        impl_->StartIdleFaults(Clock::now());
    if (impl_->running)
        Wake(impl_->wakeFd);
}

void GcuSimulator::OverrideSensor(GcuSensor sensor, std::optional<double> volts) {
    std::lock_guard lock(impl_->mutex);
    impl_->ride.OverrideSensor(sensor, volts);
}

std::optional<double> GcuSimulator::ParameterById(int commandId) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->parameters ? impl_->parameters->ValueOfCommand(commandId) : std::nullopt;
}

std::optional<double> GcuSimulator::StoredParameterById(int commandId) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->parameters ? impl_->parameters->StoredValueOfCommand(commandId) : std::nullopt;
}

std::optional<double> GcuSimulator::ParameterAtDumpPosition(int position) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->parameters ? impl_->parameters->ValueAtDumpPosition(position) : std::nullopt;
}

QByteArray GcuSimulator::DumpText() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->parameters ? impl_->parameters->DumpText() : QByteArray();
}

int GcuSimulator::RebootCounter() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->parameters ? impl_->parameters->RebootCounter() : 0;
}

QString GcuSimulator::FirmwareVersion() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->firmware.isEmpty() ? impl_->options.firmwareVersion : impl_->firmware;
}

int GcuSimulator::FramesReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->framesReceived;
}

QList<QByteArray> GcuSimulator::ReceivedFrames() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->frames;
}

int GcuSimulator::PortOpenCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->openCount;
}

bool GcuSimulator::IsPortOpen() const {
    std::lock_guard lock(impl_->mutex);
    const LinkMode m = impl_->mode;
    return m == LinkMode::Booting || m == LinkMode::BootLoader || m == LinkMode::Running;
}

bool GcuSimulator::IsHungUp() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->running && impl_->masterFd < 0;
}

int GcuSimulator::BootLoaderSessions() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->bootLoaderSessions;
}

long GcuSimulator::StatusLinesSent() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->statusLines;
}

QList<GcuStatusLogEntry> GcuSimulator::StatusLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->statusLog;
}

std::vector<GcuShiftRecord> GcuSimulator::Shifts() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->ride.Shifts();
}

int GcuSimulator::OutputPending() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->transmitter.PendingBytes();
}

std::vector<uint8_t> GcuSimulator::FlashImage() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->bootLoader.Flash();
}

uint32_t GcuSimulator::FlashProgrammedEnd() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->bootLoader.ProgrammedEnd();
}

bool GcuSimulator::WaitUntil(const std::function<bool()>& condition,
                             std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    std::unique_lock lock(impl_->mutex);
    for (;;) {
        const uint64_t seen = impl_->generation;
        lock.unlock();
        if (condition())
            return true;
        lock.lock();
        const bool changed = impl_->changed.wait_until(
            lock, deadline, [this, seen] { return impl_->generation != seen; });
        if (!changed) {
            lock.unlock();
            return condition();
        }
    }
}
