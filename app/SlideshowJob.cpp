#include "app/SlideshowJob.h"

#include "app/CodecOptions.h"
#include "app/FrameCount.h"
#include "app/HardwareEncoder.h"
#include "app/OutputName.h"
#include "frameinput/FrameInputFormat.h"
#include "frameinput/FrameInputParams.h"
#include "medialib/FFLoad.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {
// "N:D" as the engine and the frame input want it: the first ":" becomes "/".
std::string EngineRate(std::string rate) {
    if (std::size_t p = rate.find(':'); p != std::string::npos)
        rate[p] = '/';
    return rate;
}

// The part of the size text before (or after) the first "x" as an integer; 320 otherwise.
int SizePart(const std::string& size, bool width) {
    std::size_t x = size.find('x');
    std::string part = x == std::string::npos ? (width ? size : std::string()) : width ? size.substr(0, x) : size.substr(x + 1);
    int value = 0;
    auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    return ec == std::errc() && end == part.data() + part.size() && !part.empty() ? value : 320;
}

// Frames per second of an "N:D" text; 30 when it is no rate.
double RateOf(const std::string& rate) {
    int n = 0, d = 0;
    if (std::sscanf(rate.c_str(), "%d:%d", &n, &d) == 2 && n > 0 && d > 0)
        return double(n) / d;
    return 30;
}
} // namespace

std::string SecondsText(double seconds) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, seconds);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

int SlideshowEncoderThreads() {
    unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, 8u));
}

TInputOptions SlideshowInputOptions() {
    TInputOptions in;
    in.FileFormat = "frameinput";
    return in;
}

TOutputOptions SlideshowOutputOptions(const TSlideshowSettings& settings, const TContainerRow& container) {
    TOutputOptions out;
    out.AudioCodec = container.AudioCodec;
    out.VideoCodec = container.VideoCodec;
    out.FrameRate = EngineRate(settings.FrameRate);
    out.FrameSize = settings.FrameSize;
    out.AudioChannels = settings.AudioChannels;
    out.AudioSampleRate = settings.AudioSampleRate;
    out.VideoBitrate = settings.VideoBitRate;
    // The video encoder works on slices in parallel where it can (MPEG-4); the others ignore it.
    out.ExtOptions = "threads=" + std::to_string(SlideshowEncoderThreads());
    if (const TQualityCodec* q = container.Quality) {
        const bool constant = settings.ConstantQuality;
        if (constant)
            out.VideoBitrate = -1; // the encoder's own default: none, so that the quality rules
        const int crf = constant ? (settings.Crf >= 0 ? settings.Crf : q->DefaultCrf) : -1;
        out.ExtOptions += "\n" + QualityOptionLines(*q, settings.Preset, crf, SizePart(settings.FrameSize, true),
                                                     SizePart(settings.FrameSize, false), RateOf(settings.FrameRate));
        out.VideoTag = q->VideoTag;
    }
    // Opus runs at 48 kHz (and 24, 16, 12, 8): 44100 and 22050 would not open, 48000 plays
    // everywhere.
    if (std::string(container.AudioCodec) == "libopus")
        out.AudioSampleRate = 48000;
    return out;
}

TSlideshowJob::TSlideshowJob(TFFEncoder& encoder) : encoder_(encoder) {
    Sequencer.PictureCount = [this] { return int(pictures_.size()); };
    Sequencer.PicturePath = [this](int i) { return pictures_.at(std::size_t(i)); };
    Sequencer.BreakWhenNoPictures = [this] { return breakWhenNoPictures_; };
    // No waiting: the worker is waiting for the very frame that asks for the stop.
    Sequencer.StopEncoder = [this] { encoder_.Stop(false); };
    Adapter.OnReadFrameCanvas = [this](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        int r = Sequencer.ReadFrameCanvas(canvas);
        if (r >= 0) {
            ++frames_;
            // A held picture travels by reference: no copy, and the engine skips converting it.
            if (Sequencer.FrameRepeated() && info)
                info->Repeat = 1;
        }
        return r;
    };
}

void TSlideshowJob::PrepareSequencer(const TSlideshowSettings& settings) {
    pictures_ = settings.Pictures;
    breakWhenNoPictures_ = settings.BreakWhenNoPictures;
    // The next frame is drawn while the engine encodes this one. Not when the end of the
    // pictures stops the run: that stop must come with the frame that asks for it, not one early.
    Adapter.DrawAhead = !settings.BreakWhenNoPictures;
    frames_ = 0;
    Sequencer.PictureLoader.Framing = settings.Framing;
    Sequencer.Prepare(SizePart(settings.FrameSize, true), SizePart(settings.FrameSize, false),
                      FrameCountRule(settings.FrameRate, settings.HoldSeconds),
                      FrameCountRule(settings.FrameRate, settings.TransitionSeconds), settings.RandomEffects,
                      settings.Seed);
}

void TSlideshowJob::Log(const std::string& line) {
    if (OnLog)
        OnLog(line);
}

void TSlideshowJob::Notice(const std::string& line) {
    Notices.push_back(line);
    Log(line);
}

void TSlideshowJob::LogFailure(const std::string& prefix, const std::string& text) {
    LastError = prefix + text;
    Log("");
    Log("***" + LastError);
    Log("");
}

bool TSlideshowJob::BuildTask(const TSlideshowSettings& settings, const std::string& libFolder) {
    LastError.clear();
    Notices.clear();
    taskIndex_ = -1;
    outputFile_.clear();
    withSoundtrack_ = false;
    if (!encoder_.AVLibLoaded()) {
        bool loaded = libFolder.empty() ? FFLoader().LoadLibs(EncoderLibs) : encoder_.LoadAVLib(libFolder);
        if (!loaded) {
            LastError = libFolder.empty() ? FFLoader().LastErrMsg() : encoder_.LastErrMsg;
            return false;
        }
    }
    // Also when somebody else loaded the libraries; registering twice changes nothing.
    RegisterFrameInputFormat();
    encoder_.ClearTasks();

    TOutputOptions output;
    const TContainerRow* container = FindContainer(settings.Format);
    if (container) {
        std::string problem = FrameSizeProblem(*container, SizePart(settings.FrameSize, true),
                                                SizePart(settings.FrameSize, false));
        if (problem.empty() && settings.ConstantQuality)
            problem = QualityProblem(*container, settings.Crf);
        if (!problem.empty()) {
            LogFailure("Cannot do convert, error: ", problem);
            return false;
        }
        // SVT-AV1 prints its settings on the terminal unless told otherwise (errors still show).
        if (std::string(container->VideoCodec) == "libsvtav1")
            setenv("SVT_LOG", "1", 0);
        output = SlideshowOutputOptions(settings, *container);
        if (settings.HardwareEncoder && container->Quality && *container->Quality->HardwareEncoder) {
            const THardwareProbe probe = ProbeVaapiEncoder(container->Quality->HardwareEncoder, DriFolder);
            if (probe.Usable)
                output.VideoCodec = probe.Encoder;
            Notice(HardwareProbeLine(probe, container->VideoCodec));
        }
        outputFile_ = UniqueOutputName(settings.OutDir, "slideshow-", container->Extension);
    }

    TInputOptions input = SlideshowInputOptions();
    std::string params = FrameInputParamString(Adapter.Id(), settings.FrameRate, settings.FrameSize);
    int task = encoder_.AddTask(params, &input);
    if (task < 0) {
        LogFailure("File open error: ", encoder_.LastErrMsg);
        return false;
    }
    Log("");
    Log(FileInfoText(encoder_.InputInfo(task, 0)));

    std::error_code ec;
    if (!settings.Audio.empty() && std::filesystem::is_regular_file(settings.Audio, ec)) {
        if (!encoder_.AddInputFile(task, settings.Audio, nullptr)) {
            LogFailure("File open error: ", encoder_.LastErrMsg);
            return false;
        }
        withSoundtrack_ = true;
        Log("");
        Log(FileInfoText(encoder_.InputInfo(task, 1)));
    }

    if (!encoder_.SetOutputFile(task, outputFile_, container ? &output : nullptr)) {
        std::string why = encoder_.LastErrMsg;
        encoder_.RemoveTask(task);
        LogFailure("Cannot do convert, error: ", why);
        return false;
    }
    taskIndex_ = task;
    return true;
}

void TSlideshowJob::Start(bool preview) {
    encoder_.SetPreview(preview);
    encoder_.StartTask(1);
}
