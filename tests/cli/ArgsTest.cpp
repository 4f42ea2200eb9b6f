// The argument reader's limits: values that would make a command take the machine's memory
// are refused as usage errors before anything is allocated.

#include "cli/Args.h"
#include "app/output/FrameCount.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {
TEST(ArgsLimits, SizesAboveTheLargestFrameAreUsageErrors) {
    int w = 0, h = 0;
    ParseSize("8192x8192", w, h);
    EXPECT_EQ(w, 8192);
    EXPECT_EQ(h, 8192);
    ParseSize("1x8192", w, h);
    EXPECT_EQ(w, 1);
    for (const char* text : {"8193x2", "2x8193", "65536x65536", "0x5", "5x-1", "2147483647x1", "99999999999x2"})
        EXPECT_THROW(ParseSize(text, w, h), TUsageError) << text;
    try {
        ParseSize("65536x65536", w, h);
    } catch (const TUsageError& e) {
        EXPECT_NE(std::string(e.what()).find("at most 8192x8192"), std::string::npos) << e.what();
    }
}

TEST(ArgsLimits, ListsExpandRangesUpToTheirLimit) {
    EXPECT_EQ(ParseIntList("1,5,10-12", "rows"), (std::vector<int>{1, 5, 10, 11, 12}));
    // A range ending at the largest int must stop there, not wrap around.
    const std::string top = std::to_string(INT_MAX - 2) + "-" + std::to_string(INT_MAX);
    EXPECT_EQ(ParseIntList(top, "rows"), (std::vector<int>{INT_MAX - 2, INT_MAX - 1, INT_MAX}));
    EXPECT_EQ(ParseIntList("1-100000", "rows").size(), 100000u);
    EXPECT_THROW(ParseIntList("1-100001", "rows"), TUsageError);
    EXPECT_THROW(ParseIntList("1-2147483647", "rows"), TUsageError);
    // The limit counts the whole list, not each range alone.
    EXPECT_THROW(ParseIntList("1-60000,1-60000", "rows"), TUsageError);
    EXPECT_THROW(ParseIntList("5-1", "rows"), TUsageError);
}

TEST(Args, ListsEndAtTheNextOption) {
    TArgs args({"--pictures", "a.jpg", "-b.jpg", "-o", "out", "--every", "2"});
    args.Next();
    EXPECT_EQ(args.List(), (std::vector<std::string>{"a.jpg", "-b.jpg"}));
    EXPECT_EQ(args.Next(), "-o");
    EXPECT_EQ(args.Value("-o"), "out");
    EXPECT_EQ(args.List(), std::vector<std::string>{});
    EXPECT_EQ(args.Next(), "--every");
}
} // namespace

// The command line reads seconds as the slideshow does: a text the slideshow would not take as
// a number is refused here rather than quietly becoming another duration.
TEST(ArgsNumbers, SecondsAreReadAsTheSlideshowReadsThem) {
    EXPECT_EQ(ParseDouble("2.5", "--hold"), 2.5);
    EXPECT_EQ(ParseDouble("-1", "--hold"), -1.0);
    EXPECT_EQ(ParseDouble("1e1", "--hold"), 10.0);
    for (const char* text : {"0x10", "inf", "nan", "", "2s", "1,5", "0x1p4"})
        EXPECT_THROW(ParseDouble(text, "--hold"), TUsageError) << text;
    double value = 0;
    EXPECT_FALSE(ParseDecimalNumber("0x10", value));
    EXPECT_EQ(FrameCountRule("10:1", "0x10"), 20) << "the slideshow's fallback of 2 s";
    EXPECT_EQ(FrameCountRule("10:1", "2.5"), 25);
}
