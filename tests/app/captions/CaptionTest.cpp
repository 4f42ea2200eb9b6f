// Captions: drawn inside their area only, inside the frame whatever their length, carried by
// the picture's frames, and the date a photo was taken read from its EXIF block.

#include "app/document/DocumentSequencer.h"
#include "app/pictures/PhotoDate.h"
#include "app/captions/SlideCaption.h"
#include "app/captions/CaptionLayer.h"
#include "app/captions/CaptionText.h"
#include "app/captions/TitleSlide.h"
#include "effects/BmpFile.h"

#include <QFontMetricsF>
#include <QRawFont>
#include <QTextLayout>
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

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

// ---- Captions as a layer over the finished frames ----

namespace {
// The frames of a two-picture show, with an effect of its own into the second slide.
std::vector<TFrameBitmap> RunFrames(const TSlideshowData& data) {
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
    std::vector<TFrameBitmap> frames;
    while (const TFrameBitmap* f = seq.NextFrame())
        frames.push_back(*f);
    return frames;
}

TSlideshowData TwoSlides(const std::string& a, const std::string& b, int effect) {
    TSlideshowData data;
    data.Slides = {PlainSlide(a), PlainSlide(b)};
    data.Slides[1].Effect = effect;
    data.Output.FrameSize = "320x240";
    data.Output.FrameRate = {10, 1};
    data.Output.HoldSeconds = 0.2;       // 2 frames
    data.Output.TransitionSeconds = 0.5; // 5 frames
    data.Output.RandomEffects = false;
    data.Output.Seed = 3;
    return data;
}

// The caption drawn alone, laid over base by hand at opacity f (0..1): premultiplied colour
// times f, plus the frame times 1 - alpha * f.
TFrameBitmap Expected(TFrameBitmap base, const TCaptionText& caption, double f) {
    for (int y = 0; y < caption.Image.height(); ++y)
        for (int x = 0; x < caption.Image.width(); ++x) {
            const QRgb c = caption.Image.pixel(x, y); // unpremultiplied
            const double a = qAlpha(c) / 255.0 * f;
            const std::uint32_t d = base.Pixel(caption.Left + x, caption.Top + y);
            auto mix = [&](int src, int dst) { return std::uint32_t(std::lround(src * a + dst * (1 - a))); };
            base.SetPixel(caption.Left + x, caption.Top + y,
                          mix(qRed(c), int(d >> 16 & 0xFF)) << 16 | mix(qGreen(c), int(d >> 8 & 0xFF)) << 8 |
                              mix(qBlue(c), int(d & 0xFF)));
        }
    return base;
}

bool Same(const TFrameBitmap& a, const TFrameBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.Pixels(), a.Pixels() + std::size_t(a.Width()) * a.Height(), b.Pixels());
}

bool Same(const std::vector<TFrameBitmap>& a, const std::vector<TFrameBitmap>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto& x, auto& y) { return Same(x, y); });
}

int LargestDifference(const TFrameBitmap& a, const TFrameBitmap& b) {
    int most = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int shift : {0, 8, 16, 24})
                most = std::max(most, std::abs(int(a.Pixel(x, y) >> shift & 0xFF) - int(b.Pixel(x, y) >> shift & 0xFF)));
    return most;
}
} // namespace

TEST_F(CaptionTest, MidTransitionTheCaptionsAreUprightAndFadeForAWipeAMirrorAndASlide) {
    TTempDir dir;
    const std::string a = dir.File("a.jpg"), b = dir.File("b.jpg");
    WriteTestJpeg(a, 160, 120, [](int x, int y) { return std::uint32_t(x * 3) << 8 | std::uint32_t(y * 2); });
    WriteTestJpeg(b, 160, 120, [](int x, int y) { return std::uint32_t(x + y) << 16 | 0x40; });
    // 5 RevealFromLeft (a wipe), 14 UnrollFromLeft (draws part of the picture mirrored),
    // 129 PushRight (slides both pictures).
    for (int effect : {5, 14, 129}) {
        SCOPED_TRACE(effect);
        TSlideshowData plain = TwoSlides(a, b, effect), captioned = plain;
        captioned.Slides[0].Caption = "Phc 7";
        captioned.Slides[1].Caption = "2023-07-21 11:25";
        captioned.Slides[1].CaptionStyle = TCaptionStyle();
        captioned.Slides[1].CaptionStyle->Anchor = TCaptionAnchor::Top;
        const auto without = RunFrames(plain), with = RunFrames(captioned);
        ASSERT_EQ(without.size(), with.size());
        const TCaptionText first = SlideCaptionImage(captioned, 0, 320, 240);
        const TCaptionText second = SlideCaptionImage(captioned, 1, 320, 240);
        ASSERT_FALSE(first.Image.isNull());
        ASSERT_FALSE(second.Image.isNull());
        // Frames 7..11 are the transition from slide 0 to slide 1; step c of 5 shows the outgoing
        // caption at (5 - c) / 6 and the incoming one at (c + 1) / 6.
        for (int c = 0; c < 5; ++c) {
            const TFrameBitmap expected =
                Expected(Expected(without[std::size_t(7 + c)], first, (5 - c) / 6.0), second, (c + 1) / 6.0);
            EXPECT_LE(LargestDifference(with[std::size_t(7 + c)], expected), 2) << "step " << c;
        }
        // Held: the caption as drawn, the picture as it was.
        EXPECT_LE(LargestDifference(with[5], Expected(without[5], first, 1)), 2);
        EXPECT_LE(LargestDifference(with[13], Expected(without[13], second, 1)), 2);
    }
}

TEST_F(CaptionTest, ASetFadeTimeSeparatesTheFadesAndAShowWithoutTextKeepsItsFrames) {
    TTempDir dir;
    const std::string a = dir.File("a.jpg"), b = dir.File("b.jpg");
    WriteTestJpeg(a, 160, 120, [](int x, int) { return std::uint32_t(x * 3); });
    WriteTestJpeg(b, 160, 120, [](int, int y) { return std::uint32_t(y * 2) << 8; });
    TSlideshowData plain = TwoSlides(a, b, 5), blank = plain, faded = plain;
    blank.Slides[0].Caption = "   "; // shows nothing
    faded.Slides[0].Caption = "One";
    faded.Slides[1].Caption = "Two";
    faded.CaptionFadeSeconds = 0.2; // 2 of the transition's 5 frames
    const auto without = RunFrames(plain);
    EXPECT_TRUE(Same(RunFrames(blank), without));
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(plain));
    EXPECT_EQ(seq.Layer, nullptr);

    const auto with = RunFrames(faded);
    const TCaptionText one = SlideCaptionImage(faded, 0, 320, 240), two = SlideCaptionImage(faded, 1, 320, 240);
    EXPECT_LE(LargestDifference(with[7], Expected(without[7], one, 2 / 3.0)), 2);
    EXPECT_LE(LargestDifference(with[8], Expected(without[8], one, 1 / 3.0)), 2);
    EXPECT_TRUE(Same(with[9], without[9])) << "between the fades no caption shows";
    EXPECT_LE(LargestDifference(with[10], Expected(without[10], two, 1 / 3.0)), 2);
    EXPECT_LE(LargestDifference(with[11], Expected(without[11], two, 2 / 3.0)), 2);

    EXPECT_EQ(CaptionOpacities({0, 1, 0, 5}, 5), std::make_pair(213, 43));
    EXPECT_EQ(CaptionOpacities({0, -1, 0, 0}, 5), std::make_pair(255, 0));
    EXPECT_EQ(CaptionOpacities({0, 1, 4, 5}, 9), std::make_pair(43, 213)); // at most the transition
}

TEST_F(CaptionTest, OnTheCanvasAHeldCaptionRepeatsAndEveryFrameEqualsTheLayeredOne) {
    TTempDir dir;
    const std::string a = dir.File("a.jpg"), b = dir.File("b.jpg");
    WriteTestJpeg(a, 160, 120, [](int x, int) { return std::uint32_t(x * 3); });
    WriteTestJpeg(b, 160, 120, [](int, int y) { return std::uint32_t(y * 2) << 8; });
    TSlideshowData data = TwoSlides(a, b, 129);
    data.Output.HoldSeconds = 0.4;
    // 120 transition frames: the effect's percent stays the same over some neighbouring frames
    // (the picture is not drawn again), while the captions' fade goes on.
    data.Output.TransitionSeconds = 12;
    data.Slides[0].Caption = "One";
    data.Slides[1].Caption = "Two";
    const auto frames = RunFrames(data);
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
    TFrameBitmap canvas;
    canvas.SetSize(320, 240);
    std::vector<bool> repeated;
    for (std::size_t i = 0; seq.ReadFrameCanvas(canvas) == 0; ++i) {
        ASSERT_LT(i, frames.size());
        ASSERT_TRUE(Same(canvas, frames[i])) << "frame " << i;
        repeated.push_back(seq.FrameRepeated());
    }
    ASSERT_EQ(repeated.size(), frames.size());
    // Fade-in 0..119, hold 120..123, transition 124..243: the held frames after the first repeat
    // it; a frame of a transition never does.
    for (int i = 0; i < 120; ++i)
        EXPECT_FALSE(repeated[std::size_t(i)]) << i;
    EXPECT_FALSE(repeated[120]);
    EXPECT_TRUE(repeated[121] && repeated[122] && repeated[123]);
    for (int i = 124; i < 244; ++i)
        EXPECT_FALSE(repeated[std::size_t(i)]) << i;
}

// ---- Text in any script ----

namespace {
QFont ReferenceFont(const TCaptionStyle& style, int pixelSize) {
    QFont font(QString::fromStdString(style.Font));
    font.setWeight(style.Bold ? QFont::Bold : QFont::Normal);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

// Glyphs and their x positions from left to right, as Qt's own layout shapes text on one line.
std::vector<std::pair<quint32, double>> QtGlyphs(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    std::vector<std::pair<quint32, double>> glyphs;
    for (const QGlyphRun& run : line.glyphRuns())
        for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i)
            glyphs.emplace_back(run.glyphIndexes()[i], run.positions()[i].x());
    std::sort(glyphs.begin(), glyphs.end(), [](auto& a, auto& b) { return a.second < b.second; });
    return glyphs;
}

std::vector<std::pair<quint32, double>> CaptionGlyphs(const TCaptionLine& line) {
    std::vector<std::pair<quint32, double>> glyphs;
    for (const QGlyphRun& run : line.Runs)
        for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i)
            glyphs.emplace_back(run.glyphIndexes()[i], run.positions()[i].x());
    std::sort(glyphs.begin(), glyphs.end(), [](auto& a, auto& b) { return a.second < b.second; });
    return glyphs;
}

// The glyph a font gives one character on its own (its isolated form).
quint32 GlyphOf(const QFont& font, const QString& character) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.glyphIndexesForString(character);
    return glyphs.isEmpty() ? 0 : glyphs.first();
}
} // namespace

TEST_F(CaptionTest, EveryScriptIsShapedAsQtsLayoutShapesItRightToLeftWhereItRunsSo) {
    const TCaptionStyle style;
    const char* texts[] = {"مرحبا بالعالم", "שלום עולם", "Καλημέρα κόσμε", "Привет, мир",
                           "cafe\xCC\x81 nai\xCC\x88ve", "नमस्ते दुनिया", "שלום Summer 2026", "مرحبا 2026 Rome"};
    for (const char* utf8 : texts) {
        SCOPED_TRACE(utf8);
        const TCaptionText caption = MakeCaptionText(utf8, style, 1280, 720);
        ASSERT_EQ(caption.Lines.size(), 1u);
        const TCaptionLine& line = caption.Lines.front();
        const auto ours = CaptionGlyphs(line);
        const auto qt = QtGlyphs(line.Text, ReferenceFont(style, caption.PixelSize));
        ASSERT_EQ(ours.size(), qt.size());
        ASSERT_FALSE(ours.empty());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i].first, qt[i].first) << i;
            EXPECT_NEAR(ours[i].second - ours[0].second, qt[i].second - qt[0].second, 0.01) << i;
        }
        // No missing-glyph box: every glyph found in some font (the fallback ones included).
        for (const QGlyphRun& run : line.Runs)
            for (quint32 g : run.glyphIndexes())
                EXPECT_NE(g, 0u) << run.rawFont().familyName().toStdString();
    }
    // Right to left: the first letter stands rightmost, the last leftmost.
    const QFont font = ReferenceFont(style, MakeCaptionText("שלום", style, 1280, 720).PixelSize);
    const TCaptionText hebrew = MakeCaptionText("שלום", style, 1280, 720);
    const auto glyphs = CaptionGlyphs(hebrew.Lines.front());
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_TRUE(hebrew.Lines.front().RightToLeft);
    EXPECT_EQ(glyphs.back().first, GlyphOf(font, "ש"));
    EXPECT_EQ(glyphs.front().first, GlyphOf(font, "ם"));
    // A right-to-left paragraph puts its Latin words to the left of its first Hebrew word.
    const TCaptionText mixed = MakeCaptionText("שלום Summer", style, 1280, 720);
    const auto order = CaptionGlyphs(mixed.Lines.front());
    const quint32 shin = GlyphOf(ReferenceFont(style, mixed.PixelSize), "ש");
    const quint32 capitalS = GlyphOf(ReferenceFont(style, mixed.PixelSize), "S");
    auto at = [&](quint32 g) {
        for (const auto& [glyph, x] : order)
            if (glyph == g)
                return x;
        return -1.0;
    };
    EXPECT_GT(at(shin), at(capitalS));
    EXPECT_GE(at(capitalS), 0.0);
    // Arabic letters join: four behs take initial, medial and final forms, not the isolated one.
    const TCaptionText behs = MakeCaptionText("بببب", style, 1280, 720);
    std::set<quint32> forms;
    for (const auto& [g, x] : CaptionGlyphs(behs.Lines.front()))
        forms.insert(g);
    EXPECT_GE(forms.size(), 3u);
    EXPECT_EQ(forms.count(GlyphOf(ReferenceFont(style, behs.PixelSize), "ب")), 0u);
    // A combining mark sits on its letter: e and acute take the room of é.
    const QFontMetricsF fm(ReferenceFont(style, 50));
    EXPECT_NEAR(fm.horizontalAdvance("e\xCC\x81"), fm.horizontalAdvance("\xC3\xA9"), 0.5);
    // A script the chosen font lacks comes from a fallback font.
    const TCaptionText devanagari = MakeCaptionText("नमस्ते", style, 1280, 720);
    bool fallback = false;
    for (const QGlyphRun& run : devanagari.Lines.front().Runs)
        fallback = fallback || run.rawFont().familyName() != "DejaVu Sans";
    EXPECT_TRUE(fallback);
}

TEST_F(CaptionTest, LinesBreakBetweenWordsInEveryScript) {
    for (const char* utf8 : {"هذه جملة عربية طويلة جدا عن رحلة إلى البحر في الصيف الماضي مع العائلة",
                             "זהו משפט ארוך מאוד בעברית על טיול לים בקיץ שעבר עם כל המשפחה",
                             "Это очень длинная фраза о поездке к морю прошлым летом со всей семьёй"}) {
        SCOPED_TRACE(utf8);
        const QString text = QString::fromUtf8(utf8);
        const QStringList words = text.split(' ');
        const TCaptionText caption = MakeCaptionText(utf8, TCaptionStyle(), 480, 360);
        ASSERT_GE(caption.Lines.size(), 2u);
        ASSERT_LE(caption.Lines.size(), 3u);
        for (const TCaptionLine& line : caption.Lines) {
            EXPECT_EQ(line.RightToLeft, text.isRightToLeft());
            const QStringList parts = line.Text.split(' ');
            for (qsizetype i = 0; i < parts.size(); ++i) {
                // Whole words, except that the last line may end cut short.
                const bool cut = &line == &caption.Lines.back() && i == parts.size() - 1 && parts[i].endsWith(QChar(0x2026));
                EXPECT_TRUE(cut || words.contains(parts[i])) << parts[i].toStdString();
            }
        }
        EXPECT_GE(caption.Left, 480 * 4 / 100 - 1);
        EXPECT_LE(caption.Right(), 480 - 480 * 4 / 100 + 1);
    }
}

// ---- Styles ----

TEST_F(CaptionTest, StylesPlaceAlignBoxAndShadowTheText) {
    const int w = 640, h = 360;
    for (int a = 0; a < 9; ++a) {
        TCaptionStyle style;
        style.Anchor = TCaptionAnchor(a);
        style.Margin = 0.05;
        style.Size = 0.06;
        const TCaptionText c = MakeCaptionText("Anchor", style, w, h);
        ASSERT_FALSE(c.Image.isNull()) << a;
        const double cx = (c.Left + c.Right()) / 2.0, cy = (c.Top + c.Bottom()) / 2.0;
        EXPECT_EQ(int(cx * 3 / w), a % 3) << CaptionAnchorName(TCaptionAnchor(a));
        EXPECT_EQ(int(cy * 3 / h), a / 3) << CaptionAnchorName(TCaptionAnchor(a));
        EXPECT_GE(c.Left, int(w * 0.05) - 2);
        EXPECT_GE(c.Top, int(h * 0.05) - 2);
        EXPECT_LE(c.Right(), w - int(w * 0.05) + 2);
        EXPECT_LE(c.Bottom(), h - int(h * 0.05) + 2);
        EXPECT_NEAR(c.PixelSize, h * 0.06, 1);
    }
    auto edges = [](const TCaptionLine& line) {
        QRectF r;
        for (const QGlyphRun& run : line.Runs)
            for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i)
                r = r.united(run.rawFont().boundingRect(run.glyphIndexes()[i]).translated(run.positions()[i]));
        return r;
    };
    for (TCaptionAlign align : {TCaptionAlign::Left, TCaptionAlign::Center, TCaptionAlign::Right}) {
        TCaptionStyle style;
        style.Align = align;
        const TCaptionText c = MakeCaptionText("A much wider first line\nnarrow", style, w, h);
        ASSERT_EQ(c.Lines.size(), 2u);
        const QRectF first = edges(c.Lines[0]), second = edges(c.Lines[1]);
        ASSERT_LT(second.width(), first.width() / 2);
        if (align == TCaptionAlign::Left)
            EXPECT_NEAR(second.left(), first.left(), 4);
        else if (align == TCaptionAlign::Right)
            EXPECT_NEAR(second.right(), first.right(), 4);
        else
            EXPECT_NEAR(second.center().x(), first.center().x(), 4);
    }
    // A box fills the text's surroundings with its colour; a shadow reaches down and right.
    TCaptionStyle boxed;
    boxed.Box = 0xFF0000FFu;
    const TCaptionText box = MakeCaptionText("Box", boxed, w, h);
    const QRgb corner = box.Image.pixel(3, 3);
    EXPECT_EQ(qBlue(corner), 255);
    EXPECT_EQ(qRed(corner), 0);
    TCaptionStyle shaded;
    shaded.Shadow = 0.1;
    shaded.ShadowColor = 0xFFFF0000u;
    const TCaptionText plain = MakeCaptionText("Shadow", TCaptionStyle(), w, h), shadow = MakeCaptionText("Shadow", shaded, w, h);
    EXPECT_GE(shadow.Right() - plain.Right(), int(plain.PixelSize * 0.1) - 1);
    int red = 0;
    for (int y = 0; y < shadow.Image.height(); ++y)
        for (int x = 0; x < shadow.Image.width(); ++x)
            red += qRed(shadow.Image.pixel(x, y)) == 255 && qGreen(shadow.Image.pixel(x, y)) == 0;
    EXPECT_GT(red, 50);

    // The text form of the command line, and its errors.
    TCaptionStyle parsed;
    std::string error;
    ASSERT_TRUE(ParseCaptionStyle("font=DejaVu Serif,size=0.05,color=#ffff00,position=top-left,box=#80000000,align=left",
                                  parsed, error)) << error;
    EXPECT_EQ(parsed.Font, "DejaVu Serif");
    EXPECT_EQ(parsed.Size, 0.05);
    EXPECT_EQ(parsed.Color, 0xFFFFFF00u);
    EXPECT_EQ(parsed.Anchor, TCaptionAnchor::TopLeft);
    EXPECT_EQ(parsed.Box, 0x80000000u);
    EXPECT_EQ(parsed.Align, TCaptionAlign::Left);
    const TCaptionStyle before = parsed;
    EXPECT_FALSE(ParseCaptionStyle("size=0.06,colour=red", parsed, error));
    EXPECT_NE(error.find("colour"), std::string::npos) << error;
    EXPECT_TRUE(parsed == before) << "a wrong text changes nothing";
    EXPECT_FALSE(ParseCaptionStyle("size=1", parsed, error));
    EXPECT_NE(error.find("size=1"), std::string::npos) << error;
    EXPECT_FALSE(ParseCaptionStyle("bottom", parsed, error));
    TCaptionStyle back;
    ASSERT_TRUE(ParseCaptionStyle(CaptionStyleText(parsed), back, error)) << error;
    EXPECT_TRUE(back == parsed) << CaptionStyleText(parsed);
}

// ---- Title slides ----

TEST_F(CaptionTest, TitleSlidesStayInsideTheSafeAreaAtEverySize) {
    TSlideshowData data;
    data.Slides = {TitleSlide("Summer 2026 in the mountains", TSlideTitle{true, TTitleBackgroundKind::Gradient,
                                                                           0xFF204060u, 0xFF000000u})};
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{1280, 720}, std::pair{3840, 2160}, std::pair{1080, 1920},
                        std::pair{720, 1280}, std::pair{1080, 1080}, std::pair{320, 240}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const TCaptionText c = SlideCaptionImage(data, 0, w, h);
        ASSERT_FALSE(c.Image.isNull());
        EXPECT_LE(c.Lines.size(), 3u);
        EXPECT_GE(c.Left, int(w * TitleSafeInset) - 1);
        EXPECT_GE(c.Top, int(h * TitleSafeInset) - 1);
        EXPECT_LE(c.Right(), w - int(w * TitleSafeInset) + 1);
        EXPECT_LE(c.Bottom(), h - int(h * TitleSafeInset) + 1);
        // Centred, and no word cut short.
        EXPECT_NEAR((c.Left + c.Right()) / 2.0, w / 2.0, w * 0.02);
        EXPECT_NEAR((c.Top + c.Bottom()) / 2.0, h / 2.0, h * 0.03);
        for (const TCaptionLine& line : c.Lines)
            EXPECT_FALSE(line.Text.contains(QChar(0x2026))) << line.Text.toStdString();
        TFrameBitmap frame;
        frame.SetSize(w, h);
        DrawTitleBackground(data.Slides[0], frame);
        EXPECT_EQ(frame.Pixel(0, 0), 0x204060u);
        EXPECT_EQ(frame.Pixel(w - 1, h - 1), 0u);
        EXPECT_EQ(frame.Pixel(w / 2, h / 2), TFrameBitmap::MakePixel(0x10, 0x20, 0x30));
    }
}

TEST_F(CaptionTest, TitleSlidesRunWithTheirOwnHoldEffectAndBackground) {
    TTempDir dir;
    const std::string photo = dir.File("a.jpg");
    WriteTestJpeg(photo, 160, 120, [](int x, int y) { return (x / 5 + y / 5) % 2 ? 0xFFFFFFu : 0x0000FFu; });
    TSlideshowData data = TwoSlides(photo, photo, 5);
    data.Slides[0] = TitleSlide("Summer", TSlideTitle{true, TTitleBackgroundKind::Color, 0xFF336699u, 0xFF336699u});
    data.Slides[0].HoldSeconds = 0.4;
    data.Slides[1] = TitleSlide("The end", TSlideTitle{true, TTitleBackgroundKind::Blur}, photo);
    data.Slides[1].Effect = 129;
    data.Output.Motion = TMotionStyle::ZoomIn; // titles do not move
    data.Output.Framing = TFraming::Fill;
    std::string reason;
    const auto frames = RunFrames(data);
    // Fade-in 5, title held 4, transition 5, blurred title held 2, transition 5, 2 black.
    ASSERT_EQ(frames.size(), 23u);
    const TFrameBitmap& held = frames[6];
    EXPECT_EQ(held.Pixel(2, 2), 0x336699u);
    EXPECT_EQ(held.Pixel(317, 237), 0x336699u);
    const TCaptionText text = SlideCaptionImage(data, 0, 320, 240);
    TFrameBitmap background;
    background.SetSize(320, 240);
    background.Fill(0x336699u);
    EXPECT_LE(LargestDifference(held, Expected(background, text, 1)), 2);
    // The blurred title: the picture's checks smoothed away and darkened, never black.
    const TFrameBitmap& blurred = frames[15];
    int darkest = 255, brightest = 0;
    for (int x = 0; x < 320; x += 7) {
        const int g = int(blurred.Pixel(x, 20) >> 8 & 0xFF);
        darkest = std::min(darkest, g);
        brightest = std::max(brightest, g);
    }
    EXPECT_GT(darkest, 20);
    EXPECT_LT(brightest, 230);
    EXPECT_THROW(DrawTitleBackground(TitleSlide("x", TSlideTitle{true, TTitleBackgroundKind::Blur}), background),
                 TPictureError);
}
