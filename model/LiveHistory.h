#pragma once
// The status lines kept for the plots (the newest MaxSamples) and the shifts
// measured in them, with what a plot needs: the points of one field over a
// time range, thinned to the width that shows them.
#include "model/LiveFields.h"
#include "model/ShiftDetector.h"

#include <QList>
#include <QPointF>
#include <deque>
#include <vector>

class LiveHistory {
  public:
    // Two hours at 20 lines a second, twelve minutes at the link's full rate.
    static constexpr size_t DefaultMaxSamples = 150000;

    explicit LiveHistory(size_t maxSamples = DefaultMaxSamples) : maxSamples_(maxSamples) {}

    void Add(const LiveSample& sample);
    void AddShift(const ShiftEvent& shift) { shifts_.push_back(shift); }
    void Assign(std::vector<LiveSample> samples, std::vector<ShiftEvent> shifts);
    void Clear();

    bool IsEmpty() const { return samples_.empty(); }
    size_t Size() const { return samples_.size(); }
    const LiveSample& At(size_t index) const { return samples_[index]; }
    double FirstMs() const { return samples_.empty() ? 0 : samples_.front().timeMs; }
    double LastMs() const { return samples_.empty() ? 0 : samples_.back().timeMs; }
    const std::deque<ShiftEvent>& Shifts() const { return shifts_; }
    quint64 TotalAdded() const { return totalAdded_; }

    // The first sample at or after Ms.
    size_t LowerBound(double ms) const;
    // The points (seconds, value + Offset) of Field from FromMs to ToMs (and
    // one sample on either side, so lines run to the edges). Above two
    // samples per Column, each column keeps its first, lowest, highest and
    // last value, in time order, so no peak is lost. Steps hold each value
    // until the next sample.
    void Points(LiveFieldId field, double fromMs, double toMs, int columns, bool step,
                double offset, QList<QPointF>& out) const;
    // The lowest and highest value of Field from FromMs to ToMs; false if none.
    bool Range(LiveFieldId field, double fromMs, double toMs, double& low, double& high) const;

  private:
    size_t maxSamples_;
    std::deque<LiveSample> samples_;
    std::deque<ShiftEvent> shifts_;
    quint64 totalAdded_ = 0;
};
