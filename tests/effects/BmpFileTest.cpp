#include "effects/BmpFile.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The field lists below name only the fields they need; GCC 12 warns about the others although
// they have default member initialisers.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A hand-built bitmap file: every field spelled out so a test can also make it lie.
struct TBmpFields {
    std::uint32_t HeaderSize = 40;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = 0;
    std::uint32_t ColorsUsed = 0;
    std::vector<std::uint32_t> Palette;       // 0xRRGGBB
    std::vector<std::uint32_t> Masks;         // red, green, blue
    std::vector<Bytes> Rows;                  // in file order, without padding
};

void Put(Bytes& b, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

Bytes MakeBmp(const TBmpFields& s) {
    const bool core = s.HeaderSize == 12;
    const bool masksAfterHeader = s.HeaderSize == 40 && !s.Masks.empty();
    const std::size_t entry = core ? 3 : 4;
    const std::size_t headers = 14 + s.HeaderSize + (masksAfterHeader ? 12 : 0);
    const std::size_t offset = headers + s.Palette.size() * entry;
    Bytes b(offset, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 10, std::uint32_t(offset), 4);
    Put(b, 14, s.HeaderSize, 4);
    if (core) {
        Put(b, 18, std::uint32_t(s.Width), 2);
        Put(b, 20, std::uint32_t(s.Height), 2);
        Put(b, 22, 1, 2);
        Put(b, 24, s.BitCount, 2);
    } else {
        Put(b, 18, std::uint32_t(s.Width), 4);
        Put(b, 22, std::uint32_t(s.Height), 4);
        Put(b, 26, 1, 2);
        Put(b, 28, s.BitCount, 2);
        Put(b, 30, s.Compression, 4);
        Put(b, 46, s.ColorsUsed, 4);
        for (std::size_t i = 0; i < s.Masks.size(); ++i)
            Put(b, 54 + 4 * i, s.Masks[i], 4);
    }
    for (std::size_t i = 0; i < s.Palette.size(); ++i) {
        const std::size_t e = headers + i * entry;
        b[e] = std::uint8_t(s.Palette[i]);
        b[e + 1] = std::uint8_t(s.Palette[i] >> 8);
        b[e + 2] = std::uint8_t(s.Palette[i] >> 16);
    }
    for (const Bytes& row : s.Rows) {
        b.insert(b.end(), row.begin(), row.end());
        b.resize(b.size() + (4 - row.size() % 4) % 4, 0);
    }
    Put(b, 2, std::uint32_t(b.size()), 4);
    return b;
}

class BmpFileTest : public ::testing::Test {
protected:
    std::string Write(const Bytes& bytes, const std::string& name = "picture.bmp") {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    TFrameBitmap Load(const TBmpFields& fields) { return LoadBmpFile(Write(MakeBmp(fields))); }

    // The reason given for refusing the file; fails the test when the file is accepted.
    std::string Refusal(const Bytes& bytes) {
        const std::string path = Write(bytes, "bad.bmp");
        try {
            LoadBmpFile(path);
        } catch (const TPictureError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            return e.what();
        }
        ADD_FAILURE() << "file was accepted";
        return {};
    }

    TTempDir temp_;
    const fs::path dir_ = temp_.Path();
};

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return TFrameBitmap::MakePixel(r, g, b); }

TEST_F(BmpFileTest, SaveThenLoadKeepsColoursAndClearsTheFourthByte) {
    TFrameBitmap bmp(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            bmp.SetPixel(x, y, 0xAB000000u | Rgb(std::uint8_t(x * 50), std::uint8_t(y * 80), std::uint8_t(x + y)));
    const std::string path = (dir_ / "out.bmp").string();
    SaveBmpFile(bmp, path);

    std::ifstream in(path, std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 54u + 5 * 3 * 4);
    EXPECT_EQ(file[28], 32);                          // bits per pixel
    EXPECT_EQ(file[22], 3);                           // positive height: bottom-up
    // The first stored pixel is (0, 2), bytes blue, green, red, zero.
    EXPECT_EQ(file[54], 2);
    EXPECT_EQ(file[54 + 1], 160);
    EXPECT_EQ(file[54 + 2], 0);
    EXPECT_EQ(file[54 + 3], 0);

    const TFrameBitmap back = LoadBmpFile(path);
    ASSERT_EQ(back.Width(), 5);
    ASSERT_EQ(back.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(back.Pixel(x, y), bmp.Pixel(x, y) & 0xFFFFFFu) << x << "," << y;

    EXPECT_THROW(SaveBmpFile(TFrameBitmap(), (dir_ / "empty.bmp").string()), TPictureError);
    EXPECT_THROW(SaveBmpFile(bmp, (dir_ / "no-such-folder" / "x.bmp").string()), TPictureError);
}

TEST_F(BmpFileTest, PalettedDepthsWithPaddingAndShortColourTables) {
    // 1 bit, 10 pixels wide: two bytes of bits per row plus two bytes of padding.
    TBmpFields one{.Width = 10, .Height = 1, .BitCount = 1, .Palette = {Rgb(0, 0, 0), Rgb(255, 0, 0)},
                 .Rows = {{0b10110000, 0b01000000}}};
    one.ColorsUsed = 2;
    TFrameBitmap b = Load(one);
    const int bits[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(b.Pixel(x, 0), bits[x] ? Rgb(255, 0, 0) : 0u) << x;

    // 4 bits, a colour table of three entries; index 5 is beyond it and reads as black.
    TBmpFields four{.Width = 3, .Height = 2, .BitCount = 4, .ColorsUsed = 3,
                  .Palette = {Rgb(1, 2, 3), Rgb(4, 5, 6), Rgb(7, 8, 9)}, .Rows = {{0x12, 0x50}, {0x01, 0x20}}};
    b = Load(four);
    EXPECT_EQ(b.Pixel(0, 1), Rgb(4, 5, 6)); // first stored row is the bottom one
    EXPECT_EQ(b.Pixel(1, 1), Rgb(7, 8, 9));
    EXPECT_EQ(b.Pixel(2, 1), 0u);
    EXPECT_EQ(b.Pixel(0, 0), Rgb(1, 2, 3));
    EXPECT_EQ(b.Pixel(1, 0), Rgb(4, 5, 6));
    EXPECT_EQ(b.Pixel(2, 0), Rgb(7, 8, 9));

    // 8 bits with the full 256-entry table implied by a colour count of zero.
    TBmpFields eight{.Width = 2, .Height = 1, .BitCount = 8, .Rows = {{200, 7}}};
    for (int i = 0; i < 256; ++i)
        eight.Palette.push_back(Rgb(std::uint8_t(i), std::uint8_t(255 - i), 9));
    b = Load(eight);
    EXPECT_EQ(b.Pixel(0, 0), Rgb(200, 55, 9));
    EXPECT_EQ(b.Pixel(1, 0), Rgb(7, 248, 9));

    // Old-style core header: three-byte table entries, 16-bit sizes.
    TBmpFields core{.HeaderSize = 12, .Width = 2, .Height = 1, .BitCount = 1,
                  .Palette = {Rgb(10, 20, 30), Rgb(40, 50, 60)}, .Rows = {{0b01000000}}};
    b = Load(core);
    EXPECT_EQ(b.Pixel(0, 0), Rgb(10, 20, 30));
    EXPECT_EQ(b.Pixel(1, 0), Rgb(40, 50, 60));
}

TEST_F(BmpFileTest, DirectColourDepthsAndMasks) {
    // 16 bits 5-5-5: five-bit channels widen to eight bits with rounding (16/31 of 255 is 131.6).
    TBmpFields rgb555{.Width = 3, .Height = 1, .BitCount = 16, .Rows = {{0xFF, 0x7F, 0x00, 0x7C, 0x10, 0x00}}};
    TFrameBitmap b = Load(rgb555);
    EXPECT_EQ(b.Pixel(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(b.Pixel(1, 0), Rgb(255, 0, 0));
    EXPECT_EQ(b.Pixel(2, 0), Rgb(0, 0, 132));

    // 16 bits 5-6-5 with masks after a plain info header; one step of six-bit green is 255/63.
    TBmpFields rgb565{.Width = 3, .Height = 1, .BitCount = 16, .Compression = 3, .Masks = {0xF800, 0x07E0, 0x001F},
                    .Rows = {{0x00, 0xF8, 0xE0, 0x07, 0x20, 0x00}}};
    b = Load(rgb565);
    EXPECT_EQ(b.Pixel(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(b.Pixel(1, 0), Rgb(0, 255, 0));
    EXPECT_EQ(b.Pixel(2, 0), Rgb(0, 4, 0));

    // 24 bits with row padding, version 4 header.
    TBmpFields rgb24{.HeaderSize = 108, .Width = 2, .Height = 2, .BitCount = 24,
                   .Rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}};
    b = Load(rgb24);
    EXPECT_EQ(b.Pixel(0, 1), Rgb(3, 2, 1));
    EXPECT_EQ(b.Pixel(1, 1), Rgb(6, 5, 4));
    EXPECT_EQ(b.Pixel(1, 0), Rgb(12, 11, 10));

    // 32 bits plain: the fourth byte is not alpha and is dropped.
    TBmpFields rgb32{.Width = 1, .Height = 1, .BitCount = 32, .Rows = {{0x11, 0x22, 0x33, 0x99}}};
    EXPECT_EQ(Load(rgb32).Pixel(0, 0), Rgb(0x33, 0x22, 0x11));

    // 32 bits with masks inside a version 5 header, red in the lowest byte.
    TBmpFields masked{.HeaderSize = 124, .Width = 1, .Height = 1, .BitCount = 32, .Compression = 3,
                    .Masks = {0x000000FF, 0x0000FF00, 0x00FF0000}, .Rows = {{0x11, 0x22, 0x33, 0x44}}};
    EXPECT_EQ(Load(masked).Pixel(0, 0), Rgb(0x11, 0x22, 0x33));
}

TEST_F(BmpFileTest, NegativeHeightMeansTopDown) {
    TBmpFields bmp{.Width = 1, .Height = 3, .BitCount = 24, .Rows = {{0, 0, 1}, {0, 0, 2}, {0, 0, 3}}};
    const TFrameBitmap bottomUp = Load(bmp);
    bmp.Height = -3;
    const TFrameBitmap topDown = Load(bmp);
    ASSERT_EQ(topDown.Height(), 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(topDown.Pixel(0, y), Rgb(std::uint8_t(y + 1), 0, 0));
        EXPECT_EQ(bottomUp.Pixel(0, y), Rgb(std::uint8_t(3 - y), 0, 0));
    }
}

TEST_F(BmpFileTest, MalformedFilesAreRefusedWithTheirReason) {
    try {
        LoadBmpFile((dir_ / "missing.bmp").string());
        ADD_FAILURE();
    } catch (const TPictureError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.bmp"), std::string::npos);
    }
    const TBmpFields good{.Width = 4, .Height = 2, .BitCount = 8, .ColorsUsed = 2,
                        .Palette = {Rgb(0, 0, 0), Rgb(1, 1, 1)}, .Rows = {{0, 1, 0, 1}, {1, 0, 1, 0}}};
    const Bytes valid = MakeBmp(good);
    const auto with = [&](std::size_t at, std::uint32_t v, int n = 4) {
        Bytes b = valid;
        Put(b, at, v, n);
        return b;
    };
    try {
        LoadBmpFile(dir_.string());
        ADD_FAILURE();
    } catch (const TPictureError& e) {
        EXPECT_NE(std::string(e.what()).find("folder"), std::string::npos) << e.what();
    }
    EXPECT_NE(Refusal({}).find("empty"), std::string::npos);
    EXPECT_NE(Refusal(with(0, 'P' | ('K' << 8), 2)).find("BM"), std::string::npos);
    EXPECT_NE(Refusal(with(14, 0x7FFFFFF0)).find("header size"), std::string::npos);
    EXPECT_NE(Refusal(with(30, 1)).find("RLE"), std::string::npos);
    EXPECT_NE(Refusal(with(10, 5000)).find("beyond the end"), std::string::npos);
    EXPECT_NE(Refusal(with(10, 20)).find("inside the headers"), std::string::npos);
    EXPECT_NE(Refusal(with(46, 200)).find("colour table"), std::string::npos);
    EXPECT_NE(Refusal(with(28, 7, 2)).find("bit depth"), std::string::npos);
    EXPECT_NE(Refusal(with(18, 0)).find("size"), std::string::npos);
    // Absurd dimensions are refused before any pixel memory is taken.
    EXPECT_NE(Refusal(with(18, 0x7FFFFFFF)).find("too large"), std::string::npos);
    EXPECT_NE(Refusal(with(22, 0x80000000u)).find("too large"), std::string::npos);
    EXPECT_NE(Refusal(with(22, 1000)).find("truncated"), std::string::npos);
    Bytes cut(valid.begin(), valid.end() - 5);
    EXPECT_NE(Refusal(cut).find("truncated"), std::string::npos);
}

// Every truncation and many single-byte corruptions of valid files either decode or are
// refused with a picture error; run under the address sanitizer this also proves that no
// read goes past the file.
TEST_F(BmpFileTest, TruncatedAndCorruptedFilesNeverCrash) {
    std::vector<Bytes> samples;
    samples.push_back(MakeBmp({.Width = 5, .Height = 3, .BitCount = 4, .ColorsUsed = 4,
                               .Palette = {1, 2, 3, 4}, .Rows = {{0x12, 0x30, 0x01}, {0x23, 0x01, 0x02}, {0, 0, 0}}}));
    samples.push_back(MakeBmp({.Width = 3, .Height = -2, .BitCount = 16, .Compression = 3,
                               .Masks = {0xF800, 0x07E0, 0x001F}, .Rows = {Bytes(6, 0xA5), Bytes(6, 0x5A)}}));
    samples.push_back(MakeBmp({.HeaderSize = 12, .Width = 3, .Height = 2, .BitCount = 4,
                               .Palette = std::vector<std::uint32_t>(16, 0x123456), .Rows = {{0x12, 0x30}, {0x45, 0x60}}}));
    samples.push_back(MakeBmp({.HeaderSize = 124, .Width = 2, .Height = 2, .BitCount = 32, .Compression = 3,
                               .Masks = {0xFF0000, 0xFF00, 0xFF}, .Rows = {Bytes(8, 1), Bytes(8, 2)}}));
    int decoded = 0, refused = 0;
    const auto attempt = [&](const Bytes& bytes) {
        try {
            const TFrameBitmap b = DecodeBmp(bytes, "fuzz.bmp");
            EXPECT_FALSE(b.Empty());
            ++decoded;
        } catch (const TPictureError&) {
            ++refused;
        }
    };
    for (const Bytes& sample : samples) {
        for (std::size_t n = 0; n < sample.size(); ++n)
            attempt(Bytes(sample.begin(), sample.begin() + n));
        const std::size_t headerEnd = std::min<std::size_t>(sample.size(), 14 + 124 + 16);
        for (std::size_t at = 0; at < headerEnd; ++at)
            for (std::uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes b = sample;
                b[at] = v;
                attempt(b);
            }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
    // The same through a real file: a truncated one is refused, not half read.
    const Bytes& sample = samples.front();
    EXPECT_THROW(LoadBmpFile(Write(Bytes(sample.begin(), sample.end() - 3), "cut.bmp")), TPictureError);
}

} // namespace
