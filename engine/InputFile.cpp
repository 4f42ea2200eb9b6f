// Opening one input: a libavformat demuxer, or one of the engine's virtual input formats
// (whose context the engine builds and reads itself), analysed with the pending settings.

#include "engine/CodecLookup.h"
#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"
#include "medialib/InterruptCB.h"
#include "medialib/UnicodeProtocol.h"

#include <stdexcept>

TInputFile::~TInputFile() {
    if (!ctx_)
        return;
    if (virtual_) {
        if (virtual_->ReadClose)
            virtual_->ReadClose(ctx_);
        ff::avformat_free_context(ctx_);
    } else {
        CloseInputFile(&ctx_);
    }
}

int TInputFile::ReadPacket(AVPacket* pkt) {
    if (!virtual_)
        return ff::av_read_frame(ctx_, pkt);
    int result = virtual_->ReadPacket(ctx_, pkt);
    if (result < 0) {
        ff::av_packet_unref(pkt);
        return result;
    }
    return 0;
}

namespace {
// The format's own option of that name, when it has one (so that only formats that take a
// frame size or rate are told about the job's).
void SetIfFormatHas(const AVInputFormat* fmt, AVDictionary** opts, const char* name, const std::string& value) {
    if (fmt && fmt->priv_class &&
        ff::av_opt_find(const_cast<AVClass**>(&fmt->priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
        ff::av_dict_set(opts, name, value.c_str(), 0);
}

struct TContextFree {
    void operator()(AVFormatContext* c) const { ff::avformat_free_context(c); }
};
} // namespace

bool TCustomFFmpeg::OpenInputFile(const std::string& fileName) {
    TJobSettings& s = settings_;
    if (int(inputs_.size()) >= MaxFiles) {
        LastError = Fmt("Too many input files (at most %d)", MaxFiles);
        return false;
    }
    const AVInputFormat* fmt = nullptr;
    const TVirtualInputFormat* virtualFmt = nullptr;
    if (!s.ForcedFormat.empty()) {
        virtualFmt = FindVirtualInputFormat(s.ForcedFormat);
        fmt = virtualFmt ? VirtualInputDescriptor(s.ForcedFormat) : ff::av_find_input_format(s.ForcedFormat.c_str());
        if (!fmt)
            throw FFmpegException(Fmt("Unknown input format: \"%s\"", s.ForcedFormat.c_str()));
        s.ForcedFormat.clear();
    }
    std::unique_ptr<AVFormatContext, TContextFree> owned(ff::avformat_alloc_context());
    if (!owned)
        throw FFmpegException("avformat_alloc_context failed");
    AVFormatContext* ic = owned.get();

    // Every failure from here on clears the pending codec names and stops the I/O clock.
    struct TPendingReset {
        TCustomFFmpeg& Job;
        ~TPendingReset() {
            Job.StopIOClock();
            Job.settings_.VideoCodecName.clear();
            Job.settings_.AudioCodecName.clear();
            Job.settings_.SubtitleCodecName.clear();
            Job.settings_.VideoChannel = 0;
        }
    } pendingReset{*this};

    TDict opts;
    if (s.AudioSampleRate > 0)
        SetIfFormatHas(fmt, opts.Addr(), "sample_rate", std::to_string(s.AudioSampleRate));
    if (s.AudioChannels > 0)
        SetIfFormatHas(fmt, opts.Addr(), "channels", std::to_string(s.AudioChannels));
    if (s.FrameRate.num > 0 && s.FrameRate.den > 0)
        SetIfFormatHas(fmt, opts.Addr(), "framerate", Fmt("%d/%d", s.FrameRate.num, s.FrameRate.den));
    if (s.FrameWidth > 0 && s.FrameHeight > 0)
        SetIfFormatHas(fmt, opts.Addr(), "video_size", Fmt("%dx%d", s.FrameWidth, s.FrameHeight));
    if (s.FramePixFmt != AV_PIX_FMT_NONE)
        SetIfFormatHas(fmt, opts.Addr(), "pixel_format", ff::av_get_pix_fmt_name(s.FramePixFmt));
    if (s.VideoChannel)
        SetIfFormatHas(fmt, opts.Addr(), "channel", std::to_string(s.VideoChannel));
    if (!s.TvStandard.empty())
        SetIfFormatHas(fmt, opts.Addr(), "standard", s.TvStandard);
    // Only picture sequences can start over; the entry is left in the dictionary by any other
    // demuxer, which is reported below.
    if (s.LoopInput)
        ff::av_dict_set(opts.Addr(), "loop", "1", 0);
    generic_.ApplyToFormat(ic, AV_OPT_FLAG_DECODING_PARAM);

    int strict = int(generic_.CodecInt(AVMEDIA_TYPE_VIDEO, "strict"));
    const AVCodec* forced[3] = {};
    const std::string* names[3] = {&s.VideoCodecName, &s.AudioCodecName, &s.SubtitleCodecName};
    const AVMediaType types[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
    for (int k = 0; k < 3; ++k)
        if (!FindCodecByName(*names[k], types[k], false, strict, forced[k], LastError))
            return false;
    ic->video_codec = forced[0];
    ic->video_codec_id = forced[0] ? forced[0]->id : AV_CODEC_ID_NONE;
    ic->audio_codec = forced[1];
    ic->audio_codec_id = forced[1] ? forced[1]->id : AV_CODEC_ID_NONE;
    ic->subtitle_codec = forced[2];
    ic->subtitle_codec_id = forced[2] ? forced[2]->id : AV_CODEC_ID_NONE;
    ic->flags |= AVFMT_FLAG_NONBLOCK;
    ic->interrupt_callback = InterruptCallbackRecord();

    std::unique_ptr<TInputFile> input;
    TInterruptScope timeout(this, &IOTimeoutCheck);
    StartIOClock();
    if (virtualFmt) {
        ic->url = ff::av_strdup(fileName.c_str());
        ic->iformat = fmt;
        if (virtualFmt->PrivDataSize > 0 && !(ic->priv_data = ff::av_mallocz(virtualFmt->PrivDataSize)))
            throw FFmpegException("av_mallocz failed");
        int r = virtualFmt->ReadHeader(ic);
        if (r < 0) {
            LastError = ErrorText(fileName, r);
            return false;
        }
        input = std::make_unique<TInputFile>(owned.release(), virtualFmt);
    } else {
        const char* url = nullptr;
        try {
            url = PrepareFileName(fileName);
        } catch (const std::length_error& e) {
            LastError = e.what();
            return false;
        }
        // A name the locale cannot spell is read through the program's own file I/O.
        AVIOContext* custom = nullptr;
        if (IsUnicodeURL(url)) {
            if (int r = OpenFileIO(&custom, url, AVIO_FLAG_READ); r < 0) {
                LastError = ErrorText(fileName, r);
                return false;
            }
            ic->pb = custom;
            ic->flags |= AVFMT_FLAG_CUSTOM_IO;
        }
        AVFormatContext* opened = owned.release();
        int r = ff::avformat_open_input(&opened, url, fmt, opts.Addr());
        if (r < 0) { // avformat_open_input freed the context, not the custom I/O
            CloseFileIO(&custom);
            LastError = ErrorText(fileName, r);
            return false;
        }
        input = std::make_unique<TInputFile>(opened, nullptr);
        if (s.LoopInput && ff::av_dict_get(opts.Get(), "loop", nullptr, 0))
            EngineLog(llWarning, Fmt("%s: this format cannot loop its input (use -f image2 for a picture)",
                                     fileName.c_str()));
    }
    ic = input->Context();
    input->FileName = fileName;

    if (s.ProgramId >= 0) {
        bool found = false;
        for (unsigned i = 0; i < ic->nb_streams; ++i)
            ic->streams[i]->discard = AVDISCARD_ALL;
        for (unsigned p = 0; p < ic->nb_programs; ++p) {
            AVProgram* program = ic->programs[p];
            if (program->id == s.ProgramId) {
                found = true;
                for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
                    ic->streams[program->stream_index[k]]->discard = AVDISCARD_DEFAULT;
            } else {
                program->discard = AVDISCARD_ALL;
            }
        }
        s.ProgramId = -1;
        if (!found) {
            LastError = "Specified program id not found";
            return false;
        }
    }

    if (OnBeforeFindStreamInfo)
        OnBeforeFindStreamInfo(*this, ic);
    if (!input->IsVirtual()) {
        StartIOClock();
        // Streams whose kind or parameters are unknown cannot be decoded or mapped: a run
        // with them would write nothing and report success.
        if (ff::avformat_find_stream_info(ic, nullptr) < 0) {
            LastError = Fmt("%s: could not find codec parameters", fileName.c_str());
            return false;
        }
    }
    if (ic->nb_streams == 0) {
        LastError = Fmt("%s: the file holds no stream", fileName.c_str());
        return false;
    }

    // A start before the beginning is the beginning: a negative one would otherwise become an
    // offset that shifts every timestamp later and stretches the output.
    if (s.StartTime < 0)
        s.StartTime = 0;
    int64_t target = s.StartTime;
    if (ic->start_time != AV_NOPTS_VALUE)
        target += ic->start_time;
    if (s.StartTime != 0) {
        StartIOClock();
        if (input->IsVirtual() || ff::av_seek_frame(ic, -1, target, AVSEEK_FLAG_BACKWARD) < 0) {
            if (s.Verbose > 0)
                EngineLog(llVerbose, Fmt("%s: could not seek to position %0.3f", fileName.c_str(), double(target) / 1e6));
        }
        s.StartTime = 0;
    }
    StopIOClock();

    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = ic->streams[i];
        AVCodecParameters* par = st->codecpar;
        const AVCodec* decoder = nullptr;
        switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
            decoder = forced[0];
            s.FrameWidth = par->width;
            s.FrameHeight = par->height;
            AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
            if (par->width && par->height)
                s.FrameAspectRatio = (sar.num ? av_q2d(sar) : 1.0) * par->width / par->height;
            else
                s.FrameAspectRatio = sar.num ? av_q2d(sar) : 4.0 / 3.0;
            s.FramePixFmt = par->format < 0 ? AVPixelFormat(0) : AVPixelFormat(par->format);
            if (st->r_frame_rate.num && st->r_frame_rate.den)
                s.FrameRate = st->r_frame_rate;
            if (s.VideoDisable)
                st->discard = AVDISCARD_ALL;
            else if (s.VideoDiscard)
                st->discard = AVDiscard(s.VideoDiscard);
            break;
        }
        case AVMEDIA_TYPE_AUDIO:
            decoder = forced[1];
            s.AudioChannels = par->ch_layout.nb_channels;
            s.AudioSampleRate = par->sample_rate;
            s.AudioSampleFmt = AVSampleFormat(par->format);
            if (s.AudioDisable)
                st->discard = AVDISCARD_ALL;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            decoder = forced[2];
            if (s.SubtitleDisable)
                st->discard = AVDISCARD_ALL;
            break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
        case AVMEDIA_TYPE_UNKNOWN:
            break;
        default:
            throw FFmpegException("invalid codec_type");
        }
        input->Decoders.push_back(decoder);
    }

    if (ic->duration != AV_NOPTS_VALUE && ic->duration > expectedDuration_)
        expectedDuration_ = ic->duration;
    input->TsOffset = s.CopyTs ? s.InputTsOffset : s.InputTsOffset - target;
    input->TsScale = std::move(s.TsScale);
    s.TsScale.clear();
    if (s.Verbose >= 0)
        ff::av_dump_format(ic, int(inputs_.size()), fileName.c_str(), 0);
    inputs_.push_back(std::move(input));
    return true;
}
