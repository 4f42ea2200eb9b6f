// Holds from the music: fitted to the soundtracks' length and moved onto their beats, checked on
// the plan and on the frames the job's sequencer actually delivers, over synthesised music.

#include "app/captions/CaptionCues.h"
#include "app/document/SlideshowDocument.h"
#include "app/SlideshowJob.h"
#include "app/output/FrameCount.h"
#include "app/timing/BeatTracker.h"
#include "app/timing/MusicReader.h"
#include "app/timing/MusicTiming.h"
#include "app/timing/SlideTiming.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestPng.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numeric>
#include <random>

namespace {
constexpr int Rate = 44100;
constexpr double Pi = 3.14159265358979323846;

void WriteMonoWav(const std::string& file, const std::vector<float>& samples) {
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const std::uint32_t bytes = std::uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16), u16(1), u16(1), u32(Rate), u32(Rate * 2), u16(2), u16(16);
    out.write("data", 4);
    u32(bytes);
    for (float s : samples)
        u16(std::uint16_t(std::int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767))));
}

// Short 1 kHz clicks at first + k x 60 / bpm seconds.
std::vector<float> ClickTrack(double bpm, double seconds, double first, std::vector<double>& clicks) {
    std::vector<float> s(std::size_t(seconds * Rate));
    for (double t = first; t < seconds; t += 60 / bpm) {
        clicks.push_back(t);
        const std::size_t at = std::size_t(t * Rate);
        for (int j = 0; j < Rate / 100 && at + j < s.size(); ++j)
            s[at + j] = float(0.8 * std::sin(2 * Pi * 1000 * j / Rate) * std::exp(-j / (0.002 * Rate)));
    }
    return s;
}

// Drums (kick on every beat, snare on 2 and 4, hi-hat on the eighths) over a bass line.
std::vector<float> DrumsAndBass(double bpm, double seconds) {
    std::vector<float> s(std::size_t(seconds * Rate));
    std::mt19937 noise(5);
    std::uniform_real_distribution<float> white(-1, 1);
    const double beat = 60 / bpm;
    const double bass[] = {55, 55, 73.4, 65.4};
    auto add = [&](double at, double length, const std::function<double(double)>& voice) {
        const std::size_t from = std::size_t(at * Rate);
        for (std::size_t j = 0; j < std::size_t(length * Rate) && from + j < s.size(); ++j)
            s[from + j] += float(voice(double(j) / Rate));
    };
    int k = 0;
    for (double t = 0.1; t < seconds; t += beat, ++k) {
        add(t, 0.3, [](double x) { return 0.6 * std::sin(2 * Pi * (50 * x + 200 * (1 - std::exp(-x * 30)) / 30)) * std::exp(-x * 12); });
        if (k % 2 == 1)
            add(t, 0.15, [&](double x) { return 0.35 * white(noise) * std::exp(-x * 25); });
        add(t + beat / 2, 0.05, [&](double x) { return 0.08 * white(noise) * std::exp(-x * 80); });
        const double f = bass[(k / 2) % 4];
        add(t, beat * 0.9, [f](double x) { return 0.25 * std::sin(2 * Pi * f * x) * std::min(1.0, x * 50) * std::exp(-x * 2); });
    }
    return s;
}

double Average(const std::vector<int>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()); }

class MusicTimingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg(); }

    TSlideshowData Slideshow(int pictures, const std::string& music, double hold, double transition) {
        TSlideshowData data;
        for (int i = 0; i < pictures; ++i) {
            const std::string file = dir.File("p" + std::to_string(i) + ".png");
            WriteTestPng(file, 32, 24, [i](int, int) { return 0xFF000000u | std::uint32_t(i * 0x252525); });
            data.Slides.push_back(PlainSlide(file));
        }
        if (!music.empty())
            data.Soundtracks.push_back(TSoundtrack{music});
        data.Output.FrameSize = "160x120";
        data.Output.FrameRate = {25, 1};
        data.Output.HoldSeconds = hold;
        data.Output.TransitionSeconds = transition;
        data.Output.Seed = 11;
        return data;
    }

    // Prepares the job and runs its sequencer to the end: the frame each transition after the
    // fade-in starts on, as delivered.
    std::vector<long long> DeliveredStarts(const TSlideshowData& data, long long* frames = nullptr,
                                           std::vector<std::string>* log = nullptr) {
        TFFEncoder encoder;
        TSlideshowJob job(encoder);
        EXPECT_TRUE(job.PrepareSequencer(data)) << job.LastError;
        EXPECT_FALSE(job.TimingLines.empty());
        if (log)
            *log = job.TimingLines;
        std::vector<long long> starts;
        long long n = 0;
        TSlideshowSequencer& seq = job.Sequencer;
        for (;;) {
            const bool begins = seq.InTransition && seq.TransitionCounter == 0 && seq.PictureIndex >= 0 &&
                                seq.PictureIndex < int(data.Slides.size());
            if (!seq.NextFrame())
                break;
            if (begins)
                starts.push_back(n);
            ++n;
        }
        EXPECT_EQ(n, job.ExpectedFrames());
        if (frames)
            *frames = n;
        return starts;
    }

    // The holds as delivered: from the end of the fade-in to each transition, and between them.
    static std::vector<int> Holds(const std::vector<long long>& starts, int transition) {
        std::vector<int> holds;
        long long previous = 0;
        for (long long s : starts) {
            holds.push_back(int(s - previous - transition));
            previous = s;
        }
        return holds;
    }

    TTempDir dir;
};
} // namespace

TEST(SlideTimingTest, FittedHoldsFillTheLengthEvenlyAndKeepOwnHolds) {
    std::vector<int> holds;
    // 9 slides, 2 s transitions at 30:1, 47.3 s: 1419 frames.
    ASSERT_TRUE(FitHolds(std::vector<int>(9, 0), 60, 1419, holds));
    EXPECT_EQ(TimedFrameCount(holds, 60), 1419);
    EXPECT_LE(*std::max_element(holds.begin(), holds.end()) - *std::min_element(holds.begin(), holds.end()), 1);

    ASSERT_TRUE(FitHolds({0, 200, 0, 0}, 10, 1000, holds));
    EXPECT_EQ(holds[1], 200);
    EXPECT_EQ(TimedFrameCount(holds, 10), 1000);
    EXPECT_LE(std::abs(holds[0] - holds[3]), 1);

    // Just enough for a frame each, then one frame short of it.
    ASSERT_TRUE(FitHolds({0, 0, 0}, 10, 4 * 10 + 2 + 3, holds));
    EXPECT_EQ(holds, (std::vector<int>{1, 1, 1}));
    EXPECT_FALSE(FitHolds({0, 0, 0}, 10, 4 * 10 + 2 + 2, holds));
    EXPECT_FALSE(FitHolds({0, 5}, 10, 3 * 10 + 2 + 5, holds));
}

TEST(SlideTimingTest, TransitionsMoveToBeatsOrBarsWithinTheirBounds) {
    std::vector<long long> beats;
    for (long long f = 7; f < 2000; f += 15)
        beats.push_back(f);
    // Spacing 50 frames, under two bars of 60: every start on its nearest beat.
    TBeatSnap snap = SnapToBeats(std::vector<int>(8, 40), 10, beats, false);
    EXPECT_FALSE(snap.OnBars);
    EXPECT_EQ(snap.OnBeat, 8);
    const std::vector<long long> even = TransitionStarts(std::vector<int>(8, 40), 10);
    const std::vector<long long> onBeats = TransitionStarts(snap.HoldFrames, 10);
    for (std::size_t k = 0; k < onBeats.size(); ++k) {
        EXPECT_TRUE(std::binary_search(beats.begin(), beats.end(), onBeats[k])) << onBeats[k];
        // The nearest beat, not another in reach: at most half a beat from where it was.
        EXPECT_LE(2 * std::llabs(onBeats[k] - even[k]), 15) << onBeats[k] << " for " << even[k];
    }
    EXPECT_NEAR(Average(snap.HoldFrames), 40, 4);
    EXPECT_GT(snap.Moved, 0);

    // Spacing 130 frames, over two bars: on the first beats of bars of one phase.
    snap = SnapToBeats(std::vector<int>(8, 110), 20, beats, false);
    EXPECT_TRUE(snap.OnBars);
    const std::vector<long long> starts = TransitionStarts(snap.HoldFrames, 20);
    const std::vector<long long> spaced = TransitionStarts(std::vector<int>(8, 110), 20);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        EXPECT_TRUE(std::binary_search(beats.begin(), beats.end(), starts[k])) << starts[k];
        EXPECT_EQ((starts[k] - starts[0]) % 60, 0) << starts[k];
        // The nearest bar: at most half a bar away.
        EXPECT_LE(2 * std::llabs(starts[k] - spaced[k]), 60) << starts[k] << " for " << spaced[k];
    }
    EXPECT_NEAR(Average(snap.HoldFrames), 110, 11);

    // The end kept: the last transition stays, the total too.
    const std::vector<int> fitted = {47, 46, 46, 46, 46};
    snap = SnapToBeats(fitted, 10, beats, true);
    EXPECT_EQ(TimedFrameCount(snap.HoldFrames, 10), TimedFrameCount(fitted, 10));
    EXPECT_EQ(snap.OnBeat, 4 + int(std::binary_search(beats.begin(), beats.end(), TransitionStarts(fitted, 10).back())));

    // Beats that end early: the later transitions stay where they are; every hold keeps a frame.
    const std::vector<long long> early = {7, 22, 37, 52, 67, 82, 97};
    snap = SnapToBeats(std::vector<int>(6, 20), 10, early, false);
    const std::vector<long long> nominal = TransitionStarts(std::vector<int>(6, 20), 10);
    const std::vector<long long> moved = TransitionStarts(snap.HoldFrames, 10);
    EXPECT_EQ(moved.back(), nominal.back());
    for (int h : snap.HoldFrames)
        EXPECT_GE(h, 1);
    // Beats closer than a transition: holds of at least one frame instead of a pile-up.
    snap = SnapToBeats(std::vector<int>(4, 1), 30, beats, false);
    for (int h : snap.HoldFrames)
        EXPECT_GE(h, 1);

    EXPECT_EQ(SnapToBeats({40, 40}, 10, {}, false).HoldFrames, (std::vector<int>{40, 40}));
}

TEST(SlideTimingTest, BeatGridIsCompletedAtTheTempo) {
    TBeats beats{{1.0, 1.5, 3.0, 3.5}, 120};
    const std::vector<double> grid = CompletedBeats(beats, 4.6);
    const std::vector<double> expected = {0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0, 4.5};
    ASSERT_EQ(grid.size(), expected.size());
    for (std::size_t i = 0; i < grid.size(); ++i)
        EXPECT_NEAR(grid[i], expected[i], 1e-9);
    EXPECT_EQ(BeatFrames({0.0, 0.019, 0.021, 1.0}, 25, 1), (std::vector<long long>{0, 1, 25}));
}

TEST(SlideTimingTest, CaptionCuesFollowTheTimedHolds) {
    TSlideshowData data;
    data.Slides = {PlainSlide("/a.jpg"), PlainSlide("/b.jpg")};
    data.Slides[1].Caption = "Home";
    data.Output.FrameRate = {25, 1};
    data.Output.HoldSeconds = 4;
    data.Output.TransitionSeconds = 1;
    // Slide 1's caption shows from the start of its transition in (frame 25 + 50), where it fades
    // in, to the end of its way out (75 + 25 + 75 + 25), where it has faded out.
    const TSlideTiming timing{{50, 75}};
    EXPECT_EQ(CaptionCues(data, &timing), "1\n00:00:03,000 --> 00:00:08,000\nHome\n\n");
    EXPECT_EQ(CaptionCues(data), "1\n00:00:05,000 --> 00:00:11,000\nHome\n\n");
    // With a shorter fade the cue starts later in the transition in and ends earlier in the one out.
    data.CaptionFadeSeconds = 0.4;
    EXPECT_EQ(CaptionCues(data, &timing), "1\n00:00:03,600 --> 00:00:07,400\nHome\n\n");
}

TEST_F(MusicTimingTest, TransitionsStartOnTheClicksOfClickTracks) {
    for (double bpm : {120.0, 93.0}) {
        SCOPED_TRACE(bpm);
        std::vector<double> clicks;
        const std::string music = dir.File("clicks" + std::to_string(int(bpm)) + ".wav");
        WriteMonoWav(music, ClickTrack(bpm, 40, 0.3, clicks));
        TSlideshowData data = Slideshow(8, music, 3, 1);
        data.Output.Beats = true;
        std::vector<std::string> log;
        const std::vector<long long> starts = DeliveredStarts(data, nullptr, &log);
        ASSERT_EQ(starts.size(), 8u);
        // The tempo in the log, as steady as the clicks are.
        ASSERT_EQ(log.size(), 1u);
        const std::size_t tempo = log[0].find("tempo ");
        ASSERT_NE(tempo, std::string::npos) << log[0];
        EXPECT_NEAR(std::atof(log[0].c_str() + tempo + 6), bpm, 0.3) << log[0];
        for (long long s : starts) {
            double nearest = 1e9;
            for (double c : clicks)
                nearest = std::min(nearest, std::fabs(s - c * 25));
            EXPECT_LE(nearest, 1.0) << "transition at frame " << s;
        }
        EXPECT_NEAR(Average(Holds(starts, 25)), 75, 7.5);
    }
}

TEST_F(MusicTimingTest, TransitionsFollowTheBeatOfDrumsAndBass) {
    const std::string music = dir.File("groove.wav");
    WriteMonoWav(music, DrumsAndBass(104, 40));
    std::vector<double> reported; // what aubio finds in the music as it is decoded
    TBeatTracker tracker(Rate);
    DecodeMusic(music, Rate, [&](const float* s, int n) { tracker.Feed(s, n); });
    reported = tracker.Result().Times;
    ASSERT_GT(reported.size(), 10u);
    EXPECT_NEAR(tracker.Result().Bpm, 104, 3);

    TSlideshowData data = Slideshow(10, music, 2.5, 0.8);
    data.Output.Beats = true;
    const std::vector<long long> starts = DeliveredStarts(data);
    int near = 0;
    for (long long s : starts) {
        double nearest = 1e9;
        for (double b : reported)
            nearest = std::min(nearest, std::fabs(s - b * 25));
        near += nearest <= 2.0;
    }
    std::string seen;
    for (double b : reported)
        seen += " " + std::to_string(b * 25);
    seen += " |";
    for (long long st : starts)
        seen += " " + std::to_string(st);
    EXPECT_GE(near * 10, int(starts.size()) * 9) << near << " of " << starts.size() << seen;
    EXPECT_NEAR(Average(Holds(starts, 20)), 62, 6.2);
}

TEST_F(MusicTimingTest, FittedRunsEndWithTheMusicAlsoOnTheBeat) {
    const std::string music = dir.File("song.wav");
    WriteTestWav(music, 47.3, Rate, 2);
    EXPECT_NEAR(MusicSeconds(std::vector<std::string>{music, music}), 94.6, 0.01);

    TSlideshowData data = Slideshow(9, music, 5, 2);
    data.Output.FitToMusic = true;
    long long frames = 0;
    std::vector<int> holds = Holds(DeliveredStarts(data, &frames), 50);
    EXPECT_NEAR(double(frames), 47.3 * 25, 1);
    EXPECT_LE(*std::max_element(holds.begin(), holds.end()) - *std::min_element(holds.begin(), holds.end()), 1);

    // A slide's own hold stays; the others share the rest.
    data.Slides[4].HoldSeconds = 1.0;
    holds = Holds(DeliveredStarts(data, &frames), 50);
    EXPECT_NEAR(double(frames), 47.3 * 25, 1);
    EXPECT_EQ(holds[4], 25);

    // Fitted and on the beat: the end stays with the music's.
    std::vector<double> clicks;
    const std::string beat = dir.File("beat.wav");
    WriteMonoWav(beat, ClickTrack(120, 47.3, 0.3, clicks));
    data = Slideshow(9, beat, 5, 2);
    data.Output.FitToMusic = true;
    data.Output.Beats = true;
    const std::vector<long long> starts = DeliveredStarts(data, &frames);
    EXPECT_NEAR(double(frames), 47.3 * 25, 1);
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        double nearest = 1e9;
        for (double c : clicks)
            nearest = std::min(nearest, std::fabs(starts[k] - c * 25));
        EXPECT_LE(nearest, 1.0) << "transition at frame " << starts[k];
    }

    // Too short for the transitions alone: a clear error.
    const std::string shortSong = dir.File("short.wav");
    WriteTestWav(shortSong, 3, Rate, 1);
    data = Slideshow(9, shortSong, 5, 2);
    data.Output.FitToMusic = true;
    TFFEncoder encoder;
    TSlideshowJob job(encoder);
    EXPECT_FALSE(job.PrepareSequencer(data));
    EXPECT_NE(job.LastError.find("too short"), std::string::npos) << job.LastError;
}

TEST_F(MusicTimingTest, UnreadableSoundtracksAreNamed) {
    const std::string damaged = dir.File("damaged.mp3");
    std::ofstream(damaged) << "this is no music at all, only some words";
    const std::string picture = dir.File("picture.jpg");
    WriteTestJpeg(picture, 16, 16, [](int, int) { return 0x808080u; });
    for (const std::string& music : {damaged, picture, dir.File("absent.wav"), dir.Path().string()}) {
        for (bool beats : {false, true}) {
            TSlideshowData data = Slideshow(2, music, 1, 0.5);
            (beats ? data.Output.Beats : data.Output.FitToMusic) = true;
            TFFEncoder encoder;
            TSlideshowJob job(encoder);
            EXPECT_FALSE(job.PrepareSequencer(data)) << music;
            EXPECT_NE(job.LastError.find(music), std::string::npos) << job.LastError;
        }
    }
    TSlideshowData none = Slideshow(2, "", 1, 0.5);
    none.Output.Beats = true;
    TFFEncoder encoder;
    TSlideshowJob job(encoder);
    EXPECT_FALSE(job.PrepareSequencer(none));
    EXPECT_NE(job.LastError.find("soundtrack"), std::string::npos) << job.LastError;
}

// A clip among the pictures plays for its own length whatever the music does to the holds:
// fitted holds share what the clip leaves, and a beat that would move the transition out of it
// moves the next picture's instead.
TEST_F(MusicTimingTest, AClipKeepsItsPlayedLengthWhileTheHoldsFollowTheMusic) {
    const std::string clip = dir.File("clip.mp4");
    std::string error;
    TTestClip made;
    made.Seconds = 3;
    made.Rate = 25;
    ASSERT_TRUE(MakeTestClip(clip, made, error)) << error;
    std::vector<double> clicks;
    const std::string music = dir.File("clicks93.wav");
    WriteMonoWav(music, ClickTrack(93, 40, 0.3, clicks));
    for (const bool fit : {false, true}) {
        SCOPED_TRACE(fit ? "fitted and on the beat" : "on the beat");
        TSlideshowData data = Slideshow(6, music, 3, 1);
        data.Slides[2] = PlainSlide(clip);
        data.Output.Beats = true;
        data.Output.FitToMusic = fit;
        long long frames = 0;
        const std::vector<int> holds = Holds(DeliveredStarts(data, &frames), 25);
        ASSERT_EQ(holds.size(), 6u);
        EXPECT_EQ(holds[2], 75) << "the clip's 3 s at 25 frames a second";
        if (fit)
            EXPECT_NEAR(double(frames), 40 * 25, 1);
    }
}
