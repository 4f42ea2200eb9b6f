// Run preparation: the stream tables, stream mapping, the choice between stream copy and
// encoding, opening of encoders and decoders, metadata and the container headers.

#include "engine/EngineSupport.h"
#include "engine/ForcedKeyFrames.h"
#include "engine/Transcoder.h"
#include "medialib/CodecLock.h"
#include "medialib/FFLog.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <sstream>
#include <limits>

namespace {
const char* TypeName(AVMediaType type) {
    const char* name = ff::av_get_media_type_string(type);
    return name ? name : "unknown";
}

// Codecs are opened under the process-wide codec lock; without it the opening is refused.
int OpenUnderCodecLock(AVCodecContext* context, const AVCodec* codec) {
    TCodecLockGuard guard;
    return guard.Locked() ? ff::avcodec_open2(context, codec, nullptr) : AVERROR(EBUSY);
}
} // namespace

// A copied stream counts time in frames when its source counts in ticks much finer than a
// frame (below a millisecond): containers that store one entry per tick (avi) or that derive
// their own rate from the time base then see the real frame rate. "copytb" keeps the source's.
AVRational TTranscoder::CopyTimeBase(const AVStream* in) const {
    AVRational tb = in->time_base;
    if (s_.CopyTb)
        return tb;
    AVRational frame{0, 1};
    if (in->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && in->r_frame_rate.num > 0 && in->r_frame_rate.den > 0)
        frame = av_inv_q(in->r_frame_rate);
    else if (in->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && in->codecpar->sample_rate > 0)
        frame = AVRational{1, in->codecpar->sample_rate};
    if (frame.num > 0 && av_cmp_q(frame, tb) > 0 && av_cmp_q(tb, AVRational{1, 1000}) < 0)
        ff::av_reduce(&tb.num, &tb.den, frame.num, frame.den, INT_MAX);
    return tb;
}

TTranscoder::TTranscoder(TCustomFFmpeg& job)
    : job_(job), s_(job.settings_), packet_(NewPacket()), encodedPacket_(NewPacket()), copyPacket_(NewPacket()) {}

void TTranscoder::Prepare() {
    BuildInputStreams();
    CheckOutputs();
    MapStreams();
    CheckInputsUsed();
    for (TOutputStream* ost : ost_) {
        TInputStream& ist = ist_[ost->SourceIndex];
        if (s_.MetadataStreamsAutocopy)
            ff::av_dict_copy(&ost->Stream->metadata, ist.Stream->metadata, AV_DICT_DONT_OVERWRITE);
        ost->Stream->disposition = ist.Stream->disposition;
        if (ost->StreamCopy) {
            SetupStreamCopy(*ost, ist);
            continue;
        }
        switch (ost->Type) {
        case AVMEDIA_TYPE_VIDEO:
            SetupVideoEncoding(*ost, ist);
            SetupTwoPass(*ost, int(std::find(ost_.begin(), ost_.end(), ost) - ost_.begin()));
            break;
        case AVMEDIA_TYPE_AUDIO: NamingAudioInput(ist, [&] { SetupAudioEncoding(*ost, ist); }); break;
        case AVMEDIA_TYPE_SUBTITLE: SetupSubtitleEncoding(*ost, ist); break;
        default: throw FFmpegException("invalid codec_type");
        }
    }
    if (job_.JoinMode())
        PrepareJoinedParts();
    for (TOutputStream* ost : ost_)
        if (ost->EncodingNeeded)
            OpenEncoder(*ost);
    for (TInputStream& ist : ist_)
        if (ist.DecodingNeeded && !ist.Decoder) // subtitle decoders are open already
            NamingAudioInput(ist, [&] { OpenDecoder(ist); });
    for (TInputStream& ist : ist_) {
        ist.Pts = 0;
        if (ist.Decoder && ist.Stream->avg_frame_rate.num && ist.Decoder->has_b_frames)
            ist.Pts = -int64_t(ist.Decoder->has_b_frames) * AV_TIME_BASE * ist.Stream->avg_frame_rate.den /
                      ist.Stream->avg_frame_rate.num;
        ist.NextPts = NoTimestamp;
        ist.IsStart = true;
    }
    CopyChapters();
    ApplyMetadataMaps();
    // Global metadata of the first input goes to every output, without overwriting.
    if (!job_.inputs_.empty() && s_.MetadataGlobalAutocopy)
        for (auto& out : job_.outputs_)
            ff::av_dict_copy(&out->Context()->metadata, job_.inputs_[0]->Context()->metadata, AV_DICT_DONT_OVERWRITE);
    WriteHeaders();
    LogStreamMapping();
}

// Chapters as the chapter maps say; without maps, the chapters of the first input that has any
// go to every output. They come before the metadata maps, so that a map can name an output's
// chapter.
void TTranscoder::CopyChapters() {
    if (!s_.ChapterMaps.empty()) {
        for (const TChapterMap& m : s_.ChapterMaps) {
            if (m.In < 0 || m.Out < 0)
                continue;
            if (m.In >= int(job_.inputs_.size()))
                throw FFmpegException(Fmt("Invalid input file index %d in chapter mapping.", m.In));
            if (m.Out >= int(job_.outputs_.size()))
                throw FFmpegException(Fmt("Invalid output file index %d in chapter mapping.", m.Out));
            CopyChapters(*job_.inputs_[m.In], *job_.outputs_[m.Out]);
        }
        return;
    }
    for (auto& in : job_.inputs_) {
        if (!in->Context()->nb_chapters)
            continue;
        for (auto& out : job_.outputs_)
            CopyChapters(*in, *out);
        return;
    }
}

// The chapters of one input into one output, moved by the input's offset and the output start,
// and cut to the recording time.
void TTranscoder::CopyChapters(const TInputFile& in, TOutputFile& out) {
    AVFormatContext* ic = in.Context();
    AVFormatContext* oc = out.Context();
    for (unsigned i = 0; i < ic->nb_chapters; ++i) {
        const AVChapter* ch = ic->chapters[i];
        int64_t offset = ff::av_rescale_q(s_.StartTime - in.TsOffset, AV_TIME_BASE_Q, ch->time_base);
        int64_t limit = s_.RecordingTime == INT64_MAX ? INT64_MAX
                                                      : ff::av_rescale_q(s_.RecordingTime, AV_TIME_BASE_Q, ch->time_base);
        if (ch->end < offset)
            continue;
        if (limit != INT64_MAX && ch->start > limit + offset)
            break;
        auto* copy = static_cast<AVChapter*>(ff::av_mallocz(sizeof(AVChapter)));
        if (!copy)
            throw FFmpegException("av_mallocz failed");
        copy->id = ch->id;
        copy->time_base = ch->time_base;
        copy->start = std::max<int64_t>(0, ch->start - offset);
        copy->end = std::min(limit, ch->end - offset);
        if ((s_.MetadataChaptersAutocopy && ff::av_dict_copy(&copy->metadata, ch->metadata, 0) < 0) ||
            ff::av_dynarray_add_nofree(&oc->chapters, reinterpret_cast<int*>(&oc->nb_chapters), copy) < 0) {
            ff::av_dict_free(&copy->metadata);
            ff::av_free(copy);
            throw FFmpegException("av_mallocz failed");
        }
    }
}

// Each metadata map copies one dictionary of an input into one of an output; what the output
// already holds (its own "metadata" options, for one) stays.
void TTranscoder::ApplyMetadataMaps() {
    // The dictionary a spec names in a file (nullptr: no such file).
    auto resolve = [](AVFormatContext* fc, const TMetadataSpec& spec, const char* fileKind) -> AVDictionary** {
        if (!fc)
            throw FFmpegException(Fmt("Invalid %s index %d while processing metadata maps", fileKind, spec.File));
        auto check = [&](unsigned count, const char* kind) {
            if (spec.Index < 0 || unsigned(spec.Index) >= count)
                throw FFmpegException(Fmt("Invalid %s index %d while processing metadata maps", kind, spec.Index));
        };
        switch (spec.Type) {
        case 's': check(fc->nb_streams, "stream"); return &fc->streams[spec.Index]->metadata;
        case 'c': check(fc->nb_chapters, "chapter"); return &fc->chapters[spec.Index]->metadata;
        case 'p': check(fc->nb_programs, "program"); return &fc->programs[spec.Index]->metadata;
        default: return &fc->metadata;
        }
    };
    for (const TMetadataMap& m : s_.MetadataMaps) {
        AVFormatContext* oc = m.Out.File < job_.OutputCount() ? job_.outputs_[m.Out.File]->Context() : nullptr;
        AVFormatContext* ic = m.In.File < job_.InputCount() ? job_.inputs_[m.In.File]->Context() : nullptr;
        AVDictionary** to = resolve(oc, m.Out, "output file");
        AVDictionary** from = resolve(ic, m.In, "input file");
        if (ff::av_dict_copy(to, *from, AV_DICT_DONT_OVERWRITE) < 0)
            throw FFmpegException("av_dict_copy failed");
    }
}

void TTranscoder::BuildInputStreams() {
    for (std::size_t f = 0; f < job_.inputs_.size(); ++f) {
        TInputFile& file = *job_.inputs_[f];
        AVFormatContext* ic = file.Context();
        file.FirstStream = int(ist_.size());
        file.StreamCount = int(ic->nb_streams);
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            TInputStream& ist = ist_.emplace_back();
            ist.FileIndex = int(f);
            ist.StreamIndex = int(i);
            ist.Stream = ic->streams[i];
            if (s_.RateEmulation)
                ist.WallStart = ff::av_gettime_relative();
        }
    }
}

void TTranscoder::CheckOutputs() {
    std::size_t total = 0;
    for (std::size_t i = 0; i < job_.outputs_.size(); ++i) {
        TOutputFile& out = *job_.outputs_[i];
        AVFormatContext* oc = out.Context();
        if (!oc->nb_streams && !(oc->oformat->flags & AVFMT_NOSTREAMS)) {
            ff::av_dump_format(oc, int(i), oc->url, 1);
            throw FFmpegException(Fmt("Output file #%d does not contain any stream", int(i)));
        }
        for (auto& ost : out.Streams)
            ost_.push_back(ost.get());
        total += oc->nb_streams;
    }
    if (s_.StreamMaps.empty())
        return;
    if (s_.StreamMaps.size() != total)
        throw FFmpegException("Number of stream maps must match number of output streams");
    for (const TStreamMap& m : s_.StreamMaps) {
        auto exists = [&](int file, int stream) {
            return file >= 0 && file < int(job_.inputs_.size()) && stream >= 0 &&
                   stream < int(job_.inputs_[file]->Context()->nb_streams);
        };
        if (!exists(m.File, m.Stream))
            throw FFmpegException(Fmt("Could not find input stream #%d.%d", m.File, m.Stream));
        if (!exists(m.SyncFile, m.SyncStream))
            throw FFmpegException(Fmt("Could not find sync stream #%d.%d", m.SyncFile, m.SyncStream));
    }
}

void TTranscoder::MapStreams() {
    if (job_.JoinMode()) {
        MapJoinedStreams();
        return;
    }
    for (std::size_t k = 0; k < ost_.size(); ++k) {
        TOutputStream& ost = *ost_[k];
        if (!s_.StreamMaps.empty()) {
            const TStreamMap& m = s_.StreamMaps[k];
            int source = job_.inputs_[m.File]->FirstStream + m.Stream;
            AVMediaType inType = ist_[source].Stream->codecpar->codec_type;
            if (inType != ost.Type)
                throw FFmpegException(Fmt("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", m.File,
                                          m.Stream, TypeName(inType), ost.FileIndex, ost.Index, TypeName(ost.Type)));
            ost.SourceIndex = source;
            ost.SyncIndex = job_.inputs_[m.SyncFile]->FirstStream + m.SyncStream;
        } else {
            // The first free stream of the same type; else, the last stream of that type.
            int chosen = -1, fallback = -1;
            for (std::size_t i = 0; i < ist_.size(); ++i) {
                const TInputStream& ist = ist_[i];
                if (ist.Stream->codecpar->codec_type != ost.Type || ist.Stream->discard == AVDISCARD_ALL)
                    continue;
                fallback = int(i);
                if (ist.Free && chosen < 0)
                    chosen = int(i);
            }
            if (chosen < 0)
                chosen = fallback;
            if (chosen < 0) {
                AVFormatContext* oc = job_.outputs_[ost.FileIndex]->Context();
                ff::av_dump_format(oc, ost.FileIndex, oc->url, 1);
                throw FFmpegException(Fmt("Could not find input stream matching output stream #%d.%d (%s)",
                                          ost.FileIndex, ost.Index, TypeName(ost.Type)));
            }
            ost.SourceIndex = ost.SyncIndex = chosen;
        }
        ist_[ost.SourceIndex].Free = false;
    }
}

// A joined output takes each part from its own input: for each output stream, the first free
// stream of its type in every input. An input that lacks one cannot be a part.
void TTranscoder::MapJoinedStreams() {
    if (!s_.StreamMaps.empty())
        throw FFmpegException("Stream maps cannot be used when inputs are joined: each part takes its streams from its "
                              "own input");
    for (TOutputStream* ost : ost_) {
        for (std::size_t f = 0; f < job_.inputs_.size(); ++f) {
            const TInputFile& file = *job_.inputs_[f];
            int chosen = -1;
            for (int i = file.FirstStream; i < file.FirstStream + file.StreamCount && chosen < 0; ++i) {
                const TInputStream& ist = ist_[std::size_t(i)];
                if (ist.Free && ist.Stream->codecpar->codec_type == ost->Type && ist.Stream->discard != AVDISCARD_ALL)
                    chosen = i;
            }
            if (chosen < 0) {
                const char* url = file.Context()->url;
                throw FFmpegException(Fmt("Could not find input stream matching output stream #%d.%d (%s): input #%d "
                                          "\"%s\" has no %s stream for its part of the joined output",
                                          ost->FileIndex, ost->Index, TypeName(ost->Type), int(f), url ? url : "",
                                          TypeName(ost->Type)));
            }
            ist_[std::size_t(chosen)].Free = false;
            ost->PartSources.push_back(chosen);
        }
        ost->SourceIndex = ost->SyncIndex = ost->PartSources.front();
    }
}

// The first part's sources set the output streams up; the later parts' are decoded the same
// way, and a copied stream can only go on with packets of the same kind of picture or sound.
void TTranscoder::PrepareJoinedParts() {
    for (TOutputStream* ost : ost_) {
        const TInputStream& first = ist_[std::size_t(ost->PartSources.front())];
        const AVCodecParameters* a = first.Stream->codecpar;
        for (std::size_t part = 1; part < ost->PartSources.size(); ++part) {
            TInputStream& ist = ist_[std::size_t(ost->PartSources[part])];
            ist.DecodingNeeded = ist.DecodingNeeded || first.DecodingNeeded;
            if (!ost->StreamCopy)
                continue;
            const AVCodecParameters* b = ist.Stream->codecpar;
            bool same = a->codec_id == b->codec_id;
            if (ost->Type == AVMEDIA_TYPE_VIDEO)
                same = same && a->width == b->width && a->height == b->height && a->format == b->format;
            else if (ost->Type == AVMEDIA_TYPE_AUDIO)
                same = same && a->sample_rate == b->sample_rate && a->ch_layout.nb_channels == b->ch_layout.nb_channels;
            if (!same) {
                const char* url = job_.inputs_[std::size_t(ist.FileIndex)]->Context()->url;
                throw FFmpegException(Fmt("Cannot join stream #%d.%d of \"%s\" by stream copy: it is not coded like "
                                          "stream #%d.%d of the first part (encode the joined output instead)",
                                          ist.FileIndex, ist.StreamIndex, url ? url : "", first.FileIndex,
                                          first.StreamIndex));
            }
        }
    }
}

// Without explicit maps, every input is there to give an output something: a soundtrack that
// holds no audio (a picture, a video without sound) would otherwise vanish without a word.
void TTranscoder::CheckInputsUsed() {
    if (!s_.StreamMaps.empty())
        return;
    for (std::size_t f = 0; f < job_.inputs_.size(); ++f) {
        const auto& in = job_.inputs_[f];
        // A file opened for its metadata or chapters is used by the map that names it.
        bool used = std::any_of(s_.MetadataMaps.begin(), s_.MetadataMaps.end(),
                                [&](const TMetadataMap& m) { return m.In.File == int(f); }) ||
                    std::any_of(s_.ChapterMaps.begin(), s_.ChapterMaps.end(),
                                [&](const TChapterMap& m) { return m.In == int(f) && m.Out >= 0; });
        std::string kinds;
        for (int i = 0; i < in->StreamCount; ++i) {
            const TInputStream& ist = ist_[std::size_t(in->FirstStream + i)];
            used = used || !ist.Free;
            std::string kind = TypeName(ist.Stream->codecpar->codec_type);
            if (kinds.find(kind) == std::string::npos)
                kinds += (kinds.empty() ? "" : ", ") + kind;
        }
        if (!used) {
            const char* url = in->Context()->url;
            throw FFmpegException(Fmt("%s: no stream of this file goes to an output (it holds %s)", url ? url : "",
                                      kinds.empty() ? "no stream" : kinds.c_str()));
        }
    }
}

void TTranscoder::SetupStreamCopy(TOutputStream& ost, TInputStream& ist) {
    AVStream* in = ist.Stream;
    AVStream* st = ost.Stream;
    if (ost.Type == AVMEDIA_TYPE_AUDIO && s_.AudioVolume != 256)
        throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
    if (ost.Type == AVMEDIA_TYPE_AUDIO && job_.OnAudioHook)
        throw FFmpegException("-acodec copy and AudioHook are incompatible (frames are not decoded)");
    if (ost.Type == AVMEDIA_TYPE_VIDEO && (job_.OnVideoInputHook || job_.OnVideoOutputHook))
        throw FFmpegException("-vcodec copy and VideoHook are incompatible (frames are not decoded)");
    if (ost.Type == AVMEDIA_TYPE_VIDEO && !job_.frameHooks_.Empty())
        throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
    if (in->codecpar->extradata_size > std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE)
        throw FFmpegException("icodec.extradata_size is invalid (too large)");
    if (ff::avcodec_parameters_copy(st->codecpar, in->codecpar) < 0)
        throw FFmpegException("Could not copy the stream parameters");
    AVFormatContext* oc = job_.outputs_[ost.FileIndex]->Context();
    // The source's tag stays unless the container's tag table knows that tag as another codec
    // and has a tag of its own for this one: then the container picks it.
    if (const AVCodecTag* const* table = oc->oformat->codec_tag) {
        unsigned int own = 0;
        if (ff::av_codec_get_id(table, in->codecpar->codec_tag) != in->codecpar->codec_id &&
            ff::av_codec_get_tag2(table, in->codecpar->codec_id, &own))
            st->codecpar->codec_tag = 0;
    }
    if (ost.Encoder && ost.Encoder->codec_tag)
        st->codecpar->codec_tag = ost.Encoder->codec_tag;
    if (ost.Type == AVMEDIA_TYPE_AUDIO && ((in->codecpar->codec_id == AV_CODEC_ID_MP3 && in->codecpar->block_align == 1) ||
                                           in->codecpar->codec_id == AV_CODEC_ID_AC3))
        st->codecpar->block_align = 0;
    if (ost.Type == AVMEDIA_TYPE_VIDEO) {
        // The copied pictures keep their size: the aspect asked for gives their pixel shape, and
        // the container needs the same value in the stream and in its parameters.
        AVCodecParameters* par = st->codecpar;
        if (ost.Aspect > 0 && par->width > 0 && par->height > 0)
            st->sample_aspect_ratio = ff::av_d2q(ost.Aspect * par->height / par->width, 255);
        else if (st->sample_aspect_ratio.num == 0)
            st->sample_aspect_ratio = in->sample_aspect_ratio;
        if (st->sample_aspect_ratio.num)
            par->sample_aspect_ratio = st->sample_aspect_ratio;
    }
    st->time_base = CopyTimeBase(in);
    st->avg_frame_rate = in->avg_frame_rate;
    st->r_frame_rate = in->r_frame_rate;
    ost.Encoder.reset(); // a copied stream has no encoder
    InitBitstreamFilters(ost);
}

void TTranscoder::SetupVideoEncoding(TOutputStream& ost, TInputStream& ist) {
    AVCodecContext* enc = ost.Encoder.get();
    if (enc->pix_fmt == AV_PIX_FMT_NONE)
        throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
    if (enc->width <= 0 || enc->height <= 0) {
        enc->width = ist.Stream->codecpar->width;
        enc->height = ist.Stream->codecpar->height;
    }
    SetupHardwareFrames(ost);
    AVCodecParameters* in = ist.Stream->codecpar;
    ost.RescaleWidth = in->width;
    ost.RescaleHeight = in->height;
    ost.RescaleFormat = AVPixelFormat(in->format);
    ost.NeedsRescale = in->width != enc->width || in->height != enc->height || in->format != ost.PictureFormat();
    // Deinterlacing is a filter in front of the user's.
    std::string filters = ost.FilterDescription;
    if (s_.Deinterlace)
        filters = filters.empty() ? "yadif" : "yadif," + filters;
    if (!filters.empty()) {
        TVideoFilterSpec spec;
        spec.Width = in->width;
        spec.Height = in->height;
        spec.Format = AVPixelFormat(in->format);
        spec.SampleAspect = ist.Stream->sample_aspect_ratio.num ? ist.Stream->sample_aspect_ratio : in->sample_aspect_ratio;
        spec.EncoderWidth = enc->width;
        spec.EncoderHeight = enc->height;
        spec.EncoderFormat = ost.PictureFormat();
        spec.ScalerFlags = job_.generic_.ScalerFlags();
        spec.Description = filters;
        ost.FilterSpec = spec;
        ost.Filter = std::make_unique<TVideoFilterGraph>(spec);
        // The graph's pictures have the encoder's format and the size the graph gives them.
        enc->width = ost.Filter->OutputWidth();
        enc->height = ost.Filter->OutputHeight();
        ost.RescaleWidth = enc->width;
        ost.RescaleHeight = enc->height;
        ost.RescaleFormat = ost.PictureFormat();
        ost.NeedsRescale = false;
    }
    ost.EncodingNeeded = true;
    ist.DecodingNeeded = true;
}

// An encoder whose only pixel format is a device's (h264_vaapi) gets a device on the render node
// the job names and a pool of surfaces of its size; converted pictures are uploaded there.
void TTranscoder::SetupHardwareFrames(TOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder.get();
    const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(enc->pix_fmt);
    if (!desc || !(desc->flags & AV_PIX_FMT_FLAG_HWACCEL))
        return;
    const char* name = ost.Codec ? ost.Codec->name : "the video encoder";
    AVPixelFormat layout = AV_PIX_FMT_NONE;
    const AVHWDeviceType type = HardwareDeviceFor(enc->pix_fmt, layout);
    if (type == AV_HWDEVICE_TYPE_NONE)
        throw FFmpegException(Fmt("Encoder %s takes only %s pictures, which the engine cannot make", name, desc->name));
    const std::string node = s_.VaapiDevice.empty() ? DefaultRenderNode : s_.VaapiDevice;
    try {
        // A pool of no fixed size grows with what the encoder and its thread hold at a time.
        ost.Hardware = std::make_unique<THardwareFrames>(type, node, enc->width, enc->height, layout, 0);
    } catch (const FFmpegException& e) {
        throw FFmpegException(Fmt("Encoder %s cannot be used: %s", name, e.what()));
    }
    enc->hw_frames_ctx = ff::av_buffer_ref(ost.Hardware->FramesContext());
    if (!enc->hw_frames_ctx)
        throw FFmpegException(Fmt("Encoder %s cannot be used: out of memory", name));
}

// The statistics file of a two-pass stream: the first pass writes what the encoder learnt,
// the second hands all of it to the encoder before the first picture.
void TTranscoder::SetupTwoPass(TOutputStream& ost, int index) {
    if (ost.Pass == 0)
        return;
    std::string name = Fmt("%s-%d.log", s_.PassLogFile.empty() ? "ffmpeg2pass" : s_.PassLogFile.c_str(), index);
    if (name.size() > 1023)
        name.resize(1023);
    if (ost.Pass == 1) {
        ost.PassLog = std::make_unique<std::ofstream>(name, std::ios::binary | std::ios::trunc);
        if (!*ost.PassLog)
            throw FFmpegException(Fmt("Cannot write log file %s for pass-1 encoding", name.c_str()));
        return;
    }
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf()))
        throw FFmpegException(Fmt("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", name.c_str()));
    ost.PassStats = text.str();
    ost.Encoder->stats_in = ost.PassStats.data();
}

void TTranscoder::WritePassStats(TOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder.get();
    if (ost.PassLog && enc && enc->stats_out && !(*ost.PassLog << enc->stats_out))
        throw FFmpegException("Cannot write the pass-1 log file");
}

void TTranscoder::OpenEncoder(TOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder.get();
    const AVCodec* codec = ost.Codec ? ost.Codec : ff::avcodec_find_encoder(ost.CodecId);
    const char* typeName = TypeName(ost.Type);
    if (!codec) {
        LogStreamMapping();
        throw FFmpegException(Fmt("Encoder (codec id %d) not found for output stream #%d.%d (%s)", int(ost.CodecId),
                                  ost.FileIndex, ost.Index, typeName));
    }
    // The encoder says why it refuses in its log lines (also when the log level hides them):
    // that reason goes into the message, which the run's failure reports once.
    TFFErrorCapture reasons;
    if (int r = OpenUnderCodecLock(enc, codec); r < 0) {
        const std::string reason = reasons.Text().empty() ? ErrorCodeText(r) : reasons.Text();
        throw FFmpegException(Fmt("Error while opening encoder %s for output stream #%d.%d (%s): %s", codec->name,
                                  ost.FileIndex, ost.Index, typeName, reason.c_str()));
    }
    job_.openCodecs_.AddEncoder(ost);
    extraSize_ += enc->extradata_size;
    if (ff::avcodec_parameters_from_context(ost.Stream->codecpar, enc) < 0)
        throw FFmpegException("Could not copy the encoder parameters to the stream");
    ost.Stream->time_base = enc->time_base;
    // What the encoder tells the container about itself (the video buffer size, which MPEG
    // program streams size their multiplex from).
    for (int i = 0; i < enc->nb_coded_side_data; ++i) {
        const AVPacketSideData& side = enc->coded_side_data[i];
        uint8_t* data = ff::av_stream_new_side_data(ost.Stream, side.type, side.size);
        if (!data)
            throw FFmpegException("av_stream_new_side_data failed");
        std::memcpy(data, side.data, side.size);
    }
    // Forced key frames: comma-separated times, in encoder time base, or "expr:" and an
    // expression evaluated at every picture (a key frame wherever it is not zero).
    std::string text = ost.ForcedKeyFramesText;
    if (text.rfind("expr:", 0) == 0) {
        ParseForcedKeyExpression(ost, text.substr(5));
        text.clear();
    }
    for (std::size_t at = 0; !text.empty() && at != std::string::npos;) {
        std::size_t comma = text.find(',', at);
        std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        int64_t us = 0;
        if (ff::av_parse_time(&us, item.c_str(), 1) < 0)
            throw FFmpegException(Fmt("Invalid duration specification for force_key_frames: %s", item.c_str()));
        ost.ForcedKeyFrames.push_back(ff::av_rescale_q(us, AV_TIME_BASE_Q, enc->time_base));
        at = comma == std::string::npos ? comma : comma + 1;
    }
    InitBitstreamFilters(ost);
}

void TTranscoder::OpenDecoder(TInputStream& ist) {
    TInputFile& file = *job_.inputs_[ist.FileIndex];
    const AVCodec* codec = file.Decoders[ist.StreamIndex];
    if (!codec)
        codec = ff::avcodec_find_decoder(ist.Stream->codecpar->codec_id);
    const char* typeName = TypeName(ist.Stream->codecpar->codec_type);
    if (!codec)
        throw FFmpegException(Fmt("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                  int(ist.Stream->codecpar->codec_id), ist.FileIndex, ist.StreamIndex, typeName));
    ist.Decoder.reset(ff::avcodec_alloc_context3(codec));
    if (!ist.Decoder || ff::avcodec_parameters_to_context(ist.Decoder.get(), ist.Stream->codecpar) < 0)
        throw FFmpegException(Fmt("Error while opening decoder for input stream #%d.%d (%s)", ist.FileIndex,
                                  ist.StreamIndex, typeName));
    AVCodecContext* dec = ist.Decoder.get();
    dec->pkt_timebase = ist.Stream->time_base;
    dec->thread_count = s_.ThreadCount;
    job_.generic_.ApplyToCodec(dec, codec, AV_OPT_FLAG_DECODING_PARAM);
    if (OpenUnderCodecLock(dec, codec) < 0)
        throw FFmpegException(Fmt("Error while opening decoder for input stream #%d.%d (%s)", ist.FileIndex,
                                  ist.StreamIndex, typeName));
    job_.openCodecs_.AddDecoder(ist);
    ist.Frame = NewFrame();
}

void TTranscoder::WriteHeaders() {
    for (std::size_t i = 0; i < job_.outputs_.size(); ++i) {
        TOutputFile& out = *job_.outputs_[i];
        if (ff::avformat_write_header(out.Context(), out.HeaderOptions.Addr()) < 0) {
            // A write the system refused (a full disk, a file size limit) is named by its cause,
            // as the later writes are; the parameters are not to blame then.
            const AVIOContext* pb = out.Context()->pb;
            std::string text = pb && pb->error < 0
                                   ? ErrorText(out.FileName, pb->error)
                                   : Fmt("Could not write header for output file #%d (incorrect codec parameters ?)", int(i));
            EngineLog(llError, text);
            throw FFmpegException(text);
        }
        out.HeaderWritten = true;
        ff::av_dump_format(out.Context(), int(i), out.Context()->url, 1);
    }
    LogSessionDescription();
}

// A receiver of rtp outputs needs their session description to play them.
void TTranscoder::LogSessionDescription() {
    std::vector<AVFormatContext*> contexts;
    for (auto& out : job_.outputs_) {
        if (std::strcmp(out->Context()->oformat->name, "rtp") != 0)
            return;
        contexts.push_back(out->Context());
    }
    if (contexts.empty())
        return;
    char sdp[2048];
    if (ff::av_sdp_create(contexts.data(), int(contexts.size()), sdp, sizeof sdp) < 0)
        throw FFmpegException("Could not create the SDP description of the rtp outputs");
    EngineLog(llInfo, std::string("SDP:\r\n") + sdp);
}

void TTranscoder::LogStreamMapping() {
    if (s_.Verbose < 0)
        return;
    EngineLog(llVerbose, "Stream mapping:");
    for (TOutputStream* ost : ost_) {
        if (ost->SourceIndex < 0)
            continue;
        const TInputStream& ist = ist_[ost->SourceIndex];
        std::string line = Fmt("  Stream #%d.%d -> #%d.%d (%s)", ist.FileIndex, ist.StreamIndex, ost->FileIndex,
                               ost->Index, TypeName(ost->Type));
        if (ost->SyncIndex != ost->SourceIndex) {
            const TInputStream& sync = ist_[ost->SyncIndex];
            line += Fmt(" [sync #%d.%d (%s)]", sync.FileIndex, sync.StreamIndex,
                        TypeName(sync.Stream->codecpar->codec_type));
        }
        EngineLog(llVerbose, line);
    }
}
