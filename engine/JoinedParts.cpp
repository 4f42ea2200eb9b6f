// Join mode: one output made of every input in turn. The output streams keep their encoders
// from part to part, so the header written for the first part stays true for all of them and
// the sound has no padded gap at a join; each part's decoders are drained when its input ends,
// and the next input's times are moved behind everything the output has been given so far.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

#include <algorithm>
#include <cmath>

// Where an output stream's part ends, in seconds of output time: what its encoder has been
// handed (the encoder may still hold some of it) or, for a copy, where its last packet ends.
double TTranscoder::PartEndTime(const TOutputStream& ost) const {
    double end = ost.OutTime;
    const AVCodecContext* enc = ost.Encoder.get();
    if (!ost.EncodingNeeded || !enc)
        return end;
    if (ost.Type == AVMEDIA_TYPE_VIDEO) {
        end = std::max(end, double(ost.SyncOpts) * av_q2d(enc->time_base));
    } else if (ost.Type == AVMEDIA_TYPE_AUDIO && enc->sample_rate > 0) {
        int64_t samples = ost.SyncOpts + (ost.Fifo ? ff::av_audio_fifo_size(ost.Fifo.get()) : 0);
        if (ost.Resampler)
            samples += ff::swr_get_delay(ost.Resampler.get(), enc->sample_rate);
        end = std::max(end, double(samples) / enc->sample_rate);
    }
    return end;
}

void TTranscoder::StartNextPart() {
    const TInputFile& ended = *job_.inputs_[std::size_t(part_)];
    // What the ended input's decoders still hold goes out first; its filter graphs hand out
    // the pictures they keep and are built again for the next input's pictures.
    for (int i = ended.FirstStream; i < ended.FirstStream + ended.StreamCount; ++i) {
        TInputStream& ist = ist_[std::size_t(i)];
        if (!ist.DecodingNeeded || ist.Flushed)
            continue;
        ist.Flushed = true;
        if (!ProcessPacket(ist, nullptr) && s_.ExitOnError)
            throw FFmpegException(Fmt("Error while decoding stream #%d.%d (%s)", ist.FileIndex, ist.StreamIndex,
                                      ff::av_get_media_type_string(ist.Stream->codecpar->codec_type)));
        for (TOutputStream* ost : ost_)
            if (ost->SourceIndex == i && ost->Filter)
                FilterVideo(*ost, ist, nullptr);
    }
    double end = 0;
    for (const TOutputStream* ost : ost_)
        end = std::max(end, PartEndTime(*ost));
    ++part_;
    TInputFile& next = *job_.inputs_[std::size_t(part_)];
    next.TsOffset += std::llround(end * AV_TIME_BASE) + s_.StartTime;
    if (s_.Verbose > 0)
        EngineLog(llVerbose, Fmt("Joining input #%d \"%s\" at %0.3f s", part_, next.Context()->url ? next.Context()->url : "",
                                 end));
    for (TOutputStream* ost : ost_) {
        ost->SourceIndex = ost->SyncIndex = ost->PartSources[std::size_t(part_)];
        if (!ost->Filter)
            continue;
        const AVStream* in = ist_[std::size_t(ost->SourceIndex)].Stream;
        TVideoFilterSpec spec = ost->FilterSpec;
        spec.Width = in->codecpar->width;
        spec.Height = in->codecpar->height;
        spec.Format = AVPixelFormat(in->codecpar->format);
        spec.SampleAspect = in->sample_aspect_ratio.num ? in->sample_aspect_ratio : in->codecpar->sample_aspect_ratio;
        ost->Filter = std::make_unique<TVideoFilterGraph>(spec);
        const AVCodecContext* enc = ost->Encoder.get();
        if (ost->Filter->OutputWidth() != enc->width || ost->Filter->OutputHeight() != enc->height)
            throw FFmpegException(Fmt("The filters give the pictures of input #%d the size %dx%d, but the joined output "
                                      "is %dx%d",
                                      part_, ost->Filter->OutputWidth(), ost->Filter->OutputHeight(), enc->width,
                                      enc->height));
    }
}
