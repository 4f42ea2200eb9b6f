// Planned pan and zoom paths: never beyond the picture where the framing crops, faces whole in
// every view, random paths repeated by their seed, and the pace of the motion over a slideshow.

#include "app/motion/MotionPlan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <tuple>

namespace {
struct TAspect {
    int W, H;
};
const TAspect Aspects[] = {{3000, 4000}, {4000, 3000}, {8000, 2000}, {3000, 3000}, {1920, 1080}};
const TAspect Frames[] = {{1920, 1080}, {1280, 960}, {1080, 1920}};
constexpr double Tiny = 1e-9;

// The rules of a view: the frame's aspect; inside the picture where it is smaller than the
// picture, around it where it is larger (never for fill).
::testing::AssertionResult ViewKeepsToThePicture(const TMotionRect& v, const TMotionRequest& r) {
    const double aspect = v.W * r.PictureWidth / (v.H * r.PictureHeight);
    const double frame = double(r.FrameWidth) / r.FrameHeight;
    if (std::abs(aspect / frame - 1) > 1e-6)
        return ::testing::AssertionFailure() << "aspect " << aspect << " in a frame of " << frame;
    auto axis = [&](double pos, double size, const char* name) -> ::testing::AssertionResult {
        if (r.Framing == TFraming::Fill && size > 1 + Tiny)
            return ::testing::AssertionFailure() << name << " larger than the picture: " << size;
        if (size <= 1 + Tiny ? (pos < -Tiny || pos + size > 1 + Tiny) : (pos > Tiny || pos + size < 1 - Tiny))
            return ::testing::AssertionFailure() << name << " at " << pos << " size " << size << " shows beyond the picture";
        return ::testing::AssertionSuccess();
    };
    if (auto x = axis(v.X, v.W, "width"); !x)
        return x;
    return axis(v.Y, v.H, "height");
}

bool Holds(const TMotionRect& v, const TMotionRect& box) {
    return box.X >= v.X - Tiny && box.Y >= v.Y - Tiny && box.X + box.W <= v.X + v.W + Tiny && box.Y + box.H <= v.Y + v.H + Tiny;
}

// A small generator for the test's own choices.
struct TDraw {
    std::uint64_t State;
    double Unit() {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return double(State >> 11) / 9007199254740992.0;
    }
    int Below(int n) { return int(Unit() * n); }
};

const TMotionStyle Moving[] = {TMotionStyle::ZoomIn, TMotionStyle::ZoomOut, TMotionStyle::Pan, TMotionStyle::Random,
                               TMotionStyle::Rects};
} // namespace

TEST(MotionPlanTest, ThousandRandomPathsNeverShowBeyondThePicture) {
    TDraw draw{20};
    for (int i = 0; i < 1000; ++i) {
        TMotionRequest r;
        const TAspect picture = Aspects[draw.Below(5)];
        const TAspect frame = Frames[draw.Below(3)];
        r.PictureWidth = picture.W, r.PictureHeight = picture.H;
        r.FrameWidth = frame.W, r.FrameHeight = frame.H;
        r.Framing = TFraming(draw.Below(3));
        r.Style = Moving[draw.Below(5)];
        r.Zoom = 1 + 2 * draw.Unit();
        r.Seed = std::uint32_t(i);
        // Rectangles anywhere, of any shape, even reaching out of the picture.
        r.Start = {draw.Unit() - 0.2, draw.Unit() - 0.2, 0.05 + draw.Unit(), 0.05 + draw.Unit()};
        r.End = {draw.Unit(), draw.Unit(), 0.05 + draw.Unit() * 0.5, 0.05 + draw.Unit() * 0.5};
        if (draw.Below(2))
            r.Interest.Detail = {draw.Unit() * 0.8, draw.Unit() * 0.8, 0.2, 0.2};
        const TMotionPath path = PlanMotion(r);
        SCOPED_TRACE(::testing::Message() << "path " << i << " picture " << picture.W << "x" << picture.H << " frame "
                                          << frame.W << "x" << frame.H << " framing " << int(r.Framing) << " style "
                                          << int(r.Style));
        for (int step = 0; step <= 20; ++step)
            ASSERT_TRUE(ViewKeepsToThePicture(MotionView(path, step / 20.0), r)) << "step " << step;
        EXPECT_LE(ClosestViewZoom(r), LargestMotionZoom + Tiny);
    }
}

TEST(MotionPlanTest, EveryStyleKeepsEveryFaceWholeInEveryView) {
    // Faces near the edges and corners, alone and in pairs; all fit into the still framing.
    const std::vector<std::vector<TMotionRect>> groups = {
        {{0.02, 0.05, 0.1, 0.12}},
        {{0.85, 0.8, 0.12, 0.15}},
        {{0.1, 0.3, 0.08, 0.1}, {0.3, 0.35, 0.08, 0.1}},
        {{0.45, 0.02, 0.1, 0.1}},
    };
    int checked = 0;
    for (const TAspect& picture : Aspects)
        for (const TAspect& frame : Frames)
            for (TFraming framing : {TFraming::Letterbox, TFraming::Blur, TFraming::Fill})
                for (const auto& faces : groups)
                    for (TMotionStyle style : {TMotionStyle::Off, TMotionStyle::ZoomIn, TMotionStyle::ZoomOut, TMotionStyle::Pan,
                                               TMotionStyle::Random})
                        for (std::uint32_t seed = 0; seed < (style == TMotionStyle::Random ? 8u : 1u); ++seed) {
                            TMotionRequest r;
                            r.PictureWidth = picture.W, r.PictureHeight = picture.H;
                            r.FrameWidth = frame.W, r.FrameHeight = frame.H;
                            r.Framing = framing;
                            r.Style = style;
                            r.Zoom = 2.5; // far: the faces limit how close it may come
                            r.Seed = seed;
                            r.Interest.Faces = faces;
                            const TMotionPath path = PlanMotion(r);
                            // Whether the faces fit into the still view at all (fill of a panorama may not).
                            double l = 1, t = 1, rr = 0, b = 0;
                            for (const TMotionRect& f : faces)
                                l = std::min(l, f.X), t = std::min(t, f.Y), rr = std::max(rr, f.X + f.W), b = std::max(b, f.Y + f.H);
                            const TMotionRect still = FillView(picture.W, picture.H, frame.W, frame.H, {});
                            if (framing == TFraming::Fill && (rr - l > still.W || b - t > still.H))
                                continue;
                            for (int step = 0; step <= 10; ++step) {
                                const TMotionRect v = MotionView(path, step / 10.0);
                                ASSERT_TRUE(ViewKeepsToThePicture(v, r));
                                for (const TMotionRect& f : faces)
                                    ASSERT_TRUE(Holds(v, f)) << "style " << int(style) << " framing " << int(framing) << " picture "
                                                             << picture.W << "x" << picture.H << " frame " << frame.W << "x"
                                                             << frame.H << " step " << step << " seed " << seed;
                            }
                            ++checked;
                        }
    EXPECT_GT(checked, 500);
}

TEST(MotionPlanTest, StylesGoWhereTheySayAndCentreOnWhatMatters) {
    TMotionRequest r;
    r.PictureWidth = 4000, r.PictureHeight = 3000;
    r.FrameWidth = 1920, r.FrameHeight = 1080;
    r.Framing = TFraming::Fill;
    r.Zoom = 1.2;
    r.Style = TMotionStyle::ZoomIn;
    TMotionPath in = PlanMotion(r);
    EXPECT_NEAR(in.Start.W, 1, Tiny); // the whole width of the crop
    EXPECT_NEAR(in.Start.W / in.End.W, 1.2, 1e-9);
    EXPECT_NEAR(in.End.X + in.End.W / 2, 0.5, 1e-9); // centred without faces or detail
    r.Style = TMotionStyle::ZoomOut;
    const TMotionPath out = PlanMotion(r);
    EXPECT_EQ(out.Start, in.End);
    EXPECT_EQ(out.End, in.Start);

    // Detail in the lower right: the zoom heads there, as far as the picture allows.
    r.Style = TMotionStyle::ZoomIn;
    r.Interest.Detail = {0.8, 0.8, 0.2, 0.2};
    in = PlanMotion(r);
    EXPECT_NEAR(in.End.X + in.End.W, 1, Tiny);
    EXPECT_NEAR(in.End.Y + in.End.H, 1, Tiny);

    // Pan: a panorama in fill overflows sideways: the view crosses it from left to right.
    r.Interest = {};
    r.PictureWidth = 8000, r.PictureHeight = 2000;
    r.Style = TMotionStyle::Pan;
    TMotionPath pan = PlanMotion(r);
    EXPECT_NEAR(pan.Start.X, 0, Tiny);
    EXPECT_NEAR(pan.End.X + pan.End.W, 1, Tiny);
    EXPECT_NEAR(pan.Start.Y, pan.End.Y, Tiny);
    // A portrait picture in letterbox overflows up and down once zoomed.
    r.PictureWidth = 3000, r.PictureHeight = 4000;
    r.Framing = TFraming::Letterbox;
    pan = PlanMotion(r);
    EXPECT_NEAR(pan.Start.X, pan.End.X, Tiny);
    EXPECT_NEAR(pan.Start.Y, 0, Tiny);
    EXPECT_NEAR(pan.End.Y + pan.End.H, 1, Tiny);

    // The still fill crop without interest is centred; with a face at the top it moves up to it.
    const TMotionRect centred = FillView(3000, 4000, 1920, 1080, {});
    EXPECT_NEAR(centred.Y + centred.H / 2, 0.5, Tiny);
    TInterest face;
    face.Faces = {{0.4, 0.05, 0.2, 0.1}};
    const TMotionRect up = FillView(3000, 4000, 1920, 1080, face);
    EXPECT_LE(up.Y, 0.05 + Tiny);
    EXPECT_TRUE(Holds(up, face.Faces[0]));
}

TEST(MotionPlanTest, RandomPathsRepeatWithTheirSeedAndDifferBetweenSeeds) {
    TMotionRequest r;
    r.PictureWidth = 4000, r.PictureHeight = 3000;
    r.FrameWidth = 1920, r.FrameHeight = 1080;
    r.Style = TMotionStyle::Random;
    std::set<std::tuple<double, double, double, double>> starts;
    std::set<TMotionStyle> chosen;
    for (std::uint32_t seed = 0; seed < 30; ++seed) {
        r.Seed = seed;
        const TMotionPath path = PlanMotion(r);
        EXPECT_EQ(PlanMotion(r), path);
        EXPECT_NE(path.Start, path.End);
        starts.insert({path.Start.X, path.Start.Y, path.Start.W, path.End.X});
        chosen.insert(path.Style);
    }
    EXPECT_EQ(starts.size(), 30u);
    EXPECT_EQ(chosen.size(), 3u); // zoom in, zoom out and pan all occur
}

TEST(MotionPlanTest, PaceEasesOnlyAtTheEndsOfTheSlideshow) {
    const int n = 100;
    // A slide in the middle: even steps from 0 to 1.
    for (int f = 1; f < n; ++f)
        EXPECT_NEAR(MotionProgress(f, n, false, false) - MotionProgress(f - 1, n, false, false), 1.0 / (n - 1), 1e-12);
    EXPECT_EQ(MotionProgress(0, n, true, true), 0);
    EXPECT_NEAR(MotionProgress(n - 1, n, true, true), 1, 1e-12);
    // The first slide starts from rest and reaches the even pace of the next slide...
    const double first = MotionProgress(1, n, true, false) - MotionProgress(0, n, true, false);
    EXPECT_LT(first, 0.1 / n);
    const double endOfFirst = MotionProgress(n - 1, n, true, false) - MotionProgress(n - 2, n, true, false);
    EXPECT_GT(endOfFirst, 1.0 / n);
    // ...the last one comes to rest; every step goes forward.
    const double last = MotionProgress(n - 1, n, false, true) - MotionProgress(n - 2, n, false, true);
    EXPECT_LT(last, 0.1 / n);
    for (int f = 1; f < n; ++f)
        EXPECT_GT(MotionProgress(f, n, true, true), MotionProgress(f - 1, n, true, true));
    // Beyond the frames it stays at the ends; a slide of one frame does not divide by zero.
    EXPECT_EQ(MotionProgress(-3, n, false, false), 0);
    EXPECT_EQ(MotionProgress(n + 5, n, false, false), 1);
    EXPECT_EQ(MotionProgress(0, 1, false, false), 0);
}

TEST(MotionPlanTest, OwnRectanglesTakeTheFramesAspectAndStayWithinTheFraming) {
    TMotionRequest r;
    r.PictureWidth = 4000, r.PictureHeight = 3000;
    r.FrameWidth = 1600, r.FrameHeight = 1200; // the picture's aspect
    r.Framing = TFraming::Fill;
    r.Style = TMotionStyle::Rects;
    r.Start = {0.1, 0.1, 0.5, 0.5};
    r.End = {0.7, 0.6, 0.5, 0.1}; // too flat, reaching out on the right
    const TMotionPath path = PlanMotion(r);
    EXPECT_EQ(path.Start, (TMotionRect{0.1, 0.1, 0.5, 0.5}));
    EXPECT_NEAR(path.End.W, 0.5, Tiny); // as high as wide, around the same centre...
    EXPECT_NEAR(path.End.H, 0.5, Tiny);
    EXPECT_NEAR(path.End.Y, 0.4, Tiny);
    EXPECT_NEAR(path.End.X + path.End.W, 1, Tiny); // ...moved back into the picture
    EXPECT_NEAR(ClosestViewZoom(r), 2, 1e-9);
}
