#pragma once
// What a program's command line takes, written down once: the table every front end reads its
// --help text, its manual page and its shell completion from, so the three cannot disagree.

#include <string>
#include <utility>
#include <vector>

// What a value (or an operand) is, for completion: file names, folder names or fixed words.
enum class TValueKind { None, Word, File, Folder, Choice };

struct TUsageOption {
    // The later members are left out of most rows: a constructor instead of an aggregate.
    TUsageOption(std::string name = {}, std::string value = {}, std::string text = {}, TValueKind kind = TValueKind::None,
                 std::vector<std::string> choices = {}, bool required = false)
        : Name(std::move(name)), Value(std::move(value)), Text(std::move(text)), Kind(kind), Choices(std::move(choices)),
          Required(required) {}
    std::string Name;  // "--size", "-o"
    std::string Value; // what the value looks like ("WxH", "P1 P2 ..."); empty for a switch
    std::string Text;  // one sentence or two
    TValueKind Kind = TValueKind::None;
    std::vector<std::string> Choices; // the words a Choice value takes
    bool Required = false;
    std::string Default; // the value taken when the option is not given; empty: none to name
    bool OtherValues = false; // the Choices are the usual values: others of the Value's form are taken too
};

struct TUsageExample {
    std::string Line; // the arguments after the program's name
    std::string Text; // what it does
};

struct TUsageCommand {
    TUsageCommand(std::string name = {}, std::string operands = {}, TValueKind operandKind = TValueKind::None,
                  std::string summary = {}, std::string description = {}, std::vector<TUsageOption> options = {},
                  std::vector<TUsageExample> examples = {}, std::vector<std::string> verbs = {})
        : Name(std::move(name)), Operands(std::move(operands)), OperandKind(operandKind), Summary(std::move(summary)),
          Description(std::move(description)), Options(std::move(options)), Examples(std::move(examples)),
          Verbs(std::move(verbs)) {}
    std::string Name;     // the subcommand; empty for a program without subcommands
    std::string Operands; // "DIR", "FILE ..." before the options; empty when none
    TValueKind OperandKind = TValueKind::None;
    std::string Summary;     // one line, for the command list
    std::string Description; // paragraphs separated by blank lines
    std::vector<TUsageOption> Options;
    std::vector<TUsageExample> Examples;
    std::vector<std::string> Verbs; // the words the operands start with ("show", "save"), for completion
};

struct TProgramUsage {
    std::string Program; // "pixaroll-cli"
    std::string Title;   // the manual page's one-line name
    std::string Description;
    std::vector<TUsageOption> Options; // taken before any subcommand (or the only ones)
    std::vector<TUsageCommand> Commands;
    std::vector<std::pair<int, std::string>> ExitStatus;
    std::vector<std::pair<std::string, std::string>> Sections; // more manual sections: title, text
    std::vector<std::string> SeeAlso;                           // "pixaroll(1)"
    std::string Version;
};

// "--help": every command takes it, and it is listed with each command's own options.
extern const TUsageOption HelpOption;

const TUsageCommand* FindCommand(const TProgramUsage& usage, const std::string& name);
const TUsageOption* FindOption(const TUsageCommand& command, const std::string& name);
// The command's options as --help lists them: its own, then --help.
std::vector<TUsageOption> ListedOptions(const TUsageCommand& command);

// The sentence --help and the manual page add to an option's text: its values and its default
// ("Values: fast, balanced, small. Default: balanced."); empty when it names neither.
std::string ValuesText(const TUsageOption& option);

// The names closest to a mistyped word, in their order: the names it is the start of, when it is
// long enough to mean something and starts at most three; else those within a small edit
// distance (a letter missing, added, changed or two swapped count one each; a longer word allows
// more, at most three). Empty when none is close.
std::vector<std::string> NearestNames(const std::string& word, const std::vector<std::string>& names);
// "did you mean --pictures?", "did you mean --fade-in or --fade-out?"; empty for no names.
std::string DidYouMean(const std::vector<std::string>& names);

// "render --pictures P1 P2 ... --out-dir DIR [--format FORMAT] ...": the operands, the
// required options bare, the others in brackets.
std::string SynopsisText(const TUsageCommand& command);
// The list of subcommands with their summaries, and the program-wide options.
std::string ProgramHelpText(const TProgramUsage& usage);
// One command's usage line, description, options and examples.
std::string CommandHelpText(const TProgramUsage& usage, const TUsageCommand& command);
// The manual page in roff (man(7)) markup, section 1.
std::string ManPage(const TProgramUsage& usage);
// A bash completion script for the program: subcommands, options, option values, file names.
std::string BashCompletion(const TProgramUsage& usage);

// Text made safe for roff: backslashes and minus signs escaped, control characters at the start
// of a line neutralised.
std::string RoffText(const std::string& text);
