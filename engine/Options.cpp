// The engine's option vocabulary: one table row per option name, in the order the dispatcher
// tests them. A row either stores the value in a settings field or calls a small handler.
// Names not in the table go to the generic codec/format/scaler option store.

#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"
#include "engine/OptionValues.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace {
using THandler = void (*)(TCustomFFmpeg& job, TJobSettings& s, const std::string& name, const std::string& v);

struct TOptionRow {
    const char* Name;
    THandler Apply;
};

// Counts and durations below zero would end a run before its first packet and report success.
int64_t NonNegative(const std::string& name, int64_t value) {
    if (value < 0)
        throw FFmpegException(Fmt("Option \"%s\" must not be negative", name.c_str()));
    return value;
}

// Above this no encoder keeps up a timestamp per frame (MPEG-4 allows a time base up to 65535,
// other encoders would duplicate each input frame tens of thousands of times).
constexpr int MaxFrameRate = 1000;

// "vstats_" and the time of day beside the program file.
std::string DefaultVStatsFile() {
    std::error_code ec;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string folder = ec ? std::string() : program.parent_path().string() + "/";
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char hhnnss[16];
    std::strftime(hhnnss, sizeof hhnnss, "%H%M%S", &tm);
    return Fmt("%svstats_%s.log", folder.c_str(), hhnnss);
}

void ListPixelFormats() {
    EngineLog(llInfo, "Pixel formats:");
    for (const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_next(nullptr); d; d = ff::av_pix_fmt_desc_next(d))
        EngineLog(llInfo, Fmt("%-16s %d components, %d bits", d->name, d->nb_components, ff::av_get_bits_per_pixel(d)));
}

void ListSampleFormats() {
    EngineLog(llInfo, "Sample formats:");
    for (int f = 0; f < AV_SAMPLE_FMT_NB; ++f)
        if (const char* name = ff::av_get_sample_fmt_name(AVSampleFormat(f)))
            EngineLog(llInfo, Fmt("%-8s %d bits", name, 8 * ff::av_get_bytes_per_sample(AVSampleFormat(f))));
}

void SetCodecName(std::string& name, bool& copy, const std::string& v) {
    copy = v == "copy";
    name = copy ? std::string() : v;
}

void AppendBitstreamFilter(std::vector<std::string>& chain, const std::string& v) {
    if (!ff::av_bsf_get_by_name(v.c_str()))
        throw FFmpegException(Fmt("Unknown bitstream filter %s", v.c_str()));
    chain.push_back(v);
}

#define FIELD(name, field, parse) \
    {name, [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) { s.field = parse(v); }}
#define NOTHING(name) {name, [](TCustomFFmpeg&, TJobSettings&, const std::string&, const std::string&) {}}
#define INFO_ONLY(name) \
    {name, [](TCustomFFmpeg&, TJobSettings&, const std::string& n, const std::string&) { \
         EngineLog(llInfo, "Do nothing: option - " + n); }}
#define REMOVED(name, text) \
    {name, [](TCustomFFmpeg&, TJobSettings&, const std::string&, const std::string&) { throw FFmpegException(text); }}
#define PRESET(name) \
    {name, [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.ApplyPreset(n, v); }}
#define STRING(v) (v)
#define FRAME_COUNT(name, kind) \
    {name, [](TCustomFFmpeg&, TJobSettings& s, const std::string& n, const std::string& v) { \
         s.MaxFrames[kind] = int(NonNegative(n, ParseIntValue(v))); }}
#define FLOATF(v) float(ParseFloatValue(v))
} // namespace

void TCustomFFmpeg::ApplyOption(const std::string& name, const std::string& value) {
    static const TOptionRow rows[] = {
        INFO_ONLY("L"), INFO_ONLY("h"), INFO_ONLY("version"), INFO_ONLY("formats"), INFO_ONLY("codecs"),
        INFO_ONLY("bsfs"), INFO_ONLY("protocols"), INFO_ONLY("filters"),
        // The logger's threshold, not only FFmpeg's: the logger filters FFmpeg's lines by its
        // own copy of the level and the program's messages by its LogLevel.
        {"loglevel", [](TCustomFFmpeg&, TJobSettings&, const std::string&, const std::string& v) {
             try {
                 GetFFLogger().SetLogLevelByName(v);
             } catch (const std::invalid_argument& e) {
                 throw FFmpegException(e.what());
             }
         }},
        FIELD("f", ForcedFormat, STRING),
        NOTHING("i"), NOTHING("y"),
        {"map", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) { j.AddStreamMap(v); }},
        {"map_meta_data", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) {
             j.AddMetadataMap(v);
         }},
        {"map_chapters", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) {
             j.AddChapterMap(v);
         }},
        {"t", [](TCustomFFmpeg& j, TJobSettings& s, const std::string& n, const std::string& v) {
             s.RecordingTime = NonNegative(n, ParseTimeValue(n, v, true));
             j.expectedDuration_ = s.RecordingTime;
         }},
        FIELD("fs", LimitFileSize, ParseInt64Value),
        {"ss", [](TCustomFFmpeg&, TJobSettings& s, const std::string& n, const std::string& v) {
             // A start before the beginning is the beginning (a negative start would shift
             // every timestamp later and stretch the output).
             s.StartTime = std::max<int64_t>(0, ParseTimeValue(n, v, true));
         }},
        {"itsoffset", [](TCustomFFmpeg&, TJobSettings& s, const std::string& n, const std::string& v) {
             s.InputTsOffset = ParseTimeValue(n, v, true);
         }},
        {"itsscale", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) { j.SetTsScale(v); }},
        {"timestamp", [](TCustomFFmpeg&, TJobSettings& s, const std::string& n, const std::string& v) {
             s.RecordingTimestamp = std::llround(double(ParseTimeValue(n, v, false)) / 1000000.0);
         }},
        {"metadata", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) { j.SetMetadata(v); }},
        FRAME_COUNT("dframes", 2),
        NOTHING("benchmark"),
        {"timelimit", [](TCustomFFmpeg&, TJobSettings&, const std::string&, const std::string&) {
             EngineLog(llWarning, "Warning: -timelimit not implemented on Windows");
         }},
        FIELD("dump", DumpPackets, ParseBoolValue), FIELD("hex", DumpHex, ParseBoolValue),
        FIELD("re", RateEmulation, ParseBoolValue),
        FIELD("loop_input", LoopInput, ParseBoolValue),
        // How often a looping format (gif) plays: 0 without end, -1 once.
        {"loop_output", [](TCustomFFmpeg&, TJobSettings& s, const std::string& n, const std::string& v) {
             int loops = ParseIntValue(v);
             if (loops < -1)
                 throw FFmpegException(Fmt("Option \"%s\" must be -1 (play once), 0 (loop for ever) or a count",
                                           n.c_str()));
             s.LoopOutput = loops;
             s.LoopOutputGiven = true;
         }},
        FIELD("v", Verbose, ParseIntValue),
        {"target", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) { j.ApplyTarget(v, false); }},
        {"threads", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             s.ThreadCount = ParseIntValue(v);
             if (s.Verbose >= 0)
                 EngineLog(llVerbose, "Warning: if the ffmpeg libraries were not compiled with thread support, "
                                      "it would be using thread emulation.");
         }},
        FIELD("vsync", VideoSync, ParseIntValue), FIELD("async", AudioSync, ParseIntValue),
        FIELD("adrift_threshold", AudioDriftThreshold, ParseFloatValue),
        FIELD("vglobal", VideoGlobalHeader, ParseIntValue),
        FIELD("copyts", CopyTs, ParseBoolValue), FIELD("copytb", CopyTb, ParseBoolValue),
        FIELD("shortest", Shortest, ParseBoolValue),
        FIELD("dts_delta_threshold", DtsDeltaThreshold, ParseFloatValue),
        FIELD("programid", ProgramId, ParseIntValue),
        FIELD("xerror", ExitOnError, ParseBoolValue), FIELD("copyinkf", CopyInitialNonKeyframes, ParseBoolValue),
        {"b", [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.SetBitRate(n, v); }},
        {"vb", [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.SetBitRate(n, v); }},
        FRAME_COUNT("vframes", 0),
        {"r", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             AVRational rate{};
             if (ff::av_parse_video_rate(&rate, v.c_str()) < 0)
                 throw FFmpegException("Incorrect frame rate");
             if (av_cmp_q(rate, AVRational{MaxFrameRate, 1}) > 0)
                 throw FFmpegException(Fmt("Frame rate %s is too high: at most %d frames a second", v.c_str(),
                                           MaxFrameRate));
             s.FrameRate = rate;
         }},
        {"s", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             if (ff::av_parse_video_size(&s.FrameWidth, &s.FrameHeight, v.c_str()) < 0)
                 throw FFmpegException("Incorrect frame size");
         }},
        {"aspect", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             s.FrameAspectRatio = ParseAspectValue(v);
             if (s.FrameAspectRatio == 0)
                 throw FFmpegException("Incorrect aspect ratio specification.");
         }},
        {"pix_fmt", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             if (v == "list")
                 return ListPixelFormats();
             s.FramePixFmt = ff::av_get_pix_fmt(v.c_str());
             if (s.FramePixFmt == AV_PIX_FMT_NONE)
                 throw FFmpegException(Fmt("Unknown pixel format requested: %s", v.c_str()));
         }},
        REMOVED("croptop", "Removed, use the crop filter instead"),
        REMOVED("cropbottom", "Removed, use the crop filter instead"),
        REMOVED("cropleft", "Removed, use the crop filter instead"),
        REMOVED("cropright", "Removed, use the crop filter instead"),
        REMOVED("padtop", "Removed, use the pad filter instead"),
        REMOVED("padbottom", "Removed, use the pad filter instead"),
        REMOVED("padleft", "Removed, use the pad filter instead"),
        REMOVED("padright", "Removed, use the pad filter instead"),
        REMOVED("padcolor", "Removed, use the pad filter instead"),
        FIELD("intra", IntraOnly, ParseBoolValue), FIELD("vn", VideoDisable, ParseBoolValue),
        FIELD("vdt", VideoDiscard, ParseIntValue),
        {"qscale", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             double q = ParseFloatValue(v);
             if (!(q > 0.0 && q <= 255))
                 throw FFmpegException("qscale must be > 0.0 and <= 255");
             s.VideoQScale = float(q);
         }},
        FIELD("rc_override", RcOverride, STRING),
        {"vcodec", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             SetCodecName(s.VideoCodecName, s.VideoStreamCopy, v);
         }},
        FIELD("me_threshold", MeThreshold, ParseIntValue), FIELD("sameq", SameQuant, ParseBoolValue),
        {"pass", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             int pass = ParseIntValue(v);
             if (pass != 1 && pass != 2)
                 throw FFmpegException("pass number can be only 1 or 2");
             s.DoPass = pass;
         }},
        FIELD("passlogfile", PassLogFile, STRING),
        FIELD("deinterlace", Deinterlace, ParseBoolValue), FIELD("psnr", Psnr, ParseBoolValue),
        {"vstats", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             if (ParseBoolValue(v))
                 s.VStatsFile = DefaultVStatsFile();
         }},
        FIELD("vstats_file", VStatsFile, STRING),
        {"vhook", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) { j.AddVideoHook(v); }},
        FIELD("vfilters", VideoFilters, STRING), FIELD("vf", VideoFilters, STRING),
        {"intra_matrix", [](TCustomFFmpeg& j, TJobSettings& s, const std::string&, const std::string& v) {
             j.SetMatrix(s.IntraMatrix, v);
         }},
        {"inter_matrix", [](TCustomFFmpeg& j, TJobSettings& s, const std::string&, const std::string& v) {
             j.SetMatrix(s.InterMatrix, v);
         }},
        FIELD("top", TopFieldFirst, ParseIntValue), FIELD("dc", IntraDcPrecision, ParseIntValue),
        {"vtag", [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.SetTag(n, v); }},
        {"newvideo", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string&) {
             j.NewStream(AVMEDIA_TYPE_VIDEO);
         }},
        FIELD("vlang", VideoLanguage, STRING),
        FIELD("qphist", QpHist, ParseBoolValue),
        FIELD("force_fps", ForceFps, ParseBoolValue),
        {"streamid", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string& v) { j.AddStreamId(v); }},
        FIELD("force_key_frames", ForcedKeyFrames, STRING),
        {"ab", [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.SetBitRate(n, v); }},
        FRAME_COUNT("aframes", 1), FIELD("aq", AudioQScale, FLOATF),
        {"ar", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             int rate = ParseIntValue(v);
             if (rate > 0) s.AudioSampleRate = rate;
         }},
        {"ac", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             int channels = ParseIntValue(v);
             if (channels > 0) s.AudioChannels = channels;
         }},
        FIELD("an", AudioDisable, ParseBoolValue),
        {"acodec", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             SetCodecName(s.AudioCodecName, s.AudioStreamCopy, v);
         }},
        {"atag", [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.SetTag(n, v); }},
        FIELD("vol", AudioVolume, ParseIntValue),
        {"newaudio", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string&) {
             j.NewStream(AVMEDIA_TYPE_AUDIO);
         }},
        FIELD("alang", AudioLanguage, STRING),
        {"sample_fmt", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             if (v == "list")
                 return ListSampleFormats();
             s.AudioSampleFmt = ff::av_get_sample_fmt(v.c_str());
             if (s.AudioSampleFmt == AV_SAMPLE_FMT_NONE)
                 throw FFmpegException(Fmt("Invalid sample format \"%s\"", v.c_str()));
         }},
        FIELD("sn", SubtitleDisable, ParseBoolValue),
        {"scodec", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             SetCodecName(s.SubtitleCodecName, s.SubtitleStreamCopy, v);
         }},
        {"newsubtitle", [](TCustomFFmpeg& j, TJobSettings&, const std::string&, const std::string&) {
             j.NewStream(AVMEDIA_TYPE_SUBTITLE);
         }},
        FIELD("slang", SubtitleLanguage, STRING),
        {"stag", [](TCustomFFmpeg& j, TJobSettings&, const std::string& n, const std::string& v) { j.SetTag(n, v); }},
        FIELD("vc", VideoChannel, ParseIntValue), FIELD("tvstd", TvStandard, STRING),
        FIELD("isync", InputSync, ParseBoolValue),
        FIELD("muxdelay", MuxMaxDelay, FLOATF), FIELD("muxpreload", MuxPreload, FLOATF),
        {"absf", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             AppendBitstreamFilter(s.BitstreamFilters[1], v);
         }},
        {"vbsf", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             AppendBitstreamFilter(s.BitstreamFilters[0], v);
         }},
        {"sbsf", [](TCustomFFmpeg&, TJobSettings& s, const std::string&, const std::string& v) {
             AppendBitstreamFilter(s.BitstreamFilters[2], v);
         }},
        PRESET("apre"), PRESET("vpre"), PRESET("spre"), PRESET("fpre"),
        FIELD("vaapi_device", VaapiDevice, STRING),
    };
    for (const TOptionRow& row : rows)
        if (name == row.Name) {
            row.Apply(*this, settings_, name, value);
            return;
        }
    SetGeneric(name, value);
}

bool TCustomFFmpeg::OptionNeedsValue(const std::string& name) {
    static const char* const switches[] = {
        "L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "y", "benchmark", "dump", "hex",
        "re", "copyts", "copytb", "shortest", "xerror", "copyinkf", "intra", "vn", "an", "sn", "sameq", "deinterlace",
        "psnr", "vstats", "qphist", "force_fps", "isync", "newvideo", "newaudio", "newsubtitle"};
    for (const char* s : switches)
        if (name == s)
            return false;
    return true;
}

void TCustomFFmpeg::SetGeneric(const std::string& name, const std::string& value) {
    if (!generic_.Set(name, value) && RaiseOnOptionError)
        throw FFmpegException(generic_.ErrorMsg());
}

void TCustomFFmpeg::SetBitRate(const std::string& name, const std::string& value) {
    SetGeneric(name, value);
    CheckBitRateWarning(name == "ab" ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO);
}

void TCustomFFmpeg::CheckBitRateWarning(AVMediaType type) {
    if (generic_.CodecInt(type, "b") < 1000)
        EngineLog(llWarning, "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

void TCustomFFmpeg::AddStreamMap(const std::string& value) {
    // "file.stream" or "file:stream", optionally followed by the sync stream the same way; the
    // numbers must be there: "x" would read as 0.0 and quietly map something else.
    const char* p = value.c_str();
    char* end = nullptr;
    TStreamMap m;
    auto number = [&](int& out) {
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            throw FFmpegException(Fmt("Invalid stream map \"%s\": expected file.stream", value.c_str()));
        errno = 0;
        long n = std::strtol(p, &end, 10);
        if (errno != 0 || n > MaxStreams)
            throw FFmpegException(Fmt("Invalid stream map \"%s\": number out of range", value.c_str()));
        out = int(n);
    };
    auto separator = [&] {
        if (*end != '.' && *end != ':')
            throw FFmpegException(Fmt("Invalid stream map \"%s\": expected file.stream", value.c_str()));
        p = end + 1;
    };
    number(m.File);
    separator();
    number(m.Stream);
    if (*end) {
        separator();
        number(m.SyncFile);
        separator();
        number(m.SyncStream);
        if (*end)
            throw FFmpegException(Fmt("Invalid stream map \"%s\"", value.c_str()));
    } else {
        m.SyncFile = m.File;
        m.SyncStream = m.Stream;
    }
    settings_.StreamMaps.push_back(m);
}

namespace {
// A file index with an optional kind of metadata: "1", "1,g", "0,s2", "0,c0", "0,p1". Leaves p
// behind what it read.
TMetadataSpec ReadMetadataSpec(const char*& p, const std::string& value) {
    auto invalid = [&] {
        return FFmpegException(Fmt("Invalid metadata map \"%s\": expected outfile[,type]:infile[,type]", value.c_str()));
    };
    auto number = [&](int& out) {
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            throw invalid();
        errno = 0;
        char* end = nullptr;
        long n = std::strtol(p, &end, 10);
        if (errno != 0 || n > INT_MAX)
            throw invalid();
        out = int(n);
        p = end;
    };
    TMetadataSpec spec;
    number(spec.File);
    if (*p != ',')
        return spec;
    spec.Type = *++p;
    switch (spec.Type) {
    case 'g': ++p; break;
    case 's':
    case 'c':
    case 'p':
        ++p;
        number(spec.Index);
        break;
    default: throw FFmpegException(Fmt("Invalid metadata type %c.", spec.Type ? spec.Type : ' '));
    }
    return spec;
}
} // namespace

void TCustomFFmpeg::AddMetadataMap(const std::string& value) {
    const char* p = value.c_str();
    TMetadataMap m;
    m.Out = ReadMetadataSpec(p, value);
    if (*p != ':')
        throw FFmpegException(Fmt("Invalid metadata map \"%s\": expected outfile[,type]:infile[,type]", value.c_str()));
    ++p;
    m.In = ReadMetadataSpec(p, value);
    if (*p)
        throw FFmpegException(Fmt("Invalid metadata map \"%s\": expected outfile[,type]:infile[,type]", value.c_str()));
    TJobSettings& s = settings_;
    auto either = [&](char type) { return m.Out.Type == type || m.In.Type == type; };
    if (either('g'))
        s.MetadataGlobalAutocopy = false;
    if (either('s'))
        s.MetadataStreamsAutocopy = false;
    if (either('c'))
        s.MetadataChaptersAutocopy = false;
    s.MetadataMaps.push_back(m);
}

void TCustomFFmpeg::AddChapterMap(const std::string& value) {
    // "outfile:infile"; a negative index ("-1" alone is enough) copies no chapters at all.
    auto invalid = [&] {
        return FFmpegException(Fmt("Invalid chapter map \"%s\": expected outfile:infile", value.c_str()));
    };
    const char* p = value.c_str();
    auto number = [&](int& out) {
        if (!std::isdigit(static_cast<unsigned char>(p[*p == '-'])))
            throw invalid();
        errno = 0;
        char* end = nullptr;
        long n = std::strtol(p, &end, 10);
        if (errno != 0 || n > INT_MAX || n < INT_MIN)
            throw invalid();
        out = int(n);
        p = end;
    };
    TChapterMap m;
    number(m.Out);
    if (*p == ':') {
        ++p;
        number(m.In);
    } else if (m.Out >= 0) {
        throw invalid();
    }
    if (*p)
        throw invalid();
    settings_.ChapterMaps.push_back(m);
}

void TCustomFFmpeg::AddStreamId(const std::string& value) {
    std::size_t colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
        throw FFmpegException(Fmt("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                                  value.c_str(), "streamid"));
    int index = ParseIntValue(value.substr(0, colon));
    if (index < 0 || index >= MaxStreams)
        throw FFmpegException(Fmt("stream index over MAX_STREAMS(%d)", MaxStreams));
    settings_.StreamIds[index] = ParseIntValue(value.substr(colon + 1));
}

void TCustomFFmpeg::SetTag(const std::string& name, const std::string& value) {
    uint32_t* tag = name == "vtag" ? &settings_.VideoTag
                    : name == "atag" ? &settings_.AudioTag
                    : name == "stag" ? &settings_.SubtitleTag
                                     : nullptr;
    if (!tag)
        throw FFmpegException(Fmt("Invalid tag parmeter %s", name.c_str()));
    char* end = nullptr;
    long numeric = std::strtol(value.c_str(), &end, 0);
    if (!value.empty() && end && *end == '\0') {
        *tag = uint32_t(numeric);
        return;
    }
    if (value.size() != 4)
        throw FFmpegException("tag parameter must be 4 chars or int value");
    *tag = MKTAG(value[0], value[1], value[2], value[3]);
}

void TCustomFFmpeg::SetTsScale(const std::string& value) {
    char* end = nullptr;
    long index = std::strtol(value.c_str(), &end, 0);
    if (index < 0 || index >= MaxStreams)
        throw FFmpegException(Fmt("stream index over MAX_STREAMS(%d)", MaxStreams));
    const char* rest = *end ? end + 1 : end;
    settings_.TsScale[int(index)] = ParseFloatValue(rest);
}

void TCustomFFmpeg::SetMatrix(std::vector<uint16_t>& matrix, const std::string& value) {
    std::vector<uint16_t> coeffs(64);
    const char* p = value.c_str();
    for (int i = 0; i < 64; ++i) {
        coeffs[i] = uint16_t(std::atoi(p));
        if (i == 63)
            break;
        p = std::strchr(p, ',');
        if (!p)
            throw FFmpegException(Fmt("Syntax error in matrix \"%s\" at coeff %d", value.c_str(), i));
        ++p;
    }
    matrix = std::move(coeffs);
}

void TCustomFFmpeg::SetMetadata(const std::string& value) {
    std::size_t eq = value.find('=');
    if (eq == std::string::npos)
        throw FFmpegException("Missing =");
    if (eq == 0)
        throw FFmpegException("wrong parameter of metadata");
    settings_.Metadata.emplace_back(value.substr(0, eq), value.substr(eq + 1));
}

void TCustomFFmpeg::NewStream(AVMediaType type) {
    if (outputs_.empty())
        throw FFmpegException("At least one output file must be specified");
    CreateOutputStream(*outputs_.back(), type);
}

void TCustomFFmpeg::AddVideoHook(const std::string& value) {
    // The module's own reason is in the log already.
    if (frameHooks_.Add(value) != 0)
        throw FFmpegException("Failed to add video hook function: " + value);
}
