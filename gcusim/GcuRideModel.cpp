#include "gcusim/GcuRideModel.h"

#include "gcusim/GcuParameterSet.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

constexpr double IdleRpm = 1400;
constexpr double ShiftSeconds = 0.05;
constexpr double PaddleSeconds = 0.08;
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

void GcuRideModel::StartShift(int toGear) {
    toGear = std::clamp(toGear, -1, 6);
    if (toGear == gear_)
        return;
    shiftFromGear_ = gear_;
    shiftLeft_ = ShiftSeconds;
    const bool up = toGear > gear_;
    (up ? paddleUpLeft_ : paddleDownLeft_) = PaddleSeconds;
    if (gear_ > 0 && toGear > 0)
        rpm_ *= GearRatio[toGear] / GearRatio[gear_];
    gear_ = toGear;
    actuatorHeat_ += 0.4;
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
        if (shiftLeft_ <= 0 && rpm_ >= ShiftRpm()) {
            if (gear_ >= 6)
                next(Phase::Brake);
            else
                ShiftUp();
        }
        break;
    case Phase::Brake:
        throttle_ = 0;
        brake_ = true;
        if (shiftLeft_ <= 0 && rpm_ <= 0.45 * calibration_.rpmLimit) {
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
        for (double* left : {&shiftLeft_, &paddleUpLeft_, &paddleDownLeft_, &cutLeft_, &blipLeft_})
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
        if (shiftLeft_ <= 0)
            return to;
        const double from = BarrelVoltsOfGear(shiftFromGear_);
        return to + (from - to) * (shiftLeft_ / ShiftSeconds);
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
    s.neutral = gear_ == 0 ? 0 : 1;
    s.batteryVolts = 13.8 + 0.1 * std::sin(time_ * 1.3) - 0.2 * throttle_;
    s.actuatorCelsius = std::min(32 + 8 * actuatorHeat_ + 0.5 * std::sin(time_ * 0.1), 95.0);
    s.barrelVolts = SensorVolts(GcuSensor::Barrel);
    s.gear = gear_;
    s.rpm = rpm_;
    s.tpsVolts = SensorVolts(GcuSensor::Throttle);
    s.brake = brake_ ? 0 : 1;
    s.clutch = clutch_ ? 0 : 1;
    s.gcuCelsius = 38 + 2 * std::sin(time_ * 0.05);
    return s;
}

QByteArray FormatStatusLine(const GcuLiveSample& s, int rpmPerHz, long counter) {
    const auto n = [](double v, int decimals) { return GcuNumberText(v, decimals); };
    const QStringList fields{QString::number(counter),
                             QString::number(s.selectorA),
                             QString::number(s.selectorB),
                             QString::number(s.paddleDown),
                             QString::number(s.paddleUp),
                             QString::number(s.neutral),
                             n(s.batteryVolts, 2),
                             n(s.actuatorCelsius, 0),
                             n(s.barrelVolts, 3),
                             QString::number(s.gear),
                             n(s.rpm / std::max(rpmPerHz, 1), 0),
                             n(s.tpsVolts, 3),
                             QString::number(s.brake),
                             QString::number(s.clutch),
                             n(s.gcuCelsius, 0),
                             QString::number(s.selectorPosition)};
    return ("*" + fields.join('&') + "#\r\n").toLatin1();
}
