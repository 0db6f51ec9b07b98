#pragma once
// The status lines kept for the plots (the newest MaxSamples), where lines
// are missing, and the shifts measured in them, with what a plot needs: the
// points of one field over a time range, thinned to the width that shows
// them and broken where lines are missing.
#include "model/LiveFields.h"
#include "model/ShiftDetector.h"

#include <QList>
#include <QPointF>
#include <array>
#include <deque>
#include <optional>

// Why lines are missing.
enum class LiveGapReason {
    LiveOff,     // the stream was switched off
    LinkLost,    // the port went away
    LinkClosed,  // the link was closed
    CounterJump, // the GCU's line counter skipped lines (or started again)
    Silence,     // no line for longer than 2.5 line intervals
};
// The reason as a recording writes it; nullopt for a text that is none.
const char* GapReasonKey(LiveGapReason reason);
std::optional<LiveGapReason> GapReasonFromKey(const QString& key);

// Lines are missing between FromMs (the last line before) and ToMs (the
// first line after).
struct LiveGap {
    double fromMs = 0;
    double toMs = 0;
    LiveGapReason reason = LiveGapReason::Silence;
    qint64 linesMissing = -1; // by the line counter; -1 when unknown
    bool operator==(const LiveGap&) const = default;
};

// A break in a list of plot points: lines are not drawn across it.
inline QPointF PlotBreak() {
    return QPointF(NoValue, NoValue);
}
inline bool IsPlotBreak(const QPointF& point) {
    return std::isnan(point.x());
}

class LiveHistory {
  public:
    // Two hours at 20 lines a second, twelve minutes at the link's full rate.
    static constexpr size_t DefaultMaxSamples = 150000;
    static constexpr size_t Unbounded = size_t(-1);

    explicit LiveHistory(size_t maxSamples = DefaultMaxSamples);

    // GapBefore: lines are missing between the line before and this one.
    void Add(const LiveSample& sample, bool gapBefore = false);
    void AddGap(const LiveGap& gap) { gaps_.push_back(gap); }
    void AddShift(const ShiftEvent& shift) { shifts_.push_back(shift); }
    void Clear();

    bool IsEmpty() const { return rows_.empty(); }
    size_t Size() const { return rows_.size(); }
    LiveSample At(size_t index) const;
    double TimeAt(size_t index) const { return rows_[index].timeMs; }
    double ValueAt(size_t index, LiveFieldId field) const {
        return rows_[index].values[size_t(FieldIndex(field))];
    }
    bool GapBefore(size_t index) const { return rows_[index].gapBefore; }
    double FirstMs() const { return rows_.empty() ? 0 : rows_.front().timeMs; }
    double LastMs() const { return rows_.empty() ? 0 : rows_.back().timeMs; }
    const std::deque<ShiftEvent>& Shifts() const { return shifts_; }
    const std::deque<LiveGap>& Gaps() const { return gaps_; }
    // Lines added since the start; the first line kept is number
    // TotalAdded() - Size() of them.
    quint64 TotalAdded() const { return totalAdded_; }
    quint64 FirstNumber() const { return totalAdded_ - rows_.size(); }
    // Counts every Clear, so that what was taken from the lines before is
    // known to be stale.
    quint64 Generation() const { return generation_; }
    // Bytes held by the lines (the rows, not the shifts).
    size_t BytesHeld() const { return rows_.size() * sizeof(Row); }

    // The first line at or after Ms.
    size_t LowerBound(double ms) const;
    // The line that stands at Ms: the last one at or before it, unless lines
    // are missing between that line and Ms or Ms lies past the last line.
    std::optional<size_t> LineAt(double ms) const;
    // The points (seconds, value + Offset) of Field from FromMs to ToMs (and
    // one line on either side, so lines run to the edges). Above two lines
    // per Column, each column keeps its first, lowest, highest and last
    // value, in time order, so no peak is lost. Steps hold each value until
    // the next line. Where lines are missing the points hold a PlotBreak.
    void Points(LiveFieldId field, double fromMs, double toMs, int columns, bool step,
                double offset, QList<QPointF>& out) const;
    // The lowest and highest value of Field from FromMs to ToMs; false if none.
    bool Range(LiveFieldId field, double fromMs, double toMs, double& low, double& high) const;

  private:
    // Values in display units are whole numbers or have two decimals: a
    // float holds them, at half the memory of a recording read back.
    struct Row {
        double timeMs = 0;
        std::array<float, LiveFieldCount> values{};
        bool gapBefore = false;
    };
    size_t maxSamples_;
    std::deque<Row> rows_;
    std::deque<ShiftEvent> shifts_;
    std::deque<LiveGap> gaps_;
    quint64 totalAdded_ = 0;
    quint64 generation_ = 0;
};
