#include "app/soundtrack/SoundtrackBuilder.h"

#include "app/soundtrack/AudioDecode.h"
#include "app/soundtrack/AudioFilter.h"
#include "app/soundtrack/SoundtrackMix.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {
// Peaks above this after the loudness gain go through a limiter instead of clipping.
constexpr float LimiterCeiling = 0.97f;
// Loudness below this is silence to the measurement (its gate): nothing to bring up.
constexpr double SilentLoudness = -69;

long long FramesOf(double seconds, int rate) { return std::llround(std::max(0.0, seconds) * rate); }

std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}
} // namespace

bool WriteFloatWav(const std::string& file, const std::vector<float>& samples, int rate, int channels,
                   std::string& error) {
    const std::uint64_t dataBytes = std::uint64_t(samples.size()) * sizeof(float);
    if (dataBytes > 0xFFFFFFFFull - 64) {
        error = "the soundtrack is too long for one WAV file (" + file + ")";
        return false;
    }
    std::string header = "RIFF";
    PutLE(header, std::uint32_t(dataBytes + 50 - 8 + 8), 4);
    header += "WAVEfmt ";
    PutLE(header, 18, 4);               // fmt chunk size
    PutLE(header, 3, 2);                // IEEE float
    PutLE(header, std::uint32_t(channels), 2);
    PutLE(header, std::uint32_t(rate), 4);
    PutLE(header, std::uint32_t(rate * channels * 4), 4);
    PutLE(header, std::uint32_t(channels * 4), 2);
    PutLE(header, 32, 2);
    PutLE(header, 0, 2);                // no extension
    header += "fact";
    PutLE(header, 4, 4);
    PutLE(header, std::uint32_t(samples.size() / std::size_t(channels)), 4);
    header += "data";
    PutLE(header, std::uint32_t(dataBytes), 4);
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    // WAV is little-endian, like the machines this runs on.
    ok = ok && std::fwrite(samples.data(), sizeof(float), samples.size(), f) == samples.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        std::remove(file.c_str());
    }
    return ok;
}

TSoundtrackShape SoundtrackShape(const TSoundtrackPlan& plan, double musicSeconds) {
    TSoundtrackShape shape;
    shape.Music = musicSeconds;
    const double video = std::max(0.0, plan.VideoSeconds);
    if (plan.Loop || plan.EndWithVideo)
        shape.Length = plan.Loop ? video : std::min(video, musicSeconds);
    else if (plan.FadeOutSeconds != 0)
        shape.Length = std::min(video, musicSeconds);
    else
        shape.Length = musicSeconds;
    if (!plan.Loop && !plan.EndWithVideo && plan.FadeOutSeconds == 0)
        for (const TAudioOverlay& o : plan.Overlays)
            shape.Length = std::max(shape.Length, o.At + o.Duration);
    if (plan.FadeOutSeconds == FadeOutAuto)
        shape.FadeOut = std::max(1.0, plan.LastTransitionSeconds);
    else if (plan.FadeOutSeconds > 0)
        shape.FadeOut = plan.FadeOutSeconds;
    shape.FadeOut = std::min(shape.FadeOut, shape.Length);
    return shape;
}

TBuiltSoundtrack::~TBuiltSoundtrack() { Remove(); }

void TBuiltSoundtrack::Remove() {
    if (!path_.empty())
        std::remove(path_.c_str());
    path_.clear();
}

bool TBuiltSoundtrack::Build(const TSoundtrackPlan& plan, std::string& error) {
    Remove();
    measured_.reset();
    if (plan.Songs.empty() && plan.Overlays.empty()) {
        error = "no soundtrack to build";
        return false;
    }
    // Every song first: a bad one is named before anything is written.
    int rate = plan.Rate;
    const int channels = std::clamp(plan.Channels, 1, 2);
    std::vector<float> mix;
    // When the soundtrack ends with the pictures at the latest, nothing beyond them is decoded
    // (or held in memory).
    const bool endsWithPictures = plan.Loop || plan.EndWithVideo || plan.FadeOutSeconds != 0;
    for (const std::string& song : plan.Songs) {
        TDecodeRequest request;
        request.File = song;
        request.Rate = rate;
        request.Channels = channels;
        request.Cancelled = plan.Cancelled;
        if (endsWithPictures && rate > 0) {
            request.Duration = std::max(0.0, plan.VideoSeconds - double(mix.size() / std::size_t(channels)) / rate);
            if (request.Duration <= 0)
                request.Duration = 1.0 / rate;
            // Checked whole all the same: a bad song is named whatever ends the soundtrack.
            request.CheckWhole = true;
        }
        TDecodedAudio decoded;
        if (!DecodeAudio(request, decoded, error))
            return false;
        rate = decoded.Rate; // "as source": the first song's rate for all that follow
        AppendSong(mix, decoded.Samples);
    }
    if (rate <= 0)
        rate = 44100;
    const double musicSeconds = double(mix.size() / std::size_t(channels)) / rate;
    shape_ = SoundtrackShape(plan, musicSeconds);
    const long long length = FramesOf(shape_.Length, rate);

    // A loop ends inside a pass: that end is a cut like the one of a song longer than the pictures.
    const bool cut = plan.Loop || length < (long long)(mix.size() / std::size_t(channels));
    if (plan.Loop)
        LoopToLength(mix, channels, length, FramesOf(LoopCrossfadeSeconds, rate));
    SetLength(mix, channels, length);

    std::vector<TDuckSpan> spans;
    std::vector<std::vector<float>> overlays;
    for (const TAudioOverlay& o : plan.Overlays) {
        TDecodeRequest request;
        request.File = o.File;
        request.Rate = rate;
        request.Channels = channels;
        request.Start = o.SourceStart;
        request.Duration = o.Duration;
        request.Cancelled = plan.Cancelled;
        TDecodedAudio decoded;
        if (!DecodeAudio(request, decoded, error))
            return false;
        overlays.push_back(std::move(decoded.Samples));
        const double gain = o.MusicSilent ? 0.0 : o.DuckMusic ? DuckGain : 1.0;
        spans.push_back({FramesOf(o.At, rate), (long long)(overlays.back().size()) / channels, gain});
    }
    if (!spans.empty()) {
        const std::vector<float> gain = DuckEnvelope(length, spans, FramesOf(DuckRampSeconds, rate));
        for (long long i = 0; i < length; ++i)
            for (int c = 0; c < channels; ++c)
                mix[std::size_t(i) * channels + std::size_t(c)] *= gain[std::size_t(i)];
        for (std::size_t k = 0; k < overlays.size(); ++k)
            MixOver(mix, channels, overlays[k], spans[k].At, FramesOf(OverlayEdgeSeconds, rate));
        SetLength(mix, channels, length);
    }

    if (plan.Loudness && length > 0) {
        double lufs = 0;
        if (!MeasureLoudness(mix, rate, channels, lufs, error))
            return false;
        measured_ = lufs;
        if (lufs > SilentLoudness) {
            const float gain = float(std::pow(10.0, (*plan.Loudness - lufs) / 20));
            for (float& s : mix)
                s *= gain;
            if (Peak(mix) > LimiterCeiling) {
                // Brought up this far the peaks would clip: the library's limiter holds them.
                char description[96];
                std::snprintf(description, sizeof description, "alimiter=limit=%.3f:level=0:attack=5:release=50",
                              double(LimiterCeiling));
                if (!FilterAudio(mix, rate, channels, description, error))
                    return false;
                SetLength(mix, channels, length);
            }
        }
    }

    // The fades last, so that neither the loudness gain nor an overlay undoes them.
    long long fadeOut = FramesOf(shape_.FadeOut, rate);
    if (cut && fadeOut == 0)
        fadeOut = FramesOf(CutRampSeconds, rate);
    ApplyFades(mix, channels, FramesOf(plan.FadeInSeconds, rate), fadeOut);

    if (plan.Cancelled && plan.Cancelled()) {
        error = "stopped";
        return false;
    }
    std::string path = TemporaryFolder() + "/pixaroll-soundtrack-XXXXXX.wav";
    const int fd = mkstemps(path.data(), 4);
    if (fd < 0) {
        error = "cannot make a soundtrack file in " + TemporaryFolder() + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    if (!WriteFloatWav(path, mix, rate, channels, error)) {
        std::remove(path.c_str());
        return false;
    }
    path_ = path;
    return true;
}
