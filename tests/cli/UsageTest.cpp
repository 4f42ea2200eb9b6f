// What pixaroll-cli says it takes, against what it reads: every subcommand's --help, its manual
// page and its parser name the same options, and the completion script offers them.

#include "app/settings/ProgramUsage.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using TOptionSet = std::set<std::string>;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The subcommands "pixaroll-cli --help" lists.
std::vector<std::string> Commands() {
    const TRunResult r = RunCli("--help");
    EXPECT_EQ(r.Status, 0) << r.Output;
    std::vector<std::string> out;
    bool inList = false;
    for (const std::string& line : Lines(r.Output)) {
        if (line == "commands:")
            inList = true;
        else if (line.empty())
            inList = false;
        else if (inList)
            out.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return out;
}

// Option name -> "takes a value", from the options section of a help text.
std::map<std::string, bool> HelpOptions(const std::string& help) {
    std::map<std::string, bool> out;
    bool inOptions = false;
    for (const std::string& line : Lines(help)) {
        if (line == "options:")
            inOptions = true;
        else if (line.empty() || line.back() == ':')
            inOptions = false;
        else if (inOptions && line.rfind("  -", 0) == 0) {
            const std::size_t end = line.find(' ', 2);
            out[line.substr(2, end == std::string::npos ? std::string::npos : end - 2)] = end != std::string::npos;
        }
    }
    return out;
}

TOptionSet Names(const std::map<std::string, bool>& options) {
    TOptionSet out;
    for (const auto& [name, value] : options)
        out.insert(name);
    return out;
}

std::string Unroff(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\f[BIR])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// Section (the ".SS" command, or "" for the program's own OPTIONS) -> the options listed there.
std::map<std::string, TOptionSet> ManOptions(const std::string& page) {
    std::map<std::string, TOptionSet> out;
    std::string section;
    bool listing = false, afterTp = false;
    for (const std::string& line : Lines(page)) {
        if (line.rfind(".SS ", 0) == 0) {
            section = Unroff(line.substr(4));
            section.erase(std::remove(section.begin(), section.end(), '"'), section.end());
            listing = true;
        } else if (line.rfind(".SH ", 0) == 0) {
            listing = line == ".SH COMMANDS" || line == ".SH OPTIONS";
            section.clear();
        } else if (line == ".TP") {
            afterTp = true;
            continue;
        } else if (afterTp && listing) {
            const std::string text = Unroff(line);
            out[section].insert(text.substr(0, text.find(' ')));
        }
        afterTp = false;
    }
    return out;
}

std::string WindowProgram() { return fs::path(CliPath()).parent_path().parent_path() / "app/window/pixaroll"; }

TEST(CliUsage, EveryCommandsHelpAndTheManualPageListTheSameOptions) {
    const std::vector<std::string> commands = Commands();
    ASSERT_GE(commands.size(), 9u);
    const TRunResult man = RunCli("--manpage");
    ASSERT_EQ(man.Status, 0) << man.Output;
    const auto manual = ManOptions(man.Output);
    for (const std::string& command : commands) {
        const TRunResult help = RunCli(command + " --help");
        ASSERT_EQ(help.Status, 0) << command << ": " << help.Output;
        EXPECT_NE(help.Output.find("usage: pixaroll-cli " + command), std::string::npos) << help.Output;
        const TOptionSet listed = Names(HelpOptions(help.Output));
        EXPECT_TRUE(listed.count("--help")) << command;
        ASSERT_TRUE(manual.count(command)) << "the manual page has no section for " << command;
        EXPECT_EQ(manual.at(command), listed) << command;
        // "help CMD" is the same text.
        EXPECT_EQ(RunCli("help " + command).Output, help.Output) << command;
    }
    EXPECT_EQ(manual.size(), commands.size() + 1) << "the manual page has a command the list has not";
    EXPECT_EQ(manual.at(""), Names(HelpOptions(RunCli("--help").Output)));

    // The window program: its --help and its page.
    const TRunResult windowHelp = RunShell(WindowProgram() + " --help");
    ASSERT_EQ(windowHelp.Status, 0) << windowHelp.Output;
    const TRunResult windowMan = RunShell(WindowProgram() + " --manpage");
    ASSERT_EQ(windowMan.Status, 0) << windowMan.Output;
    const TOptionSet windowOptions = Names(HelpOptions(windowHelp.Output));
    EXPECT_TRUE(windowOptions.count("--version") && windowOptions.count("--help"));
    EXPECT_EQ(ManOptions(windowMan.Output).at(""), windowOptions);
}

TEST(CliUsage, ManualPagesHaveTheirSectionsAndAnExamplePerCommand) {
    const std::string page = RunCli("--manpage").Output;
    for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH COMMANDS",
                                ".SH \"EXIT STATUS\"", ".SH EXAMPLES", ".SH \"SEE ALSO\""})
        EXPECT_NE(page.find(std::string("\n") + section + "\n"), std::string::npos) << section;
    const std::size_t examples = page.find(".SH EXAMPLES");
    ASSERT_NE(examples, std::string::npos);
    const std::string examplesText = Unroff(page.substr(examples));
    for (const std::string& command : Commands())
        EXPECT_TRUE(examplesText.find("\npixaroll-cli " + command + " ") != std::string::npos ||
                    examplesText.find("\npixaroll-cli " + command + "\n") != std::string::npos)
            << "no example of " << command;
    EXPECT_NE(page.find(PIXAROLL_VERSION), std::string::npos);
    // groff reads it without a complaint.
    TTempDir dir;
    std::ofstream(dir.File("pixaroll-cli.1")) << page;
    const TRunResult check = RunShell("LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z " + dir.File("pixaroll-cli.1"));
    EXPECT_EQ(check.Status, 0);
    EXPECT_EQ(check.Output, "");
}

// Each option a command's help lists is one its parser reads: given first, followed by a word
// no command takes, the complaint is about that word (or the option's value), never the option.
TEST(CliUsage, EveryListedOptionIsReadByItsCommand) {
    const std::string sentinel = "--no-such-option-anywhere";
    for (const std::string& command : Commands()) {
        for (const auto& [option, takesValue] : HelpOptions(RunCli(command + " --help").Output)) {
            if (option == "--help")
                continue;
            const TRunResult r = RunCli(command + " " + option + (takesValue ? " 1 " : " ") + sentinel);
            EXPECT_EQ(r.Output.find("unknown option " + option + "\n"), std::string::npos)
                << command << " " << option << ": " << r.Output;
            EXPECT_EQ(r.Output.find("unexpected argument \"" + option + "\""), std::string::npos)
                << command << " " << option << ": " << r.Output;
            EXPECT_NE(r.Status, 0) << command << " " << option << ": " << r.Output;
        }
        const TRunResult unknown = RunCli(command + " " + sentinel);
        EXPECT_EQ(unknown.Status, 2) << command << ": " << unknown.Output;
    }
}

// The other way round: every option name a command's source compares an argument with is in
// that command's help. A new option read without a row in the usage table fails here.
TEST(CliUsage, EveryOptionTheParsersCompareWithIsListed) {
    const fs::path sources = fs::path(PIXAROLL_SOURCE_DIR) / "cli";
    const std::regex compared(R"([=!]= *"(--?[A-Za-z0-9][-A-Za-z0-9_]*)\")");
    const std::vector<std::string> commands = Commands();
    int files = 0, found = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(sources)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Cmd", 0) != 0 || entry.path().extension() != ".cpp")
            continue;
        ++files;
        // CmdEffectSheet.cpp runs "effect-sheet".
        std::string command;
        for (char c : name.substr(3, name.size() - 7))
            command += std::isupper(static_cast<unsigned char>(c))
                           ? (command.empty() ? "" : "-") + std::string(1, char(std::tolower(c)))
                           : std::string(1, c);
        ASSERT_NE(std::find(commands.begin(), commands.end(), command), commands.end())
            << name << " has no command \"" << command << "\" in the usage table (cli/Usage.cpp)";
        const TOptionSet listed = Names(HelpOptions(RunCli(command + " --help").Output));
        std::ifstream in(entry.path());
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::sregex_iterator m(source.begin(), source.end(), compared), end; m != end; ++m, ++found)
            EXPECT_TRUE(listed.count((*m)[1])) << name << " reads " << (*m)[1] << ", which the usage table of "
                                               << command << " (cli/Usage.cpp) does not list";
    }
    EXPECT_GE(files, 8);
    EXPECT_GE(found, 30) << "the search for option names in the sources finds too few";
}

TEST(CliUsage, VersionHelpAndWrongCommandLines) {
    for (const char* args : {"--version", "version"}) {
        const TRunResult r = RunCli(args);
        EXPECT_EQ(r.Status, 0);
        EXPECT_EQ(r.Output, std::string("Zemo Pixaroll ") + PIXAROLL_VERSION + "\n") << args;
    }
    const TRunResult window = RunShell(WindowProgram() + " --version");
    EXPECT_EQ(window.Status, 0);
    EXPECT_EQ(window.Output, std::string("Zemo Pixaroll ") + PIXAROLL_VERSION + "\n");
    const TRunResult windowWrong = RunShell("QT_QPA_PLATFORM=offscreen " + WindowProgram() + " --no-such-option");
    EXPECT_EQ(windowWrong.Status, 2) << windowWrong.Output;
    EXPECT_NE(windowWrong.Output.find("unknown option --no-such-option"), std::string::npos) << windowWrong.Output;

    const TRunResult unknown = RunCli("no-such-command");
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_NE(unknown.Output.find("commands:"), std::string::npos);
    EXPECT_EQ(RunCli("help no-such-command").Status, 2);
    // A usage error names the command's usage and where its help is.
    const TRunResult bad = RunCli("render --pictures a.jpg --size 0x1");
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Output.find("usage: pixaroll-cli render --out-dir DIR [--pictures P1 P2 ...]"), std::string::npos) << bad.Output;
    EXPECT_NE(bad.Output.find("pixaroll-cli render --help"), std::string::npos) << bad.Output;
}

class CliCompletion : public ::testing::Test {
protected:
    void SetUp() override {
        script_ = dir_.File("pixaroll-cli.bash");
        const TRunResult r = RunCli("--bash-completion");
        ASSERT_EQ(r.Status, 0) << r.Output;
        std::ofstream(script_) << r.Output;
        fs::create_directory(dir_.Path() / "work");
        fs::create_directory(dir_.Path() / "work/shots");
        std::ofstream(dir_.Path() / "work/holiday.jpg") << "x";
        std::ofstream(dir_.Path() / "work/music.mp3") << "x";
    }
    // The words bash would offer with the cursor at the end of words (the last one being typed),
    // sorted and space-separated.
    std::string Complete(const std::vector<std::string>& words) {
        std::string array;
        for (const std::string& w : words)
            array += " '" + w + "'";
        const std::string script = "cd '" + (dir_.Path() / "work").string() + "' && source '" + script_ +
                                   "' && COMP_WORDS=(" + array + ") && COMP_CWORD=" +
                                   std::to_string(words.size() - 1) +
                                   " && _pixaroll_cli && printf '%s\\n' \"${COMPREPLY[@]}\" | sort | tr '\\n' ' '";
        std::ofstream(dir_.File("run.sh")) << script;
        TRunResult r = RunShell("bash " + dir_.File("run.sh"));
        EXPECT_EQ(r.Status, 0) << r.Output;
        while (!r.Output.empty() && (r.Output.back() == '\n' || r.Output.back() == ' '))
            r.Output.pop_back();
        return r.Output;
    }
    TTempDir dir_;
    std::string script_;
};

TEST_F(CliCompletion, OffersCommandsOptionsFormatsAndFiles) {
    EXPECT_EQ(Complete({"pixaroll-cli", "ef"}), "effect effect-sheet");
    EXPECT_EQ(Complete({"pixaroll-cli", "--v"}), "--version");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--for"}), "--format");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--format", ""}),
              "flv mov mp4 mp4-h264 mp4-hevc swf webm-av1 webm-vp9 wmv");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--samplerate", "2"}), "22050");
    // A list option takes file names until the next option.
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--pictures", "a.jpg", "h"}), "holiday.jpg");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--pictures", "a.jpg", "--mono", ""}),
              Complete({"pixaroll-cli", "render", "--"}));
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--audio", "m"}), "music.mp3");
    // Folders where a folder is wanted.
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--out-dir", ""}), "shots");
    EXPECT_EQ(Complete({"pixaroll-cli", "demo", ""}), "shots");
    EXPECT_EQ(Complete({"pixaroll-cli", "info", ""}), "holiday.jpg music.mp3 shots");
    // A value that is no file gets nothing.
    EXPECT_EQ(Complete({"pixaroll-cli", "effect", "--row", ""}), "");
    EXPECT_EQ(Complete({"pixaroll-cli", "frames", "--ev"}), "--every");
}

TEST_F(CliCompletion, OffersEveryRowSizeFramingMotionPresetAndTheProjectVerbs) {
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--format", "mp"}), "mp4 mp4-h264 mp4-hevc");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--format", "m"}), "mov mp4 mp4-h264 mp4-hevc");
    EXPECT_EQ(Complete({"pixaroll-cli", "project", "save", "x.pixaroll", "--format", "w"}), "webm-av1 webm-vp9 wmv");
    // Every size of the window's list, for render as for frames; a size being typed narrows them.
    const std::string sizes = Complete({"pixaroll-cli", "render", "--size", ""});
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), ' ') + 1, 22) << sizes;
    for (const char* size : {"128x96", "320x240", "1280x720", "1920x1080", "3840x2160", "1080x1920", "1080x1080"})
        EXPECT_NE((" " + sizes + " ").find(std::string(" ") + size + " "), std::string::npos) << size << ": " << sizes;
    EXPECT_EQ(Complete({"pixaroll-cli", "frames", "--size", "19"}), "1920x1080");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--size", "12"}), "1280x720 1280x960 128x96");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--rate", ""}), "15:1 25:1 30:1");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--fit", ""}), "blur fill letterbox");
    EXPECT_EQ(Complete({"pixaroll-cli", "frames", "--motion", "z"}), "zoom-in zoom-out");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--motion", ""}), "off pan random zoom-in zoom-out");
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--preset", ""}), "balanced fast small");
    // The project verbs first, then the project file, then the options.
    EXPECT_EQ(Complete({"pixaroll-cli", "project", ""}), "save show");
    EXPECT_EQ(Complete({"pixaroll-cli", "project", "sh"}), "show");
    EXPECT_EQ(Complete({"pixaroll-cli", "project", "--he"}), "--help");
    EXPECT_EQ(Complete({"pixaroll-cli", "project", "show", ""}), "holiday.jpg music.mp3 shots");
    EXPECT_EQ(Complete({"pixaroll-cli", "project", "save", "x.pixaroll", "--rel"}), "--relink");
}

// The values --help names for an option are the words its completion offers: both are made from
// the usage table. The manual page says the same.
TEST(CliUsage, HelpAndManualPageListEachChoicesValuesAndDefault) {
    // Command -> option -> the words the completion script offers after it.
    std::map<std::string, std::map<std::string, std::string>> offered;
    const std::regex command(R"(^    ([a-z][-a-z]*)\)$)"), arm(R"re(^ +(--?[-a-z]+)\) COMPREPLY=\(\$\(compgen -W "([^"]*)")re");
    std::string current;
    for (const std::string& line : Lines(RunCli("--bash-completion").Output)) {
        std::smatch m;
        if (std::regex_match(line, m, command))
            current = m[1];
        else if (std::regex_search(line, m, arm) && !current.empty())
            offered[current][m[1]] = m[2];
    }
    ASSERT_TRUE(offered.count("render") && offered.count("frames") && offered.count("project"));
    const std::string man = Unroff(RunCli("--manpage").Output);
    int choices = 0;
    for (const auto& [name, options] : offered) {
        // Each option's paragraph of the help, joined into one line.
        std::map<std::string, std::string> paragraphs;
        std::string option;
        for (const std::string& line : Lines(RunCli(name + " --help").Output)) {
            if (line.rfind("  -", 0) == 0)
                option = line.substr(2, line.find(' ', 2) - 2);
            else if (line.rfind("      ", 0) == 0 && !option.empty())
                paragraphs[option] += (paragraphs[option].empty() ? "" : " ") + line.substr(6);
            else
                option.clear();
        }
        for (const auto& [option, words] : options) {
            ++choices;
            std::string listed;
            for (std::size_t at = 0; at <= words.size();) {
                const std::size_t space = std::min(words.find(' ', at), words.size());
                listed += (listed.empty() ? "" : ", ") + words.substr(at, space - at);
                at = space + 1;
            }
            EXPECT_NE(paragraphs[option].find("Values: " + listed), std::string::npos)
                << name << " " << option << ": " << paragraphs[option];
            EXPECT_NE(man.find("Values: " + listed), std::string::npos) << name << " " << option;
        }
    }
    EXPECT_GE(choices, 20);

    // The defaults, as a newcomer's render and project save get them.
    const std::string render = RunCli("render --help").Output;
    const std::string frames = RunCli("frames --help").Output;
    auto paragraph = [](const std::string& help, const std::string& option) {
        const std::size_t at = help.find("\n  " + option + " ");
        const std::size_t end = help.find("\n  -", at + 1);
        std::string text = help.substr(at, end - at);
        std::replace(text.begin(), text.end(), '\n', ' ');
        return std::regex_replace(text, std::regex(" +"), " ");
    };
    EXPECT_NE(paragraph(render, "--format").find("wmv, mov, mp4-h264, mp4-hevc, webm-vp9, webm-av1. Default: mp4-h264."),
              std::string::npos) << paragraph(render, "--format");
    EXPECT_NE(paragraph(render, "--size").find("(or another WxH). Default: 1920x1080."), std::string::npos);
    EXPECT_NE(paragraph(RunCli("project --help").Output, "--size").find("Default: 1920x1080."), std::string::npos);
    EXPECT_NE(paragraph(frames, "--size").find("Default: 320x240."), std::string::npos) << paragraph(frames, "--size");
    EXPECT_NE(paragraph(render, "--preset").find("Values: fast, balanced, small. Default: balanced."), std::string::npos);
    EXPECT_NE(paragraph(render, "--fit").find("Default: letterbox."), std::string::npos);
    EXPECT_NE(paragraph(render, "--motion").find("Default: off."), std::string::npos);
    EXPECT_NE(paragraph(render, "--samplerate").find("Default: 44100."), std::string::npos);
    EXPECT_NE(paragraph(render, "--rate").find("Default: 30:1."), std::string::npos);
    // The description names today's rows.
    EXPECT_NE(man.find("H.264 or H.265 in mp4, VP9 or AV1 in webm"), std::string::npos);
}

TEST(CliUsage, MistypedCommandsOptionsAndVerbsNameTheNearest) {
    const struct {
        const char* Line;
        const char* Said;
    } cases[] = {
        {"--pictres x", "unknown option \"--pictres\"; did you mean --pictures? (an option of render, frames, project)"},
        {"rendr", "unknown command \"rendr\"; did you mean render?"},
        {"help rendr", "unknown command \"rendr\"; did you mean render?"},
        {"efect-sheet -o x.png", "did you mean effect-sheet?"},
        {"render --pictres a.jpg --out-dir o", "render: unknown option --pictres; did you mean --pictures?\n"},
        {"render --out o", "did you mean --out-dir?"},
        {"render --fade 2", "did you mean --fade-in or --fade-out?"},
        {"render --hlod 2", "did you mean --hold?"},
        {"frames --evry 2", "did you mean --every?"},
        {"demo --quite out", "demo: unknown option --quite; did you mean --quiet?"},
        {"project shw a.pixaroll", "unknown project command shw (show or save; did you mean show?)"},
        {"project save a.pixaroll --pictres a.jpg", "did you mean --pictures?"},
    };
    for (const auto& c : cases) {
        const TRunResult r = RunCli(c.Line);
        EXPECT_EQ(r.Status, 2) << c.Line << ": " << r.Output;
        EXPECT_NE(r.Output.find(c.Said), std::string::npos) << c.Line << ": " << r.Output;
        // The nearest word, not the whole list of commands.
        EXPECT_EQ(r.Output.find("commands:"), std::string::npos) << c.Line << ": " << r.Output;
    }
    // Nothing close: no guess.
    for (const char* line : {"render --zzzzzz", "xyz", "--foo", "frames --ab"}) {
        const TRunResult r = RunCli(line);
        EXPECT_EQ(r.Status, 2) << line;
        EXPECT_EQ(r.Output.find("did you mean"), std::string::npos) << line << ": " << r.Output;
    }
}

TEST(ProgramUsageText, NearestNamesAllowFewMistakesAndNameTies) {
    const std::vector<std::string> options = {"--hold", "--help", "--fade-in", "--fade-out", "--pictures",
                                              "--pictures-from", "--out-dir", "--sort", "--seed"};
    EXPECT_EQ(NearestNames("--hlod", options), std::vector<std::string>{"--hold"}); // two letters swapped
    EXPECT_EQ(NearestNames("--HOLD", options), std::vector<std::string>{}) << "the same name is no suggestion";
    EXPECT_EQ(NearestNames("--Hodl", options), std::vector<std::string>{"--hold"});
    EXPECT_EQ(NearestNames("--picturs", options), std::vector<std::string>{"--pictures"});
    EXPECT_EQ(NearestNames("--pict", options), (std::vector<std::string>{"--pictures", "--pictures-from"}));
    EXPECT_EQ(NearestNames("--fade", options), (std::vector<std::string>{"--fade-in", "--fade-out"}));
    EXPECT_EQ(NearestNames("--out", options), std::vector<std::string>{"--out-dir"}); // its start, not --sort
    EXPECT_EQ(NearestNames("--se", options), std::vector<std::string>{}); // too short to guess from
    EXPECT_EQ(NearestNames("--sed", options), std::vector<std::string>{"--seed"});
    // Longer words allow more mistakes: two in six letters, one in five.
    EXPECT_EQ(NearestNames("--pcturs", options), std::vector<std::string>{"--pictures"});
    EXPECT_EQ(NearestNames("--pcurs", options), std::vector<std::string>{});
    EXPECT_EQ(DidYouMean({"a"}), "did you mean a?");
    EXPECT_EQ(DidYouMean({"a", "b", "c"}), "did you mean a, b or c?");
    EXPECT_EQ(DidYouMean({}), "");
}

TEST(ProgramUsageText, RoffEscapesWhatWouldBeMarkup) {
    EXPECT_EQ(RoffText(".hidden\n'quote"), "\\&.hidden\n\\&'quote");
    EXPECT_EQ(RoffText("a\\b"), "a\\eb");
    EXPECT_EQ(RoffText("use --seed or -o, frame-size"), "use \\-\\-seed or \\-o, frame-size");
}

} // namespace
