// Disc targets ("target"): the container, codecs, sizes, rates and buffer sizes of VCD, SVCD,
// DVD and DV, for PAL, NTSC or film.

#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"

#include <cmath>

namespace {
enum TNorm { nmUnknown, nmPal, nmNtsc, nmFilm };

// A frame rate that names a norm: 25 is PAL, 29.97 and 23.976 are NTSC.
TNorm NormOfRate(AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0)
        return nmUnknown;
    long r = std::lround(av_q2d(rate) * 1000);
    return r == 25000 ? nmPal : (r == 29970 || r == 23976) ? nmNtsc : nmUnknown;
}
} // namespace

void TCustomFFmpeg::ApplyTarget(const std::string& value, bool fallbackPal) {
    TJobSettings& s = settings_;
    TNorm norm = nmUnknown;
    std::string type = value;
    for (const auto& [prefix, n] : {std::pair{"pal-", nmPal}, {"ntsc-", nmNtsc}, {"film-", nmFilm}})
        if (value.rfind(prefix, 0) == 0) {
            norm = n;
            type = value.substr(std::string(prefix).size());
        }
    if (type != "vcd" && type != "svcd" && type != "dvd" && type != "dv" && type != "dv50")
        throw FFmpegException("Unknown target type");
    if (norm == nmUnknown) {
        if (s.FrameRate.den == 0)
            throw FFmpegException("frame_rate is invalid.");
        norm = NormOfRate(s.FrameRate);
        for (std::size_t i = 0; norm == nmUnknown && i < inputs_.size(); ++i) {
            AVFormatContext* ic = inputs_[i]->Context();
            for (unsigned k = 0; norm == nmUnknown && k < ic->nb_streams; ++k)
                if (ic->streams[k]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
                    norm = NormOfRate(ic->streams[k]->r_frame_rate);
        }
        if (norm == nmUnknown)
            norm = fallbackPal ? nmPal : nmNtsc;
        if (s.Verbose > 0)
            EngineLog(llVerbose, Fmt("Assuming %s for target.", norm == nmPal ? "PAL" : "NTSC"));
    }
    const bool pal = norm == nmPal;
    const char* rate = pal ? "25" : norm == nmNtsc ? "30000/1001" : "24000/1001";
    auto aspect = [&](const char* text) {
        if (s.FrameAspectRatio == 0) {
            EngineLog(llInfo, Fmt("Assuming %s for aspect ratio", text));
            ApplyOption("aspect", text);
        }
    };
    if (type == "vcd") {
        for (const auto& [name, v] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"f", "vcd"}, {"vcodec", "mpeg1video"}, {"acodec", "mp2"}, {"r", rate},
                 {"s", pal ? "352x288" : "352x240"}, {"g", pal ? "15" : "18"}, {"b", "1150000"},
                 {"maxrate", "1150000"}, {"minrate", "1150000"}, {"bufsize", "327680"}, {"ab", "224000"},
                 {"ar", "44100"}, {"ac", "2"}, {"packetsize", "2324"}, {"muxrate", "1411200"},
                 {"muxpreload", "0.44"}})
            ApplyOption(name, v);
        aspect("4:3");
    } else if (type == "svcd") {
        for (const auto& [name, v] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"f", "svcd"}, {"vcodec", "mpeg2video"}, {"acodec", "mp2"}, {"r", rate},
                 {"s", pal ? "480x576" : "480x480"}, {"g", pal ? "15" : "18"}, {"b", "2040000"},
                 {"maxrate", "2516000"}, {"minrate", "0"}, {"bufsize", "1835008"}, {"scan_offset", "1"},
                 {"ab", "224000"}, {"ar", "44100"}, {"packetsize", "2324"}})
            ApplyOption(name, v);
        if (s.AudioChannels == 1)
            s.AudioChannels = 2;
        aspect("4:3");
    } else if (type == "dvd") {
        for (const auto& [name, v] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"f", "dvd"}, {"vcodec", "mpeg2video"}, {"acodec", "ac3"}, {"r", rate},
                 {"s", pal ? "720x576" : "720x480"}, {"g", pal ? "15" : "18"}, {"b", "6000000"},
                 {"maxrate", "9000000"}, {"minrate", "0"}, {"bufsize", "1835008"}, {"packetsize", "2048"},
                 {"muxrate", "10080000"}, {"ab", "448000"}, {"ar", "48000"}})
            ApplyOption(name, v);
        if (s.AudioChannels == 1)
            s.AudioChannels = 2;
        aspect("16:9");
    } else {
        ApplyOption("f", "dv");
        ApplyOption("r", rate);
        ApplyOption("s", pal ? "720x576" : "720x480");
        ApplyOption("pix_fmt", type == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
        ApplyOption("ar", "48000");
        ApplyOption("ac", "2");
    }
}
