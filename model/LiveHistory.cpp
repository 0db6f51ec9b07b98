#include "model/LiveHistory.h"

#include "model/LivePlotColumns.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
// Every history and every clearing gets a number of its own.
quint64 NextGeneration() {
    static std::atomic<quint64> counter{0};
    return ++counter;
}

struct GapName {
    LiveGapReason reason;
    const char* key;
};
constexpr GapName GapNames[] = {
    {LiveGapReason::LiveOff, "live off"},        {LiveGapReason::LinkLost, "link lost"},
    {LiveGapReason::LinkClosed, "link closed"},  {LiveGapReason::CounterJump, "counter jump"},
    {LiveGapReason::Silence, "no line in time"},
};
} // namespace

const char* GapReasonKey(LiveGapReason reason) {
    for (const GapName& name : GapNames)
        if (name.reason == reason)
            return name.key;
    return "";
}

std::optional<LiveGapReason> GapReasonFromKey(const QString& key) {
    for (const GapName& name : GapNames)
        if (key == QLatin1String(name.key))
            return name.reason;
    return std::nullopt;
}

LiveHistory::LiveHistory(size_t maxSamples)
    : maxSamples_(maxSamples), generation_(NextGeneration()) {}

void LiveHistory::Add(const LiveSample& sample, bool gapBefore) {
    Row row;
    row.timeMs = sample.timeMs;
    for (size_t f = 0; f < size_t(LiveFieldCount); ++f)
        row.values[f] = float(sample.values[f]);
    row.gapBefore = gapBefore && !rows_.empty();
    rows_.push_back(row);
    ++totalAdded_;
    while (rows_.size() > maxSamples_)
        rows_.pop_front();
    const double oldest = rows_.front().timeMs;
    while (!shifts_.empty() && shifts_.front().timeMs < oldest)
        shifts_.pop_front();
    while (!gaps_.empty() && gaps_.front().toMs < oldest)
        gaps_.pop_front();
}

void LiveHistory::Clear() {
    rows_.clear();
    shifts_.clear();
    gaps_.clear();
    totalAdded_ = 0;
    generation_ = NextGeneration();
}

LiveSample LiveHistory::At(size_t index) const {
    const Row& row = rows_[index];
    LiveSample sample;
    sample.timeMs = row.timeMs;
    for (size_t f = 0; f < size_t(LiveFieldCount); ++f)
        sample.values[f] = double(row.values[f]);
    return sample;
}

size_t LiveHistory::LowerBound(double ms) const {
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), ms,
                                     [](const Row& r, double t) { return r.timeMs < t; });
    return size_t(at - rows_.begin());
}

std::optional<size_t> LiveHistory::LineAt(double ms) const {
    if (rows_.empty() || ms < rows_.front().timeMs || ms > rows_.back().timeMs)
        return std::nullopt;
    size_t index = LowerBound(ms);
    if (index == rows_.size() || rows_[index].timeMs > ms) {
        // Ms lies between two lines: the earlier one stands, unless lines
        // are missing between them.
        if (rows_[index].gapBefore)
            return std::nullopt;
        --index;
    }
    return index;
}

void LiveHistory::Points(LiveFieldId field, double fromMs, double toMs, int columns, bool step,
                         double offset, QList<QPointF>& out) const {
    out.clear();
    if (rows_.empty() || toMs <= fromMs)
        return;
    const double columnMs = (toMs - fromMs) / std::max(columns, 1);
    size_t first = LowerBound(fromMs);
    if (first > 0)
        --first;
    const size_t last = std::min(LowerBound(toMs) + 1, rows_.size()); // one past
    const size_t f = size_t(FieldIndex(field));
    PlotColumn column;
    bool gapPending = false;
    for (size_t i = first; i < last; ++i) {
        const Row& row = rows_[i];
        gapPending = gapPending || (i > first && row.gapBefore);
        const float value = row.values[f];
        if (!std::isfinite(value))
            continue;
        const qint64 k = qint64(std::floor((row.timeMs - fromMs) / columnMs));
        if (column.count > 0 && (column.column != k || gapPending)) {
            AppendColumnPoints(column, step, offset, out);
            column = PlotColumn();
        }
        if (column.count == 0) {
            column.column = k;
            column.gapBefore = gapPending;
            gapPending = false;
        }
        column.Take({row.timeMs, value, FirstNumber() + i});
    }
    AppendColumnPoints(column, step, offset, out);
}

bool LiveHistory::Range(LiveFieldId field, double fromMs, double toMs, double& low,
                        double& high) const {
    const size_t f = size_t(FieldIndex(field));
    bool any = false;
    for (size_t i = LowerBound(fromMs); i < rows_.size() && rows_[i].timeMs <= toMs; ++i) {
        const double v = rows_[i].values[f];
        if (!std::isfinite(v))
            continue;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    }
    return any;
}
