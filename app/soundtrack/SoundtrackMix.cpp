#include "app/soundtrack/SoundtrackMix.h"

#include <algorithm>
#include <cmath>

void AppendSong(std::vector<float>& mix, const std::vector<float>& song) {
    mix.insert(mix.end(), song.begin(), song.end());
}

void SetLength(std::vector<float>& music, int channels, long long frames) {
    music.resize(std::size_t(std::max(0LL, frames)) * std::size_t(channels), 0.0f);
}

void LoopToLength(std::vector<float>& music, int channels, long long frames, long long crossfadeFrames) {
    const long long songFrames = (long long)(music.size()) / channels;
    if (songFrames <= 0 || songFrames >= frames) {
        SetLength(music, channels, frames);
        return;
    }
    // At most half the song: a pass must keep some of itself between two seams.
    const long long fade = std::clamp(crossfadeFrames, 0LL, songFrames / 2);
    const std::vector<float> song = music;
    music.reserve(std::size_t(frames) * std::size_t(channels));
    while ((long long)(music.size()) / channels < frames) {
        // The new pass starts fade frames before the end of what is there. Linear gains that sum
        // to one: the step between neighbouring samples stays within the larger of the two
        // signals' own steps (plus the fade's slope, a fraction of a step), which equal-power
        // gains would not keep.
        const std::size_t seam = music.size() - std::size_t(fade) * std::size_t(channels);
        for (long long i = 0; i < fade; ++i) {
            const double w = (double(i) + 0.5) / double(fade);
            const float in = float(w), out = 1.0f - in;
            for (int c = 0; c < channels; ++c) {
                float& s = music[seam + std::size_t(i) * channels + std::size_t(c)];
                s = s * out + song[std::size_t(i) * channels + std::size_t(c)] * in;
            }
        }
        music.insert(music.end(), song.begin() + std::ptrdiff_t(fade) * channels, song.end());
    }
    SetLength(music, channels, frames);
}

void ApplyFades(std::vector<float>& music, int channels, long long fadeInFrames, long long fadeOutFrames) {
    const long long frames = (long long)(music.size()) / channels;
    fadeInFrames = std::min(fadeInFrames, frames);
    for (long long i = 0; i < fadeInFrames; ++i) {
        const double u = double(i) / double(fadeInFrames);
        const float g = float(u * u);
        for (int c = 0; c < channels; ++c)
            music[std::size_t(i) * channels + std::size_t(c)] *= g;
    }
    fadeOutFrames = std::min(fadeOutFrames, frames);
    if (fadeOutFrames <= 0)
        return;
    // A cubic fall: steep at first, gentle as it nears silence, no corner where it arrives.
    const double falling = 0.9 * double(fadeOutFrames);
    for (long long i = 0; i < fadeOutFrames; ++i) {
        const double v = std::max(0.0, 1.0 - double(i) / falling);
        const float g = float(v * v * v);
        const std::size_t at = std::size_t(frames - fadeOutFrames + i) * channels;
        for (int c = 0; c < channels; ++c)
            music[at + std::size_t(c)] *= g;
    }
}

std::vector<float> DuckEnvelope(long long frames, const std::vector<TDuckSpan>& spans, long long rampFrames) {
    std::vector<float> gain(std::size_t(std::max(0LL, frames)), 1.0f);
    const double ramp = double(std::max(1LL, rampFrames));
    for (const TDuckSpan& span : spans) {
        const long long from = std::max(0LL, span.At - rampFrames);
        const long long to = std::min(frames, span.At + span.Frames + rampFrames);
        for (long long i = from; i < to; ++i) {
            double depth = 1; // 1 fully ducked, 0 not at all
            if (i < span.At)
                depth = 1 - double(span.At - i) / ramp;
            else if (i >= span.At + span.Frames)
                depth = 1 - double(i - (span.At + span.Frames) + 1) / ramp;
            // A raised-cosine ramp: no corner at either end.
            const double smooth = 0.5 - 0.5 * std::cos(std::clamp(depth, 0.0, 1.0) * M_PI);
            const float g = float(1 - smooth * (1 - span.Gain));
            gain[std::size_t(i)] = std::min(gain[std::size_t(i)], g);
        }
    }
    return gain;
}

void MixOver(std::vector<float>& mix, int channels, const std::vector<float>& overlay, long long at,
             long long edgeFrames) {
    const long long frames = (long long)(overlay.size()) / channels;
    if (frames <= 0 || at < 0)
        return;
    if ((long long)(mix.size()) / channels < at + frames)
        SetLength(mix, channels, at + frames);
    const long long edge = std::min(edgeFrames, frames / 2);
    for (long long i = 0; i < frames; ++i) {
        float g = 1;
        if (edge > 0 && i < edge)
            g = float(double(i) / edge);
        else if (edge > 0 && i >= frames - edge)
            g = float(double(frames - 1 - i) / edge);
        for (int c = 0; c < channels; ++c)
            mix[std::size_t(at + i) * channels + std::size_t(c)] += g * overlay[std::size_t(i) * channels + std::size_t(c)];
    }
}

float Peak(const std::vector<float>& samples) {
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::abs(s));
    return peak;
}
