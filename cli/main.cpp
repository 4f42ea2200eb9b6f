// pixaroll-cli: the slideshow job without a window, for batch use, scripts, tests and benchmarks.

#include "cli/Args.h"
#include "cli/Commands.h"

#include <cstring>
#include <iostream>

int CmdVersion(const TCommandArgs&) {
    std::cout << "Zemo Pixaroll " << PIXAROLL_VERSION << "\n";
    return 0;
}

namespace {
const TCommand Commands[] = {
    {"version", "version", CmdVersion},
    {"render", "render (--pictures P1 P2 ... | --pictures-from LISTFILE | --project FILE [--relink DIR]) --out-dir DIR "
               "[--sort name|date] [--captions-date-taken] [--caption-subtitles] [--format mp4|swf|flv|wmv|mov] [--size WxH] "
               "[--rate N:D] [--bitrate KBPS] [--hold S] [--transition S] [--sequential | --random | --seed N] "
               "[--audio FILE] [--mono] [--samplerate 0|8000|11025|22050|44100] [--break-when-no-pictures] [--quiet] [--progress-every S]",
     CmdRender},
    {"demo", "demo DIR [--quiet]", CmdDemo},
    {"info", "info FILE", CmdInfo},
    {"frames",
     "frames (--pictures P1 P2 ... | --pictures-from LISTFILE | --project FILE [--relink DIR]) [--sort name|date] "
     "[--captions-date-taken] [--size WxH] [--rate N:D] [--hold S] [--transition S] "
     "[--sequential | --random | --seed N] [--every K] -o DIR",
     CmdFrames},
    {"transcode", "transcode IN OUT [-option value ...] | transcode [options] -i IN ... [options] OUT ... [--quiet]",
     CmdTranscode},
    {"effect", "effect --row N --percent P --from OLD --to NEW -o OUT [--seed S]", CmdEffect},
    {"effect-sheet", "effect-sheet -o SHEET [--size WxH] [--rows LIST] [--percents LIST]", CmdEffectSheet},
    {"libs", "libs [--path DIR]", CmdLibs},
    {"project", "project show FILE [--relink DIR] | project save FILE [the options of render]", CmdProject},
};

void PrintUsage(std::ostream& out) {
    out << "usage: pixaroll-cli COMMAND [ARGS]\n\ncommands:\n";
    for (const TCommand& c : Commands)
        out << "  " << c.Synopsis << "\n";
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage(std::cout);
        return 0;
    }
    for (const TCommand& c : Commands) {
        if (std::strcmp(argv[1], c.Name) != 0)
            continue;
        try {
            return c.Run(TCommandArgs(argv + 2, argv + argc));
        } catch (const TUsageError& e) {
            std::cerr << "pixaroll-cli " << c.Name << ": " << e.what() << "\n";
            std::cerr << "usage: pixaroll-cli " << c.Synopsis << "\n";
            return 2;
        } catch (const std::exception& e) {
            std::cerr << "pixaroll-cli " << c.Name << ": " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "pixaroll-cli: unknown command \"" << argv[1] << "\"\n";
    PrintUsage(std::cerr);
    return 2;
}
