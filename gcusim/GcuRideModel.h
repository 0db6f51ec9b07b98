#pragma once
// A small ride that feeds the simulated GCU's inputs: idle in neutral, launch
// into first, up-shifts through the gears with the paddle, braking with
// down-shifts back to first and neutral, over and over. Time only moves when
// the owner advances it, so the ride is reproducible in tests.
#include <QByteArray>
#include <array>
#include <optional>
#include <random>
#include <vector>

// Where the barrel sensor stands in each gear and the sensor ranges the ride
// uses, in volts; engine speeds in revolutions per minute.
struct GcuRideCalibration {
    std::array<double, 8> barrelVolts{}; // index: R, N, 1 .. 6
    double tpsIdleVolts = 0.5;
    double tpsFullVolts = 4.5;
    double rpmLimit = 12000;
    int rpmPerHz = 60;               // engine speed in the status line is in Hz
    double gearToleranceVolts = 0.1; // the barrel is in a gear within this of its position
};

// A shift as the ride made it, for comparing with what a program measured.
// Times are the ride's own, in seconds.
struct GcuShiftRecord {
    double paddleTime = 0; // the paddle went active
    int fromGear = 0;
    int toGear = 0;
    double paddleToGear = 0;   // until the status line's gear changes
    double paddleToBarrel = 0; // until the barrel is within the new gear's band
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

    // The gear being selected (the status line follows once the barrel is
    // half-way), the engine speed, the ride's clock.
    int Gear() const { return gear_; }
    double Rpm() const { return rpm_; }
    double Time() const { return time_; }
    // Every shift made, oldest first (at most the last MaxShiftRecords).
    const std::vector<GcuShiftRecord>& Shifts() const { return shifts_; }
    static constexpr size_t MaxShiftRecords = 10000;

  private:
    enum class Phase { Idle, Launch, Accelerate, Brake, ToNeutral };
    void StepPhase(double dt);
    void StepEngine(double dt);
    void StartShift(int toGear);
    double BarrelVoltsOfGear(int gear) const;
    // Barrel travel of the shift in progress, 0 .. 1 (smooth start and end).
    double TravelFraction() const;
    bool ShiftInProgress() const { return TravelFraction() < 1; }
    int ShownGear() const;
    double ShiftRpm() const { return 0.85 * calibration_.rpmLimit; }

    GcuRideCalibration calibration_;
    Phase phase_ = Phase::Idle;
    double phaseTime_ = 0;
    double time_ = 0;
    int gear_ = 0;
    int shiftFromGear_ = 0;
    double shiftFromVolts_ = 0;
    double shiftStart_ = -1;
    double shiftDelay_ = 0;  // actuator reaction before the barrel moves
    double shiftTravel_ = 0; // barrel travel time
    std::mt19937 spread_{2024};
    std::vector<GcuShiftRecord> shifts_;
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

enum class LiveFieldId;
// A field of the status line as the GCU sends it (the engine speed in Hz).
double GcuSampleValue(const GcuLiveSample& sample, LiveFieldId id, int rpmPerHz);
// "*" + 16 fields separated by "&" + "#" CR LF; Counter fills the first field.
QByteArray FormatStatusLine(const GcuLiveSample& sample, int rpmPerHz, long counter);
