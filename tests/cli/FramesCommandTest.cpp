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

// A named pipe among the pictures would block the first read of it (where a clip is told from a
// picture) until something writes to it: every command refuses it at once, naming it and what
// it is, and writes nothing.
TEST_F(FramesCommandTest, ANamedPipeAmongThePicturesIsRefusedAtOnceByEveryCommand) {
    const std::string fifo = dir.File("pipe.jpg");
    ASSERT_EQ(RunShell("mkfifo '" + fifo + "'").Status, 0);
    const std::string said = "\"" + fifo + "\" is a named pipe, not a file";
    const std::string out = dir.File("out");
    const std::string project = dir.File("show.pixaroll");
    // Made with a picture in the pipe's place, which then becomes the pipe.
    const std::string stand = dir.File("stand.jpg");
    WriteTestJpeg(stand, 16, 16, [](int, int) { return 0x404040u; });
    ASSERT_EQ(RunCli("project save '" + project + "' --pictures" + pictures + " '" + stand + "'").Status, 0);
    ASSERT_EQ(RunShell("rm '" + stand + "' && mkfifo '" + stand + "'").Status, 0);
    const std::string standSaid = "\"" + stand + "\" is a named pipe, not a file";
    const struct {
        std::string Arguments, Said;
    } runs[] = {
        {"frames --pictures" + pictures + " '" + fifo + "' --every 0", said},
        {"render --pictures" + pictures + " '" + fifo + "' --out-dir '" + out + "' --size 64x48", said},
        {"render --pictures" + pictures + " '" + fifo + "' --clip-in 3=1 --out-dir '" + out + "'", said},
        {"project save '" + dir.File("new.pixaroll") + "' --pictures" + pictures + " '" + fifo + "'", said},
        {"project show '" + project + "'", standSaid},
        {"frames --project '" + project + "' --every 0", standSaid},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.Arguments);
        // timeout ends a command that blocks with status 124.
        const TRunResult r = RunShell("timeout 30 " + std::string(CliPath()) + " " + run.Arguments);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(run.Said), std::string::npos) << r.Output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.pixaroll")));
    EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
}

// frames reads every option that changes the frames from render's own table, the same way.
TEST_F(FramesCommandTest, TakesEveryOptionThatChangesTheFramesAsRenderDoes) {
    const std::string common = "frames --pictures" + pictures + " --size 64x64 --hold 0.2 --transition 0.1 --seed 3";
    const std::filesystem::path letterbox = dir.Path() / "letterbox", fill = dir.Path() / "fill";
    const TRunResult boxed = RunCli(common + " --every 3 -o '" + letterbox.string() + "'");
    ASSERT_EQ(boxed.Status, 0) << boxed.Output;
    const TRunResult filled = RunCli(common + " --fit fill --every 3 -o '" + fill.string() + "'");
    ASSERT_EQ(filled.Status, 0) << filled.Output;
    EXPECT_EQ(filled.Output, boxed.Output); // the same frames and effects, drawn otherwise
    auto bytes = [](const std::filesystem::path& file) {
        std::string text;
        if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
            char buffer[4096];
            while (std::size_t n = std::fread(buffer, 1, sizeof buffer, f))
                text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    };
    EXPECT_NE(bytes(fill / "frame-000006.png"), bytes(letterbox / "frame-000006.png"));
    // Each of these changes the frames in render; frames takes it with the same values.
    for (const char* option :
         {"--fit blur", "--motion zoom-in --zoom 1.5", "--captions-date-taken", "--sequential", "--random", "--rate 10:1"}) {
        const TRunResult r = RunCli(common + " " + option + " --every 0");
        EXPECT_EQ(r.Status, 0) << option << "\n" << r.Output;
    }
    // Refused in frames as in render: a framing that does not exist.
    const TRunResult bad = RunCli(common + " --fit stretch --every 0");
    EXPECT_EQ(bad.Status, 2) << bad.Output;
    EXPECT_NE(bad.Output.find("--fit takes letterbox, blur or fill"), std::string::npos) << bad.Output;
    // What only the encoding would use is none of frames' business.
    EXPECT_EQ(RunCli(common + " --crf 20 --every 0").Status, 2);
}
