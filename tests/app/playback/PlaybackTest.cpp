// The player's frames: what it draws at any place equals what a run of the same slideshow at
// the same size draws there (a transition, a caption, motion and a clip), and its drawing thread
// under orders that come faster than it draws.

#include "app/SlideshowRun.h"
#include "app/playback/PlaybackDrawer.h"
#include "app/playback/PlaybackFrames.h"
#include "app/playback/PlaybackSound.h"
#include "effects/Random.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

namespace {
constexpr int Width = 192, Height = 108;

// The largest difference of one colour byte between two frames of the same size.
int LargestDifference(const TFrameBitmap& a, const TFrameBitmap& b) {
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const std::uint32_t p = a.Pixel(x, y), q = b.Pixel(x, y);
            for (int shift = 0; shift < 24; shift += 8)
                worst = std::max(worst, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
        }
    return worst;
}

class Playback : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        dir_ = new TTempDir;
        WriteTestJpeg(dir_->File("a.jpg"), 400, 300, [](int x, int y) { return (x / 20 + y / 20) % 2 ? 0xE04020u : 0x2040E0u; });
        WriteTestJpeg(dir_->File("b.jpg"), 300, 400, [](int x, int) { return 0x010101u * std::uint32_t(x * 255 / 300); });
        WriteTestJpeg(dir_->File("c.jpg"), 640, 360, [](int, int y) { return y < 180 ? 0x20C040u : 0xC0C020u; });
        std::string error;
        TTestClip clip;
        clip.Seconds = 1;
        ASSERT_TRUE(MakeTestClip(dir_->File("clip.mp4"), clip, error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    // Four slides at 25:1 (1 s holds, 0.4 s transitions): a caption, motion on the photos but one
    // (which stands still) and one slide's own framing, a clip, random effects from a seed and one slide's own effect.
    static TSlideshowData Show() {
        TSlideshowData data;
        data.Slides = {PlainSlide(dir_->File("a.jpg")), PlainSlide(dir_->File("b.jpg")),
                       PlainSlide(dir_->File("clip.mp4")), PlainSlide(dir_->File("c.jpg"))};
        data.Slides[0].Caption = "Harbour at dawn";
        data.Slides[1].Effect = 17;
        data.Slides[1].Motion.Style = TMotionStyle::Off; // a still picture among the moving ones
        data.Slides[3].Motion.Style = TMotionStyle::Rects;
        data.Slides[3].Motion.Start = {0, 0, 0.5, 0.5};
        data.Slides[3].Motion.End = {0.5, 0.5, 0.5, 0.5};
        data.Output.FrameSize = "1280x720";
        data.Output.FrameRate = {25, 1};
        data.Output.HoldSeconds = 1;
        data.Output.TransitionSeconds = 0.4;
        data.Output.RandomEffects = true;
        data.Output.Seed = 41;
        data.Output.Motion = TMotionStyle::ZoomIn;
        data.Output.Framing = TFraming::Blur;
        return data;
    }
    // Every frame of a run from the start at Width x Height, as a job draws them.
    static std::vector<TFrameBitmap> RunFrames(const TSlideshowData& show) {
        TSlideshowData data = show;
        data.Output.FrameSize = std::to_string(Width) + "x" + std::to_string(Height);
        TSlideshowSequencer sequencer;
        PrepareSlideshowRun(sequencer, data);
        std::vector<TFrameBitmap> frames;
        while (const TFrameBitmap* frame = sequencer.NextFrame())
            frames.push_back(*frame);
        return frames;
    }
    static TTempDir* dir_;
};
TTempDir* Playback::dir_ = nullptr;
} // namespace

TEST_F(Playback, FramesAtAnyPlaceAreTheRunsFramesAtThatSize) {
    const std::vector<TFrameBitmap> run = RunFrames(Show());
    TPlaybackFrames frames;
    const std::uint32_t generator = GetRandSeed();
    frames.Prepare(Show(), Width, Height);
    ASSERT_EQ(frames.FrameCount(), (long long)run.size());
    // 10 + 25 | 10 + 25 | 10 + 25 (the clip's second) | 10 + 25 | 10 + 2
    EXPECT_EQ(frames.SlideStarts(), std::vector<long long>({0, 35, 70, 105}));
    EXPECT_EQ(frames.HoldStarts(), std::vector<long long>({10, 45, 80, 115}));
    EXPECT_EQ(frames.SlideAt(44), 1);
    EXPECT_EQ(frames.SlideAt(1000), 3);
    // The fade-in with the caption, the own effect into b, a hold, the transition into the clip,
    // the clip, the framing of the last slide, the transition into black, the end; then back.
    for (long long at : {3LL, 38LL, 52LL, 74LL, 90LL, 104LL, 120LL, 143LL, 146LL, 20LL, 0LL, 107LL}) {
        SCOPED_TRACE("frame " + std::to_string(at));
        frames.Seek(at);
        const TFrameBitmap* frame = frames.Next();
        ASSERT_NE(frame, nullptr);
        EXPECT_LE(LargestDifference(*frame, run[std::size_t(at)]), 2);
        // And on from there, frame by frame.
        for (long long next = at + 1; next < at + 4 && next < (long long)run.size(); ++next) {
            frame = frames.Next();
            ASSERT_NE(frame, nullptr);
            EXPECT_LE(LargestDifference(*frame, run[std::size_t(next)]), 2) << "then frame " << next;
        }
    }
    frames.Seek(run.size() - 1);
    EXPECT_NE(frames.Next(), nullptr);
    EXPECT_EQ(frames.Next(), nullptr);
    // A job after the player finds the program's generator as it was.
    EXPECT_EQ(GetRandSeed(), generator);
}

TEST_F(Playback, SoundIsTheSoundtrackAJobBuilds) {
    const std::string song = dir_->File("song.wav");
    WriteTestWav(song, 2.0, 48000, 2);
    TSlideshowData data = Show();
    data.Soundtracks = {{song}};
    data.Output.Audio = song;
    data.Output.LoopMusic = true;
    data.Output.FrameSize = "192x108";
    TSlideshowSequencer sequencer;
    const TSlideshowRun run = PrepareSlideshowRun(sequencer, data);
    TSoundSamples sound;
    std::string error;
    ASSERT_TRUE(BuildPlaybackSound(SoundtrackPlanOf(data.Output, run, 48000), sound, error)) << error;
    EXPECT_EQ(sound.Rate, 48000);
    EXPECT_EQ(sound.Channels, 2);
    // Looped to the end of the pictures (the clip's sound lies over it).
    EXPECT_NEAR(sound.Seconds(), run.VideoSeconds, 0.05);
    EXPECT_FALSE(ReadFloatWav(dir_->File("a.jpg"), sound, error));
    EXPECT_NE(error.find("no WAV file"), std::string::npos);
}

// Orders from another thread, faster than frames are drawn: every frame taken belongs to the
// latest order and stands where that order put it.
TEST_F(Playback, DrawerUnderOrdersFromAnotherThread) {
    TSlideshowData data = Show();
    data.Slides.erase(data.Slides.begin() + 2); // no clip: many orders in a short time
    TPlaybackDrawer drawer;
    std::atomic<int> prepared{0};
    std::atomic<long long> frames{0};
    drawer.OnPrepared = [&](const TPlaybackShape& shape) {
        EXPECT_TRUE(shape.Error.empty()) << shape.Error;
        ++prepared;
    };
    drawer.OnFrame = [&] { ++frames; };
    std::mt19937 random(5);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    int orders = 0, checked = 0;
    drawer.Load(data, 96, 54, 0, false);
    // Six seconds, or longer where drawing is slow (an instrumented build) until enough was checked.
    while ((std::chrono::steady_clock::now() < until || checked <= 10) && orders < 400) {
        const int kind = int(random() % 10);
        const long long at = random() % 100;
        ++orders;
        if (kind == 0) {
            data.Slides[0].Caption = "take " + std::to_string(orders);
            drawer.Load(data, 96, 54, at, random() % 2);
        } else if (kind < 4) {
            const std::uint64_t order = drawer.Show(at);
            for (int wait = 0; wait < 200; ++wait) {
                if (std::optional<TDrawnFrame> f = drawer.TakeAny()) {
                    EXPECT_EQ(f->Order, order);
                    EXPECT_EQ(f->Index, at);
                    EXPECT_EQ(f->Image.width(), 96);
                    ++checked;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        } else if (kind < 9) {
            const std::uint64_t order = drawer.Play(at);
            long long next = at;
            for (int wait = 0; wait < 100 && next < at + 3; ++wait) {
                int dropped = 0;
                if (std::optional<TDrawnFrame> f = drawer.Take(next, &dropped)) {
                    EXPECT_EQ(f->Order, order);
                    EXPECT_EQ(f->Index, next);
                    ++next;
                    ++checked;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            }
        } else {
            drawer.Stop();
            EXPECT_FALSE(drawer.TakeAny());
        }
    }
    drawer.Stop();
    EXPECT_GT(checked, 10);
    EXPECT_GT(prepared.load(), 0);
    EXPECT_EQ(frames.load(), (long long)drawer.Frames());
}

// The sound's clock: what was handed to the device less what still waits, smoothed over the
// device's steps, never going back, waiting for the first sound, and taking a stall as it is.
TEST(PlaybackClock, FollowsWhatWasHeardSmoothlyAndNeverGoesBack) {
    constexpr qint64 BytesPerSecond = 48000 * 2 * 4;
    EXPECT_DOUBLE_EQ(HeardSeconds(2'000'000, BytesPerSecond / 10, BytesPerSecond), 1.9);
    EXPECT_DOUBLE_EQ(HeardSeconds(50'000, BytesPerSecond / 10, BytesPerSecond), 0.0); // the buffer is filling
    EXPECT_DOUBLE_EQ(HeardSeconds(300'000, 0, 0), 0.3);

    // A device that starts 60 ms late, takes 20 ms periods from a sink that keeps 100 ms ahead,
    // and reports what waits in 10 ms steps; the readings come every 4 ms, a little unevenly.
    // From 3 s to 3.3 s it stalls (nothing is played), then plays on.
    const auto played = [](double t) {
        const double p = std::max(t - 0.06, 0.0);
        return t < 3 ? p : t < 3.3 ? 3 - 0.06 : p - 0.3;
    };
    TSoundClock clock;
    std::mt19937 random(3);
    double last = 0, largestLead = 0, largestLag = 0, largestStep = 0;
    for (double t = 0; t < 6; t += 0.004 + (random() % 1000) * 1e-6) {
        const double heard = played(t);
        const double written = std::floor(heard / 0.02) * 0.02 + (t > 0.06 ? 0.1 : 0.0);
        const double reported = std::floor(heard / 0.01) * 0.01;
        const qint64 processed = qint64(std::llround(written * 1e6));
        const qint64 waiting = qint64((written - reported) * BytesPerSecond);
        const double place = clock.Update(HeardSeconds(processed, waiting, BytesPerSecond), t);
        ASSERT_GE(place, last) << "at " << t;
        if (t < 0.06) {
            EXPECT_EQ(place, 0.0) << "nothing heard yet at " << t;
        }
        if (t > 0.2 && (t < 3 || t > 3.5)) {
            largestStep = std::max(largestStep, place - last);
            largestLead = std::max(largestLead, place - heard);
            largestLag = std::max(largestLag, heard - place);
        }
        last = place;
        if (t > 3.15 && t < 3.3) {
            EXPECT_LT(place - heard, TSoundClock::JumpSeconds + 0.02) << "runs on through a stall at " << t;
        }
    }
    EXPECT_LT(largestLead, 0.005);
    EXPECT_LT(largestLag, 0.012);
    EXPECT_LT(largestStep, 0.008); // no jumps while it plays
    // A new start begins at 0 again.
    clock.Reset();
    EXPECT_EQ(clock.Update(0, 10), 0.0);
    EXPECT_NEAR(clock.Update(0.5, 10.5), 0.5, 1e-9);
}
