#pragma once
// Owners for FFmpeg objects: each deleter calls the bound free function, so every error path
// releases what it made.

#include "medialib/FFApi.h"

#include <memory>

struct TCodecContextFree {
    void operator()(AVCodecContext* c) const;
};
struct TFrameFree {
    void operator()(AVFrame* f) const { ff::av_frame_free(&f); }
};
struct TPacketFree {
    void operator()(AVPacket* p) const { ff::av_packet_free(&p); }
};
struct TSwsFree {
    void operator()(SwsContext* s) const { ff::sws_freeContext(s); }
};
struct TBsfFree {
    void operator()(AVBSFContext* b) const { ff::av_bsf_free(&b); }
};
struct TSwrFree {
    void operator()(SwrContext* s) const { ff::swr_free(&s); }
};
struct TBufferRefFree {
    void operator()(AVBufferRef* b) const { ff::av_buffer_unref(&b); }
};
struct TBufferPoolFree {
    void operator()(AVBufferPool* p) const { ff::av_buffer_pool_uninit(&p); }
};
struct TAudioFifoFree {
    void operator()(AVAudioFifo* f) const { ff::av_audio_fifo_free(f); }
};

struct TExprFree {
    void operator()(AVExpr* e) const { ff::av_expr_free(e); }
};

using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TSwsPtr = std::unique_ptr<SwsContext, TSwsFree>;
using TBsfPtr = std::unique_ptr<AVBSFContext, TBsfFree>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrFree>;
using TBufferRefPtr = std::unique_ptr<AVBufferRef, TBufferRefFree>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAudioFifoFree>;
using TExprPtr = std::unique_ptr<AVExpr, TExprFree>;
// Buffers still held when the pool goes are freed when let go of.
using TBufferPoolPtr = std::unique_ptr<AVBufferPool, TBufferPoolFree>;

// An AVChannelLayout that releases what a custom channel order allocated.
class TChannelLayout {
public:
    TChannelLayout() = default;
    TChannelLayout(const TChannelLayout&) = delete;
    TChannelLayout& operator=(const TChannelLayout&) = delete;
    ~TChannelLayout() { ff::av_channel_layout_uninit(&layout_); }
    const AVChannelLayout* Get() const { return &layout_; }
    // Copies another layout; false when that needs memory that cannot be had.
    bool Assign(const AVChannelLayout* other) { return ff::av_channel_layout_copy(&layout_, other) >= 0; }

private:
    AVChannelLayout layout_{};
};

// An AVDictionary that frees itself; Get() hands out the address the FFmpeg calls want.
class TDict {
public:
    TDict() = default;
    TDict(const TDict&) = delete;
    TDict& operator=(const TDict&) = delete;
    ~TDict() { ff::av_dict_free(&d_); }
    AVDictionary** Addr() { return &d_; }
    AVDictionary* Get() const { return d_; }
    void Set(const char* key, const char* value, int flags = 0) { ff::av_dict_set(&d_, key, value, flags); }
    void Clear() { ff::av_dict_free(&d_); }

private:
    AVDictionary* d_ = nullptr;
};

TFramePtr NewFrame();
TPacketPtr NewPacket();
