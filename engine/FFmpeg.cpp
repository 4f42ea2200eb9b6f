#include "engine/FFmpeg.h"
#include "engine/EngineSupport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>

namespace {
std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

// Keys that name a codec, a preset, a size or filters: they belong to one stream each.
const char* const PerStreamKeys[] = {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vf"};

// Days since 1899-12-30 in local time (without daylight saving) to seconds since 1970 UTC.
int64_t DaysToUnixSeconds(double days) {
    tzset();
    return std::llround((days - 25569.0) * 86400.0) + int64_t(timezone);
}
} // namespace

std::vector<TExtOption> ParseExtOptions(const std::string& text) {
    std::string t = Trim(text);
    ReplaceAll(t, "\r\n", "\n");
    ReplaceAll(t, "\r", "\n");
    ReplaceAll(t, "<CRLF>", "\n");
    std::vector<TExtOption> out;
    std::size_t start = 0;
    while (start <= t.size()) {
        std::size_t end = t.find('\n', start);
        std::string line = t.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? t.size() + 1 : end + 1;
        if (Trim(line).empty())
            continue;
        std::size_t eq = line.find('=');
        TExtOption o;
        o.Name = eq == std::string::npos ? line : line.substr(0, eq);
        o.Value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        std::transform(o.Name.begin(), o.Name.end(), o.Name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        out.push_back(std::move(o));
    }
    return out;
}

TFFmpeg::TFFmpeg(int maxFiles, void* owner) : TCustomFFmpeg(maxFiles), owner_(owner) {
    inputRecords_.resize(std::size_t(maxFiles));
    outputRecords_.resize(std::size_t(maxFiles));
    inputInfos_.resize(std::size_t(maxFiles));
}

TFFDecoder& TFFmpeg::InputInfo(int index) { return inputInfos_.at(std::size_t(index)); }

void TFFmpeg::AttachInputInfo(int index) { inputInfos_.at(std::size_t(index)).Attach(InputContext(index)); }

void TFFmpeg::CloseAll() {
    for (TFFDecoder& info : inputInfos_)
        info.Detach();
    TCustomFFmpeg::CloseAll();
}

void TFFmpeg::ResetInputRecord(int index) { inputRecords_.at(index) = TInputOptions(); }

void TFFmpeg::ResetOutputRecord(int index) { outputRecords_.at(index) = TOutputOptions(); }

void TFFmpeg::ApplyExtOptions(const std::string& text, bool input) {
    for (const TExtOption& o : ParseExtOptions(text)) {
        if (IsOneOf(o.Name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"}))
            continue;
        if (IsOneOf(o.Name, {"acodec", "vcodec", "scodec", "s"}) && !input)
            continue;
        ApplyOption(o.Name, o.Value);
    }
}

void TFFmpeg::ApplyInputOptions(const TInputOptions& options) {
    if (InputCount() >= MaxFiles)
        throw FFmpegException(Fmt("Too many input files (at most %d)", MaxFiles));
    TInputOptions& o = inputRecords_[std::size_t(InputCount())];
    o = options;
    ApplyExtOptions(o.ExtOptions, true);
    if (!o.FileFormat.empty())
        ApplyOption("f", o.FileFormat);
    if (o.StartTime != NoTimestamp)
        settings_.StartTime = o.StartTime;
    if (o.ProgramId >= 0)
        ApplyOption("programid", std::to_string(o.ProgramId));
}

void TFFmpeg::ApplyDefault(const char* name) {
    const std::string& value = defaults_[std::string("def_") + name];
    if (!value.empty())
        ApplyOption(name, value);
}

void TFFmpeg::ApplyOutputOptions(const TOutputOptions& options) {
    if (OutputCount() >= MaxFiles)
        throw FFmpegException(Fmt("Too many output files (at most %d)", MaxFiles));
    TOutputOptions& o = outputRecords_[std::size_t(OutputCount())];
    o = options;
    defaults_ = {{"def_acodec", o.AudioCodec}, {"def_vcodec", o.VideoCodec}, {"def_scodec", o.SubtitleCodec},
                 {"def_apre", o.AudioPreset},  {"def_vpre", o.VideoPreset},  {"def_spre", o.SubtitlePreset},
                 {"def_s", o.FrameSize},       {"def_vf", o.VideoFilters}};
    streamValues_.clear();
    for (TExtOption e : ParseExtOptions(o.ExtOptions)) {
        if (e.Name == "vfilters")
            e.Name = "vf";
        if (e.Value.empty() || std::find(std::begin(PerStreamKeys), std::end(PerStreamKeys), e.Name) == std::end(PerStreamKeys))
            continue;
        std::string& def = defaults_["def_" + e.Name];
        if (def.empty())
            def = e.Value;
        streamValues_[e.Name].push_back(e.Value);
    }
    if (o.TargetType != 0) {
        static const char* const targets[] = {"", "vcd", "svcd", "dvd"};
        static const char* const norms[] = {"", "pal-", "ntsc-"};
        std::string target = o.TargetType >= 1 && o.TargetType <= 3 ? targets[o.TargetType] : "unknown";
        ApplyTarget((o.NormType == 1 || o.NormType == 2 ? norms[o.NormType] : "") + target, o.NormDefault == 1);
    }
    for (const char* name : {"acodec", "vcodec", "scodec", "apre", "vpre", "spre"})
        ApplyDefault(name);
    ApplyExtOptions(o.ExtOptions, false);
    ApplyRecordFields(o);
    ApplyDefault("s");
    ApplyDefault("vf");
    // A bitmap layout the hook converters cannot make is refused here, where the caller still
    // learns it from SetOutputFile, rather than in the middle of the run.
    static const int hookBits[] = {8, 15, 16, 24, 32};
    if ((o.VideoInputHook || o.VideoOutputHook) &&
        std::find(std::begin(hookBits), std::end(hookBits), o.HookPixelBits) == std::end(hookBits))
        throw FFmpegException(Fmt("Invalid BitsPixel %d", o.HookPixelBits));
    if (o.AudioHook)
        OnAudioHook = HookTargets.Audio;
    if (o.VideoInputHook)
        OnVideoInputHook = HookTargets.VideoInput;
    if (o.VideoOutputHook)
        OnVideoOutputHook = HookTargets.VideoOutput;
    HookPixelBits = o.HookPixelBits;
}

void TFFmpeg::ApplyRecordFields(const TOutputOptions& o) {
    auto positive = [this](const char* name, int value) {
        if (value > 0)
            ApplyOption(name, std::to_string(value));
    };
    auto text = [this](const char* name, const std::string& value) {
        if (!value.empty())
            ApplyOption(name, value);
    };
    bool target = o.TargetType != 0;
    if (!o.FileFormat.empty())
        ApplyOption("f", o.FileFormat);
    positive("packetsize", o.PacketSize);
    positive("muxrate", o.MuxRate);
    if (o.MuxDelay > 0)
        settings_.MuxMaxDelay = o.MuxDelay;
    if (o.MuxPreload > 0)
        settings_.MuxPreload = o.MuxPreload;
    if (o.DisableAudio)
        ApplyOption("an", "1");
    if (o.Volume >= 0)
        ApplyOption("vol", std::to_string(o.Volume));
    positive("ac", o.AudioChannels);
    positive("ar", o.AudioSampleRate);
    if (!target)
        positive("ab", o.AudioBitrate);
    positive("abt", o.AudioBitrateTolerance);
    text("alang", o.AudioLanguage);
    ApplyOption("async", std::to_string(o.AudioSyncMethod));
    text("atag", o.AudioTag);
    if (o.DisableVideo)
        ApplyOption("vn", "1");
    text("r", o.FrameRate);
    text("aspect", o.FrameAspectRatio);
    positive("g", o.GroupPictureSize);
    if (!target)
        positive("vb", o.VideoBitrate);
    positive("maxrate", o.VideoMaxRate);
    positive("minrate", o.VideoMinRate);
    positive("bt", o.VideoBitrateTolerance);
    positive("bufsize", o.VideoBufferSize);
    ApplyOption("vsync", std::to_string(o.VideoSyncMethod));
    text("vtag", o.VideoTag);
    text("vlang", o.VideoLanguage);
    if (o.DisableSubtitle)
        ApplyOption("sn", "1");
    text("slang", o.SubtitleLanguage);
    ApplyOption("isync", o.InputSync ? "1" : "0");
    if (o.CopyTimestamp)
        ApplyOption("copyts", "1");
    if (o.StartTime != NoTimestamp)
        settings_.StartTime = o.StartTime;
    if (o.RecordingTime != NoTimestamp) {
        settings_.RecordingTime = o.RecordingTime;
        expectedDuration_ = o.RecordingTime;
    }
    ApplyMetadata(o.Metadata);
}

void TFFmpeg::ApplyMetadata(const TStreamInfo& info) {
    if (info.TimeStamp == 0)
        settings_.RecordingTimestamp = int64_t(std::time(nullptr));
    else if (info.TimeStamp > 0)
        settings_.RecordingTimestamp = DaysToUnixSeconds(info.TimeStamp);
    if (info.Year > 0)
        ApplyOption("metadata", "year=" + std::to_string(info.Year));
    if (info.Track > 0)
        ApplyOption("metadata", "track=" + std::to_string(info.Track));
    const std::pair<const char*, const std::string*> texts[] = {
        {"title", &info.Title},     {"author", &info.Author}, {"copyright", &info.Copyright},
        {"comment", &info.Comment}, {"album", &info.Album},   {"genre", &info.Genre}};
    for (const auto& [key, value] : texts)
        if (!value->empty())
            ApplyOption("metadata", std::string(key) + "=" + *value);
}

void TFFmpeg::ApplyOutputOptionsAfterOpen(int outputIndex) {
    const TOutputOptions& o = outputRecords_.at(outputIndex);
    static const std::pair<const char*, std::vector<const char*>> kinds[] = {
        {"newaudio", {"acodec", "apre"}}, {"newvideo", {"vcodec", "vpre", "s", "vf"}}, {"newsubtitle", {"scodec", "spre"}}};
    std::map<std::string, std::size_t> taken; // per key: how many values the new streams used
    for (const TExtOption& e : ParseExtOptions(o.ExtOptions)) {
        for (const auto& [option, keys] : kinds) {
            if (e.Name != option)
                continue;
            for (const char* key : keys) {
                std::vector<std::string>& values = streamValues_[key];
                std::size_t& next = taken[key];
                if (next < values.size())
                    ApplyOption(key, values[next++]);
                else
                    ApplyDefault(key);
            }
            ApplyOption(option, e.Value);
        }
    }
}
