#include "app/output/RunProgress.h"

#include <gtest/gtest.h>

#include <limits>

TEST(RunProgress, ClockTextReadsLikeAPlayer) {
    EXPECT_EQ(ClockText(0), "0:00");
    EXPECT_EQ(ClockText(7.4), "0:07");
    EXPECT_EQ(ClockText(59.6), "1:00"); // rounded, never "0:60"
    EXPECT_EQ(ClockText(754), "12:34");
    EXPECT_EQ(ClockText(3723), "1:02:03");
    EXPECT_EQ(ClockText(-1), "--:--");
    EXPECT_EQ(ClockText(1e12), "--:--");
    EXPECT_EQ(ClockText(std::numeric_limits<double>::quiet_NaN()), "--:--");
}

TEST(RunProgress, WrittenOfTotalPaceAndTimeLeft) {
    // 23 s of a 60 s show written in 21.757 s of work: the other 37 s take 35 s more.
    TRunPace pace{23, 60, 21, 23.0 * 35 / 37};
    EXPECT_EQ(RunProgressText(pace), "0:23 of 1:00 \u00b7 21 fps \u00b7 about 0:35 left");
    // Twice as fast: half the time left.
    pace.WorkSeconds /= 2;
    EXPECT_EQ(RunProgressText(pace), "0:23 of 1:00 \u00b7 21 fps \u00b7 about 0:18 left");
    // No pace yet: no guess.
    EXPECT_EQ(RunProgressText({0, 60, 0, 3}), "0:00 of 1:00 \u00b7 0 fps");
    EXPECT_EQ(RunProgressText({5, 60, 30, 0.5}), "0:05 of 1:00 \u00b7 30 fps");
    // An unknown length: what is written and the pace only.
    EXPECT_EQ(RunProgressText({83, -1, 30, 40}), "1:23 \u00b7 30 fps");
    // The last frames' times may pass the length: never more than the whole, nothing left.
    EXPECT_EQ(RunProgressText({61, 60, 30, 40}), "1:00 of 1:00 \u00b7 30 fps \u00b7 about 0:00 left");
}
