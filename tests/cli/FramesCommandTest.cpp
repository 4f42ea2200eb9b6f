// pixaroll-cli frames as a user runs it: frame count, effects, written frames, failures.

#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class FramesCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        for (int i = 0; i < 2; ++i) {
            pictures += " " + dir.File("p" + std::to_string(i) + ".jpg");
            WriteTestJpeg(dir.File("p" + std::to_string(i) + ".jpg"), 80, 60, [i](int x, int) { return x * 3 + i * 0x4000; });
        }
    }
    TTempDir dir;
    std::string pictures;
};
} // namespace

TEST_F(FramesCommandTest, CountsFramesAndRepeatsEffectsForASeed) {
    const TRunResult first = RunCli("frames --pictures" + pictures + " --rate 25:1 --hold 1 --transition 0.5 --seed 99 --every 0");
    ASSERT_EQ(first.Status, 0) << first.Output;
    // 2 x (25 + 12) + 12 + 2 frames; three transitions.
    EXPECT_EQ(first.Output.substr(0, first.Output.find('\n')), "frames 88");
    const std::string effects = first.Output.substr(first.Output.find('\n') + 1);
    EXPECT_EQ(effects.rfind("effects ", 0), 0u) << effects;
    int numbers = 0;
    for (char c : effects)
        numbers += c == ' ';
    EXPECT_EQ(numbers, 3) << effects;
    // The same seed repeats the run; the rate may be written with the engine's separator too.
    EXPECT_EQ(RunCli("frames --pictures" + pictures + " --rate 25/1 --hold 1 --transition 0.5 --seed 99 --every 0").Output,
              first.Output);

    const TRunResult sequential = RunCli("frames --pictures" + pictures + " --hold 0 --transition 0 --sequential --every 0");
    ASSERT_EQ(sequential.Status, 0) << sequential.Output;
    EXPECT_EQ(sequential.Output.substr(0, sequential.Output.find('\n')), "frames 7"); // 2 x 2 + 1 + 2
}

TEST_F(FramesCommandTest, WritesEveryKthFrame) {
    const std::filesystem::path out = dir.Path() / "out";
    const TRunResult r = RunCli("frames --pictures" + pictures + " --size 64x48 --hold 0.2 --transition 0.1 --every 4 -o " + out.string());
    ASSERT_EQ(r.Status, 0) << r.Output;
    ASSERT_EQ(r.Output.substr(0, r.Output.find('\n')), "frames 23"); // 2 x (6 + 3) + 3 + 2
    int written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        written += entry.path().extension() == ".png";
    EXPECT_EQ(written, 6); // frames 0, 4, 8, 12, 16, 20
    EXPECT_TRUE(std::filesystem::exists(out / "frame-000020.png"));
}

TEST_F(FramesCommandTest, MissingPictureAndBadOptionsFailWithAMessage) {
    const TRunResult missing = RunCli("frames --pictures" + pictures + " " + dir.File("gone.jpg") + " --every 0");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Output.find("gone.jpg"), std::string::npos) << missing.Output;
    EXPECT_EQ(RunCli("frames --pictures" + pictures + " --size 0x10 --every 0").Status, 2);
    EXPECT_EQ(RunCli("frames --pictures" + pictures).Status, 2); // frames to write, no folder
    EXPECT_EQ(RunCli("frames --every 0").Status, 2);
}

TEST_F(FramesCommandTest, PictureThatCannotBeWrittenIsRemovedWithTheReason) {
    // Pictures of noise make large PNG files; a file size limit of 4 KB stands in for a full
    // disk (with SIGXFSZ ignored, writes beyond it fail with "File too large").
    std::string noisy;
    for (int i = 0; i < 2; ++i) {
        const std::string file = dir.File("noise" + std::to_string(i) + ".jpg");
        WriteTestJpeg(file, 320, 240, [i](int x, int y) { return std::uint32_t((x * 7919 + y * 104729 + i) * 2654435761u); });
        noisy += " " + file;
    }
    const std::filesystem::path out = dir.Path() / "out";
    std::filesystem::create_directory(out);
    const TRunResult r = RunShell("trap '' XFSZ; ulimit -f 4; '" + std::string(CliPath()) + "' frames --pictures" +
                                  noisy + " --size 320x240 --hold 0.1 --transition 0 --every 1 -o '" + out.string() + "'");
    EXPECT_EQ(r.Status, 1) << r.Output;
    EXPECT_NE(r.Output.find("File too large"), std::string::npos) << r.Output;
    // The picture it could not write is named and gone; those before it were written whole.
    const std::size_t at = r.Output.find("frame-");
    ASSERT_NE(at, std::string::npos) << r.Output;
    const std::string failed = r.Output.substr(at, std::string("frame-000000.png").size());
    EXPECT_FALSE(std::filesystem::exists(out / failed)) << failed;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        EXPECT_LE(std::filesystem::file_size(entry.path()), 4096u) << entry.path();
}
