#pragma once
// A virtual GCU on a pseudo-terminal: it resets when its port is opened, runs
// the boot loader for a moment, announces itself, and then answers command
// frames, streams status lines and learns sensor positions as the board does,
// paced at the board's line rate. It runs on a thread of its own, so tests
// and the program's demo mode start it in-process without an event loop:
//
//     GcuSimulatorOptions options;
//     options.commandsFile = dataFolder + "/CFG/Commands.CSV";
//     GcuSimulator gcu(options);
//     const QString port = gcu.start(); // open this path as the serial port
//
// As on the board, an open resets it: values written but not stored with
// "[SAVEPRMT 0]" are lost, the reboot counter counts, and text sent before
// the announcement goes to the boot loader and is ignored.
#include "gcusim/GcuRideModel.h"
#include "model/CommandTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Limits of the simulated GCU's own for one command (GCU units).
struct GcuOwnLimits {
    int commandId = 0;
    double minimum = 0.0;
    double maximum = 0.0;
};

// A dump field the GCU sends as this text instead of the value it holds.
struct GcuDumpFieldText {
    int commandId = 0;
    QByteArray text;
};

// Misbehaviour on purpose, for the program's error handling.
struct GcuFaultOptions {
    bool neverAnswer = false;    // frames are read but never answered or streamed
    int answerPieces = 1;        // more than 1: every answer in this many pieces
    int piecePauseMs = 0;        // pause between the pieces
    bool garbageAnswers = false; // answers replaced by random bytes of their length
    int hangUpAfterFrames = 0;   // 0: never; else hang up on receiving frame N
    bool announceTwice = false;  // the start-up announcement is sent twice
    // Stopping the status stream cuts the line under way short; when none is
    // under way, the first part of a fresh one goes out. The next answer then
    // follows the cut line on the same line.
    bool cutStatusLineOnStop = false;
    // Every well-formed frame is acknowledged with "OK" CR LF before its answer.
    bool acknowledgeFrames = false;
    // > 0: "[INVPARAM 1]" is answered, instead of the dump, by fields without
    // an end mark, a few every 100 ms, for this long.
    int dumpChatterMs = 0;
    // > 0: the dump goes out in two pieces this far apart, cut inside a field
    // near its middle (the second piece begins with the rest of that field).
    int dumpGapMs = 0;
    // "[INVPARAM 1]" is read but never answered (other frames are).
    bool dumpUnanswered = false;
    // The dump goes out without its end mark: its fields, then CR LF.
    bool dumpWithoutEndMark = false;
    // Only the first half of the dump goes out, cut inside it, without a line end.
    bool dumpHalfOnly = false;
    // The dump carries these texts in these commands' fields (values outside
    // the commands' limits, for example); what the GCU holds is unchanged.
    std::vector<GcuDumpFieldText> dumpFieldTexts;
    // Text the GCU sends unasked, as it is (no line end is added): after its
    // announcement, and at once when these faults are set on a GCU that is
    // running.
    QByteArray idleText;
    // > 0: at the same moments, random bytes (any of the 256) for this long.
    int idleNoiseMs = 0;
    // Hang up on receiving a frame of this command word, before handling it.
    QString hangUpOnWord;
    // > 0: storing takes this long, as writing the board's memory does: frames
    // that arrive meanwhile are lost, and the store is answered at its end.
    int storeBusyMs = 0;
    // Writes of these commands are answered as usual, but the old value stays.
    std::vector<int> keepOldValueOf;
    // Writes of these commands are answered as usual, but the value taken is
    // held within these limits.
    std::vector<GcuOwnLimits> clampTo;
    // The next this many status lines are numbered but never reach the line
    // (lost on the way): the line counter jumps. Counted from SetFaults.
    int dropStatusLines = 0;
};

struct GcuSimulatorOptions {
    // The command table: CommandTable when given, otherwise read from
    // CommandsFile (a "Commands.CSV").
    std::shared_ptr<const CommandTable> commandTable;
    QString commandsFile;
    // Which unit this is: its PCB, its firmware, and over what the state file
    // holds, its reboot counter before the first open and stored values.
    QString pcbVersion = QStringLiteral("4.3");
    QString firmwareVersion = QStringLiteral("5.0.9"); // five characters
    std::optional<int> rebootCounter;
    // "key=value" lines of the state file's kind: a command word ("MINVBATT=11.5"),
    // "id.<command ID>" or "reboots".
    QStringList storedValues;
    // Announced once the boot loader has programmed the flash (a firmware
    // update); empty: the version the image carries, else the firmware stays
    // as it was.
    QString firmwareAfterUpdate;
    double statusLinesPerSecond = 20;
    int baudRate = 115200;   // 10 bits a byte; 0 sends without pacing
    int bootWindowMs = 1000; // boot loader time after each open
    // Symbolic link to the port, replaced when present: successive simulators
    // (one unit unplugged, another plugged in) can publish the same path; a
    // simulator removes the link only while it still points at its own port.
    QString linkPath;
    QString stateFile;    // stored parameters; read at start, written on save
    QString flashOutFile; // flash image after programming (".hex": Intel HEX)
    GcuFaultOptions faults;
    // Trace of the link (frames, answers, opens); called on the simulator's
    // thread, must not call back into the simulator.
    std::function<void(const QString&)> log;
};

// One status line as it went out, with the ride's time it shows.
struct GcuStatusLogEntry {
    long number = 0; // the line's counter (field 0)
    double rideSeconds = 0;
    QByteArray line;
    bool dropped = false; // numbered, but lost on the way (dropStatusLines)
};

class GcuSimulator {
  public:
    explicit GcuSimulator(GcuSimulatorOptions options);
    ~GcuSimulator(); // stops
    GcuSimulator(const GcuSimulator&) = delete;
    GcuSimulator& operator=(const GcuSimulator&) = delete;

    // Loads the table and the state file, opens the pseudo-terminal and starts
    // the thread; returns the port's path (the slave device). Raises
    // EInOutError or EConvertError with the reason; nothing runs then.
    QString start();
    // Ends the thread, closes the port, removes the link, writes the flash
    // image when one was programmed. Safe to call twice.
    void stop();
    bool IsRunning() const;
    QString PortPath() const; // empty while hung up

    // As an unplugged adapter: the port goes away (the link too).
    void HangUp();
    // A new port after a hang-up (new path; the link follows it).
    void Replug();
    void SetFaults(const GcuFaultOptions& faults);
    void OverrideSensor(GcuSensor sensor, std::optional<double> volts);

    // What the GCU holds, in GCU units.
    std::optional<double> ParameterById(int commandId) const;
    // What the GCU keeps over a restart (the values of its last store).
    std::optional<double> StoredParameterById(int commandId) const;
    std::optional<double> ParameterAtDumpPosition(int position) const;
    QByteArray DumpText() const;
    int RebootCounter() const;
    // The version the announcement carries now (changed by a firmware update:
    // firmwareAfterUpdate, else the version in the image).
    QString FirmwareVersion() const;

    // What happened on the link.
    int FramesReceived() const;
    QList<QByteArray> ReceivedFrames() const; // raw frames, oldest first
    int PortOpenCount() const;
    bool IsPortOpen() const;
    bool IsHungUp() const;
    int BootLoaderSessions() const;
    long StatusLinesSent() const;
    // The last status lines sent (at most MaxStatusLog), oldest first, and
    // every shift the ride made, in the ride's time.
    static constexpr int MaxStatusLog = 100000;
    QList<GcuStatusLogEntry> StatusLog() const;
    std::vector<GcuShiftRecord> Shifts() const;
    // Bytes waiting to go on the line (0: everything sent has been written).
    int OutputPending() const;

    // The ATmega2560's flash (256 KiB, erased bytes 0xFF).
    std::vector<uint8_t> FlashImage() const;
    uint32_t FlashProgrammedEnd() const;

    // Waits (no polling) until Condition holds or Timeout passes; the
    // condition is re-checked whenever the simulator's state changes.
    bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// The start-up announcement for a firmware version.
QByteArray GcuAnnouncement(const QString& firmwareVersion);
// A firmware image carries its version after this text, as it announces it.
inline const char* const GcuVersionMarker = "Versione Firmware:";
// The five characters after GcuVersionMarker and a blank in the first End
// bytes of Flash; none when the image carries no version.
std::optional<QString> FirmwareVersionInImage(const std::vector<uint8_t>& flash, uint32_t end);
