// Audio output: decoded audio through the audio hook and the volume to every output stream that
// encodes it: timestamp synchronisation ("async"), resampling of rate, channel layout and sample
// format, and the FIFO that hands the encoder exact frames. The encoder's timestamps are the
// running count of samples handed to it, never a frame count.

#include "engine/AudioVolume.h"
#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
const char* SampleFormatName(int format) {
    const char* name = ff::av_get_sample_fmt_name(AVSampleFormat(format));
    return name ? name : "none";
}

// Two layouts of the same channel count where one only gives the count (a WAV file without a
// channel mask) carry the same samples.
bool SameLayout(const AVChannelLayout* a, const AVChannelLayout* b) {
    if (a->nb_channels != b->nb_channels)
        return false;
    if (a->order == AV_CHANNEL_ORDER_UNSPEC || b->order == AV_CHANNEL_ORDER_UNSPEC)
        return true;
    return ff::av_channel_layout_compare(a, b) == 0;
}

// Encoders that take any number of samples per frame: PCM kinds, and codecs that say so.
bool TakesAnyFrameSize(const AVCodecContext* enc) {
    return enc->frame_size <= 1 || (enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
}

bool TakesShortLastFrame(const AVCodecContext* enc) {
    return TakesAnyFrameSize(enc) || (enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
}

// A frame of the encoder's format with room for at least `samples`; it is reused while nobody
// else holds it, else it gets fresh buffers (never a copy of samples about to be overwritten).
void ReserveSamples(AVFrame* frame, const AVCodecContext* enc, int samples) {
    const int channels = enc->ch_layout.nb_channels;
    const bool planar = ff::av_sample_fmt_is_planar(enc->sample_fmt);
    const int perSample = ff::av_get_bytes_per_sample(enc->sample_fmt) * (planar ? 1 : channels);
    if (frame->buf[0] && perSample > 0 && int(frame->buf[0]->size / std::size_t(perSample)) >= samples &&
        ff::av_frame_is_writable(frame))
        return;
    ff::av_frame_unref(frame);
    frame->format = enc->sample_fmt;
    frame->sample_rate = enc->sample_rate;
    frame->nb_samples = samples;
    if (ff::av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 || ff::av_frame_get_buffer(frame, 0) < 0)
        throw FFmpegException("Out of memory in do_audio_out");
}
} // namespace

// Preparation of an audio output stream that encodes: the input's own channel layout when it
// has the channel count asked for, the FIFO, and the input the resampler is made for.
void TTranscoder::SetupAudioEncoding(TOutputStream& ost, TInputStream& ist) {
    AVCodecContext* enc = ost.Encoder.get();
    const AVCodecParameters* in = ist.Stream->codecpar;
    if (in->ch_layout.order == AV_CHANNEL_ORDER_NATIVE && in->ch_layout.nb_channels == enc->ch_layout.nb_channels &&
        ff::av_channel_layout_compare(&in->ch_layout, &enc->ch_layout) != 0) {
        bool taken = !ost.Codec || !ost.Codec->ch_layouts;
        for (const AVChannelLayout* l = ost.Codec ? ost.Codec->ch_layouts : nullptr; l && l->nb_channels; ++l)
            taken = taken || ff::av_channel_layout_compare(l, &in->ch_layout) == 0;
        if (taken && ff::av_channel_layout_copy(&enc->ch_layout, &in->ch_layout) < 0)
            throw FFmpegException("Out of memory in do_audio_out");
    }
    if (enc->ch_layout.nb_channels <= 0 || enc->sample_rate <= 0 || enc->sample_fmt == AV_SAMPLE_FMT_NONE)
        throw FFmpegException(Fmt("Audio parameters of output stream #%d.%d are incomplete (%d channels @ %d Hz)",
                                  ost.FileIndex, ost.Index, enc->ch_layout.nb_channels, enc->sample_rate));
    ost.Fifo.reset(ff::av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 1024));
    if (!ost.Fifo)
        throw FFmpegException("av_fifo_alloc fail");
    ost.ResampleFormat = AVSampleFormat(in->format);
    ost.ResampleRate = in->sample_rate;
    if (!ost.ResampleLayout.Assign(&in->ch_layout))
        throw FFmpegException("Out of memory in do_audio_out");
    ost.ResamplerChecked = false;
    ost.EncodingNeeded = true;
    ist.DecodingNeeded = true;
}

// Decodes one packet of an audio stream (nullptr drains the decoder) and hands every block to
// the hook, the volume and the output streams. False when the packet could not be decoded.
bool TTranscoder::DecodeAudio(TInputStream& ist, const AVPacket* pkt) {
    AVCodecContext* dec = ist.Decoder.get();
    int r = ff::avcodec_send_packet(dec, pkt);
    if (r < 0 && r != AVERROR_EOF && r != AVERROR(EAGAIN))
        return false;
    AVFrame* frame = ist.Frame.get();
    const int sourceIndex = int(&ist - ist_.data());
    for (;;) {
        r = ff::avcodec_receive_frame(dec, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return false;
        if (frame->sample_rate <= 0 || frame->nb_samples <= 0) {
            ff::av_frame_unref(frame);
            continue;
        }
        int64_t best = frame->best_effort_timestamp;
        ist.Pts = best != AV_NOPTS_VALUE ? ff::av_rescale_q(best, ist.Stream->time_base, AV_TIME_BASE_Q) : ist.NextPts;
        ist.NextPts = ist.Pts + ff::av_rescale(frame->nb_samples, AV_TIME_BASE, frame->sample_rate);
        ++ist.FrameCounter;
        if ((job_.OnAudioHook || s_.AudioVolume != 256) && ff::av_frame_make_writable(frame) < 0)
            throw FFmpegException("Out of memory in do_audio_out");
        if (job_.OnAudioHook)
            job_.OnAudioHook(job_, frame, ist.Pts);
        ApplyVolume(frame, s_.AudioVolume);
        EmulateRate(ist);
        if (s_.StartTime == 0 || ist.Pts >= s_.StartTime)
            for (TOutputStream* ost : ost_)
                if (ost->SourceIndex == sourceIndex && ost->EncodingNeeded)
                    OutputAudio(*ost, ist, frame);
        // Only the first block is the start: a later jump is drift, measured against the
        // threshold, even when the stream began in step.
        ist.IsStart = false;
        ff::av_frame_unref(frame);
    }
}

void TTranscoder::OutputAudio(TOutputStream& ost, TInputStream& ist, AVFrame* in) {
    NamingAudioInput(ist, [&] { PrepareResampler(ost, in); });
    const int skip = SyncAudio(ost, ist, in->nb_samples);
    if (skip >= in->nb_samples)
        return;
    const uint8_t* const* planes = in->extended_data;
    std::vector<const uint8_t*> moved; // only when the front of the block is discarded
    if (skip > 0) {
        const bool planar = ff::av_sample_fmt_is_planar(AVSampleFormat(in->format));
        const int channels = in->ch_layout.nb_channels;
        const int step = skip * ff::av_get_bytes_per_sample(AVSampleFormat(in->format)) * (planar ? 1 : channels);
        moved.resize(planar ? std::size_t(channels) : 1);
        for (std::size_t i = 0; i < moved.size(); ++i)
            moved[i] = in->extended_data[i] + step;
        planes = moved.data();
    }
    const int count = in->nb_samples - skip;
    if (SwrContext* swr = ost.Resampler.get()) {
        const int room = ff::swr_get_out_samples(swr, count);
        if (!ost.ResampleBuffer)
            ost.ResampleBuffer = NewFrame();
        ReserveSamples(ost.ResampleBuffer.get(), ost.Encoder.get(), std::max(room, 1));
        int made = ff::swr_convert(swr, ost.ResampleBuffer->extended_data, room, const_cast<const uint8_t**>(planes), count);
        if (made < 0) {
            if (s_.ExitOnError)
                throw FFmpegException("swr_convert() failed");
            EngineLog(llError, "swr_convert() failed");
            return;
        }
        QueueSamples(ost, ost.ResampleBuffer->extended_data, made);
    } else {
        QueueSamples(ost, planes, count);
    }
    EncodeAudioFrames(ost);
}

// Makes sure the resampler fits the decoder's present format, rate and layout: a change of the
// input is logged and gets a new resampler; an input that already is what the encoder takes
// needs none.
void TTranscoder::PrepareResampler(TOutputStream& ost, const AVFrame* in) {
    AVCodecContext* enc = ost.Encoder.get();
    if (in->format != ost.ResampleFormat || in->sample_rate != ost.ResampleRate ||
        !SameLayout(&in->ch_layout, ost.ResampleLayout.Get())) {
        if (ost.ResampleFormat != AV_SAMPLE_FMT_NONE && ost.ResampleRate > 0) {
            const TInputStream& ist = ist_[ost.SourceIndex];
            EngineLog(llInfo, Fmt("Input stream #%d.%d frame changed from rate:%d fmt:%s ch:%d to rate:%d fmt:%s ch:%d",
                                  ist.FileIndex, ist.StreamIndex, ost.ResampleRate, SampleFormatName(ost.ResampleFormat),
                                  ost.ResampleLayout.Get()->nb_channels, in->sample_rate,
                                  SampleFormatName(in->format), in->ch_layout.nb_channels));
        }
        ost.ResampleFormat = AVSampleFormat(in->format);
        ost.ResampleRate = in->sample_rate;
        if (!ost.ResampleLayout.Assign(&in->ch_layout))
            throw FFmpegException("Out of memory in do_audio_out");
        ost.Resampler.reset();
        ost.ResamplerChecked = false;
    }
    if (ost.ResamplerChecked)
        return;
    ost.ResamplerChecked = true;
    const bool same = in->format == enc->sample_fmt && in->sample_rate == enc->sample_rate &&
                      SameLayout(&in->ch_layout, &enc->ch_layout);
    // Drift compensation ("async" above 1) stretches the audio through the resampler, so such a
    // stream keeps one even when the decoder delivers exactly what the encoder takes.
    if (same && s_.AudioSync <= 1)
        return;
    // A change of rate or channels (or drift compensation) resamples; otherwise only the sample
    // format differs and the context merely converts.
    const bool resample = in->sample_rate != enc->sample_rate || !SameLayout(&in->ch_layout, &enc->ch_layout) ||
                          s_.AudioSync > 1;
    const bool viaS16 = resample && ff::av_get_packed_sample_fmt(AVSampleFormat(in->format)) != AV_SAMPLE_FMT_S16;
    if (viaS16)
        EngineLog(llWarning, "Warning, using s16 intermediate sample format for resampling");
    AVChannelLayout inLayout{};
    if (in->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        ff::av_channel_layout_default(&inLayout, in->ch_layout.nb_channels);
    else if (ff::av_channel_layout_copy(&inLayout, &in->ch_layout) < 0)
        throw FFmpegException("Out of memory in do_audio_out");
    SwrContext* made = nullptr;
    int r = ff::swr_alloc_set_opts2(&made, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &inLayout,
                                    AVSampleFormat(in->format), in->sample_rate, 0, nullptr);
    ff::av_channel_layout_uninit(&inLayout);
    TSwrPtr swr(made);
    if (r >= 0) {
        // Filter length 16, 2^10 phases, no linear interpolation, cut-off at 0.8 of the band.
        ff::av_opt_set_int(swr.get(), "filter_size", 16, 0);
        ff::av_opt_set_int(swr.get(), "phase_shift", 10, 0);
        ff::av_opt_set_int(swr.get(), "linear_interp", 0, 0);
        ff::av_opt_set_double(swr.get(), "cutoff", 0.8, 0);
        if (viaS16) // what the warning says
            ff::av_opt_set_sample_fmt(swr.get(), "internal_sample_fmt", AV_SAMPLE_FMT_S16P, 0);
        r = ff::swr_init(swr.get());
    }
    if (r < 0 && !resample)
        throw FFmpegException(Fmt("Cannot convert %s sample format to %s sample format",
                                  SampleFormatName(in->format), SampleFormatName(enc->sample_fmt)));
    if (r < 0)
        throw FFmpegException(Fmt("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                  in->ch_layout.nb_channels, in->sample_rate, enc->ch_layout.nb_channels,
                                  enc->sample_rate));
    ost.Resampler = std::move(swr);
}

// Keeps the encoder's sample count in step with the sync stream's clock. Returns how many
// samples to discard from the front of the block; inserts silence where audio is missing and,
// with "async" above 1, lets the resampler absorb small drifts.
int TTranscoder::SyncAudio(TOutputStream& ost, TInputStream& ist, int inputSamples) {
    AVCodecContext* enc = ost.Encoder.get();
    const int rate = enc->sample_rate;
    SwrContext* swr = ost.Resampler.get();
    const double syncTime = double(ist_[ost.SyncIndex].Pts - s_.StartTime) / AV_TIME_BASE;
    // Samples already on their way to the encoder: in the FIFO and inside the resampler.
    int64_t queued = ff::av_audio_fifo_size(ost.Fifo.get());
    if (swr)
        queued += ff::swr_get_delay(swr, rate);
    if (s_.AudioSync == 0) {
        ost.SyncOpts = std::llrint(syncTime * rate) - queued;
        return 0;
    }
    const double delta = syncTime * rate - double(ost.SyncOpts) - double(queued);
    if (std::fabs(delta) <= 50)
        return 0;
    if (ist.IsStart || std::fabs(delta) > s_.AudioDriftThreshold * rate) {
        ist.IsStart = false;
        const int64_t inputDelta = int64_t(delta * ost.ResampleRate / rate);
        if (inputDelta < 0) {
            if (s_.Verbose > 2)
                EngineLog(llVerbose, Fmt("discarding %d audio samples", int(-delta)));
            return int(std::min<int64_t>(-inputDelta, inputSamples));
        }
        if (inputDelta > 0) {
            if (s_.Verbose > 2)
                EngineLog(llVerbose, Fmt("adding %d audio samples of silence", int(delta)));
            if (inputDelta > INT32_MAX)
                throw FFmpegException("Buffer sizes too large in do_audio_out");
            if (swr) {
                // The silence goes in behind what the resampler still holds, in input samples.
                if (ff::swr_inject_silence(swr, int(inputDelta)) < 0)
                    throw FFmpegException("Out of memory in do_audio_out");
            } else {
                if (!ost.ResampleBuffer)
                    ost.ResampleBuffer = NewFrame();
                AVFrame* silence = ost.ResampleBuffer.get();
                ReserveSamples(silence, enc, int(inputDelta));
                ff::av_samples_set_silence(silence->extended_data, 0, int(inputDelta), enc->ch_layout.nb_channels,
                                           enc->sample_fmt);
                QueueSamples(ost, silence->extended_data, int(inputDelta));
            }
        }
        return 0;
    }
    if (s_.AudioSync > 1 && swr) {
        const int compensation = int(std::clamp(delta, -double(s_.AudioSync), double(s_.AudioSync)));
        if (s_.Verbose > 2)
            EngineLog(llVerbose,
                      Fmt("compensating audio timestamp drift:%f compensation:%d in:%d", delta, compensation, rate));
        if (ff::swr_set_compensation(swr, compensation, rate) < 0)
            throw FFmpegException(Fmt("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                      ost.ResampleLayout.Get()->nb_channels, ost.ResampleRate,
                                      enc->ch_layout.nb_channels, rate));
    }
    return 0;
}

void TTranscoder::QueueSamples(TOutputStream& ost, const uint8_t* const* planes, int count) {
    if (count <= 0)
        return;
    if (ff::av_audio_fifo_write(ost.Fifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(planes)), count) < count)
        throw FFmpegException("av_fifo_realloc2() failed");
}

// Whole encoder frames out of the FIFO; an encoder that takes any size gets all there is.
void TTranscoder::EncodeAudioFrames(TOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder.get();
    AVAudioFifo* fifo = ost.Fifo.get();
    if (TakesAnyFrameSize(enc)) {
        if (int held = ff::av_audio_fifo_size(fifo); held > 0)
            EncodeAudioFrame(ost, held, false);
        return;
    }
    while (ff::av_audio_fifo_size(fifo) >= enc->frame_size)
        EncodeAudioFrame(ost, enc->frame_size, false);
}

// Encodes `samples` samples from the FIFO; padToFrame fills the rest of a whole frame with
// silence (the last frame for an encoder that takes no short one).
void TTranscoder::EncodeAudioFrame(TOutputStream& ost, int samples, bool padToFrame) {
    AVCodecContext* enc = ost.Encoder.get();
    if (!ost.AudioFrame)
        ost.AudioFrame = NewFrame();
    AVFrame* frame = ost.AudioFrame.get();
    const int size = padToFrame ? std::max(samples, enc->frame_size) : samples;
    ReserveSamples(frame, enc, size);
    frame->nb_samples = samples;
    if (ff::av_audio_fifo_read(ost.Fifo.get(), reinterpret_cast<void**>(frame->extended_data), samples) < samples)
        throw FFmpegException("Audio encoding failed");
    if (size > samples) {
        ff::av_samples_set_silence(frame->extended_data, samples, size - samples, enc->ch_layout.nb_channels,
                                   enc->sample_fmt);
        frame->nb_samples = size;
    }
    frame->pts = ost.SyncOpts;
    if (!ost.EncoderThread && EncodesBeside(ost))
        ost.EncoderThread = std::make_unique<TEncoderThread>(enc, "Audio encoding failed");
    if (ost.EncoderThread) {
        ost.EncoderThread->Send(frame);
        ost.SyncOpts += frame->nb_samples;
        ++ost.FrameNumber;
        // Handed over counts as written for the choice of the next input: the packets follow a
        // few frames later, and a loop that waited for them would wait for the encoder.
        ost.OutTime = std::max(ost.OutTime, double(ost.SyncOpts) * av_q2d(enc->time_base));
        CollectPackets(ost, false);
        return;
    }
    if (ff::avcodec_send_frame(enc, frame) < 0)
        throw FFmpegException("Audio encoding failed");
    ost.SyncOpts += frame->nb_samples;
    ++ost.FrameNumber;
    ReceivePackets(ost);
}


// The end of an audio stream: what the resampler still holds, then the last partial frame,
// short where the encoder takes that, else padded with silence. The encoder is drained after.
void TTranscoder::FlushAudio(TOutputStream& ost) {
    if (!ost.Fifo)
        return;
    if (SwrContext* swr = ost.Resampler.get()) {
        for (int room; (room = ff::swr_get_out_samples(swr, 0)) > 0;) {
            if (!ost.ResampleBuffer)
                ost.ResampleBuffer = NewFrame();
            ReserveSamples(ost.ResampleBuffer.get(), ost.Encoder.get(), room);
            int made = ff::swr_convert(swr, ost.ResampleBuffer->extended_data, room, nullptr, 0);
            if (made <= 0)
                break;
            QueueSamples(ost, ost.ResampleBuffer->extended_data, made);
        }
        EncodeAudioFrames(ost);
    }
    if (int held = ff::av_audio_fifo_size(ost.Fifo.get()); held > 0)
        EncodeAudioFrame(ost, held, !TakesShortLastFrame(ost.Encoder.get()));
}
