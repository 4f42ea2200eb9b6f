#include "medialib/FFLoad.h"
#include "medialib/FFUtils.h"
#include "tests/medialib/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(ErrorTexts, NameTheFileAndTheCode) {
    EXPECT_EQ(ErrorText("in.mp4", -2), "in.mp4: No such file or directory");
    EXPECT_EQ(ErrorText("in.mp4", -41), "in.mp4: Error number -41 occurred");
    EXPECT_EQ(ErrorText("x", -131), "x: State not recoverable");
    EXPECT_EQ(ErrorText("x", -132), "x: Error number -132 occurred");
    EXPECT_EQ(ErrorText("x", 0), "x: Error number 0 occurred");
    EXPECT_EQ(ErrorCodeText(-10060), "Connection timed out") << "socket codes share the error number's text";
    EXPECT_EQ(ErrorCodeText(-10062), "Too many symbolic links encountered");
    EXPECT_EQ(ErrorCodeText(-10035), "WSAEWOULDBLOCK");
    EXPECT_EQ(ErrorCodeText(-11004), "WSANO_DATA");
    EXPECT_EQ(ErrorCodeText(AVERROR(ENOMEM)), "Not enough space / Out of memory");
    EXPECT_EQ(ErrorCodeText(-(0xF8 | 'D' << 8 | 'E' << 16 | 'C' << 24)), "Decoder not found");
    EXPECT_EQ(ErrorCodeText(-('P' | 'A' << 8 | 'W' << 16 | 'E' << 24)), "Not yet implemented in FFmpeg");
    EXPECT_EQ(ErrorCodeText(AVERROR_MUXER_NOT_FOUND), "Muxer not found");
    EXPECT_EQ(ErrorCodeText(AVERROR_EOF), "End of file");
    EXPECT_EQ(ErrorCodeText(AVERROR_EXIT), "Immediate exit requested") << "a stop's result has a text of its own";
    EXPECT_EQ(ErrorCodeText(INT32_MIN), "Error number -2147483648 occurred");
}

TEST(ErrorTexts, TheNumberedPartOfTheTableIsComplete) {
    int known = 0;
    for (int code = -1; code >= -12000; --code)
        known += ErrorCodeText(code).rfind("Error number", 0) != 0;
    EXPECT_EQ(known, 129 + 62); // error numbers 1..131 but 41 and 58, and the socket codes
}

TEST(DurationTexts, HoursAreNotLimited) {
    EXPECT_EQ(DurationText(3723004000), "01:02:03.004");
    EXPECT_EQ(DurationText(360000000000), "100:00:00.000");
    EXPECT_EQ(DurationText(999), "00:00:00.000");
    EXPECT_EQ(DurationText(59999999), "00:00:59.999");
    EXPECT_EQ(DurationText(AV_NOPTS_VALUE), "N/A");
}

TEST(GuessCorrectPts, PrefersWhicheverTimestampKeepsIncreasing) {
    TPtsCorrection state;
    // Decoding timestamps stall, presentation timestamps are sound: presentation wins.
    EXPECT_EQ(GuessCorrectPts(state, 10, 10), 10);
    EXPECT_EQ(GuessCorrectPts(state, 10, 20), 20);
    EXPECT_EQ(GuessCorrectPts(state, 10, 30), 30);
    state.Reset();
    EXPECT_EQ(state.LastDts, AV_NOPTS_VALUE);
    // Reordered presentation timestamps jump back, decoding timestamps increase: decoding wins.
    EXPECT_EQ(GuessCorrectPts(state, 1, 3), 3);
    EXPECT_EQ(GuessCorrectPts(state, 2, 2), 2);
    EXPECT_EQ(GuessCorrectPts(state, 3, 1), 3);
    EXPECT_EQ(GuessCorrectPts(state, AV_NOPTS_VALUE, AV_NOPTS_VALUE), AV_NOPTS_VALUE);
    EXPECT_EQ(GuessCorrectPts(state, AV_NOPTS_VALUE, 7), 7);
}

TEST(ReadWholeFile, ReadsWithATrailingZeroAndReportsFailures) {
    FFLoader().LibraryPath.clear();
    ASSERT_TRUE(FFLoader().LoadLib(avutil));
    TTempFolder folder;
    const std::string path = (folder.Path() / "stats.log").string();
    std::ofstream(path, std::ios::binary) << std::string("pass\0one", 8);
    std::uint8_t* data = nullptr;
    std::int64_t size = 0;
    ASSERT_EQ(ReadWholeFile(path, &data, &size), 0);
    EXPECT_EQ(size, 9);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 9), std::string("pass\0one\0", 9));
    ff::av_free(data);
    EXPECT_EQ(ReadWholeFile((folder.Path() / "missing").string(), &data, &size), -1);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(ReadWholeFile(folder.Path().string(), &data, &size), -1) << "a folder is no file";
}
