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
#include "cli/RenderOptions.h"
#include "cli/Usage.h"
#include "cli/SlideSource.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {
struct TFramesOptions {
    TSlideshowSettings Output; // every choice that changes the frames, read as render reads it
    int Every = 1;
    std::string OutDir;
};

TFramesOptions ReadOptions(const TCommandArgs& args, TSlideSource& source) {
    // The options start from the project's output choices (or the defaults).
    TFramesOptions o;
    o.Output = source.BaseOutput();
    bool quiet = false;
    double progressEvery = 0;
    TArgs a(args);
    while (!a.AtEnd()) {
        const std::string opt = a.Next();
        if (source.Read(a, opt)) {
            continue;
        } else if (opt == "--every") {
            o.Every = ParseInt(a.Value(opt), opt);
            if (o.Every < 0)
                throw TUsageError("--every must not be negative");
        } else if (opt == "-o") {
            o.OutDir = a.Value(opt);
        } else if (CommandTakesOption("frames", opt)) {
            // What frames lists of render's options, it reads exactly as render does.
            ReadRenderOption(a, opt, o.Output, quiet, progressEvery);
            // No encoder looks at the size here before the frames are made: it must be one that
            // can be drawn (above 0, not beyond what the frames' memory allows).
            if (opt == "--size") {
                int width = 0, height = 0;
                ParseSize(o.Output.FrameSize, width, height);
            }
        } else {
            throw TUnknownOption(opt);
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
    TSlideshowData composed = source.Compose(o.Output);
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
