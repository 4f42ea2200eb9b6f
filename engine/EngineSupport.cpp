#include "engine/EngineSupport.h"
#include "engine/FFPtr.h"
#include "engine/FFmpegException.h"
#include "medialib/CodecLock.h"

#include <cstdarg>
#include <vector>

std::string Fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out(n > 0 ? std::size_t(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    va_end(again);
    return out;
}

void EngineLog(TLogLevel level, const std::string& text) { GetFFLogger().Log(nullptr, level, text); }

void TCodecContextFree::operator()(AVCodecContext* c) const {
    TCodecLockGuard guard; // freed also when the lock failed: leaking would not help
    ff::avcodec_free_context(&c);
}

TFramePtr NewFrame() {
    AVFrame* f = ff::av_frame_alloc();
    if (!f)
        throw FFmpegException("av_frame_alloc failed");
    return TFramePtr(f);
}

TPacketPtr NewPacket() {
    AVPacket* p = ff::av_packet_alloc();
    if (!p)
        throw FFmpegException("av_packet_alloc failed");
    return TPacketPtr(p);
}
