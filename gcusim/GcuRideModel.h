#pragma once
// A small ride that feeds the simulated GCU's inputs: idle in neutral, launch
// into first, up-shifts through the gears with the paddle, braking with
// down-shifts back to first and neutral, over and over. Time only moves when
// the owner advances it, so the ride is reproducible in tests.
#include <QByteArray>
#include <array>
#include <optional>

// Where the barrel sensor stands in each gear and the sensor ranges the ride
// uses, in volts; engine speeds in revolutions per minute.
struct GcuRideCalibration {
    std::array<double, 8> barrelVolts{}; // index: R, N, 1 .. 6
    double tpsIdleVolts = 0.5;
    double tpsFullVolts = 4.5;
    double rpmLimit = 12000;
    int rpmPerHz = 60; // engine speed in the status line is in Hz
};

// One status line's worth of inputs. Digital inputs are active low (0 = on).
struct GcuLiveSample {
    int selectorA = 1;
    int selectorB = 1;
    int paddleDown = 1;
    int paddleUp = 1;
    int neutral = 1;
    double batteryVolts = 13.8;
    double actuatorCelsius = 30;
    double barrelVolts = 0;
    int gear = 0; // -1 R, 0 N, 1 .. 6
    double rpm = 0;
    double tpsVolts = 0;
    int brake = 1;
    int clutch = 1;
    double gcuCelsius = 35;
    int selectorPosition = 1;
};

enum class GcuSensor { Throttle, Barrel, KartAxle };

class GcuRideModel {
  public:
    explicit GcuRideModel(const GcuRideCalibration& calibration = {});

    void SetCalibration(const GcuRideCalibration& calibration) { calibration_ = calibration; }
    void Advance(double seconds);
    GcuLiveSample Sample() const;
    double SensorVolts(GcuSensor sensor) const;
    // A fixed reading for a sensor (tests teach exact values); nullopt lets the
    // ride drive it again.
    void OverrideSensor(GcuSensor sensor, std::optional<double> volts);

    // Output tests and shifts: act at once, visible in the next samples.
    void ShiftUp();
    void ShiftDown();
    void Blip(double seconds);
    void CutEngine(double seconds);

    int Gear() const { return gear_; }
    double Rpm() const { return rpm_; }

  private:
    enum class Phase { Idle, Launch, Accelerate, Brake, ToNeutral };
    void StepPhase(double dt);
    void StepEngine(double dt);
    void StartShift(int toGear);
    double BarrelVoltsOfGear(int gear) const;
    double ShiftRpm() const { return 0.85 * calibration_.rpmLimit; }

    GcuRideCalibration calibration_;
    Phase phase_ = Phase::Idle;
    double phaseTime_ = 0;
    double time_ = 0;
    int gear_ = 0;
    int shiftFromGear_ = 0;
    double shiftLeft_ = 0;
    double paddleUpLeft_ = 0;
    double paddleDownLeft_ = 0;
    double cutLeft_ = 0;
    double blipLeft_ = 0;
    double rpm_ = 1400;
    double throttle_ = 0; // 0 .. 1
    bool brake_ = false;
    bool clutch_ = false;
    double actuatorHeat_ = 0;
    std::array<std::optional<double>, 3> overrides_{};
};

// "*" + 16 fields separated by "&" + "#" CR LF; Counter fills the first field.
QByteArray FormatStatusLine(const GcuLiveSample& sample, int rpmPerHz, long counter);
