#include "app/window/WindowUsage.h"

#include "app/window/ProjectMenu.h"

#include "app/window/MainWindow.h"
#include "app/window/WindowTexts.h"

#include <QFileInfo>

namespace {

TProgramUsage MakeUsage() {
    TProgramUsage u;
    u.Program = "pixaroll";
    u.Title = "turn pictures and a soundtrack into a video slideshow";
    u.Version = PIXAROLL_VERSION;
    u.Description =
        "pixaroll is the Zemo Pixaroll window. It lists the photos (BMP, JPEG or PNG), takes one soundtrack, "
        "and sets how long each photo is held, how long each transition lasts, random or sequential effects, "
        "the container (mp4 with H.264 or H.265, WebM with VP9 or AV1, and the classic mp4, swf, flv, wmv and "
        "mov), frame size, bit rate, frame rate, sample rate and the output folder. A first start makes 1920x1080 "
        "H.264 in stereo. Start encodes the slideshow on a worker thread with a small preview of the frames; Pause and "
        "Stop control the run.\n\n"
        "The picture files named on the command line are put into the list in their order; a project file "
        "(.pixaroll) named there is opened first, and an audio file named there becomes the soundtrack. Qt's own options "
        "(-platform NAME, -style NAME, ...) are taken as well.\n\n"
        "pixaroll-cli(1) runs the same job without a window.";
    u.Options = {
        {"--screenshot", "FILE", "Shows the window, saves a picture of it to FILE (PNG) and ends.",
         TValueKind::File, {}, false},
        {"--player", "", "Starts with the player pane shown (View, Player).", TValueKind::None, {}, false},
        HelpOption,
        {"--version", "", "Prints the program's version and ends.", TValueKind::None, {}, false},
    };
    u.Commands = {{"", "[FILE ...]", TValueKind::File, "Starts the window; the picture files named are put into its list.", "", {},
                   {{"holiday/*.jpg", "Starts with every JPEG picture of the folder holiday in the list."},
                    {"holiday.pixaroll", "Opens the project holiday.pixaroll."},
                    {"holiday/*.jpg song.mp3", "Starts with the pictures in the list and song.mp3 as the soundtrack."}}}};
    u.ExitStatus = {{0, "The window was closed."},
                    {1, "The screenshot could not be saved."},
                    {2, "The command line held an option the program does not take."}};
    u.Sections = {
        {"Files",
         "$XDG_CONFIG_HOME/zemopixaroll.ini (~/.config/zemopixaroll.ini): every choice of the window, stored the "
         "moment it changes."},
        {"Environment", "XDG_CONFIG_HOME and HOME name the settings folder; QT_QPA_PLATFORM chooses Qt's "
                        "display platform (offscreen runs without a display)."},
    };
    u.SeeAlso = {"pixaroll-cli(1)"};
    return u;
}

} // namespace

const TProgramUsage& WindowUsage() {
    static const TProgramUsage usage = MakeUsage();
    return usage;
}

TWindowArgs ReadWindowArgs(const QStringList& arguments) {
    TWindowArgs out;
    bool filesOnly = false; // after "--" every word is a file
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (filesOnly || !word.startsWith('-') || word == "-") {
            out.Files << word;
        } else if (word == "--") {
            filesOnly = true;
        } else if (word == "--screenshot") {
            if (i + 1 >= arguments.size()) {
                out.Error = "option --screenshot needs a file";
                break;
            }
            out.Screenshot = arguments[++i];
        } else if (word == "--player") {
            out.Player = true;
        } else {
            out.Error = "unknown option " + word;
            std::vector<std::string> names;
            for (const TUsageOption& option : WindowUsage().Options)
                names.push_back(option.Name);
            if (const std::string hint = DidYouMean(NearestNames(word.toStdString(), names)); !hint.empty())
                out.Error += "; " + QString::fromStdString(hint);
            break;
        }
    }
    return out;
}

void OpenStartupFiles(TfrmMain& window, const QStringList& files) {
    QStringList pictures;
    bool projectOpened = false;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.isFile()) {
            window.AddLog("***No such file, skipped: " + file);
        } else if (info.suffix().compare("pixaroll", Qt::CaseInsensitive) == 0) {
            // One project is the slideshow; pictures named beside it are added to it.
            if (projectOpened)
                window.AddLog("***Only one project is opened at a time, skipped: " + file);
            else
                projectOpened = window.Project().OpenFile(info.absoluteFilePath());
        } else if (window_texts::HasExtension(file, window_texts::AudioExtensions)) {
            window.SetSoundtrack(info.absoluteFilePath());
        } else {
            pictures << info.absoluteFilePath();
        }
    }
    if (!pictures.isEmpty())
        window.AddPictures(pictures);
}
