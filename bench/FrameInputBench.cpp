// The frame hand-over of the "frameinput" format against a bare copy of the same bytes.
// One read costs one event call, one packet allocation and one pass over the frame, so the
// ratio to a plain memcpy of FrameSize bytes into a fresh buffer should stay near 1.

#include "frameinput/FrameInputAdapter.h"
#include "frameinput/FrameInputFormat.h"
#include "frameinput/FrameInputInfo.h"
#include "medialib/FFLoad.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point since) { return std::chrono::duration<double>(TClock::now() - since).count(); }

double TimeReads(TFrameInputAdapter& adapter, int bits, int frames) {
    std::string params = "a=" + std::to_string(adapter.Id()) + ";r=30/1;s=1280*720;t=canvas;bpp=" + std::to_string(bits);
    AVFormatContext* s = ff::avformat_alloc_context();
    s->url = ff::av_strdup(params.c_str());
    s->priv_data = ff::av_mallocz(sizeof(TInputFrameInfo));
    AVPacket* pkt = ff::av_packet_alloc();
    double elapsed = -1;
    if (FrameInputReadHeader(s) == 0) {
        auto start = TClock::now();
        for (int i = 0; i < frames; ++i) {
            FrameInputReadPacket(s, pkt);
            ff::av_packet_unref(pkt);
        }
        elapsed = Seconds(start);
        FrameInputReadClose(s);
    }
    ff::av_packet_free(&pkt);
    ff::avformat_free_context(s);
    return elapsed;
}

double TimeMemcpy(std::size_t bytes, int frames) {
    std::vector<std::uint8_t> source(bytes, 1);
    auto start = TClock::now();
    for (int i = 0; i < frames; ++i) {
        auto* target = static_cast<std::uint8_t*>(ff::av_malloc(bytes));
        std::memcpy(target, source.data(), bytes);
        ff::av_free(target);
    }
    return Seconds(start);
}
} // namespace

int main() {
    if (!FFLoader().LoadLibs(EncoderLibs)) {
        std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
        return 1;
    }
    TFrameInputAdapter adapter;
    adapter.TriggerEventInMainThread = false;
    adapter.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo) { return 0; };
    const int frames = 300;
    double copy = TimeMemcpy(1280 * 720 * 4, frames);
    double read32 = TimeReads(adapter, 32, frames);
    double read24 = TimeReads(adapter, 24, frames);
    std::printf("1280x720 canvas read, 32 bits / memcpy of the frame: %.2f\n", read32 / copy);
    std::printf("1280x720 canvas read, 24 bits / memcpy of the 32-bit frame: %.2f\n", read24 / copy);
    return 0;
}
