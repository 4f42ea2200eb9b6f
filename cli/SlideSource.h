#pragma once
// Where the slides of a command come from: a project file (--project FILE, its missing files
// relinked with --relink DIR), pictures named on the command line (--pictures P1 P2 ...,
// --pictures-from LISTFILE with one path a line), their order (--sort name|date) and
// --captions-date-taken, --caption-subtitles, and the clip slides' --clip-in/--clip-out/--clip-sound
// (ClipOptions.h), the captions' style and the title slides (CaptionOptions.h). Pictures named on the command line replace the project's slides;
// the other options of a command override the project's output choices.

#include "app/document/SlideshowDocument.h"
#include "cli/Args.h"
#include "cli/CaptionOptions.h"
#include "cli/ClipOptions.h"
#include "cli/Commands.h"

#include <optional>
#include <string>
#include <vector>

class TSlideSource {
public:
    // Finds --project and --relink among all of args first, so that the project's output choices
    // are the base every other option changes. Throws std::runtime_error when the project
    // cannot be opened (the reason and where in the file).
    explicit TSlideSource(const TCommandArgs& args);

    // The project's output choices, or the defaults without a project.
    const TSlideshowSettings& BaseOutput() const { return base_.Output; }
    bool HasProject() const { return !project_.empty(); }

    // Takes option (and its values) when it is one of this class's; false otherwise.
    bool Read(TArgs& args, const std::string& option);

    // The slideshow: slides (the project's or the pictures given, relinked, sorted) and output.
    TSlideshowData Compose(const TSlideshowSettings& output) const;
    // How many files the relinking found (after Compose).
    int Relinked() const { return relinked_; }

private:
    std::string project_, relink_, sort_;
    bool picturesGiven_ = false;
    std::vector<std::string> pictures_;
    bool captionsDateTaken_ = false;
    bool captionSubtitles_ = false;
    std::vector<TClipOption> clipOptions_;
    TCaptionOptions captions_;
    TSlideshowData base_;
    mutable int relinked_ = 0;
};

// Throws std::runtime_error naming every missing picture file of data (and soundtrack file
// with soundtracks).
void RequireFiles(const TSlideshowData& data, bool soundtracks);
// Sorts slides by file name or by the date the photo was taken (EXIF, else the file's time);
// throws TUsageError for another key.
void SortSlides(std::vector<TSlide>& slides, const std::string& key);
// The lines of a picture list file: one path a line, blank lines and lines starting with "#"
// skipped. Throws std::runtime_error when it cannot be read.
std::vector<std::string> ReadPictureList(const std::string& file);
