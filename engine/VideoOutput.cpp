// Video output: keep the output frame rate by duplicating or dropping pictures, scale to the
// encoder's size and pixel format, encode, and drain the encoder at the end.

#include "engine/EngineSupport.h"
#include "engine/ForcedKeyFrames.h"
#include "engine/PictureConverter.h"
#include "engine/Transcoder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <cstring>

// A decoded picture (nullptr: the end of them) through the stream's filter graph, when it has
// one; each picture the graph hands out is output with the time the graph gave it.
void TTranscoder::FilterVideo(TOutputStream& ost, TInputStream& ist, AVFrame* in) {
    if (!ost.Filter) {
        if (in)
            OutputVideo(ost, in);
        return;
    }
    ost.Filter->Push(in, ist.Pts);
    if (!ost.Filtered)
        ost.Filtered = NewFrame();
    AVFrame* picture = ost.Filtered.get();
    const int64_t decodedTime = ist.Pts;
    int64_t time = 0;
    while (!job_.StopRequested() && ost.Filter->Pull(picture, time)) {
        if (time != AV_NOPTS_VALUE)
            ist.Pts = time;
        try {
            OutputVideo(ost, picture);
        } catch (...) {
            ist.Pts = decodedTime;
            throw;
        }
        ff::av_frame_unref(picture);
    }
    ff::av_frame_unref(picture);
    ist.Pts = decodedTime;
}

void TTranscoder::OutputVideo(TOutputStream& ost, AVFrame* in) {
    AVCodecContext* enc = ost.Encoder.get();
    const TInputStream& sync = ist_[ost.SyncIndex];
    double syncIpts = double(sync.Pts - s_.StartTime) / AV_TIME_BASE / av_q2d(enc->time_base);
    AVFormatContext* oc = job_.outputs_[ost.FileIndex]->Context();
    int64_t n = 1;
    if (s_.VideoSync != 0) {
        double delta = syncIpts - double(ost.SyncOpts);
        bool variableRate = s_.VideoSync == 2 || (s_.VideoSync == -1 && (oc->oformat->flags & AVFMT_VARIABLE_FPS));
        if (delta < -1.1) {
            n = 0;
        } else if (variableRate) {
            if (delta <= -0.6)
                n = 0;
            else if (delta > 0.6)
                ost.SyncOpts = std::llrint(syncIpts);
        } else if (delta > 1.1) {
            n = std::llrint(delta);
        }
        if (n == 0) {
            ++dropFrames_;
            if (s_.Verbose > 2)
                EngineLog(llVerbose, "*** drop!");
        } else if (n > 1) {
            dupFrames_ += n - 1;
            if (s_.Verbose > 2)
                EngineLog(llVerbose, Fmt("*** %d dup!", int(n - 1)));
        }
    } else {
        ost.SyncOpts = std::llrint(syncIpts);
    }
    n = std::min<int64_t>(n, s_.MaxFrames[0] - ost.FrameNumber);
    if (n <= 0)
        return;
    AVFrame* picture = PictureToEncode(ost, in);
    if (picture != in) {
        picture->quality = in->quality;
        picture->pict_type = in->pict_type;
    }
    // A stop is honoured between duplicates: the picture read in this pass is always written,
    // so the frame during which the stop was asked for is not lost.
    for (int64_t i = 0; i < n; ++i) {
        if (i > 0) {
            job_.PassPauseGate();
            if (job_.StopRequested())
                break;
        }
        const int64_t time = ff::av_rescale_q(ost.SyncOpts, enc->time_base, AV_TIME_BASE_Q);
        AVFrame* encoded = job_.OnVideoOutputHook ? RunVideoOutputHook(ost, picture, time) : picture;
        job_.PreviewPicture(encoded, ost.FrameNumber, time);
        EncodeVideoFrame(ost, encoded);
        ++ost.SyncOpts;
        ++ost.FrameNumber;
    }
}

namespace {
// True when two pictures of the same size and packed pixel format hold the same pixels. Still
// pictures are common here (a slideshow holds each photo for seconds), and comparing costs a
// small fraction of converting.
bool SamePackedPixels(const AVFrame* a, const AVFrame* b) {
    if (!a || !b || !a->data[0] || a->width != b->width || a->height != b->height || a->format != b->format ||
        a->linesize[0] != b->linesize[0] || a->linesize[0] <= 0)
        return false;
    const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(AVPixelFormat(a->format));
    if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_PLANAR | AV_PIX_FMT_FLAG_PAL)))
        return false;
    if (a->data[0] == b->data[0])
        return true;
    std::size_t rowBytes = std::size_t(ff::av_image_get_linesize(AVPixelFormat(a->format), a->width, 0));
    for (int y = 0; y < a->height; ++y)
        if (std::memcmp(a->data[0] + std::ptrdiff_t(y) * a->linesize[0], b->data[0] + std::ptrdiff_t(y) * b->linesize[0],
                        rowBytes) != 0)
            return false;
    return true;
}
} // namespace

// The decoded picture itself when it already has the encoder's size and format, else the
// stream's scaled picture. A change of the input's size or format re-creates the scaler.
namespace {
// The planes of pic (format and size set) in one buffer from the stream's pool: a picture of
// every frame that changes would otherwise be a fresh allocation of a few megabytes, whose
// pages fault in anew and whose churn leaves the heap larger than what it holds.
int PooledPicture(TOutputStream& ost, AVFrame* pic) {
    constexpr int Align = 64;
    const AVPixelFormat format = AVPixelFormat(pic->format);
    const int size = ff::av_image_get_buffer_size(format, pic->width, pic->height, Align);
    if (size < 0)
        return size;
    if (!ost.PicturePool || ost.PicturePoolSize != size) {
        // The encoders' vector code may read a little beyond the last row.
        ost.PicturePool.reset(ff::av_buffer_pool_init(std::size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE + Align, nullptr));
        ost.PicturePoolSize = ost.PicturePool ? size : 0;
        if (!ost.PicturePool)
            return AVERROR(ENOMEM);
    }
    AVBufferRef* buffer = ff::av_buffer_pool_get(ost.PicturePool.get());
    if (!buffer)
        return AVERROR(ENOMEM);
    // Pooled memory is aligned as av_malloc aligns; the planes start at multiples of Align.
    std::uint8_t* start = buffer->data + (Align - reinterpret_cast<std::uintptr_t>(buffer->data) % Align) % Align;
    const int rc = ff::av_image_fill_arrays(pic->data, pic->linesize, start, format, pic->width, pic->height, Align);
    if (rc < 0) {
        ff::av_buffer_unref(&buffer);
        return rc;
    }
    pic->buf[0] = buffer;
    return 0;
}
} // namespace

AVFrame* TTranscoder::PictureToEncode(TOutputStream& ost, AVFrame* in) {
    AVCodecContext* enc = ost.Encoder.get();
    if (in->width != ost.RescaleWidth || in->height != ost.RescaleHeight || in->format != ost.RescaleFormat) {
        const TInputStream& ist = ist_[ost.SourceIndex];
        const char* fmtName = ff::av_get_pix_fmt_name(AVPixelFormat(in->format));
        EngineLog(llInfo, Fmt("Input Stream #%d.%d frame size changed to %dx%d, %s", ist.FileIndex, ist.StreamIndex,
                              in->width, in->height, fmtName ? fmtName : "none"));
        ost.RescaleWidth = in->width;
        ost.RescaleHeight = in->height;
        ost.RescaleFormat = AVPixelFormat(in->format);
        ost.Scaler.reset();
        ost.NeedsRescale = in->width != enc->width || in->height != enc->height || in->format != ost.PictureFormat();
    }
    if (!ost.NeedsRescale)
        return in;
    const AVPixelFormat layout = ost.PictureFormat();
    bool fast = FastConversionApplies(in, enc->width, enc->height, layout);
    if (!ost.Scaler && !fast) {
        ost.Scaler.reset(ff::sws_getContext(ost.RescaleWidth, ost.RescaleHeight, ost.RescaleFormat, enc->width,
                                            enc->height, layout, job_.generic_.ScalerFlags(), nullptr,
                                            nullptr, nullptr));
        if (!ost.Scaler)
            throw FFmpegException("Cannot get resampling context");
    }
    if (!ost.Picture) {
        ost.Picture = NewFrame();
        ost.PictureSource = NewFrame();
    }
    AVFrame* pic = ost.Picture.get();
    if (pic->buf[0] && SamePackedPixels(in, ost.PictureSource.get()))
        return pic; // the same picture again: it is scaled already
    ff::av_frame_unref(ost.PictureSource.get());
    if (in->buf[0])
        ff::av_frame_ref(ost.PictureSource.get(), in);
    // The encoder may still hold the previous picture: then take a fresh buffer instead of
    // copying pixels that are about to be overwritten anyway.
    if (!pic->buf[0] || !ff::av_frame_is_writable(pic)) {
        ff::av_frame_unref(pic);
        pic->width = enc->width;
        pic->height = enc->height;
        pic->format = layout;
        if (PooledPicture(ost, pic) < 0)
            throw FFmpegException("Cannot allocate temp picture, check pix fmt");
    }
    if (fast)
        ConvertBgraToYuv420p(in, pic);
    else
        ff::sws_scale(ost.Scaler.get(), in->data, in->linesize, 0, in->height, pic->data, pic->linesize);
    pic->interlaced_frame = in->interlaced_frame;
    pic->top_field_first = in->top_field_first;
    pic->sample_aspect_ratio = enc->sample_aspect_ratio;
    return pic;
}

void TTranscoder::EncodeVideoFrame(TOutputStream& ost, AVFrame* picture) {
    AVCodecContext* enc = ost.Encoder.get();
    picture->pts = ost.SyncOpts;
    if (!s_.MeThreshold)
        picture->pict_type = AV_PICTURE_TYPE_NONE;
    if (ost.NextForcedKeyFrame < ost.ForcedKeyFrames.size() && picture->pts >= ost.ForcedKeyFrames[ost.NextForcedKeyFrame]) {
        picture->pict_type = AV_PICTURE_TYPE_I;
        ++ost.NextForcedKeyFrame;
    } else if (ForcedKeyAt(ost, double(picture->pts) * av_q2d(enc->time_base))) {
        picture->pict_type = AV_PICTURE_TYPE_I;
    }
    if (s_.TopFieldFirst >= 0)
        picture->top_field_first = s_.TopFieldFirst;
    // "sameq": the source's quantiser where the decoder tells it, else the stream's fixed one.
    if (!s_.SameQuant || picture->quality <= 0)
        picture->quality = enc->global_quality;
    // An encoder on the graphics chip gets the picture there, with the properties set above.
    if (ost.Hardware)
        picture = ost.Hardware->Upload(picture);
    if (!ost.EncoderThread && EncodesBeside(ost))
        // Three pictures in waiting keep the encoder busy; more would only hold memory.
        ost.EncoderThread = std::make_unique<TEncoderThread>(enc, "Video encoding failed", 3);
    if (ost.EncoderThread) {
        ost.EncoderThread->Send(picture);
        // Handed over counts as written for the choice of the next input (see the audio).
        ost.OutTime = std::max(ost.OutTime, double(picture->pts + 1) * av_q2d(enc->time_base));
        CollectPackets(ost, false);
        return;
    }
    if (ff::avcodec_send_frame(enc, picture) < 0)
        throw FFmpegException("Video encoding failed");
    ReceivePackets(ost);
}

// Encoders get a thread of their own in a run that encodes video: the video encoder then works
// while the loop reads, decodes and converts the next picture, and an audio encoder works beside
// it. Not with a pass log or per-frame statistics: those are written from the encoder's state at
// the time of each frame.
bool TTranscoder::EncodesBeside(const TOutputStream& ost) const {
    if (!ost.EncodingNeeded || ost.PassLog || ost.Pass != 0 || !s_.VStatsFile.empty())
        return false;
    if (ost.Type == AVMEDIA_TYPE_VIDEO)
        return true;
    if (ost.Type != AVMEDIA_TYPE_AUDIO)
        return false;
    for (const TOutputStream* other : ost_)
        if (other->Type == AVMEDIA_TYPE_VIDEO && other->EncodingNeeded)
            return true;
    return false;
}

// The packets an encoder's thread has made, written in order; untilEnd after the end was sent.
void TTranscoder::CollectPackets(TOutputStream& ost, bool untilEnd) {
    ost.EncoderThread->Collect([&](AVPacket* pkt) { WriteEncodedPacket(ost, pkt); }, untilEnd);
}

void TTranscoder::ReceivePackets(TOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder.get();
    AVPacket* pkt = encodedPacket_.get();
    for (;;) {
        int r = ff::avcodec_receive_packet(enc, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r < 0)
            throw FFmpegException(ost.Type == AVMEDIA_TYPE_AUDIO ? "Audio encoding failed" : "Video encoding failed");
        WriteEncodedPacket(ost, pkt);
    }
}

// An encoded packet's way into the container: statistics, the stream's time base, the pass log.
void TTranscoder::WriteEncodedPacket(TOutputStream& ost, AVPacket* pkt) {
    AVCodecContext* enc = ost.Encoder.get();
    if (ost.Type == AVMEDIA_TYPE_VIDEO) {
        videoSize_ += pkt->size;
        VideoStatistics(ost, pkt);
        size_t statsSize = 0;
        if (const uint8_t* stats = ff::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &statsSize);
            stats && statsSize >= 4) {
            ost.Quality = float(AV_RL32(stats)) / FF_QP2LAMBDA;
            // quality (4 bytes), picture type, error count, 2 reserved, then 64-bit errors
            const int errors = statsSize >= 6 ? stats[5] : 0;
            for (int j = 0; j < 3 && j < errors && statsSize >= std::size_t(8 + 8 * (j + 1)); ++j) {
                ost.LastError[j] = AV_RL64(stats + 8 + 8 * j);
                ost.ErrorSum[j] += ost.LastError[j];
            }
        }
    } else {
        audioSize_ += pkt->size;
    }
    // A video encoder counts in frames: a packet without a duration lasts one frame.
    if (ost.Type == AVMEDIA_TYPE_VIDEO && pkt->duration <= 0)
        pkt->duration = 1;
    ff::av_packet_rescale_ts(pkt, enc->time_base, ost.Stream->time_base);
    pkt->stream_index = ost.Index;
    WritePassStats(ost);
    WritePacket(ost, pkt);
}

// Per-frame statistics ("vstats") and the quantiser histogram ("qphist") of the video written.
void TTranscoder::VideoStatistics(TOutputStream& ost, const AVPacket* pkt) {
    size_t statsSize = 0;
    const uint8_t* stats = ff::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &statsSize);
    float q = stats && statsSize >= 5 ? float(AV_RL32(stats)) / FF_QP2LAMBDA : -1;
    char type = stats && statsSize >= 5 ? ff::av_get_picture_type_char(AVPictureType(stats[4])) : '?';
    if (s_.QpHist && q >= 0)
        ++qpHistogram_[std::min<std::size_t>(std::size_t(std::lround(q)), qpHistogram_.size() - 1)];
    if (s_.VStatsFile.empty())
        return;
    if (!vstats_) {
        vstats_ = std::make_unique<std::ofstream>(s_.VStatsFile, std::ios::trunc);
        if (!*vstats_)
            throw FFmpegException(Fmt("Cannot open the statistics file %s", s_.VStatsFile.c_str()));
    }
    AVCodecContext* enc = ost.Encoder.get();
    double time = double(ost.FrameNumber + 1) * av_q2d(enc->time_base);
    double bitRate = time > 0 ? double(pkt->size) * 8 / av_q2d(enc->time_base) / 1000 : 0;
    double avgBitRate = time > 0 ? double(videoSize_) * 8 / time / 1000 : 0;
    *vstats_ << Fmt("frame= %5d q= %2.1f f_size= %6d s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s "
                    "type= %c\n",
                    int(ost.FrameNumber + 1), q, pkt->size, double(videoSize_) / 1024, time, bitRate, avgBitRate, type);
}

void TTranscoder::DrainEncoder(TOutputStream& ost) {
    // A subtitle encoder keeps nothing back.
    if (!ost.Encoder || !ost.EncodingNeeded || ost.Type == AVMEDIA_TYPE_SUBTITLE)
        return;
    if (ost.Type == AVMEDIA_TYPE_AUDIO)
        FlushAudio(ost);
    if (ost.EncoderThread) {
        ost.EncoderThread->Send(nullptr);
        CollectPackets(ost, true);
        return;
    }
    int r = ff::avcodec_send_frame(ost.Encoder.get(), nullptr);
    if (r < 0 && r != AVERROR_EOF)
        throw FFmpegException(ost.Type == AVMEDIA_TYPE_AUDIO ? "Audio encoding failed" : "Video encoding failed");
    ReceivePackets(ost);
}
