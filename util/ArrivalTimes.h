#pragma once
// When received bytes arrived. The serial port's receive thread notes the
// moment of every read on a steady clock, so that a status line is timed by
// its arrival and not by when the window got round to it.
#include <QByteArray>
#include <chrono>
#include <vector>

using SteadyClock = std::chrono::steady_clock;
using SteadyTime = SteadyClock::time_point;

// The bytes before End (and from the previous mark's End on) arrived at Time.
struct ArrivalMark {
    qsizetype end = 0;
    SteadyTime time;
};
// In byte order; the last mark's End is the chunk's size.
using ArrivalMarks = std::vector<ArrivalMark>;

// When byte Index arrived; Otherwise when no mark covers it.
SteadyTime ArrivalOf(const ArrivalMarks& marks, qsizetype index, SteadyTime otherwise);
// Appends the marks of a chunk that is appended to one of Size bytes.
void AppendArrivals(ArrivalMarks& marks, qsizetype size, const ArrivalMarks& more);
// Removes every byte Drop from Chunk, keeping each remaining byte's arrival.
void RemoveByteKeepingArrivals(QByteArray& chunk, ArrivalMarks& marks, char drop);
