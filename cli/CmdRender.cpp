// pixaroll-cli render: the slideshow job of the window's Start, without a window.

#include "app/output/FirstRunChoices.h"
#include "app/output/FrameCount.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/JobRunner.h"
#include "cli/MotionOption.h"
#include "cli/RenderOptions.h"
#include "cli/SlideSource.h"
#include "cli/SlideshowRender.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

TSlideshowSettings RenderBaseOutput(const TSlideSource& source) {
    TSlideshowSettings output = source.BaseOutput();
    if (source.HasProject())
        return output;
    output.Format = first_run::FormatOption;
    output.FrameSize = first_run::FrameSize;
    output.FrameRate = {first_run::FrameRateNum, first_run::FrameRateDen};
    output.AudioChannels = first_run::AudioChannels;
    output.ConstantQuality = first_run::ConstantQuality;
    output.Crf = first_run::Crf;
    output.Preset = first_run::Preset;
    return output;
}

void ReadRenderOption(TArgs& args, const std::string& option, TSlideshowSettings& job, bool& quiet, double& every) {
    if (option == "--out-dir") {
        job.OutDir = args.Value(option);
    } else if (option == "--format") {
        job.Format = args.Value(option);
    } else if (option == "--size") {
        // Two integers; whether the container's encoder can take them is the job's to say.
        const std::string size = args.Value(option);
        std::size_t x = size.find('x');
        if (x == std::string::npos)
            throw TUsageError("size \"" + size + "\" is not of the form WxH");
        ParseInt(size.substr(0, x), "size");
        ParseInt(size.substr(x + 1), "size");
        job.FrameSize = size;
    } else if (option == "--rate") {
        int n, d;
        ParseRate(args.Value(option), n, d);
        job.FrameRate = {n, d};
    } else if (option == "--bitrate") {
        int kbps = ParseInt(args.Value(option), "--bitrate");
        if (kbps <= 0 || kbps > 1000000)
            throw TUsageError("--bitrate takes kbit/s from 1 to 1000000");
        job.VideoBitRate = kbps * 1000;
        job.ConstantQuality = false; // the rows with a quality choice encode at this rate
    } else if (option == "--crf") {
        job.Crf = ParseInt(args.Value(option), option);
        if (job.Crf < 0)
            throw TUsageError("--crf takes a quality of 0 or more (lower is better)");
        job.ConstantQuality = true;
    } else if (option == "--preset") {
        const std::string name = args.Value(option);
        if (!FindSpeedPreset(name, job.Preset))
            throw TUsageError("--preset takes fast, balanced or small");
    } else if (option == "--fit") {
        const std::string name = args.Value(option);
        if (!FindFraming(name, job.Framing))
            throw TUsageError("--fit takes letterbox, blur or fill");
    } else if (ReadMotionOption(args, option, job.Motion, job.Zoom)) {
    } else if (option == "--hardware-encoder") {
        job.HardwareEncoder = true;
    } else if (option == "--constant-frame-rate") {
        job.ConstantFrameRate = true;
    } else if (option == "--hold" || option == "--transition") {
        double seconds = ParseDouble(args.Value(option), option);
        if (seconds < 0)
            throw TUsageError("--hold and --transition take seconds of 0 or more");
        if (seconds > LongestHoldSeconds)
            throw TUsageError(option + " takes at most " + SecondsText(LongestHoldSeconds) + " seconds (a day)");
        (option == "--hold" ? job.HoldSeconds : job.TransitionSeconds) = seconds;
    } else if (option == "--sequential") {
        job.RandomEffects = false;
    } else if (option == "--random") {
        job.RandomEffects = true;
    } else if (option == "--seed") {
        job.RandomEffects = true;
        job.Seed = ParseSeed(args.Value(option), "--seed");
    } else if (option == "--audio") {
        // One soundtrack, or several played one after the other.
        std::vector<std::string> files = args.List();
        if (files.empty())
            throw TUsageError("option --audio needs a value");
        job.Audio = files.front();
        job.MoreAudio.assign(files.begin() + 1, files.end());
    } else if (option == "--loop-music") {
        job.LoopMusic = true;
    } else if (option == "--fade-in") {
        job.FadeInSeconds = ParseDouble(args.Value(option), option);
        if (!(job.FadeInSeconds >= 0 && job.FadeInSeconds <= MaxFadeSeconds))
            throw TUsageError("--fade-in takes seconds from 0 to " + std::to_string(int(MaxFadeSeconds)));
    } else if (option == "--fade-out") {
        const std::string value = args.Value(option);
        if (value == "auto") {
            job.FadeOutSeconds = FadeOutAuto;
        } else {
            job.FadeOutSeconds = ParseDouble(value, option);
            if (!(job.FadeOutSeconds >= 0 && job.FadeOutSeconds <= MaxFadeSeconds))
                throw TUsageError("--fade-out takes auto or seconds from 0 to " + std::to_string(int(MaxFadeSeconds)));
        }
    } else if (option == "--loudness") {
        const double lufs = ParseDouble(args.Value(option), option);
        if (!(lufs >= MinLoudness && lufs <= MaxLoudness))
            throw TUsageError("--loudness takes LUFS from " + std::to_string(int(MinLoudness)) + " to " +
                              std::to_string(int(MaxLoudness)));
        job.Loudness = lufs;
    } else if (option == "--mono") {
        job.AudioChannels = 1;
    } else if (option == "--samplerate") {
        // The window's list: "as source" (0) and four rates.
        job.AudioSampleRate = ParseInt(args.Value(option), option);
        const int rates[] = {0, 8000, 11025, 22050, 44100};
        if (std::find(std::begin(rates), std::end(rates), job.AudioSampleRate) == std::end(rates))
            throw TUsageError("--samplerate takes 0, 8000, 11025, 22050 or 44100");
    } else if (option == "--fit-to-music") {
        job.FitToMusic = true;
    } else if (option == "--beats") {
        job.Beats = true;
    } else if (option == "--break-when-no-pictures") {
        job.BreakWhenNoPictures = true;
    } else if (option == "--quiet") {
        quiet = true;
    } else if (option == "--progress-every") {
        every = ParseDouble(args.Value(option), option);
        if (!(every >= 0))
            throw TUsageError("--progress-every takes seconds of 0 or more");
    } else {
        throw TUnknownOption(option);
    }
}

void CheckQualityChoice(const TCommandArgs& argv) {
    const bool crf = std::find(argv.begin(), argv.end(), "--crf") != argv.end();
    const bool bitRate = std::find(argv.begin(), argv.end(), "--bitrate") != argv.end();
    if (crf && bitRate)
        throw TUsageError("--crf and --bitrate exclude each other: constant quality or a bit rate");
}

int CmdRender(const TCommandArgs& argv) {
    TArgs args(argv);
    TSlideSource source(argv);
    TSlideshowSettings job = RenderBaseOutput(source);
    bool quiet = false;
    double every = 5;
    while (!args.AtEnd()) {
        const std::string option = args.Next();
        if (!source.Read(args, option))
            ReadRenderOption(args, option, job, quiet, every);
    }
    CheckQualityChoice(argv);
    TSlideshowData slideshow = source.Compose(job);
    if (slideshow.Slides.empty())
        throw TUsageError(source.HasProject() ? "the project has no slides" : "missing --pictures");
    if (slideshow.Output.OutDir.empty())
        throw TUsageError("missing --out-dir");
    for (const TSoundtrack& soundtrack : slideshow.Soundtracks)
        if (!std::filesystem::is_regular_file(soundtrack.File))
            std::cerr << "pixaroll-cli render: no soundtrack: " << soundtrack.File << " does not exist\n";
    if (source.HasProject())
        RequireFiles(slideshow, false); // every missing file at once, with the hint to relink
    TRenderResult result = RenderSlideshow(slideshow, quiet, every);
    if (!result.OutputFile.empty())
        std::cout << result.OutputFile << "\n";
    return ReportStop("render", result.StopSignal);
}
