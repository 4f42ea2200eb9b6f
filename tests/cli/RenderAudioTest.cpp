// pixaroll-cli render with a soundtrack: every container carries its audio at the chosen rate
// and channel count, the audio ends with the pictures or runs to the end of the soundtrack, and
// a bad soundtrack ends the job with its name while the video written so far plays.

#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {
class RenderAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        pictures = WriteTwoTestPictures(dir);
    }
    std::string Tone(const std::string& name, int rate, double seconds, const std::string& extra = "") {
        std::string file = dir.File(name);
        TRunResult r = RunShell("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:sample_rate=" +
                                std::to_string(rate) + ":duration=" + std::to_string(seconds) + " -ac 2 " + extra +
                                " -y '" + file + "'");
        EXPECT_EQ(r.Status, 0) << r.Output;
        return file;
    }
    // Renders 2 x (10 + 5) + 5 + 2 frames at 25:1 (1.48 s) into a folder of its own.
    TRunResult Render(const std::string& format, const std::string& options, std::string& file) {
        std::string out = dir.File("out" + std::to_string(++runs));
        TRunResult r = RunCli("render --pictures" + pictures + " --out-dir " + out +
                              " --size 160x120 --rate 25:1 --hold 0.4 --transition 0.2 --seed 3 --format " + format +
                              " " + options);
        file = out + "/slideshow-_(new)." + format;
        return r;
    }
    TTempDir dir;
    std::string pictures;
    int runs = 0;
};

const struct {
    const char* Format;
    const char* Codec;
    int RateOf48k;   // "as source" with a 48 kHz soundtrack
    bool AudioOnly;  // carries audio after the last picture (a Flash movie interleaves its sound
                     // with the frames and has none without one)
} Containers[] = {
    {"mp4", "aac", 48000, true},      {"swf", "mp3", 44100, false}, {"flv", "mp3", 44100, true},
    {"wmv", "wmav2", 48000, true},    {"mov", "aac", 48000, true},
};

TEST_F(RenderAudioTest, EveryContainerCarriesTheSoundtrackAtTheChosenRateAndChannels) {
    const std::string tone = Tone("tone.wav", 44100, 3);
    const std::string tone48 = Tone("tone48.wav", 48000, 3);
    for (const auto& c : Containers) {
        SCOPED_TRACE(c.Format);
        std::string file;
        // Mono at 22050 Hz, running to the end of the 3 s soundtrack after the pictures ended.
        TRunResult r = Render(c.Format, "--audio " + tone + " --mono --samplerate 22050", file);
        ASSERT_EQ(r.Status, 0) << r.Output;
        TStreamProbe a = ProbeStream(file, "a"), v = ProbeStream(file, "v");
        EXPECT_EQ(a.Codec, c.Codec);
        EXPECT_EQ(a.SampleRate, 22050);
        EXPECT_EQ(a.Channels, 1);
        EXPECT_NEAR(v.End, 1.48, 0.1);
        EXPECT_NEAR(a.End, c.AudioOnly ? 3.0 : v.End, 0.15);
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");

        // "Break when no pictures": the soundtrack stops with the pictures.
        r = Render(c.Format, "--audio " + tone + " --break-when-no-pictures", file);
        ASSERT_EQ(r.Status, 0) << r.Output;
        a = ProbeStream(file, "a");
        v = ProbeStream(file, "v");
        EXPECT_EQ(a.SampleRate, 44100);
        EXPECT_EQ(a.Channels, 2);
        EXPECT_NEAR(a.End, v.End, 0.25);
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");

        // 48 kHz "as source": the container's nearest rate where it cannot carry 48000 Hz.
        r = Render(c.Format, "--audio " + tone48 + " --samplerate 0", file);
        ASSERT_EQ(r.Status, 0) << r.Output;
        a = ProbeStream(file, "a");
        EXPECT_EQ(a.SampleRate, c.RateOf48k);
        EXPECT_EQ(a.Channels, 2);
        EXPECT_NEAR(a.End, c.AudioOnly ? 3.0 : 1.48, 0.15);
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");
    }
}

TEST_F(RenderAudioTest, ASoundtrackFarLongerThanThePicturesWithoutBreak) {
    // Long enough to overflow what a Flash movie's muxer holds for frames that never come.
    const std::string song = Tone("song.wav", 44100, 20);
    for (const auto& c : Containers) {
        SCOPED_TRACE(c.Format);
        std::string file;
        TRunResult r = Render(c.Format, "--audio " + song, file);
        ASSERT_EQ(r.Status, 0) << r.Output;
        TStreamProbe a = ProbeStream(file, "a"), v = ProbeStream(file, "v");
        EXPECT_EQ(a.Codec, c.Codec);
        EXPECT_GT(a.Packets, 0);
        EXPECT_NEAR(v.End, 1.48, 0.1);
        EXPECT_NEAR(a.End, c.AudioOnly ? 20.0 : v.End, 0.15);
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");
    }
}

TEST_F(RenderAudioTest, WmvAsSourceTakesTheHighestRateItsEncoderCanAboveThat) {
    const std::string tone96 = Tone("tone96.wav", 96000, 2);
    std::string file;
    TRunResult r = Render("wmv", "--audio " + tone96 + " --samplerate 0", file);
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(ProbeStream(file, "a").SampleRate, 48000);
    EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");
}

TEST_F(RenderAudioTest, ABadSoundtrackEndsTheJobWithItsNameAndTheVideoPlays) {
    // Not audio at all, a picture (a stream, but no audio), and an MP3 cut off after about
    // 2.5 s of its stated 6 s.
    const std::string text = dir.File("notes.mp3");
    std::ofstream(text) << "these are not sounds\n";
    const std::string picture = dir.File("p0.jpg");
    const std::string whole = Tone("whole.mp3", 44100, 6, "-c:a libmp3lame");
    const std::string cut = dir.File("cut.mp3");
    {
        std::ifstream in(whole, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GT(bytes.size(), 60000u);
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, 40000);
    }
    for (const std::string& soundtrack : {text, picture}) {
        SCOPED_TRACE(soundtrack);
        std::string file;
        TRunResult r = Render("mp4", "--audio " + soundtrack, file);
        EXPECT_EQ(r.Status, 1);
        EXPECT_NE(r.Output.find(soundtrack), std::string::npos) << r.Output;
    }
    for (const char* format : {"mp4", "flv"}) {
        SCOPED_TRACE(format);
        std::string file;
        TRunResult r = Render(format, "--audio " + cut, file);
        EXPECT_EQ(r.Status, 1);
        EXPECT_NE(r.Output.find(cut), std::string::npos) << r.Output;
        EXPECT_NE(r.Output.find("truncated"), std::string::npos) << r.Output;
        // The pictures ended before the soundtrack broke off: the whole video is there.
        ASSERT_TRUE(std::filesystem::exists(file)) << r.Output;
        EXPECT_NEAR(ProbeStream(file, "v").End, 1.48, 0.1);
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");
    }
}

TEST_F(RenderAudioTest, ASoundtrackThatYieldsNoAudioIsAnErrorNamingIt) {
    const std::string zero = Tone("zero.wav", 44100, 1, "-frames:a 0");
    const std::string empty = Tone("empty.flac", 44100, 1, "-frames:a 0");
    const std::string one = Tone("one.m4a", 44100, 1, "-af atrim=end_sample=1 -c:a aac");
    for (const std::string& soundtrack : {zero, empty, one}) {
        SCOPED_TRACE(soundtrack);
        std::string file;
        TRunResult r = Render("mp4", "--audio " + soundtrack, file);
        EXPECT_EQ(r.Status, 1);
        EXPECT_NE(r.Output.find(soundtrack + ": no audio could be decoded from it"), std::string::npos) << r.Output;
        ASSERT_TRUE(std::filesystem::exists(file)) << r.Output;
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");
    }
    // A header claiming 255 channels: the resampler's refusal keeps its text and names the file.
    const std::string wide = dir.File("wide.wav");
    {
        std::ifstream in(Tone("plain.wav", 44100, 1, "-c:a pcm_s16le"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GT(bytes.size(), 44u);
        bytes[22] = char(255);
        std::ofstream(wide, std::ios::binary) << bytes;
    }
    std::string file;
    TRunResult r = Render("mp4", "--audio " + wide, file);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find(wide + ": Can not resample 255 channels"), std::string::npos) << r.Output;
}

TEST_F(RenderAudioTest, ASoundtrackDamagedMidwayIsNamedInTheMessageNotTheOutput) {
    // Encoded soundtracks with 30000 bytes of noise from byte 30000 on (about 2 s into 6 s).
    // Whatever a damaged file makes of the job, a failure names the soundtrack, and what was
    // written plays. A FLAC whose frame numbers are noise makes the sound's times go back.
    const struct {
        const char* Name;
        const char* Codec;
        bool Fails;
    } cases[] = {{"damaged.flac", "-c:a flac", true}, {"damaged.mp3", "-c:a libmp3lame", true},
                 {"damaged.wma", "-c:a wmav2", false}};
    std::mt19937 noise(7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string soundtrack = Tone(c.Name, 44100, 6, c.Codec);
        {
            std::fstream f(soundtrack, std::ios::in | std::ios::out | std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(f)), {});
            ASSERT_GT(bytes.size(), 60000u);
            for (std::size_t i = 30000; i < 60000; ++i)
                bytes[i] = char(noise() & 0xFF);
            f.seekp(0);
            f.write(bytes.data(), std::streamsize(bytes.size()));
        }
        std::string file;
        TRunResult r = Render("mp4", "--audio " + soundtrack, file);
        EXPECT_EQ(r.Status, c.Fails ? 1 : 0) << r.Output;
        EXPECT_EQ(r.Output.find(file + ":"), std::string::npos) << r.Output;
        if (c.Fails) {
            EXPECT_NE(r.Output.find(soundtrack + ": "), std::string::npos) << r.Output;
        }
        ASSERT_TRUE(std::filesystem::exists(file)) << r.Output;
        EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + file + "' -f null -").Output, "");
    }
}
} // namespace
