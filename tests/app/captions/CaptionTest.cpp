// Captions: drawn inside their area only, inside the frame whatever their length, carried by
// the picture's frames, and the date a photo was taken read from its EXIF block.

#include "app/document/DocumentSequencer.h"
#include "app/pictures/PhotoDate.h"
#include "app/captions/SlideCaption.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace {
TFrameBitmap Patterned(int w, int h) {
    TFrameBitmap frame;
    frame.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame.SetPixel(x, y, TFrameBitmap::MakePixel(std::uint8_t(x * 7), std::uint8_t(y * 5), std::uint8_t(x ^ y)));
    return frame;
}

// Pixels that differ, and whether every one of them lies inside the layout's area.
int Changed(const TFrameBitmap& a, const TFrameBitmap& b, const TCaptionLayout& area, bool& allInside) {
    int changed = 0;
    allInside = true;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) {
                ++changed;
                allInside = allInside && x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom;
            }
    return changed;
}

class CaptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        ASSERT_TRUE(EnsureCaptionDrawing(reason)) << reason;
    }
};

// A little-endian EXIF block whose Exif directory records DateTimeOriginal = stamp.
std::string ExifWithDate(const std::string& stamp) {
    std::string tiff = "II*";
    tiff += '\0';
    auto u16 = [&](unsigned v) { tiff += char(v & 0xFF), tiff += char(v >> 8); };
    auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
    u32(8);
    u16(1), u16(0x8769), u16(4), u32(1), u32(26), u32(0); // IFD0: the Exif directory's place
    u16(1), u16(0x9003), u16(2), u32(20), u32(44), u32(0); // Exif: DateTimeOriginal, 20 characters
    tiff += stamp;
    tiff += '\0';
    return std::string("Exif\0\0", 6) + tiff;
}

void AddApp1(const std::string& file, const std::string& payload) {
    std::ifstream in(file, std::ios::binary);
    std::string jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::size_t length = payload.size() + 2;
    const std::string segment = std::string("\xFF\xE1") + char(length >> 8) + char(length & 0xFF) + payload;
    jpeg.insert(2, segment); // right after the start-of-image marker
    std::ofstream(file, std::ios::binary | std::ios::trunc) << jpeg;
}
} // namespace

TEST_F(CaptionTest, ChangesOnlyItsAreaInTheLowerPartSizedToTheFrame) {
    for (auto [w, h] : {std::pair{320, 240}, std::pair{1280, 720}, std::pair{240, 320}}) {
        const TFrameBitmap plain = Patterned(w, h);
        TFrameBitmap captioned = plain;
        DrawCaption(captioned, "Summer 2021");
        const TCaptionLayout layout = LayoutCaption("Summer 2021", w, h);
        ASSERT_EQ(layout.Lines.size(), 1u);
        EXPECT_GE(layout.PixelSize, h * 5 / 100) << w << "x" << h;
        EXPECT_GT(layout.Top, h / 2) << "lower part";
        bool inside = false;
        EXPECT_GT(Changed(plain, captioned, layout, inside), layout.PixelSize * 10);
        EXPECT_TRUE(inside) << w << "x" << h;
        // Nothing reaches the area's edges: no part of the text was cut off.
        for (int x = layout.Left; x < layout.Right; ++x) {
            EXPECT_EQ(captioned.Pixel(x, layout.Top), plain.Pixel(x, layout.Top)) << x;
            EXPECT_EQ(captioned.Pixel(x, layout.Bottom - 1), plain.Pixel(x, layout.Bottom - 1)) << x;
        }
        for (int y = layout.Top; y < layout.Bottom; ++y) {
            EXPECT_EQ(captioned.Pixel(layout.Left, y), plain.Pixel(layout.Left, y)) << y;
            EXPECT_EQ(captioned.Pixel(layout.Right - 1, y), plain.Pixel(layout.Right - 1, y)) << y;
        }
        // White text with a dark outline: both appear.
        bool white = false, dark = false;
        for (int y = layout.Top; y < layout.Bottom; ++y)
            for (int x = layout.Left; x < layout.Right; ++x) {
                white = white || captioned.Pixel(x, y) == 0xFFFFFFu;
                dark = dark || captioned.Pixel(x, y) == 0u;
            }
        EXPECT_TRUE(white && dark);
    }
    TFrameBitmap blank = Patterned(64, 48), same = blank;
    DrawCaption(same, "  \n ");
    bool inside = false;
    EXPECT_EQ(Changed(blank, same, LayoutCaption(" ", 64, 48), inside), 0);
}

TEST_F(CaptionTest, LongCaptionsWrapOrShrinkButStayInsideTheFrame) {
    const std::string words = "A very long caption about the day we walked along the river to the old mill and back "
                              "again in the rain, which nobody will ever read to the end at this size";
    const std::string word(300, 'W');
    for (const std::string& text : {words, word, std::string("short\nsecond line\nthird\nfourth\nfifth")}) {
        const TCaptionLayout layout = LayoutCaption(text, 320, 240);
        EXPECT_LE(layout.Lines.size(), 3u);
        EXPECT_GE(layout.PixelSize, 12); // 5 % of 240
        EXPECT_GE(layout.Left, 0);
        EXPECT_GE(layout.Top, 0);
        EXPECT_LE(layout.Right, 320);
        EXPECT_LE(layout.Bottom, 240);
        const TFrameBitmap plain = Patterned(320, 240);
        TFrameBitmap captioned = plain;
        DrawCaption(captioned, text);
        bool inside = false;
        EXPECT_GT(Changed(plain, captioned, layout, inside), 0);
        EXPECT_TRUE(inside);
        // Nothing is drawn into the frame's outer columns: the text does not run off its sides.
        for (int y = 0; y < 240; ++y) {
            EXPECT_EQ(captioned.Pixel(0, y), plain.Pixel(0, y));
            EXPECT_EQ(captioned.Pixel(319, y), plain.Pixel(319, y));
        }
    }
    // A tiny frame still gets a caption within it.
    const TCaptionLayout tiny = LayoutCaption(words, 16, 12);
    EXPECT_LE(tiny.Right, 16);
    EXPECT_LE(tiny.Bottom, 12);
}

TEST_F(CaptionTest, TheSlidesFramesCarryItsCaptionAndTheDateTakenComesFromExif) {
    TTempDir dir;
    const std::string photo = dir.File("photo.jpg"), plain = dir.File("plain.jpg");
    WriteTestJpeg(photo, 80, 60, [](int x, int y) { return std::uint32_t(x * 3) << 8 | std::uint32_t(y); });
    WriteTestJpeg(plain, 80, 60, [](int x, int) { return std::uint32_t(x * 3); });
    AddApp1(photo, ExifWithDate("2021:07:14 10:20:30"));
    EXPECT_EQ(PhotoDateTaken(photo), "2021-07-14 10:20");
    EXPECT_EQ(PhotoDateTakenStamp(photo), "2021:07:14 10:20:30");
    EXPECT_EQ(PhotoDateTaken(plain), "");
    EXPECT_EQ(PhotoDateTaken(dir.File("none.jpg")), "");

    TSlide slide = PlainSlide(photo);
    slide.CaptionDateTaken = true;
    EXPECT_EQ(SlideCaptionText(slide), "2021-07-14 10:20");
    slide.Caption = "Mill";
    EXPECT_EQ(SlideCaptionText(slide), "Mill");

    // A run with and without the caption: the held frames differ only inside the caption's
    // area; the transitions (which may move or stretch the picture) carry it too.
    auto run = [&](const std::string& caption) {
        TSlideshowData data;
        TSlide s = PlainSlide(photo);
        s.Caption = caption;
        data.Slides = {s};
        data.Output.FrameSize = "320x240";
        data.Output.FrameRate = {10, 1};
        data.Output.HoldSeconds = 0.2;
        data.Output.TransitionSeconds = 0.5;
        data.Output.Seed = 3;
        TSlideshowSequencer seq;
        PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
        std::vector<TFrameBitmap> frames;
        while (const TFrameBitmap* f = seq.NextFrame())
            frames.push_back(*f);
        return frames;
    };
    const auto without = run(""), with = run("Mill");
    ASSERT_EQ(without.size(), with.size());
    const TCaptionLayout layout = LayoutCaption("Mill", 320, 240);
    int framesWithCaption = 0;
    for (std::size_t i = 0; i < with.size(); ++i) {
        bool inside = false;
        const int changed = Changed(without[i], with[i], layout, inside);
        framesWithCaption += changed > 0;
        const bool held = i >= 5 && i < 7; // fade-in 5 frames, hold 2
        if (held) {
            EXPECT_GT(changed, 0) << "frame " << i;
            EXPECT_TRUE(inside) << "frame " << i;
        }
    }
    EXPECT_GE(framesWithCaption, 2 + 2 + 2); // the hold and part of both transitions
}
