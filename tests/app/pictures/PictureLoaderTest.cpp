// Picture files into the frame: fit, colours, reduced JPEG decoding and broken files.

#include "app/pictures/PictureLoader.h"
#include "app/document/SlideshowDocument.h"
#include "app/clips/ClipFile.h"
#include "app/pictures/FileKind.h"
#include "effects/BmpFile.h"
#include "effects/Region.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <jpeglib.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
constexpr std::uint32_t Red = 0xE01010, Green = 0x10C020, Blue = 0x2020E0, White = 0xF0F0F0;

int ChannelDistance(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

std::vector<char> ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& name, const std::vector<char>& bytes) {
    std::ofstream(name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The message must name the file and carry a reason after it.
void ExpectPictureError(TPictureLoader& loader, const std::string& name, TFrameBitmap& frame,
                        const std::string& reason = "") {
    try {
        loader.Load(name, frame);
        ADD_FAILURE() << name << " loaded";
    } catch (const TPictureError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(name), std::string::npos) << text;
        EXPECT_GT(text.size(), name.size() + 20) << text;
        if (!reason.empty()) {
            EXPECT_NE(text.find(reason), std::string::npos) << text;
        }
    }
}

class PictureLoaderTest : public ::testing::Test {
protected:
    TTempDir dir;
    TPictureLoader loader;
};
} // namespace

TEST_F(PictureLoaderTest, QuadrantsLandInTheirCornersOfTheFrame) {
    const std::string name = dir.File("quadrants.jpg");
    WriteTestJpeg(name, 640, 480, [](int x, int y) { return x < 320 ? (y < 240 ? Red : Green) : (y < 240 ? Blue : White); });
    TFrameBitmap frame(320, 240);
    frame.Fill(0x123456);
    loader.Load(name, frame);
    EXPECT_EQ(loader.LastReduction(), 2);
    EXPECT_LE(ChannelDistance(frame.Pixel(80, 60), Red), 6);
    EXPECT_LE(ChannelDistance(frame.Pixel(80, 180), Green), 6);
    EXPECT_LE(ChannelDistance(frame.Pixel(240, 60), Blue), 6);
    EXPECT_LE(ChannelDistance(frame.Pixel(240, 180), White), 6);
    EXPECT_LE(ChannelDistance(frame.Pixel(0, 0), Red), 6);
    EXPECT_LE(ChannelDistance(frame.Pixel(319, 239), White), 6);
}

TEST_F(PictureLoaderTest, PortraitPictureIsCentredOnBlack) {
    const std::string name = dir.File("portrait.JPEG");
    WriteTestJpeg(name, 480, 640, [](int, int) { return White; }, 95, true); // grey photo
    TFrameBitmap frame(320, 240);
    frame.Fill(0x123456); // whatever was there before is replaced by black
    loader.Load(name, frame);
    for (int y : {0, 120, 239}) {
        EXPECT_EQ(frame.Pixel(0, y) & 0xFFFFFF, 0u);
        EXPECT_EQ(frame.Pixel(69, y) & 0xFFFFFF, 0u);
        EXPECT_LE(ChannelDistance(frame.Pixel(70, y), White), 4);
        EXPECT_LE(ChannelDistance(frame.Pixel(249, y), White), 4);
        EXPECT_EQ(frame.Pixel(250, y) & 0xFFFFFF, 0u);
        EXPECT_EQ(frame.Pixel(319, y) & 0xFFFFFF, 0u);
    }
}

// Triangle waves of two levels a pixel: red across, green down (period 256), blue constant.
std::uint32_t Waves(int x, int y) {
    auto wave = [](int v) { return static_cast<std::uint32_t>(v % 256 < 128 ? 2 * (v % 256) : 2 * (255 - v % 256)); };
    return wave(x) << 16 | wave(y) << 8 | 0x80;
}

// The reduced decode gives each 1/2, 1/4 or 1/8 pixel the mean of its block where the full decode
// samples one pixel of that block: the fit rectangle and the black margins are identical, the
// colours differ by the spread within a block. On these waves (measured: at most 5 levels apart,
// 2.7 on average) every channel must agree within 8 levels, and the worst channel of a pixel on
// average within 3.5; a picture shifted by one reduced pixel is off by 4.8 to 17.6 on average.
TEST_F(PictureLoaderTest, ReducedDecodingGivesTheSameFittedFrame) {
    struct Case { int pw, ph, fw, fh, reduction; TRect fit; };
    const Case cases[] = {
        {1600, 1000, 640, 480, 2, {0, 40, 640, 440}},
        {1280, 2048, 320, 240, 4, {85, 0, 235, 240}},
        {2560, 1920, 320, 240, 8, {0, 0, 320, 240}},
        {2600, 1700, 320, 240, 4, {0, 15, 320, 225}}, // 8 x 240 = 1920 rows are not there
        // Sides that are no multiple of the reduction: the reduced picture has 642 x 482 pixels.
        {1283, 963, 640, 480, 2, {0, 0, 640, 480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pw);
        const std::string name = dir.File("waves" + std::to_string(c.pw) + ".jpg");
        WriteTestJpeg(name, c.pw, c.ph, Waves);
        TFrameBitmap reduced(c.fw, c.fh), full(c.fw, c.fh);
        loader.Load(name, reduced);
        EXPECT_EQ(loader.LastReduction(), c.reduction);
        TPictureLoader fullLoader;
        fullLoader.ScaledDecoding = false;
        fullLoader.Load(name, full);
        EXPECT_EQ(fullLoader.LastReduction(), 1);

        long long sum = 0;
        int worst = 0;
        for (int y = 0; y < c.fh; ++y)
            for (int x = 0; x < c.fw; ++x) {
                const bool inside = x >= c.fit.Left && x < c.fit.Right && y >= c.fit.Top && y < c.fit.Bottom;
                if (!inside) {
                    ASSERT_EQ(reduced.Pixel(x, y) & 0xFFFFFF, 0u) << x << "," << y;
                    ASSERT_EQ(full.Pixel(x, y) & 0xFFFFFF, 0u) << x << "," << y;
                    continue;
                }
                ASSERT_GE(full.Pixel(x, y) & 0xFF, 0x70u) << "fit rectangle not filled at " << x << "," << y;
                const int d = ChannelDistance(reduced.Pixel(x, y), full.Pixel(x, y));
                worst = std::max(worst, d);
                sum += d;
            }
        const long long inside = static_cast<long long>(c.fit.Right - c.fit.Left) * (c.fit.Bottom - c.fit.Top);
        EXPECT_LE(worst, 8);
        EXPECT_LE(static_cast<double>(sum) / inside, 3.5);
    }
}

TEST_F(PictureLoaderTest, BitmapExtensionInAnyCaseGoesToTheBitmapReader) {
    EXPECT_TRUE(TPictureLoader::IsBitmapFileName("a.bmp"));
    EXPECT_TRUE(TPictureLoader::IsBitmapFileName("/x/y/A.BmP"));
    EXPECT_FALSE(TPictureLoader::IsBitmapFileName("a.bmp.jpg"));
    EXPECT_FALSE(TPictureLoader::IsBitmapFileName("/x.bmp/picture"));
    EXPECT_FALSE(TPictureLoader::IsBitmapFileName("bmp"));
    EXPECT_FALSE(TPictureLoader::IsBitmapFileName("a.bmpx"));

    // The first bytes decide over the name: a JPEG named .BMP is shown, a PNG signature goes to
    // the PNG reader (which finds this one cut short), anything else named .bmp to the bitmap
    // reader and named otherwise to the JPEG decoder.
    const std::string jpegAsBmp = dir.File("photo.BMP");
    WriteTestJpeg(jpegAsBmp, 16, 16, [](int, int) { return Red; });
    TFrameBitmap frame(32, 24);
    loader.Load(jpegAsBmp, frame);
    EXPECT_LE(ChannelDistance(frame.Pixel(16, 12), Red), 8);
    const std::string png = dir.File("picture.jpg");
    WriteAll(png, {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n', 0, 0, 0, 13});
    ExpectPictureError(loader, png, frame, "the picture data ends early");
    const std::string text = dir.File("notes.bmp");
    WriteAll(text, {'h', 'e', 'l', 'l', 'o'});
    ExpectPictureError(loader, text, frame, "too short to be a bitmap");
    const std::string other = dir.File("notes.png");
    WriteAll(other, {'h', 'e', 'l', 'l', 'o'});
    ExpectPictureError(loader, other, frame, "Not a JPEG file");
}

TEST_F(PictureLoaderTest, BitmapIsEnlargedPixelForPixelAndLetterboxed) {
    // 4 x 3 pixels, each its own colour, into 32 x 24: every pixel becomes an 8 x 8 block.
    TFrameBitmap picture(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            picture.SetPixel(x, y, TFrameBitmap::MakePixel(static_cast<std::uint8_t>(40 * x + 10), static_cast<std::uint8_t>(60 * y + 20), 0x99));
    const std::string name = dir.File("grid.Bmp");
    SaveBmpFile(picture, name);
    TFrameBitmap frame(32, 24);
    loader.Load(name, frame);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(frame.Pixel(x, y) & 0xFFFFFF, picture.Pixel(x / 8, y / 8) & 0xFFFFFF) << x << "," << y;

    // The same 4 x 3 picture in a 24 x 24 frame: 24 x 18 with three black rows above and below.
    TFrameBitmap square(24, 24);
    loader.Load(name, square);
    for (int x = 0; x < 24; ++x) {
        EXPECT_EQ(square.Pixel(x, 2) & 0xFFFFFF, 0u);
        EXPECT_EQ(square.Pixel(x, 3) & 0xFFFFFF, picture.Pixel(x / 6, 0) & 0xFFFFFF);
        EXPECT_EQ(square.Pixel(x, 20) & 0xFFFFFF, picture.Pixel(x / 6, 2) & 0xFFFFFF);
        EXPECT_EQ(square.Pixel(x, 21) & 0xFFFFFF, 0u);
    }
}

// A CMYK JPEG as print software writes it: an Adobe marker and inverted ink values.
void WriteAdobeCmykJpeg(const std::string& name, int width, int height, const std::uint8_t inverted[4]) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x)
        std::copy(inverted, inverted + 4, row.begin() + 4 * x);
    for (int y = 0; y < height; ++y) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

TEST_F(PictureLoaderTest, CmykPhotoShowsItsColours) {
    // Full magenta and yellow ink, no cyan, no black: red. Stored inverted: 255, 0, 0, 255.
    const std::uint8_t red[4] = {255, 0, 0, 255};
    const std::string name = dir.File("print.jpg");
    WriteAdobeCmykJpeg(name, 32, 24, red);
    TFrameBitmap frame(32, 24);
    loader.Load(name, frame);
    EXPECT_LE(ChannelDistance(frame.Pixel(16, 12), 0xFF0000), 6);
}

TEST_F(PictureLoaderTest, UnreadableFilesRaiseErrorsNamingTheFile) {
    TFrameBitmap frame(64, 48);
    ExpectPictureError(loader, dir.File("missing.jpg"), frame, "No such file");
    ExpectPictureError(loader, dir.Path().string(), frame); // a folder
    const std::string empty = dir.File("empty.jpg");
    WriteAll(empty, {});
    ExpectPictureError(loader, empty, frame);

    const std::string good = dir.File("good.jpg");
    WriteTestJpeg(good, 200, 150, [](int x, int y) { return (x * 7 + y * 13) & 0xFFFFFF; }, 90);
    const std::vector<char> bytes = ReadAll(good);
    for (std::size_t cut : {std::size_t(2), std::size_t(100), bytes.size() / 2, bytes.size() - 10}) {
        const std::string truncated = dir.File("cut" + std::to_string(cut) + ".jpg");
        WriteAll(truncated, std::vector<char>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
        ExpectPictureError(loader, truncated, frame);
    }
}

// Runs call, which must come back at once; when it blocks on the pipe (a reader waiting in open),
// a writer that opens and closes the pipe lets it go, and the test fails instead of hanging.
template <class F> void ExpectQuickly(const std::string& fifo, F call, const char* what) {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << what << " blocked on the named pipe";
        for (int i = 0; i < 100 && done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready; ++i)
            if (int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
                ::close(fd);
    }
    done.get();
}

TEST_F(PictureLoaderTest, NamesThatAreNoRegularFilesAreRefusedWithoutOpeningThem) {
    const std::string fifo = dir.File("p.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketName = dir.File("s.jpg");
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketName.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketName.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string good = dir.File("good.jpg");
    WriteTestJpeg(good, 16, 12, [](int, int) { return 0x808080u; });

    EXPECT_EQ(NotAFileKind(fifo), "a named pipe");
    EXPECT_EQ(NotAFileKind(socketName), "a socket");
    EXPECT_EQ(NotAFileKind("/dev/null"), "a character device");
    EXPECT_EQ(NotAFileKind(dir.Path().string()), "a folder");
    EXPECT_EQ(NotAFileKind(good), "");
    EXPECT_EQ(NotAFileKind(dir.File("missing.jpg")), ""); // missing is told elsewhere
    EXPECT_EQ(NotAFileText(fifo), "\"" + fifo + "\" is a named pipe, not a file");

    TSlideshowData data;
    for (const std::string& picture : {good, fifo, dir.File("missing.jpg"), socketName})
        data.Slides.push_back(PlainSlide(picture));
    data.Soundtracks.push_back(TSoundtrack{"/dev/zero"});
    EXPECT_EQ(NotAFileProblems(data), "slide 2: \"" + fifo + "\" is a named pipe, not a file\nslide 4: \"" + socketName +
                                          "\" is a socket, not a file\nsoundtrack 1: \"/dev/zero\" is a character device, not a file");

    // Neither the picture reader nor the clip sniffing waits for a writer to come.
    TFrameBitmap frame(64, 48);
    ExpectQuickly(fifo, [&] { ExpectPictureError(loader, fifo, frame, "is a named pipe, not a file"); }, "the picture reader");
    ExpectQuickly(fifo, [&] { EXPECT_FALSE(IsClipFile(fifo)); }, "telling clips from pictures");
    const std::string clipFifo = dir.File("c.mp4");
    ASSERT_EQ(::mkfifo(clipFifo.c_str(), 0600), 0);
    ExpectQuickly(clipFifo, [&] {
        TClipInfo info;
        std::string why;
        EXPECT_FALSE(ProbeClip(clipFifo, info, why));
        EXPECT_NE(why.find(clipFifo + "\": it is a named pipe, not a file"), std::string::npos) << why;
    }, "the clip probe");
    ExpectPictureError(loader, "/dev/zero", frame, "is a character device, not a file");
    ::close(sock);
}

// Damaged bytes anywhere in the file: either a picture or a TPictureError, never a crash or a
// read out of bounds (run under the sanitizer build to see the latter).
TEST_F(PictureLoaderTest, CorruptBytesNeverCrash) {
    const std::string good = dir.File("good.jpg");
    WriteTestJpeg(good, 96, 64, [](int x, int y) { return (x * 3) << 16 | (y * 4) << 8 | 0x40; }, 80);
    const std::vector<char> bytes = ReadAll(good);
    const std::string bad = dir.File("bad.jpg");
    TFrameBitmap frame(48, 32);
    int refused = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 11) {
        for (char value : {'\x00', '\xFF', '\x7F'}) {
            std::vector<char> damaged = bytes;
            damaged[at] = value;
            WriteAll(bad, damaged);
            try {
                loader.Load(bad, frame);
            } catch (const TPictureError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
}
