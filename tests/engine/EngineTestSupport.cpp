#include "tests/engine/EngineTestSupport.h"
#include "engine/FFmpegException.h"
#include "medialib/FFLoad.h"
#include "medialib/FFLog.h"
#include "medialib/InputFormatRegistry.h"
#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixaroll-engine-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    if (!made)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = made;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string RunCommand(const std::string& command, int* status) {
    TRunResult r = RunShell(command);
    if (status)
        *status = r.Status;
    return r.Output;
}

std::string MakeWithFfmpeg(const TTempDir& dir, const std::string& name, const std::string& args) {
    std::string file = dir.File(name);
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error " + args + " '" + file + "'", &status);
    EXPECT_EQ(status, 0) << out;
    return file;
}

std::string OptionError(TCustomFFmpeg& job, const std::string& name, const std::string& value) {
    try {
        job.ApplyOption(name, value);
    } catch (const FFmpegException& e) {
        return e.what();
    }
    return "(accepted)";
}

TProbe ProbeVideo(const std::string& file) {
    TProbe p;
    std::string out = RunCommand("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                                 "stream=codec_name,width,height,r_frame_rate,start_time,nb_read_packets:format=duration "
                                 "-of default=noprint_wrappers=1 '" + file + "'");
    for (const auto& [key, value] : ProbeEntries(out)) {
        if (key == "codec_name") p.Codec = value;
        else if (key == "width") p.Width = std::atoi(value.c_str());
        else if (key == "height") p.Height = std::atoi(value.c_str());
        else if (key == "r_frame_rate") p.FrameRate = value;
        else if (key == "nb_read_packets") p.Packets = std::atoi(value.c_str());
        else if (key == "duration") p.Duration = std::atof(value.c_str());
        else if (key == "start_time") p.Start = std::atof(value.c_str());
    }
    return p;
}

std::string DecodeErrors(const std::string& file) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -f null -");
}

std::string DecodedRgb(const TTempDir& dir, const std::string& file) {
    std::string raw = dir.File("frames.rgb");
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error -y -i '" + file + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'",
                                 &status);
    EXPECT_EQ(status, 0) << out;
    std::ifstream in(raw, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TRgb PixelAt(const std::string& rgb, int width, int height, int frame, int x, int y) {
    std::size_t at = (std::size_t(frame) * width * height + std::size_t(y) * width + std::size_t(x)) * 3;
    if (at + 3 > rgb.size())
        return {-1, -1, -1};
    return {uint8_t(rgb[at]), uint8_t(rgb[at + 1]), uint8_t(rgb[at + 2])};
}

void ExpectNear(const TRgb& got, const TRgb& want, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_NEAR(got.R, want.R, 16);
    EXPECT_NEAR(got.G, want.G, 16);
    EXPECT_NEAR(got.B, want.B, 16);
}

// ---- the virtual test format ----

const char* const TestFramesFormat = "testframes";

namespace {
struct TTestFrames {
    int Width, Height, Rate, Frames, EndCode, Hold, Next;
};

int TestReadHeader(AVFormatContext* s) {
    auto* t = static_cast<TTestFrames*>(s->priv_data);
    if (std::sscanf(s->url, "%dx%d@%d:%d:%d:%d", &t->Width, &t->Height, &t->Rate, &t->Frames, &t->EndCode, &t->Hold) < 5 ||
        t->Width <= 0 || t->Height <= 0 || t->Rate <= 0)
        return AVERROR(EINVAL);
    AVStream* st = ff::avformat_new_stream(s, nullptr);
    if (!st)
        return AVERROR(ENOMEM);
    st->time_base = AVRational{1, 1000000};
    st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    st->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    st->codecpar->width = t->Width;
    st->codecpar->height = t->Height;
    st->codecpar->format = AV_PIX_FMT_BGRA;
    st->r_frame_rate = st->avg_frame_rate = AVRational{t->Rate, 1};
    return 0;
}

int TestReadPacket(AVFormatContext* s, AVPacket* pkt) {
    auto* t = static_cast<TTestFrames*>(s->priv_data);
    if (t->Next >= t->Frames)
        return t->EndCode;
    int size = t->Width * t->Height * 4;
    if (ff::av_new_packet(pkt, size) < 0)
        return AVERROR(ENOMEM);
    if (t->Hold > 0) { // still pictures: one plain colour per group of Hold frames
        int group = t->Next / t->Hold;
        for (int i = 0; i < t->Width * t->Height; ++i) {
            uint8_t* p = pkt->data + i * 4;
            p[0] = uint8_t(group % 2 ? 220 : 30); // blue
            p[1] = 40;
            p[2] = uint8_t(group % 2 ? 30 : 220); // red
            p[3] = 0;
        }
    }
    // A moving gradient, so that the encoder has something to code.
    for (int y = 0; y < t->Height && t->Hold <= 0; ++y)
        for (int x = 0; x < t->Width; ++x) {
            uint8_t* p = pkt->data + (y * t->Width + x) * 4;
            p[0] = uint8_t(x * 4 + t->Next * 8);
            p[1] = uint8_t(y * 4);
            p[2] = uint8_t(t->Next * 16);
            p[3] = 0;
        }
    pkt->pts = pkt->dts = (int64_t(t->Next) * 1000000 + t->Rate / 2) / t->Rate;
    pkt->flags |= AV_PKT_FLAG_KEY;
    ++t->Next;
    return size;
}

int TestReadClose(AVFormatContext*) { return 0; }

std::mutex logLock;
std::vector<std::string>* logLines = nullptr;

class TEngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        GetFFLogger().SetTriggerEventInMainThread(false);
        GetFFLogger().SetLogLevel(llQuiet);
        TVirtualInputFormat format;
        format.Name = TestFramesFormat;
        format.LongName = "Test frames";
        format.PrivDataSize = sizeof(TTestFrames);
        format.ReadHeader = TestReadHeader;
        format.ReadPacket = TestReadPacket;
        format.ReadClose = TestReadClose;
        ASSERT_TRUE(RegisterInputFormatOnce(format));
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new TEngineEnvironment);
} // namespace

std::string TestFramesName(int width, int height, int rate, int frames, int endCode, int hold) {
    return std::to_string(width) + "x" + std::to_string(height) + "@" + std::to_string(rate) + ":" +
           std::to_string(frames) + ":" + std::to_string(endCode) + ":" + std::to_string(hold);
}

TLogCapture::TLogCapture() {
    {
        std::lock_guard guard(logLock);
        logLines = new std::vector<std::string>;
    }
    GetFFLogger().SetLogLevel(llVerbose);
    GetFFLogger().SetOnLog([](void*, TThreadID, TLogLevel, const std::string& msg) {
        std::lock_guard guard(logLock);
        if (logLines)
            logLines->push_back(msg);
    });
}

TLogCapture::~TLogCapture() {
    GetFFLogger().SetOnLog(nullptr);
    GetFFLogger().SetLogLevel(llQuiet);
    std::lock_guard guard(logLock);
    delete logLines;
    logLines = nullptr;
}

bool TLogCapture::Contains(const std::string& text) const {
    std::lock_guard guard(logLock);
    for (const std::string& line : *logLines)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}
