// Moving slides as the sequencer draws them: no pixel from beyond the picture, the blurred
// background standing still under the moving picture, the same frames for the same seed, and
// the look-ahead worker that prepares the next slide.

#include "app/document/DocumentSequencer.h"
#include "app/motion/LookAhead.h"
#include "app/motion/MotionSlides.h"
#include "effects/BmpFile.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {
// Bright everywhere (every channel 100 or more) with texture: black from outside would show.
std::uint32_t Bright(int x, int y) {
    const std::uint32_t v = 100 + std::uint32_t((x * 7 + y * 13) % 150);
    return v << 16 | (255 - (v - 100)) << 8 | v;
}

std::uint8_t Darkest(const TFrameBitmap& f) {
    std::uint8_t low = 255;
    for (int y = 0; y < f.Height(); ++y)
        for (int x = 0; x < f.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                low = std::min(low, std::uint8_t(f.Pixel(x, y) >> (8 * c)));
    return low;
}

std::vector<TFrameBitmap> RunFrames(const TSlideshowData& data) {
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
    std::vector<TFrameBitmap> frames;
    while (const TFrameBitmap* f = seq.NextFrame())
        frames.push_back(*f);
    return frames;
}
} // namespace

TEST(MotionFramesTest, FillAndMotionNeverShowAPixelFromBeyondThePicture) {
    TTempDir dir;
    const struct {
        const char* Name;
        int W, H;
    } pictures[] = {{"portrait.jpg", 300, 400}, {"landscape.jpg", 400, 300}, {"panorama.jpg", 800, 200}, {"square.jpg", 300, 300}};
    TSlideshowData data;
    data.Output.Framing = TFraming::Fill;
    data.Output.Zoom = 1.6;
    for (const auto& p : pictures) {
        WriteTestJpeg(dir.File(p.Name), p.W, p.H, Bright, 98);
        data.Slides.push_back(PlainSlide(dir.File(p.Name)));
    }
    int frames = 0;
    for (std::uint32_t seed = 0; seed < 6; ++seed)
        for (int k = 0; k < 4; ++k)
            for (TMotionStyle style : {TMotionStyle::Random, TMotionStyle::Pan, TMotionStyle::ZoomOut}) {
                data.Output.Motion = style;
                const auto slide = PrepareMovingSlide(data, k, 160, 90, seed);
                TFrameBitmap frame(160, 90);
                for (int step = 0; step <= 4; ++step) {
                    DrawMotionView(slide->Picture, MotionView(slide->Path, step / 4.0), nullptr, frame, MotionFrameFilter);
                    ASSERT_GE(Darkest(frame), 95) << pictures[k].Name << " seed " << seed << " step " << step;
                    ++frames;
                }
            }
    EXPECT_EQ(frames, 6 * 4 * 3 * 5);

    // A view right on the picture's edges, shrinking and enlarging: the edge rows and columns
    // show the picture's own colour, not a mix with what lies beyond it.
    TFrameBitmap flat(90, 60);
    flat.Fill(TFrameBitmap::MakePixel(150, 150, 150));
    for (int size : {45, 60, 200}) {
        TFrameBitmap frame(size, size * 2 / 3);
        for (TMotionFilter filter : {MotionFrameFilter, TMotionFilter::Convolution}) {
            DrawMotionView(flat, TMotionRect{}, nullptr, frame, filter);
            for (int x : {0, frame.Width() - 1})
                for (int y : {0, frame.Height() / 2, frame.Height() - 1})
                    EXPECT_EQ(frame.Pixel(x, y) & 0xFFFFFF, 0x969696u) << size << " at " << x << "," << y;
        }
    }
}

TEST(MotionFramesTest, BlurredBackgroundStandsStillWhileThePictureMoves) {
    TTempDir dir;
    WriteTestJpeg(dir.File("portrait.jpg"), 300, 400, Bright, 98);
    TSlideshowData data;
    data.Slides.push_back(PlainSlide(dir.File("portrait.jpg")));
    data.Output.FrameSize = "320x240";
    data.Output.HoldSeconds = 1;
    data.Output.TransitionSeconds = 0;
    data.Output.RandomEffects = false;
    data.Output.Motion = TMotionStyle::ZoomIn;
    for (TFraming framing : {TFraming::Blur, TFraming::Letterbox}) {
        data.Output.Framing = framing;
        const std::vector<TFrameBitmap> frames = RunFrames(data);
        ASSERT_EQ(frames.size(), 1u + 30 + 1 + 2);
        const TFrameBitmap& early = frames[2];
        const TFrameBitmap& late = frames[29];
        // The picture grows: its left edge moves out towards the frame's edge.
        auto firstBright = [](const TFrameBitmap& f) {
            int x = 0;
            while (x < f.Width() && ((f.Pixel(x, 120) >> 8) & 0xFF) < 95)
                ++x;
            return x;
        };
        if (framing == TFraming::Letterbox)
            EXPECT_LT(firstBright(late), firstBright(early));
        EXPECT_NE(early.Pixel(160, 120), late.Pixel(160, 120)); // the picture itself moves
        // The very edge of the frame is background in both: black, or the same blurred pixel.
        for (int y = 0; y < 240; y += 17) {
            EXPECT_EQ(early.Pixel(0, y) & 0xFFFFFF, late.Pixel(0, y) & 0xFFFFFF) << y;
            if (framing == TFraming::Letterbox)
                EXPECT_EQ(early.Pixel(0, y) & 0xFFFFFF, 0u);
            else
                EXPECT_NE(early.Pixel(0, y) & 0xFFFFFF, 0u);
        }
    }
}

TEST(MotionFramesTest, SameSeedSameFramesOtherSeedOtherPath) {
    TTempDir dir;
    TSlideshowData data;
    for (int i = 0; i < 2; ++i) {
        const std::string name = dir.File("p" + std::to_string(i) + ".jpg");
        WriteTestJpeg(name, 400, 300, [i](int x, int y) { return Bright(x + i * 31, y); });
        data.Slides.push_back(PlainSlide(name));
    }
    data.Output.FrameSize = "160x120";
    data.Output.HoldSeconds = 0.3;
    data.Output.TransitionSeconds = 0.2;
    data.Output.Motion = TMotionStyle::Random;
    data.Output.Zoom = 1.5;
    data.Output.Seed = 5;
    const std::vector<TFrameBitmap> a = RunFrames(data), b = RunFrames(data);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_TRUE(std::equal(a[i].Pixels(), a[i].Pixels() + 160 * 120, b[i].Pixels())) << "frame " << i;
    // A moving slide changes from frame to frame during its hold.
    EXPECT_FALSE(std::equal(a[8].Pixels(), a[8].Pixels() + 160 * 120, a[10].Pixels()));
    data.Output.Seed = 6;
    const std::vector<TFrameBitmap> c = RunFrames(data);
    int different = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        different += !std::equal(a[i].Pixels(), a[i].Pixels() + 160 * 120, c[i].Pixels());
    EXPECT_GT(different, int(a.size()) / 2);
}

TEST(MotionFramesTest, PicturesThatCannotBeReadFailNamingTheFile) {
    TSlideshowData data;
    data.Slides.push_back(PlainSlide("/nonexistent/motion.jpg"));
    data.Output.Motion = TMotionStyle::Pan;
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
    try {
        seq.NextFrame();
        FAIL() << "no error";
    } catch (const TPictureError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/motion.jpg"), std::string::npos) << e.what();
    }
}

// Run under ./test --tsan: the worker and the caller share the slides.
TEST(MotionLookAheadStress, ManyRunsRequestGetForgetAndStopWhileTheWorkerPrepares) {
    std::atomic<int> prepared{0};
    for (int run = 0; run < 60; ++run) {
        TLookAhead<int> ahead([&](int k) {
            ++prepared;
            std::this_thread::sleep_for(std::chrono::microseconds((k * 37) % 200));
            if (k == 13)
                throw std::runtime_error("slide 13");
            return std::make_shared<const int>(k * k);
        });
        const int slides = 5 + run % 20;
        for (int k = 0; k < slides; ++k) {
            ahead.Request(k + 1);
            if (k == 13) {
                EXPECT_THROW(ahead.Get(k), std::runtime_error);
            } else {
                ASSERT_EQ(*ahead.Get(k), k * k);
            }
            ahead.Forget(k - 1);
            EXPECT_LE(ahead.Held(), 3);
        }
        // Destroyed with the last request possibly running.
    }
    EXPECT_GT(prepared.load(), 60 * 5);
}
