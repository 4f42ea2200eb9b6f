// Creating one output container and its streams from the pending settings.

#include "engine/CodecLookup.h"
#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"
#include "medialib/InterruptCB.h"
#include "medialib/UnicodeProtocol.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>

TOutputFile::~TOutputFile() { Close(); }

void TOutputFile::Close() {
    if (!ctx_)
        return;
    bool ownsFile = !(ctx_->oformat->flags & AVFMT_NOFILE) && ctx_->pb;
    Streams.clear(); // encoders and filters before the container
    int ioError = 0;
    if (ownsFile) {
        if (ctx_->pb->write_flag) {
            ff::avio_flush(ctx_->pb);
            ioError = ctx_->pb->error;
        }
        CloseFileIO(&ctx_->pb);
    }
    ff::avformat_free_context(ctx_);
    ctx_ = nullptr;
    if (!ownsFile)
        return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(FileName, ec))
        return; // a device or a pipe is not ours to delete
    const bool empty = std::filesystem::file_size(FileName, ec) == 0;
    // An output that was never started (its opening failed further on) is deleted silently.
    if (empty && !HeaderWritten) {
        std::filesystem::remove(FileName, ec);
        return;
    }
    std::string reason;
    if (PacketsWritten == 0)
        reason = "no frame was written into it";
    else if (TrailerFailed || ioError < 0)
        reason = "its end could not be written (" + ErrorCodeText(ioError < 0 ? ioError : AVERROR(EIO)) +
                 ") and it would not play";
    else
        return; // a file that plays, also when the run failed part way: kept
    if (std::filesystem::remove(FileName, ec))
        EngineLog(llWarning, Fmt("Removed \"%s\": %s", FileName.c_str(), reason.c_str()));
}

namespace {
// The same file under another name, through a link or a relative path.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}
} // namespace

namespace {
// The first `count` inputs are looked at.
bool AnyInputHas(const std::vector<std::unique_ptr<TInputFile>>& inputs, std::size_t count, AVMediaType type) {
    for (std::size_t f = 0; f < count && f < inputs.size(); ++f) {
        AVFormatContext* ic = inputs[f]->Context();
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            AVMediaType t = ic->streams[i]->codecpar->codec_type;
            if (t == type)
                return true;
            if (t < AVMEDIA_TYPE_UNKNOWN || t >= AVMEDIA_TYPE_NB)
                throw FFmpegException("check_audio_video_sub_inputs fail: invalid codec_type of input file");
        }
    }
    return false;
}

std::string CreationTime(int64_t seconds) {
    std::time_t t = std::time_t(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &tm);
    return text;
}

const char* StreamFailureText(AVMediaType type) {
    return type == AVMEDIA_TYPE_VIDEO ? "new_video_stream fail: %s"
           : type == AVMEDIA_TYPE_AUDIO ? "new_audio_stream fail: %s"
                                        : "new_subtitle_stream fail: %s";
}

// Containers that carry a codec's audio only at some rates: Flash video and Flash movies store
// MP3 at 44100, 22050 or 11025 Hz.
struct TContainerRates {
    const char* Format;
    AVCodecID Codec;
    int Rates[4]; // 0 ends the list
};
const TContainerRates ContainerRates[] = {
    {"flv", AV_CODEC_ID_MP3, {44100, 22050, 11025, 0}},
    {"swf", AV_CODEC_ID_MP3, {44100, 22050, 11025, 0}},
};

// Encoders that refuse rates above a highest one, in any container: the WMA encoders.
struct TCodecMaxRate {
    AVCodecID Codec;
    int MaxRate;
};
const TCodecMaxRate CodecMaxRates[] = {{AV_CODEC_ID_WMAV1, 48000}, {AV_CODEC_ID_WMAV2, 48000}};

// Moves the encoder to the nearest rate the container carries for its codec (the higher on a
// tie), with a note in the log, instead of failing when the header is written.
void FitContainerSampleRate(const AVOutputFormat* format, AVCodecContext* enc) {
    for (const TContainerRates& row : ContainerRates) {
        if (std::strcmp(format->name, row.Format) != 0 || enc->codec_id != row.Codec)
            continue;
        int best = 0;
        for (const int* r = row.Rates; *r; ++r)
            if (best == 0 || std::abs(*r - enc->sample_rate) < std::abs(best - enc->sample_rate))
                best = *r;
        if (best != enc->sample_rate) {
            EngineLog(llWarning, Fmt("The %s container carries %s audio at 44100, 22050 or 11025 Hz only: %d Hz "
                                     "becomes %d Hz", row.Format, ff::avcodec_get_name(row.Codec),
                                     enc->sample_rate, best));
            enc->sample_rate = best;
            enc->time_base = AVRational{1, best};
        }
        return;
    }
    for (const TCodecMaxRate& row : CodecMaxRates)
        if (enc->codec_id == row.Codec && enc->sample_rate > row.MaxRate) {
            EngineLog(llWarning, Fmt("The %s encoder takes audio at %d Hz at most: %d Hz becomes %d Hz",
                                     ff::avcodec_get_name(row.Codec), row.MaxRate, enc->sample_rate, row.MaxRate));
            enc->sample_rate = row.MaxRate;
            enc->time_base = AVRational{1, row.MaxRate};
        }
}
} // namespace

int TCustomFFmpeg::OpenOutputFile(const std::string& fileName, bool join) {
    TJobSettings& s = settings_;
    if (int(outputs_.size()) >= MaxFiles) {
        LastError = Fmt("Too many output files (at most %d)", MaxFiles);
        return -1;
    }
    // A joined output is made of every input in turn: no other output can share them.
    const bool joining = join && inputs_.size() > 1;
    if (joinOutput_ >= 0 || (joining && !outputs_.empty())) {
        LastError = "Cannot join more than one output file.";
        return -1;
    }
    for (const auto& in : inputs_)
        if (!in->IsVirtual() && SameFile(in->FileName, fileName)) {
            LastError = Fmt("Output file \"%s\" is the input file \"%s\": it would be overwritten while it is read",
                            fileName.c_str(), in->FileName.c_str());
            return -1;
        }
    {
        std::error_code ec;
        if (std::filesystem::is_directory(fileName, ec)) {
            LastError = Fmt("Output file \"%s\" is a folder", fileName.c_str());
            return -1;
        }
    }
    const AVOutputFormat* ofmt = nullptr;
    if (!s.ForcedFormat.empty()) {
        ofmt = ff::av_guess_format(s.ForcedFormat.c_str(), nullptr, nullptr);
        std::string forced = std::move(s.ForcedFormat);
        s.ForcedFormat.clear(); // used up by this output, also when it fails
        if (!ofmt) {
            LastError = Fmt("Requested output format '%s' is not a suitable output format", forced.c_str());
            return -1;
        }
    } else {
        ofmt = ff::av_guess_format(nullptr, fileName.c_str(), nullptr);
        if (!ofmt) {
            LastError = Fmt("Unable to find a suitable output format for '%s'", fileName.c_str());
            return -1;
        }
    }
    if (std::string(ofmt->name) == "ffm" && fileName.rfind("http:", 0) == 0) {
        LastError = "Server feeds are not supported";
        return -1;
    }
    AVFormatContext* oc = nullptr;
    if (ff::avformat_alloc_output_context2(&oc, ofmt, nullptr, fileName.c_str()) < 0 || !oc)
        throw FFmpegException("avformat_alloc_context failed");
    auto out = std::make_unique<TOutputFile>(oc);
    out->FileName = fileName;

    bool video = s.VideoStreamCopy || !s.VideoCodecName.empty() || ofmt->video_codec != AV_CODEC_ID_NONE;
    bool audio = s.AudioStreamCopy || !s.AudioCodecName.empty() || ofmt->audio_codec != AV_CODEC_ID_NONE;
    bool subtitle = s.SubtitleStreamCopy || !s.SubtitleCodecName.empty() || ofmt->subtitle_codec != AV_CODEC_ID_NONE;
    try {
        // The parts of a joined output all have the streams of the first one.
        if (!inputs_.empty()) {
            std::size_t looked = joining ? 1 : inputs_.size();
            video = video && AnyInputHas(inputs_, looked, AVMEDIA_TYPE_VIDEO);
            audio = audio && AnyInputHas(inputs_, looked, AVMEDIA_TYPE_AUDIO);
            subtitle = subtitle && AnyInputHas(inputs_, looked, AVMEDIA_TYPE_SUBTITLE);
        }
    } catch (const FFmpegException& e) {
        LastError = e.what();
        return -1;
    }
    video = video && !s.VideoDisable;
    audio = audio && !s.AudioDisable;
    subtitle = subtitle && !s.SubtitleDisable;

    const std::pair<bool, AVMediaType> kinds[] = {
        {video, AVMEDIA_TYPE_VIDEO}, {audio, AVMEDIA_TYPE_AUDIO}, {subtitle, AVMEDIA_TYPE_SUBTITLE}};
    for (const auto& [wanted, type] : kinds) {
        if (!wanted)
            continue;
        try {
            CreateOutputStream(*out, type);
        } catch (const FFmpegException& e) {
            LastError = Fmt(StreamFailureText(type), e.what());
            return -1;
        }
    }

    if (s.RecordingTimestamp)
        ff::av_dict_set(&oc->metadata, "creation_time", CreationTime(s.RecordingTimestamp).c_str(), 0);
    for (const auto& [key, value] : s.Metadata)
        ff::av_dict_set(&oc->metadata, key.c_str(), value.c_str(), 0);
    s.Metadata.clear();

    if ((ofmt->flags & AVFMT_NEEDNUMBER) && !ff::av_filename_number_test(fileName.c_str())) {
        LastError = ErrorText(fileName, AVERROR(EDOM));
        return -1;
    }
    if (!(ofmt->flags & AVFMT_NOFILE)) {
        int r;
        try {
            const char* url = PrepareFileName(fileName);
            TInterruptScope timeout(this, &IOTimeoutCheck);
            StartIOClock();
            r = OpenFileIO(&oc->pb, url, AVIO_FLAG_WRITE);
            StopIOClock();
        } catch (const std::length_error& e) {
            LastError = e.what();
            return -1;
        }
        if (r < 0) {
            LastError = ErrorText(fileName, r);
            return -1;
        }
    }
    oc->max_delay = int(s.MuxMaxDelay * 1000000);
    oc->interrupt_callback = OutputInterruptCallbackRecord();
    oc->flags |= AVFMT_FLAG_NONBLOCK;
    if (s.MuxPreload > 0)
        out->HeaderOptions.Set("preload", std::to_string(int64_t(s.MuxPreload * 1000000)).c_str());
    generic_.ApplyToFormat(oc, AV_OPT_FLAG_ENCODING_PARAM);
    if (s.LoopOutputGiven &&
        (!oc->priv_data || ff::av_opt_set_int(oc->priv_data, "loop", s.LoopOutput, 0) < 0))
        EngineLog(llWarning, Fmt("%s: the %s format cannot loop its output", fileName.c_str(), ofmt->name));
    s.StreamIds.clear();
    s.ForcedKeyFrames.clear();
    // "vn", "an" and "sn" belong to the output they were given for, also when it got no
    // stream of that kind because of them.
    s.VideoDisable = s.AudioDisable = s.SubtitleDisable = false;
    outputs_.push_back(std::move(out));
    if (joining) {
        joinOutput_ = int(outputs_.size()) - 1;
        // Progress counts towards the parts' lengths together (a recording limit still rules).
        if (s.RecordingTime == INT64_MAX) {
            int64_t total = 0;
            for (const auto& in : inputs_)
                if (in->Context()->duration > 0)
                    total += in->Context()->duration;
            expectedDuration_ = total > 0 ? total : -1;
        }
    }
    return int(outputs_.size());
}

void TCustomFFmpeg::CreateOutputStream(TOutputFile& out, AVMediaType type) {
    TJobSettings& s = settings_;
    AVFormatContext* oc = out.Context();
    int index = int(oc->nb_streams);
    AVStream* st = ff::avformat_new_stream(oc, nullptr);
    if (!st)
        throw FFmpegException("Could not alloc stream");
    auto found = s.StreamIds.find(index);
    st->id = found != s.StreamIds.end() ? found->second : 0;

    auto ost = std::make_unique<TOutputStream>();
    ost->FileIndex = int(outputs_.size()); // the index this output gets (or has)
    for (std::size_t i = 0; i < outputs_.size(); ++i)
        if (outputs_[i].get() == &out)
            ost->FileIndex = int(i);
    ost->Index = index;
    ost->Stream = st;
    ost->Type = type;
    st->codecpar->codec_type = type;

    const int kind = type == AVMEDIA_TYPE_VIDEO ? 0 : type == AVMEDIA_TYPE_AUDIO ? 1 : 2;
    bool* copy[3] = {&s.VideoStreamCopy, &s.AudioStreamCopy, &s.SubtitleStreamCopy};
    std::string* name[3] = {&s.VideoCodecName, &s.AudioCodecName, &s.SubtitleCodecName};
    uint32_t tags[3] = {s.VideoTag, s.AudioTag, s.SubtitleTag};
    std::string* language[3] = {&s.VideoLanguage, &s.AudioLanguage, &s.SubtitleLanguage};

    ost->StreamCopy = *copy[kind];
    if (!ost->StreamCopy) {
        int strict = int(generic_.CodecInt(type, "strict"));
        if (!name[kind]->empty()) {
            std::string error;
            if (!FindCodecByName(*name[kind], type, true, strict, ost->Codec, error))
                throw FFmpegException(error);
        } else {
            AVCodecID id = ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
            ost->Codec = id != AV_CODEC_ID_NONE ? ff::avcodec_find_encoder(id) : nullptr;
        }
        ost->CodecId = ost->Codec ? ost->Codec->id : ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
        st->codecpar->codec_id = ost->CodecId;
    }
    ost->Encoder.reset(ff::avcodec_alloc_context3(ost->StreamCopy ? nullptr : ost->Codec));
    if (!ost->Encoder)
        throw FFmpegException("Could not alloc output stream");
    AVCodecContext* enc = ost->Encoder.get();
    enc->codec_type = type;
    enc->codec_id = ost->CodecId;
    generic_.ApplyToCodec(enc, ost->Codec, AV_OPT_FLAG_ENCODING_PARAM);
    ost->BitstreamFilterNames = std::move(s.BitstreamFilters[kind]);
    s.BitstreamFilters[kind].clear();
    enc->thread_count = s.ThreadCount;
    enc->codec_tag = tags[kind];

    bool containerGlobal = oc->oformat->flags & AVFMT_GLOBALHEADER;
    if (type == AVMEDIA_TYPE_VIDEO) {
        if ((s.VideoGlobalHeader & 1) || (s.VideoGlobalHeader == 0 && containerGlobal))
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (s.VideoGlobalHeader & 2)
            enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    } else if (containerGlobal) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (!language[kind]->empty())
        ff::av_dict_set(&st->metadata, "language", language[kind]->c_str(), 0);
    language[kind]->clear();

    if (type == AVMEDIA_TYPE_VIDEO)
        SetupVideoEncoder(*ost);
    else if (type == AVMEDIA_TYPE_AUDIO && !ost->StreamCopy) {
        SetupAudioEncoder(*ost);
        FitContainerSampleRate(oc->oformat, enc);
    }
    else if (type == AVMEDIA_TYPE_AUDIO)
        enc->sample_rate = s.AudioSampleRate;

    // The pending settings of this kind are used up.
    if (type == AVMEDIA_TYPE_VIDEO) {
        s.VideoDisable = false;
        s.VideoCodecName.clear();
        s.ForcedKeyFrames.clear();
        s.VideoStreamCopy = false;
        s.FramePixFmt = AV_PIX_FMT_NONE;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        s.AudioDisable = false;
        s.AudioCodecName.clear();
        s.AudioStreamCopy = false;
    } else {
        s.SubtitleDisable = false;
        s.SubtitleCodecName.clear();
        s.SubtitleStreamCopy = false;
    }
    out.Streams.push_back(std::move(ost));
}

namespace {
void ParseRcOverride(AVCodecContext* enc, const std::string& text) {
    if (text.empty())
        return;
    std::vector<RcOverride> entries;
    const char* p = text.c_str();
    while (*p) {
        RcOverride o{};
        int q = 0;
        if (std::sscanf(p, "%d,%d,%d", &o.start_frame, &o.end_frame, &q) != 3)
            throw FFmpegException("error parsing rc_override");
        if (q > 0) {
            // The rate control compares the override with its own estimates, which are in
            // lambda units: a plain quantiser would read as almost lossless.
            o.qscale = q * FF_QP2LAMBDA;
            o.quality_factor = 1.0f;
        } else {
            o.qscale = 0;
            o.quality_factor = -q / 100.0f;
        }
        entries.push_back(o);
        p = std::strchr(p, '/');
        if (!p)
            break;
        ++p;
    }
    enc->rc_override = static_cast<RcOverride*>(ff::av_malloc(sizeof(RcOverride) * entries.size()));
    if (!enc->rc_override)
        throw FFmpegException("error parsing rc_override");
    std::copy(entries.begin(), entries.end(), enc->rc_override);
    enc->rc_override_count = int(entries.size());
}

uint16_t* MatrixCopy(const std::vector<uint16_t>& m) {
    auto* out = static_cast<uint16_t*>(ff::av_malloc(64 * sizeof(uint16_t)));
    if (out)
        std::copy(m.begin(), m.end(), out);
    return out;
}
} // namespace

void TCustomFFmpeg::SetupVideoEncoder(TOutputStream& ost) {
    const TJobSettings& s = settings_;
    AVCodecContext* enc = ost.Encoder.get();
    AVStream* st = ost.Stream;
    double aspect = s.FrameAspectRatio;
    AVRational sar = aspect > 0 ? (s.FrameWidth && s.FrameHeight
                                       ? ff::av_d2q(aspect * s.FrameHeight / s.FrameWidth, 255)
                                       : ff::av_d2q(aspect * 3 / 4, 255))
                                : AVRational{0, 1};
    enc->sample_aspect_ratio = sar;
    st->sample_aspect_ratio = sar;
    ost.Aspect = aspect;
    ost.FilterDescription = s.VideoFilters;
    if (ost.StreamCopy)
        return;

    // A rate without a denominator counts as no rate: 25 frames per second then.
    AVRational rate = s.FrameRate.num > 0 && s.FrameRate.den > 0 ? s.FrameRate : AVRational{25, 1};
    const AVCodec* codec = ost.Codec;
    if (codec && codec->supported_framerates && !s.ForceFps)
        rate = codec->supported_framerates[ff::av_find_nearest_q_idx(rate, codec->supported_framerates)];
    enc->framerate = rate;
    enc->time_base = av_inv_q(rate);
    st->avg_frame_rate = rate;
    st->r_frame_rate = rate;
    enc->width = s.FrameWidth;
    enc->height = s.FrameHeight;
    // MPEG-4 part 2 headers hold 13-bit sides: the encoder would refuse the size only when the
    // run starts, after the output file is made.
    if (ost.CodecId == AV_CODEC_ID_MPEG4 && (enc->width > 8191 || enc->height > 8191))
        throw FFmpegException(Fmt("the frame size %dx%d is too large for the mpeg4 encoder (at most 8191 on each side)",
                                  enc->width, enc->height));

    AVPixelFormat fmt = s.FramePixFmt;
    if (codec && codec->pix_fmts) {
        bool listed = false;
        for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
            listed = listed || *p == fmt;
        if (!listed)
            fmt = codec->pix_fmts[0];
    } else if (fmt == AV_PIX_FMT_NONE) {
        fmt = AV_PIX_FMT_YUV420P;
    }
    enc->pix_fmt = fmt;

    if (s.IntraOnly)
        enc->gop_size = 0;
    if (s.SameQuant) { // the source's quantiser per picture; the finest where it has none
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = int(FF_QP2LAMBDA * (s.VideoQScale > 0 ? s.VideoQScale : 1));
    }
    if (s.VideoQScale > 0) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = int(FF_QP2LAMBDA * s.VideoQScale);
    }
    if (!s.IntraMatrix.empty())
        enc->intra_matrix = MatrixCopy(s.IntraMatrix);
    if (!s.InterMatrix.empty())
        enc->inter_matrix = MatrixCopy(s.InterMatrix);
    ParseRcOverride(enc, s.RcOverride);
    if (!enc->rc_initial_buffer_occupancy)
        enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
    enc->intra_dc_precision = s.IntraDcPrecision - 8;
    if (s.Psnr)
        enc->flags |= AV_CODEC_FLAG_PSNR;
    ost.Pass = s.DoPass;
    if (s.DoPass == 1)
        enc->flags |= AV_CODEC_FLAG_PASS1;
    else if (s.DoPass == 2)
        enc->flags |= AV_CODEC_FLAG_PASS2;
    ost.ForcedKeyFramesText = s.ForcedKeyFrames;
}


void TCustomFFmpeg::SetupAudioEncoder(TOutputStream& ost) {
    const TJobSettings& s = settings_;
    AVCodecContext* enc = ost.Encoder.get();
    const AVCodec* codec = ost.Codec;
    ff::av_channel_layout_default(&enc->ch_layout, s.AudioChannels);
    AVSampleFormat fmt = s.AudioSampleFmt;
    if (codec && codec->sample_fmts) {
        bool listed = false;
        for (const AVSampleFormat* p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
            listed = listed || *p == fmt;
        if (!listed)
            fmt = codec->sample_fmts[0];
    }
    enc->sample_fmt = fmt;
    int rate = s.AudioSampleRate;
    if (codec && codec->supported_samplerates) {
        int best = codec->supported_samplerates[0];
        for (const int* r = codec->supported_samplerates; *r; ++r)
            if (std::abs(*r - rate) < std::abs(best - rate))
                best = *r;
        if (best != rate)
            EngineLog(llWarning, Fmt("Requested sampling rate unsupported using closest supported (%d)", best));
        rate = best;
    }
    enc->sample_rate = rate;
    enc->time_base = AVRational{1, rate > 0 ? rate : 1};
    if (s.AudioQScale > -99999) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = int(FF_QP2LAMBDA * s.AudioQScale);
    }
}
