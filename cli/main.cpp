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
    {"libs", "libs [--path DIR]", CmdLibs},
    {"transcode", "transcode IN OUT [-option value ...]", CmdTranscode},
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
