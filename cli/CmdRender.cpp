// pixaroll-cli render: the slideshow job of the window's Start, without a window.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/JobRunner.h"
#include "cli/SlideshowRender.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace {
void ReadOption(TArgs& args, const std::string& option, TSlideshowSettings& job, bool& quiet, double& every,
                bool& bitRateGiven) {
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
        int kbps = ParseInt(args.Value(option), "--bitrate");
        if (kbps <= 0 || kbps > 1000000)
            throw TUsageError("--bitrate takes kbit/s from 1 to 1000000");
        job.VideoBitRate = kbps * 1000;
        bitRateGiven = true;
    } else if (option == "--crf") {
        job.Crf = ParseInt(args.Value(option), option);
        if (job.Crf < 0)
            throw TUsageError("--crf takes a quality of 0 or more (lower is better)");
    } else if (option == "--preset") {
        const std::string name = args.Value(option);
        if (!FindSpeedPreset(name, job.Preset))
            throw TUsageError("--preset takes fast, balanced or small");
    } else if (option == "--fit") {
        const std::string name = args.Value(option);
        if (!FindFraming(name, job.Framing))
            throw TUsageError("--fit takes letterbox, blur or fill");
    } else if (option == "--hardware-encoder") {
        job.HardwareEncoder = true;
    } else if (option == "--hold" || option == "--transition") {
        double seconds = ParseDouble(args.Value(option), option);
        if (seconds < 0)
            throw TUsageError("--hold and --transition take seconds of 0 or more");
        (option == "--hold" ? job.HoldSeconds : job.TransitionSeconds) = SecondsText(seconds);
    } else if (option == "--sequential") {
        job.RandomEffects = false;
    } else if (option == "--random") {
        job.RandomEffects = true;
    } else if (option == "--seed") {
        job.RandomEffects = true;
        job.Seed = ParseSeed(args.Value(option), "--seed");
    } else if (option == "--audio") {
        job.Audio = args.Value(option);
    } else if (option == "--mono") {
        job.AudioChannels = 1;
    } else if (option == "--samplerate") {
        // The window's list: "as source" (0) and four rates.
        job.AudioSampleRate = ParseInt(args.Value(option), option);
        const int rates[] = {0, 8000, 11025, 22050, 44100};
        if (std::find(std::begin(rates), std::end(rates), job.AudioSampleRate) == std::end(rates))
            throw TUsageError("--samplerate takes 0, 8000, 11025, 22050 or 44100");
    } else if (option == "--break-when-no-pictures") {
        job.BreakWhenNoPictures = true;
    } else if (option == "--quiet") {
        quiet = true;
    } else if (option == "--progress-every") {
        every = ParseDouble(args.Value(option), option);
        if (!(every >= 0))
            throw TUsageError("--progress-every takes seconds of 0 or more");
    } else {
        throw TUsageError("unknown option " + option);
    }
}
} // namespace

int CmdRender(const TCommandArgs& argv) {
    TArgs args(argv);
    TSlideshowSettings job;
    bool quiet = false;
    double every = 5;
    bool bitRateGiven = false;
    while (!args.AtEnd())
        ReadOption(args, args.Next(), job, quiet, every, bitRateGiven);
    // The rows of today's codecs encode at constant quality unless a bit rate is asked for.
    if (bitRateGiven && job.Crf >= 0)
        throw TUsageError("--crf and --bitrate exclude each other: constant quality or a bit rate");
    job.ConstantQuality = !bitRateGiven;
    if (job.Pictures.empty())
        throw TUsageError("missing --pictures");
    if (job.OutDir.empty())
        throw TUsageError("missing --out-dir");
    if (!job.Audio.empty() && !std::filesystem::is_regular_file(job.Audio))
        std::cerr << "pixaroll-cli render: no soundtrack: " << job.Audio << " does not exist\n";
    TRenderResult result = RenderSlideshow(job, quiet, every);
    std::cout << result.OutputFile << "\n";
    return ReportStop("render", result.StopSignal);
}
