// pixaroll-cli demo DIR: a short slideshow of procedurally drawn pictures rendered into DIR, as
// a showcase: full-width H.264 that browsers play, pan and zoom, captions, and holds that end
// with the music.

#include "app/document/SlideshowDocument.h"
#include "app/output/FirstRunChoices.h"
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

namespace {
// The demo's frame, and its pictures drawn larger so that the motion has detail to travel over.
constexpr const char* DemoFrameSize = "1280x720";
constexpr int DemoPictureWidth = 1600, DemoPictureHeight = 900;
constexpr double DemoSongSeconds = 12;
const char* const DemoCaptions[DemoPictureCount] = {"Hills at noon", "Warm rings", "Checkers", "Rainbow"};
} // namespace

int CmdDemo(const TCommandArgs& argv) {
    TArgs args(argv);
    TSlideshowSettings job;
    bool quiet = false;
    while (!args.AtEnd()) {
        std::string arg = args.Next();
        if (arg == "--quiet")
            quiet = true;
        else if (!arg.empty() && arg[0] == '-')
            throw TUnknownOption(arg);
        else if (job.OutDir.empty())
            job.OutDir = arg;
        else
            throw TUsageError("unexpected argument \"" + arg + "\"");
    }
    if (job.OutDir.empty())
        throw TUsageError("missing output folder");
    TTempFolder pictures;
    job.Pictures = WriteDemoPictures(pictures.Path().string(), DemoPictureWidth, DemoPictureHeight);
    job.Format = first_run::FormatOption;
    job.FrameSize = DemoFrameSize;
    job.FrameRate = {first_run::FrameRateNum, first_run::FrameRateDen};
    job.Preset = first_run::Preset;
    job.TransitionSeconds = 1;
    job.Seed = 2026;                       // the same effects and motions every time
    job.Motion = TMotionStyle::Random;
    job.FitToMusic = true;                 // the holds end the slideshow with the song
    job.FadeOutSeconds = FadeOutAuto;
    job.Audio = (pictures.Path() / "demo-music.wav").string();
    WriteDemoSoundtrack(job.Audio, DemoSongSeconds);
    TSlideshowData show = TSlideshowDocument::FromSettings(job).Data();
    for (std::size_t i = 0; i < show.Slides.size() && i < DemoPictureCount; ++i)
        show.Slides[i].Caption = DemoCaptions[i];
    TRenderResult result = RenderSlideshow(show, quiet);
    std::cout << result.OutputFile << " (" << result.Frames << " frames)\n";
    return ReportStop("demo", result.StopSignal);
}
