// Fill framing without motion places its crop on what matters in the picture: faces given by a
// finder of the test's own, on a picture whose rows tell where the crop lies.

#include "app/document/DocumentSequencer.h"
#include "app/motion/MotionSlides.h"
#include "app/motion/StillFill.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
// Brightness grows with the row: a crop's place shows in its mean green.
std::uint32_t Rows(int, int y) {
    const std::uint32_t v = std::uint32_t(20 + y * 215 / 399);
    return v << 16 | v << 8 | v;
}

TInterest FaceAtTop(const TFrameBitmap&) {
    TInterest i;
    i.Faces = {{0.4, 0.02, 0.2, 0.1}};
    return i;
}

TInterest NothingFound(const TFrameBitmap&) { return {}; }

double MeanGreen(const TFrameBitmap& f, int y0, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < f.Width(); ++x)
            sum += (f.Pixel(x, y) >> 8) & 0xFF;
    return sum / (double(y1 - y0) * f.Width());
}

bool SamePixels(const TFrameBitmap& a, const TFrameBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if ((a.Pixel(x, y) ^ b.Pixel(x, y)) & 0xFFFFFF)
                return false;
    return true;
}

TSlideshowData PortraitShow(const TTempDir& dir) {
    WriteTestJpeg(dir.File("portrait.jpg"), 300, 400, Rows, 98);
    TSlideshowData data;
    data.Slides.push_back(PlainSlide(dir.File("portrait.jpg")));
    data.Output.Framing = TFraming::Fill;
    data.Output.Motion = TMotionStyle::Off;
    data.Output.FrameSize = "160x90";
    data.Output.HoldSeconds = 0.2;
    data.Output.TransitionSeconds = 0;
    data.Output.RandomEffects = false;
    return data;
}

std::vector<TFrameBitmap> Frames(const TSlideshowData& data, TInterestFinder finder) {
    TSlideshowSequencer seq;
    auto shared = std::make_shared<const TSlideshowData>(data);
    PrepareDocumentSequencer(seq, shared);
    InstallSlideMotion(seq, shared, finder);
    std::vector<TFrameBitmap> frames;
    while (const TFrameBitmap* f = seq.NextFrame())
        frames.push_back(*f);
    return frames;
}
} // namespace

TEST(StillFillTest, CropFollowsTheFacesAndStaysCentredWithoutThem) {
    TTempDir dir;
    const TSlideshowData data = PortraitShow(dir);
    EXPECT_TRUE(IsStillFillSlide(data, 0));

    // Prepared on the worker: a face at the top moves the crop up to it, drawn once; nothing
    // found leaves the centred crop to the picture loader. The picture is let go either way.
    const auto up = PrepareMovingSlide(data, 0, 160, 90, 0, FaceAtTop);
    ASSERT_EQ(up->Still.Width(), 160);
    ASSERT_EQ(up->Still.Height(), 90);
    EXPECT_LE(up->Path.Start.Y, 0.02 + 1e-9);
    EXPECT_GE(up->Path.Start.Y + up->Path.Start.H, 0.12 - 1e-9);
    EXPECT_TRUE(up->Picture.Empty());
    const auto centred = PrepareMovingSlide(data, 0, 160, 90, 0, NothingFound);
    EXPECT_TRUE(centred->Still.Empty());
    EXPECT_TRUE(centred->Picture.Empty());

    // Through the sequencer: without faces every frame is the loader's centred crop, exactly
    // as with no interest at all; with the face the held frames show the picture's top rows
    // (dark), the crop's top edge at the picture's top (0.02 of 400 rows at most above).
    const std::vector<TFrameBitmap> plain = Frames(data, nullptr);
    const std::vector<TFrameBitmap> none = Frames(data, NothingFound);
    const std::vector<TFrameBitmap> face = Frames(data, FaceAtTop);
    ASSERT_EQ(plain.size(), none.size());
    ASSERT_EQ(plain.size(), face.size());
    for (std::size_t i = 0; i < plain.size(); ++i)
        EXPECT_TRUE(SamePixels(plain[i], none[i])) << i;
    const std::size_t held = plain.size() / 2;
    const double centre = MeanGreen(plain[held], 0, 90), top = MeanGreen(face[held], 0, 90);
    EXPECT_NEAR(centre, 20 + 215 * 0.5, 6);
    EXPECT_NEAR(top, 20 + 215 * (84.4 / 400), 6); // rows 0 .. 169 of 400
    EXPECT_LT(MeanGreen(face[held], 0, 10), MeanGreen(face[held], 80, 90));
}

TEST(StillFillTest, OnlyStillPicturesUnderFillAreLookedAt) {
    TTempDir dir;
    TSlideshowData data = PortraitShow(dir);
    data.Output.Framing = TFraming::Letterbox;
    EXPECT_FALSE(IsStillFillSlide(data, 0));
    data.Output.Framing = TFraming::Fill;
    data.Slides[0].Motion.Style = TMotionStyle::ZoomIn;
    EXPECT_FALSE(IsStillFillSlide(data, 0));
    EXPECT_FALSE(IsStillFillSlide(data, 1));
    EXPECT_FALSE(IsStillFillSlide(data, -1));
}
