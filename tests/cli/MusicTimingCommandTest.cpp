// pixaroll-cli render and frames with --fit-to-music and --beats as a user runs them: the video
// ends with its music (read back with ffprobe), the transitions start on the clicks of a click
// track, and a soundtrack that cannot be read ends the run naming it, leaving nothing behind.

#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
class MusicTimingCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        for (int i = 0; i < 9; ++i) {
            const std::string file = dir.File("p" + std::to_string(i) + ".jpg");
            WriteTestJpeg(file, 40, 30, [i](int x, int) { return std::uint32_t(i * 0x1C1C1C + x); });
            pictures += " " + file;
        }
    }
    // The frame numbers after "transitions" in the output of frames.
    static std::vector<long long> Transitions(const std::string& output) {
        std::vector<long long> starts;
        const std::size_t at = output.find("\ntransitions ");
        if (at == std::string::npos)
            return starts;
        std::istringstream line(output.substr(at + 13, output.find('\n', at + 1) - at - 13));
        for (long long f; line >> f;)
            starts.push_back(f);
        return starts;
    }
    static double Duration(const std::string& file, const char* stream) {
        TRunResult r = RunShell(std::string("ffprobe -v error -select_streams ") + stream +
                                " -show_entries stream=duration -of csv=p=0 '" + file + "'");
        return std::atof(r.Output.c_str());
    }
    TTempDir dir;
    std::string pictures;
};
} // namespace

TEST_F(MusicTimingCommandTest, FittedVideoEndsWithItsMusicAndHoldsAreEven) {
    const std::string song = dir.File("song.wav");
    WriteTestWav(song, 47.3, 44100, 2);
    const std::string out = dir.File("out");
    TRunResult r = RunCli("render --pictures" + pictures + " --out-dir " + out +
                          " --format mp4 --size 160x120 --rate 25:1 --transition 1 --seed 4 --progress-every 100 --fit-to-music --audio " + song);
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("Fit to music"), std::string::npos) << r.Output;
    const std::string video = out + "/slideshow-_(new).mp4";
    const TStreamProbe v = ProbeStream(video, "v");
    const double audio = Duration(video, "a:0");
    EXPECT_NEAR(v.End - v.Start, 47.3, 1.0 / 25) << "video packets " << v.Packets;
    EXPECT_NEAR(v.End - v.Start, audio, 1.0 / 25);

    r = RunCli("frames --pictures" + pictures + " --rate 25:1 --transition 1 --every 0 --fit-to-music --audio " + song);
    ASSERT_EQ(r.Status, 0) << r.Output;
    const std::vector<long long> starts = Transitions(r.Output);
    ASSERT_EQ(starts.size(), 9u) << r.Output;
    std::vector<long long> holds;
    long long previous = 0;
    for (long long s : starts) {
        holds.push_back(s - previous - 25);
        previous = s;
    }
    EXPECT_LE(*std::max_element(holds.begin(), holds.end()) - *std::min_element(holds.begin(), holds.end()), 1)
        << r.Output;

    // The project keeps the choice: saved and rendered again, the same frames.
    const std::string project = dir.File("fit.pixaroll");
    ASSERT_EQ(RunCli("project save " + project + " --pictures" + pictures +
                     " --format mp4 --size 160x120 --rate 25:1 --transition 1 --fit-to-music --audio " + song).Status, 0);
    const TRunResult shown = RunCli("project show " + project);
    EXPECT_NE(shown.Output.find("fit to the music"), std::string::npos) << shown.Output;
    TRunResult again = RunCli("frames --project " + project + " --every 0");
    ASSERT_EQ(again.Status, 0) << again.Output;
    EXPECT_EQ(Transitions(again.Output), starts) << again.Output;
}

TEST_F(MusicTimingCommandTest, FramesOfBeatRunsStartTransitionsOnTheClicks) {
    // Clicks every half second from 0.2 s (120 bpm).
    const std::string clicks = dir.File("clicks.wav");
    TRunResult made = RunShell("ffmpeg -nostdin -v error -f lavfi -i \"aevalsrc='if(lt(mod(t-0.2+10,0.5),0.01),"
                               "sin(2*PI*1000*t)*exp(-mod(t-0.2+10,0.5)*500),0)':s=44100:d=40\" -y '" + clicks + "'");
    ASSERT_EQ(made.Status, 0) << made.Output;
    TRunResult r = RunCli("frames --pictures" + pictures + " --rate 25:1 --hold 2.5 --transition 0.6 --every 0 --beats "
                          "--audio " + clicks);
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("Beats: tempo 1"), std::string::npos) << r.Output;
    const std::vector<long long> starts = Transitions(r.Output);
    ASSERT_EQ(starts.size(), 9u) << r.Output;
    for (long long s : starts) {
        const double t = s / 25.0;
        const double off = std::fabs(std::remainder(t - 0.2, 0.5)) * 25;
        EXPECT_LE(off, 1.0) << "transition at frame " << s << "\n" << r.Output;
    }
}

TEST_F(MusicTimingCommandTest, UnreadableSoundtrackEndsTheRunWithItsName) {
    const std::string damaged = dir.File("damaged.flac");
    std::ofstream(damaged) << "fLaC but nothing after it that plays";
    for (const char* option : {"--fit-to-music", "--beats"}) {
        const std::string out = dir.File(std::string("out") + option);
        TRunResult r = RunCli("render --pictures" + pictures + " --out-dir " + out + " --format mp4 --size 160x120 --quiet " + option +
                              " --audio " + damaged);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(damaged), std::string::npos) << r.Output;
        EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out)) << out;

        r = RunCli("frames --pictures" + pictures + " --every 0 " + option + " --audio " + dir.File("gone.mp3"));
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(dir.File("gone.mp3")), std::string::npos) << r.Output;
    }
}
