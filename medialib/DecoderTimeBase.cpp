#include "medialib/DecoderTimeBase.h"

#include "medialib/CodecLock.h"
#include "medialib/InterruptCB.h"

#include <filesystem>
#include <memory>

namespace {
// Packets read at most while looking for the first picture of every video stream.
constexpr int MaxPackets = 500;

struct TInputCloser {
    void operator()(AVFormatContext* c) const { ff::avformat_close_input(&c); }
};
struct TDecoderCloser {
    void operator()(AVCodecContext* c) const {
        TCodecLockGuard guard;
        ff::avcodec_free_context(&c);
    }
};
struct TPacketFree {
    void operator()(AVPacket* p) const { ff::av_packet_free(&p); }
};
struct TFrameFree {
    void operator()(AVFrame* f) const { ff::av_frame_free(&f); }
};
using TDecoderPtr = std::unique_ptr<AVCodecContext, TDecoderCloser>;

// A decoder for the stream's parameters, opened under the codec lock; null when there is none.
TDecoderPtr OpenDecoder(const AVStream* st) {
    const AVCodec* codec = ff::avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return nullptr;
    TDecoderPtr c(ff::avcodec_alloc_context3(codec));
    if (!c || ff::avcodec_parameters_to_context(c.get(), st->codecpar) < 0)
        return nullptr;
    c->pkt_timebase = st->time_base;
    c->thread_count = 1;
    TCodecLockGuard guard;
    if (!guard.Locked() || ff::avcodec_open2(c.get(), codec, nullptr) < 0)
        return nullptr;
    return c;
}
} // namespace

std::vector<AVRational> DecoderTimeBases(const AVFormatContext* ic) {
    std::vector<AVRational> result(ic ? ic->nb_streams : 0, AVRational{0, 1});
    bool anyVideo = false;
    for (unsigned i = 0; i < result.size(); ++i)
        anyVideo |= ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    std::error_code ec;
    if (!anyVideo || !ic->pb || !ic->url || !std::filesystem::is_regular_file(ic->url, ec))
        return result;

    AVFormatContext* raw = ff::avformat_alloc_context();
    if (!raw)
        return result;
    raw->interrupt_callback = InterruptCallbackRecord();
    if (ff::avformat_open_input(&raw, ic->url, ic->iformat, nullptr) < 0) // frees raw on failure
        return result;
    std::unique_ptr<AVFormatContext, TInputCloser> file(raw);
    if (ff::avformat_find_stream_info(raw, nullptr) < 0 || raw->nb_streams != ic->nb_streams)
        return result;

    std::vector<TDecoderPtr> decoders(raw->nb_streams);
    int waiting = 0;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && (decoders[i] = OpenDecoder(raw->streams[i])))
            ++waiting;
    std::unique_ptr<AVPacket, TPacketFree> pkt(ff::av_packet_alloc());
    std::unique_ptr<AVFrame, TFrameFree> frame(ff::av_frame_alloc());
    if (!pkt || !frame)
        return result;
    auto picture = [&](unsigned index) {
        AVCodecContext* c = decoders[index].get();
        if (ff::avcodec_receive_frame(c, frame.get()) < 0)
            return;
        ff::av_frame_unref(frame.get());
        if (c->time_base.num > 0 && c->time_base.den > 0)
            result[index] = c->time_base;
        decoders[index].reset();
        --waiting;
    };
    for (int n = 0; waiting > 0 && n < MaxPackets && ff::av_read_frame(raw, pkt.get()) >= 0; ++n) {
        unsigned index = unsigned(pkt->stream_index);
        if (index < decoders.size() && decoders[index] && ff::avcodec_send_packet(decoders[index].get(), pkt.get()) >= 0)
            picture(index);
        ff::av_packet_unref(pkt.get());
    }
    // Short files: what the decoders still hold.
    for (unsigned i = 0; i < decoders.size(); ++i)
        if (decoders[i] && ff::avcodec_send_packet(decoders[i].get(), nullptr) >= 0)
            picture(i);
    return result;
}
