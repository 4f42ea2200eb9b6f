// The program-wide generator, MulDiv and the progress sizes handed to every effect.

#include "effects/MulDiv.h"
#include "effects/Random.h"
#include "effects/Transition.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Random, FollowsTheLinearCongruentialRecurrence) {
    TStableRandom restore(0);
    // S: 0 -> 1 -> 134775814 -> 3698175007 -> 870078620 -> 1172187917; result = S * n >> 32.
    EXPECT_EQ(Random(100), 0);
    EXPECT_EQ(GetRandSeed(), 1u);
    EXPECT_EQ(Random(100), 3);
    EXPECT_EQ(GetRandSeed(), 134775814u);
    EXPECT_EQ(Random(1000), 861);
    EXPECT_EQ(Random(176), 35);
    EXPECT_EQ(Random(INT_MAX), 586093958);
    EXPECT_EQ(GetRandSeed(), 1172187917u);

    SetRandSeed(12345);
    EXPECT_EQ(Random(10), 3);
    EXPECT_EQ(Random(10), 2);
    EXPECT_EQ(Random(10), 0);
    EXPECT_EQ(Random(10), 5);
    EXPECT_EQ(GetRandSeed(), 2377737157u);
}

TEST(Random, StableScopeReplaysAndRestores) {
    SetRandSeed(777);
    int first[3], second[3];
    {
        TStableRandom stable(42);
        for (int& v : first)
            v = Random(1000);
    }
    EXPECT_EQ(GetRandSeed(), 777u);
    {
        TStableRandom stable(42);
        for (int& v : second)
            v = Random(1000);
    }
    EXPECT_EQ(GetRandSeed(), 777u);
    EXPECT_TRUE(std::equal(std::begin(first), std::end(first), std::begin(second)));
}

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(5, 1, 2), 3);     // 2.5
    EXPECT_EQ(MulDiv(7, 1, 2), 4);     // 3.5
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);   // -2.5
    EXPECT_EQ(MulDiv(5, -1, 2), -3);
    EXPECT_EQ(MulDiv(5, 1, -2), -3);
    EXPECT_EQ(MulDiv(-5, -1, -2), -3);
    EXPECT_EQ(MulDiv(-5, 1, -2), 3);
    EXPECT_EQ(MulDiv(10, 1, 3), 3);    // 3.33
    EXPECT_EQ(MulDiv(20, 1, 3), 7);    // 6.67
    EXPECT_EQ(MulDiv(-20, 1, 3), -7);
    EXPECT_EQ(MulDiv(639, 50, 100), 320); // 319.5
    EXPECT_EQ(MulDiv(641, 50, 100), 321); // 320.5
}

TEST(MulDiv, UsesA64BitIntermediateAndReportsNoQuotient) {
    EXPECT_EQ(MulDiv(1 << 20, 1 << 20, 1 << 20), 1 << 20);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(3, 4, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 4, 2), -1); // does not fit
}

TEST(ProgressSize, ScalesFromTheLongerSide) {
    int w = 0, h = 0;
    ProgressSize(640, 480, 50, w, h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    ProgressSize(640, 480, 1, w, h); // 6.4 -> 6, then 6 * 480 / 640 = 4.5 -> 5
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 5);
    ProgressSize(480, 640, 1, w, h); // portrait: h leads
    EXPECT_EQ(h, 6);
    EXPECT_EQ(w, 5);
    ProgressSize(300, 300, 33, w, h);
    EXPECT_EQ(w, 99);
    EXPECT_EQ(h, 99);
    ProgressSize(0, 0, 50, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}
