// A few hundred damaged versions of BMP, JPEG and PNG files, made here: each one is a picture
// or an error naming the file; never a crash (the sanitizer build runs this too), never grey
// filler for data that was not there, and the whole run stays within the picture memory limit.
// Its own test program, so that the peak memory measured is the fuzzing's own.

#include "app/pictures/PictureLimits.h"
#include "app/pictures/PictureLoader.h"
#include "effects/BmpFile.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestPng.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {
using TBytes = std::vector<std::uint8_t>;

TBytes ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& name, const TBytes& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Colours that are never neutral grey: blue stays at 0x40.
std::uint32_t Colour(int x, int y) { return std::uint32_t(x * 3 & 0xFF) << 16 | std::uint32_t(y * 5 & 0xFF) << 8 | 0x40; }

void Put(TBytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

// A bottom-up bitmap of 24 bits, or of 8 bits with a grey-free colour table.
TBytes MakeBmp(int width, int height, int bits) {
    const std::uint32_t palette = bits == 8 ? 256 * 4 : 0;
    const std::uint32_t stride = (std::uint32_t(width) * bits / 8 + 3) / 4 * 4;
    const std::uint32_t offset = 54 + palette;
    TBytes b(offset + stride * std::uint32_t(height), 0);
    b[0] = 'B', b[1] = 'M';
    Put(b, 2, std::uint32_t(b.size()), 4);
    Put(b, 10, offset, 4);
    Put(b, 14, 40, 4);
    Put(b, 18, std::uint32_t(width), 4);
    Put(b, 22, std::uint32_t(height), 4);
    Put(b, 26, 1, 2);
    Put(b, 28, std::uint32_t(bits), 2);
    for (std::uint32_t i = 0; i < palette / 4; ++i)
        Put(b, 54 + 4 * i, Colour(int(i), int(i)), 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t at = offset + std::size_t(height - 1 - y) * stride;
            if (bits == 8)
                b[at + std::size_t(x)] = std::uint8_t(x + y);
            else
                Put(b, at + 3 * std::size_t(x), Colour(x, y), 3);
        }
    return b;
}

// Where a format keeps its picture size, for mutants that claim other sizes.
struct TSource {
    std::string Extension;
    TBytes Bytes;
    std::size_t WidthAt, HeightAt;
    int SizeBytes;
    bool BigEndian;
};

std::size_t JpegSof(const TBytes& b) {
    for (std::size_t i = 2; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2))
            return i;
    return 0;
}

// The frame shows libjpeg's filler for missing data: rows of exactly 0x808080.
bool HasGreyRows(const TFrameBitmap& frame) {
    int run = 0;
    for (int y = 0; y < frame.Height(); ++y) {
        int grey = 0, shown = 0;
        for (int x = 0; x < frame.Width(); ++x) {
            const std::uint32_t p = frame.Pixel(x, y) & 0xFFFFFF;
            shown += p != 0;
            grey += p == 0x808080;
        }
        run = shown > 0 && grey == shown ? run + 1 : 0;
        if (run >= 2)
            return true;
    }
    return false;
}
} // namespace

TEST(PictureFuzz, DamagedPicturesAreShownOrRefusedNamingTheFile) {
    TTempDir dir;
    std::vector<TSource> sources;
    sources.push_back({".bmp", MakeBmp(96, 72, 24), 18, 22, 4, false});
    sources.push_back({".bmp", MakeBmp(90, 60, 8), 18, 22, 4, false});
    for (bool progressive : {false, true}) {
        const std::string name = dir.File("source.jpg");
        WriteTestJpeg(name, 96, 72, Colour, TTestJpegOptions{85, progressive, 0});
        TBytes b = ReadAll(name);
        const std::size_t sof = JpegSof(b);
        ASSERT_NE(sof, 0u);
        sources.push_back({".jpg", b, sof + 7, sof + 5, 2, true});
    }
    {
        const std::string name = dir.File("source.png");
        WriteTestPng(name, 96, 72, [](int x, int y) { return 0xFF000000u | Colour(x, y); });
        sources.push_back({".png", ReadAll(name), 16, 20, 4, true});
    }

    std::mt19937 random(20261208);
    auto below = [&](std::size_t n) { return std::size_t(random() % std::max<std::size_t>(n, 1)); };
    const std::uint32_t claims[] = {0, 1, 11585, 13300, 65500, 65535, 100000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
    TPictureLoader loader;
    TFrameBitmap frame(64, 48);
    int shown = 0, refused = 0, mutants = 0;
    for (const TSource& source : sources) {
        for (int m = 0; m < 90; ++m, ++mutants) {
            TBytes b = source.Bytes;
            switch (m % 5) {
            case 0: // a few bytes anywhere
            case 1:
                for (int k = 0, n = 1 + int(below(4)); k < n; ++k)
                    b[below(b.size())] = std::uint8_t(random());
                break;
            case 2: // cut short
                b.resize(below(b.size()));
                break;
            case 3: { // a claimed size the data does not hold
                const std::uint32_t w = claims[below(std::size(claims))], h = claims[below(std::size(claims))];
                for (int i = 0; i < source.SizeBytes; ++i) {
                    const int shift = 8 * (source.BigEndian ? source.SizeBytes - 1 - i : i);
                    b[source.WidthAt + std::size_t(i)] = std::uint8_t(w >> shift);
                    b[source.HeightAt + std::size_t(i)] = std::uint8_t(h >> shift);
                }
                break;
            }
            default: // bytes inserted in the middle
                b.insert(b.begin() + long(below(b.size())), 1 + below(16), std::uint8_t(random()));
                break;
            }
            const std::string name = dir.File("mutant" + std::to_string(mutants) + source.Extension);
            WriteAll(name, b);
            SCOPED_TRACE(name);
            try {
                loader.Load(name, frame);
                ++shown;
                EXPECT_FALSE(HasGreyRows(frame)) << "grey filler";
            } catch (const TPictureError& e) {
                ++refused;
                EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            } catch (const std::exception& e) {
                ADD_FAILURE() << "not a picture error: " << e.what();
            }
            std::filesystem::remove(name);
        }
    }
    EXPECT_GE(mutants, 400);
    EXPECT_GT(shown, 20);
    EXPECT_GT(refused, 100);

    // The pictures may take the limit; the rest is the test program. The sanitizer build
    // keeps freed memory aside for a while (up to 256 MB), which counts here too.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(std::int64_t(usage.ru_maxrss) * 1024, MaxPictureBytes + (std::int64_t(384) << 20))
        << "peak " << usage.ru_maxrss / 1024 << " MB";
}
