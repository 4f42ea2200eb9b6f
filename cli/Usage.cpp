// Adding an option to a subcommand is one row here; its parser reads the same name.

#include "cli/Usage.h"

#include "app/output/ContainerTable.h"
#include "app/output/FirstRunChoices.h"

#include <algorithm>
#include <iterator>

namespace {

TUsageOption Switch(const char* name, const char* text) { return {name, "", text, TValueKind::None, {}, false}; }
TUsageOption Value(const char* name, const char* value, const char* text) {
    return {name, value, text, TValueKind::Word, {}, false};
}
TUsageOption FileValue(const char* name, const char* value, const char* text) {
    return {name, value, text, TValueKind::File, {}, false};
}
TUsageOption FolderValue(const char* name, const char* value, const char* text) {
    return {name, value, text, TValueKind::Folder, {}, false};
}
TUsageOption Choice(const char* name, const char* value, const char* text, std::vector<std::string> choices) {
    return {name, value, text, TValueKind::Choice, std::move(choices), false};
}
TUsageOption Required(TUsageOption option) {
    option.Required = true;
    return option;
}
TUsageOption Default(TUsageOption option, const char* value) {
    option.Default = value;
    return option;
}
// The usual values of an option that takes others of their form as well.
TUsageOption Usual(const char* name, const char* value, const char* text, std::vector<std::string> choices,
                   const char* defaultValue) {
    TUsageOption option = Choice(name, value, text, std::move(choices));
    option.OtherValues = true;
    option.Default = defaultValue;
    return option;
}

// The command-line names of every row of the window's list, in its order.
std::vector<std::string> FormatNames() {
    std::vector<std::string> names;
    for (int i = 0; i < ContainerRowCount; ++i)
        names.push_back(ContainerAt(i)->Option);
    return names;
}

std::vector<std::string> FrameSizes() { return {std::begin(FrameSizeNames), std::end(FrameSizeNames)}; }

std::vector<std::string> PresetNames() {
    std::vector<std::string> names;
    for (int i = 0; i < SpeedPresetCount; ++i)
        names.push_back(SpeedPresetName(TSpeedPreset(i)));
    return names;
}

// The option of that name in options, which must have it.
TUsageOption& Named(std::vector<TUsageOption>& options, const std::string& name) {
    return *std::find_if(options.begin(), options.end(), [&](const TUsageOption& o) { return o.Name == name; });
}

// The options render and frames share: what the slideshow looks like.
std::vector<TUsageOption> SlideshowOptions() {
    return {
        FileValue("--pictures", "P1 P2 ...",
                  "The pictures in the order they are shown: BMP, JPEG or PNG files, or video clips (mp4, mov, "
                  "mkv, webm, avi, 3gp, ...), which play in place of a held picture. Every word up to the "
                  "next option is a picture. Needed unless --pictures-from or --project gives them."),
        FileValue("--pictures-from", "LISTFILE",
                  "Reads the pictures from a file, one path a line (blank lines and lines starting with # are "
                  "skipped)."),
        FileValue("--project", "FILE",
                  "Takes the slides and output choices of a .pixaroll project; options given beside it override "
                  "the project's."),
        FolderValue("--relink", "DIR", "Finds the project's missing files by name in DIR."),
        Choice("--sort", "ORDER", "Sorts the pictures by file name or by the date they were taken.",
               {"name", "date"}),
        Switch("--captions-date-taken", "Captions every picture with the date it was taken (EXIF)."),
        Value("--caption-style", "KEY=VALUE,...",
              "The captions' style: font (a family name), bold (true/false), size (share of the frame's height, "
              "default 0.07), color, outline (share of the font size), outlineColor, shadow, shadowColor, box "
              "(colour behind the text, #aarrggbb), position (top-left, top, top-right, left, center, right, "
              "bottom-left, bottom, bottom-right), margin (share of the frame) and align (left, center, right)."),
        Value("--caption-fade", "S",
              "Seconds a caption takes to fade out and the next one to fade in (the whole transition by default)."),
        Value("--title", "TEXT", "Opens the slideshow with a title slide of this text."),
        Value("--end-title", "TEXT", "Closes the slideshow with a title slide of this text."),
        Value("--title-background", "BG",
              "The title slides' background: a colour #rrggbb (default black), a gradient #rrggbb-#rrggbb (top to "
              "bottom) or blur (the first or last picture, blurred)."),
        Value("--clip-in", "N=S", "Video clip slide N (from 1, in the order shown) starts S seconds into the clip."),
        Value("--clip-out", "N=S", "Video clip slide N ends S seconds into the clip (default: at its end)."),
        Value("--clip-sound", "N=SOUND",
              "The sound of video clip slide N: mix (over the music, which ducks; the default), mute, or alone "
              "(the music is silent meanwhile)."),
        Usual("--size", "WxH",
              "The frame size in pixels; sizes the container's encoder cannot take are refused with the reason.",
              FrameSizes(), "320x240"),
        Usual("--rate", "N:D", "The frame rate as a fraction (25:1, 30000:1001; N/D is read alike).",
              {"30:1", "25:1", "15:1"}, first_run::FrameRate),
        Value("--hold", "S", "Seconds each picture is held (default 5)."),
        Value("--transition", "S", "Seconds each transition lasts (default 2)."),
        Switch("--sequential", "Takes the transition effects in their numbered order."),
        Switch("--random", "Takes the transition effects at random (the default)."),
        Value("--seed", "N", "Repeats a random run: the seed of the effect generator, 0 to 4294967295."),
        Switch("--fit-to-music",
               "Computes the holds so that the slideshow ends when the music ends (the transitions keep their "
               "length; slides with their own hold keep it)."),
        Switch("--beats",
               "Starts every transition on the music's nearest beat, on the first beat of a bar when the holds "
               "are long enough; the average hold stays within 10 % of the chosen one."),
        Default(Choice("--motion", "STYLE",
                       "Pan and zoom over each picture while it is on screen, transitions included: off, zoom-in, "
                       "zoom-out, pan (along the way the picture overflows the frame) or random (one of them with a "
                       "random start and end, repeated by --seed).",
                       {"off", "zoom-in", "zoom-out", "pan", "random"}),
                "off"),
        Value("--zoom", "F", "How far the motion zooms or pans, a factor from 1 to 4 (default 1.15)."),
        Default(Choice("--fit", "FRAMING",
                       "How a picture fills the frame: letterbox (black bars), blur (over a blurred copy of itself) "
                       "or fill (covering the frame, the overflow cropped).",
                       {"letterbox", "blur", "fill"}),
                "letterbox"),
    };
}

std::vector<TUsageOption> RenderOptions() {
    std::vector<TUsageOption> options = SlideshowOptions();
    const TUsageOption output[] = {
        Required(FolderValue("--out-dir", "DIR",
                             "The folder the video is written to, under a fresh name "
                             "(slideshow-_(new).mp4, slideshow-_(new_1).mp4, ...).")),
        Default(Choice("--format", "FORMAT",
                       "The container, and with it the encoders: mp4-h264 and mp4-hevc write H.264 and H.265 in mp4, "
                       "webm-vp9 and webm-av1 VP9 and AV1 in webm, all four at constant quality and played by "
                       "browsers and phones; mp4 and mov write MPEG-4 Part 2, swf and flv Flash video, wmv Windows "
                       "Media. A project's own choice stays unless this option is given.",
                       FormatNames()),
                first_run::FormatOption),
    };
    options.insert(options.begin() + 1, std::begin(output), std::end(output));
    // Without a project, a video people can watch: full HD.
    Named(options, "--size").Default = first_run::FrameSize;
    const TUsageOption more[] = {
        Value("--bitrate", "KBPS",
              "The video bit rate in kbit/s, 1 to 1000000 (default 768); for the H.264, H.265, VP9 and AV1 rows "
              "it replaces constant quality."),
        Value("--crf", "N",
              "Constant quality for the H.264, H.265, VP9 and AV1 rows (lower is better; default per codec)."),
        Default(Choice("--preset", "SPEED", "The encoder's speed for those rows: fast, balanced or a small file.",
                       PresetNames()),
                SpeedPresetName(first_run::Preset)),
        Switch("--hardware-encoder",
               "Tries the VAAPI encoder for H.264 and H.265; without a usable render node the software encoder "
               "runs and one line says why."),
        Switch("--constant-frame-rate",
               "Writes every frame at the frame rate for the H.264, H.265, VP9 and AV1 rows, as video editors "
               "want it; without it a held picture is written once and lasts until the next (a key frame still "
               "starts every 2 s). The other rows always write every frame."),
        FileValue("--audio", "FILE ...",
                  "The soundtrack, encoded with the container's audio codec; skipped with a note when the file "
                  "does not exist. Several files play one after the other in their order (a missing or "
                  "unreadable one then ends the run with its name before the video starts)."),
        Switch("--loop-music", "Repeats the music until the pictures end, with a short crossfade where it starts "
                               "again; the music then ends with the pictures."),
        Value("--fade-in", "S", "Fades the music in over its first S seconds."),
        Value("--fade-out", "S|auto",
              "Fades the music out over S seconds before it ends, at the latest with the pictures; auto fades "
              "over the last transition into black, at least 1 s."),
        Value("--loudness", "LUFS",
              "Brings the whole soundtrack to this integrated loudness (EBU R128), -60 to -5; -16 suits most "
              "players."),
        Switch("--mono", "Encodes the soundtrack with one channel (stereo by default)."),
        Default(Choice("--samplerate", "RATE", "The soundtrack's sample rate; 0 keeps the source's.",
                       {"0", "8000", "11025", "22050", "44100"}),
                "44100"),
        Switch("--break-when-no-pictures", "Ends the run with the pictures even while the soundtrack goes on."),
        Switch("--caption-subtitles", "Writes the captions also as a subtitle stream (mp4 and mov)."),
        Switch("--quiet", "Prints no progress."),
        Value("--progress-every", "S", "Seconds between progress lines (default 5; 0 prints every update)."),
    };
    options.insert(options.end(), std::begin(more), std::end(more));
    return options;
}

std::vector<TUsageOption> FramesOptions() {
    std::vector<TUsageOption> options = SlideshowOptions();
    options.push_back(FileValue("--audio", "FILE ...",
                                "The soundtracks, one after the other, that --fit-to-music and --beats follow."));
    options.push_back(Value("--every", "K", "Writes every K-th frame (default 1); 0 writes none and only counts."));
    options.push_back(FolderValue("-o", "DIR", "The folder the frames are written to as PNG; needed unless --every 0."));
    return options;
}

TProgramUsage MakeUsage() {
    TProgramUsage u;
    u.Program = "pixaroll-cli";
    u.Title = "turn pictures and a soundtrack into a video slideshow, without a window";
    u.Version = PIXAROLL_VERSION;
    u.Description =
        "pixaroll-cli runs the slideshow job of the Zemo Pixaroll window without a window, for batch use and "
        "scripts. Each picture is held for a set time and the next one arrives through one of 176 transition "
        "effects; the frames are encoded with the soundtrack into H.264 or H.265 in mp4, VP9 or AV1 in webm, or the "
        "classic mp4 (MPEG-4 Part 2), swf, flv, wmv and mov. Without a project, render writes H.264 at 1920x1080 "
        "(mp4-h264), a video browsers, phones and players show.\n\n"
        "The FFmpeg libraries are loaded when a command needs them: first from the folder LibAV beside the "
        "program, else from the system.";
    u.Options = {Switch("--help", "Lists the commands and ends."),
                 Switch("--version", "Prints the program's version and ends.")};
    u.ExitStatus = {
        {0, "The command did what was asked."},
        {1, "The command failed: a file could not be read or written, the media libraries could not be loaded, "
            "or the encoder refused the job. The message says why."},
        {2, "The command line was wrong: an unknown command or option, or a value out of range."},
        {130, "Stopped by SIGINT (143 for SIGTERM): what was written so far is kept and playable."},
    };
    u.Sections = {{"Environment", "TMPDIR is where the demo draws its pictures."}};
    u.SeeAlso = {"pixaroll(1)", "ffprobe(1)"};

    u.Commands = {
        {"render", "", TValueKind::None, "Encodes a slideshow into a video file, as the window's Start does.",
         "The video is written under a fresh name in the output folder and its path is printed. A picture that "
         "cannot be read, or a soundtrack that holds no audio, ends the run with a message naming the file; the "
         "video written so far stays playable.",
         RenderOptions(),
         {{"render --pictures a.jpg b.png c.bmp --out-dir ~/Videos --audio music.mp3",
           "Encodes three pictures with a soundtrack into ~/Videos/slideshow-_(new).mp4, H.264 at 1920x1080."},
          {"render --pictures a.jpg b.png --out-dir ~/Videos --format webm-vp9 --size 1280x720 --rate 25:1",
           "Encodes two pictures into a 1280x720 VP9 video in webm."}}},
        {"demo", "DIR", TValueKind::Folder, "Renders a short demo slideshow of four pictures it draws itself.",
         "The same job as render, with a built-in song, into a fresh mp4 in DIR: 1280x720 H.264 with pan and zoom, "
         "captions and holds that end with the song. Prints its path and frame count.",
         {Switch("--quiet", "Prints no progress.")},
         {{"demo /tmp/demo", "Writes /tmp/demo/slideshow-_(new).mp4."}}},
        {"info", "FILE", TValueKind::File, "Prints the information text of a media file.",
         "The same text the window's log shows for each input: container, duration, streams and their codecs.",
         {},
         {{"info clip.mp4", "Describes clip.mp4."}}},
        {"frames", "", TValueKind::None, "Draws the slideshow's frames without encoding them.",
         "Writes every K-th frame as a PNG picture and prints the frame count and the transition effects used.",
         FramesOptions(),
         {{"frames --pictures a.jpg b.bmp --size 640x480 --seed 7 --every 30 -o /tmp/frames",
           "Writes every 30th frame to /tmp/frames and names the effects a run with seed 7 takes."}}},
        {"transcode", "IN OUT [-option value ...]", TValueKind::File,
         "Runs the transcoding engine on ordinary files.",
         "The options are the engine's option names (-vcodec, -s, -r, -vb, -acodec, -ss, -map, -vhook, -vpre, "
         "...) and apply to the output. The classic shape takes input options before each -i IN, several inputs, "
         "and several outputs, each named after its own options.",
         {FileValue("-i", "IN", "An input file, in the classic shape; the options before it apply to it."),
          Switch("-join", "Makes the output named after it of every input in turn."),
          Switch("--quiet", "Prints no progress.")},
         {{"transcode clip.avi clip.mp4 -vcodec mpeg4 -s 320x240 -r 25 -vb 768000",
           "Converts clip.avi into a 320x240 MPEG-4 video."},
          {"transcode -i part1.mp4 -i part2.mp4 -join whole.mp4", "Joins two videos into one."}}},
        {"effect", "", TValueKind::None, "Draws one transition frame between two pictures.",
         "The frame is drawn exactly as the slideshow draws it: the old picture, then the row's effect at that "
         "percent. Both pictures must have the same size.",
         {Required(Value("--row", "N", "The effect row, 1 to 176.")),
          Required(Value("--percent", "P", "How far the transition has gone, 0 to 100.")),
          Required(FileValue("--from", "OLD", "The outgoing picture.")),
          Required(FileValue("--to", "NEW", "The incoming picture.")),
          Required(FileValue("-o", "OUT", "The frame's file (PNG, JPEG or BMP by its extension).")),
          Value("--seed", "S", "The seed the effect receives (default 0).")},
         {{"effect --row 12 --percent 40 --from old.bmp --to new.bmp -o frame.png",
           "Draws row 12 at 40 percent into frame.png."}}},
        {"effect-sheet", "", TValueKind::None, "Draws a contact sheet of transition effects.",
         "Each chosen row is drawn at the chosen percents between two built-in pictures, every cell labelled "
         "with its row number and percent.",
         {Required(FileValue("-o", "SHEET", "The sheet's file.")),
          Value("--size", "WxH", "The size of one cell (default 160x120)."),
          Value("--rows", "LIST", "The effect rows, as numbers and ranges: 1-57,129-136 (default all)."),
          Value("--percents", "LIST", "The percents drawn for each row (default 25,50,75).")},
         {{"effect-sheet -o sheet.png --rows 1-8 --percents 50", "Draws rows 1 to 8 half way."}}},
        {"libs", "", TValueKind::None, "Loads the media libraries and prints their versions and files.",
         "A library that cannot be loaded, lacks a function or is of another major version than the program was "
         "built for ends the command with the reason and exit status 1.",
         {FolderValue("--path", "DIR", "Looks for the libraries in DIR first (default: LibAV beside the program).")},
         {{"libs", "Shows which FFmpeg libraries the encoder would use."}}},
        {"project", "show FILE | save FILE", TValueKind::File, "Shows or writes a slideshow project.",
         "project show prints the slides, soundtracks and output choices a .pixaroll project holds and lists its "
         "missing files. project save writes a project from the options render takes (the slides from "
         "--pictures, --pictures-from or another --project).",
         [] {
             // save takes the options of render, none of them required; show takes --relink.
             std::vector<TUsageOption> options = RenderOptions();
             for (TUsageOption& option : options)
                 option.Required = false;
             return options;
         }(),
         {{"project show holiday.pixaroll --relink ~/Pictures/holiday",
           "Shows the project and where its missing pictures would be found."},
          {"project save holiday.pixaroll --pictures a.jpg b.jpg --hold 3 --format mp4-hevc",
           "Writes a project of two slides."}},
         {"show", "save"}},
        {"version", "", TValueKind::None, "Prints the program's version.", "", {},
         {{"version", "Prints \"Zemo Pixaroll\" and the version."}}},
    };
    return u;
}

} // namespace

const TProgramUsage& CliUsage() {
    static const TProgramUsage usage = MakeUsage();
    return usage;
}

bool CommandTakesOption(const std::string& command, const std::string& option) {
    for (const TUsageCommand& c : CliUsage().Commands)
        if (c.Name == command)
            for (const TUsageOption& o : c.Options)
                if (o.Name == option)
                    return true;
    return false;
}
