// pixaroll-cli frames: runs the slideshow frame sequencer to its end without encoding, writing
// every K-th frame as a picture file; prints the frame count and the effect numbers used.

#include "app/DocumentSequencer.h"
#include "app/FrameSizeLimits.h"
#include "app/SlideshowSequencer.h"
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

namespace {
struct TFramesOptions {
    int Width = 320, Height = 240;
    std::string Rate = "30:1";
    std::string Hold = "5", Transition = "2";
    bool Random = true;
    std::optional<std::uint32_t> Seed;
    TMotionStyle Motion = TMotionStyle::Off;
    double Zoom = DefaultMotionZoom;
    int Every = 1;
    std::string OutDir;
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
            o.Rate = std::to_string(num) + ":" + std::to_string(den);
        } else if (opt == "--hold" || opt == "--transition") {
            const std::string value = a.Value(opt);
            if (ParseDouble(value, opt) < 0)
                throw TUsageError(opt + " must not be negative");
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
    auto slideshow = std::make_shared<const TSlideshowData>(source.Compose(ToOutput(o, source.BaseOutput())));
    const int count = static_cast<int>(slideshow->Slides.size());
    if (count == 0)
        throw TUsageError(source.HasProject() ? "the project has no slides" : "--pictures needs at least one file");
    if (source.HasProject())
        RequireFiles(*slideshow, false);
    if (o.Every > 0)
        std::filesystem::create_directories(o.OutDir);

    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, slideshow);

    std::vector<int> effects;
    long long frames = 0;
    for (;;) {
        const bool transitionStarts = seq.InTransition && seq.TransitionCounter == 0 && seq.PictureIndex < count;
        const TFrameBitmap* frame = seq.NextFrame();
        if (!frame)
            break;
        if (transitionStarts)
            effects.push_back(seq.TransitionEffect); // chosen by the frame that starts the transition
        if (o.Every > 0 && frames % o.Every == 0)
            SaveFrameImage(*frame, FrameFileName(o.OutDir, frames));
        ++frames;
    }
    std::cout << "frames " << frames << "\n";
    std::cout << "effects";
    for (int e : effects)
        std::cout << " " << e;
    std::cout << "\n";
    return 0;
}
