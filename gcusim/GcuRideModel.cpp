#include "gcusim/GcuRideModel.h"

#include "gcusim/GcuParameterSet.h"
#include "model/LiveFields.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

constexpr double IdleRpm = 1400;
// A shift: the rider holds the paddle for a moment; the actuator reacts after
// a short delay and turns the barrel over its travel time; the status line
// shows the new gear once the barrel is half-way. Each shift draws its times
// from these ranges (seconds), so that shifts differ as on a real gearbox.
constexpr double PaddleHoldMin = 0.10, PaddleHoldMax = 0.18;
constexpr double DelayMin = 0.008, DelayMax = 0.025;
constexpr double UpTravelMin = 0.040, UpTravelMax = 0.090;
constexpr double DownTravelMin = 0.050, DownTravelMax = 0.110;
constexpr double GearShownAtTravel = 0.5;
constexpr double UpShiftCutSeconds = 0.06;
constexpr double DownShiftBlipSeconds = 0.08;
constexpr double IdleSeconds = 2.0;
constexpr double LaunchSeconds = 0.8;
constexpr double ToNeutralSeconds = 0.6;
// Engine speed over road speed in each gear, relative to sixth.
constexpr std::array<double, 7> GearRatio{0, 2.6, 1.9, 1.5, 1.25, 1.1, 1.0};

int SensorIndex(GcuSensor sensor) {
    return static_cast<int>(sensor);
}

} // namespace

GcuRideModel::GcuRideModel(const GcuRideCalibration& calibration) : calibration_(calibration) {}

void GcuRideModel::OverrideSensor(GcuSensor sensor, std::optional<double> volts) {
    overrides_[SensorIndex(sensor)] = volts;
}

double GcuRideModel::BarrelVoltsOfGear(int gear) const {
    const int index = std::clamp(gear, -1, 6) + 1;
    const double taught = calibration_.barrelVolts[index];
    // Untaught positions sit on an even ladder so that the sensor still moves.
    return taught > 0 ? taught : 0.5 + 0.5 * index;
}

double GcuRideModel::TravelFraction() const {
    if (shiftStart_ < 0)
        return 1;
    const double t = (time_ - shiftStart_ - shiftDelay_) / shiftTravel_;
    if (t <= 0)
        return 0;
    if (t >= 1)
        return 1;
    return t * t * (3 - 2 * t);
}

int GcuRideModel::ShownGear() const {
    return TravelFraction() >= GearShownAtTravel ? gear_ : shiftFromGear_;
}

namespace {
// The travel fraction at which smooth travel reaches Y (0 .. 1).
double TimeOfFraction(double y) {
    double lo = 0, hi = 1;
    for (int i = 0; i < 40; ++i) {
        const double mid = (lo + hi) / 2;
        (mid * mid * (3 - 2 * mid) < y ? lo : hi) = mid;
    }
    return hi;
}
} // namespace

void GcuRideModel::StartShift(int toGear) {
    toGear = std::clamp(toGear, -1, 6);
    if (toGear == gear_)
        return;
    const double fromVolts = SensorVolts(GcuSensor::Barrel);
    shiftFromGear_ = gear_;
    shiftFromVolts_ =
        overrides_[SensorIndex(GcuSensor::Barrel)] ? BarrelVoltsOfGear(gear_) : fromVolts;
    // On the barrel neutral lies half a step above first: first to neutral
    // is a touch of the up paddle, neutral to first one of the down paddle.
    const auto rank = [](int gear) { return gear == 0 ? 1.5 : double(gear); };
    const bool up = rank(toGear) > rank(gear_);
    const auto draw = [this](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(spread_);
    };
    shiftStart_ = time_;
    shiftDelay_ = draw(DelayMin, DelayMax);
    shiftTravel_ = up ? draw(UpTravelMin, UpTravelMax) : draw(DownTravelMin, DownTravelMax);
    (up ? paddleUpLeft_ : paddleDownLeft_) = draw(PaddleHoldMin, PaddleHoldMax);
    if (gear_ > 0 && toGear > 0)
        rpm_ *= GearRatio[toGear] / GearRatio[gear_];
    gear_ = toGear;
    actuatorHeat_ += 0.4;

    GcuShiftRecord record;
    record.paddleTime = time_;
    record.fromGear = shiftFromGear_;
    record.toGear = toGear;
    record.paddleToGear = shiftDelay_ + shiftTravel_ * TimeOfFraction(GearShownAtTravel);
    const double distance = std::abs(BarrelVoltsOfGear(toGear) - shiftFromVolts_);
    const double inBand = distance > calibration_.gearToleranceVolts
                              ? TimeOfFraction(1 - calibration_.gearToleranceVolts / distance)
                              : 0.0;
    record.paddleToBarrel = shiftDelay_ + shiftTravel_ * inBand;
    if (shifts_.size() >= MaxShiftRecords)
        shifts_.erase(shifts_.begin());
    shifts_.push_back(record);
}

void GcuRideModel::ShiftUp() {
    // A full step up from neutral, as from first, lands in second.
    StartShift(gear_ == 0 ? 2 : gear_ + 1);
    cutLeft_ = UpShiftCutSeconds;
}

void GcuRideModel::ShiftDown() {
    // Neutral lies half a step above first; first is the lowest forward gear.
    StartShift(gear_ <= 1 ? 1 : gear_ - 1);
    if (gear_ > 0)
        blipLeft_ = DownShiftBlipSeconds;
}

void GcuRideModel::Blip(double seconds) {
    blipLeft_ = std::max(seconds, 0.0);
}

void GcuRideModel::CutEngine(double seconds) {
    cutLeft_ = std::max(seconds, 0.0);
}

void GcuRideModel::StepPhase(double dt) {
    phaseTime_ += dt;
    const auto next = [this](Phase phase) {
        phase_ = phase;
        phaseTime_ = 0;
    };
    switch (phase_) {
    case Phase::Idle:
        throttle_ = 0;
        brake_ = false;
        clutch_ = false;
        if (phaseTime_ >= IdleSeconds) {
            clutch_ = true;
            StartShift(1);
            next(Phase::Launch);
        }
        break;
    case Phase::Launch:
        clutch_ = phaseTime_ < LaunchSeconds;
        throttle_ = std::min(phaseTime_ / LaunchSeconds, 1.0) * 0.6;
        if (!clutch_)
            next(Phase::Accelerate);
        break;
    case Phase::Accelerate:
        throttle_ = 0.85;
        if (!ShiftInProgress() && rpm_ >= ShiftRpm()) {
            if (gear_ >= 6)
                next(Phase::Brake);
            else
                ShiftUp();
        }
        break;
    case Phase::Brake:
        throttle_ = 0;
        brake_ = true;
        if (!ShiftInProgress() && rpm_ <= 0.45 * calibration_.rpmLimit) {
            if (gear_ <= 1)
                next(Phase::ToNeutral);
            else
                ShiftDown();
        }
        break;
    case Phase::ToNeutral:
        brake_ = false;
        clutch_ = true;
        if (phaseTime_ >= ToNeutralSeconds / 2 && gear_ != 0)
            StartShift(0);
        if (phaseTime_ >= ToNeutralSeconds)
            next(Phase::Idle);
        break;
    }
}

void GcuRideModel::StepEngine(double dt) {
    double target = IdleRpm + throttle_ * (calibration_.rpmLimit - IdleRpm);
    if (brake_ && gear_ > 0)
        target = IdleRpm;
    if (blipLeft_ > 0)
        target = std::max(target, 0.7 * calibration_.rpmLimit);
    if (cutLeft_ > 0)
        target = IdleRpm;
    // The engine pulls more slowly in the higher gears.
    const double rate = gear_ > 0 && !clutch_ ? 0.35 * GearRatio[gear_] : 3.0;
    rpm_ += (target - rpm_) * std::min(rate * dt, 1.0);
    rpm_ = std::clamp(rpm_, 0.0, calibration_.rpmLimit);
}

void GcuRideModel::Advance(double seconds) {
    // Small steps keep shifts and blips in order even after a long pause.
    constexpr double MaxStep = 0.01;
    while (seconds > 0) {
        const double dt = std::min(seconds, MaxStep);
        seconds -= dt;
        time_ += dt;
        StepPhase(dt);
        StepEngine(dt);
        for (double* left : {&paddleUpLeft_, &paddleDownLeft_, &cutLeft_, &blipLeft_})
            *left = std::max(*left - dt, 0.0);
        actuatorHeat_ = std::max(actuatorHeat_ - 0.02 * dt, 0.0);
    }
}

double GcuRideModel::SensorVolts(GcuSensor sensor) const {
    if (const auto& fixed = overrides_[SensorIndex(sensor)])
        return *fixed;
    switch (sensor) {
    case GcuSensor::Throttle:
        return calibration_.tpsIdleVolts +
               throttle_ * (calibration_.tpsFullVolts - calibration_.tpsIdleVolts);
    case GcuSensor::Barrel: {
        const double to = BarrelVoltsOfGear(gear_);
        const double travel = TravelFraction();
        if (travel >= 1)
            return to;
        return shiftFromVolts_ + (to - shiftFromVolts_) * travel;
    }
    case GcuSensor::KartAxle:
        return 2.5 + 1.5 * std::sin(time_ * 0.7);
    }
    return 0;
}

GcuLiveSample GcuRideModel::Sample() const {
    GcuLiveSample s;
    s.paddleDown = paddleDownLeft_ > 0 ? 0 : 1;
    s.paddleUp = paddleUpLeft_ > 0 ? 0 : 1;
    const int shown = ShownGear();
    s.neutral = shown == 0 ? 0 : 1;
    s.batteryVolts = 13.8 + 0.1 * std::sin(time_ * 1.3) - 0.2 * throttle_;
    s.actuatorCelsius = std::min(32 + 8 * actuatorHeat_ + 0.5 * std::sin(time_ * 0.1), 95.0);
    s.barrelVolts = SensorVolts(GcuSensor::Barrel);
    s.gear = shown;
    s.rpm = rpm_;
    s.tpsVolts = SensorVolts(GcuSensor::Throttle);
    s.brake = brake_ ? 0 : 1;
    s.clutch = clutch_ ? 0 : 1;
    s.gcuCelsius = 38 + 2 * std::sin(time_ * 0.05);
    return s;
}

double GcuSampleValue(const GcuLiveSample& s, LiveFieldId id, int rpmPerHz) {
    switch (id) {
    case LiveFieldId::Counter:
        return 0; // numbered by the sender
    case LiveFieldId::SelectorInputA:
        return s.selectorA;
    case LiveFieldId::SelectorInputB:
        return s.selectorB;
    case LiveFieldId::PaddleDown:
        return s.paddleDown;
    case LiveFieldId::PaddleUp:
        return s.paddleUp;
    case LiveFieldId::Neutral:
        return s.neutral;
    case LiveFieldId::Battery:
        return s.batteryVolts;
    case LiveFieldId::ActuatorTemp:
        return s.actuatorCelsius;
    case LiveFieldId::Barrel:
        return s.barrelVolts;
    case LiveFieldId::Gear:
        return s.gear;
    case LiveFieldId::Rpm:
        return s.rpm / std::max(rpmPerHz, 1);
    case LiveFieldId::Tps:
        return s.tpsVolts;
    case LiveFieldId::Brake:
        return s.brake;
    case LiveFieldId::Clutch:
        return s.clutch;
    case LiveFieldId::GcuTemp:
        return s.gcuCelsius;
    case LiveFieldId::SelectorPosition:
        return s.selectorPosition;
    }
    return 0;
}

QByteArray FormatStatusLine(const GcuLiveSample& s, int rpmPerHz, long counter) {
    QStringList fields;
    for (const LiveField& field : LiveFields()) {
        if (field.id == LiveFieldId::Counter)
            fields << QString::number(counter);
        else
            fields << GcuNumberText(GcuSampleValue(s, field.id, rpmPerHz), field.wireDecimals);
    }
    return ("*" + fields.join('&') + "#\r\n").toLatin1();
}
