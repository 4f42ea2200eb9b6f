// What pixaroll-cli says it takes, against what it reads: every subcommand's --help, its manual
// page and its parser name the same options, and the completion script offers them.

#include "app/settings/ProgramUsage.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(Complete({"pixaroll-cli", "render", "--format", ""}), "flv mov mp4 swf wmv");
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

TEST(ProgramUsageText, RoffEscapesWhatWouldBeMarkup) {
    EXPECT_EQ(RoffText(".hidden\n'quote"), "\\&.hidden\n\\&'quote");
    EXPECT_EQ(RoffText("a\\b"), "a\\eb");
    EXPECT_EQ(RoffText("use --seed or -o, frame-size"), "use \\-\\-seed or \\-o, frame-size");
}

} // namespace
