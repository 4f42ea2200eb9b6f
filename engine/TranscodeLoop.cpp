// The transcode loop: pick the input furthest behind, read one packet, decode it and hand the
// result to every output stream it feeds; at the end flush decoders and encoders and write the
// trailers.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"
#include "medialib/InterruptCB.h"
#include "medialib/MainThread.h"

#include <cmath>
#include <optional>

namespace {
std::string DecodeErrorText(const TInputStream& ist) {
    return Fmt("Error while decoding stream #%d.%d (%s)", ist.FileIndex, ist.StreamIndex,
               ff::av_get_media_type_string(ist.Stream->codecpar->codec_type));
}
} // namespace

void TTranscoder::Run() {
    Prepare();
    try {
        // Blocking reads give up when a stop is requested; the user-interface thread keeps
        // its I/O uninterrupted. The writes of the outputs never do: what was encoded up to
        // the stop is flushed and closed with its trailer, and the file plays.
        std::optional<TInterruptScope> stopTest;
        if (!MainThreadDispatcher() || !MainThreadDispatcher()->IsMainThread())
            stopTest.emplace(&job_, &TCustomFFmpeg::StopCheck, TInterruptReach::InputsOnly);
        Loop();
        stopTest.reset();
        Flush();
    } catch (...) {
        SettleEncoderThreads();
        throw;
    }
    WriteTrailers();
    ReportProgress(true, -1);
    // A run that ends without one packet in an output (a start past the end, a frame limit of
    // zero, an input that had nothing to decode) is no success; the empty file is removed.
    if (!job_.StopRequested())
        for (auto& out : job_.outputs_)
            if (out->PacketsWritten == 0)
                throw FFmpegException("Output file is empty, nothing was encoded");
    CheckAudioDecoded();
}

// An audio input read to its end without one decoded sample (an empty or damaged soundtrack)
// left its outputs without sound: that is no success, and the file is named. The outputs are
// closed already, so what was written plays.
void TTranscoder::CheckAudioDecoded() const {
    if (job_.StopRequested())
        return;
    for (const TInputStream& ist : ist_) {
        const TInputFile& file = *job_.inputs_[std::size_t(ist.FileIndex)];
        if (ist.Free || !ist.DecodingNeeded || ist.FrameCounter > 0 || !file.EndReached || file.IsVirtual() ||
            ist.Stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        const char* name = file.Context()->url ? file.Context()->url : "";
        throw FFmpegException(Fmt("%s: no audio could be decoded from it", name));
    }
}

void TTranscoder::Loop() {
    startTime_ = lastReport_ = ff::av_gettime_relative();
    for (auto& in : job_.inputs_)
        in->NoPacketNow = false;
    int noPacketCount = 0;
    for (;;) {
        job_.PassPauseGate();
        if (job_.StopRequested())
            break;
        int fileIndex = ChooseInput();
        if (fileIndex < 0) {
            if (noPacketCount > 0) {
                noPacketCount = 0;
                for (auto& in : job_.inputs_)
                    in->NoPacketNow = false;
                ff::av_usleep(10000);
                continue;
            }
            break;
        }
        if (s_.LimitFileSize > 0) {
            const TOutputFile& first = *job_.outputs_[0];
            AVIOContext* pb = first.Context()->pb;
            if (first.Full || (pb && ff::avio_seek(pb, 0, SEEK_CUR) >= s_.LimitFileSize))
                break;
        }
        TInputFile& file = *job_.inputs_[fileIndex];
        AVPacket* pkt = packet_.get();
        int r = file.ReadPacket(pkt);
        if (r == AVERROR(EAGAIN)) {
            file.NoPacketNow = true;
            ++noPacketCount;
            continue;
        }
        if (r < 0) {
            CheckInputEnd(file, r);
            file.EndReached = true;
            // A joined output goes on with the next input; it ends with the last one.
            if (job_.JoinMode()) {
                if (fileIndex == part_ && part_ + 1 < job_.InputCount())
                    StartNextPart();
                continue;
            }
            if (s_.Shortest)
                break;
            continue;
        }
        noPacketCount = 0;
        for (auto& in : job_.inputs_)
            in->NoPacketNow = false;
        currentInput_ = fileIndex;
        if (s_.DumpPackets)
            ff::av_pkt_dump_log2(nullptr, AV_LOG_INFO, pkt, s_.DumpHex, file.Context()->streams[pkt->stream_index]);
        bool ok = true;
        int streamIndex = pkt->stream_index;
        try {
            ok = HandlePacket(file, pkt);
        } catch (...) {
            ff::av_packet_unref(pkt);
            throw;
        }
        ff::av_packet_unref(pkt);
        if (!ok) {
            std::string text = DecodeErrorText(ist_[file.FirstStream + streamIndex]);
            if (s_.ExitOnError)
                throw FFmpegException(text);
            if (s_.Verbose >= 0)
                EngineLog(llVerbose, text);
        }
        int64_t now = ff::av_gettime_relative();
        if (now - lastReport_ > job_.ProgressInterval) {
            lastReport_ = now;
            ReportProgress(false, fileIndex);
        }
    }
}

// A run that fails part way still writes what its encoder threads were given, as a run without
// them would have: the file keeps every frame encoded before the failure. A thread that failed
// itself, or a muxer that fails again, leaves it at that.
void TTranscoder::SettleEncoderThreads() noexcept {
    for (TOutputStream* ost : ost_) {
        if (!ost->EncoderThread)
            continue;
        try {
            ost->EncoderThread->Send(nullptr);
        } catch (...) { // the end was sent already, or the encoder failed
        }
        try {
            CollectPackets(*ost, true);
        } catch (...) {
        }
    }
}

int TTranscoder::ChooseInput() {
    double iptsMin = 1e100, optsMin = 1e100;
    int chosen = -1;
    for (TOutputStream* ost : ost_) {
        const TInputStream& ist = ist_[ost->SourceIndex];
        const TInputFile& file = *job_.inputs_[ist.FileIndex];
        if (ist.PastRecordingTime || file.NoPacketNow)
            continue;
        if (!file.EndReached) {
            double ipts = double(ist.Pts);
            if (ipts < iptsMin) {
                iptsMin = ipts;
                if (s_.InputSync)
                    chosen = ist.FileIndex;
            }
            if (ost->OutTime < optsMin) {
                optsMin = ost->OutTime;
                if (!s_.InputSync)
                    chosen = ist.FileIndex;
            }
        }
        int kind = ost->Type == AVMEDIA_TYPE_VIDEO ? 0 : ost->Type == AVMEDIA_TYPE_AUDIO ? 1 : 2;
        if (ost->FrameNumber >= s_.MaxFrames[kind])
            return -1;
    }
    return chosen;
}

// Steps of one read packet before it is processed: offsets, scales, discontinuities, the
// recording limit. Returns false when processing failed.
bool TTranscoder::HandlePacket(TInputFile& file, AVPacket* pkt) {
    AVFormatContext* ic = file.Context();
    // A stream that the demuxer found while reading has no record: its index would point into
    // the next file's streams.
    if (pkt->stream_index < 0 || pkt->stream_index >= file.StreamCount)
        return true;
    TInputStream& ist = ist_[file.FirstStream + pkt->stream_index];
    if (ist.Free)
        return true;
    AVRational tb = ist.Stream->time_base;
    int64_t offset = ff::av_rescale_q(file.TsOffset, AV_TIME_BASE_Q, tb);
    if (pkt->dts != AV_NOPTS_VALUE)
        pkt->dts += offset;
    if (pkt->pts != AV_NOPTS_VALUE)
        pkt->pts += offset;
    auto scale = file.TsScale.find(pkt->stream_index);
    if (scale != file.TsScale.end() && scale->second != 0) {
        if (pkt->dts != AV_NOPTS_VALUE)
            pkt->dts = int64_t(std::llround(double(pkt->dts) * scale->second));
        if (pkt->pts != AV_NOPTS_VALUE)
            pkt->pts = int64_t(std::llround(double(pkt->pts) * scale->second));
    }
    if (!file.IsVirtual() && (ic->iformat->flags & AVFMT_TS_DISCONT) && pkt->dts != AV_NOPTS_VALUE &&
        ist.NextPts != NoTimestamp && !s_.CopyTs) {
        int64_t pktDts = ff::av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
        int64_t delta = pktDts - ist.NextPts;
        if (std::llabs(delta) > int64_t(s_.DtsDeltaThreshold * AV_TIME_BASE) || pktDts + 1 < ist.Pts) {
            file.TsOffset -= delta;
            file.TimestampsJumped = true;
            if (s_.Verbose > 2)
                EngineLog(llVerbose, Fmt("timestamp discontinuity %lld, new offset= %lld", (long long)delta,
                                         (long long)file.TsOffset));
            int64_t shift = ff::av_rescale_q(delta, AV_TIME_BASE_Q, tb);
            pkt->dts -= shift;
            if (pkt->pts != AV_NOPTS_VALUE)
                pkt->pts -= shift;
        }
    }
    if (s_.RecordingTime != INT64_MAX) {
        int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (t != AV_NOPTS_VALUE &&
            ff::av_compare_ts(t, tb, s_.RecordingTime + s_.StartTime, AV_TIME_BASE_Q) >= 0) {
            ist.PastRecordingTime = true;
            return true;
        }
    }
    return ProcessPacket(ist, pkt);
}

// One packet of an input stream, or nullptr for the end of its data. The packet goes to every
// output stream it feeds: decoded for those that encode, as it is for those that copy.
bool TTranscoder::ProcessPacket(TInputStream& ist, const AVPacket* pkt) {
    if (ist.NextPts == NoTimestamp)
        ist.NextPts = ist.Pts;
    if (pkt && pkt->dts != AV_NOPTS_VALUE)
        ist.NextPts = ist.Pts = ff::av_rescale_q(pkt->dts, ist.Stream->time_base, AV_TIME_BASE_Q);
    // The copies are timed by the packet, not by the pictures the decoder hands out for it.
    const int64_t packetTime = ist.NextPts;

    bool ok = true;
    if (ist.DecodingNeeded) {
        if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            ok = DecodeVideo(ist, pkt);
        else if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            ok = DecodeAudio(ist, pkt);
        else if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
            ok = DecodeSubtitle(ist, pkt);
    } else {
        ist.Pts = ist.NextPts;
        AdvanceCopyTime(ist, pkt);
        if (pkt)
            EmulateRate(ist);
    }
    if (!pkt || !ok || (s_.StartTime != 0 && packetTime < s_.StartTime))
        return ok;
    int sourceIndex = int(&ist - ist_.data());
    for (TOutputStream* ost : ost_)
        if (ost->SourceIndex == sourceIndex && ost->StreamCopy)
            CopyPacket(*ost, ist, pkt, packetTime);
    return ok;
}

void TTranscoder::AdvanceCopyTime(TInputStream& ist, const AVPacket* pkt) {
    if (!pkt)
        return;
    const AVCodecParameters* par = ist.Stream->codecpar;
    if (pkt->duration > 0) {
        ist.NextPts += ff::av_rescale_q(pkt->duration, ist.Stream->time_base, AV_TIME_BASE_Q);
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) {
        ist.NextPts += int64_t(AV_TIME_BASE) * par->frame_size / par->sample_rate;
    } else if (par->codec_type == AVMEDIA_TYPE_VIDEO && ist.Stream->r_frame_rate.num) {
        ist.NextPts += ff::av_rescale_q(1, av_inv_q(ist.Stream->r_frame_rate), AV_TIME_BASE_Q);
    }
}

void TTranscoder::EmulateRate(TInputStream& ist) {
    if (!s_.RateEmulation)
        return;
    int64_t elapsed = ff::av_gettime_relative() - ist.WallStart;
    if (ist.Pts > elapsed + 1000)
        ff::av_usleep(unsigned((ist.Pts - elapsed) / 1000 * 1000));
}

bool TTranscoder::DecodeVideo(TInputStream& ist, const AVPacket* pkt) {
    AVCodecContext* dec = ist.Decoder.get();
    int r = ff::avcodec_send_packet(dec, pkt);
    if (r < 0 && r != AVERROR_EOF && r != AVERROR(EAGAIN))
        return false;
    AVFrame* frame = ist.Frame.get();
    int sourceIndex = int(&ist - ist_.data());
    for (;;) {
        r = ff::avcodec_receive_frame(dec, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return false;
        int64_t best = frame->best_effort_timestamp;
        ist.Pts = best != AV_NOPTS_VALUE ? ff::av_rescale_q(best, ist.Stream->time_base, AV_TIME_BASE_Q) : ist.NextPts;
        int64_t duration = 0;
        if (frame->pkt_duration > 0)
            duration = ff::av_rescale_q(frame->pkt_duration, ist.Stream->time_base, AV_TIME_BASE_Q);
        else if (ist.Stream->r_frame_rate.num)
            duration = ff::av_rescale_q(1, av_inv_q(ist.Stream->r_frame_rate), AV_TIME_BASE_Q);
        ist.NextPts = ist.Pts + duration;
        ++ist.FrameCounter;
        if (!s_.MeThreshold) // with it, the encoder keeps the source's picture types
            frame->pict_type = AV_PICTURE_TYPE_NONE;
        if (job_.OnVideoInputHook)
            RunVideoInputHook(ist, frame);
        else if (!job_.frameHooks_.Empty())
            RunFrameHooks(ist, frame);
        EmulateRate(ist);
        if (s_.StartTime == 0 || ist.Pts >= s_.StartTime)
            for (TOutputStream* ost : ost_)
                if (ost->SourceIndex == sourceIndex && ost->EncodingNeeded) {
                    FilterVideo(*ost, ist, frame);
                    if (job_.StopRequested())
                        break;
                }
        ff::av_frame_unref(frame);
    }
}

void TTranscoder::Flush() {
    for (TInputStream& ist : ist_) {
        if (!ist.DecodingNeeded || ist.Flushed)
            continue;
        ist.Flushed = true;
        if (!ProcessPacket(ist, nullptr) && s_.ExitOnError)
            throw FFmpegException(DecodeErrorText(ist));
        int sourceIndex = int(&ist - ist_.data());
        for (TOutputStream* ost : ost_)
            if (ost->SourceIndex == sourceIndex && ost->EncodingNeeded) {
                if (ost->Filter)
                    FilterVideo(*ost, ist, nullptr);
                DrainEncoder(*ost);
            }
    }
    for (TOutputStream* ost : ost_)
        FlushBitstreamFilters(*ost);
}

void TTranscoder::WriteTrailers() {
    for (auto& out : job_.outputs_) {
        if (!out->HeaderWritten || out->TrailerWritten)
            continue;
        out->TrailerWritten = true;
        int r = ff::av_write_trailer(out->Context());
        if (r < 0) {
            out->TrailerFailed = true;
            throw FFmpegException(ErrorText(out->FileName, r));
        }
    }
}

// One digit per quantiser 0..31: log2(count + 1), rounded.
std::string TTranscoder::QpHistogramDigits() const {
    std::string digits;
    for (std::size_t q = 0; q < 32; ++q)
        digits += Fmt("%X", int(std::lrint(std::log2(double(qpHistogram_[q]) + 1))));
    return digits;
}

// The peak signal-to-noise ratios of Y, U, V and of the whole picture: of the last picture, or
// in the final report of all pictures written. Chroma planes have a quarter of the samples.
std::string TTranscoder::PsnrText(const TOutputStream& ost, bool final) const {
    const AVCodecContext* enc = ost.Encoder.get();
    const double frames = final ? double(std::max<int64_t>(ost.FrameNumber, 1)) : 1;
    auto psnr = [](double d) { return -10.0 * std::log10(d); };
    std::string text = "PSNR=";
    double errorSum = 0, scaleSum = 0;
    for (int j = 0; j < 3; ++j) {
        double error = double(final ? ost.ErrorSum[j] : ost.LastError[j]);
        double scale = double(enc->width) * enc->height * 255.0 * 255.0 * frames;
        if (j)
            scale /= 4;
        errorSum += error;
        scaleSum += scale;
        text += Fmt("%c:%2.2f ", "YUV"[j], psnr(error / scale));
    }
    text += Fmt("*:%2.2f ", psnr(errorSum / scaleSum));
    return text;
}

void TTranscoder::ReportProgress(bool final, int currentInput) {
    TProgressInfo info;
    info.Final = final;
    info.CurrentInput = currentInput;
    info.TotalDuration = job_.expectedDuration_;
    AVFormatContext* oc = job_.outputs_.empty() ? nullptr : job_.outputs_[0]->Context();
    if (oc && oc->pb && !(oc->oformat->flags & AVFMT_NOFILE)) {
        info.CurrentSize = ff::avio_size(oc->pb);
        if (info.CurrentSize < 0)
            info.CurrentSize = ff::avio_seek(oc->pb, 0, SEEK_CUR);
    }
    std::string line;
    double time = 1e10;
    bool firstVideo = true;
    for (TOutputStream* ost : ost_) {
        if (ost->Type == AVMEDIA_TYPE_VIDEO) {
            if (!firstVideo) {
                line += Fmt("q=%2.1f ", ost->Quality);
            } else {
                firstVideo = false;
                double elapsed = double(ff::av_gettime_relative() - startTime_) / 1e6;
                if (ost->FrameNumber < 1)
                    return;
                info.FrameNumber = int(ost->FrameNumber);
                info.FrameRate = elapsed > 1 ? int(double(ost->FrameNumber) / elapsed + 0.5) : 0;
                info.Quality = ost->StreamCopy ? -1 : ost->Quality;
                line += Fmt("frame=%5d fps=%3d q=%3.1f ", info.FrameNumber, info.FrameRate, info.Quality);
                if (final)
                    line += "L";
                if (s_.QpHist)
                    line += QpHistogramDigits();
                if (ost->Encoder && (ost->Encoder->flags & AV_CODEC_FLAG_PSNR))
                    line += PsnrText(*ost, final);
            }
        }
        if (ost->OutTime > 0 && ost->OutTime < time)
            time = ost->OutTime;
    }
    if (time == 1e10)
        time = 0;
    time = std::max(time, 0.01);
    info.CurrentTime = int64_t(time * 1e6);
    info.BitRate = float(double(info.CurrentSize) * 8 / time / 1000);
    bool hook = bool(job_.OnProgress);
    if (hook || s_.Verbose > 0 || final) {
        line += Fmt("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", double(info.CurrentSize) / 1024, time, info.BitRate);
        if (dupFrames_ || dropFrames_)
            line += Fmt(" dup=%lld drop=%lld", (long long)dupFrames_, (long long)dropFrames_);
        int64_t dupDrop = dupFrames_ * 1000003 + dropFrames_;
        if (!hook ? s_.Verbose >= 0 : (dupDrop != lastDupDrop_ && s_.Verbose >= 0))
            EngineLog(llVerbose, line);
        lastDupDrop_ = dupDrop;
        if (hook)
            job_.OnProgress(job_, info);
    }
    if (final && s_.QpHist) {
        std::string hist = "qp histogram:";
        for (std::size_t q = 0; q < qpHistogram_.size(); ++q)
            if (qpHistogram_[q])
                hist += Fmt(" %d:%lld", int(q), (long long)qpHistogram_[q]);
        EngineLog(llInfo, hist);
    }
    if (final && s_.Verbose >= 0) {
        double sum = double(videoSize_ + audioSize_ + extraSize_);
        EngineLog(llVerbose, Fmt("video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                                 double(videoSize_) / 1024, double(audioSize_) / 1024, double(extraSize_) / 1024,
                                 sum > 0 ? (double(info.CurrentSize) - sum) * 100 / sum : 0.0));
    }
}

void TTranscoder::RethrowNamingInput(const TInputStream& ist, const FFmpegException& e) const {
    const TInputFile& file = *job_.inputs_[std::size_t(ist.FileIndex)];
    if (ist.Stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO || file.IsVirtual() || !file.Context()->url)
        throw;
    throw FFmpegException(Fmt("%s: %s", file.Context()->url, e.what()));
}
