// pixaroll-cli render: the slideshow job of the window's Start, without a window.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/SlideshowRender.h"

#include <iostream>

namespace {
void ReadOption(TArgs& args, const std::string& option, TRenderJob& job) {
    if (option == "--pictures") {
        job.Pictures = args.List();
        if (job.Pictures.empty())
            throw TUsageError("--pictures needs at least one file");
    } else if (option == "--out-dir") {
        job.OutDir = args.Value(option);
    } else if (option == "--format") {
        job.Format = args.Value(option);
    } else if (option == "--size") {
        job.FrameSize = args.Value(option);
        int w, h;
        ParseSize(job.FrameSize, w, h);
    } else if (option == "--rate") {
        job.FrameRate = args.Value(option);
        int n, d;
        ParseRate(job.FrameRate, n, d);
        job.FrameRate = std::to_string(n) + ":" + std::to_string(d);
    } else if (option == "--bitrate") {
        job.BitRateKbps = ParseInt(args.Value(option), "--bitrate");
        if (job.BitRateKbps <= 0)
            throw TUsageError("--bitrate must be above 0");
    } else if (option == "--hold") {
        job.HoldSeconds = ParseDouble(args.Value(option), "--hold");
    } else if (option == "--transition") {
        job.TransitionSeconds = ParseDouble(args.Value(option), "--transition");
    } else if (option == "--sequential") {
        job.RandomEffects = false;
    } else if (option == "--random") {
        job.RandomEffects = true;
    } else if (option == "--seed") {
        job.RandomEffects = true;
        job.Seed = std::uint32_t(ParseInt(args.Value(option), "--seed"));
    } else {
        throw TUsageError("unknown option " + option);
    }
}
} // namespace

int CmdRender(const TCommandArgs& argv) {
    TArgs args(argv);
    TRenderJob job;
    while (!args.AtEnd())
        ReadOption(args, args.Next(), job);
    if (job.Pictures.empty())
        throw TUsageError("missing --pictures");
    if (job.OutDir.empty())
        throw TUsageError("missing --out-dir");
    if (job.HoldSeconds < 0 || job.TransitionSeconds < 0)
        throw TUsageError("--hold and --transition take seconds of 0 or more");
    TRenderResult result = RenderSlideshow(job);
    std::cout << result.OutputFile << "\n";
    return 0;
}
