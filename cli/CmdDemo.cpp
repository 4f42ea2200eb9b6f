// pixaroll-cli demo DIR: a short slideshow of procedurally drawn pictures rendered into DIR.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/DemoPictures.h"
#include "cli/SlideshowRender.h"

#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// The pictures live in a private temporary folder for the length of the run.
class TTempFolder {
public:
    TTempFolder() : path_(fs::temp_directory_path() / ("pixaroll-demo-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
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
    if (args.AtEnd())
        throw TUsageError("missing output folder");
    TRenderJob job;
    job.OutDir = args.Next();
    if (!args.AtEnd())
        throw TUsageError("unexpected argument \"" + args.Peek() + "\"");
    TTempFolder pictures;
    job.Pictures = WriteDemoPictures(pictures.Path().string(), 640, 480);
    job.HoldSeconds = 1;
    job.TransitionSeconds = 1;
    job.Seed = 2026; // the same effects every time
    TRenderResult result = RenderSlideshow(job);
    std::cout << result.OutputFile << " (" << result.Frames << " frames)\n";
    return 0;
}
