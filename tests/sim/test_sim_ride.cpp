// The simulated GCU's shifts: the paddle first, the barrel turning over a
// travel time that differs from shift to shift, the gear in the status line
// once the barrel is half-way; its record of the shifts agrees with the
// samples a status line would carry.
#include "gcusim/GcuRideModel.h"

#include <gtest/gtest.h>
#include <set>

namespace {

TEST(SimRide, shiftsTakePlausibleVaryingTimesAndTheRecordMatchesTheSamples) {
    GcuRideModel ride;
    std::vector<GcuLiveSample> samples;
    std::vector<double> times;
    for (int i = 0; i < 40 * 1000; ++i) { // 40 s in 1 ms steps
        ride.Advance(0.001);
        samples.push_back(ride.Sample());
        times.push_back(ride.Time());
    }
    const auto& shifts = ride.Shifts();
    ASSERT_GE(shifts.size(), 10u);
    std::set<long> durations;
    const auto sampleAt = [&](double t) {
        const auto it = std::lower_bound(times.begin(), times.end(), t - 1e-9);
        return samples[size_t(it - times.begin())];
    };
    for (const GcuShiftRecord& shift : shifts) {
        SCOPED_TRACE(shift.paddleTime);
        if (shift.paddleTime + 0.3 > times.back())
            continue;
        EXPECT_NE(shift.fromGear, shift.toGear);
        EXPECT_GT(shift.paddleToGear, 0.02);
        EXPECT_LT(shift.paddleToGear, 0.1);
        EXPECT_GE(shift.paddleToBarrel, shift.paddleToGear);
        EXPECT_LT(shift.paddleToBarrel, 0.15);
        durations.insert(std::lround(shift.paddleToGear * 1000));
        // The paddle is down from the recorded moment; the gear follows
        // when the record says.
        const GcuLiveSample atPaddle = sampleAt(shift.paddleTime + 0.0005);
        EXPECT_TRUE(atPaddle.paddleUp == 0 || atPaddle.paddleDown == 0);
        EXPECT_EQ(atPaddle.gear, shift.fromGear);
        EXPECT_EQ(sampleAt(shift.paddleTime + shift.paddleToGear - 0.002).gear, shift.fromGear);
        EXPECT_EQ(sampleAt(shift.paddleTime + shift.paddleToGear + 0.002).gear, shift.toGear);
        // Neutral is a half step above first: first to neutral is up.
        const bool up =
            (shift.toGear == 0 ? 1.5 : shift.toGear) > (shift.fromGear == 0 ? 1.5 : shift.fromGear);
        EXPECT_EQ(atPaddle.paddleUp == 0, up);
    }
    EXPECT_GE(durations.size(), 5u); // shifts differ
}

} // namespace
