// pixaroll-cli render with the music's choices: several songs in order, the loop under longer
// pictures, fades that end in silence (also when "Break when no pictures" cuts the song), and a
// song in the list that cannot be used.

#include "tests/support/AudioAnalysis.h"
#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int Rate = 44100;

class RenderMusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        pictures = WriteTwoTestPictures(dir);
    }
    std::string Tone(const std::string& name, double frequency, double seconds) {
        const std::string file = dir.File(name);
        TRunResult r = RunShell("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=" + std::to_string(frequency) +
                                ":sample_rate=44100:duration=" + std::to_string(seconds) + " -ac 2 -y '" + file + "'");
        EXPECT_EQ(r.Status, 0) << r.Output;
        return file;
    }
    // Two pictures at 25:1 held hold seconds, transitions of 1.5 s: 2 x (hold + 1.5) + 1.5 s and
    // two frames.
    TRunResult Render(double hold, const std::string& options, std::string& file) {
        const std::string out = dir.File("out" + std::to_string(++runs));
        TRunResult r = RunCli("render --pictures" + pictures + " --out-dir " + out +
                              " --format mp4 --size 160x120 --rate 25:1 --transition 1.5 --seed 3 --quiet --hold " +
                              std::to_string(hold) + " " + options);
        file = out + "/slideshow-_(new).mp4";
        return r;
    }
    static double VideoSeconds(double hold) { return 2 * (hold + 1.5) + 1.5 + 2.0 / 25; }
    TTempDir dir;
    std::string pictures;
    int runs = 0;
};

// RMS of 100 ms windows from from to to seconds.
std::vector<double> Windows(const std::vector<float>& s, double from, double to) {
    std::vector<double> out;
    for (double t = from; t + 0.1 <= to + 1e-9; t += 0.1)
        out.push_back(Rms(s, std::llround(t * Rate), Rate / 10));
    return out;
}
} // namespace

TEST_F(RenderMusicTest, SeveralSongsPlayInTheirOrderAndALoopFillsThePictures) {
    const std::string a = Tone("a.wav", 300, 4), b = Tone("b.wav", 600, 4), c = Tone("c.wav", 900, 4);
    std::string file;
    TRunResult r = Render(5, "--audio " + a + " " + b + " " + c, file);
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NEAR(ProbeStream(file, "a").End, 12.0, 0.1);
    const std::vector<float> s = DecodeMono(file, Rate);
    const double tones[] = {300, 600, 900};
    for (int k = 0; k < 3; ++k)
        EXPECT_GT(ToneLevel(s, Rate, tones[k], (4 * k + 1) * Rate, 2 * Rate),
                  10 * ToneLevel(s, Rate, tones[(k + 1) % 3], (4 * k + 1) * Rate, 2 * Rate))
            << "song " << k;

    // 5 s of music under 20 s of pictures.
    const double hold = 7.72;
    ASSERT_NEAR(VideoSeconds(hold), 20.0, 0.05);
    r = Render(hold, "--audio " + Tone("short.wav", 440, 5) + " --loop-music", file);
    ASSERT_EQ(r.Status, 0) << r.Output;
    const TStreamProbe audio = ProbeStream(file, "a");
    EXPECT_NEAR(audio.End, VideoSeconds(hold), 0.1);
    const std::vector<float> looped = DecodeMono(file, Rate);
    // Music all along, also after the first and second pass.
    for (double at : {2.0, 7.0, 12.0, 17.0})
        EXPECT_GT(ToneLevel(looped, Rate, 440, std::llround(at * Rate), Rate / 2), 0.1) << at;
}

TEST_F(RenderMusicTest, FadesRiseAndFallAndTheEndIsSilentAlsoWhenThePicturesCutTheSong) {
    const std::string song = Tone("long.wav", 440, 30);
    const double hold = 3, video = VideoSeconds(hold);
    for (const std::string& more : {std::string(), std::string(" --break-when-no-pictures")}) {
        SCOPED_TRACE(more);
        std::string file;
        TRunResult r = Render(hold, "--audio " + song + " --fade-in 2 --fade-out auto" + more, file);
        ASSERT_EQ(r.Status, 0) << r.Output;
        EXPECT_NEAR(ProbeStream(file, "a").End, video, 0.15);
        const std::vector<float> s = DecodeMono(file, Rate);
        const double end = double(s.size()) / Rate;
        const std::vector<double> in = Windows(s, 0, 2);
        for (std::size_t w = 1; w < in.size(); ++w)
            EXPECT_GT(in[w], in[w - 1]) << "fade-in window " << w;
        // The automatic fade-out lasts the last transition (1.5 s) and ends in silence.
        const std::vector<double> out = Windows(s, end - 1.5, end);
        for (std::size_t w = 1; w < out.size(); ++w)
            EXPECT_TRUE(out[w] < out[w - 1] || Decibels(out[w]) < -80) << "fade-out window " << w;
        EXPECT_LT(Decibels(Rms(s, (long long)s.size() - Rate / 10, Rate / 10)), -60);
        // Between the fades the song plays at its level.
        EXPECT_NEAR(Rms(s, 3 * Rate, Rate), 0.125 / std::sqrt(2.0), 0.02);
    }
}

TEST_F(RenderMusicTest, ASongThatCannotBeUsedIsNamedAndNoVideoIsLeft) {
    const std::string good = Tone("good.wav", 440, 2);
    const std::string text = dir.File("notes.mp3");
    std::ofstream(text) << "these are not sounds\n";
    for (const std::string& bad : {text, dir.File("gone.flac")}) {
        SCOPED_TRACE(bad);
        std::string file;
        TRunResult r = Render(1, "--audio " + good + " " + bad, file);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(bad), std::string::npos) << r.Output;
        const std::filesystem::path out = std::filesystem::path(file).parent_path();
        EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
    }
    // Out-of-range choices are refused on the command line.
    std::string file;
    EXPECT_EQ(Render(1, "--audio " + good + " --loudness 2", file).Status, 2);
    EXPECT_EQ(Render(1, "--audio " + good + " --fade-out -1", file).Status, 2);
    EXPECT_EQ(Render(1, "--audio --loop-music", file).Status, 2);
}

TEST_F(RenderMusicTest, TheVideosSoundtrackReachesTheLoudnessTarget) {
    std::string file;
    TRunResult r = Render(3, "--audio " + Tone("quiet.wav", 440, 4) + " " + Tone("more.wav", 660, 6) + " --loudness -16", file);
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NEAR(IntegratedLoudness(file), -16, 1.0);
}

TEST_F(RenderMusicTest, AStopWhileTheMusicIsBuiltLeavesNothing) {
    // Half an hour of music to decode: the stop comes while it is built.
    const std::string song = dir.File("ten.flac");
    ASSERT_EQ(RunShell("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=600 -c:a flac -y '" + song + "'")
                  .Status,
              0);
    const std::string out = dir.File("stopped"), tmp = dir.File("tmp"), log = dir.File("stop.log");
    std::filesystem::create_directory(tmp);
    std::vector<std::string> args = {CliPath(), "render", "--pictures", dir.File("p0.jpg"), "--out-dir", out,
                                     "--format", "mp4", "--size", "160x120", "--quiet", "--mono", "--samplerate", "8000",
                                     "--audio", song, song, song};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        signal(SIGINT, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const bool outputStarted = std::filesystem::exists(out) && !std::filesystem::is_empty(out);
    if (outputStarted)
        GTEST_SKIP() << "the music was built before the stop came";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "no soundtrack file is left";
}
