// The slideshow run frame by frame: phases, frame counts, percents, effect numbers and the end.

#include "app/output/FrameCount.h"
#include "app/SlideshowSequencer.h"
#include "effects/BmpFile.h"
#include "effects/Effects.h"
#include "effects/Random.h"
#include "effects/Transition.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr int W = 32, H = 24;
constexpr std::uint32_t Marker = 0x00ABCDEF; // what the recording drawer paints

struct TStep {
    int Effect, Percent;
    std::uint32_t OldPixel, NewPixel;
    std::uint32_t Seed; // what the effect receives as its seed value
};

// Colour of picture i: a far-apart grey per picture, so frames can be told apart.
std::uint32_t PictureColour(int i) {
    const std::uint32_t level = 0x40 + 0x30 * static_cast<std::uint32_t>(i);
    return level << 16 | level << 8 | level;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 4)
            return false;
    return true;
}

class SequencerTest : public ::testing::Test {
protected:
    // pictures solid-colour JPEGs; the sequencer reads the list live through `list`.
    void MakePictures(int n) {
        for (int i = 0; i < n; ++i) {
            list.push_back(dir.File("p" + std::to_string(i) + ".jpg"));
            WriteTestJpeg(list.back(), 64, 48, [i](int, int) { return PictureColour(i); });
        }
        seq.PictureCount = [this] { return static_cast<int>(list.size()); };
        seq.PicturePath = [this](int k) { return list.at(static_cast<std::size_t>(k)); };
        seq.BreakWhenNoPictures = [this] { return breakWhenNoPictures; };
        seq.StopEncoder = [this] { ++stopRequests; };
        // Records each effect step; at percent 0 the frame is the old picture, above it a marker.
        seq.DrawTransition = [this](TFrameBitmap& display, const TFrameBitmap& oldPic, const TFrameBitmap& newPic,
                                    int effect, int percent) {
            steps.push_back({effect, percent, oldPic.Pixel(W / 2, H / 2) & 0xFFFFFF, newPic.Pixel(W / 2, H / 2) & 0xFFFFFF,
                             EffectSeed(newPic)});
            display = oldPic;
            if (percent > 0)
                display.Fill(Marker);
        };
    }

    // Runs to the end; the centre pixel of every delivered frame.
    std::vector<std::uint32_t> Run(int limit = 100000) {
        std::vector<std::uint32_t> centres;
        TFrameBitmap canvas(W, H);
        while (static_cast<int>(centres.size()) < limit && seq.ReadFrameCanvas(canvas) == 0)
            centres.push_back(canvas.Pixel(W / 2, H / 2) & 0xFFFFFF);
        return centres;
    }

    TTempDir dir;
    std::vector<std::string> list;
    TSlideshowSequencer seq;
    std::vector<TStep> steps;
    bool breakWhenNoPictures = true;
    int stopRequests = 0;
};
} // namespace

TEST_F(SequencerTest, OnePictureFadesInHoldsFadesOutAndEndsAfterTwoBlackFrames) {
    MakePictures(1);
    seq.Prepare(W, H, FrameCountRule("30:1", "5"), FrameCountRule("30:1", "2"), false);
    ASSERT_EQ(seq.HoldFrames, 150);
    ASSERT_EQ(seq.TransitionFrames, 60);
    const std::vector<std::uint32_t> frames = Run();
    ASSERT_EQ(frames.size(), 272u);
    const std::uint32_t picture = PictureColour(0);
    EXPECT_EQ(frames[0], 0u);                   // fade-in at percent 0: black
    EXPECT_EQ(frames[1], Marker);               // effect drawn from percent 1
    EXPECT_EQ(frames[59], Marker);
    for (int i = 60; i < 210; ++i)
        ASSERT_TRUE(Near(frames[i], picture)) << i;
    EXPECT_TRUE(Near(frames[210], picture));    // fade-out at percent 0: the outgoing picture
    EXPECT_EQ(frames[211], Marker);
    EXPECT_EQ(frames[270], 0u);
    EXPECT_EQ(frames[271], 0u);

    // Two transitions of percents 0, 1, 3, 5, ... (60 frames map to 60 distinct percents).
    ASSERT_EQ(steps.size(), 120u);
    EXPECT_EQ(steps[0].OldPixel, 0u);           // fade-in: black to the picture, decoded once
    EXPECT_TRUE(Near(steps[0].NewPixel, picture));
    EXPECT_TRUE(Near(steps[60].OldPixel, picture)); // fade-out: the picture to black
    EXPECT_EQ(steps[60].NewPixel, 0u);
    EXPECT_EQ(steps[59].Percent, 98);
    EXPECT_EQ(seq.PictureIndex, 1);
    EXPECT_EQ(seq.ReadFrameCanvas(seq.CompositeFrame), -1); // stays over
}

TEST_F(SequencerTest, ZeroEffectDelayGivesOneFrameTransitionsWithoutEffects) {
    MakePictures(2);
    seq.Prepare(W, H, 3, FrameCountRule("30:1", "0"), false);
    ASSERT_EQ(seq.TransitionFrames, 1);
    const std::vector<std::uint32_t> frames = Run();
    // black | p0 p0 p0 | p0 (transition at 0) | p1 p1 p1 | p1 (to black) | black black
    ASSERT_EQ(frames.size(), 2u * (3 + 1) + 1 + 2);
    EXPECT_EQ(frames[0], 0u);
    EXPECT_TRUE(Near(frames[4], PictureColour(0)));
    EXPECT_TRUE(Near(frames[5], PictureColour(1)));
    EXPECT_TRUE(Near(frames[8], PictureColour(1)));
    EXPECT_EQ(frames[9], 0u);
    ASSERT_EQ(steps.size(), 3u);
    for (const TStep& s : steps)
        EXPECT_EQ(s.Percent, 0);
}

TEST_F(SequencerTest, PercentsOfLongAndShortTransitions) {
    MakePictures(1);
    seq.Prepare(W, H, 1, 200, false);
    std::vector<int> percentPerFrame;
    TFrameBitmap canvas(W, H);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
        percentPerFrame.push_back(seq.LastPercent);
    }
    // 200 frames: every percent 0..99 on two consecutive frames, one effect step each.
    ASSERT_EQ(steps.size(), 100u);
    for (int p = 0; p < 100; ++p)
        EXPECT_EQ(steps[p].Percent, p);
    EXPECT_EQ(std::count_if(steps.begin(), steps.end(), [](const TStep& s) { return s.Percent > 0; }), 99);
    EXPECT_EQ(percentPerFrame[0], 0);
    EXPECT_EQ(percentPerFrame[1], 0);
    EXPECT_EQ(percentPerFrame[2], 1);
    EXPECT_EQ(percentPerFrame[197], 98);
    EXPECT_EQ(percentPerFrame[198], 99);
    EXPECT_EQ(seq.PictureIndex, 0); // the 200th frame completed the fade-in

    steps.clear();
    seq.Prepare(W, H, 1, 30, false);
    Run(30);
    const int expected[] = {0, 3, 6, 10, 13, 16, 20, 23, 26, 30, 33, 36, 40, 43, 46,
                            50, 53, 56, 60, 63, 66, 70, 73, 76, 80, 83, 86, 90, 93, 96};
    ASSERT_EQ(steps.size(), 30u);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(steps[i].Percent, expected[i]) << i;
}

TEST_F(SequencerTest, SequentialEffectsWrapAndCarryOverToTheNextRun) {
    MakePictures(3);
    seq.EffectNumber = 175;
    seq.Prepare(W, H, 1, 2, false);
    EXPECT_EQ(seq.EffectNumber, 175);
    Run();
    std::vector<int> used;
    for (const TStep& s : steps)
        if (s.Percent == 0)
            used.push_back(s.Effect);
    EXPECT_EQ(used, (std::vector<int>{175, 176, 1, 2}));
    EXPECT_EQ(seq.EffectNumber, 3);
    seq.Prepare(W, H, 1, 2, false);
    EXPECT_EQ(seq.EffectNumber, 3);

    seq.EffectNumber = 0;
    seq.Prepare(W, H, 1, 2, false);
    EXPECT_EQ(seq.EffectNumber, 1); // outside 1..176
}

TEST_F(SequencerTest, RandomEffectsComeFromTheProgramWideGenerator) {
    MakePictures(2);
    seq.Prepare(W, H, 1, 2, true, 12345u);
    Run();
    SetRandSeed(12345u);
    std::vector<int> expected;
    for (int i = 0; i < 3; ++i)
        expected.push_back(Random(EffectCount) + 1);
    std::vector<int> used;
    for (const TStep& s : steps)
        if (s.Percent == 0)
            used.push_back(s.Effect);
    EXPECT_EQ(used, expected);
}

// The effects' seed holds for a whole transition, changes from one transition to the next (in
// both parities, so rotating shapes turn either way), repeats with the run's seed, and is
// made without drawing from the generator (the effect sequence of a seed stays as it was).
TEST_F(SequencerTest, EveryTransitionHasItsOwnReproducibleSeed) {
    MakePictures(12);
    const auto seedsOfRun = [this](bool random, std::uint32_t runSeed) {
        steps.clear();
        if (!random)
            SetRandSeed(runSeed);
        seq.Prepare(W, H, 1, 3, random, runSeed);
        Run();
        std::vector<std::uint32_t> seeds;
        for (const TStep& s : steps) {
            if (s.Percent == 0)
                seeds.push_back(s.Seed);
            else
                EXPECT_EQ(s.Seed, seeds.back()) << "the seed changed within a transition";
        }
        return seeds;
    };
    const std::vector<std::uint32_t> first = seedsOfRun(true, 4242u);
    ASSERT_EQ(first.size(), 13u); // fade-in, 11 between pictures, fade-out
    std::vector<std::uint32_t> sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "two transitions share a seed";
    const auto odd = std::count_if(first.begin(), first.end(), [](std::uint32_t s) { return s % 2 == 1; });
    EXPECT_GT(odd, 0);
    EXPECT_LT(odd, 13);
    for (std::size_t k = 0; k < first.size(); ++k)
        EXPECT_EQ(first[k], TSlideshowSequencer::TransitionSeed(4242u, int(k))) << k;

    EXPECT_EQ(seedsOfRun(true, 4242u), first);
    EXPECT_NE(seedsOfRun(true, 4243u), first);
    // Sequential runs start from the generator's state, so they repeat from the same state.
    EXPECT_EQ(seedsOfRun(false, 77u), seedsOfRun(false, 77u));
}

TEST_F(SequencerTest, EndCallsAskToStopOnlyWhenBreakingIsOn) {
    MakePictures(1);
    seq.Prepare(W, H, 1, 1, false);
    std::vector<std::uint32_t> frames = Run();
    EXPECT_EQ(frames.size(), 1u + 1 + 1 + 2);
    EXPECT_EQ(stopRequests, 3); // both black frames and the call that reports the end
    EXPECT_EQ(seq.EndFrames, 2);

    breakWhenNoPictures = false;
    stopRequests = 0;
    seq.Prepare(W, H, 1, 1, false);
    frames = Run();
    EXPECT_EQ(frames.size(), 5u);
    EXPECT_EQ(stopRequests, 0);
}

TEST_F(SequencerTest, AStartAfterAStoppedRunBeginsFromScratch) {
    MakePictures(2);
    seq.Prepare(W, H, 3, 4, false);
    const std::vector<std::uint32_t> whole = Run();
    ASSERT_EQ(whole.size(), 2u * (3 + 4) + 4 + 2);
    // Stopped during the fade-in, in a hold, at the first frame of a transition (percent 0
    // drawn) and inside it: the next run shows the same frames as the first.
    for (int stopAfter : {2, 5, 8, 9}) {
        SCOPED_TRACE(stopAfter);
        seq.Prepare(W, H, 3, 4, false);
        ASSERT_EQ(Run(stopAfter).size(), std::size_t(stopAfter));
        seq.Prepare(W, H, 3, 4, false);
        EXPECT_EQ(Run(), whole);
    }
}

TEST_F(SequencerTest, PictureListIsReadLive) {
    MakePictures(3);
    seq.Prepare(W, H, 2, 1, false);
    TFrameBitmap canvas(W, H);
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0); // fade-in
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0); // holding picture 0
    list.resize(1);                            // the user cleared the rest meanwhile
    const std::vector<std::uint32_t> rest = Run();
    // hold, transition to black (picture 0 is now the last), two black frames
    ASSERT_EQ(rest.size(), 1u + 1 + 2);
    EXPECT_EQ(steps.back().NewPixel, 0u);
}

TEST_F(SequencerTest, PictureThatFailsToLoadStopsTheRunWithItsName) {
    MakePictures(2);
    list[1] = dir.File("gone.jpg");
    seq.Prepare(W, H, 3, 2, false);
    TFrameBitmap canvas(W, H);
    for (int i = 0; i < 2 + 3; ++i)
        ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0) << i;
    try {
        seq.ReadFrameCanvas(canvas);
        FAIL() << "the missing picture was not reported";
    } catch (const TPictureError& e) {
        EXPECT_NE(std::string(e.what()).find("gone.jpg"), std::string::npos) << e.what();
    }
}

TEST_F(SequencerTest, CanvasReceivesTheFrameClippedToItsSize) {
    MakePictures(1);
    seq.Prepare(W, H, 5, 1, false);
    TFrameBitmap canvas(W, H), small(W / 2, H / 2), wide(W * 2, H);
    wide.Fill(0x111111);
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
    ASSERT_EQ(seq.ReadFrameCanvas(small), 0);
    ASSERT_EQ(seq.ReadFrameCanvas(wide), 0);
    EXPECT_TRUE(Near(small.Pixel(W / 2 - 1, H / 2 - 1), PictureColour(0)));
    EXPECT_TRUE(Near(wide.Pixel(W - 1, H - 1), PictureColour(0)));
    EXPECT_EQ(wide.Pixel(W, 0), 0x111111u); // beyond the frame: untouched
}

TEST_F(SequencerTest, FramesThatRepeatThePreviousOneAreMarkedAndNotCopied) {
    MakePictures(2);
    seq.DrawTransition = DrawTransitionFrame; // real effects: every step changes the pixels
    TSlideshowSequencer reference;
    reference.PictureCount = seq.PictureCount;
    reference.PicturePath = seq.PicturePath;
    for (TSlideshowSequencer* s : {&seq, &reference})
        s->Prepare(W, H, 4, 3, false);
    // fade-in 0-2 | hold 3-6 | transition 7-9 | hold 10-13 | to black 14-16 | end 17-18
    TFrameBitmap canvas(W, H);
    std::vector<int> repeated;
    for (int i = 0; seq.ReadFrameCanvas(canvas) == 0; ++i) {
        if (seq.FrameRepeated())
            repeated.push_back(i);
        const TFrameBitmap* fresh = reference.NextFrame();
        ASSERT_NE(fresh, nullptr) << i;
        ASSERT_TRUE(std::equal(fresh->Pixels(), fresh->Pixels() + W * H, canvas.Pixels())) << "frame " << i;
    }
    EXPECT_EQ(repeated, (std::vector<int>{4, 5, 6, 11, 12, 13}));
    EXPECT_EQ(reference.NextFrame(), nullptr);

    // A new run, another canvas, or the same frame redrawn is never a repeat.
    seq.Prepare(W, H, 4, 3, false);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
    EXPECT_TRUE(seq.FrameRepeated());
    TFrameBitmap other(W, H);
    ASSERT_EQ(seq.ReadFrameCanvas(other), 0);
    EXPECT_FALSE(seq.FrameRepeated());
    EXPECT_TRUE(Near(other.Pixel(1, 1), PictureColour(0)));
    seq.Prepare(W, H, 4, 3, false);
    ASSERT_EQ(seq.ReadFrameCanvas(other), 0);
    EXPECT_FALSE(seq.FrameRepeated());
    EXPECT_EQ(other.Pixel(1, 1), 0u); // the fade-in's first frame, copied again
}

TEST_F(SequencerTest, TransitionStepsThatStayAtTheirPercentRepeat) {
    MakePictures(1);
    seq.Prepare(W, H, 1, 200, false);
    TFrameBitmap canvas(W, H);
    int repeats = 0;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
        repeats += seq.FrameRepeated();
        // Every percent is drawn on two frames: the second shows the same step again.
        EXPECT_EQ(seq.FrameRepeated(), i % 2 == 1) << i;
    }
    EXPECT_EQ(repeats, 100);
    EXPECT_EQ(steps.size(), 100u);
}

// Moving slides are drawn anew on every frame they are on screen, each with its own frame count
// running from the first frame of the transition into it through the transition out of it; the
// slides that stand still are loaded once, as before.
TEST_F(SequencerTest, MovingSlidesAreDrawnForEachOfTheirOwnFrames) {
    MakePictures(3);
    // Slide 1 stands still; slides 0 and 2 move. A moving slide draws its number and own frame.
    struct TDraw {
        int Slide, Frame;
    };
    std::vector<TDraw> draws;
    seq.SlideMoves = [](int k) { return k != 1; };
    seq.DrawSlide = [&](int k, int frame, TFrameBitmap& bitmap) {
        draws.push_back({k, frame});
        bitmap.Fill(std::uint32_t(0x100000 * (k + 1) + frame));
    };
    std::vector<std::pair<std::uint32_t, std::uint32_t>> transitionPixels; // (old, new) per step
    seq.DrawTransition = [&](TFrameBitmap& display, const TFrameBitmap& oldPic, const TFrameBitmap& newPic, int, int) {
        transitionPixels.push_back({oldPic.Pixel(0, 0) & 0xFFFFFF, newPic.Pixel(0, 0) & 0xFFFFFF});
        display = newPic;
    };
    int loaded = 0;
    seq.PictureLoaded = [&](int, TFrameBitmap&) { ++loaded; };
    constexpr int Hold = 4, Tr = 3;
    seq.Prepare(W, H, Hold, Tr, false);
    const std::vector<std::uint32_t> centres = Run();
    ASSERT_EQ(int(centres.size()), 3 * (Hold + Tr) + Tr + 2);

    // Slide 0: its fade-in, hold and transition out; slide 2: transition in, hold, fade-out.
    const int onScreen = Tr + Hold + Tr;
    std::vector<int> frames0, frames2;
    for (const TDraw& d : draws) {
        ASSERT_NE(d.Slide, 1);
        (d.Slide == 0 ? frames0 : frames2).push_back(d.Frame);
    }
    std::vector<int> expected(onScreen);
    for (int i = 0; i < onScreen; ++i)
        expected[i] = i;
    EXPECT_EQ(frames0, expected);
    EXPECT_EQ(frames2, expected);
    // Every drawing is followed by the caption hook; the still slide is loaded once.
    EXPECT_EQ(loaded, int(draws.size()) + 1);

    // The held frames of slide 0 show its own frames Tr..Tr+Hold-1 in order.
    for (int i = 0; i < Hold; ++i)
        EXPECT_EQ(centres[std::size_t(Tr + i)], std::uint32_t(0x100000 + Tr + i)) << i;
    // Each transition step sees both pictures at the frame it is on: out of slide 0 into the
    // still slide 1, the old picture moves on and the new one stays.
    ASSERT_EQ(int(transitionPixels.size()), 4 * Tr);
    for (int i = 0; i < Tr; ++i) {
        EXPECT_EQ(transitionPixels[std::size_t(i)].second, std::uint32_t(0x100000 + i)) << "fade-in " << i;
        EXPECT_EQ(transitionPixels[std::size_t(Tr + i)].first, std::uint32_t(0x100000 + Tr + Hold + i)) << i;
        EXPECT_TRUE(Near(transitionPixels[std::size_t(Tr + i)].second, PictureColour(1)))
            << "still slide " << i;
        EXPECT_EQ(transitionPixels[std::size_t(2 * Tr + i)].second, std::uint32_t(0x300000 + i)) << i;
        EXPECT_EQ(transitionPixels[std::size_t(3 * Tr + i)].first, std::uint32_t(0x300000 + Tr + Hold + i)) << i;
    }
    // Nothing of a moving slide repeats: every frame differs from the one before.
    for (int i = 1; i < Tr + Hold; ++i)
        EXPECT_NE(centres[std::size_t(i)], centres[std::size_t(i - 1)]) << i;
}

namespace {
// Counts what the layer is asked; draws a dot so that its frames differ from the bare ones.
class TCountingLayer : public TFrameLayer {
public:
    int Looks = 0, Draws = 0;
    std::uint64_t Look(const TFrameMoment& moment) override {
        ++Looks;
        return std::uint64_t(moment.Outgoing + 2) * 100 + std::uint64_t(moment.Incoming + 2);
    }
    void Draw(TFrameBitmap& frame, const TFrameMoment&) override {
        ++Draws;
        frame.SetPixel(0, 0, 0xFFFFFF);
    }
};

// What decides the frames to come.
struct TSequencerState {
    int PictureIndex, HoldCounter, TransitionCounter, EffectNumber, TransitionEffect, EndFrames, PictureSlideFrame,
        FromSlideFrame;
    bool InTransition;
    std::uint32_t Generator;
    bool operator==(const TSequencerState&) const = default;
};
TSequencerState StateOf(const TSlideshowSequencer& s) {
    return {s.PictureIndex, s.HoldCounter,       s.TransitionCounter, s.EffectNumber, s.TransitionEffect,
            s.EndFrames,    s.PictureSlideFrame, s.FromSlideFrame,    s.InTransition, GetRandSeed()};
}
} // namespace

// A jump lands where as many frames would have, without drawing, loading or asking the layer
// anything on the way; from there the frames are the ones a run from the start draws. Random
// effects, a slide's own effect and hold, moving slides on either side of still ones.
TEST_F(SequencerTest, SkippingLandsWhereTheFramesWouldHaveWithoutDrawingThem) {
    MakePictures(4);
    int draws = 0, loads = 0, moves = 0;
    const auto setUp = [&](TSlideshowSequencer& s, std::shared_ptr<TCountingLayer> layer) {
        s.PictureCount = [this] { return int(list.size()); };
        s.PicturePath = [this](int k) { return list.at(std::size_t(k)); };
        s.PictureHoldFrames = [](int k) { return k == 2 ? 5 : 0; };
        s.PictureEffect = [](int k) { return k == 1 ? 7 : 0; };
        s.DrawTransition = [&](TFrameBitmap& display, const TFrameBitmap& from, const TFrameBitmap& to, int effect,
                               int percent) {
            ++draws;
            display.Fill((from.Pixel(1, 1) + to.Pixel(1, 1) * 3 + std::uint32_t(effect) * 7919 + std::uint32_t(percent)) &
                         0xFFFFFF);
        };
        s.PictureLoaded = [&](int, TFrameBitmap&) { ++loads; };
        s.SlideMoves = [](int k) { return k == 0 || k == 3; };
        s.DrawSlide = [&](int k, int frame, TFrameBitmap& bitmap) {
            ++moves;
            bitmap.Fill(std::uint32_t(0x100000 * (k + 1) + frame));
        };
        s.Layer = std::move(layer);
        s.Prepare(W, H, 3, 4, true, 9);
    };
    const int total = 4 * (3 + 4) + 2 + 4 + 2; // slide 2 holds 5
    std::vector<std::uint32_t> run; // every frame of a run from the start, its centre and dot
    std::vector<TSequencerState> states; // the state before each frame
    {
        TSlideshowSequencer whole;
        setUp(whole, std::make_shared<TCountingLayer>());
        states.push_back(StateOf(whole));
        while (const TFrameBitmap* f = whole.NextFrame()) {
            run.push_back(f->Pixel(W / 2, H / 2) ^ f->Pixel(0, 0) << 1);
            states.push_back(StateOf(whole));
        }
    }
    ASSERT_EQ(int(run.size()), total);
    for (int at : {0, 1, 3, 4, 6, 7, 10, 11, 12, 15, 17, 19, 22, 24, 26, 29, 31, 32, 33, total - 2, total - 1}) {
        SCOPED_TRACE("frame " + std::to_string(at));
        TSlideshowSequencer s;
        auto layer = std::make_shared<TCountingLayer>();
        setUp(s, layer);
        draws = loads = moves = 0;
        ASSERT_EQ(s.Skip(at), at);
        EXPECT_EQ(draws + loads + moves + layer->Looks + layer->Draws, 0);
        EXPECT_TRUE(StateOf(s) == states[std::size_t(at)]);
        for (int next = at; next < std::min(at + 4, total); ++next) {
            const TFrameBitmap* f = s.NextFrame();
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->Pixel(W / 2, H / 2) ^ f->Pixel(0, 0) << 1, run[std::size_t(next)]) << "then frame " << next;
        }
    }
    // Not past the end: the end's black frames count, the end itself does not.
    TSlideshowSequencer s;
    setUp(s, nullptr);
    EXPECT_EQ(s.Skip(total + 50), total);
    EXPECT_EQ(s.NextFrame(), nullptr);
    // A jump on from somewhere in the middle goes on as well as one from the start.
    TSlideshowSequencer t;
    setUp(t, nullptr);
    for (int i = 0; i < 9; ++i)
        t.NextFrame();
    EXPECT_EQ(t.Skip(13), 13);
    EXPECT_TRUE(StateOf(t) == states[22]);
}

// A picture replaced under a running show: the sequencer keeps what it drew (a held picture is
// not loaded again, a layer's frame and a canvas's copy repeat) until told; then the next frame
// shows the new picture, on the canvas and under the layer.
TEST_F(SequencerTest, AReplacedPictureIsShownOnceTheSequencerIsTold) {
    MakePictures(2);
    const std::string other = dir.File("other.jpg");
    WriteTestJpeg(other, 64, 48, [](int, int) { return 0x2080E0u; });
    const std::string first = list[0];
    seq.Prepare(W, H, 8, 2, false);
    TFrameBitmap canvas(W, H);
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0); // the fade-in
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0); // picture 0 held
    list[0] = other;
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
    EXPECT_TRUE(seq.FrameRepeated()); // what the sequencer holds is from before
    EXPECT_TRUE(Near(canvas.Pixel(W / 2, H / 2), PictureColour(0)));
    seq.PicturesReplaced();
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
    EXPECT_FALSE(seq.FrameRepeated());
    EXPECT_TRUE(Near(canvas.Pixel(W / 2, H / 2), 0x2080E0u));
    ASSERT_EQ(seq.ReadFrameCanvas(canvas), 0);
    EXPECT_TRUE(seq.FrameRepeated());

    // Through the layer's frame, and during a transition (both of its pictures).
    auto layer = std::make_shared<TCountingLayer>();
    seq.Layer = layer;
    const TFrameBitmap* f = seq.NextFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(Near(f->Pixel(W / 2, H / 2), 0x2080E0u));
    list[0] = list[1];
    EXPECT_TRUE(Near(seq.NextFrame()->Pixel(W / 2, H / 2), 0x2080E0u));
    const int drawn = layer->Draws;
    seq.PicturesReplaced();
    f = seq.NextFrame();
    EXPECT_EQ(layer->Draws, drawn + 1);
    EXPECT_TRUE(Near(f->Pixel(W / 2, H / 2), PictureColour(1)));
    EXPECT_EQ(f->Pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    while (seq.HoldCounter != 0)
        seq.NextFrame(); // to the transition into picture 1
    seq.NextFrame(); // its first step
    list[0] = first;
    list[1] = other;
    seq.PicturesReplaced();
    steps.clear();
    seq.NextFrame();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_TRUE(Near(steps[0].OldPixel, PictureColour(0)));
    EXPECT_TRUE(Near(steps[0].NewPixel, 0x2080E0u));
    EXPECT_EQ(steps[0].Percent, 50);
}
