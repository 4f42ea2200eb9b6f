// Times the engine's video path on the slideshow's shape of work: 2162 BGRA pictures of
// 640x480 at 30/s encoded to MPEG-4 in mp4, as the frame input delivers them. When MLT's
// `melt` is installed, the same slideshow (10 photos of 1600x1200, held and cross-faded, into
// 640x480 MPEG-4 mp4 at 30/s) is rendered with it too, and the ratio is printed.
//
//   engine_bench [FRAMES]

#include "engine/CustomFFmpeg.h"
#include "medialib/FFLoad.h"
#include "medialib/InputFormatRegistry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
constexpr int Width = 640, Height = 480, Rate = 30;
int totalFrames = 2162;
std::vector<std::vector<uint8_t>> pictures; // a few pre-drawn pictures, cycled

struct TBenchInput {
    int Next;
};

int ReadHeader(AVFormatContext* s) {
    AVStream* st = ff::avformat_new_stream(s, nullptr);
    if (!st)
        return AVERROR(ENOMEM);
    st->time_base = AVRational{1, 1000000};
    st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    st->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    st->codecpar->width = Width;
    st->codecpar->height = Height;
    st->codecpar->format = AV_PIX_FMT_BGRA;
    st->r_frame_rate = st->avg_frame_rate = AVRational{Rate, 1};
    return 0;
}

// Like the frame input: one fresh packet per picture, one copy of the picture into it.
int ReadPacket(AVFormatContext* s, AVPacket* pkt) {
    auto* in = static_cast<TBenchInput*>(s->priv_data);
    if (in->Next >= totalFrames)
        return -1;
    const std::vector<uint8_t>& pic = pictures[(in->Next / 216) % pictures.size()];
    if (ff::av_new_packet(pkt, int(pic.size())) < 0)
        return AVERROR(ENOMEM);
    std::copy(pic.begin(), pic.end(), pkt->data);
    pkt->pts = pkt->dts = (int64_t(in->Next) * 1000000 + Rate / 2) / Rate;
    pkt->flags |= AV_PKT_FLAG_KEY;
    ++in->Next;
    return pkt->size;
}

int ReadClose(AVFormatContext*) { return 0; }

void DrawPictures() {
    for (int k = 0; k < 10; ++k) {
        std::vector<uint8_t> pic(std::size_t(Width) * Height * 4);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                uint8_t* p = &pic[(std::size_t(y) * Width + x) * 4];
                p[0] = uint8_t((x * (k + 1)) ^ y);
                p[1] = uint8_t(y * 2 + k * 20);
                p[2] = uint8_t((x + y) / 3 + k * 7);
                p[3] = 0;
            }
        pictures.push_back(std::move(pic));
    }
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double RunEngine(const std::string& output) {
    TCustomFFmpeg job(1);
    job.ApplyOption("f", "benchframes");
    if (!job.OpenInputFile("bench"))
        throw std::runtime_error(job.LastError);
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("r", "30/1");
    job.ApplyOption("s", "640x480");
    job.ApplyOption("vb", "768000");
    if (const char* flags = std::getenv("BENCH_SWS_FLAGS"))
        job.ApplyOption("sws_flags", flags);
    if (job.OpenOutputFile(output) < 0)
        throw std::runtime_error(job.LastError);
    auto start = std::chrono::steady_clock::now();
    if (!job.Execute())
        throw std::runtime_error(job.ErrorMessage());
    return Seconds(start);
}

// The same slideshow with melt: 10 photos, each held, cross-faded over 30 frames.
double RunMelt(const std::filesystem::path& dir) {
    std::string photos;
    for (int k = 0; k < 10; ++k) {
        std::string photo = (dir / ("photo" + std::to_string(k) + ".jpg")).string();
        std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=1600x1200:rate=1 -frames:v 1 "
                           "-vf hue=h=" + std::to_string(k * 36) + " '" + photo + "'";
        if (std::system(make.c_str()) != 0)
            return -1;
        photos += " '" + photo + "' out=" + std::to_string(totalFrames / 10 + 30 - 1);
        if (k > 0)
            photos += " -mix 30 -mixer luma";
    }
    std::string out = (dir / "melt.mp4").string();
    std::string command = "melt -quiet" + photos + " -profile atsc_720p_30 -consumer avformat:'" + out +
                          "' width=640 height=480 frame_rate_num=30 frame_rate_den=1 vcodec=mpeg4 b=768k an=1 "
                          "real_time=0 > /dev/null 2>&1";
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return Seconds(start);
}
} // namespace

int main(int argc, char** argv) {
    if (argc > 1)
        totalFrames = std::atoi(argv[1]);
    if (totalFrames <= 0) {
        std::fprintf(stderr, "usage: engine_bench [FRAMES], FRAMES above 0\n");
        return 2;
    }
    if (!FFLoader().LoadLibs(EncoderLibs)) {
        std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
        return 1;
    }
    ff::av_log_set_level(AV_LOG_ERROR);
    RegisterInputFormatOnce({"benchframes", "Bench frames", sizeof(TBenchInput), ReadHeader, ReadPacket, ReadClose});
    DrawPictures();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "pixaroll-engine-bench";
    std::filesystem::create_directories(dir);
    double engine = 0;
    try {
        engine = RunEngine((dir / "engine.mp4").string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine run failed: %s\n", e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::printf("engine: %d frames 640x480 BGRA -> mpeg4 mp4 in %.2f s (%.0f frames/s)\n", totalFrames, engine,
                totalFrames / engine);
    if (std::system("command -v melt > /dev/null 2>&1") == 0) {
        double melt = RunMelt(dir);
        if (melt > 0)
            std::printf("melt:   the same slideshow in %.2f s\nratio engine/melt: %.2f\n", melt, engine / melt);
        else
            std::printf("melt: the comparison run failed\n");
    } else {
        std::printf("melt is not installed: no comparison\n");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
