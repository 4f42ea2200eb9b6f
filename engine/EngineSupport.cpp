#include "engine/EngineSupport.h"
#include "engine/FFPtr.h"
#include "engine/FFmpegException.h"

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

void EngineLog(TEngineLogLevel level, const std::string& text) {
    if (ff::av_log)
        ff::av_log(nullptr, level, "%s\n", text.c_str());
}

std::string ErrorText(const std::string& fileName, int code) {
    char text[256] = {};
    if (!ff::av_strerror || ff::av_strerror(code, text, sizeof text) < 0)
        std::snprintf(text, sizeof text, "Error number %d occurred", code);
    return fileName + ": " + text;
}

std::mutex& CodecLock() {
    static std::mutex lock;
    return lock;
}

void TCodecContextFree::operator()(AVCodecContext* c) const {
    std::lock_guard guard(CodecLock());
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
