#include "model/LivePlotColumns.h"

#include <algorithm>
#include <cmath>

void PlotColumn::Take(const Point& point) {
    if (count++ == 0) {
        first = low = high = last = point;
        return;
    }
    if (point.value < low.value)
        low = point;
    if (point.value > high.value)
        high = point;
    last = point;
}

void AppendColumnPoints(const PlotColumn& column, bool step, double offset, QList<QPointF>& out) {
    if (column.count == 0)
        return;
    if (column.gapBefore && !out.isEmpty() && !IsPlotBreak(out.back()))
        out.append(PlotBreak());
    const bool lowFirst = column.low.number <= column.high.number;
    const PlotColumn::Point* picks[4] = {&column.first, lowFirst ? &column.low : &column.high,
                                         lowFirst ? &column.high : &column.low, &column.last};
    const PlotColumn::Point* previous = nullptr;
    for (const PlotColumn::Point* pick : picks) {
        if (previous && pick->number == previous->number)
            continue;
        previous = pick;
        const double x = pick->ms / 1000.0;
        const double y = double(pick->value) + offset;
        if (step && !out.isEmpty() && !IsPlotBreak(out.back()) && out.back().y() != y)
            out.append(QPointF(x, out.back().y()));
        out.append(QPointF(x, y));
    }
}

namespace {
bool Plotted(const LiveField& field) {
    return field.strip != LivePlotStrip::None;
}
} // namespace

qint64 LivePlotColumns::ColumnOf(double ms) const {
    return qint64(std::floor(ms / columnMs_));
}

void LivePlotColumns::Clear() {
    for (auto& columns : columns_)
        columns.clear();
    gapPending_.fill(false);
}

void LivePlotColumns::Take(const LiveHistory& history, size_t index) {
    const double ms = history.TimeAt(index);
    const qint64 column = ColumnOf(ms);
    const bool gap = history.GapBefore(index);
    const quint64 number = history.FirstNumber() + index;
    for (const LiveField& field : LiveFields()) {
        if (!Plotted(field))
            continue;
        const size_t f = size_t(FieldIndex(field.id));
        bool& pending = gapPending_[f];
        pending = pending || gap;
        const float value = float(history.ValueAt(index, field.id));
        if (!std::isfinite(value))
            continue; // a missing value is no point, nor a break
        auto& columns = columns_[f];
        if (columns.empty() || columns.back().column != column || pending) {
            columns.emplace_back();
            columns.back().column = column;
            columns.back().gapBefore = pending && columns.size() > 1;
            pending = false;
        }
        columns.back().Take({ms, value, number});
    }
    ++linesTaken_;
}

void LivePlotColumns::Update(const LiveHistory& history, double fromMs, double toMs,
                             double columnMs) {
    columnMs = std::max(columnMs, 1e-3);
    const bool stale = !built_ || history.Generation() != generation_ || columnMs != columnMs_ ||
                       fromMs < coveredFromMs_ || nextNumber_ < history.FirstNumber();
    if (stale) {
        Clear();
        built_ = true;
        generation_ = history.Generation();
        columnMs_ = columnMs;
        coveredFromMs_ = fromMs;
        // From the view's first column on, and the whole column of the line
        // before it, so that lines run to the view's edge.
        size_t start = history.LowerBound(double(ColumnOf(fromMs)) * columnMs_);
        if (start > 0)
            start = history.LowerBound(double(ColumnOf(history.TimeAt(start - 1))) * columnMs_);
        nextNumber_ = history.FirstNumber() + start;
        ++rebuilds_;
    }
    // The lines up to one past the view's end.
    const size_t end = std::min(history.LowerBound(toMs) + 1, history.Size());
    for (size_t i = size_t(nextNumber_ - history.FirstNumber()); i < end; ++i)
        Take(history, i);
    nextNumber_ = std::max(nextNumber_, history.FirstNumber() + end);
    // Columns left of the view go, but one stays for the line to the edge.
    const qint64 firstColumn = ColumnOf(fromMs);
    for (auto& columns : columns_)
        while (columns.size() > 1 && columns[1].column < firstColumn)
            columns.pop_front();
    coveredFromMs_ = std::max(coveredFromMs_, double(firstColumn) * columnMs_);
}

void LivePlotColumns::Points(LiveFieldId field, double fromMs, double toMs, bool step,
                             double offset, QList<QPointF>& out) const {
    out.clear();
    if (!built_)
        return;
    const auto& columns = columns_[size_t(FieldIndex(field))];
    const qint64 first = ColumnOf(fromMs), last = ColumnOf(toMs) + 1;
    // The last column before the view too, for the line to its edge.
    auto it = std::lower_bound(columns.begin(), columns.end(), first,
                               [](const PlotColumn& c, qint64 k) { return c.column < k; });
    if (it != columns.begin())
        --it;
    out.reserve(qsizetype(std::min<size_t>(columns.end() - it, size_t(last - first + 2)) * 5));
    for (; it != columns.end() && it->column <= last; ++it)
        AppendColumnPoints(*it, step, offset, out);
}

bool LivePlotColumns::Range(LiveFieldId field, double fromMs, double toMs, double& low,
                            double& high) const {
    if (!built_)
        return false;
    const auto& columns = columns_[size_t(FieldIndex(field))];
    const qint64 first = ColumnOf(fromMs), last = ColumnOf(toMs);
    auto it = std::lower_bound(columns.begin(), columns.end(), first,
                               [](const PlotColumn& c, qint64 k) { return c.column < k; });
    bool any = false;
    for (; it != columns.end() && it->column <= last; ++it) {
        low = any ? std::min(low, double(it->low.value)) : double(it->low.value);
        high = any ? std::max(high, double(it->high.value)) : double(it->high.value);
        any = true;
    }
    return any;
}
