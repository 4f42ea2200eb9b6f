// Frame counts from delays and where a picture lands in the frame.

#include "app/framing/FitRect.h"
#include "app/output/FrameCount.h"

#include <gtest/gtest.h>

TEST(FrameCountRule, DelaysAtTheListedRates) {
    EXPECT_EQ(FrameCountRule("30:1", "5"), 150);
    EXPECT_EQ(FrameCountRule("30:1", "2"), 60);
    EXPECT_EQ(FrameCountRule("15:1", "3000"), 45000);
    EXPECT_EQ(FrameCountRule("30000:1001", "10"), 300); // 299.7
}

TEST(FrameCountRule, HalvesGoToTheEvenNeighbourAndNothingGoesBelowOne) {
    EXPECT_EQ(FrameCountRule("25:1", "0.5"), 12);  // 12.5
    EXPECT_EQ(FrameCountRule("25:1", "0.1"), 2);   // 2.5
    EXPECT_EQ(FrameCountRule("15:1", "0.1"), 2);   // 1.5
    EXPECT_EQ(FrameCountRule("30:1", "0"), 1);
    EXPECT_EQ(FrameCountRule("25:1", "0.01"), 1);  // 0.25
    EXPECT_EQ(FrameCountRule("30:1", "-4"), 1);
}

TEST(FrameCountRule, UnreadableTextsFallBack) {
    EXPECT_EQ(FrameCountRule("", "5"), 150);        // numerator 30, denominator 1
    EXPECT_EQ(FrameCountRule("abc:xyz", "1"), 30);
    EXPECT_EQ(FrameCountRule("25", "2"), 50);       // no ":" - denominator 1
    EXPECT_EQ(FrameCountRule("25:1", "two"), 50);   // 2 seconds
    EXPECT_EQ(FrameCountRule("25:1", ""), 50);
    EXPECT_EQ(FrameCountRule("25:1", "nan"), 50);
    EXPECT_EQ(FrameCountRule("25:1", "inf"), 50);
    EXPECT_EQ(FrameCountRule("25:0", "2"), 50);     // no division by zero
    EXPECT_EQ(FrameCountRule("60:2", "1e1"), 300);
}

TEST(FrameCountRule, HugeDelaysStayInRange) {
    EXPECT_EQ(FrameCountRule("30:1", "1e300"), 2147483647);
}

TEST(FitRect, SameShapeFillsTheFrame) {
    EXPECT_EQ(FitRect({0, 0, 640, 480}, {0, 0, 320, 240}), (TRect{0, 0, 320, 240}));
    EXPECT_EQ(FitRect({0, 0, 160, 120}, {0, 0, 320, 240}), (TRect{0, 0, 320, 240}));
}

TEST(FitRect, PortraitIsPillarboxedAndWideIsLetterboxed) {
    EXPECT_EQ(FitRect({0, 0, 480, 640}, {0, 0, 320, 240}), (TRect{70, 0, 250, 240}));
    // 1600 x 1000 in 640 x 480: scaled height 400, margin 40 above and below.
    EXPECT_EQ(FitRect({0, 0, 1600, 1000}, {0, 0, 640, 480}), (TRect{0, 40, 640, 440}));
    // A target away from the origin keeps its offset.
    EXPECT_EQ(FitRect({0, 0, 480, 640}, {10, 20, 330, 260}), (TRect{80, 20, 260, 260}));
}

TEST(FitRect, MarginsRoundHalvesToEven) {
    // 320 x 239 in 320 x 240: margin (240 - 239) / 2 = 0.5 rounds to 0.
    EXPECT_EQ(FitRect({0, 0, 320, 239}, {0, 0, 320, 240}), (TRect{0, 0, 320, 240}));
    // 320 x 237: margin 1.5 rounds to 2, taken from both sides.
    EXPECT_EQ(FitRect({0, 0, 320, 237}, {0, 0, 320, 240}), (TRect{0, 2, 320, 238}));
    // 317 x 240: margin 1.5 on the sides.
    EXPECT_EQ(FitRect({0, 0, 317, 240}, {0, 0, 320, 240}), (TRect{2, 0, 318, 240}));
}

TEST(FitRect, EmptyRectanglesGiveAnEmptyFit) {
    EXPECT_TRUE(FitRect({0, 0, 0, 100}, {0, 0, 320, 240}).IsEmpty());
    EXPECT_TRUE(FitRect({0, 0, 100, 100}, {0, 0, 0, 240}).IsEmpty());
}
