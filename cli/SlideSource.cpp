#include "cli/SlideSource.h"

#include "app/pictures/PhotoDate.h"
#include "app/document/ProjectFile.h"
#include "app/pictures/FileKind.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

TSlideSource::TSlideSource(const TCommandArgs& args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--project")
            project_ = args[i + 1];
        else if (args[i] == "--relink")
            relink_ = args[i + 1];
    }
    if (project_.empty())
        return;
    std::string error;
    if (!LoadProject(project_, base_, error))
        throw std::runtime_error(error);
}

bool TSlideSource::Read(TArgs& args, const std::string& option) {
    if (option == "--project" || option == "--relink") {
        args.Value(option); // read before the other options
    } else if (option == "--pictures") {
        std::vector<std::string> list = args.List();
        if (list.empty())
            throw TUsageError("--pictures needs at least one file");
        pictures_.insert(pictures_.end(), list.begin(), list.end());
        picturesGiven_ = true;
    } else if (option == "--pictures-from") {
        std::vector<std::string> list = ReadPictureList(args.Value(option));
        pictures_.insert(pictures_.end(), list.begin(), list.end());
        picturesGiven_ = true;
    } else if (option == "--sort") {
        sort_ = args.Value(option);
        if (sort_ != "name" && sort_ != "date")
            throw TUsageError("--sort takes name or date");
    } else if (option == "--captions-date-taken") {
        captionsDateTaken_ = true;
    } else if (option == "--caption-subtitles") {
        captionSubtitles_ = true;
    } else if (ReadCaptionOption(args, option, base_.CaptionStyle, captions_)) {
    } else if (IsClipOption(option)) {
        clipOptions_.push_back(ReadClipOption(option, args.Value(option)));
    } else {
        return false;
    }
    return true;
}

TSlideshowData TSlideSource::Compose(const TSlideshowSettings& output) const {
    TSlideshowData data = base_;
    if (picturesGiven_) {
        data.Slides.clear();
        for (const std::string& picture : pictures_)
            data.Slides.push_back(PlainSlide(picture));
    }
    data.Output = output;
    // A soundtrack given on the command line replaces the project's.
    if (!output.Audio.empty() || !HasProject()) {
        data.Soundtracks.clear();
        if (!output.Audio.empty())
            data.Soundtracks.push_back(TSoundtrack{output.Audio});
        for (const std::string& more : output.MoreAudio)
            data.Soundtracks.push_back(TSoundtrack{more});
    }
    data.Output.Pictures.clear();
    data.Output.Audio.clear();
    data.Output.MoreAudio.clear();
    relinked_ = relink_.empty() ? 0 : RelinkMissingFiles(data, relink_);
    if (captionsDateTaken_)
        for (TSlide& slide : data.Slides)
            slide.CaptionDateTaken = true;
    if (captionSubtitles_)
        data.CaptionSubtitles = true;
    if (!sort_.empty())
        SortSlides(data.Slides, sort_);
    // Before anything reads a first byte of them: a named pipe would block that read.
    if (std::string why = NotAFileProblems(data); !why.empty())
        throw std::runtime_error(why);
    ApplyClipOptions(data.Slides, clipOptions_);
    ApplyCaptionOptions(data, captions_);
    return data;
}

void RequireFiles(const TSlideshowData& data, bool soundtracks) {
    std::vector<TMissingFile> missing = MissingFiles(data);
    if (!soundtracks)
        std::erase_if(missing, [](const TMissingFile& m) { return m.Kind == TMissingFile::Soundtrack; });
    if (missing.empty())
        return;
    std::string text = std::to_string(missing.size()) + (missing.size() == 1 ? " file is" : " files are") + " missing:";
    for (const TMissingFile& m : missing)
        text += "\n  " + MissingFileText(m);
    text += "\n(--relink DIR finds files of the same names in DIR)";
    throw std::runtime_error(text);
}

namespace {
std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The date a photo was taken as sortable text; the file's modification time when it records none.
std::string DateKey(const std::string& path) {
    std::string stamp = PhotoDateTakenStamp(path);
    if (!stamp.empty())
        return stamp;
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (ec)
        return "~"; // after every date
    // The file clock's distance from now, carried over to the system clock.
    const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        written - std::filesystem::file_time_type::clock::now() + std::chrono::system_clock::now());
    const std::time_t t = std::chrono::system_clock::to_time_t(system);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
    return text;
}
} // namespace

void SortSlides(std::vector<TSlide>& slides, const std::string& key) {
    if (key != "name" && key != "date")
        throw TUsageError("--sort takes name or date");
    struct TKeyed {
        std::string Key, Name;
        TSlide Slide;
    };
    std::vector<TKeyed> keyed;
    for (TSlide& slide : slides)
        keyed.push_back({key == "date" ? DateKey(slide.Picture) : std::string(), FileName(slide.Picture), std::move(slide)});
    std::stable_sort(keyed.begin(), keyed.end(), [](const TKeyed& a, const TKeyed& b) {
        return a.Key != b.Key ? a.Key < b.Key : a.Name < b.Name;
    });
    slides.clear();
    for (TKeyed& k : keyed)
        slides.push_back(std::move(k.Slide));
}

std::vector<std::string> ReadPictureList(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file))
        throw std::runtime_error("cannot read the picture list " + file);
    std::vector<std::string> pictures;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        pictures.push_back(line);
    }
    if (in.bad())
        throw std::runtime_error("cannot read the picture list " + file);
    return pictures;
}
