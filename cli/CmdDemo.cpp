// pixaroll-cli demo DIR: a short slideshow of procedurally drawn pictures rendered into DIR.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/DemoPictures.h"
#include "cli/DemoSoundtrack.h"
#include "cli/JobRunner.h"
#include "cli/SlideshowRender.h"

#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <stdlib.h>

namespace fs = std::filesystem;

namespace {
// The pictures live in a private temporary folder for the length of the run.
class TTempFolder {
public:
    // mkdtemp creates a folder nobody else owns: a fixed or guessable name in the shared
    // temporary folder could be taken over, or removed from under another run.
    TTempFolder() {
        std::string pattern = (fs::temp_directory_path() / "pixaroll-demo-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("Cannot create a temporary folder: " + pattern);
        path_ = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};
} // namespace

int CmdDemo(const TCommandArgs& argv) {
    TArgs args(argv);
    TSlideshowSettings job;
    bool quiet = false;
    while (!args.AtEnd()) {
        std::string arg = args.Next();
        if (arg == "--quiet")
            quiet = true;
        else if (job.OutDir.empty() && (arg.empty() || arg[0] != '-'))
            job.OutDir = arg;
        else
            throw TUsageError("unexpected argument \"" + arg + "\"");
    }
    if (job.OutDir.empty())
        throw TUsageError("missing output folder");
    TTempFolder pictures;
    job.Pictures = WriteDemoPictures(pictures.Path().string(), 640, 480);
    job.HoldSeconds = 1;
    job.TransitionSeconds = 1;
    job.Seed = 2026; // the same effects every time
    // As long as the slideshow: 4 x (1 s + 1 s) + 1 s of frames and the two end frames.
    job.Audio = (pictures.Path() / "demo-music.wav").string();
    WriteDemoSoundtrack(job.Audio, 9.0);
    TRenderResult result = RenderSlideshow(job, quiet);
    std::cout << result.OutputFile << " (" << result.Frames << " frames)\n";
    return ReportStop("demo", result.StopSignal);
}
