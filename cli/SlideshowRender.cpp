#include "cli/SlideshowRender.h"

#include "app/ContainerTable.h"
#include "app/FrameCount.h"
#include "app/OutputName.h"
#include "app/SlideshowSequencer.h"
#include "cli/Args.h"
#include "engine/FFmpeg.h"
#include "frameinput/FrameInputAdapter.h"
#include "frameinput/FrameInputFormat.h"
#include "frameinput/FrameInputParams.h"
#include "medialib/FFLoad.h"
#include "medialib/MainThread.h"

#include <atomic>
#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace {
void Fail(const std::string& text) { throw std::runtime_error(text); }

const TContainerRow& ContainerOf(const std::string& name) {
    const TContainerRow* row = FindContainer(name);
    if (!row)
        Fail("unknown output format \"" + name + "\" (mp4, swf, flv, wmv or mov)");
    return *row;
}

// The shortest text that reads back as the same number: the frame-count rule sees exactly the
// seconds the user gave (six significant digits would round 0.5166666 to 0.516667).
std::string SecondsText(double seconds) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, seconds);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

// Installs a pumped main-thread queue for the life of the job and removes it again.
class TMainThreadScope {
public:
    TMainThreadScope() : previous_(MainThreadDispatcher()) { SetMainThreadDispatcher(&queue_); }
    ~TMainThreadScope() { SetMainThreadDispatcher(previous_); }
    TQueueMainThread& Queue() { return queue_; }

private:
    IMainThreadDispatcher* previous_;
    TQueueMainThread queue_;
};

TOutputOptions OutputOptionsFor(const TRenderJob& job, const TContainerRow& container) {
    TOutputOptions out;
    out.AudioCodec = container.AudioCodec;
    out.VideoCodec = container.VideoCodec;
    out.FrameRate = job.FrameRate;
    if (std::size_t p = out.FrameRate.find(':'); p != std::string::npos)
        out.FrameRate[p] = '/';
    out.FrameSize = job.FrameSize;
    out.AudioChannels = job.AudioChannels;
    out.AudioSampleRate = job.AudioSampleRate;
    out.VideoBitrate = job.BitRateKbps * 1000;
    return out;
}

// Runs the transcode on a worker while this thread serves the frame events.
void Execute(TFFmpeg& engine, TQueueMainThread& mainThread) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        engine.Execute();
        done = true;
    });
    while (!done)
        mainThread.Pump(std::chrono::milliseconds(50));
    worker.join();
    mainThread.Pump();
}
} // namespace

TRenderResult RenderSlideshow(const TRenderJob& job) {
    if (job.Pictures.empty())
        Fail("no pictures given");
    for (const std::string& picture : job.Pictures) {
        std::error_code ec;
        if (std::filesystem::is_directory(picture, ec))
            Fail("Cannot read picture \"" + picture + "\": it is a folder, not a file");
        if (!std::filesystem::is_regular_file(picture))
            Fail("picture not found: " + picture);
    }
    const TContainerRow& container = ContainerOf(job.Format);
    std::string reason;
    if (!EnsureOutputFolder(job.OutDir, reason))
        Fail("Cannot create output directory " + job.OutDir + ": " + reason);

    if (!FFLoader().LoadLibs(EncoderLibs))
        Fail(FFLoader().LastErrMsg());
    RegisterFrameInputFormat();

    TMainThreadScope mainThread;
    TSlideshowSequencer sequencer;
    sequencer.PictureCount = [&] { return int(job.Pictures.size()); };
    sequencer.PicturePath = [&](int i) { return job.Pictures.at(std::size_t(i)); };
    sequencer.BreakWhenNoPictures = [&] { return job.BreakWhenNoPictures; };
    int width = 0, height = 0;
    ParseSize(job.FrameSize, width, height);
    sequencer.Prepare(width, height, FrameCountRule(job.FrameRate, SecondsText(job.HoldSeconds)),
                      FrameCountRule(job.FrameRate, SecondsText(job.TransitionSeconds)), job.RandomEffects, job.Seed);

    TRenderResult result;
    TFrameInputAdapter adapter;
    adapter.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo) {
        int r = sequencer.ReadFrameCanvas(canvas);
        if (r >= 0)
            ++result.Frames;
        return r;
    };

    TFFmpeg engine(2);
    sequencer.StopEncoder = [&] { engine.StopJob(); }; // no waiting: the worker waits for this frame
    TInputOptions input;
    input.FileFormat = "frameinput";
    engine.ApplyInputOptions(input);
    if (!engine.OpenInputFile(FrameInputParamString(adapter.Id(), job.FrameRate, job.FrameSize)))
        Fail("File open error: " + engine.LastError);
    std::error_code ec;
    if (!job.Audio.empty() && std::filesystem::is_regular_file(job.Audio, ec)) {
        engine.ApplyInputOptions(TInputOptions());
        if (!engine.OpenInputFile(job.Audio))
            Fail("File open error: " + engine.LastError);
        result.WithSoundtrack = true;
    }

    result.OutputFile = UniqueOutputName(job.OutDir, "slideshow-", container.Extension);
    engine.ApplyOutputOptions(OutputOptionsFor(job, container));
    if (engine.OpenOutputFile(result.OutputFile) < 0)
        Fail("Cannot do convert, error: " + engine.LastError);
    engine.ApplyOutputOptionsAfterOpen(0);

    Execute(engine, mainThread.Queue());
    if (engine.Failed())
        Fail(engine.ErrorMessage());
    return result;
}
