// Pan and zoom as drawn: the sharpness of a close view of a large photo against ffmpeg's
// Lanczos scaling of the same part of the photo, fine detail that neither aliases nor shimmers
// when shrunk, and frames that never show what lies outside the picture.

#include "app/motion/MotionDraw.h"
#include "app/motion/MotionPicture.h"
#include "app/motion/MotionPlan.h"
#include "app/motion/MotionResample.h"
#include "app/motion/MotionSlides.h"
#include "effects/Primitives.h"
#include "medialib/FFLoad.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
// A photo's mix of detail: broad shading, edges of shapes at all angles and fine texture.
std::uint32_t Detail(int x, int y) {
    const double fx = x, fy = y;
    const double broad = 60 * std::sin(fx * 0.0021) * std::cos(fy * 0.0017);
    const double rings = 40 * std::sin(std::hypot(fx - 2500, fy - 1800) * 0.045);
    const double fine = 18 * std::sin(fx * 0.31 + fy * 0.07) * std::sin(fy * 0.23);
    auto channel = [](double v) { return std::uint32_t(std::clamp(v, 0.0, 255.0)); };
    const double base = 128 + broad + rings + fine;
    return channel(base) << 16 | channel(base * 0.8 + 30) << 8 | channel(255 - base);
}

double Psnr(const TFrameBitmap& a, const std::vector<unsigned char>& bgr0) {
    double sum = 0;
    std::size_t n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const std::uint32_t p = a.Pixel(x, y);
            const unsigned char* q = &bgr0[(std::size_t(y) * a.Width() + x) * 4];
            for (int c = 0; c < 3; ++c) {
                const double d = double((p >> (8 * c)) & 0xFF) - q[c];
                sum += d * d;
                ++n;
            }
        }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

TSlideshowData OneSlide(const std::string& picture, TFraming framing, TMotionStyle style) {
    TSlideshowData data;
    data.Output.Framing = framing;
    data.Output.Motion = style;
    data.Slides.push_back(PlainSlide(picture));
    return data;
}
} // namespace

// Jobs reduce the picture with libswscale; without the library loaded (the frames of a
// picture alone) pixman's convolution does it. Both keep the close view sharp.
TEST(MotionQualityTest, CloseViewOfALargePhotoIsAsSharpAsLanczosFromTheFullPhoto) {
    TTempDir dir;
    const std::string photo = dir.File("photo.jpg");
    WriteTestJpeg(photo, 6000, 4000, Detail, 95);
    const std::string raw = dir.File("reference.raw");
    // The reference converts the photo's colours as carefully as it scales (chroma at full
    // resolution), or its own colour fringes would be measured.
    const TRunResult ref = RunShell("ffmpeg -v error -y -i " + photo +
                                    " -vf crop=4800:3200:600:400,scale=1500:1000:flags=lanczos+accurate_rnd+full_chroma_int+"
                                    "full_chroma_inp,format=bgr0 -f rawvideo " + raw);
    ASSERT_EQ(ref.Status, 0) << ref.Output;
    std::ifstream in(raw, std::ios::binary);
    const std::vector<unsigned char> reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(reference.size(), std::size_t(1500) * 1000 * 4);

    for (bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "reduced by libswscale" : "reduced by pixman");
        if (loaded) {
            ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        }
        // A frame of the photo's aspect: the zoom ends on a rectangle of whole photo pixels.
        TSlideshowData data = OneSlide(photo, TFraming::Letterbox, TMotionStyle::ZoomIn);
        data.Output.Zoom = 1.25;
        const auto slide = PrepareMovingSlide(data, 0, 1500, 1000, 0);
        // Decoded once, reduced: far below the photo's 6000 x 4000, but enough for the close view.
        EXPECT_LE(slide->Picture.Width(), 2 * 1875);
        EXPECT_GE(slide->Picture.Width(), 1875);
        const TMotionRect last = MotionView(slide->Path, 1);
        ASSERT_NEAR(last.X * 6000, 600, 1e-6);
        ASSERT_NEAR(last.W * 6000, 4800, 1e-6);
        TFrameBitmap frame(1500, 1000);
        DrawMotionView(slide->Picture, last, nullptr, frame, MotionFrameFilter);
        EXPECT_GE(Psnr(frame, reference), 35.0);
    }
}

// Detail finer than the frame can show (a one-pixel checker, one-pixel stripes either way) in a
// photo shrunk two to three times: each frame pixel takes in its whole footprint, so the frame
// is an even grey, and as the view glides by fractions of a pixel it neither shimmers nor
// changes its brightness.
TEST(MotionQualityTest, FineDetailShrunkAndGlidingStaysAnEvenSteadyGrey) {
    constexpr int PW = 960, PH = 720, FW = 240, FH = 180;
    const struct {
        const char* Name;
        bool (*White)(int x, int y);
    } patterns[] = {
        {"checker", [](int x, int y) { return (x + y) % 2 == 1; }},
        {"upright stripes", [](int x, int) { return x % 2 == 1; }},
        {"level stripes", [](int, int y) { return y % 2 == 1; }},
    };
    for (const auto& pattern : patterns) {
        TFrameBitmap photo(PW, PH);
        for (int y = 0; y < PH; ++y)
            for (int x = 0; x < PW; ++x)
                photo.SetPixel(x, y, pattern.White(x, y) ? 0xFFFFFFu : 0u);
        for (double scale : {2.0, 2.5, 3.0}) {
            SCOPED_TRACE(testing::Message() << pattern.Name << " shrunk " << scale << " times");
            double firstMean = -1;
            for (int step = 0; step < 12; ++step) {
                // A third of a pixel and a bit each way per frame, as a slow pan moves; away from
                // the photo's edges, which the filter repeats.
                const TMotionRect view{(8 + step * 0.37) / PW, (8 + step * 0.29) / PH, scale * FW / PW, scale * FH / PH};
                TFrameBitmap frame(FW, FH);
                DrawMotionView(photo, view, nullptr, frame, MotionFrameFilter);
                int lowest = 255, highest = 0;
                double sum = 0;
                for (int y = 0; y < FH; ++y)
                    for (int x = 0; x < FW; ++x) {
                        const int g = int((frame.Pixel(x, y) >> 8) & 0xFF);
                        lowest = std::min(lowest, g);
                        highest = std::max(highest, g);
                        sum += g;
                    }
                const double mean = sum / (FW * FH);
                EXPECT_GE(lowest, 118) << "step " << step;
                EXPECT_LE(highest, 138) << "step " << step;
                if (firstMean < 0)
                    firstMean = mean;
                EXPECT_NEAR(mean, firstMean, 1.0) << "step " << step;
            }
        }
    }
}

// The processor's vector path and the portable one are two implementations of one filter: at
// every scale (enlarging, one to one, shrinking by more than four taps' worth), at fractional
// offsets, over the picture's edges and on a picture too narrow for four taps, they agree
// within one level per channel.
TEST(MotionQualityTest, VectorAndPortableResamplersDrawTheSameFrames) {
    if (!AvxPathsEnabled())
        GTEST_SKIP() << "this processor has no vector path to compare";
    TFrameBitmap picture(701, 467);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetPixel(x, y, Detail(x * 7, y * 7) ^ std::uint32_t((x * 13 + y * 29) % 256));
    TFrameBitmap narrow(3, 200);
    for (int y = 0; y < narrow.Height(); ++y)
        for (int x = 0; x < narrow.Width(); ++x)
            narrow.SetPixel(x, y, Detail(x * 300, y * 11));
    const struct {
        const TFrameBitmap* Picture;
        TResampleMap Map;
    } cases[] = {
        {&picture, {0.37, 0.41, 12.3, 40.6}},   {&picture, {1, 1, 0, 0}},       {&picture, {1.13, 1.13, -0.4, 3.25}},
        {&picture, {1.9, 1.7, 0.5, -2.5}},       {&picture, {4.6, 3.3, 0, 0}},   {&narrow, {0.01, 0.5, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << c.Map.ScaleX << " x " << c.Map.ScaleY);
        TFrameBitmap vector(320, 180), portable(320, 180);
        const int right = std::min(320, int((c.Picture->Width() - c.Map.OffsetX) / c.Map.ScaleX));
        const int bottom = std::min(180, int((c.Picture->Height() - c.Map.OffsetY) / c.Map.ScaleY));
        UseVectorUnits(true);
        ResampleTent(*c.Picture, c.Map, vector, 1, 2, right, bottom);
        UseVectorUnits(false);
        ResampleTent(*c.Picture, c.Map, portable, 1, 2, right, bottom);
        UseVectorUnits(true);
        int worst = 0;
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 320; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    worst = std::max(worst, std::abs(int((vector.Pixel(x, y) >> (8 * ch)) & 0xFF) -
                                                     int((portable.Pixel(x, y) >> (8 * ch)) & 0xFF)));
        EXPECT_LE(worst, 1);
    }
}
