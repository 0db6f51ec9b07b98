#pragma once
// Recordings of the live stream: one CSV row per status line (time since the
// start in ms, wall-clock time, every field in display units), the shifts
// measured as rows of their own, and a last line that says how the recording
// ended. Cells are separated by ";", numbers use a decimal point, text is
// UTF-8. The recorder writes on a worker thread, at least every half second,
// so the window never waits for the disk.
#include "model/LiveFields.h"
#include "model/ShiftDetector.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace LiveCsv {
constexpr char Separator = ';';
inline const char* const TimeColumn = "time_ms";
inline const char* const WallClockColumn = "wall_clock";
inline const char* const ShiftMark = "SHIFT";
inline const char* const EndMark = "END";
// How a recording ended, as its last line says.
inline const char* const EndStopped = "stopped";
inline const char* const EndLinkLost = "link lost";
inline const char* const EndDisconnected = "link closed";
inline const char* const EndClosed = "program closed";

// "Name" or "Name [unit]": a field's column title.
QString ColumnTitle(const LiveField& field);
QByteArray HeaderLine();      // the column titles
QByteArray ShiftHeaderLine(); // the titles of the shift rows
QByteArray RowLine(const LiveSample& sample, const QDateTime& wallClock);
QByteArray ShiftLine(const ShiftEvent& shift);
QByteArray EndLine(qint64 lines, const QString& reason);
} // namespace LiveCsv

// A recording read back.
struct LiveRecordingFile {
    QDateTime started; // wall clock of the first row (invalid without rows)
    std::vector<LiveSample> samples;
    std::vector<ShiftEvent> shifts;
    bool ended = false; // the end line is there
    qint64 endLines = 0;
    QString endReason;
    int rowsSkipped = 0; // rows that were not numbers (a cut last line)
};
// Raises EInOutError when the file cannot be read or is not a recording.
LiveRecordingFile ReadLiveRecording(const QString& fileName);

class LiveRecorder {
  public:
    static constexpr std::chrono::milliseconds FlushInterval{500};

    LiveRecorder();
    ~LiveRecorder(); // an open recording ends as "program closed"
    LiveRecorder(const LiveRecorder&) = delete;
    LiveRecorder& operator=(const LiveRecorder&) = delete;

    // Creates the file (and its folder) and writes the header; raises
    // EInOutError when it cannot. Sample times are counted from StartMs.
    void Start(const QString& fileName, double startMs, const QDateTime& wallClockAtStart);
    bool IsRecording() const { return worker_ != nullptr; }
    QString FileName() const { return fileName_; }
    // Queue a row; never waits for the disk.
    void Add(const LiveSample& sample);
    void AddShift(const ShiftEvent& shift);
    // Writes what is queued and the end line, closes the file. Returns false
    // when the file could not be written completely (Error() says why).
    bool Stop(const QString& reason);

    qint64 LinesAdded() const { return linesAdded_; }
    qint64 LinesWritten() const;
    // Set when a write failed; the rows after it are lost.
    QString Error() const;

  private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
    QString fileName_;
    double startMs_ = 0;
    QDateTime wallClockAtStart_;
    qint64 linesAdded_ = 0;
    qint64 linesWrittenAtStop_ = 0;
    QString errorAtStop_;
};
