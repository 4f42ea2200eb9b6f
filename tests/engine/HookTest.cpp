// The encoder component's hook events on real runs: the video output hook paints what gets
// encoded, Update and StopHook are honoured, the video input hook sees the decoded pictures in
// order, the audio hook changes the samples before the volume, and copied streams refuse hooks.

#include "engine/FFEncoder.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
// The test pictures: frames 0..5 plain red, frames 6..11 plain blue, at 10 per second.
constexpr int Width = 64, Height = 48, Frames = 12, Hold = 6;
constexpr TRgb Green{0, 255, 0};

TOutputOptions FineMpeg4() {
    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.FrameRate = "10/1";
    out.ExtOptions = "qscale=2";
    return out;
}

// One task from the test pictures into output with the given record; false with the reason.
::testing::AssertionResult AddPictureTask(TFFEncoder& encoder, const std::string& output, const TOutputOptions& options) {
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    int t = encoder.AddTask(TestFramesName(Width, Height, 10, Frames, AVERROR_EOF, Hold), &in);
    if (t < 0)
        return ::testing::AssertionFailure() << "AddTask: " << encoder.LastErrMsg;
    if (!encoder.SetOutputFile(t, output, &options))
        return ::testing::AssertionFailure() << "SetOutputFile: " << encoder.LastErrMsg;
    return ::testing::AssertionSuccess();
}

// Runs the tasks in the calling thread and returns the end of task 0.
TTerminateInfo RunInCaller(TFFEncoder& encoder) {
    TTerminateInfo first;
    first.TaskIndex = -2;
    encoder.OnTerminate = [&](TCustomEncoder&, const TTerminateInfo& info) {
        if (info.TaskIndex == 0)
            first = info;
    };
    encoder.StartTask(0);
    return first;
}

// Paints the top left quarter of a 24-bit bitmap green.
void PaintGreenQuarter(const TBitmapInfo& bitmap) {
    for (int y = 0; y < bitmap.Height / 2; ++y)
        for (int x = 0; x < bitmap.Width / 2; ++x) {
            uint8_t* p = bitmap.Bits + std::ptrdiff_t(y) * bitmap.WidthBytes + x * 3;
            p[0] = 0;   // blue
            p[1] = 255; // green
            p[2] = 0;   // red
        }
}

struct TCall {
    int TaskIndex, FrameNumber;
    int64_t PTS;
    int Width, Height, BitsPixel;
    std::thread::id Thread;
};
} // namespace

TEST(EncoderHooks, OutputHookPaintsWhatIsEncodedOnTheWorkerAndUpdateFalseLeavesThePicture) {
    TTempDir dir;
    for (bool update : {true, false}) {
        SCOPED_TRACE(update ? "update" : "no update");
        const std::string output = dir.File(update ? "painted.avi" : "unchanged.avi");
        TFFEncoder encoder;
        std::mutex lock;
        std::vector<TCall> calls;
        encoder.OnVideoOutputHook = [&](TCustomEncoder&, PHookInfo info) {
            EXPECT_TRUE(info->Update) << "true on entry";
            EXPECT_FALSE(info->StopHook) << "false on entry";
            PaintGreenQuarter(*info->Bitmap);
            info->Update = update;
            std::lock_guard guard(lock);
            calls.push_back({info->TaskIndex, info->FrameNumber, info->PTS, info->Bitmap->Width, info->Bitmap->Height,
                             info->Bitmap->BitsPixel, std::this_thread::get_id()});
        };
        TOutputOptions options = FineMpeg4();
        options.VideoOutputHook = true;
        ASSERT_TRUE(AddPictureTask(encoder, output, options));
        encoder.StartTask(1);
        for (auto waited = 0ms; !encoder.AllTerminated() && waited < 60s; waited += 10ms)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(encoder.AllTerminated());
        EXPECT_FALSE(encoder.Task(0).Failed()) << encoder.Task(0).ErrorMessage();

        std::lock_guard guard(lock);
        ASSERT_EQ(calls.size(), std::size_t(Frames)) << "one call per encoded picture";
        for (int i = 0; i < Frames; ++i) {
            EXPECT_EQ(calls[i].TaskIndex, 0);
            EXPECT_EQ(calls[i].FrameNumber, i);
            EXPECT_EQ(calls[i].PTS, int64_t(i) * 100000) << "microseconds of the output frame";
            EXPECT_EQ(calls[i].Width, Width);
            EXPECT_EQ(calls[i].Height, Height);
            EXPECT_EQ(calls[i].BitsPixel, 24);
            EXPECT_NE(calls[i].Thread, std::this_thread::get_id()) << "the worker runs the hook";
        }
        const std::string rgb = DecodedRgb(dir, output);
        ASSERT_EQ(rgb.size(), std::size_t(Frames) * Width * Height * 3);
        for (int frame : {0, 5, 6, 11}) {
            const TRgb& source = frame < Hold ? TestRed : TestBlue;
            ExpectNear(PixelAt(rgb, Width, Height, frame, 8, 8), update ? Green : source, "painted quarter");
            ExpectNear(PixelAt(rgb, Width, Height, frame, Width - 8, Height - 8), source, "rest of the picture");
        }
    }
}

TEST(EncoderHooks, StopHookDisconnectsAfterTheFirstCallAndAHookThatThrowsLeavesThePicture) {
    TTempDir dir;
    TFFEncoder encoder;
    int outputCalls = 0, inputCalls = 0;
    encoder.OnVideoOutputHook = [&](TCustomEncoder&, PHookInfo info) {
        ++outputCalls;
        PaintGreenQuarter(*info->Bitmap);
        info->StopHook = true;
    };
    encoder.OnVideoInputHook = [&](TCustomEncoder&, PHookInfo info) {
        ++inputCalls;
        PaintGreenQuarter(*info->Bitmap);
        throw std::runtime_error("no paint today");
    };
    TOutputOptions options = FineMpeg4();
    options.VideoOutputHook = true;
    options.VideoInputHook = true;
    const std::string output = dir.File("once.avi");
    ASSERT_TRUE(AddPictureTask(encoder, output, options));
    TLogCapture log;
    TTerminateInfo end = RunInCaller(encoder);
    EXPECT_TRUE(end.Finished) << end.ErrorMessage;
    EXPECT_EQ(outputCalls, 1);
    EXPECT_EQ(inputCalls, Frames) << "an exception does not disconnect";
    EXPECT_TRUE(log.Contains("Error occurs VideoHook event: no paint today"));
    const std::string rgb = DecodedRgb(dir, output);
    ExpectNear(PixelAt(rgb, Width, Height, 0, 8, 8), Green, "the first picture, painted before the stop");
    ExpectNear(PixelAt(rgb, Width, Height, 1, 8, 8), TestRed, "later pictures are not hooked");
    ExpectNear(PixelAt(rgb, Width, Height, 7, 8, 8), TestBlue, "later pictures are not hooked");
}

TEST(EncoderHooks, InputHookSeesTheDecodedPicturesInOrderAtTheChosenPixelBits) {
    TTempDir dir;
    TFFEncoder encoder;
    std::vector<TCall> calls;
    std::vector<TRgb> firstPixels; // what the hook saw at (0, 0)
    encoder.OnVideoInputHook = [&](TCustomEncoder&, PHookInfo info) {
        const TBitmapInfo& b = *info->Bitmap;
        calls.push_back({info->TaskIndex, info->FrameNumber, info->PTS, b.Width, b.Height, b.BitsPixel,
                         std::this_thread::get_id()});
        firstPixels.push_back({b.Bits[2], b.Bits[1], b.Bits[0]});
        // Darken the bottom row band: 32-bit pixels, blue green red and a spare byte.
        for (int y = Height - 8; y < Height; ++y)
            std::memset(b.Bits + std::ptrdiff_t(y) * b.WidthBytes, 0, std::size_t(Width) * 4);
    };
    TOutputOptions options = FineMpeg4();
    options.VideoInputHook = true;
    options.HookPixelBits = 32;
    const std::string output = dir.File("input-hook.avi");
    ASSERT_TRUE(AddPictureTask(encoder, output, options));
    TTerminateInfo end = RunInCaller(encoder);
    ASSERT_TRUE(end.Finished) << end.ErrorMessage;
    ASSERT_EQ(calls.size(), std::size_t(Frames));
    for (int i = 0; i < Frames; ++i) {
        EXPECT_EQ(calls[i].FrameNumber, i);
        EXPECT_EQ(calls[i].PTS, int64_t(i) * 100000) << "the decoded picture's time";
        EXPECT_EQ(calls[i].BitsPixel, 32);
        EXPECT_EQ(calls[i].Width, Width);
        ExpectNear(firstPixels[i], i < Hold ? TestRed : TestBlue, "the decoded picture");
    }
    const std::string rgb = DecodedRgb(dir, output);
    ExpectNear(PixelAt(rgb, Width, Height, 3, 20, Height - 3), TRgb{0, 0, 0}, "the band the hook darkened");
    ExpectNear(PixelAt(rgb, Width, Height, 3, 20, 10), TestRed, "above the band");
}

TEST(EncoderHooks, AudioHookSeesInterleavedSamplesBeforeTheVolumeAndMaySilenceThem) {
    TTempDir dir;
    // A stereo tone of amplitude 1/8 in AAC: its decoder delivers planar floats.
    const std::string tone = dir.File("tone.m4a");
    int status = 0;
    std::string made = RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=1 -ac 2 -c:a aac '" +
                                      tone + "'",
                                  &status);
    ASSERT_EQ(status, 0) << made;

    TFFEncoder encoder;
    float peakSeen = 0;
    int64_t lastPts = -1;
    int blocks = 0;
    encoder.OnAudioHook = [&](TCustomEncoder&, int task, int64_t pts, uint8_t* samples, int size, int rate,
                              int channels, AVSampleFormat format) {
        ++blocks;
        EXPECT_EQ(task, 0);
        EXPECT_EQ(rate, 44100);
        EXPECT_EQ(channels, 2);
        ASSERT_EQ(format, AV_SAMPLE_FMT_FLT) << "planar floats come interleaved";
        EXPECT_GT(pts, lastPts);
        lastPts = pts;
        auto* v = reinterpret_cast<float*>(samples);
        for (int i = 0; i < size / 4; ++i)
            peakSeen = std::max(peakSeen, std::fabs(v[i]));
        for (int i = 0; i < size / 4; i += 2)
            v[i] = 0; // the left channel
    };
    int t = encoder.AddTask(tone);
    ASSERT_GE(t, 0) << encoder.LastErrMsg;
    TOutputOptions options;
    options.AudioCodec = "pcm_s16le";
    options.Volume = 512;
    options.AudioHook = true;
    const std::string output = dir.File("left-silent.wav");
    ASSERT_TRUE(encoder.SetOutputFile(t, output, &options)) << encoder.LastErrMsg;
    TTerminateInfo end = RunInCaller(encoder);
    ASSERT_TRUE(end.Finished) << end.ErrorMessage;
    EXPECT_GT(blocks, 10);
    EXPECT_GT(peakSeen, 0.05);

    const std::string raw = dir.File("decoded.raw");
    RunCommand("ffmpeg -nostdin -v error -i '" + output + "' -f s16le -ac 2 -y '" + raw + "'");
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 44100u * 4 * 9 / 10);
    int peaks[2] = {0, 0};
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
        for (int c = 0; c < 2; ++c) {
            int16_t v;
            std::memcpy(&v, bytes.data() + i + std::size_t(c) * 2, 2);
            peaks[c] = std::max(peaks[c], std::abs(int(v)));
        }
    EXPECT_EQ(peaks[0], 0) << "the left channel was silenced";
    // The volume doubles what the hook saw: the hook comes first.
    EXPECT_NEAR(peaks[1], 2 * 32768 * peakSeen, 200) << "the right channel keeps the tone at twice its volume";
}

TEST(EncoderHooks, CopiedStreamsRefuseHooksAndAnUnknownBitmapLayoutIsRefusedAtOnce) {
    TTempDir dir;
    const std::string source = dir.File("source.mkv");
    int status = 0;
    std::string made = RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i "
                                  "sine=duration=1 -t 1 -c:v mpeg4 -c:a aac '" + source + "'",
                                  &status);
    ASSERT_EQ(status, 0) << made;
    const struct {
        const char* Name;
        bool Audio, VideoInput, VideoOutput;
        const char* Message;
    } cases[] = {
        {"audio", true, false, false, "-acodec copy and AudioHook are incompatible (frames are not decoded)"},
        {"input", false, true, false, "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
        {"output", false, false, true, "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TFFEncoder encoder;
        int t = encoder.AddTask(source);
        ASSERT_GE(t, 0) << encoder.LastErrMsg;
        TOutputOptions options;
        options.AudioCodec = c.Audio ? "copy" : "pcm_s16le";
        options.VideoCodec = c.Audio ? "mpeg4" : "copy";
        options.AudioHook = c.Audio;
        options.VideoInputHook = c.VideoInput;
        options.VideoOutputHook = c.VideoOutput;
        ASSERT_TRUE(encoder.SetOutputFile(t, dir.File(std::string(c.Name) + ".mkv"), &options)) << encoder.LastErrMsg;
        TTerminateInfo end = RunInCaller(encoder);
        EXPECT_TRUE(end.Failed);
        EXPECT_EQ(end.ErrorMessage, c.Message);
    }
    TFFEncoder encoder;
    TOutputOptions options = FineMpeg4();
    options.VideoOutputHook = true;
    options.HookPixelBits = 12;
    EXPECT_FALSE(AddPictureTask(encoder, dir.File("bits.avi"), options));
    EXPECT_EQ(encoder.LastErrMsg, "Invalid BitsPixel 12");
}
