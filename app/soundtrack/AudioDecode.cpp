#include "app/soundtrack/AudioDecode.h"

#include "engine/FFPtr.h"
#include "medialib/CodecLock.h"
#include "medialib/FFUtils.h"
#include "medialib/InterruptCB.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
// A stated length this much longer than what could be decoded is a cut-off file, not rounding.
constexpr double EndMargin = 0.5; // seconds

struct TInputClose {
    void operator()(AVFormatContext* ic) const { ff::avformat_close_input(&ic); }
};
using TInputPtr = std::unique_ptr<AVFormatContext, TInputClose>;

class TDecoder {
public:
    TDecoder(const TDecodeRequest& request, TDecodedAudio& out, std::string& error)
        : req_(request), out_(out), error_(error) {}

    bool Run() {
        out_ = TDecodedAudio();
        if (!Open())
            return false;
        TPacketPtr packet = NewPacket();
        TFramePtr frame = NewFrame();
        if (!packet || !frame)
            return Fail("out of memory");
        int r = 0;
        while (!done_ && (r = ff::av_read_frame(ic_.get(), packet.get())) >= 0) {
            if (req_.Cancelled && req_.Cancelled()) {
                ff::av_packet_unref(packet.get());
                error_ = "stopped";
                return false;
            }
            if (packet->stream_index == stream_->index) {
                int s = ff::avcodec_send_packet(codec_.get(), packet.get());
                if (s < 0 && s != AVERROR(EAGAIN) && s != AVERROR_INVALIDDATA) {
                    ff::av_packet_unref(packet.get());
                    return Fail(ErrorCodeText(s));
                }
                if (!Receive(frame.get()))
                    return false;
            }
            ff::av_packet_unref(packet.get());
        }
        if (!done_ && r != AVERROR_EOF)
            return Fail(ErrorCodeText(r));
        if (!done_) {
            ff::avcodec_send_packet(codec_.get(), nullptr);
            if (!Receive(frame.get()))
                return false;
        }
        if (!Flush())
            return false;
        if (decodedFrames_ == 0)
            return Fail("no audio could be decoded from it");
        return CheckEnd();
    }

private:
    bool Fail(const std::string& why) {
        error_ = req_.File + ": " + why;
        return false;
    }

    bool Open() {
        AVFormatContext* ic = ff::avformat_alloc_context();
        if (!ic)
            return Fail("out of memory");
        ic->interrupt_callback = InterruptCallbackRecord();
        int r = ff::avformat_open_input(&ic, req_.File.c_str(), nullptr, nullptr);
        if (r < 0) {
            error_ = ErrorText(req_.File, r);
            return false;
        }
        ic_.reset(ic);
        if ((r = ff::avformat_find_stream_info(ic, nullptr)) < 0) {
            error_ = ErrorText(req_.File, r);
            return false;
        }
        for (unsigned i = 0; i < ic->nb_streams && !stream_; ++i)
            if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
                stream_ = ic->streams[i];
        if (!stream_)
            return Fail("it holds no audio");
        const AVCodec* codec = ff::avcodec_find_decoder(stream_->codecpar->codec_id);
        if (!codec)
            return Fail("no decoder for its audio");
        codec_.reset(ff::avcodec_alloc_context3(codec));
        if (!codec_)
            return Fail("out of memory");
        if ((r = ff::avcodec_parameters_to_context(codec_.get(), stream_->codecpar)) < 0)
            return Fail(ErrorCodeText(r));
        {
            // Codecs open one at a time across the process, as the engine's own do.
            TCodecLockGuard guard;
            if (!guard.Locked())
                return Fail("the codec lock cannot be taken");
            r = ff::avcodec_open2(codec_.get(), codec, nullptr);
        }
        if (r < 0)
            return Fail(ErrorCodeText(r));
        out_.Rate = req_.Rate > 0 ? req_.Rate : codec_->sample_rate;
        out_.Channels = std::clamp(req_.Channels, 1, 8);
        if (out_.Rate <= 0)
            return Fail("its audio states no sample rate");
        ff::av_channel_layout_default(&outLayout_, out_.Channels);
        if (req_.Start > 0) {
            // Seek a little before, then drop what comes ahead of the start exactly.
            int64_t target = int64_t(req_.Start * AV_TIME_BASE);
            ff::avformat_seek_file(ic, -1, INT64_MIN, target, target, 0);
        }
        return true;
    }

    bool MakeResampler(AVFrame* frame) {
        SwrContext* swr = nullptr;
        int r = ff::swr_alloc_set_opts2(&swr, &outLayout_, AV_SAMPLE_FMT_FLT, out_.Rate, &frame->ch_layout,
                                        AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        swr_.reset(swr);
        if (r < 0 || (r = ff::swr_init(swr)) < 0)
            return Fail("cannot convert its audio: " + ErrorCodeText(r));
        inRate_ = frame->sample_rate;
        inFormat_ = frame->format;
        inLayout_ = std::make_unique<TChannelLayout>();
        inLayout_->Assign(&frame->ch_layout);
        return true;
    }

    bool Receive(AVFrame* frame) {
        for (;;) {
            int r = ff::avcodec_receive_frame(codec_.get(), frame);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return Fail(ErrorCodeText(r));
            bool ok = Take(frame);
            ff::av_frame_unref(frame);
            if (!ok)
                return false;
        }
    }

    // Converts one decoded frame, keeping only what lies inside the requested span.
    bool Take(AVFrame* frame) {
        if (done_)
            return true;
        if (filled_) {
            // Decoded to the end only to see that the file holds what it states.
            lastEnd_ = frame->best_effort_timestamp != AV_NOPTS_VALUE
                           ? double(frame->best_effort_timestamp) * stream_->time_base.num / stream_->time_base.den +
                                 double(frame->nb_samples) / frame->sample_rate
                           : lastEnd_ + double(frame->nb_samples) / frame->sample_rate;
            return true;
        }
        if (!swr_ || frame->sample_rate != inRate_ || frame->format != inFormat_ ||
            ff::av_channel_layout_compare(&frame->ch_layout, inLayout_->Get()) != 0) {
            if (swr_ && !Flush())
                return false;
            if (!MakeResampler(frame))
                return false;
        }
        const int64_t pts = frame->best_effort_timestamp;
        if (!haveStart_) {
            // The time of the first sample that reaches the output, in seconds of the file.
            if (pts != AV_NOPTS_VALUE)
                firstTime_ = double(pts) * stream_->time_base.num / stream_->time_base.den;
            haveStart_ = true;
        }
        decodedFrames_ += frame->nb_samples;
        lastEnd_ = pts != AV_NOPTS_VALUE ? double(pts) * stream_->time_base.num / stream_->time_base.den +
                                               double(frame->nb_samples) / frame->sample_rate
                                         : lastEnd_ + double(frame->nb_samples) / frame->sample_rate;
        return Convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    }

    bool Convert(const uint8_t** in, int count) {
        const int room = ff::swr_get_out_samples(swr_.get(), count);
        if (room < 0)
            return Fail("cannot convert its audio");
        std::vector<float> buffer(std::size_t(room + 16) * std::size_t(out_.Channels));
        uint8_t* dst = reinterpret_cast<uint8_t*>(buffer.data());
        int got = ff::swr_convert(swr_.get(), &dst, room + 16, in, count);
        if (got < 0)
            return Fail("cannot convert its audio: " + ErrorCodeText(got));
        Append(buffer.data(), got);
        return true;
    }

    bool Flush() {
        if (!swr_)
            return true;
        return Convert(nullptr, 0);
    }

    // Appends converted sample frames, dropping those before the start and after the duration.
    void Append(const float* data, int count) {
        const int ch = out_.Channels;
        if (filled_)
            return;
        // Sample frame i lies at firstTime_ + (converted_ + i) / rate; those before the start go.
        long long skip = 0;
        if (req_.Start > firstTime_) {
            const double before = (req_.Start - firstTime_) * out_.Rate - 0.5;
            skip = std::clamp<long long>((long long)std::ceil(before) - converted_, 0, count);
        }
        long long take = count - skip;
        if (req_.Duration >= 0) {
            const long long room = std::max(0LL, (long long)std::ceil(req_.Duration * out_.Rate) - out_.Frames());
            if (take >= room) {
                take = room;
                filled_ = true;
                done_ = !req_.CheckWhole;
            }
        }
        out_.Samples.insert(out_.Samples.end(), data + skip * ch, data + (skip + take) * ch);
        converted_ += count;
    }

    // A file that stops well before the length its stream states was cut off.
    bool CheckEnd() {
        if (done_ || ic_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
            return true;
        if (stream_->duration == AV_NOPTS_VALUE || stream_->duration <= 0)
            return true;
        const AVRational tb = stream_->time_base;
        const int64_t start = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
        const double stated = double(start + stream_->duration) * tb.num / tb.den;
        if (lastEnd_ + EndMargin < stated) {
            char text[160];
            std::snprintf(text, sizeof text, "the file ends at %.2f s of its %.2f s; it is truncated or damaged",
                          lastEnd_, stated);
            return Fail(text);
        }
        return true;
    }

    const TDecodeRequest& req_;
    TDecodedAudio& out_;
    std::string& error_;
    TInputPtr ic_;
    AVStream* stream_ = nullptr;
    TCodecContextPtr codec_;
    TSwrPtr swr_;
    AVChannelLayout outLayout_{};
    std::unique_ptr<TChannelLayout> inLayout_;
    int inRate_ = 0, inFormat_ = -1;
    bool haveStart_ = false, done_ = false, filled_ = false;
    double firstTime_ = 0, lastEnd_ = 0;
    long long converted_ = 0, decodedFrames_ = 0;
};
} // namespace

bool DecodeAudio(const TDecodeRequest& request, TDecodedAudio& out, std::string& error) {
    return TDecoder(request, out, error).Run();
}
