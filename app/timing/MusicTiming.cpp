#include "app/timing/MusicTiming.h"

#include "app/timing/SlideHolds.h"
#include "app/output/FrameCount.h"
#include "app/show/SlideshowData.h"
#include "app/clips/ClipSlides.h"
#include "app/timing/BeatTracker.h"
#include "app/timing/MusicReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {
// Beats move transitions by changing holds, but a clip plays for its own length: each clip's
// hold goes back to that length and what the beat took from it or gave it goes to the next slide
// that is no clip (the previous one at the end), so the transitions after it stay on their beats.
void KeepClipLengths(const TSlideshowData& data, const std::vector<int>& own, std::vector<int>& holds) {
    const int n = int(holds.size());
    auto plain = [&](int j) { return j >= 0 && j < n && !IsClipSlide(data.Slides[std::size_t(j)]); };
    for (int k = 0; k < n; ++k) {
        if (plain(k) || holds[std::size_t(k)] == own[std::size_t(k)])
            continue;
        const int delta = holds[std::size_t(k)] - own[std::size_t(k)];
        holds[std::size_t(k)] = own[std::size_t(k)];
        int j = k + 1;
        while (j < n && !plain(j))
            ++j;
        if (j >= n || holds[std::size_t(j)] + delta < 1)
            for (j = k - 1; j >= 0 && !plain(j); --j) {
            }
        if (j >= 0 && j < n && holds[std::size_t(j)] + delta >= 1)
            holds[std::size_t(j)] += delta;
    }
}
constexpr int BeatSampleRate = 44100;

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

void RequireReadable(const std::vector<std::string>& files) {
    if (files.empty())
        throw TMusicError("Fitting the slideshow to the music and transitions on the beat need a soundtrack");
    for (const std::string& file : files) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec))
            throw TMusicError("Cannot read the soundtrack " + file + ": " +
                              (std::filesystem::exists(file, ec) ? "it is no file" : "the file does not exist"));
    }
}
} // namespace

bool UsesMusicTiming(const TSlideshowSettings& output) { return output.FitToMusic || output.Beats; }

std::vector<std::string> MusicFiles(const TSlideshowData& data) {
    std::vector<std::string> files;
    for (const TSoundtrack& s : data.Soundtracks)
        if (!s.File.empty())
            files.push_back(s.File);
    if (files.empty() && !data.Output.Audio.empty())
        files.push_back(data.Output.Audio);
    return files;
}

std::vector<long long> BeatFrames(const std::vector<double>& beatSeconds, int num, int den) {
    std::vector<long long> frames;
    for (double t : beatSeconds) {
        const long long f = std::llround(t * num / den);
        if (f >= 0 && (frames.empty() || f > frames.back()))
            frames.push_back(f);
    }
    return frames;
}

TMusicTiming PlanMusicTiming(const TSlideshowData& data) {
    const TSlideshowSettings& out = data.Output;
    const std::vector<std::string> files = MusicFiles(data);
    RequireReadable(files);
    EnsureMusicLibraries();

    TMusicTiming timing;
    const int n = int(data.Slides.size());
    const int transition = FrameCount(out.FrameRate, out.TransitionSeconds);
    const int num = out.FrameRate.Num > 0 && out.FrameRate.Den > 0 ? out.FrameRate.Num : 30;
    const int den = out.FrameRate.Num > 0 && out.FrameRate.Den > 0 ? out.FrameRate.Den : 1;
    std::vector<int> holds, own;
    for (int k = 0; k < n; ++k) {
        holds.push_back(SlideHoldFrames(data, k));
        // A clip is held for as long as it plays: its hold is its own, like a slide's own seconds.
        const TSlide& slide = data.Slides[std::size_t(k)];
        own.push_back(slide.HoldSeconds || IsClipSlide(slide) ? holds.back() : 0);
    }

    std::vector<double> lengths;
    for (const std::string& file : files)
        lengths.push_back(MusicSeconds(file));
    double music = 0;
    for (double l : lengths)
        music += l;

    if (out.FitToMusic) {
        const long long total = std::llround(music * num / den);
        if (std::count(own.begin(), own.end(), 0) == 0) {
            timing.Log.push_back("Fit to music: every slide has its own hold; the slideshow keeps its length");
        } else if (!FitHolds(own, transition, total, holds)) {
            std::string songs;
            for (const std::string& file : files)
                songs += (songs.empty() ? "" : ", ") + file;
            throw TMusicError("The music (" + Seconds(music) + ": " + songs + ") is too short for " + std::to_string(n + 1) +
                              " transitions of " + Seconds(double(transition) * den / num) +
                              " and the slides' own holds: every picture needs at least one frame");
        } else {
            int shortest = 0, longest = 0;
            for (int k = 0; k < n; ++k)
                if (own[std::size_t(k)] == 0) {
                    const int h = holds[std::size_t(k)];
                    shortest = shortest == 0 ? h : std::min(shortest, h);
                    longest = std::max(longest, h);
                }
            timing.Log.push_back("Fit to music: " + Seconds(music) + " of music, " + std::to_string(total) +
                                 " frames; holds of " + std::to_string(shortest) +
                                 (longest != shortest ? " to " + std::to_string(longest) : std::string()) + " frames");
        }
    }

    if (out.Beats) {
        std::vector<double> beats;
        std::vector<double> found;
        std::string tempi; // each song's tempo
        double offset = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            TBeatTracker tracker(BeatSampleRate);
            DecodeMusic(files[i], BeatSampleRate, [&](const float* s, int count) { tracker.Feed(s, count); });
            TBeats song = tracker.Result();
            if (song.Bpm > 0) {
                char tempo[32];
                std::snprintf(tempo, sizeof tempo, "%s%.1f", tempi.empty() ? "" : ", ", song.Bpm);
                tempi += tempo;
            }
            for (double t : song.Times)
                found.push_back(offset + t);
            for (double t : CompletedBeats(song, lengths[i]))
                beats.push_back(offset + t);
            offset += lengths[i];
        }
        if (tempi.empty()) {
            timing.Log.push_back("Beats: no beat found in the music; the transitions stay where they are");
        } else {
            const TBeatSnap snap = SnapToBeats(holds, transition, BeatFrames(beats, num, den), out.FitToMusic,
                                               BeatFrames(found, num, den));
            holds = snap.HoldFrames;
            KeepClipLengths(data, own, holds);
            timing.Log.push_back("Beats: tempo " + tempi + " bpm, " + std::to_string(found.size()) +
                                 " beats; " + std::to_string(snap.Moved) + " of " + std::to_string(n) +
                                 " transitions moved, " + std::to_string(snap.OnBeat) + " start on " +
                                 (snap.OnBars ? "the first beat of a bar" : "a beat"));
        }
    }
    timing.Plan.HoldFrames = holds;
    return timing;
}
