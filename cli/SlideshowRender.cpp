#include "cli/SlideshowRender.h"

#include "app/OutputName.h"
#include "app/SlideshowDocument.h"
#include "cli/JobRunner.h"
#include "engine/FFEncoder.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace {
void Fail(const std::string& text) { throw std::runtime_error(text); }

double RateValue(const std::string& rate) {
    int n = 0, d = 1;
    if (std::sscanf(rate.c_str(), "%d:%d", &n, &d) != 2 || d == 0)
        return 0;
    return double(n) / d;
}
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
        std::error_code ec;
        if (std::filesystem::is_directory(picture, ec))
            Fail("Cannot read picture \"" + picture + "\": it is a folder, not a file");
        if (!std::filesystem::is_regular_file(picture))
            Fail("picture not found: " + picture);
    }
    if (!FindContainer(settings.Format))
        Fail("unknown output format \"" + settings.Format + "\" (mp4, swf, flv, wmv or mov)");
    std::string reason;
    if (!EnsureOutputFolder(settings.OutDir, reason))
        Fail("Cannot create output directory " + settings.OutDir + ": " + reason);

    TMainThreadScope mainThread;
    TFFEncoder encoder;
    TSlideshowJob job(encoder);
    job.PrepareSequencer(document.Data());
    if (!job.BuildTask(settings))
        Fail(job.LastError);

    const int64_t expected = job.ExpectedFrames();
    TProgressPrinter printer(quiet, expected, RateValue(settings.FrameRate), progressEvery);
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

    TRenderResult result;
    {
        TStopSignals signals;
        job.Start(false);
        result.StopSignal = RunUntilEnd(mainThread.Queue(), {[&] { encoder.Stop(false); }, [&] { return allEnded.load(); }});
    }
    printer.Finish();
    encoder.ClearTasks(); // the worker and the deliveries have ended when this returns
    result.OutputFile = job.OutputFile();
    result.Frames = job.FramesDelivered();
    result.WithSoundtrack = job.WithSoundtrack();
    std::lock_guard guard(endLock);
    if (taskEnd.Failed)
        Fail(taskEnd.ErrorMessage);
    return result;
}
