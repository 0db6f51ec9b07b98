#pragma once
// Recordings of the live stream: one CSV row per status line (time since the
// start in ms, wall-clock time, every field in display units), the shifts
// measured and the places where lines are missing as rows of their own, and
// a last line that says how the recording ended. Cells are separated by ";",
// numbers use a decimal point, text is UTF-8. The recorder writes on a worker
// thread, at least every half second, so the window never waits for the
// disk; a recording is read back in blocks, also on a thread of its own.
#include "model/LiveFields.h"
#include "model/LiveHistory.h"
#include "model/ShiftDetector.h"
#include "util/DetailPhrase.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace LiveCsv {
constexpr char Separator = ';';
inline const char* const TimeColumn = "time_ms";
inline const char* const WallClockColumn = "wall_clock";
inline const char* const ShiftMark = "SHIFT";
inline const char* const GapMark = "GAP";
inline const char* const EndMark = "END";
// How a recording ended, as its last line says.
inline const char* const EndStopped = "stopped";
inline const char* const EndLinkLost = "link lost";
inline const char* const EndDisconnected = "link closed";
inline const char* const EndClosed = "program closed";

// "Name" or "Name [unit]": a field's column title. A paddle or input shown by
// a lamp says that 1 is pressed (the wire's 0).
QString ColumnTitle(const LiveField& field);
QByteArray HeaderLine();      // the column titles
QByteArray ShiftHeaderLine(); // the titles of the shift rows
QByteArray GapHeaderLine();   // the titles of the gap rows
QByteArray RowLine(const LiveSample& sample, const QDateTime& wallClock);
// A time measured within one line interval is written "<" + the interval.
QByteArray ShiftLine(const ShiftEvent& shift);
QByteArray GapLine(const LiveGap& gap);
QByteArray EndLine(qint64 lines, const QString& reason);
// The shift table alone: its title line and one line per shift.
QByteArray ShiftTableHeaderLine();
QByteArray ShiftTableLine(const ShiftEvent& shift);
} // namespace LiveCsv

// Writes the shifts as a table of their own (a CSV file, written whole or not
// at all); raises EInOutError when it cannot.
void WriteShiftTable(const QString& fileName, const std::deque<ShiftEvent>& shifts);

// What a recording says besides its rows.
struct LiveRecordingSummary {
    QDateTime started;  // wall clock of the first row (invalid without rows)
    bool ended = false; // the end line is there
    qint64 endLines = 0;
    QString endReason;
    int rowsSkipped = 0; // rows that were not numbers (a cut last line)
};

// A recording read back whole.
struct LiveRecordingFile : LiveRecordingSummary {
    std::vector<LiveSample> samples;
    std::vector<ShiftEvent> shifts;
    std::vector<LiveGap> gaps;
};

// Reads a recording's text as it comes, in blocks of any size. Rows, shifts
// and gaps go to the callbacks in file order; a row after a gap row comes
// with GapBefore set.
class LiveRecordingParser {
  public:
    std::function<void(const LiveSample& sample, bool gapBefore)> onRow;
    std::function<void(const ShiftEvent& shift)> onShift;
    std::function<void(const LiveGap& gap)> onGap;

    // Raises EInOutError (naming FileName) when the text is not a recording.
    explicit LiveRecordingParser(const QString& fileName) : fileName_(fileName) {}
    void Feed(const char* data, qsizetype size);
    // The last line may lack its line end.
    void Finish();
    const LiveRecordingSummary& Summary() const { return summary_; }

  private:
    void Line(std::string_view line);
    void NotARecording() const;

    QString fileName_;
    QByteArray rest_; // a line not ended yet
    bool headerSeen_ = false;
    bool gapPending_ = false;
    std::array<int, LiveFieldCount> columns_{};
    std::vector<std::string_view> cells_;
    LiveRecordingSummary summary_;
};

// Raises EInOutError when the file cannot be read or is not a recording.
LiveRecordingFile ReadLiveRecording(const QString& fileName);

// A recording read into a history on a thread of its own, in blocks, so that
// the window goes on drawing and the stream goes on being recorded; it can be
// cancelled. Memory: the history (rows of 80 bytes) and one block.
class LiveRecordingLoad {
  public:
    static constexpr qint64 BlockBytes = 1 << 20;

    explicit LiveRecordingLoad(const QString& fileName);
    ~LiveRecordingLoad(); // cancels and waits
    LiveRecordingLoad(const LiveRecordingLoad&) = delete;
    LiveRecordingLoad& operator=(const LiveRecordingLoad&) = delete;

    QString FileName() const { return fileName_; }
    void Cancel() { cancel_ = true; }
    bool Done() const { return done_; }
    // Share of the file read, 0 .. 1.
    double Fraction() const;
    // Once done: the history (nullptr after an error or a cancel), the error
    // (in English) and its phrase where it has one.
    std::unique_ptr<LiveHistory> TakeHistory();
    QString Error() const;
    std::optional<DetailPhrase> ErrorPhrase() const;
    bool Cancelled() const { return cancelled_; }
    LiveRecordingSummary Summary() const;

  private:
    void Run();

    QString fileName_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<qint64> bytesRead_{0};
    std::atomic<qint64> bytesTotal_{0};
    mutable std::mutex mutex_; // the results below
    std::unique_ptr<LiveHistory> history_;
    QString error_;
    std::optional<DetailPhrase> errorPhrase_;
    LiveRecordingSummary summary_;
    std::thread thread_;
};

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
    // Lines are missing before the next row; said only between two rows of
    // this recording.
    void AddGap(const LiveGap& gap);
    // Writes what is queued and the end line, closes the file. Returns false
    // when the file could not be written completely (Error() says why).
    bool Stop(const QString& reason);

    qint64 LinesAdded() const { return linesAdded_; }
    qint64 LinesWritten() const;
    qint64 GapsAdded() const { return gapsAdded_; }
    // Set when a write failed; the rows after it are lost.
    QString Error() const;

  private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
    QString fileName_;
    double startMs_ = 0;
    QDateTime wallClockAtStart_;
    qint64 linesAdded_ = 0;
    qint64 gapsAdded_ = 0;
    qint64 linesWrittenAtStop_ = 0;
    QString errorAtStop_;
};
