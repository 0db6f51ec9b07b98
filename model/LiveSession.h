#pragma once
// The live stream over time, without any widget: the lines kept for the
// plots and where lines are missing, the shifts measured in them, the
// recorder and the clock. The link feeds it through a few calls (each status
// line with the moment it arrived, live mode switched, the link opened, lost
// or closed); the "Live Plots" page only draws what it holds, so recording
// goes on whichever page is in front.
//
// Times are ms on the session's clock, counted from its origin. A line is
// timed by its arrival on the serial port, never by when it was handled.
#include "model/LiveHistory.h"
#include "model/LiveRecording.h"
#include "model/ShiftDetector.h"
#include "util/ArrivalTimes.h"

#include <QDateTime>
#include <QString>

class LiveSession {
  public:
    // Lines are missing when none came for this many line intervals.
    static constexpr double SilenceIntervals = 2.5;

    explicit LiveSession(size_t maxSamples = LiveHistory::DefaultMaxSamples,
                         SteadyTime origin = SteadyClock::now());

    // ---------------------------------------------------------- fed by the link
    void LinkOpened();
    // The port went away: lines are missing from here; a recording ends.
    void LinkLost();
    // The link was closed: likewise.
    void LinkClosed();
    // Live mode switched; on, with the gear bands the shift times use.
    void LiveSwitched(bool on, const GearBands& bands = {});
    // One status line in display units, and when it arrived.
    void TakeLine(LiveSample sample, SteadyTime arrived);

    // ---------------------------------------------------------- recording
    // Raises EInOutError when the file cannot be created.
    void StartRecording(const QString& fileName,
                        const QDateTime& wallClock = QDateTime::currentDateTime());
    // Ends an open recording with Reason in its last line; false when the
    // file could not be written completely (Recorder().Error() says why).
    bool StopRecording(const QString& reason);
    const LiveRecorder& Recorder() const { return recorder_; }

    // ---------------------------------------------------------- what it holds
    const LiveHistory& History() const { return history_; }
    bool LiveOn() const { return liveOn_; }
    // Why the next line will follow a gap, if it is known already.
    std::optional<LiveGapReason> PendingGap() const { return pendingGap_; }
    // The mean interval of the last status lines, ms (0 before two lines).
    double LineIntervalMs() const { return lineIntervalMs_; }
    double MsOf(SteadyTime time) const;
    double NowMs() const { return MsOf(SteadyClock::now()); }
    // Changes with every line, shift or gap; ShiftRevision with shifts only.
    quint64 Revision() const { return revision_; }
    quint64 ShiftRevision() const { return shiftRevision_; }

  private:
    // Lines stop coming for a known reason: the next line begins after a gap.
    void Interrupt(LiveGapReason reason);
    void TakeShifts(const std::vector<ShiftEvent>& shifts);
    // Why lines are missing before this one, if they are.
    std::optional<LiveGap> GapBefore(const LiveSample& sample) const;

    SteadyTime origin_;
    LiveHistory history_;
    ShiftDetector detector_;
    LiveRecorder recorder_;
    bool liveOn_ = false;
    std::optional<LiveGapReason> pendingGap_;
    double lastLineMs_ = NoValue;
    double lastCounter_ = NoValue;
    double lineIntervalMs_ = 0;
    quint64 revision_ = 0;
    quint64 shiftRevision_ = 0;
};
