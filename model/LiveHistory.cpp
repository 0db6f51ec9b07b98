#include "model/LiveHistory.h"

#include <algorithm>
#include <cmath>

void LiveHistory::Add(const LiveSample& sample) {
    samples_.push_back(sample);
    ++totalAdded_;
    while (samples_.size() > maxSamples_)
        samples_.pop_front();
    const double oldest = samples_.front().timeMs;
    while (!shifts_.empty() && shifts_.front().timeMs < oldest)
        shifts_.pop_front();
}

void LiveHistory::Assign(std::vector<LiveSample> samples, std::vector<ShiftEvent> shifts) {
    samples_.assign(samples.begin(), samples.end());
    shifts_.assign(shifts.begin(), shifts.end());
    totalAdded_ = samples_.size();
}

void LiveHistory::Clear() {
    samples_.clear();
    shifts_.clear();
    totalAdded_ = 0;
}

size_t LiveHistory::LowerBound(double ms) const {
    const auto at = std::lower_bound(samples_.begin(), samples_.end(), ms,
                                     [](const LiveSample& s, double t) { return s.timeMs < t; });
    return size_t(at - samples_.begin());
}

void LiveHistory::Points(LiveFieldId field, double fromMs, double toMs, int columns, bool step,
                         double offset, QList<QPointF>& out) const {
    out.clear();
    if (samples_.empty() || toMs <= fromMs)
        return;
    const size_t f = size_t(FieldIndex(field));
    size_t first = LowerBound(fromMs);
    if (first > 0)
        --first;
    size_t last = std::min(LowerBound(toMs) + 1, samples_.size()); // one past
    const size_t count = last - first;
    columns = std::max(columns, 1);
    const auto point = [&](const LiveSample& s) {
        return QPointF(s.timeMs / 1000.0, s.values[f] + offset);
    };
    const auto add = [&](const LiveSample& s) {
        if (!std::isfinite(s.values[f]))
            return;
        if (step && !out.isEmpty() && out.back().y() != s.values[f] + offset)
            out.append(QPointF(s.timeMs / 1000.0, out.back().y()));
        out.append(point(s));
    };
    if (count <= size_t(2 * columns)) {
        out.reserve(qsizetype(step ? 2 * count : count));
        for (size_t i = first; i < last; ++i)
            add(samples_[i]);
        return;
    }
    out.reserve(4 * columns + 2);
    const double width = (toMs - fromMs) / columns;
    size_t i = first;
    while (i < last) {
        const double columnEnd =
            samples_[i].timeMs < fromMs
                ? fromMs
                : fromMs + (std::floor((samples_[i].timeMs - fromMs) / width) + 1) * width;
        size_t low = i, high = i, end = i;
        while (end < last && (end == i || samples_[end].timeMs < columnEnd)) {
            if (samples_[end].values[f] < samples_[low].values[f])
                low = end;
            if (samples_[end].values[f] > samples_[high].values[f])
                high = end;
            ++end;
        }
        const size_t lastInColumn = end - 1;
        size_t picks[4] = {i, std::min(low, high), std::max(low, high), lastInColumn};
        size_t previous = last;
        for (size_t pick : picks) {
            if (pick != previous)
                add(samples_[pick]);
            previous = pick;
        }
        i = end;
    }
}

bool LiveHistory::Range(LiveFieldId field, double fromMs, double toMs, double& low,
                        double& high) const {
    const size_t f = size_t(FieldIndex(field));
    bool any = false;
    for (size_t i = LowerBound(fromMs); i < samples_.size() && samples_[i].timeMs <= toMs; ++i) {
        const double v = samples_[i].values[f];
        if (!std::isfinite(v))
            continue;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    }
    return any;
}
