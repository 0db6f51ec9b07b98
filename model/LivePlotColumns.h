#pragma once
// What a plot draws of the live lines: per column of the plot (one pixel
// wide) and per plotted field, the first, lowest, highest and last line in
// it. Kept as lines come in, so that drawing costs the same whatever the
// line rate and the time span: a redraw takes only the lines that came since
// the last one and walks one entry per column.
#include "model/LiveHistory.h"

#include <array>
#include <deque>

// One column of one field.
struct PlotColumn {
    struct Point {
        double ms = 0;
        float value = 0;
        quint64 number = 0; // the line's number in its history
    };
    qint64 column = 0;      // floor(time / column width)
    bool gapBefore = false; // lines are missing between the column before and this one
    int count = 0;
    Point first, low, high, last;
    void Take(const Point& point);
};

// Appends the column's points (seconds, value + Offset) in time order; Step
// holds the value before until this column's first line.
void AppendColumnPoints(const PlotColumn& column, bool step, double offset, QList<QPointF>& out);

class LivePlotColumns {
  public:
    // Brings the columns up to the view from FromMs to ToMs, with columns
    // ColumnMs wide: only lines not taken yet are read, unless the view moved
    // back, the width changed or the history is another one.
    void Update(const LiveHistory& history, double fromMs, double toMs, double columnMs);
    // As LiveHistory::Points and Range, from the columns.
    void Points(LiveFieldId field, double fromMs, double toMs, bool step, double offset,
                QList<QPointF>& out) const;
    bool Range(LiveFieldId field, double fromMs, double toMs, double& low, double& high) const;
    double ColumnMs() const { return columnMs_; }
    // How often the columns were built from scratch, and lines read in all.
    quint64 Rebuilds() const { return rebuilds_; }
    quint64 LinesTaken() const { return linesTaken_; }

  private:
    void Clear();
    void Take(const LiveHistory& history, size_t index);
    qint64 ColumnOf(double ms) const;

    std::array<std::deque<PlotColumn>, LiveFieldCount> columns_;
    std::array<bool, LiveFieldCount> gapPending_{};
    double columnMs_ = 0;
    quint64 generation_ = 0;
    quint64 nextNumber_ = 0; // the next line of the history to take
    double coveredFromMs_ = 0;
    bool built_ = false;
    quint64 rebuilds_ = 0;
    quint64 linesTaken_ = 0;
};
