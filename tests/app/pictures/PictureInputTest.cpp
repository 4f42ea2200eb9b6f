// Pictures as people have them: damaged JPEG files, pictures that would take too much memory,
// turned photos, PNG files with transparency, folders given as pictures.

#include "app/pictures/PictureLoader.h"
#include "effects/BmpFile.h"
#include "medialib/FFLog.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestPng.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

namespace {
constexpr std::uint32_t Red = 0xE01010, Green = 0x10C020, Blue = 0x2020E0, White = 0xF0F0F0;

int ChannelDistance(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

std::vector<std::uint8_t> ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Offset of the first marker 0xFF code in a JPEG file.
std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t code) {
    for (std::size_t i = 2; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == code)
            return i;
    return std::string::npos;
}

// The first byte of entropy-coded data after the first scan header.
std::size_t ScanData(const std::vector<std::uint8_t>& bytes) {
    const std::size_t sos = FindMarker(bytes, 0xDA);
    return sos + 2 + (std::size_t(bytes[sos + 2]) << 8 | bytes[sos + 3]);
}

void SetJpegSize(std::vector<std::uint8_t>& bytes, std::uint8_t sof, int width, int height) {
    const std::size_t at = FindMarker(bytes, sof);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 5] = std::uint8_t(height >> 8), bytes[at + 6] = std::uint8_t(height);
    bytes[at + 7] = std::uint8_t(width >> 8), bytes[at + 8] = std::uint8_t(width);
}

std::string LoadError(TPictureLoader& loader, const std::string& name, TFrameBitmap& frame) {
    try {
        loader.Load(name, frame);
    } catch (const TPictureError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(name), std::string::npos) << text;
        return text;
    }
    return "";
}

std::uint32_t Quadrants(int x, int y, int width, int height) {
    const bool right = x >= width / 2, bottom = y >= height / 2;
    return bottom ? (right ? White : Blue) : (right ? Green : Red);
}

// Log lines while it lives.
class TLogLines {
public:
    TLogLines() : level_(GetFFLogger().LogLevel()) {
        GetFFLogger().SetLogLevel(llWarning);
        GetFFLogger().SetTriggerEventInMainThread(false);
        GetFFLogger().SetOnLog([this](void*, TThreadID, TLogLevel, const std::string& msg) {
            std::lock_guard guard(lock_);
            lines_ += msg + "\n";
        });
    }
    ~TLogLines() {
        GetFFLogger().SetOnLog(nullptr);
        GetFFLogger().SetLogLevel(level_);
    }
    std::string Text() {
        std::lock_guard guard(lock_);
        return lines_;
    }

private:
    TLogLevel level_;
    std::mutex lock_;
    std::string lines_;
};

class PictureInputTest : public ::testing::Test {
protected:
    TTempDir dir;
    TPictureLoader loader;
    TFrameBitmap frame{64, 48};
};
} // namespace

TEST_F(PictureInputTest, DamagedJpegDataIsAnErrorNotAGreyPicture) {
    const std::string good = dir.File("good.jpg");
    WriteTestJpeg(good, 160, 120, [](int x, int y) { return std::uint32_t(x * 3) << 16 | std::uint32_t(y * 2) << 8 | 0x40; }, 90);
    const std::vector<std::uint8_t> bytes = ReadAll(good);
    const std::size_t data = ScanData(bytes);
    ASSERT_LT(data + 200, bytes.size());
    loader.Load(good, frame);

    // The data ends early, with and without the end marker after it; the frame samples only
    // the picture's top rows, so the damage is found only when every row is read.
    const std::size_t cut = bytes.size() - (bytes.size() - data) / 5;
    std::vector<std::uint8_t> ends(bytes.begin(), bytes.begin() + long(cut));
    WriteAll(dir.File("ends.jpg"), ends);
    EXPECT_NE(LoadError(loader, dir.File("ends.jpg"), frame), "");
    ends.push_back(0xFF), ends.push_back(0xD9);
    WriteAll(dir.File("marked.jpg"), ends);
    EXPECT_NE(LoadError(loader, dir.File("marked.jpg"), frame).find("premature end of data segment"), std::string::npos);

    // Entropy codes no table holds: all one bits (0xFF followed by its stuffing zero).
    std::vector<std::uint8_t> codes = bytes;
    for (std::size_t i = data + 40; i < data + 140; i += 2)
        codes[i] = 0xFF, codes[i + 1] = 0x00;
    WriteAll(dir.File("codes.jpg"), codes);
    EXPECT_NE(LoadError(loader, dir.File("codes.jpg"), frame), "");

    // A size the data does not fill: twice the rows it holds.
    std::vector<std::uint8_t> tall = bytes;
    SetJpegSize(tall, 0xC0, 160, 240);
    WriteAll(dir.File("tall.jpg"), tall);
    EXPECT_NE(LoadError(loader, dir.File("tall.jpg"), frame), "");
}

TEST_F(PictureInputTest, HarmlessCameraWarningIsLoggedAndThePictureShown) {
    const std::string good = dir.File("good.jpg");
    WriteTestJpeg(good, 64, 48, [](int, int) { return Red; }, 90);
    std::vector<std::uint8_t> bytes = ReadAll(good);
    // Bytes between the data and the end marker, as some cameras write them.
    bytes.insert(bytes.end() - 2, 40, 0x5A);
    const std::string camera = dir.File("camera.jpg");
    WriteAll(camera, bytes);
    TLogLines log;
    loader.Load(camera, frame);
    EXPECT_LE(ChannelDistance(frame.Pixel(32, 24), Red), 8);
    EXPECT_NE(log.Text().find("extraneous bytes before marker"), std::string::npos) << "log:" << log.Text();
    EXPECT_NE(log.Text().find(camera), std::string::npos) << log.Text();
}

TEST_F(PictureInputTest, PicturesBeyondTheMemoryLimitAreRefusedWithTheirSize) {
    // A tiny progressive file claiming 13300 x 13300 pixels without colour subsampling: its
    // coefficients alone would take about a gigabyte.
    const std::string small = dir.File("small.jpg");
    WriteTestJpeg(small, 64, 48, [](int x, int) { return x < 32 ? Red : Blue; }, TTestJpegOptions{90, true, 0});
    std::vector<std::uint8_t> bytes = ReadAll(small);
    SetJpegSize(bytes, 0xC2, 13300, 13300);
    bytes[FindMarker(bytes, 0xC2) + 11] = 0x11; // the first component's sampling: 1 x 1
    const std::string huge = dir.File("huge.jpg");
    WriteAll(huge, bytes);
    const std::string text = LoadError(loader, huge, frame);
    EXPECT_NE(text.find("too large (13300 x 13300"), std::string::npos) << text;
    EXPECT_NE(text.find("would take 1013 MB, at most 512 MB"), std::string::npos) << text;

    // A progressive picture within the limit still shows.
    const std::string fine = dir.File("fine.jpg");
    WriteTestJpeg(fine, 640, 480, [](int x, int) { return x < 320 ? Red : Blue; }, TTestJpegOptions{90, true, 0});
    loader.Load(fine, frame);
    EXPECT_LE(ChannelDistance(frame.Pixel(10, 24), Red), 8);
    EXPECT_LE(ChannelDistance(frame.Pixel(54, 24), Blue), 8);
}

TEST_F(PictureInputTest, LargestBitmapIsReadRowByRow) {
    // A 24-bit bitmap of 11585 x 11585 pixels (the reader's limit, 384 MB of pixel data) as a
    // sparse file: the rows the frame needs are read, the file is never held whole.
    const int side = 11585;
    const std::uint32_t stride = (side * 3 + 3) / 4 * 4;
    const std::uint64_t size = 54 + std::uint64_t(stride) * side;
    std::vector<std::uint8_t> header(54, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = std::uint8_t(v >> (8 * i));
    };
    header[0] = 'B', header[1] = 'M';
    put32(2, std::uint32_t(size));
    put32(10, 54);
    put32(14, 40);
    put32(18, side);
    put32(22, side);
    header[26] = 1;
    header[28] = 24;
    const std::string name = dir.File("large.bmp");
    WriteAll(name, header);
    ASSERT_EQ(truncate(name.c_str(), off_t(size)), 0);

    // In a child process, whose peak memory is its own.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFrameBitmap small(640, 480);
        int status = 0;
        try {
            TPictureLoader().Load(name, small);
        } catch (...) {
            status = 2;
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        _exit(status ? status : usage.ru_maxrss > 200 * 1024 ? 3 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: refused, 3: took more than 200 MB";
}

TEST_F(PictureInputTest, TurnedPhotosComeOutUpright) {
    // Stored landscape, 2:1, quadrants red, green / blue, white. Per orientation: the colours
    // of the upright picture's corners, top left, top right, bottom left, bottom right.
    const struct {
        int Orientation;
        std::uint32_t Corners[4];
    } cases[] = {
        {1, {Red, Green, Blue, White}}, {2, {Green, Red, White, Blue}}, {3, {White, Blue, Green, Red}},
        {4, {Blue, White, Red, Green}}, {5, {Red, Blue, Green, White}}, {6, {Blue, Red, White, Green}},
        {7, {White, Green, Blue, Red}}, {8, {Green, White, Red, Blue}},
    };
    for (const auto& c : cases) {
        // Small: decoded at full size; large: decoded at an eighth of it.
        for (int width : {64, 1024}) {
            SCOPED_TRACE("orientation " + std::to_string(c.Orientation) + " width " + std::to_string(width));
            const int height = width / 2;
            const std::string name = dir.File("turned.jpg");
            WriteTestJpeg(name, width, height, [&](int x, int y) { return Quadrants(x, y, width, height); },
                          TTestJpegOptions{95, false, c.Orientation});
            loader.Load(name, frame);
            const bool portrait = c.Orientation >= 5;
            // Portrait 1:2 into 64 x 48: 24 x 48 in the middle, black beside it.
            // Landscape 2:1: 64 x 32 with eight black rows above and below.
            const int left = portrait ? 20 : 0, top = portrait ? 0 : 8;
            const int w = portrait ? 24 : 64, h = portrait ? 48 : 32;
            const int xs[2] = {left + w / 4, left + 3 * w / 4}, ys[2] = {top + h / 4, top + 3 * h / 4};
            for (int k = 0; k < 4; ++k)
                EXPECT_LE(ChannelDistance(frame.Pixel(xs[k % 2], ys[k / 2]), c.Corners[k]), 10) << "corner " << k;
            if (portrait) {
                EXPECT_EQ(frame.Pixel(left - 2, 24) & 0xFFFFFF, 0u);
                EXPECT_EQ(frame.Pixel(left + w + 1, 24) & 0xFFFFFF, 0u);
            } else {
                EXPECT_EQ(frame.Pixel(32, top - 2) & 0xFFFFFF, 0u);
                EXPECT_EQ(frame.Pixel(32, top + h + 1) & 0xFFFFFF, 0u);
            }
            if (width > 64) {
                EXPECT_EQ(loader.LastReduction(), 8);
            }
        }
    }
}

TEST_F(PictureInputTest, PngPicturesAreFittedAndShownOverBlack) {
    // Opaque red at the left, half transparent white at the right, fully transparent stripe at
    // the bottom; interlaced or not.
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "plain");
        const std::string name = dir.File("alpha.png");
        WriteTestPng(name, 32, 24, [](int x, int y) -> std::uint32_t {
            if (y >= 20)
                return 0x00FFFFFF;
            return x < 16 ? 0xFF000000u | Red : 0x80FFFFFFu;
        }, interlaced);
        TFrameBitmap wide(64, 32); // 4:3 into 2:1: 42 or 43 columns in the middle
        loader.Load(name, wide);
        EXPECT_EQ(wide.Pixel(5, 16) & 0xFFFFFF, 0u);
        EXPECT_LE(ChannelDistance(wide.Pixel(20, 10), Red), 1);
        EXPECT_LE(ChannelDistance(wide.Pixel(44, 10), 0x808080), 1);
        EXPECT_EQ(wide.Pixel(32, 30) & 0xFFFFFF, 0u);
    }

    // A damaged or cut PNG is an error naming the file.
    const std::string good = dir.File("good.png");
    WriteTestPng(good, 40, 30, [](int x, int y) { return 0xFF000000u | std::uint32_t(x * 6) << 16 | std::uint32_t(y * 8); });
    const std::vector<std::uint8_t> bytes = ReadAll(good);
    WriteAll(dir.File("cut.png"), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
    EXPECT_NE(LoadError(loader, dir.File("cut.png"), frame).find("ends early"), std::string::npos);
    std::vector<std::uint8_t> damaged = bytes;
    damaged[bytes.size() / 2] ^= 0x55; // inside the image data: its checksum no longer holds
    WriteAll(dir.File("damaged.png"), damaged);
    EXPECT_NE(LoadError(loader, dir.File("damaged.png"), frame), "");
}

TEST_F(PictureInputTest, FolderIsNamedAsAFolder) {
    const std::string folder = dir.File("photos.jpg");
    std::filesystem::create_directory(folder);
    EXPECT_NE(LoadError(loader, folder, frame).find("is a folder"), std::string::npos);
    std::filesystem::create_directory(dir.File("old.bmp"));
    EXPECT_NE(LoadError(loader, dir.File("old.bmp"), frame).find("is a folder"), std::string::npos);
}
