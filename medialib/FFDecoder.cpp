#include "medialib/FFDecoder.h"

#include "medialib/DecoderTimeBase.h"
#include "medialib/FFLog.h"
#include "medialib/FFUtils.h"
#include "medialib/MyUtils.h"
#include "medialib/UnicodeProtocol.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numeric>
#include <vector>

namespace {
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

// Container-specific metadata keys and the generic names they are shown with.
const std::map<std::string, std::string>& DisplayNames() {
    static const std::map<std::string, std::string> names = [] {
        static const char* const rows[][2] = {
            {"LEAD_PERFORMER", "performer"}, {"PART_NUMBER", "track"}, {"ALBUMARTIST", "album_artist"},
            {"TRACKNUMBER", "track"}, {"DISCNUMBER", "disc"}, {"Author", "artist"}, {"X-CreationTime", "date"},
            {"CreationTime", "date"}, {"SourceFilename", "filename"}, {"X-Language", "language"},
            {"X-Disposition", "disposition"}, {"X-Replaces", "replaces"}, {"X-Depends", "depends"},
            {"X-Uses", "uses"}, {"X-UsesFont", "usesfont"}, {"WM/AlbumArtist", "album_artist"},
            {"WM/AlbumTitle", "album"}, {"Author", "artist"}, {"Description", "comment"},
            {"WM/Composer", "composer"}, {"WM/EncodedBy", "encoded_by"}, {"WM/EncodingSettings", "encoder"},
            {"WM/Genre", "genre"}, {"WM/Language", "language"}, {"WM/OriginalFilename", "filename"},
            {"WM/PartOfSet", "disc"}, {"WM/Publisher", "publisher"}, {"WM/Tool", "encoder"},
            {"WM/TrackNumber", "track"}, {"WM/Track", "track"}, {"WM/MediaStationCallSign", "service_provider"},
            {"WM/MediaStationName", "service_name"}, {"IART", "artist"}, {"ICMT", "comment"},
            {"ICOP", "copyright"}, {"ICRD", "date"}, {"IGNR", "genre"}, {"ILNG", "language"}, {"INAM", "title"},
            {"IPRD", "album"}, {"IPRT", "track"}, {"ISFT", "encoder"}, {"ITCH", "encoded_by"}, {"strn", "title"},
            {"TALB", "album"}, {"TCOM", "composer"}, {"TCON", "genre"}, {"TCOP", "copyright"},
            {"TENC", "encoded_by"}, {"TIT2", "title"}, {"TLAN", "language"}, {"TPE1", "artist"},
            {"TPE2", "album_artist"}, {"TPE3", "performer"}, {"TPOS", "disc"}, {"TPUB", "publisher"},
            {"TRCK", "track"}, {"TSSE", "encoder"}, {"TDRL", "date"}, {"TDRC", "date"},
            {"TDEN", "creation_time"}, {"TSOA", "album-sort"}, {"TSOP", "artist-sort"}, {"TSOT", "title-sort"},
            {"TAL", "album"}, {"TCO", "genre"}, {"TT2", "title"}, {"TEN", "encoded_by"}, {"TP1", "artist"},
            {"TP2", "album_artist"}, {"TP3", "performer"}, {"TRK", "track"}};
        std::map<std::string, std::string> m;
        for (const auto& row : rows)
            m.emplace(row[0], row[1]); // the first row of a key counts
        return m;
    }();
    return names;
}

std::string MetadataDisplayName(const std::string& key) {
    auto it = DisplayNames().find(key);
    return it == DisplayNames().end() ? key : it->second;
}

std::string MetaValue(const AVDictionary* m, const char* key) {
    const AVDictionaryEntry* e = m ? ff::av_dict_get(m, key, nullptr, 0) : nullptr;
    return e && e->value ? e->value : "";
}

void MetadataLines(std::string& text, const AVDictionary* m, const char* indent) {
    if (!m)
        return;
    std::vector<const AVDictionaryEntry*> entries;
    for (const AVDictionaryEntry* e = nullptr; (e = ff::av_dict_get(m, "", e, AV_DICT_IGNORE_SUFFIX));)
        entries.push_back(e);
    if (entries.empty() || (entries.size() == 1 && std::string(entries[0]->key) == "language"))
        return;
    text += std::string(indent) + "Metadata:\n";
    for (const AVDictionaryEntry* e : entries)
        if (std::string(e->key) != "language")
            text += Format("%s  %-16s: %s\n", indent, MetadataDisplayName(e->key).c_str(), e->value ? e->value : "");
}

std::string RateText(const char* unit, double v) {
    long long r = std::llround(v * 100);
    if (r % 100 != 0)
        return Format(", %3.2f %s", v, unit);
    if (r % 100000 != 0)
        return Format(", %1.0f %s", v, unit);
    return Format(", %1.0fk %s", v / 1000, unit);
}

std::string SecondsText(int64_t microseconds) {
    return Format("%lld.%.6lld", (long long)(microseconds / 1000000), (long long)(microseconds % 1000000));
}

// The codec line of libavcodec for the stream's parameters.
std::string CodecText(const AVStream* st) {
    AVCodecContext* c = ff::avcodec_alloc_context3(nullptr);
    if (!c)
        return {};
    char buf[256] = {};
    if (ff::avcodec_parameters_to_context(c, st->codecpar) >= 0) {
        c->time_base = st->time_base;
        ff::avcodec_string(buf, sizeof buf, c, 0);
    }
    ff::avcodec_free_context(&c);
    return buf;
}

void StreamInfoLine(std::string& text, const AVFormatContext* ic, unsigned index, AVRational codecTimeBase) {
    const AVStream* st = ic->streams[index];
    const AVCodecParameters* par = st->codecpar;
    std::string line = Format("Stream #%u", index);
    if (ic->iformat && (ic->iformat->flags & AVFMT_SHOW_IDS))
        line += Format("[0x%x]", st->id);
    std::string language = MetaValue(st->metadata, "language");
    if (!language.empty())
        line += "(" + language + ")";
    int g = std::gcd(st->time_base.num, st->time_base.den);
    if (g == 0)
        g = 1;
    line += Format(", %d/%d", st->time_base.num / g, st->time_base.den / g);
    line += ": " + CodecText(st);
    if (st->sample_aspect_ratio.num &&
        av_cmp_q(st->sample_aspect_ratio, par->sample_aspect_ratio) != 0) {
        int darNum = 0, darDen = 0;
        ff::av_reduce(&darNum, &darDen, int64_t(par->width) * st->sample_aspect_ratio.num,
                      int64_t(par->height) * st->sample_aspect_ratio.den, 1024 * 1024);
        line += Format(", PAR %d:%d DAR %d:%d", st->sample_aspect_ratio.num, st->sample_aspect_ratio.den, darNum, darDen);
    }
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        if (st->avg_frame_rate.den && st->avg_frame_rate.num)
            line += RateText("fps", av_q2d(st->avg_frame_rate));
        if (st->r_frame_rate.den && st->r_frame_rate.num)
            line += RateText("tbr", av_q2d(st->r_frame_rate));
        if (st->time_base.den && st->time_base.num)
            line += RateText("tbn", 1 / av_q2d(st->time_base));
        if (codecTimeBase.den && codecTimeBase.num)
            line += RateText("tbc", 1 / av_q2d(codecTimeBase));
    }
    if (st->start_time != AV_NOPTS_VALUE)
        line += ", StartTime: " + SecondsText(ff::av_rescale_q(st->start_time, st->time_base, AV_TIME_BASE_Q));
    if (st->duration == AV_NOPTS_VALUE)
        line += ", Duration: N/A";
    else
        line += ", Duration: " + DurationText(ff::av_rescale_q(st->duration, st->time_base, AV_TIME_BASE_Q));
    text += line + "\n";
    MetadataLines(text, st->metadata, "  ");
}
} // namespace

void TFFDecoder::Attach(AVFormatContext* ic) {
    *this = TFFDecoder();
    ic_ = ic;
    if (!ic)
        return;
    // A context without I/O of its own (the frame input) has a container size of 0.
    fileSize_ = ic->pb ? ff::avio_size(ic->pb) : 0;
    if (fileSize_ <= 0 && ic->url) {
        std::error_code ec;
        std::filesystem::path file(ic->url);
        if (std::filesystem::exists(file, ec)) {
            auto size = std::filesystem::file_size(file, ec);
            fileSize_ = ec ? -1 : int64_t(size);
        }
    }
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        switch (ic->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (videoCount_++ == 0)
                firstVideo_ = int(i);
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (audioCount_++ == 0)
                firstAudio_ = int(i);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (subtitleCount_++ == 0)
                firstSubtitle_ = int(i);
            break;
        default: break;
        }
    }
}

void TFFDecoder::Detach() { *this = TFFDecoder(); }

bool TFFDecoder::RequireLoaded() {
    if (ic_)
        return true;
    lastErrMsg_ = "file not loaded.";
    GetFFLogger().Log(this, llWarning, lastErrMsg_);
    return false;
}

bool TFFDecoder::GetFileInfo(TAVFileInfo& info) {
    info = TAVFileInfo();
    if (!RequireLoaded())
        return false;
    info.StartTime = ic_->start_time == AV_NOPTS_VALUE ? -1 : ic_->start_time;
    info.Duration = ic_->duration == AV_NOPTS_VALUE ? -1 : ic_->duration;
    info.BitRate = int(ic_->bit_rate);
    std::string created = MetaValue(ic_->metadata, "creation_time");
    info.TimeStamp = -1;
    if (!created.empty()) {
        int64_t t = 0;
        if (ff::av_parse_time && ff::av_parse_time(&t, created.c_str(), 0) == 0)
            info.TimeStamp = t / 1000000;
    }
    info.FileSize = fileSize_;
    info.Title = MetaValue(ic_->metadata, "title");
    info.Author = MetaValue(ic_->metadata, "author");
    if (info.Author.empty())
        info.Author = MetaValue(ic_->metadata, "artist");
    info.Copyright = MetaValue(ic_->metadata, "copyright");
    info.Comment = MetaValue(ic_->metadata, "comment");
    info.Album = MetaValue(ic_->metadata, "album");
    info.Genre = MetaValue(ic_->metadata, "genre");
    return true;
}

std::string FileInfoText(TFFDecoder& decoder) {
    TAVFileInfo info;
    if (!decoder.GetFileInfo(info))
        return {};
    const AVFormatContext* ic = decoder.Context();
    std::string text;
    text += "File Name: " + WideToUtf8(URLToFileName(ic->url ? ic->url : "")) + "\n";
    if (ic->iformat) {
        text += Format("Format Name: %s\n", ic->iformat->name ? ic->iformat->name : "");
        if (ic->iformat->long_name && *ic->iformat->long_name)
            text += Format("Format Long Name: %s\n", ic->iformat->long_name);
    }
    text += "File Size: " + SizeText(info.FileSize) + "\n";
    if (info.Duration < 0)
        text += "Duration: N/A\n";
    else
        text += "Duration: " + DurationText(info.Duration) + "\n";
    if (info.StartTime >= 0)
        text += "StartTime: " + SecondsText(info.StartTime) + "\n";
    if (info.BitRate < 1)
        text += "Bit Rate: N/A\n";
    else
        text += Format("Bit Rate: %d kb/s\n", info.BitRate / 1000);
    if (info.TimeStamp > 0)
        text += "Time Stamp: " + DateTimeText(UnixToLocalDateTime(info.TimeStamp)) + "\n";
    MetadataLines(text, ic->metadata, "");
    for (unsigned i = 0; i < ic->nb_chapters; ++i) {
        const AVChapter* ch = ic->chapters[i];
        text += Format("Chapter #%u: start %.2f, end %.2f\n", i, double(ch->start) * av_q2d(ch->time_base),
                       double(ch->end) * av_q2d(ch->time_base));
        MetadataLines(text, ch->metadata, "  ");
    }
    const std::vector<AVRational> codecTimeBases = DecoderTimeBases(ic);
    std::vector<bool> shown(ic->nb_streams, false);
    for (unsigned p = 0; p < ic->nb_programs; ++p) {
        const AVProgram* prog = ic->programs[p];
        auto orNA = [](const std::string& v) { return v.empty() ? std::string("N/A") : v; };
        // Today's demuxers tag programs "service_provider" and "service_name"; the older names
        // still count where a file has them.
        auto tag = [&](const char* name, const char* older) {
            std::string v = MetaValue(prog->metadata, name);
            return orNA(v.empty() ? MetaValue(prog->metadata, older) : v);
        };
        text += Format("Program %d %s@%s\n", prog->id, tag("service_provider", "provider_name").c_str(),
                       tag("service_name", "name").c_str());
        MetadataLines(text, prog->metadata, "  ");
        for (unsigned k = 0; k < prog->nb_stream_indexes; ++k) {
            unsigned s = prog->stream_index[k];
            if (s < ic->nb_streams) {
                StreamInfoLine(text, ic, s, codecTimeBases[s]);
                shown[s] = true;
            }
        }
    }
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        if (!shown[i])
            StreamInfoLine(text, ic, i, codecTimeBases[i]);
    return text;
}
