#include "util/ArrivalTimes.h"

#include <algorithm>

SteadyTime ArrivalOf(const ArrivalMarks& marks, qsizetype index, SteadyTime otherwise) {
    const auto mark = std::upper_bound(marks.begin(), marks.end(), index,
                                       [](qsizetype i, const ArrivalMark& m) { return i < m.end; });
    return mark == marks.end() || index < 0 ? otherwise : mark->time;
}

void AppendArrivals(ArrivalMarks& marks, qsizetype size, const ArrivalMarks& more) {
    for (const ArrivalMark& mark : more)
        marks.push_back({size + mark.end, mark.time});
}

void RemoveByteKeepingArrivals(QByteArray& chunk, ArrivalMarks& marks, char drop) {
    if (!chunk.contains(drop))
        return;
    QByteArray kept;
    kept.reserve(chunk.size());
    ArrivalMarks keptMarks;
    qsizetype from = 0;
    const auto keep = [&](qsizetype to, SteadyTime time) {
        for (qsizetype i = from; i < to; ++i)
            if (chunk[i] != drop)
                kept += chunk[i];
        if (kept.size() > (keptMarks.empty() ? 0 : keptMarks.back().end))
            keptMarks.push_back({kept.size(), time});
        from = to;
    };
    for (const ArrivalMark& mark : marks)
        keep(std::min(mark.end, chunk.size()), mark.time);
    if (from < chunk.size()) // bytes without a mark keep none
        for (qsizetype i = from; i < chunk.size(); ++i)
            if (chunk[i] != drop)
                kept += chunk[i];
    chunk = kept;
    marks = keptMarks;
}
