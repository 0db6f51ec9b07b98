#pragma once
// Shift times from the live stream: a paddle (up or down) going active, then
// the gear changing; from the paddle to the new gear in the status line, and
// from the paddle to the barrel within the new gear's position band. The
// stream is sampled (one status line every 50 ms at 20 lines a second), so
// every time is the difference of the first lines that show the events, and
// each shift carries the line interval it was measured with.
#include "model/LiveFields.h"

#include <array>
#include <optional>
#include <vector>

// The barrel position of each gear and the band around it, in millivolts.
struct GearBands {
    std::array<double, 8> centreMv{}; // R, N, 1 .. 6; 0 = unknown
    double toleranceMv = 100;
    // The band's centre of Gear (-1 R, 0 N, 1 .. 6), if known.
    std::optional<double> CentreOf(int gear) const;
};

struct ShiftEvent {
    double timeMs = 0; // the first line showing the paddle
    bool up = true;    // which paddle
    int fromGear = 0;
    int toGear = 0;      // as fromGear when missed
    bool missed = false; // the paddle went without a gear change
    double paddleToGearMs = NoValue;
    double paddleToBarrelMs = NoValue; // NaN: the barrel did not settle in the band
    // The longest line interval around the events: each time is known to
    // within this much (more where lines were missed).
    double resolutionMs = 0;
};

class CommandTable;
// The bands the GCU recognises its gears by: the taught barrel voltages and
// the gear recognition tolerance of the command table.
GearBands GearBandsOf(const CommandTable& commands);

class ShiftDetector {
  public:
    // Without a gear change this long after the paddle, the shift is missed;
    // a barrel not in its band this long after the paddle is left unknown.
    static constexpr double GiveUpMs = 1000;

    explicit ShiftDetector(const GearBands& bands = {}) : bands_(bands) {}
    void SetBands(const GearBands& bands) { bands_ = bands; }
    // Feeds the next status line; returns the shifts it completes, in order.
    std::vector<ShiftEvent> Add(const LiveSample& sample);
    // The stream ended: completes what is open.
    std::vector<ShiftEvent> Finish();
    // Lines stopped coming for a while (live off, link lost): a shift whose
    // gear change was seen is complete without its barrel time; one still
    // waiting for its gear is dropped, since nothing is known of it. The next
    // line starts afresh.
    std::vector<ShiftEvent> Interrupt();
    void Reset();

  private:
    void TakePaddle(const LiveSample& sample, bool up, double gap, std::vector<ShiftEvent>& done);
    void CloseOpen(std::vector<ShiftEvent>& done);
    bool BarrelInBand(const LiveSample& sample, int gear) const;

    GearBands bands_;
    std::optional<LiveSample> previous_;
    // The shift between its paddle and its completion.
    std::optional<ShiftEvent> open_;
    bool gearSeen_ = false; // the open shift's gear has changed; the barrel is awaited
};
