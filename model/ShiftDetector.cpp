#include "model/ShiftDetector.h"

#include "model/CommandTable.h"

#include <algorithm>
#include <cmath>

namespace {
using Id = LiveFieldId;

bool Active(const LiveSample& sample, Id id) {
    return sample[id] == 1;
}
int GearOf(const LiveSample& sample) {
    return static_cast<int>(std::lround(sample[Id::Gear]));
}
} // namespace

GearBands GearBandsOf(const CommandTable& commands) {
    // Barrel sensor voltage of R, N, 1 .. 6 and the gear recognition tolerance.
    constexpr int BarrelRowOfGear[8] = {152, 151, 145, 146, 147, 148, 149, 150};
    constexpr int GearToleranceRow = 62;
    GearBands bands;
    for (size_t i = 0; i < 8; ++i)
        bands.centreMv[i] = commands[BarrelRowOfGear[i]].ActualValueFW * 1000.0;
    bands.toleranceMv = commands[GearToleranceRow].ActualValueFW * 1000.0;
    return bands;
}

std::optional<double> GearBands::CentreOf(int gear) const {
    if (gear < -1 || gear > 6)
        return std::nullopt;
    const double centre = centreMv[size_t(gear + 1)];
    if (!(centre > 0))
        return std::nullopt;
    return centre;
}

bool ShiftDetector::BarrelInBand(const LiveSample& sample, int gear) const {
    const std::optional<double> centre = bands_.CentreOf(gear);
    const double barrel = sample[Id::Barrel];
    return centre && std::isfinite(barrel) && std::abs(barrel - *centre) <= bands_.toleranceMv;
}

void ShiftDetector::Reset() {
    previous_.reset();
    open_.reset();
    gearSeen_ = false;
}

void ShiftDetector::CloseOpen(std::vector<ShiftEvent>& done) {
    if (!open_)
        return;
    if (!gearSeen_) {
        open_->missed = true;
        open_->toGear = open_->fromGear;
    }
    done.push_back(*open_);
    open_.reset();
    gearSeen_ = false;
}

void ShiftDetector::TakePaddle(const LiveSample& sample, bool up, double gap,
                               std::vector<ShiftEvent>& done) {
    CloseOpen(done);
    ShiftEvent shift;
    shift.timeMs = sample.timeMs;
    shift.up = up;
    shift.fromGear = GearOf(*previous_);
    shift.toGear = shift.fromGear;
    shift.resolutionMs = gap;
    open_ = shift;
}

std::vector<ShiftEvent> ShiftDetector::Add(const LiveSample& sample) {
    std::vector<ShiftEvent> done;
    if (!previous_) { // a paddle already held has no start to measure from
        previous_ = sample;
        return done;
    }
    const LiveSample& before = *previous_;
    const double gap = sample.timeMs - before.timeMs;
    const bool upEdge = Active(sample, Id::PaddleUp) && !Active(before, Id::PaddleUp);
    const bool downEdge = Active(sample, Id::PaddleDown) && !Active(before, Id::PaddleDown);
    if (upEdge || downEdge)
        TakePaddle(sample, upEdge, gap, done);

    if (open_) {
        ShiftEvent& shift = *open_;
        const double since = sample.timeMs - shift.timeMs;
        const int gear = GearOf(sample);
        if (!gearSeen_ && gear != shift.fromGear) {
            gearSeen_ = true;
            shift.toGear = gear;
            shift.paddleToGearMs = since;
            shift.resolutionMs = std::max(shift.resolutionMs, gap);
        }
        if (gearSeen_ && BarrelInBand(sample, shift.toGear)) {
            shift.paddleToBarrelMs = since;
            shift.resolutionMs = std::max(shift.resolutionMs, gap);
            CloseOpen(done);
        } else if (since >= GiveUpMs) {
            CloseOpen(done);
        }
    }
    previous_ = sample;
    return done;
}

std::vector<ShiftEvent> ShiftDetector::Finish() {
    std::vector<ShiftEvent> done;
    CloseOpen(done);
    previous_.reset();
    return done;
}

std::vector<ShiftEvent> ShiftDetector::Interrupt() {
    std::vector<ShiftEvent> done;
    if (open_ && gearSeen_)
        CloseOpen(done);
    open_.reset();
    gearSeen_ = false;
    previous_.reset();
    return done;
}
