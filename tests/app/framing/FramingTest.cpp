// Framing of a picture in the frame: letterbox, blur and fill, on real picture files.

#include "app/framing/BlurBackground.h"
#include "app/framing/Framing.h"
#include "app/pictures/PictureLoader.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestPng.h"

#include <gtest/gtest.h>

namespace {

// A picture without any black: a bright gradient, with a small red block at its centre.
std::uint32_t Colour(int x, int y, int w, int h) {
    const int half = std::max(4, w / 40);
    if (std::abs(x - w / 2) < half && std::abs(y - h / 2) < half)
        return 0xFFFF0000;
    return 0xFF000000 | std::uint32_t(40 + x * 200 / w) << 16 | std::uint32_t(40 + y * 200 / h) << 8 | 0x60;
}

std::string WritePicture(const TTempDir& dir, const char* name, int w, int h) {
    const std::string file = dir.File(name);
    WriteTestPng(file, w, h, [w, h](int x, int y) { return Colour(x, y, w, h); });
    return file;
}

TFrameBitmap Load(const std::string& file, int w, int h, TFraming framing) {
    TFrameBitmap frame(w, h);
    TPictureLoader loader;
    loader.Framing = framing;
    loader.Load(file, frame);
    return frame;
}

int BlackPixels(const TFrameBitmap& frame) {
    int black = 0;
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            black += (frame.Pixel(x, y) & 0xFFFFFF) == 0;
    return black;
}

bool IsRed(std::uint32_t p) { return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 60 && (p & 0xFF) < 60; }

TEST(Framing, CoverRectFillsTheFrameCentredWithEqualOverflow) {
    // Portrait 480x640 into 320x240: full width, 427 rows high, 93.5 rows over each edge.
    TRect r = PictureRect(TFraming::Fill, 480, 640, 320, 240);
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Right, 320);
    EXPECT_EQ(r.Top + r.Bottom, 240) << "centred";
    EXPECT_LE(r.Top, -93);
    EXPECT_GE(r.Top, -94);
    // Landscape 640x360 into the vertical 1080x1920: full height, overflowing left and right.
    r = PictureRect(TFraming::Fill, 640, 360, 1080, 1920);
    EXPECT_EQ(r.Top, 0);
    EXPECT_EQ(r.Bottom, 1920);
    EXPECT_EQ(r.Left + r.Right, 1080);
    EXPECT_NEAR(r.Right - r.Left, 3413, 1);
    // Letterbox and blur keep the fit rectangle; an empty picture gives an empty rectangle.
    EXPECT_EQ(PictureRect(TFraming::Blur, 480, 640, 320, 240), (TRect{70, 0, 250, 240}));
    EXPECT_TRUE(PictureRect(TFraming::Fill, 0, 10, 320, 240).IsEmpty());
}

TEST(Framing, BlurFillsTheBarsAndLeavesTheLetterboxPictureUntouched) {
    TTempDir dir;
    const std::string portrait = WritePicture(dir, "portrait.png", 300, 400);
    const TFrameBitmap letterbox = Load(portrait, 1920, 1080, TFraming::Letterbox);
    const TFrameBitmap blur = Load(portrait, 1920, 1080, TFraming::Blur);
    const TRect fit = PictureRect(TFraming::Letterbox, 300, 400, 1920, 1080);
    ASSERT_GT(fit.Left, 0);
    EXPECT_GT(BlackPixels(letterbox), 1000) << "the bars of letterbox are black";
    EXPECT_EQ(BlackPixels(blur), 0);
    int differentInside = 0, differentOutside = 0;
    for (int y = 0; y < 1080; ++y)
        for (int x = 0; x < 1920; ++x) {
            const bool inside = x >= fit.Left && x < fit.Right && y >= fit.Top && y < fit.Bottom;
            (inside ? differentInside : differentOutside) += letterbox.Pixel(x, y) != blur.Pixel(x, y);
        }
    EXPECT_EQ(differentInside, 0);
    EXPECT_EQ(differentOutside, 1920 * 1080 - (fit.Right - fit.Left) * 1080);
    // The bars show the picture's colours, darkened: the gradient's red runs left to right over
    // the covering copy, so the left bar is less red than the right one.
    const std::uint32_t left = blur.Pixel(10, 540), right = blur.Pixel(1909, 540);
    EXPECT_LT((left >> 16) & 0xFF, (right >> 16) & 0xFF);
    EXPECT_LE((right >> 16) & 0xFF, BackgroundFloor + 240 * 3 / 4);
}

TEST(Framing, BlurOfALandscapePictureInAVerticalFrameFillsAboveAndBelow) {
    TTempDir dir;
    const std::string landscape = WritePicture(dir, "landscape.png", 320, 180);
    const TFrameBitmap blur = Load(landscape, 108, 192, TFraming::Blur);
    EXPECT_EQ(BlackPixels(blur), 0);
    const TFrameBitmap letterbox = Load(landscape, 108, 192, TFraming::Letterbox);
    const TRect fit = PictureRect(TFraming::Letterbox, 320, 180, 108, 192);
    for (int y = fit.Top; y < fit.Bottom; ++y)
        for (int x = 0; x < 108; ++x)
            ASSERT_EQ(blur.Pixel(x, y), letterbox.Pixel(x, y)) << x << "," << y;
}

TEST(Framing, BlurOfABusyPictureIsASmoothBackground) {
    // A black and white checkerboard of 20-pixel squares: the bars must show none of its edges,
    // in either direction, and away from the frame's edges a nearly even grey.
    TTempDir dir;
    const std::string file = dir.File("checks.png");
    WriteTestPng(file, 600, 800, [](int x, int y) { return ((x / 20 + y / 20) % 2) ? 0xFFFFFFFFu : 0xFF000000u; });
    const TFrameBitmap blur = Load(file, 1920, 1080, TFraming::Blur);
    const TRect fit = PictureRect(TFraming::Letterbox, 600, 800, 1920, 1080);
    auto green = [&](int x, int y) { return int((blur.Pixel(x, y) >> 8) & 0xFF); };
    int steepest = 0, lowest = 255, highest = 0;
    for (int y = 0; y < 1079; ++y)
        for (int x = 0; x < fit.Left - 1; ++x) {
            steepest =
                std::max({steepest, std::abs(green(x + 1, y) - green(x, y)), std::abs(green(x, y + 1) - green(x, y))});
            // The frame's edges repeat the outermost squares: the range is taken inside.
            if (y < 200 || y >= 880 || x < 100 || x >= fit.Left - 100)
                continue;
            lowest = std::min(lowest, green(x, y));
            highest = std::max(highest, green(x, y));
        }
    EXPECT_LE(steepest, 2);
    EXPECT_LE(highest - lowest, 40);
    EXPECT_NEAR((lowest + highest) / 2, BackgroundFloor + 128 * 3 / 4, 25);
}

TEST(Framing, FillCoversTheFrameWithThePicturesCentreAtTheFramesCentre) {
    TTempDir dir;
    for (auto [w, h] : {std::pair{300, 400}, std::pair{640, 200}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const std::string file = WritePicture(dir, "picture.png", w, h);
        const TFrameBitmap fill = Load(file, 320, 240, TFraming::Fill);
        EXPECT_EQ(BlackPixels(fill), 0);
        EXPECT_TRUE(IsRed(fill.Pixel(160, 120))) << std::hex << fill.Pixel(160, 120);
        EXPECT_FALSE(IsRed(fill.Pixel(130, 95)));
    }
    // JPEG pictures take the same road, reduced decoding included (a photo 8 times the frame).
    const std::string photo = dir.File("photo.jpg");
    WriteTestJpeg(photo, 1280, 1920, [](int x, int y) { return Colour(x, y, 1280, 1920); });
    const TFrameBitmap fill = Load(photo, 160, 120, TFraming::Fill);
    EXPECT_EQ(BlackPixels(fill), 0);
    EXPECT_TRUE(IsRed(fill.Pixel(80, 60))) << std::hex << fill.Pixel(80, 60);
}

TEST(Framing, AFrameTheFittedPictureFillsGetsNoBackground) {
    TTempDir dir;
    const std::string file = WritePicture(dir, "same.png", 64, 48);
    EXPECT_EQ(Load(file, 320, 240, TFraming::Blur).Pixel(0, 0), Load(file, 320, 240, TFraming::Letterbox).Pixel(0, 0));
    // An empty rectangle (a picture that landed nowhere) leaves the frame alone.
    TFrameBitmap frame(16, 16);
    frame.Fill(0);
    DrawBlurredBackground(frame, TRect{});
    EXPECT_EQ(BlackPixels(frame), 256);
}

} // namespace
