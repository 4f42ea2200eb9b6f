// Video clip files: telling them from pictures, what is read from them, the errors that name
// them, and the decoder that runs ahead (rate conversion by timestamps, rotation, bounds, stops).

#include "app/clips/ClipDecoder.h"
#include "app/clips/ClipFile.h"
#include "app/clips/ClipPicture.h"
#include "app/clips/ClipSource.h"
#include "effects/BmpFile.h"
#include "medialib/FFLoad.h"
#include "medialib/FFLog.h"
#include "medialib/MainThread.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {
class Clip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        dir_ = new TTempDir;
        std::string error;
        ASSERT_TRUE(MakeTestClip(Counter(), TTestClip{}, error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string Counter() { return dir_->File("counter.mp4"); }
    static std::string File(const std::string& name) { return dir_->File(name); }
    static TTempDir* dir_;
};
TTempDir* Clip::dir_ = nullptr;

TClipPlayback Playback(const std::string& file, double duration, int width = 320, int height = 240) {
    TClipPlayback p;
    p.File = file;
    p.Duration = duration;
    p.FrameWidth = width;
    p.FrameHeight = height;
    return p;
}

std::string ProbeError(const std::string& file) {
    TClipInfo info;
    std::string why;
    EXPECT_FALSE(ProbeClip(file, info, why)) << file;
    return why;
}
} // namespace

TEST_F(Clip, ClipsAreToldFromPicturesByContentBeforeTheirNames) {
    WriteTestJpeg(File("photo.mp4"), 16, 16, [](int, int) { return 0x808080u; });
    std::filesystem::copy_file(Counter(), File("clip.jpg"), std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(IsClipFile(File("photo.mp4")));
    EXPECT_TRUE(IsClipFile(File("clip.jpg")));
    EXPECT_TRUE(IsClipFile(Counter()));
    // A still image in an ISO media box is a picture, not a clip.
    {
        std::ofstream heic(File("still.mov"), std::ios::binary);
        heic.write("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24);
    }
    EXPECT_FALSE(IsClipFile(File("still.mov")));
    // Unknown content or no file: the extension, in any case.
    EXPECT_TRUE(IsClipFile(File("missing.MOV")));
    EXPECT_TRUE(IsClipFile(File("missing.webm")));
    EXPECT_FALSE(IsClipFile(File("missing.jpeg")));
    EXPECT_FALSE(IsClipFile(File("missing")));
}

TEST_F(Clip, ProbeReadsLengthSizeSoundAndTurn) {
    const TClipInfo info = ProbeClip(Counter());
    EXPECT_NEAR(info.Duration, 3.0, 0.05);
    EXPECT_EQ(info.Width, 320);
    EXPECT_EQ(info.Height, 240);
    EXPECT_EQ(info.Rotation, 0);
    EXPECT_TRUE(info.HasAudio);
    EXPECT_EQ(info.Codec, "h264");

    std::string error;
    TTestClip turned;
    turned.Width = 64;
    turned.Height = 32;
    turned.Seconds = 0.5;
    turned.Tone = false;
    turned.Rotate = 90;
    ASSERT_TRUE(MakeTestClip(File("turned.mp4"), turned, error)) << error;
    const TClipInfo t = ProbeClip(File("turned.mp4"));
    EXPECT_TRUE(t.Rotation == 90 || t.Rotation == 270) << t.Rotation; // the sense: TurnedClipsComeOutUpright
    EXPECT_EQ(t.Width, 32);
    EXPECT_EQ(t.Height, 64);
    EXPECT_FALSE(t.HasAudio);
}

TEST_F(Clip, DisplayMatrixTurnsAreClockwiseQuarters) {
    EXPECT_EQ(RotationOfDisplayMatrix(nullptr), 0);
    // A matrix that turns counter-clockwise by 90 degrees needs a clockwise turn of 270 to
    // come upright, and the other way round.
    const std::int32_t ccw90[9] = {0, 1 << 16, 0, -(1 << 16), 0, 0, 0, 0, 1 << 30};
    const std::int32_t cw90[9] = {0, -(1 << 16), 0, 1 << 16, 0, 0, 0, 0, 1 << 30};
    const std::int32_t half[9] = {-(1 << 16), 0, 0, 0, -(1 << 16), 0, 0, 0, 1 << 30};
    EXPECT_EQ(RotationOfDisplayMatrix(ccw90) + RotationOfDisplayMatrix(cw90), 360);
    EXPECT_EQ(RotationOfDisplayMatrix(half), 180);
}

TEST_F(Clip, UnplayableClipsAreNamedWithTheirReason) {
    std::string error;
    // Sound only.
    ASSERT_TRUE(RunShell("ffmpeg -v error -f lavfi -i sine=duration=1 -c:a aac -y '" + File("sound.mp4") + "'").Status == 0);
    std::string why = ProbeError(File("sound.mp4"));
    EXPECT_NE(why.find(File("sound.mp4")), std::string::npos) << why;
    EXPECT_NE(why.find("no video stream"), std::string::npos) << why;

    // A codec tag nothing decodes.
    TTestClip odd;
    odd.Seconds = 0.5;
    odd.Tone = false;
    odd.Codec = "mpeg4";
    odd.Extra = "-vtag XVID";
    ASSERT_TRUE(MakeTestClip(File("odd.avi"), odd, error)) << error;
    {
        std::ifstream in(File("odd.avi"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::size_t p = bytes.find("XVID"); p != std::string::npos; p = bytes.find("XVID", p))
            bytes.replace(p, 4, "ZQ42");
        std::ofstream(File("odd.avi"), std::ios::binary) << bytes;
    }
    why = ProbeError(File("odd.avi"));
    EXPECT_NE(why.find(File("odd.avi")), std::string::npos) << why;
    EXPECT_NE(why.find("ZQ42"), std::string::npos) << why;

    // Cut short: with the index at the end it is lost; with it in front it points past the end.
    for (const char* flags : {"", "-movflags +faststart"}) {
        TTestClip cut;
        cut.Extra = flags;
        const std::string whole = File("whole.mp4"), part = File(std::string("cut") + (*flags ? "-fast" : "") + ".mp4");
        ASSERT_TRUE(MakeTestClip(whole, cut, error)) << error;
        std::filesystem::copy_file(whole, part, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(part, std::filesystem::file_size(whole) / 2);
        why = ProbeError(part);
        EXPECT_NE(why.find(part), std::string::npos) << why;
    }

    // Not a clip at all, and no file.
    {
        std::ofstream noise(File("noise.mkv"), std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            noise.put(char(i * 7919 % 251));
    }
    EXPECT_NE(ProbeError(File("noise.mkv")).find(File("noise.mkv")), std::string::npos);
    EXPECT_NE(ProbeError(File("none.mp4")).find("no such file"), std::string::npos);
    EXPECT_THROW(ProbeClip(File("none.mp4")), TPictureError);
}

TEST_F(Clip, PicturesFollowTheirTimestampsAtAnotherRate) {
    // 30 pictures a second shown at 25 frames a second: frame h shows picture floor(h * 30 / 25),
    // the one whose time span covers the frame's time.
    TClipDecoder decoder(Playback(Counter(), 3.0));
    TFrameBitmap frame;
    int previous = -1;
    for (int h = 0; h < 75; ++h) {
        decoder.ShowAt(h / 25.0, frame);
        ASSERT_EQ(frame.Width(), 320);
        const int counter = ReadClipCounter(frame, 0, 0, 320, 240);
        EXPECT_EQ(counter, int(std::floor(h * 30.0 / 25 + 1e-9))) << "frame " << h;
        EXPECT_GE(counter, previous);
        previous = counter;
    }
    // Past the end the last picture stays; a time before the one shown last shows it again.
    decoder.ShowAt(5.0, frame);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 320, 240), 89);
    decoder.ShowAt(0.0, frame);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 320, 240), 89);
}

TEST_F(Clip, InPointStartsAtThePictureCoveringIt) {
    TClipPlayback p = Playback(Counter(), 1.0);
    p.In = 1.25; // between pictures 37 (1.2333 s) and 38 (1.2667 s)
    TClipDecoder decoder(p);
    TFrameBitmap frame;
    decoder.ShowAt(0, frame);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 320, 240), 37);
    decoder.ShowAt(0.5, frame);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 320, 240), 52);
}

TEST_F(Clip, QueueStaysBoundedAndHoldsFrameSizePictures) {
    TClipPlayback p = Playback(Counter(), 3.0, 160, 120);
    p.QueueFrames = 4;
    TClipDecoder decoder(p);
    decoder.Start();
    // The decoder fills its queue and then waits: never more than its bound.
    for (int i = 0; i < 50 && decoder.Queued() < 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(decoder.Queued(), 4);
    EXPECT_FALSE(decoder.Finished());
    TFrameBitmap frame;
    decoder.ShowAt(0, frame);
    EXPECT_EQ(frame.Width(), 160);
    EXPECT_EQ(frame.Height(), 120);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 160, 120), 0);
}

TEST_F(Clip, TurnedClipsComeOutUpright) {
    // A wide picture with a white corner, stored turned: the frame must show it as a player
    // that honours the display matrix shows it (ffmpeg turns it by default).
    for (int rotate : {90, 180, 270}) {
        SCOPED_TRACE(rotate);
        const std::string file = File("corner" + std::to_string(rotate) + ".mp4");
        const std::string plain = File("corner.mp4");
        TRunResult made = RunShell("ffmpeg -v error -f lavfi -i \"color=black:s=64x32:d=0.3,format=gray,geq=lum='if(lt(X,16)*lt(Y,8),255,0)'\" "
                                   "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -y '" + plain + "' && "
                                   "ffmpeg -v error -i '" + plain + "' -c copy -metadata:s:v:0 rotate=" + std::to_string(rotate) +
                                   " -y '" + file + "'");
        ASSERT_EQ(made.Status, 0) << made.Output;
        ASSERT_EQ(ProbeClip(file).Rotation % 180, rotate % 180);
        TRunResult shown = RunShell("ffmpeg -v error -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt gray -");
        ASSERT_EQ(shown.Status, 0);
        const bool sideways = rotate != 180;
        const int w = sideways ? 32 : 64, h = sideways ? 64 : 32;
        ASSERT_EQ(shown.Output.size(), std::size_t(w * h));
        // The frame has the upright size exactly, so the picture fills it.
        TClipDecoder decoder(Playback(file, 0.3, w, h));
        TFrameBitmap frame;
        decoder.ShowAt(0, frame);
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int expected = std::uint8_t(shown.Output[std::size_t(y * w + x)]);
                const int got = int((frame.Pixel(x, y) >> 8) & 0xFF);
                differing += std::abs(expected - got) > 60;
            }
        EXPECT_LT(differing, w * h / 50) << "of " << w * h;
    }
}

TEST_F(Clip, TurnedPlacementMovesEveryPixelToItsCorner) {
    // 3 x 2 source: 0 1 2 / 3 4 5.
    const std::uint32_t source[6] = {0, 1, 2, 3, 4, 5};
    struct TCase {
        int Rotation;
        std::vector<std::uint32_t> Expected; // rows of the turned picture
        int W;
    };
    const TCase cases[] = {
        {90, {3, 0, 4, 1, 5, 2}, 2},   // clockwise: the left column becomes the top row, bottom first
        {180, {5, 4, 3, 2, 1, 0}, 3},
        {270, {2, 5, 1, 4, 0, 3}, 2},
        {0, {0, 1, 2, 3, 4, 5}, 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Rotation);
        const int h = 6 / c.W;
        TFrameBitmap frame(c.W + 2, h + 2);
        frame.Fill(99);
        PlaceTurnedPixels(source, 3, 2, c.Rotation, frame, 1, 1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < c.W; ++x)
                EXPECT_EQ(frame.Pixel(x + 1, y + 1), c.Expected[std::size_t(y * c.W + x)]) << x << "," << y;
        EXPECT_EQ(frame.Pixel(0, 0), 99u);
        EXPECT_EQ(frame.Pixel(c.W + 1, h + 1), 99u);
    }
    // Partly outside the frame: only what lies inside is written.
    TFrameBitmap small(2, 2);
    PlaceTurnedPixels(source, 3, 2, 90, small, -1, 0);
    EXPECT_EQ(small.Pixel(0, 0), 0u);
    EXPECT_EQ(small.Pixel(0, 1), 1u);
}

TEST_F(Clip, FramingPlacesTheClipLikeAPicture) {
    // A 320x240 clip in a 200x100 frame: letterboxed in the middle (133 wide), or covering it.
    TClipPlayback p = Playback(Counter(), 1.0, 200, 100);
    TClipDecoder letterbox(p);
    TFrameBitmap frame;
    letterbox.ShowAt(0.5, frame);
    EXPECT_EQ(frame.Pixel(10, 50), 0u); // black bar
    EXPECT_EQ(ReadClipCounter(frame, 33, 0, 133, 100), 15);
    p.Framing = TFraming::Blur;
    TClipDecoder blur(p);
    blur.ShowAt(0.5, frame);
    EXPECT_NE(frame.Pixel(10, 50), 0u); // the background fills the bars
    EXPECT_EQ(ReadClipCounter(frame, 33, 0, 133, 100), 15);
    p.Framing = TFraming::Fill;
    p.FrameHeight = 60;
    TClipDecoder fill(p);
    fill.ShowAt(0.5, frame);
    // Covering 200x60: 200x150 with 45 rows cut at the top; the counter row (y 37) is still in.
    const int v = int((frame.Pixel(200 / 16, 0) >> 8) & 0xFF);
    EXPECT_GT(v, 170); // bit 0 of 15
}

TEST_F(Clip, VariableRateClipKeepsItsOrderAndLength) {
    // One second at 30 pictures a second, then one at 5: the second part's pictures last 0.2 s.
    TTestClip vfr;
    vfr.Seconds = 1.4;
    vfr.Tone = false;
    vfr.Filter = ",setpts='if(lt(N,30),N/30,1+(N-30)/5)/TB'";
    vfr.Extra = "-fps_mode vfr";
    std::string error;
    ASSERT_TRUE(MakeTestClip(File("vfr.mp4"), vfr, error)) << error;
    const TClipInfo info = ProbeClip(File("vfr.mp4"));
    EXPECT_NEAR(info.Duration, 3.4, 0.25);
    TClipDecoder decoder(Playback(File("vfr.mp4"), info.Duration));
    TFrameBitmap frame;
    int previous = -1;
    for (int h = 0; h < int(info.Duration * 25); ++h) {
        const double t = h / 25.0;
        decoder.ShowAt(t, frame);
        const int counter = ReadClipCounter(frame, 0, 0, 320, 240);
        const int expected = t < 1.0 ? int(std::floor(t * 30 + 1e-9)) : 30 + int(std::floor((t - 1.0) * 5 + 1e-9));
        EXPECT_EQ(counter, expected) << "at " << t;
        EXPECT_GE(counter, previous);
        previous = counter;
    }
}

TEST_F(Clip, CutShortClipPlaysWhatItHasThenSaysSo) {
    // Matroska writes its length up front: cut in half, the pictures end long before it.
    TTestClip mkv;
    mkv.Seconds = 3;
    mkv.Tone = false;
    std::string error;
    ASSERT_TRUE(MakeTestClip(File("long.mkv"), mkv, error)) << error;
    const std::string cut = File("cut.mkv");
    std::filesystem::copy_file(File("long.mkv"), cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(File("long.mkv")) / 2);
    TClipDecoder decoder(Playback(cut, 3.0));
    TFrameBitmap frame;
    decoder.ShowAt(0, frame);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 320, 240), 0);
    try {
        for (int h = 0; h < 90; ++h)
            decoder.ShowAt(h / 30.0, frame);
        FAIL() << "a clip cut in half played to its end";
    } catch (const TPictureError& e) {
        EXPECT_NE(std::string(e.what()).find(cut), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
    }
}

// Starts, draws and destroys decoders at random moments: in the middle of opening, of decoding,
// of waiting for room, and while the consumer waits. Nothing may hang, crash or race.
TEST_F(Clip, DecoderStopAtRandomMoments) {
    std::mt19937 random(20261209);
    const int rounds = 24;
    for (int round = 0; round < rounds; ++round) {
        TClipPlayback p = Playback(Counter(), 3.0, 160, 120);
        p.QueueFrames = 1 + int(random() % 6);
        p.Threads = 1 + int(random() % 3);
        auto decoder = std::make_unique<TClipDecoder>(p);
        const int mode = int(random() % 4);
        if (mode != 0)
            decoder->Start();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        if (mode == 2) {
            TFrameBitmap frame;
            const int shown = int(random() % 20);
            for (int h = 0; h < shown; ++h)
                decoder->ShowAt(h / 25.0, frame);
        }
        if (mode == 3) {
            // Another thread draws while this one stops the decoder under it.
            std::thread drawer([&] {
                TFrameBitmap frame;
                try {
                    for (int h = 0; h < 75; ++h)
                        decoder->ShowAt(h / 25.0, frame);
                } catch (const TPictureError&) {
                    // stopped before the first picture: said so, not hung
                }
            });
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
            decoder->Stop();
            drawer.join();
        }
        decoder.reset();
    }
}

// The decoder's thread hands its log lines (a damaged clip's decoding errors) to the
// user-interface thread and waits for them; that thread, waiting for pictures or for the
// decoder to stop, must serve them or both would wait for ever.
TEST_F(Clip, DamagedClipsLogWhileTheUserInterfaceThreadWaits) {
    const std::string damaged = File("damaged.mp4");
    std::filesystem::copy_file(Counter(), damaged, std::filesystem::copy_options::overwrite_existing);
    {
        std::fstream f(damaged, std::ios::binary | std::ios::in | std::ios::out);
        const auto size = std::filesystem::file_size(damaged);
        std::mt19937 random(7);
        for (std::uintmax_t at = size / 4; at < size * 3 / 4; at += 97) {
            f.seekp(std::streamoff(at));
            f.put(char(random()));
        }
    }
    std::atomic<int> lines{0};
    GetFFLogger().SetOnLog([&](void*, TThreadID, TLogLevel, const std::string&) { ++lines; });
    {
        TQueueMainThread mainThread;
        SetMainThreadDispatcher(&mainThread);
        for (int round = 0; round < 2; ++round) {
            TClipDecoder decoder(Playback(damaged, 3.0));
            TFrameBitmap frame;
            try {
                // The first round looks at every picture, the second stops in the middle.
                for (int h = 0; h < (round == 0 ? 90 : 40); ++h)
                    decoder.ShowAt(h / 30.0, frame);
            } catch (const TPictureError&) {
                // too damaged to go on: said so, not hung
            }
        }
        SetMainThreadDispatcher(nullptr);
    }
    GetFFLogger().SetOnLog(nullptr);
    EXPECT_GT(lines.load(), 0) << "the damage made no log lines: the test shows nothing";
}
