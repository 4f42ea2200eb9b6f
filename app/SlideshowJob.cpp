#include "app/SlideshowJob.h"

#include "app/output/CodecOptions.h"
#include "app/document/DocumentSequencer.h"
#include "app/document/SlideshowDocument.h"
#include "app/output/FrameCount.h"
#include "app/output/FrameSizeLimits.h"
#include "app/output/HardwareEncoder.h"
#include "app/output/HeldPictures.h"
#include "app/clips/ClipSlides.h"
#include "app/output/OutputName.h"
#include "app/SlideshowRun.h"
#include "app/timing/MusicReader.h"
#include "app/timing/MusicTiming.h"
#include "app/pictures/FileKind.h"
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
// The effect the next job of this process goes on from: the effect number belongs to the
// program, not to one job, so sequential effects continue from run to run.
std::atomic<int> continuedEffect{0};

} // namespace

bool NeedsBuiltSoundtrack(const TSlideshowSettings& settings, const std::vector<TAudioOverlay>& overlays) {
    const bool music = !settings.Audio.empty() || !settings.MoreAudio.empty();
    if (!music && overlays.empty())
        return false;
    return !settings.MoreAudio.empty() || settings.LoopMusic || settings.FadeInSeconds > 0 ||
           settings.FadeOutSeconds != 0 || settings.Loudness.has_value() || !overlays.empty();
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
    out.FrameRate = settings.FrameRate.EngineText();
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
        const TFrameSize size = SlideshowFrameSize(settings.FrameSize);
        out.ExtOptions += "\n" + QualityOptionLines(*q, settings.Preset, crf, size.Width, size.Height,
                                                     settings.FrameRate.PerSecond());
        out.VideoTag = q->VideoTag;
    }
    // Opus runs at 48 kHz (and 24, 16, 12, 8): 44100 and 22050 would not open, 48000 plays
    // everywhere.
    if (std::string(container.AudioCodec) == "libopus")
        out.AudioSampleRate = 48000;
    return out;
}

TSlideshowJob::TSlideshowJob(TFFEncoder& encoder) : encoder_(encoder) {
    Sequencer.BreakWhenNoPictures = [this] { return breakWhenNoPictures_; };
    // No waiting: the worker is waiting for the very frame that asks for the stop.
    Sequencer.StopEncoder = [this] { encoder_.Stop(false); };
    Adapter.OnReadFrameCanvas = [this](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        int r = Sequencer.ReadFrameCanvas(canvas);
        continuedEffect = Sequencer.EffectNumber;
        if (r >= 0) {
            ++frames_;
            // A held picture travels by reference: no copy, and the engine skips converting it.
            if (Sequencer.FrameRepeated() && info)
                info->Repeat = 1;
        }
        return r;
    };
}

bool TSlideshowJob::PrepareSequencer(const TSlideshowSettings& settings) {
    return PrepareSequencer(TSlideshowDocument::FromSettings(settings).Data());
}

bool TSlideshowJob::PrepareSequencer(const TSlideshowData& data) {
    const TSlideshowSettings& settings = data.Output;
    // Before the bitmaps are made: a size the encoder refuses would otherwise cost the
    // machine's memory first.
    if (std::string why = FrameSizeRefusal(settings.Format, settings.FrameSize); !why.empty()) {
        LastError = why;
        return false;
    }
    // Something among the files that is no regular file (a named pipe would block the first read).
    if (std::string why = NotAFileProblems(data); !why.empty()) {
        LastError = why;
        return false;
    }
    // A clip that cannot be played is named now, before anything is written.
    if (std::string why = ClipProblems(data); !why.empty()) {
        LastError = why;
        return false;
    }
    // Holds from the music are worked out before anything else is made: a soundtrack that
    // cannot be read ends the Start here.
    breakWhenNoPictures_ = settings.BreakWhenNoPictures;
    // The next frame is drawn while the engine encodes this one. Not when the end of the
    // pictures stops the run: that stop must come with the frame that asks for it, not one early.
    Adapter.DrawAhead = !settings.BreakWhenNoPictures;
    frames_ = 0;
    Sequencer.EffectNumber = continuedEffect;
    TSlideshowRun run;
    try {
        run = PrepareSlideshowRun(Sequencer, data);
    } catch (const std::exception& e) {
        TimingLines.clear();
        LastError = e.what();
        Log("");
        Log("***" + LastError);
        Log("");
        return false;
    }
    TimingLines = run.TimingLines;
    for (const std::string& line : TimingLines)
        Log(line);
    expectedFrames_ = run.Frames;
    videoSeconds_ = run.VideoSeconds;
    lastTransitionSeconds_ = run.LastTransitionSeconds;
    cueText_ = data.CaptionSubtitles ? CaptionCues(data, run.Timing.get()) : std::string();
    // The clips' own sounds go over the music at the places the holds give them.
    AudioOverlays = run.Overlays;
    return true;
}

double TSlideshowJob::RunSeconds() const {
    if (breakWhenNoPictures_ || !withSoundtrack_)
        return videoSeconds_;
    if (builtSoundtrack_.Path().empty())
        return 0;
    return std::max(videoSeconds_, builtSoundtrack_.Shape().Length);
}

bool TSlideshowJob::BuildSoundtrack(const TSlideshowSettings& settings, int sampleRate) {
    TSlideshowRun run;
    run.VideoSeconds = videoSeconds_;
    run.LastTransitionSeconds = lastTransitionSeconds_;
    run.Overlays = AudioOverlays;
    TSoundtrackPlan plan = SoundtrackPlanOf(settings, run, sampleRate);
    plan.Cancelled = Cancelled;
    std::string why;
    if (!builtSoundtrack_.Build(plan, why)) {
        LogFailure("File open error: ", why);
        return false;
    }
    const TSoundtrackShape& shape = builtSoundtrack_.Shape();
    char line[256];
    std::snprintf(line, sizeof line, "Soundtrack: %zu song(s) of %.2f s in all, %.2f s built%s%s", plan.Songs.size(),
                  shape.Music, shape.Length, plan.Loop ? ", looped" : "",
                  plan.Overlays.empty() ? "" : (", " + std::to_string(plan.Overlays.size()) + " overlay(s)").c_str());
    Log("");
    Log(line);
    if (const std::optional<double> measured = builtSoundtrack_.MeasuredLoudness()) {
        std::snprintf(line, sizeof line, "Soundtrack loudness: %.1f LUFS, brought to %.1f LUFS", *measured,
                      *settings.Loudness);
        Log(line);
    }
    return true;
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
    librariesMissing_ = false;
    Notices.clear();
    taskIndex_ = -1;
    outputFile_.clear();
    withSoundtrack_ = false;
    builtSoundtrack_.Remove();
    std::string refusal = FrameSizeRefusal(settings.Format, settings.FrameSize);
    if (const TContainerRow* row = FindContainer(settings.Format); refusal.empty() && row && settings.ConstantQuality)
        refusal = QualityProblem(*row, settings.Crf);
    if (!refusal.empty()) {
        LogFailure("Cannot do convert, error: ", refusal);
        return false;
    }
    if (!encoder_.AVLibLoaded()) {
        bool loaded = libFolder.empty() ? FFLoader().LoadLibs(EncoderLibs) : encoder_.LoadAVLib(libFolder);
        if (!loaded) {
            librariesMissing_ = true;
            LogFailure("", libFolder.empty() ? FFLoader().LastErrMsg() : encoder_.LastErrMsg);
            return false;
        }
    }
    // Also when somebody else loaded the libraries; registering twice changes nothing.
    RegisterFrameInputFormat();
    encoder_.ClearTasks();

    // The whole music before anything is claimed: a song that cannot be used leaves no file.
    const TContainerRow* row = FindContainer(settings.Format);
    if (NeedsBuiltSoundtrack(settings, AudioOverlays) &&
        !BuildSoundtrack(settings, row ? SlideshowOutputOptions(settings, *row).AudioSampleRate : settings.AudioSampleRate))
        return false;

    // Only now: a Start that cannot load the libraries must not warn about or make folders.
    const std::string folder = OutputFolder ? OutputFolder() : settings.OutDir;
    TOutputOptions output;
    const TContainerRow* container = FindContainer(settings.Format);
    std::string claimedFile;
    if (container) {
        // SVT-AV1 prints its settings on the terminal unless told otherwise (errors still show).
        if (std::string(container->VideoCodec) == "libsvtav1")
            setenv("SVT_LOG", "1", 0);
        output = SlideshowOutputOptions(settings, *container);
        if (settings.HardwareEncoder && container->Quality && *container->Quality->HardwareEncoder) {
            const THardwareProbe probe = ProbeVaapiEncoder(container->Quality->HardwareEncoder, DriFolder);
            if (probe.Usable) {
                output.VideoCodec = probe.Encoder;
                const int crf = settings.ConstantQuality
                                    ? (settings.Crf >= 0 ? settings.Crf : container->Quality->DefaultCrf)
                                    : -1;
                output.ExtOptions += "\n" + HardwareEncoderOptions(probe, crf);
            }
            Notice(HardwareProbeLine(probe, container->VideoCodec));
        }
        if (WritesHeldPicturesOnce(*container, settings.ConstantFrameRate))
            ApplyHeldPictureOptions(output);
        bool claimed = false;
        std::string why;
        outputFile_ = ClaimOutputName(folder, "slideshow-", container->Extension, claimed, why);
        if (claimed)
            claimedFile = outputFile_;
    }
    // Every failure below leaves no empty file behind under the claimed name.
    auto fail = [&](const std::string& prefix, const std::string& text) {
        RemoveUnwrittenOutput(claimedFile);
        LogFailure(prefix, text);
        return false;
    };

    TInputOptions input = SlideshowInputOptions();
    const int keySpan = container && WritesHeldPicturesOnce(*container, settings.ConstantFrameRate) ? HeldKeySpanSeconds : 0;
    std::string params = HeldFrameInputParamString(Adapter.Id(), settings.FrameRate.Text(), settings.FrameSize, keySpan);
    int task = encoder_.AddTask(params, &input);
    if (task < 0)
        return fail("File open error: ", encoder_.LastErrMsg);
    Log("");
    Log(FileInfoText(encoder_.InputInfo(task, 0)));

    std::error_code ec;
    if (!builtSoundtrack_.Path().empty()) {
        if (!encoder_.AddInputFile(task, builtSoundtrack_.Path(), nullptr))
            return fail("File open error: ", encoder_.LastErrMsg);
        withSoundtrack_ = true;
        Log("");
        Log(FileInfoText(encoder_.InputInfo(task, 1)));
    } else if (!settings.Audio.empty() && std::filesystem::is_regular_file(settings.Audio, ec)) {
        if (!encoder_.AddInputFile(task, settings.Audio, nullptr))
            return fail("File open error: ", encoder_.LastErrMsg);
        withSoundtrack_ = true;
        Log("");
        Log(FileInfoText(encoder_.InputInfo(task, 1)));
    }

    if (!cueText_.empty() && container && TakesCaptionStream(container->Name)) {
        std::string why;
        if (!cueFile_.Write(cueText_, why))
            return fail("File open error: ", why);
        if (!encoder_.AddInputFile(task, cueFile_.Path(), nullptr))
            return fail("File open error: ", encoder_.LastErrMsg);
        output.SubtitleCodec = "mov_text";
    }

    if (!encoder_.SetOutputFile(task, outputFile_, container ? &output : nullptr)) {
        std::string why = encoder_.LastErrMsg;
        encoder_.RemoveTask(task);
        return fail("Cannot do convert, error: ", why);
    }
    taskIndex_ = task;
    return true;
}

void TSlideshowJob::Start(bool preview) {
    encoder_.SetPreview(preview);
    encoder_.StartTask(1);
}
