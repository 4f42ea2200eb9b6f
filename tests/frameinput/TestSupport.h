#pragma once
// Shared helpers of the frame input tests: loading the libraries, catching av_log lines and
// opening a "frameinput" context the way the engine does.

#include "frameinput/FrameInputFormat.h"
#include "frameinput/FrameInputInfo.h"
#include "medialib/FFLoad.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

struct TLogLine {
    int Level;
    std::string Text;
};

class TLogCapture {
public:
    TLogCapture() {
        std::lock_guard guard(Lock());
        Lines().clear();
        ff::av_log_set_callback(&TLogCapture::Callback);
    }
    ~TLogCapture() { ff::av_log_set_callback(ff::av_log_default_callback); }

    std::vector<TLogLine> Take() {
        std::lock_guard guard(Lock());
        std::vector<TLogLine> out;
        out.swap(Lines());
        return out;
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<TLogLine>& Lines() {
        static std::vector<TLogLine> lines;
        return lines;
    }
    static void Callback(void*, int level, const char* fmt, va_list args) {
        char text[1024];
        std::vsnprintf(text, sizeof text, fmt, args);
        std::lock_guard guard(Lock());
        Lines().push_back({level, text});
    }
};

inline void LoadLibraries() {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    RegisterFrameInputFormat();
}

// An input context as the engine makes it; closes itself after a successful header.
class TFrameInputContext {
public:
    explicit TFrameInputContext(const std::string& params) {
        ctx_ = ff::avformat_alloc_context();
        ctx_->url = ff::av_strdup(params.c_str());
        ctx_->iformat = VirtualInputDescriptor("frameinput");
        ctx_->priv_data = ff::av_mallocz(sizeof(TInputFrameInfo));
        pkt_ = ff::av_packet_alloc();
    }
    ~TFrameInputContext() {
        Close();
        ff::av_packet_free(&pkt_);
        ff::avformat_free_context(ctx_);
    }
    TFrameInputContext(const TFrameInputContext&) = delete;
    TFrameInputContext& operator=(const TFrameInputContext&) = delete;

    int Open() {
        int rc = FrameInputReadHeader(ctx_);
        open_ = rc >= 0;
        return rc;
    }
    int Read() {
        ff::av_packet_unref(pkt_);
        return FrameInputReadPacket(ctx_, pkt_);
    }
    void Close() {
        if (open_)
            FrameInputReadClose(ctx_);
        open_ = false;
    }

    AVFormatContext* Context() { return ctx_; }
    AVPacket* Packet() { return pkt_; }
    TInputFrameInfo& Info() { return *static_cast<TInputFrameInfo*>(ctx_->priv_data); }

private:
    AVFormatContext* ctx_ = nullptr;
    AVPacket* pkt_ = nullptr;
    bool open_ = false;
};
