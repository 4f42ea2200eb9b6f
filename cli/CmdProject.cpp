// pixaroll-cli project: what a project file holds (show), or a project made from the same
// options render takes (save).

#include "app/document/DocumentSequencer.h"
#include "app/document/ProjectFile.h"
#include "app/output/FrameCount.h"
#include "app/pictures/FileKind.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/RenderOptions.h"
#include "cli/SlideSource.h"
#include "cli/Usage.h"
#include "effects/Effects.h"

#include <iostream>
#include <stdexcept>

namespace {
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out + "\"";
}

void Show(std::ostream& out, const std::string& file, const TSlideshowData& data) {
    const TSlideshowSettings& o = data.Output;
    out << "project " << file << "\n";
    out << "output: " << o.Format << " " << o.FrameSize << " at " << o.FrameRate.Text() << ", " << o.VideoBitRate / 1000
        << " kbit/s, hold " << SecondsText(o.HoldSeconds) << " s, transition " << SecondsText(o.TransitionSeconds) << " s, effects "
        << (o.RandomEffects ? "random" : "sequential");
    if (o.RandomEffects && o.Seed)
        out << " (seed " << *o.Seed << ")";
    out << ", audio " << (o.AudioChannels == 1 ? "mono" : "stereo") << " " << o.AudioSampleRate << " Hz";
    if (o.BreakWhenNoPictures)
        out << ", break when no pictures";
    if (o.FitToMusic)
        out << ", fit to the music";
    if (o.Beats)
        out << ", transitions on the beat";
    out << "\n";
    if (o.LoopMusic || o.FadeInSeconds > 0 || o.FadeOutSeconds != 0 || o.Loudness) {
        out << "music:";
        if (o.LoopMusic)
            out << " looped";
        if (o.FadeInSeconds > 0)
            out << " fade-in " << o.FadeInSeconds << " s";
        if (o.FadeOutSeconds == FadeOutAuto)
            out << " fade-out over the last transition";
        else if (o.FadeOutSeconds > 0)
            out << " fade-out " << o.FadeOutSeconds << " s";
        if (o.Loudness)
            out << " loudness " << *o.Loudness << " LUFS";
        out << "\n";
    }
    if (data.CaptionSubtitles)
        out << "captions also as subtitles\n";
    if (!(data.CaptionStyle == TCaptionStyle()) || data.CaptionFadeSeconds)
        out << "caption style: " << CaptionStyleText(data.CaptionStyle)
            << (data.CaptionFadeSeconds ? ", fade " + SecondsText(*data.CaptionFadeSeconds) + " s" : std::string()) << "\n";
    out << "output folder: " << (o.OutDir.empty() ? std::string("(none)") : o.OutDir) << "\n";
    out << "soundtracks: " << data.Soundtracks.size() << "\n";
    for (std::size_t i = 0; i < data.Soundtracks.size(); ++i)
        out << "  " << i + 1 << " " << data.Soundtracks[i].File << "\n";
    out << "slides: " << data.Slides.size() << ", " << SlideshowFrameCount(data) << " frames"
        << (o.FitToMusic || o.Beats ? " before the holds follow the music" : "") << "\n";
    for (std::size_t i = 0; i < data.Slides.size(); ++i) {
        const TSlide& s = data.Slides[i];
        if (s.Title.On)
            out << "  " << i + 1 << " title " << Quoted(s.Caption) << " on " << TitleBackgroundText(s.Title)
                << (s.Picture.empty() ? "" : " of ") << s.Picture;
        else
            out << "  " << i + 1 << " " << s.Picture;
        if (s.HoldSeconds)
            out << "  hold " << SecondsText(*s.HoldSeconds) << " s";
        if (s.Effect) {
            if (*s.Effect == SlideEffectRandom)
                out << "  effect random";
            else
                out << "  effect " << *s.Effect << " " << EffectRow(*s.Effect).Name;
        }
        if (!s.Caption.empty() && !s.Title.On)
            out << "  caption " << Quoted(s.Caption);
        if (s.CaptionStyle)
            out << "  caption style " << CaptionStyleText(*s.CaptionStyle);
        if (s.CaptionDateTaken)
            out << "  caption date taken";
        out << "\n";
    }
    const std::vector<TMissingFile> missing = MissingFiles(data);
    out << "missing files: " << missing.size() << "\n";
    for (const TMissingFile& m : missing)
        out << "  " << MissingFileText(m) << "\n";
}

int ShowProject(const TCommandArgs& args) {
    std::string file, relink;
    TArgs a(args);
    while (!a.AtEnd()) {
        const std::string opt = a.Next();
        if (opt == "--relink")
            relink = a.Value(opt);
        else if (opt.rfind("--", 0) == 0 || !file.empty())
            throw TUnknownOption(opt);
        else
            file = opt;
    }
    if (file.empty())
        throw TUsageError("project show needs a project file");
    TSlideshowData data;
    std::string error;
    if (!LoadProject(file, data, error))
        throw std::runtime_error(error);
    if (!relink.empty())
        std::cout << "relinked " << RelinkMissingFiles(data, relink) << " files from " << relink << "\n";
    // Counting the frames reads every slide's first bytes: a named pipe would block there.
    if (std::string why = NotAFileProblems(data); !why.empty())
        throw std::runtime_error(file + ": " + why);
    Show(std::cout, file, data);
    return 0;
}

int SaveProjectCommand(const TCommandArgs& args) {
    if (args.empty() || args[0].rfind("--", 0) == 0)
        throw TUsageError("project save needs the project file to write");
    const std::string file = args[0];
    const TCommandArgs rest(args.begin() + 1, args.end());
    TSlideSource source(rest);
    TSlideshowSettings output = RenderBaseOutput(source);
    bool quiet = false;
    double every = 5;
    TArgs a(rest);
    while (!a.AtEnd()) {
        const std::string option = a.Next();
        if (!source.Read(a, option))
            ReadRenderOption(a, option, output, quiet, every);
    }
    CheckQualityChoice(rest);
    const TSlideshowData data = source.Compose(output);
    std::string error;
    if (!SaveProject(file, data, error))
        throw std::runtime_error(error);
    const std::vector<TMissingFile> missing = MissingFiles(data);
    for (const TMissingFile& m : missing)
        std::cerr << "pixaroll-cli project save: missing " << MissingFileText(m) << "\n";
    if (!quiet)
        std::cout << file << ": " << data.Slides.size() << " slides\n";
    return 0;
}
} // namespace

int CmdProject(const TCommandArgs& args) {
    if (args.empty())
        throw TUsageError("project needs show or save");
    const TCommandArgs rest(args.begin() + 1, args.end());
    if (args[0] == "show")
        return ShowProject(rest);
    if (args[0] == "save")
        return SaveProjectCommand(rest);
    const std::vector<std::string>& verbs = FindCommand(CliUsage(), "project")->Verbs;
    const std::string suggestion = DidYouMean(NearestNames(args[0], verbs));
    throw TUsageError("unknown project command " + args[0] + " (show or save" +
                      (suggestion.empty() ? "" : "; " + suggestion) + ")");
}
