// The built soundtrack from real files: songs in order without gaps, the loop, overlays over the
// music, the loudness target, and files that cannot be used.

#include "app/soundtrack/SoundtrackBuilder.h"
#include "app/soundtrack/SoundtrackMix.h"
#include "app/timing/MusicReader.h"
#include "medialib/FFLoad.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {
// The temporary folder of the tests that follow in this process.
void RestoreTmp(const std::string& old) {
    if (old.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", old.c_str(), 1);
}

constexpr int Rate = 44100;

class SoundtrackBuilder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        // A temporary folder of this test's own: the others running beside it build theirs.
        std::filesystem::create_directory(dir_.File("tmp"));
        const char* tmp = std::getenv("TMPDIR");
        oldTmp_ = tmp ? tmp : "";
        setenv("TMPDIR", dir_.File("tmp").c_str(), 1);
    }
    void TearDown() override { RestoreTmp(oldTmp_); }
    // A sound made by ffmpeg's expression source: expr over t, seconds long, as file name.
    std::string Sound(const std::string& name, const std::string& expr, double seconds, int rate = Rate,
                      const std::string& extra = "") {
        const std::string file = dir_.File(name);
        TRunResult r = RunShell("ffmpeg -nostdin -v error -f lavfi -i \"aevalsrc=" + expr + ":s=" + std::to_string(rate) +
                                ":d=" + std::to_string(seconds) + "\" -ac 2 " + extra + " -y '" + file + "'");
        EXPECT_EQ(r.Status, 0) << r.Output;
        return file;
    }
    std::string Tone(const std::string& name, double frequency, double seconds, int rate = Rate) {
        return Sound(name, "0.5*sin(2*PI*" + std::to_string(frequency) + "*t)", seconds, rate);
    }
    // Something like music: a chord with a slow swell.
    std::string Music(const std::string& name, double seconds) {
        return Sound(name, "0.3*(sin(2*PI*220*t)+0.5*sin(2*PI*330*t))*(0.8+0.2*sin(2*PI*0.5*t))", seconds);
    }
    int LeftoverSoundtracks() const {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir_.File("tmp")))
            n += e.path().filename().string().rfind("pixaroll-soundtrack-", 0) == 0;
        return n;
    }
    TTempDir dir_;
    std::string oldTmp_;
};
} // namespace

TEST_F(SoundtrackBuilder, SongsPlayOneAfterTheOtherInTheirOrderWithoutAGap) {
    TSoundtrackPlan plan;
    // Different rates: each is converted to the output's.
    plan.Songs = {Tone("a.wav", 300, 4), Tone("b.wav", 600, 4, 48000), Tone("c.flac", 900, 4, 22050)};
    plan.VideoSeconds = 20;
    TBuiltSoundtrack built;
    std::string error;
    ASSERT_TRUE(built.Build(plan, error)) << error;
    const std::vector<float> s = DecodeMono(built.Path(), Rate);
    EXPECT_NEAR(double(s.size()) / Rate, 12.0, 2.0 / 1024);
    const double tones[] = {300, 600, 900};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const long long mid = std::llround((4 * k + 1) * Rate);
        for (int j = 0; j < 3; ++j) {
            const double level = ToneLevel(s, Rate, tones[j], mid, 2 * Rate);
            if (j == k)
                EXPECT_NEAR(level, 0.5, 0.05);
            else
                EXPECT_LT(level, 0.01);
        }
    }
    // No gap at the joins: no run of silence longer than one audio frame (1024 samples). A sine
    // crosses zero, but never stays there.
    int quiet = 0, longest = 0;
    for (float v : s) {
        quiet = std::abs(v) < 1e-3f ? quiet + 1 : 0;
        longest = std::max(longest, quiet);
    }
    EXPECT_LT(longest, 1024);
    built.Remove();
    EXPECT_EQ(LeftoverSoundtracks(), 0);
}

TEST_F(SoundtrackBuilder, AShortSongLoopsToTheEndOfThePicturesWithoutAJumpAtTheSeams) {
    // 441.05 Hz for 5 s: a quarter period over, so the end (at a crest) jumps to the start.
    const std::string song = Tone("song.wav", 441.05, 5);
    const std::vector<float> original = DecodeMono(song, Rate);
    const double own = LargestStep(original, 0, (long long)original.size());
    TSoundtrackPlan plan;
    plan.Songs = {song};
    plan.VideoSeconds = 20;
    plan.Loop = true;
    TBuiltSoundtrack built;
    std::string error;
    ASSERT_TRUE(built.Build(plan, error)) << error;
    EXPECT_NEAR(built.Shape().Length, 20, 1e-9);
    const std::vector<float> s = DecodeMono(built.Path(), Rate);
    EXPECT_NEAR(double(s.size()) / Rate, 20.0, 1.0 / Rate + 1e-9);
    // Around every seam (each pass is 5 s less the crossfade).
    const long long pass = 5 * Rate - std::llround(LoopCrossfadeSeconds * Rate);
    for (int k = 1; k * pass < (long long)s.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_LE(LargestStep(s, k * pass - Rate / 10, k * pass + Rate / 10), own * 1.001);
    }
    // The very end is ramped down, not cut in the middle of a wave.
    EXPECT_LT(std::abs(s.back()), 0.01);
}

TEST_F(SoundtrackBuilder, AnOverlayIsHeardWhileTheMusicDucksAndComesBack) {
    TSoundtrackPlan plan;
    plan.Songs = {Music("music.wav", 10)};
    plan.VideoSeconds = 10;
    // The clip's first second is another tone: the overlay starts after it.
    const std::string tone = Sound("clip.wav", "0.5*sin(2*PI*if(lt(t\\,1)\\,1500\\,1000)*t)", 6);
    plan.Overlays = {{tone, 1.0, 3.0, 4.0, true, false}}; // 3 s from 1 s into the clip, at 4 s
    TBuiltSoundtrack built;
    std::string error;
    ASSERT_TRUE(built.Build(plan, error)) << error;
    const std::vector<float> s = DecodeMono(built.Path(), Rate);
    ASSERT_NEAR(double(s.size()) / Rate, 10.0, 0.01);
    auto music = [&](double at) { return ToneLevel(s, Rate, 220, std::llround(at * Rate), Rate / 2); };
    auto clip = [&](double at) { return ToneLevel(s, Rate, 1000, std::llround(at * Rate), Rate / 2); };
    EXPECT_LT(clip(2.0), 0.005);
    EXPECT_NEAR(clip(5.0), 0.5, 0.05);
    EXPECT_NEAR(clip(4.05), 0.5, 0.05);
    EXPECT_LT(ToneLevel(s, Rate, 1500, std::llround(4.05 * Rate), Rate / 2), 0.005);
    EXPECT_LT(clip(8.0), 0.005);
    // About -12 dB under the clip, back after it (the swell of the chord compared at like phases).
    const double before = music(2.0), under = music(6.0), after = music(8.0);
    EXPECT_NEAR(20 * std::log10(under / before), -12, 1.5);
    EXPECT_NEAR(20 * std::log10(after / before), 0, 1.5);

    // Silenced instead of ducked: the clip alone.
    plan.Overlays[0].MusicSilent = true;
    ASSERT_TRUE(built.Build(plan, error)) << error;
    const std::vector<float> silent = DecodeMono(built.Path(), Rate);
    EXPECT_LT(ToneLevel(silent, Rate, 220, 5 * Rate, Rate / 2), 0.001);
    EXPECT_NEAR(ToneLevel(silent, Rate, 1000, 5 * Rate, Rate / 2), 0.5, 0.05);
}

TEST_F(SoundtrackBuilder, TheWholeSoundtrackReachesTheLoudnessTarget) {
    // One quiet and one loud song: the target is reached by the whole, not by each.
    TSoundtrackPlan plan;
    plan.Songs = {Sound("quiet.wav", "0.05*sin(2*PI*220*t)", 6), Music("loud.wav", 6)};
    plan.VideoSeconds = 12;
    for (double target : {-16.0, -23.0, -8.0}) {
        SCOPED_TRACE(target);
        plan.Loudness = target;
        TBuiltSoundtrack built;
        std::string error;
        ASSERT_TRUE(built.Build(plan, error)) << error;
        ASSERT_TRUE(built.MeasuredLoudness());
        EXPECT_NEAR(IntegratedLoudness(built.Path()), target, 1.0);
        // Brought up that far, the peaks are limited instead of clipped.
        const std::vector<float> s = DecodeMono(built.Path(), Rate);
        float peak = 0;
        for (float v : s)
            peak = std::max(peak, std::abs(v));
        EXPECT_LE(peak, 1.0f);
    }
}

// However the soundtrack ends (with the music, looped, with the pictures, faded out), every song
// is checked whole: a cut second song is named even when only its first moments are taken. How
// long it plays (for the holds that follow the music) is what decodes, not what its header says.
TEST_F(SoundtrackBuilder, EverySongIsCheckedWholeWhateverEndsTheSoundtrack) {
    const std::string good = Tone("first.wav", 440, 2);
    const std::string whole = Sound("whole.mp3", "0.5*sin(2*PI*440*t)", 6, Rate, "-c:a libmp3lame");
    const std::string cut = dir_.File("cut.mp3");
    {
        std::ifstream in(whole, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
    }
    for (int ending = 0; ending < 4; ++ending) {
        SCOPED_TRACE(ending);
        TSoundtrackPlan plan;
        plan.Songs = {good, cut};
        plan.VideoSeconds = 2.5; // the pictures end half a second into the cut song
        plan.Loop = ending == 1;
        plan.EndWithVideo = ending == 2;
        plan.FadeOutSeconds = ending == 3 ? 1 : 0;
        TBuiltSoundtrack built;
        std::string error;
        EXPECT_FALSE(built.Build(plan, error));
        EXPECT_NE(error.find(cut), std::string::npos) << error;
        EXPECT_NE(error.find("truncated"), std::string::npos) << error;
        EXPECT_TRUE(built.Path().empty());
        // The whole song passes, and only what the pictures need of it is kept.
        plan.Songs = {good, whole};
        ASSERT_TRUE(built.Build(plan, error)) << error;
        EXPECT_NEAR(built.Shape().Music, ending == 0 ? 8.0 : 2.5, 0.1);
    }
    EXPECT_EQ(LeftoverSoundtracks(), 0);

    EnsureMusicLibraries();
    EXPECT_NEAR(MusicSeconds(whole), 6.0, 0.1);
    // Its header still says 6 s; a third of the bytes holds about 2.
    EXPECT_NEAR(MusicSeconds(cut), 2.0, 0.3);
}

TEST_F(SoundtrackBuilder, AFileThatCannotBeUsedIsNamedAndNothingIsLeft) {
    const std::string good = Tone("good.wav", 440, 2);
    const std::string text = dir_.File("notes.mp3");
    std::ofstream(text) << "these are not sounds\n";
    const std::string picture = dir_.File("picture.jpg");
    WriteTestJpeg(picture, 32, 24, [](int x, int) { return std::uint32_t(x) << 8; });
    // An MP3 cut off at a third of its stated length.
    const std::string whole = Sound("whole.mp3", "0.5*sin(2*PI*440*t)", 6, Rate, "-c:a libmp3lame");
    const std::string cut = dir_.File("cut.mp3");
    {
        std::ifstream in(whole, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
    }
    for (const std::string& bad : {dir_.File("gone.mp3"), text, picture, cut}) {
        SCOPED_TRACE(bad);
        TSoundtrackPlan plan;
        plan.Songs = {good, bad};
        plan.VideoSeconds = 10;
        TBuiltSoundtrack built;
        std::string error;
        EXPECT_FALSE(built.Build(plan, error));
        EXPECT_NE(error.find(bad), std::string::npos) << error;
        EXPECT_TRUE(built.Path().empty());
        if (bad == cut) {
            EXPECT_NE(error.find("truncated"), std::string::npos) << error;
        }
        // The same file as an overlay (of which the cut one still has the first second).
        if (bad == cut)
            continue;
        plan.Songs = {good};
        plan.Overlays = {{bad, 0, 1, 0.5, true, false}};
        EXPECT_FALSE(built.Build(plan, error));
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    EXPECT_EQ(LeftoverSoundtracks(), 0);

    // A stop while it builds: nothing is left either.
    TSoundtrackPlan plan;
    plan.Songs = {good, good};
    plan.Cancelled = [] { return true; };
    TBuiltSoundtrack built;
    std::string error;
    EXPECT_FALSE(built.Build(plan, error));
    EXPECT_EQ(error, "stopped");
    EXPECT_EQ(LeftoverSoundtracks(), 0);
}
