#include "app/SlideshowJob.h"

#include "app/DocumentSequencer.h"
#include "app/SlideshowDocument.h"
#include "app/FrameCount.h"
#include "app/OutputName.h"
#include "frameinput/FrameInputFormat.h"
#include "frameinput/FrameInputParams.h"
#include "medialib/FFLoad.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <thread>

namespace {
// "N:D" as the engine and the frame input want it: the first ":" becomes "/".
std::string EngineRate(std::string rate) {
    if (std::size_t p = rate.find(':'); p != std::string::npos)
        rate[p] = '/';
    return rate;
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
    return out;
}

TSlideshowJob::TSlideshowJob(TFFEncoder& encoder) : encoder_(encoder) {
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
    PrepareSequencer(TSlideshowDocument::FromSettings(settings).Data());
}

void TSlideshowJob::PrepareSequencer(const TSlideshowData& data) {
    const TSlideshowSettings& settings = data.Output;
    breakWhenNoPictures_ = settings.BreakWhenNoPictures;
    // The next frame is drawn while the engine encodes this one. Not when the end of the
    // pictures stops the run: that stop must come with the frame that asks for it, not one early.
    Adapter.DrawAhead = !settings.BreakWhenNoPictures;
    frames_ = 0;
    expectedFrames_ = SlideshowFrameCount(data);
    cueText_ = data.CaptionSubtitles ? CaptionCues(data) : std::string();
    PrepareDocumentSequencer(Sequencer, std::make_shared<const TSlideshowData>(data));
}

void TSlideshowJob::Log(const std::string& line) {
    if (OnLog)
        OnLog(line);
}

void TSlideshowJob::LogFailure(const std::string& prefix, const std::string& text) {
    LastError = prefix + text;
    Log("");
    Log("***" + LastError);
    Log("");
}

bool TSlideshowJob::BuildTask(const TSlideshowSettings& settings, const std::string& libFolder) {
    LastError.clear();
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
        output = SlideshowOutputOptions(settings, *container);
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

    if (!cueText_.empty() && container && TakesCaptionStream(container->Name)) {
        std::string why;
        if (!cueFile_.Write(cueText_, why)) {
            LogFailure("File open error: ", why);
            return false;
        }
        if (!encoder_.AddInputFile(task, cueFile_.Path(), nullptr)) {
            LogFailure("File open error: ", encoder_.LastErrMsg);
            return false;
        }
        output.SubtitleCodec = "mov_text";
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
