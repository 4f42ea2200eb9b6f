// pixaroll-cli: the slideshow job without a window, for batch use, scripts, tests and benchmarks.

#include "app/settings/QtMessages.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Usage.h"

#include <algorithm>
#include <cstring>
#include <iostream>

int CmdVersion(const TCommandArgs& args) {
    if (!args.empty())
        throw TUsageError("unexpected argument \"" + args.front() + "\"");
    std::cout << "Zemo Pixaroll " << PIXAROLL_VERSION << "\n";
    return 0;
}

namespace {
// What runs each subcommand of the usage table.
const TCommand Commands[] = {
    {"version", CmdVersion},     {"render", CmdRender}, {"demo", CmdDemo},     {"info", CmdInfo},
    {"frames", CmdFrames},       {"transcode", CmdTranscode}, {"effect", CmdEffect},
    {"effect-sheet", CmdEffectSheet}, {"libs", CmdLibs}, {"project", CmdProject},
};

const TCommand* FindRunner(const std::string& name) {
    for (const TCommand& c : Commands)
        if (name == c.Name)
            return &c;
    return nullptr;
}

// The nearest command to a mistyped one; for a word that looks like an option, the nearest option
// of the program or of any command, with the commands that take it.
std::string CommandSuggestion(const std::string& word) {
    const TProgramUsage& usage = CliUsage();
    std::vector<std::string> names;
    if (word.rfind("-", 0) != 0) {
        for (const TUsageCommand& c : usage.Commands)
            names.push_back(c.Name);
        return DidYouMean(NearestNames(word, names));
    }
    for (const TUsageOption& o : usage.Options)
        names.push_back(o.Name);
    for (const TUsageCommand& c : usage.Commands)
        for (const TUsageOption& o : c.Options)
            names.push_back(o.Name);
    const std::vector<std::string> nearest = NearestNames(word, names);
    if (nearest.size() != 1)
        return DidYouMean(nearest);
    std::string takers;
    for (const TUsageCommand& c : usage.Commands)
        if (FindOption(c, nearest[0]))
            takers += (takers.empty() ? "" : ", ") + c.Name;
    return DidYouMean(nearest) + (takers.empty() ? "" : " (an option of " + takers + ")");
}

int UnknownCommand(const std::string& name) {
    const bool option = name.rfind("-", 0) == 0;
    std::cerr << "pixaroll-cli: unknown " << (option ? "option" : "command") << " \"" << name << "\"";
    // Close to a word the program knows: that word, not the whole list.
    if (const std::string suggestion = CommandSuggestion(name); !suggestion.empty()) {
        std::cerr << "; " << suggestion << "\n(\"pixaroll-cli --help\" lists the commands)\n";
        return 2;
    }
    std::cerr << "\n\n" << ProgramHelpText(CliUsage());
    return 2;
}

// The words the program answers before any subcommand; false when argv[1] is none of them.
bool ProgramOption(const std::string& word, int argc, char** argv, int& status) {
    const TProgramUsage& usage = CliUsage();
    status = 0;
    if (word == "--help" || (word == "help" && argc == 2)) {
        std::cout << ProgramHelpText(usage);
    } else if (word == "help") {
        const TUsageCommand* command = FindCommand(usage, argv[2]);
        if (!command)
            status = UnknownCommand(argv[2]);
        else
            std::cout << CommandHelpText(usage, *command);
    } else if (word == "--version") {
        status = CmdVersion({});
    } else if (word == "--manpage") { // the build makes the manual page with it
        std::cout << ManPage(usage);
    } else if (word == "--bash-completion") { // and the completion script
        std::cout << BashCompletion(usage);
    } else {
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    RouteQtMessagesToLogger();
    if (argc < 2) {
        std::cout << ProgramHelpText(CliUsage());
        return 0;
    }
    int status = 0;
    if (ProgramOption(argv[1], argc, argv, status))
        return status;
    const TUsageCommand* usage = FindCommand(CliUsage(), argv[1]);
    const TCommand* runner = FindRunner(argv[1]);
    if (!usage || !runner)
        return UnknownCommand(argv[1]);
    const TCommandArgs args(argv + 2, argv + argc);
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::cout << CommandHelpText(CliUsage(), *usage);
        return 0;
    }
    try {
        return runner->Run(args);
    } catch (const TUsageError& e) {
        std::cerr << "pixaroll-cli " << runner->Name << ": " << e.what();
        if (const auto* unknown = dynamic_cast<const TUnknownOption*>(&e)) {
            std::vector<std::string> names;
            for (const TUsageOption& o : ListedOptions(*usage))
                names.push_back(o.Name);
            if (const std::string suggestion = DidYouMean(NearestNames(unknown->Option(), names)); !suggestion.empty())
                std::cerr << "; " << suggestion;
        }
        std::cerr << "\n";
        std::cerr << "usage: pixaroll-cli " << SynopsisText(*usage) << "\n";
        std::cerr << "(\"pixaroll-cli " << runner->Name << " --help\" explains the options)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "pixaroll-cli " << runner->Name << ": " << e.what() << "\n";
        return 1;
    }
}
