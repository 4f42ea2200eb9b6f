#include "engine/EngineSupport.h"
#include "engine/FFPtr.h"
#include "engine/FFmpegException.h"
#include "medialib/CodecLock.h"

#include <cstdarg>
#include <vector>

std::string Fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
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
