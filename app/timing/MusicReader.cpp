#include "app/timing/MusicReader.h"

#include "engine/FFPtr.h"
#include "medialib/CodecLock.h"
#include "medialib/FFLoad.h"
#include "medialib/FFUtils.h"

#include <algorithm>
#include <memory>

namespace {
struct TInputClose {
    void operator()(AVFormatContext* c) const { ff::avformat_close_input(&c); }
};
using TInputPtr = std::unique_ptr<AVFormatContext, TInputClose>;

[[noreturn]] void Fail(const std::string& file, const std::string& why) {
    throw TMusicError("Cannot read the soundtrack " + file + ": " + why);
}

// The opened file and its first audio stream.
struct TMusicInput {
    TInputPtr Context;
    int Stream = -1;
    AVStream* Audio() const { return Context->streams[Stream]; }
};

TMusicInput OpenMusic(const std::string& file) {
    TMusicInput in;
    AVFormatContext* ic = nullptr;
    if (int r = ff::avformat_open_input(&ic, file.c_str(), nullptr, nullptr); r < 0)
        Fail(file, ErrorCodeText(r));
    in.Context.reset(ic);
    if (int r = ff::avformat_find_stream_info(ic, nullptr); r < 0)
        Fail(file, ErrorCodeText(r));
    in.Stream = ff::av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (in.Stream < 0)
        Fail(file, "it holds no audio");
    return in;
}

void DecodeOpened(TMusicInput& in, const std::string& file, int rate,
                  const std::function<void(const float*, int)>& take) {
    const AVCodecParameters* par = in.Audio()->codecpar;
    const AVCodec* codec = ff::avcodec_find_decoder(par->codec_id);
    if (!codec)
        Fail(file, "no decoder for its audio");
    TCodecContextPtr dec(ff::avcodec_alloc_context3(codec));
    if (!dec)
        Fail(file, "out of memory");
    if (int r = ff::avcodec_parameters_to_context(dec.get(), par); r < 0)
        Fail(file, ErrorCodeText(r));
    {
        TCodecLockGuard guard;
        const int r = guard.Locked() ? ff::avcodec_open2(dec.get(), codec, nullptr) : AVERROR(EBUSY);
        if (r < 0)
            Fail(file, "cannot open its audio decoder: " + ErrorCodeText(r));
    }
    TSwrPtr swr;
    TFramePtr frame = NewFrame();
    TPacketPtr packet = NewPacket();
    if (!frame || !packet)
        Fail(file, "out of memory");
    std::vector<float> out;
    long long decoded = 0;

    auto convert = [&](const AVFrame* f) {
        if (!swr) {
            AVChannelLayout mono;
            ff::av_channel_layout_default(&mono, 1);
            SwrContext* s = nullptr;
            const AVChannelLayout* inLayout = &f->ch_layout;
            TChannelLayout guessed;
            if (inLayout->nb_channels <= 0 || inLayout->order == AV_CHANNEL_ORDER_UNSPEC) {
                AVChannelLayout def;
                ff::av_channel_layout_default(&def, std::max(dec->ch_layout.nb_channels, 1));
                guessed.Assign(&def);
                inLayout = guessed.Get();
            }
            if (ff::swr_alloc_set_opts2(&s, &mono, AV_SAMPLE_FMT_FLT, rate, const_cast<AVChannelLayout*>(inLayout), AVSampleFormat(f->format),
                                        f->sample_rate, 0, nullptr) < 0 || !s)
                Fail(file, "cannot convert its audio");
            swr.reset(s);
            if (int r = ff::swr_init(s); r < 0)
                Fail(file, "cannot convert its audio: " + ErrorCodeText(r));
        }
        const int room = ff::swr_get_out_samples(swr.get(), f ? f->nb_samples : 0);
        if (room <= 0)
            return;
        out.resize(std::size_t(room));
        uint8_t* dst = reinterpret_cast<uint8_t*>(out.data());
        const int n = ff::swr_convert(swr.get(), &dst, room, f ? const_cast<const uint8_t**>(f->extended_data) : nullptr,
                                      f ? f->nb_samples : 0);
        if (n < 0)
            Fail(file, "cannot convert its audio: " + ErrorCodeText(n));
        if (n > 0)
            take(out.data(), n);
    };
    auto drain = [&] {
        for (;;) {
            const int r = ff::avcodec_receive_frame(dec.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            if (r < 0)
                Fail(file, "damaged audio: " + ErrorCodeText(r));
            decoded += frame->nb_samples;
            convert(frame.get());
            ff::av_frame_unref(frame.get());
        }
    };
    for (;;) {
        const int r = ff::av_read_frame(in.Context.get(), packet.get());
        if (r == AVERROR_EOF)
            break;
        if (r < 0)
            Fail(file, ErrorCodeText(r));
        if (packet->stream_index == in.Stream) {
            const int s = ff::avcodec_send_packet(dec.get(), packet.get());
            ff::av_packet_unref(packet.get());
            if (s < 0 && s != AVERROR(EAGAIN) && s != AVERROR_INVALIDDATA)
                Fail(file, "damaged audio: " + ErrorCodeText(s));
            drain();
        } else {
            ff::av_packet_unref(packet.get());
        }
    }
    ff::avcodec_send_packet(dec.get(), nullptr);
    drain();
    if (decoded == 0)
        Fail(file, "its audio stream has no samples that decode");
    if (swr)
        convert(nullptr); // what the resampler still holds
}
} // namespace

void EnsureMusicLibraries() {
    if (FFLoader().LibsLoaded(EncoderLibs))
        return;
    if (!FFLoader().LoadLibs(EncoderLibs))
        throw TMusicError("Cannot load the media libraries to read the soundtrack: " + FFLoader().LastErrMsg());
}

double MusicSeconds(const std::string& file) {
    TMusicInput in = OpenMusic(file);
    // What decodes, never what a header states: a file cut short plays only what it holds (and
    // one that records no length is counted the same way).
    constexpr int rate = 48000;
    long long samples = 0;
    DecodeOpened(in, file, rate, [&](const float*, int n) { samples += n; });
    return double(samples) / rate;
}

double MusicSeconds(const std::vector<std::string>& files) {
    double total = 0;
    for (const std::string& file : files)
        total += MusicSeconds(file);
    return total;
}

void DecodeMusic(const std::string& file, int rate, const std::function<void(const float*, int)>& take) {
    TMusicInput in = OpenMusic(file);
    DecodeOpened(in, file, rate, take);
}
