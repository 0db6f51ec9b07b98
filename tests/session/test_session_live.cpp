// Live data kept by the unit session without a window: status lines are
// taken with the time they arrived, read with the session's own table and
// RPM factor, and the connection's events break the history as lines go
// missing.
#include "device/UnitSession.h"
#include "gcusim/GcuRideModel.h"
#include "support/ModelFixtures.h"
#include "ui/Inventory.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(UnitSessionLive, linesAreKeptWithTheirArrival_brokenOnesLeftOut_andEachMissingStretchIsAGap) {
    NoWorkingCopyView view;
    UnitSession session(view);
    session.Commands() = qvtest::ShippedCommandTable();
    BindCommandsFromInventory(session.Commands());
    const int factor = session.RPMFactor();
    ASSERT_GT(factor, 0);

    const SteadyTime start = SteadyClock::now();
    long counter = 0;
    int taken = 0;
    // Lines 20 ms apart; Skip leaves numbers out as a line lost on the way would.
    const auto line = [&](int ms, double rpm, long skip = 0) {
        GcuLiveSample sample;
        sample.rpm = rpm;
        counter += 1 + skip;
        const QString text =
            QString::fromLatin1(FormatStatusLine(sample, factor, counter)).trimmed();
        const LiveParse parse = session.TakeLiveLine(text, start + std::chrono::milliseconds(ms));
        taken += parse.sample ? 1 : 0;
        return parse;
    };
    session.LinkOpened(UnitLinkIdentity{});
    session.LiveSwitched(true);
    for (int i = 0; i < 10; ++i)
        line(i * 20, 6000);
    // A line with a field that is no number is shown raw and kept out.
    const LiveParse broken =
        session.TakeLiveLine(QStringLiteral("*1&x&1&1&1&1&1&1&1&1&1&1&1&1&1&1#"), start + 205ms);
    EXPECT_TRUE(broken.accepted);
    EXPECT_FALSE(broken.sample.has_value());
    line(220, 6000, 3); // three lines lost
    session.LiveSwitched(false);
    session.LiveSwitched(true);
    line(2000, 9000);
    session.LinkOpened(UnitLinkIdentity{}); // the next connection
    line(4000, 9000);

    const LiveHistory& history = session.Live().History();
    ASSERT_EQ(taken, 13);
    ASSERT_EQ(history.Size(), 13u);
    const double origin = history.TimeAt(0);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_DOUBLE_EQ(history.TimeAt(i) - origin, 20.0 * double(i)) << i;
    EXPECT_DOUBLE_EQ(history.TimeAt(10) - origin, 220);
    EXPECT_DOUBLE_EQ(history.TimeAt(11) - origin, 2000);
    EXPECT_NEAR(history.ValueAt(0, LiveFieldId::Rpm), 6000, factor);
    EXPECT_NEAR(history.ValueAt(11, LiveFieldId::Rpm), 9000, factor);
    std::vector<size_t> gapsBefore;
    for (size_t i = 0; i < history.Size(); ++i)
        if (history.GapBefore(i))
            gapsBefore.push_back(i);
    EXPECT_EQ(gapsBefore, (std::vector<size_t>{10, 11, 12}));
    ASSERT_GE(history.Gaps().size(), 3u);
    EXPECT_EQ(history.Gaps()[0].reason, LiveGapReason::CounterJump);
    EXPECT_EQ(history.Gaps()[1].reason, LiveGapReason::LiveOff);
}

} // namespace
