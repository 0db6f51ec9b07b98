#include "model/LiveSession.h"

#include <algorithm>
#include <cmath>

LiveSession::LiveSession(size_t maxSamples, SteadyTime origin)
    : origin_(origin), history_(maxSamples) {}

double LiveSession::MsOf(SteadyTime time) const {
    return std::chrono::duration<double, std::milli>(time - origin_).count();
}

void LiveSession::LinkOpened() {
    lastCounter_ = NoValue; // a new connection may number its lines afresh
    ++revision_;
}

void LiveSession::LinkLost() {
    Interrupt(LiveGapReason::LinkLost);
    StopRecording(QString::fromLatin1(LiveCsv::EndLinkLost));
}

void LiveSession::LinkClosed() {
    Interrupt(LiveGapReason::LinkClosed);
    StopRecording(QString::fromLatin1(LiveCsv::EndDisconnected));
}

void LiveSession::LiveSwitched(bool on, const GearBands& bands) {
    liveOn_ = on;
    if (on)
        detector_.SetBands(bands);
    if (!pendingGap_ || !on)
        Interrupt(LiveGapReason::LiveOff);
}

void LiveSession::Interrupt(LiveGapReason reason) {
    // The link's end says more than live mode switched off along with it.
    const bool linkEnded = reason == LiveGapReason::LinkLost || reason == LiveGapReason::LinkClosed;
    if (!pendingGap_ || linkEnded)
        pendingGap_ = reason;
    TakeShifts(detector_.Interrupt());
    ++revision_;
}

void LiveSession::TakeShifts(const std::vector<ShiftEvent>& shifts) {
    for (const ShiftEvent& shift : shifts) {
        history_.AddShift(shift);
        recorder_.AddShift(shift);
    }
    if (!shifts.empty())
        ++shiftRevision_;
}

std::optional<LiveGap> LiveSession::GapBefore(const LiveSample& sample) const {
    if (std::isnan(lastLineMs_))
        return std::nullopt; // the first line: nothing before it is missing
    LiveGap gap;
    gap.fromMs = lastLineMs_;
    gap.toMs = sample.timeMs;
    const double counter = sample[LiveFieldId::Counter];
    const bool counted = std::isfinite(counter) && std::isfinite(lastCounter_);
    if (counted && counter != lastCounter_ + 1)
        gap.linesMissing = counter > lastCounter_ ? qint64(counter - lastCounter_ - 1) : -1;
    if (pendingGap_) {
        gap.reason = *pendingGap_;
        return gap;
    }
    if (counted && counter != lastCounter_ + 1) {
        gap.reason = LiveGapReason::CounterJump;
        return gap;
    }
    if (lineIntervalMs_ > 0 && gap.toMs - gap.fromMs > SilenceIntervals * lineIntervalMs_) {
        gap.reason = LiveGapReason::Silence;
        return gap;
    }
    return std::nullopt;
}

void LiveSession::TakeLine(LiveSample sample, SteadyTime arrived) {
    // Lines arrive in order; a clock that looks back is held where it was.
    sample.timeMs = MsOf(arrived);
    if (std::isfinite(lastLineMs_))
        sample.timeMs = std::max(sample.timeMs, lastLineMs_);
    const std::optional<LiveGap> gap = GapBefore(sample);
    if (gap) {
        history_.AddGap(*gap);
        recorder_.AddGap(*gap);
    } else if (std::isfinite(lastLineMs_)) {
        const double interval = sample.timeMs - lastLineMs_;
        lineIntervalMs_ = lineIntervalMs_ > 0 ? 0.9 * lineIntervalMs_ + 0.1 * interval : interval;
    }
    pendingGap_.reset();
    lastLineMs_ = sample.timeMs;
    lastCounter_ = sample[LiveFieldId::Counter];
    history_.Add(sample, gap.has_value());
    recorder_.Add(sample);
    TakeShifts(detector_.Add(sample));
    ++revision_;
}

void LiveSession::StartRecording(const QString& fileName, const QDateTime& wallClock) {
    recorder_.Start(fileName, NowMs(), wallClock);
    ++revision_;
}

bool LiveSession::StopRecording(const QString& reason) {
    if (!recorder_.IsRecording())
        return true;
    const bool written = recorder_.Stop(reason);
    ++revision_;
    return written;
}
