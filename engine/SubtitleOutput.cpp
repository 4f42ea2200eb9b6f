// Subtitles that an output encodes instead of copying: each decoded subtitle is encoded once
// (twice for DVB, whose second packet clears the screen) and written with its display time.
// Text subtitles become text (subrip, ass, mov_text, webvtt) and pictures pictures; nothing in
// the libraries turns one into the other, so such a pairing is refused before the run starts.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

#include <cstdint>
#include <algorithm>
#include <cstring>

namespace {
constexpr int SubtitleBufferSize = 1024 * 1024;
constexpr AVRational Milliseconds{1, 1000};

// What a subtitle codec carries: 1 text, 2 pictures, 0 not known.
int SubtitleKind(AVCodecID id) {
    const AVCodecDescriptor* d = ff::avcodec_descriptor_get(id);
    if (!d)
        return 0;
    return (d->props & AV_CODEC_PROP_TEXT_SUB) ? 1 : (d->props & AV_CODEC_PROP_BITMAP_SUB) ? 2 : 0;
}

const char* KindName(int kind) { return kind == 1 ? "text" : "picture"; }

// Frees what the decoder put into a subtitle.
struct TSubtitleGuard {
    AVSubtitle* Subtitle;
    ~TSubtitleGuard() { ff::avsubtitle_free(Subtitle); }
};
} // namespace

void TTranscoder::SetupSubtitleEncoding(TOutputStream& ost, TInputStream& ist) {
    const AVCodecID source = ist.Stream->codecpar->codec_id;
    const int from = SubtitleKind(source), to = SubtitleKind(ost.CodecId);
    if (from && to && from != to)
        throw FFmpegException(Fmt("Input stream #%d.%d (%s) holds %s subtitles, which cannot be encoded as %s "
                                  "subtitles (%s) for output stream #%d.%d: copy them (-scodec copy) into a container "
                                  "that carries them, or leave them out (-sn)",
                                  ist.FileIndex, ist.StreamIndex, ff::avcodec_get_name(source), KindName(from),
                                  KindName(to), ff::avcodec_get_name(ost.CodecId), ost.FileIndex, ost.Index));
    AVCodecContext* enc = ost.Encoder.get();
    enc->time_base = AV_TIME_BASE_Q;
    enc->width = ist.Stream->codecpar->width;
    enc->height = ist.Stream->codecpar->height;
    // The encoder takes the styles of the decoded text (the ASS header) along; the decoder is
    // opened now to have them.
    if (!ist.Decoder)
        OpenDecoder(ist);
    const AVCodecContext* dec = ist.Decoder.get();
    if (dec->subtitle_header && dec->subtitle_header_size > 0 && !enc->subtitle_header) {
        enc->subtitle_header = static_cast<uint8_t*>(ff::av_mallocz(std::size_t(dec->subtitle_header_size) + 1));
        if (!enc->subtitle_header)
            throw FFmpegException("av_malloc failed");
        std::memcpy(enc->subtitle_header, dec->subtitle_header, std::size_t(dec->subtitle_header_size));
        enc->subtitle_header_size = dec->subtitle_header_size;
    }
    ost.EncodingNeeded = true;
    ist.DecodingNeeded = true;
}

void TTranscoder::THeldSubtitle::Release() {
    if (Held)
        ff::avsubtitle_free(&Subtitle);
    Held = false;
}

bool TTranscoder::DecodeSubtitle(TInputStream& ist, const AVPacket* pkt) {
    AVCodecContext* dec = ist.Decoder.get();
    const bool draining = !pkt;
    // Only decoders that hold subtitles back have any left at the end.
    if (!draining || (dec->codec->capabilities & AV_CODEC_CAP_DELAY)) {
        TPacketPtr blank;
        if (draining) {
            blank = NewPacket();
            pkt = blank.get();
        }
        for (;;) {
            AVSubtitle subtitle{};
            int got = 0;
            // The decoder reads the packet only; the old interface merely lacks the const.
            if (ff::avcodec_decode_subtitle2(dec, &subtitle, &got, const_cast<AVPacket*>(pkt)) < 0)
                return false;
            if (!got)
                break;
            HandleSubtitle(ist, subtitle);
            if (!draining)
                break;
        }
    }
    // At the end, a subtitle still waiting for its end goes out without one.
    const int sourceIndex = int(&ist - ist_.data());
    auto held = heldSubtitles_.find(sourceIndex);
    if (draining && held != heldSubtitles_.end() && held->second.Held) {
        EmitSubtitle(ist, held->second.Subtitle);
        held->second.Release();
    }
    return true;
}

// One decoded subtitle, which this takes over. It ends the one held before it; an empty one
// (picture subtitles clear the screen with it) does nothing else.
void TTranscoder::HandleSubtitle(TInputStream& ist, AVSubtitle& subtitle) {
    TSubtitleGuard guard{&subtitle};
    ++ist.FrameCounter;
    THeldSubtitle& held = heldSubtitles_[int(&ist - ist_.data())];
    if (held.Held) {
        AVSubtitle& previous = held.Subtitle;
        if (subtitle.pts != AV_NOPTS_VALUE && previous.pts != AV_NOPTS_VALUE && subtitle.pts > previous.pts)
            previous.end_display_time =
                uint32_t(std::min<int64_t>(ff::av_rescale_q(subtitle.pts - previous.pts, AV_TIME_BASE_Q, Milliseconds),
                                           UINT32_MAX - 1));
        EmitSubtitle(ist, previous);
        held.Release();
    }
    if (subtitle.num_rects == 0)
        return;
    if (subtitle.end_display_time == UINT32_MAX) {
        held.Subtitle = subtitle;
        held.Held = true;
        subtitle = AVSubtitle{}; // the held copy owns the rectangles now
        return;
    }
    EmitSubtitle(ist, subtitle);
}

void TTranscoder::EmitSubtitle(TInputStream& ist, const AVSubtitle& subtitle) {
    if (s_.StartTime != 0 && subtitle.pts != AV_NOPTS_VALUE && subtitle.pts < s_.StartTime)
        return;
    const int sourceIndex = int(&ist - ist_.data());
    for (TOutputStream* ost : ost_)
        if (ost->SourceIndex == sourceIndex && ost->EncodingNeeded)
            OutputSubtitle(*ost, subtitle);
}

void TTranscoder::OutputSubtitle(TOutputStream& ost, const AVSubtitle& subtitle) {
    if (subtitle.pts == AV_NOPTS_VALUE) {
        if (s_.ExitOnError)
            throw FFmpegException("Subtitle packets must have a pts");
        EngineLog(llError, "Subtitle packets must have a pts");
        return;
    }
    if (subtitleBuffer_.empty())
        subtitleBuffer_.resize(SubtitleBufferSize);
    AVCodecContext* enc = ost.Encoder.get();
    // The encoders want the display to begin at the subtitle's time: its delay moves into the
    // time, output times count from the start position.
    AVSubtitle sub = subtitle; // shares the decoded rectangles, which stay the decoder's
    sub.pts = subtitle.pts - s_.StartTime + ff::av_rescale_q(subtitle.start_display_time, Milliseconds, AV_TIME_BASE_Q);
    sub.end_display_time = subtitle.end_display_time - subtitle.start_display_time;
    sub.start_display_time = 0;
    const AVRational tb = ost.Stream->time_base;
    // Picture subtitles often end only with the next one (the decoder gives the largest end
    // time): such a packet has no duration, and DVB gets no clearing packet at that end.
    const bool openEnded = subtitle.end_display_time == UINT32_MAX;
    const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    for (int pass = 0; pass < (dvb && !openEnded ? 2 : 1); ++pass) {
        if (pass == 1)
            sub.num_rects = 0; // the clearing packet
        int size = ff::avcodec_encode_subtitle(enc, subtitleBuffer_.data(), int(subtitleBuffer_.size()), &sub);
        if (size < 0)
            throw FFmpegException("Subtitle encoding failed");
        if (size == 0)
            continue;
        AVPacket* pkt = encodedPacket_.get();
        ff::av_packet_unref(pkt);
        if (ff::av_new_packet(pkt, size) < 0)
            throw FFmpegException("Subtitle encoding failed: out of memory");
        std::memcpy(pkt->data, subtitleBuffer_.data(), std::size_t(size));
        pkt->stream_index = ost.Index;
        pkt->pts = ff::av_rescale_q(sub.pts, AV_TIME_BASE_Q, tb);
        if (pass == 1)
            pkt->pts += ff::av_rescale_q(sub.end_display_time, Milliseconds, tb);
        pkt->dts = pkt->pts;
        pkt->duration = pass == 1 || openEnded ? 0 : ff::av_rescale_q(sub.end_display_time, Milliseconds, tb);
        WritePacket(ost, pkt);
    }
    ++ost.FrameNumber;
}
