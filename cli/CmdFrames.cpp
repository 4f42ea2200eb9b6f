// pixaroll-cli frames: runs the slideshow frame sequencer to its end without encoding, writing
// every K-th frame as a picture file; prints the frame count and the effect numbers used.

#include "app/document/DocumentSequencer.h"
#include "app/output/FrameSizeLimits.h"
#include "app/SlideshowSequencer.h"
#include "app/timing/MusicTiming.h"
#include "app/clips/ClipSlides.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ImageFiles.h"
#include "cli/MotionOption.h"
#include "cli/SlideSource.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {
struct TFramesOptions {
    int Width = 320, Height = 240;
    TFrameRate Rate{30, 1};
    double Hold = 5, Transition = 2;
    bool Random = true;
    std::optional<std::uint32_t> Seed;
    TMotionStyle Motion = TMotionStyle::Off;
    double Zoom = DefaultMotionZoom;
    int Every = 1;
    std::string OutDir;
    std::vector<std::string> Audio; // the soundtracks the holds follow
    bool FitToMusic = false, Beats = false;
};

// The options start from the project's output choices (or the defaults).
TFramesOptions FromOutput(const TSlideshowSettings& out) {
    TFramesOptions o;
    const TFrameSize size = SlideshowFrameSize(out.FrameSize);
    o.Width = size.Width;
    o.Height = size.Height;
    o.Rate = out.FrameRate;
    o.Hold = out.HoldSeconds;
    o.Transition = out.TransitionSeconds;
    o.Random = out.RandomEffects;
    o.Seed = out.Seed;
    o.FitToMusic = out.FitToMusic;
    o.Beats = out.Beats;
    o.Motion = out.Motion;
    o.Zoom = out.Zoom;
    return o;
}

TSlideshowSettings ToOutput(const TFramesOptions& o, TSlideshowSettings out) {
    out.FrameSize = std::to_string(o.Width) + "x" + std::to_string(o.Height);
    out.FrameRate = o.Rate;
    out.HoldSeconds = o.Hold;
    out.TransitionSeconds = o.Transition;
    out.RandomEffects = o.Random;
    out.Seed = o.Seed;
    out.FitToMusic = o.FitToMusic;
    out.Beats = o.Beats;
    out.Motion = o.Motion;
    out.Zoom = o.Zoom;
    return out;
}

TFramesOptions ReadOptions(const TCommandArgs& args, TSlideSource& source) {
    TFramesOptions o = FromOutput(source.BaseOutput());
    TArgs a(args);
    while (!a.AtEnd()) {
        const std::string opt = a.Next();
        if (source.Read(a, opt)) {
            continue;
        } else if (opt == "--size") {
            ParseSize(a.Value(opt), o.Width, o.Height);
        } else if (opt == "--rate") {
            int num = 0, den = 0;
            ParseRate(a.Value(opt), num, den);
            o.Rate = {num, den};
        } else if (opt == "--hold" || opt == "--transition") {
            const double value = ParseDouble(a.Value(opt), opt);
            if (value < 0)
                throw TUsageError(opt + " must not be negative");
            if (value > LongestHoldSeconds)
                throw TUsageError(opt + " takes at most " + SecondsText(LongestHoldSeconds) + " seconds (a day)");
            (opt == "--hold" ? o.Hold : o.Transition) = value;
        } else if (opt == "--sequential") {
            o.Random = false;
        } else if (opt == "--random") {
            o.Random = true;
        } else if (opt == "--seed") {
            o.Seed = ParseSeed(a.Value(opt), opt);
            o.Random = true;
        } else if (ReadMotionOption(a, opt, o.Motion, o.Zoom)) {
        } else if (opt == "--every") {
            o.Every = ParseInt(a.Value(opt), opt);
            if (o.Every < 0)
                throw TUsageError("--every must not be negative");
        } else if (opt == "--audio") {
            o.Audio = a.List();
            if (o.Audio.empty())
                throw TUsageError("--audio needs at least one file");
        } else if (opt == "--fit-to-music") {
            o.FitToMusic = true;
        } else if (opt == "--beats") {
            o.Beats = true;
        } else if (opt == "-o") {
            o.OutDir = a.Value(opt);
        } else {
            throw TUsageError("unknown option " + opt);
        }
    }
    if (o.Every > 0 && o.OutDir.empty())
        throw TUsageError("-o DIR is needed to write frames (or --every 0)");
    return o;
}

std::string FrameFileName(const std::string& dir, long long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", index);
    return (std::filesystem::path(dir) / name).string();
}
} // namespace

int CmdFrames(const TCommandArgs& args) {
    TSlideSource source(args);
    const TFramesOptions o = ReadOptions(args, source);
    TSlideshowData composed = source.Compose(ToOutput(o, source.BaseOutput()));
    if (!o.Audio.empty()) {
        composed.Soundtracks.clear();
        for (const std::string& file : o.Audio)
            composed.Soundtracks.push_back(TSoundtrack{file});
    }
    auto slideshow = std::make_shared<const TSlideshowData>(std::move(composed));
    const int count = static_cast<int>(slideshow->Slides.size());
    if (count == 0)
        throw TUsageError(source.HasProject() ? "the project has no slides" : "--pictures needs at least one file");
    if (source.HasProject())
        RequireFiles(*slideshow, false);
    // A clip that cannot be played is named before any frame is written.
    if (std::string why = ClipProblems(*slideshow); !why.empty())
        throw std::runtime_error(why);
    if (o.Every > 0)
        std::filesystem::create_directories(o.OutDir);

    std::shared_ptr<const TSlideTiming> timing;
    if (UsesMusicTiming(slideshow->Output)) {
        TMusicTiming planned = PlanMusicTiming(*slideshow);
        for (const std::string& line : planned.Log)
            std::cerr << "pixaroll-cli frames: " << line << "\n";
        timing = std::make_shared<const TSlideTiming>(std::move(planned.Plan));
    }
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, slideshow, timing);

    std::vector<int> effects;
    std::vector<long long> starts; // the first frame of each transition after the fade-in
    long long frames = 0;
    for (;;) {
        const bool transitionStarts = seq.InTransition && seq.TransitionCounter == 0 && seq.PictureIndex < count;
        const TFrameBitmap* frame = seq.NextFrame();
        if (!frame)
            break;
        if (transitionStarts) {
            effects.push_back(seq.TransitionEffect); // chosen by the frame that starts the transition
            if (frames > 0)
                starts.push_back(frames);
        }
        if (o.Every > 0 && frames % o.Every == 0)
            SaveFrameImage(*frame, FrameFileName(o.OutDir, frames));
        ++frames;
    }
    std::cout << "frames " << frames << "\n";
    std::cout << "effects";
    for (int e : effects)
        std::cout << " " << e;
    std::cout << "\n";
    if (timing) {
        std::cout << "transitions";
        for (long long f : starts)
            std::cout << " " << f;
        std::cout << "\n";
    }
    return 0;
}
