#include "cli/SlideshowRender.h"

#include "app/output/FrameSizeLimits.h"
#include "app/output/OutputName.h"
#include "app/document/SlideshowDocument.h"
#include "app/pictures/FileKind.h"
#include "cli/JobRunner.h"
#include "engine/FFEncoder.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace {
void Fail(const std::string& text) { throw std::runtime_error(text); }
} // namespace

TRenderResult RenderSlideshow(const TSlideshowSettings& settings, bool quiet, double progressEvery) {
    return RenderSlideshow(TSlideshowDocument::FromSettings(settings).Data(), quiet, progressEvery);
}

TRenderResult RenderSlideshow(const TSlideshowData& slideshow, bool quiet, double progressEvery) {
    const TSlideshowDocument document(slideshow);
    const TSlideshowSettings settings = document.SettingsForJob();
    if (settings.Pictures.empty())
        Fail("no pictures given");
    for (const std::string& picture : settings.Pictures) {
        if (const std::string kind = NotAFileKind(picture); !kind.empty())
            Fail("Cannot read picture \"" + picture + "\": it is " + kind + ", not a file");
        if (!std::filesystem::is_regular_file(picture))
            Fail("picture not found: " + picture);
    }
    if (!FindContainer(settings.Format))
        Fail("unknown output format \"" + settings.Format + "\" (" + ContainerOptionNames() + ")");
    if (std::string why = FrameSizeRefusal(settings.Format, settings.FrameSize); !why.empty())
        Fail(why);
    std::string reason;
    if (!EnsureOutputFolder(settings.OutDir, reason))
        Fail("Cannot create output directory " + settings.OutDir + ": " + reason);

    // The handlers come before the output file does: a signal from here on stops the job in
    // order instead of killing the program beside an empty file.
    TStopSignals signals;
    TMainThreadScope mainThread;
    TFFEncoder encoder;
    TSlideshowJob job(encoder);
    // Building the music can take a while: a signal meanwhile gives it up.
    job.Cancelled = [] { return TStopSignals::Received() != 0; };
    if (!job.PrepareSequencer(document.Data()))
        Fail(job.LastError);
    if (!job.BuildTask(settings) && !TStopSignals::Received())
        Fail(job.LastError);
    if (!quiet)
        for (const std::string& line : job.TimingLines)
            std::fprintf(stderr, "pixaroll-cli render: %s\n", line.c_str());
    for (const std::string& line : job.Notices)
        std::fprintf(stderr, "pixaroll-cli render: %s\n", line.c_str());
    TRenderResult result;
    if (int signal = TStopSignals::Received()) {
        // Stopped before anything was written: no file is left under the claimed name.
        encoder.ClearTasks();
        RemoveUnwrittenOutput(job.OutputFile());
        result.StopSignal = signal;
        return result;
    }

    const int64_t expected = job.ExpectedFrames();
    TProgressPrinter printer(quiet, expected, settings.FrameRate.PerSecond(), progressEvery);
    std::mutex endLock;
    TTerminateInfo taskEnd;
    std::atomic<bool> allEnded{false};
    encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo info) { printer.Show(*info); };
    encoder.OnTerminate = [&](TCustomEncoder&, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
            allEnded = true;
        } else {
            std::lock_guard guard(endLock);
            taskEnd = info;
        }
    };

    job.Start(false);
    result.StopSignal = RunUntilEnd(mainThread.Queue(), {[&] { encoder.Stop(false); }, [&] { return allEnded.load(); }});
    printer.Finish();
    encoder.ClearTasks(); // the worker and the deliveries have ended when this returns
    // A run stopped before its first write leaves no empty file.
    if (!RemoveUnwrittenOutput(job.OutputFile()) && std::filesystem::exists(job.OutputFile()))
        result.OutputFile = job.OutputFile();
    result.Frames = job.FramesDelivered();
    result.WithSoundtrack = job.WithSoundtrack();
    std::lock_guard guard(endLock);
    if (taskEnd.Failed)
        Fail(taskEnd.ErrorMessage);
    return result;
}
