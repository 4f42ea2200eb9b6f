// Writing packets: the stream's bitstream filters in order, then the container's interleaving
// writer. Stream-copied packets are re-timed here as well.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

#include <algorithm>
#include <cstring>

void TTranscoder::InitBitstreamFilters(TOutputStream& ost) {
    AVStream* st = ost.Stream;
    for (const std::string& name : ost.BitstreamFilterNames) {
        const AVBitStreamFilter* filter = ff::av_bsf_get_by_name(name.c_str());
        AVBSFContext* raw = nullptr;
        if (!filter || ff::av_bsf_alloc(filter, &raw) < 0)
            throw FFmpegException(Fmt("Unknown bitstream filter %s", name.c_str()));
        TBsfPtr bsf(raw);
        const AVCodecParameters* in = ost.BitstreamFilters.empty() ? st->codecpar : ost.BitstreamFilters.back()->par_out;
        AVRational tb = ost.BitstreamFilters.empty() ? st->time_base : ost.BitstreamFilters.back()->time_base_out;
        if (ff::avcodec_parameters_copy(bsf->par_in, in) < 0)
            throw FFmpegException(Fmt("Could not set up bitstream filter %s", name.c_str()));
        bsf->time_base_in = tb;
        int r = ff::av_bsf_init(bsf.get());
        if (r < 0)
            throw FFmpegException(ErrorText(name, r));
        ost.BitstreamFilters.push_back(std::move(bsf));
    }
    if (!ost.BitstreamFilters.empty())
        ff::avcodec_parameters_copy(st->codecpar, ost.BitstreamFilters.back()->par_out);
    while (filterPackets_.size() < ost.BitstreamFilters.size())
        filterPackets_.push_back(NewPacket());
}

void TTranscoder::CopyPacket(TOutputStream& ost, TInputStream& ist, const AVPacket* in, int64_t packetTime) {
    if (!(in->flags & AV_PKT_FLAG_KEY) && !s_.CopyInitialNonKeyframes && ost.FrameNumber == 0)
        return;
    if (ost.Type == AVMEDIA_TYPE_AUDIO)
        audioSize_ += in->size;
    else if (ost.Type == AVMEDIA_TYPE_VIDEO) {
        videoSize_ += in->size;
        ++ost.SyncOpts;
    }
    AVRational itb = ist.Stream->time_base;
    AVRational otb = ost.Stream->time_base;
    int64_t start = ff::av_rescale_q(s_.StartTime, AV_TIME_BASE_Q, otb);
    AVPacket* pkt = copyPacket_.get();
    ff::av_packet_unref(pkt); // a failed write before may have left its data here
    if (ff::av_packet_ref(pkt, in) < 0)
        throw FFmpegException("av_packet_clone failed");
    pkt->stream_index = ost.Index;
    pkt->pts = in->pts != AV_NOPTS_VALUE ? ff::av_rescale_q(in->pts, itb, otb) - start : AV_NOPTS_VALUE;
    pkt->dts = in->dts != AV_NOPTS_VALUE ? ff::av_rescale_q(in->dts, itb, otb)
                                         : ff::av_rescale_q(packetTime, AV_TIME_BASE_Q, otb);
    pkt->dts -= start;
    pkt->duration = ff::av_rescale_q(in->duration, itb, otb);
    WritePacket(ost, pkt);
    ++ost.FrameNumber;
}

// The filters were set up before the header was written, in the stream's time base of that
// moment; the container may have chosen another one since. Packets arrive in the stream's
// present time base and go into and out of the chain in the chain's own.
void TTranscoder::WritePacket(TOutputStream& ost, AVPacket* pkt) {
    if (!ost.BitstreamFilters.empty())
        ff::av_packet_rescale_ts(pkt, ost.Stream->time_base, ost.BitstreamFilters.front()->time_base_in);
    FilterAndWrite(ost, 0, pkt);
}

// Filters that gather data (re-chunking, frame merging) hand out what they hold only when told
// that no more packets come; each filter's end is passed on to the next one.
void TTranscoder::FlushBitstreamFilters(TOutputStream& ost) {
    for (std::size_t i = 0; i < ost.BitstreamFilters.size(); ++i)
        FilterAndWrite(ost, i, nullptr);
}

// pkt nullptr: the end of the packets for filter `index`.
void TTranscoder::FilterAndWrite(TOutputStream& ost, std::size_t index, AVPacket* pkt) {
    if (index >= ost.BitstreamFilters.size()) {
        if (!ost.BitstreamFilters.empty())
            ff::av_packet_rescale_ts(pkt, ost.BitstreamFilters.back()->time_base_out, ost.Stream->time_base);
        return Mux(ost, pkt);
    }
    AVBSFContext* bsf = ost.BitstreamFilters[index].get();
    int r = ff::av_bsf_send_packet(bsf, pkt);
    AVPacket* out = filterPackets_[index].get();
    while (r >= 0) {
        ff::av_packet_unref(out); // the next filter or the muxer normally took it already
        r = ff::av_bsf_receive_packet(bsf, out);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r >= 0)
            FilterAndWrite(ost, index + 1, out);
    }
    std::string text = Fmt("%s failed for stream %d, codec %s", bsf->filter->name, ost.Index,
                           ost.Encoder && ost.Encoder->codec ? ost.Encoder->codec->name : "copy");
    text += ' ';
    text += ErrorCodeText(r);
    if (s_.ExitOnError)
        throw FFmpegException(text);
    EngineLog(llError, text);
}

void TTranscoder::Mux(TOutputStream& ost, AVPacket* pkt) {
    // The stream's next time: where the packet just written ends. Input choice compares it,
    // so it must not lag by the packet being written.
    AVRational tb = ost.Stream->time_base;
    int64_t start = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
    if (start != AV_NOPTS_VALUE)
        ost.OutTime = std::max(ost.OutTime, double(start + pkt->duration) * av_q2d(tb));
    TOutputFile& out = *job_.outputs_[ost.FileIndex];
    if (SoundPastLastFrame(ost, pkt) || !FitsSizeLimit(out, pkt)) {
        ff::av_packet_unref(pkt);
        return;
    }
    const int64_t dts = pkt->dts;
    int r = ff::av_interleaved_write_frame(out.Context(), pkt);
    if (r < 0) {
        if (ost.LastMuxDts != NoTimestamp && dts != AV_NOPTS_VALUE && dts <= ost.LastMuxDts)
            ThrowTimesWentBack(ost, out, r);
        throw FFmpegException(ErrorText(out.FileName, r));
    }
    if (dts != AV_NOPTS_VALUE)
        ost.LastMuxDts = dts;
    ++out.PacketsWritten;
}

// The container refused a packet that goes back in time. The stream's times follow its source,
// so the fault lies with an input file whose own times went back (a damaged soundtrack whose
// frame numbers are noise): the message names that file, and the output it was written to.
void TTranscoder::ThrowTimesWentBack(const TOutputStream& ost, const TOutputFile& out, int code) const {
    if (ost.SourceIndex >= 0) {
        const TInputStream& ist = ist_[std::size_t(ost.SourceIndex)];
        const TInputFile& file = *job_.inputs_[std::size_t(ist.FileIndex)];
        if (!file.IsVirtual() && file.Context()->url)
            throw FFmpegException(Fmt("%s (its times go back at %.2f s; writing %s)",
                                      ErrorText(file.Context()->url, code).c_str(), double(ist.Pts) / AV_TIME_BASE,
                                      out.FileName.c_str()));
    }
    throw FFmpegException(ErrorText(out.FileName, code));
}

// A Flash movie carries its sound only along with its frames: once the pictures have ended the
// muxer would hold the sound for frames that never come, and fail when its buffer is full. So
// there the sound ends with the last frame.
bool TTranscoder::SoundPastLastFrame(const TOutputStream& ost, const AVPacket* pkt) const {
    if (ost.Type != AVMEDIA_TYPE_AUDIO || std::strcmp(job_.outputs_[ost.FileIndex]->Context()->oformat->name, "swf") != 0)
        return false;
    const int64_t start = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (start == AV_NOPTS_VALUE)
        return false;
    const double time = double(start) * av_q2d(ost.Stream->time_base);
    for (const TOutputStream* video : ost_)
        if (video->FileIndex == ost.FileIndex && video->Type == AVMEDIA_TYPE_VIDEO && video->SourceIndex >= 0) {
            const TInputStream& ist = ist_[std::size_t(video->SourceIndex)];
            if (!job_.inputs_[std::size_t(ist.FileIndex)]->EndReached || time < video->OutTime)
                return false;
            return true;
        }
    return false;
}

namespace {
// What a container adds per packet (chunk headers, block headers, index entries: avi's 24 bytes
// are the most of ours) and what its trailer needs besides (the mp4 movie header, matroska cues).
constexpr int64_t PacketOverhead = 32;
constexpr int64_t TrailerReserve = 2048;
} // namespace

// With a size limit the file stays under it: a packet that would take it past the limit is not
// written, nor is any packet after it, so the file ends cleanly at the last one that fitted.
// Muxers that gather a cluster in memory (matroska) or hold packets for interleaving write
// nothing for a while, so the file position alone would let the file grow far past the limit;
// the bytes handed to the muxer count as well.
bool TTranscoder::FitsSizeLimit(TOutputFile& out, const AVPacket* pkt) {
    if (s_.LimitFileSize <= 0)
        return true;
    AVIOContext* pb = out.Context()->pb;
    if (out.Full || !pb)
        return !out.Full;
    int64_t position = ff::avio_seek(pb, 0, SEEK_CUR);
    if (out.PacketsWritten == 0)
        out.HeaderBytes = position;
    int64_t written = std::max(position, out.HeaderBytes + out.PayloadBytes) + PacketOverhead * out.PacketsWritten;
    if (written + pkt->size + PacketOverhead + TrailerReserve > s_.LimitFileSize) {
        out.Full = true;
        return false;
    }
    out.PayloadBytes += pkt->size;
    return true;
}
