// pixaroll-cli frames: runs the slideshow frame sequencer to its end without encoding, writing
// every K-th frame as a picture file; prints the frame count and the effect numbers used.

#include "app/FrameCount.h"
#include "app/SlideshowSequencer.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ImageFiles.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {
struct TFramesOptions {
    std::vector<std::string> Pictures;
    int Width = 320, Height = 240;
    std::string Rate = "30:1";
    std::string Hold = "5", Transition = "2";
    bool Random = true;
    std::optional<std::uint32_t> Seed;
    int Every = 1;
    std::string OutDir;
};

TFramesOptions ReadOptions(const TCommandArgs& args) {
    TFramesOptions o;
    TArgs a(args);
    while (!a.AtEnd()) {
        const std::string opt = a.Next();
        if (opt == "--pictures") {
            o.Pictures = a.List();
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
    if (o.Pictures.empty())
        throw TUsageError("--pictures needs at least one file");
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
    const TFramesOptions o = ReadOptions(args);
    if (o.Every > 0)
        std::filesystem::create_directories(o.OutDir);

    TSlideshowSequencer seq;
    seq.PictureCount = [&] { return static_cast<int>(o.Pictures.size()); };
    seq.PicturePath = [&](int k) { return o.Pictures.at(static_cast<std::size_t>(k)); };
    seq.Prepare(o.Width, o.Height, FrameCountRule(o.Rate, o.Hold), FrameCountRule(o.Rate, o.Transition), o.Random,
                o.Seed);

    std::vector<int> effects;
    long long frames = 0;
    for (;;) {
        const bool transitionStarts =
            seq.InTransition && seq.TransitionCounter == 0 && seq.PictureIndex < static_cast<int>(o.Pictures.size());
        const int effect = seq.EffectNumber;
        const TFrameBitmap* frame = seq.NextFrame();
        if (!frame)
            break;
        if (transitionStarts)
            effects.push_back(effect);
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
