#include "app/settings/ProgramUsage.h"

#include <algorithm>
#include <cctype>
#include <sstream>

const TUsageOption HelpOption{"--help", "", "Shows this help and ends.", TValueKind::None, {}, false};

const TUsageCommand* FindCommand(const TProgramUsage& usage, const std::string& name) {
    for (const TUsageCommand& c : usage.Commands)
        if (c.Name == name)
            return &c;
    return nullptr;
}

const TUsageOption* FindOption(const TUsageCommand& command, const std::string& name) {
    for (const TUsageOption& o : command.Options)
        if (o.Name == name)
            return &o;
    return nullptr;
}

std::vector<TUsageOption> ListedOptions(const TUsageCommand& command) {
    std::vector<TUsageOption> out = command.Options;
    if (!FindOption(command, HelpOption.Name))
        out.push_back(HelpOption);
    return out;
}

std::string ValuesText(const TUsageOption& option) {
    std::string out;
    if (!option.Choices.empty()) {
        out = "Values: ";
        for (std::size_t i = 0; i < option.Choices.size(); ++i)
            out += (i ? ", " : "") + option.Choices[i];
        out += option.OtherValues ? " (or another " + option.Value + ")." : ".";
    }
    if (!option.Default.empty())
        out += std::string(out.empty() ? "" : " ") + "Default: " + option.Default + ".";
    return out;
}

namespace {

// Optimal string alignment: insertions, deletions, changes and swaps of neighbours count one.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::vector<std::string> NearestNames(const std::string& word, const std::vector<std::string>& names) {
    const std::string typed = Lower(word);
    // The letters after the dashes decide how many mistakes a word may hold and still be meant.
    const std::size_t letters = typed.size() - std::min(typed.find_first_not_of('-'), typed.size());
    std::vector<std::string> out;
    auto add = [&out](const std::string& name) {
        if (std::find(out.begin(), out.end(), name) == out.end())
            out.push_back(name);
    };
    // The start of a name, long enough to mean something: "--out" for "--out-dir".
    if (letters >= 3) {
        for (const std::string& name : names)
            if (Lower(name).rfind(typed, 0) == 0 && Lower(name) != typed)
                add(name);
        if (!out.empty() && out.size() <= 3)
            return out;
        out.clear(); // the start of many names means none of them
    }
    const std::size_t allowed = std::clamp<std::size_t>(letters / 3, 1, 3);
    std::size_t best = allowed;
    for (const std::string& name : names) {
        if (Lower(name) == typed)
            continue;
        const std::size_t distance = EditDistance(typed, Lower(name));
        if (distance < best) {
            best = distance;
            out.clear();
        }
        if (distance == best)
            add(name);
    }
    return out;
}

std::string DidYouMean(const std::vector<std::string>& names) {
    if (names.empty())
        return {};
    std::string out = "did you mean ";
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return out + "?";
}

namespace {

std::string OptionText(const TUsageOption& o) { return o.Value.empty() ? o.Name : o.Name + " " + o.Value; }

// The paragraphs of a text: separated by empty lines.
std::vector<std::string> Paragraphs(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(" \t") == std::string::npos) {
            if (!current.empty())
                out.push_back(current);
            current.clear();
        } else {
            current += (current.empty() ? "" : " ") + line;
        }
    }
    if (!current.empty())
        out.push_back(current);
    return out;
}

// Words of a paragraph wrapped to lines of at most width characters, each with the indent.
std::string Wrap(const std::string& text, int indent, std::size_t width = 79) {
    std::string out, line;
    const std::string pad(std::size_t(indent), ' ');
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        // A label stays with what it labels ("Values: a,"): a line ending in a colon reads as a
        // heading of what follows.
        for (std::string next; word.back() == ':' && in >> next;)
            word += " " + next;
        if (!line.empty() && pad.size() + line.size() + 1 + word.size() > width) {
            out += pad + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        out += pad + line + "\n";
    return out;
}

// An option's text with its values and default.
std::string WithValues(const TUsageOption& o) {
    const std::string values = ValuesText(o);
    return values.empty() ? o.Text : o.Text + " " + values;
}

bool SingleCommand(const TProgramUsage& usage) { return usage.Commands.size() == 1 && usage.Commands[0].Name.empty(); }

// A program without subcommands keeps its options with the program.
TUsageCommand Effective(const TProgramUsage& usage, const TUsageCommand& command) {
    TUsageCommand out = command;
    if (SingleCommand(usage))
        out.Options = usage.Options;
    return out;
}

// The usage line, wrapped under the program's name.
std::string UsageLine(const TProgramUsage& usage, const TUsageCommand& command) {
    const std::string head = "usage: " + usage.Program + " ";
    const std::string wrapped = Wrap(SynopsisText(Effective(usage, command)), int(head.size()));
    return head + wrapped.substr(head.size());
}

} // namespace

std::string SynopsisText(const TUsageCommand& command) {
    std::string out = command.Name;
    auto add = [&out](const std::string& part) { out += (out.empty() ? "" : " ") + part; };
    if (!command.Operands.empty())
        add(command.Operands);
    std::vector<const TUsageOption*> optional;
    for (const TUsageOption& o : command.Options)
        if (o.Required)
            add(OptionText(o));
        else
            optional.push_back(&o);
    for (const TUsageOption* o : optional)
        add("[" + OptionText(*o) + "]");
    return out;
}

std::string ProgramHelpText(const TProgramUsage& usage) {
    if (SingleCommand(usage))
        return CommandHelpText(usage, usage.Commands[0]);
    std::string out = "usage: " + usage.Program + " COMMAND [ARGS]\n\n";
    out += Wrap(usage.Title, 0) + "\ncommands:\n";
    std::size_t width = 0;
    for (const TUsageCommand& c : usage.Commands)
        width = std::max(width, c.Name.size());
    for (const TUsageCommand& c : usage.Commands)
        out += "  " + c.Name + std::string(width - c.Name.size() + 2, ' ') + c.Summary + "\n";
    out += "\noptions:\n";
    for (const TUsageOption& o : usage.Options)
        out += "  " + OptionText(o) + "\n" + Wrap(WithValues(o), 6);
    out += "\n\"" + usage.Program + " COMMAND --help\" lists the options of a command.\n";
    return out;
}

std::string CommandHelpText(const TProgramUsage& usage, const TUsageCommand& command) {
    std::string out = UsageLine(usage, command) + "\n";
    out += Wrap(command.Summary.empty() ? usage.Title : command.Summary, 0);
    for (const std::string& p : Paragraphs(command.Description))
        out += "\n" + Wrap(p, 0);
    const std::vector<TUsageOption> options = ListedOptions(Effective(usage, command));
    out += "\noptions:\n";
    for (const TUsageOption& o : options)
        out += "  " + OptionText(o) + "\n" + Wrap(WithValues(o), 6);
    if (!command.Examples.empty()) {
        out += "\nexamples:\n";
        for (const TUsageExample& e : command.Examples)
            out += "  " + usage.Program + " " + e.Line + "\n" + Wrap(e.Text, 6);
    }
    return out;
}

std::string RoffText(const std::string& text) {
    std::string out;
    bool lineStart = true;
    char previous = ' ';
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        // A minus sign where a user types one (an option, a range); a hyphen inside a word.
        else if (c == '-' && (std::isspace(static_cast<unsigned char>(previous)) || previous == '-' ||
                              previous == '[' || previous == '(' || previous == '"' || previous == '|'))
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
        previous = c;
    }
    return out;
}

namespace {

// Text a user types: every minus sign is one.
std::string RoffLiteral(const std::string& text) {
    std::string out;
    for (char c : RoffText(text))
        out += c == '-' && (out.empty() || out.back() != '\\') ? std::string("\\-") : std::string(1, c);
    return out;
}

std::string RoffOption(const TUsageOption& o) {
    std::string out = "\\fB" + RoffLiteral(o.Name) + "\\fR";
    if (!o.Value.empty())
        out += " \\fI" + RoffLiteral(o.Value) + "\\fR";
    return out;
}

std::string RoffParagraphs(const std::string& text) {
    std::string out;
    for (const std::string& p : Paragraphs(text))
        out += (out.empty() ? "" : ".PP\n") + RoffText(p) + "\n";
    return out;
}

std::string RoffOptions(const std::vector<TUsageOption>& options) {
    std::string out;
    for (const TUsageOption& o : options)
        out += ".TP\n" + RoffOption(o) + "\n" + RoffText(WithValues(o)) + "\n";
    return out;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string ManPage(const TProgramUsage& usage) {
    std::string out = ".TH " + RoffLiteral(Upper(usage.Program)) + " 1 \"\" \"Zemo Pixaroll " + usage.Version +
                      "\" \"User Commands\"\n";
    out += ".nh\n.ad l\n"; // option names are not hyphenated, lines not stretched
    out += ".SH NAME\n" + RoffLiteral(usage.Program) + " \\- " + RoffText(usage.Title) + "\n";
    out += ".SH SYNOPSIS\n";
    if (SingleCommand(usage)) {
        out += ".B " + RoffLiteral(usage.Program) + "\n" + RoffLiteral(SynopsisText(Effective(usage, usage.Commands[0]))) + "\n";
    } else {
        out += ".B " + RoffLiteral(usage.Program) + "\n\\fICOMMAND\\fR [\\fIARGS\\fR]\n";
        for (const TUsageOption& o : usage.Options)
            out += ".br\n.B " + RoffLiteral(usage.Program) + "\n" + RoffOption(o) + "\n";
    }
    out += ".SH DESCRIPTION\n" + RoffParagraphs(usage.Description);
    if (SingleCommand(usage)) {
        const TUsageCommand& only = usage.Commands[0];
        if (!only.Description.empty())
            out += ".PP\n" + RoffParagraphs(only.Description);
        out += ".SH OPTIONS\n" + RoffOptions(ListedOptions(Effective(usage, only)));
    } else {
        out += ".SH COMMANDS\n";
        for (const TUsageCommand& c : usage.Commands) {
            out += ".SS \"" + RoffLiteral(c.Name) + "\"\n";
            out += ".B " + RoffLiteral(usage.Program) + "\n" + RoffLiteral(SynopsisText(c)) + "\n.PP\n";
            out += RoffText(c.Summary) + "\n";
            if (!c.Description.empty())
                out += ".PP\n" + RoffParagraphs(c.Description);
            out += RoffOptions(ListedOptions(c));
        }
        out += ".SH OPTIONS\n" + RoffOptions(usage.Options);
    }
    if (!usage.ExitStatus.empty()) {
        out += ".SH \"EXIT STATUS\"\n";
        for (const auto& [status, text] : usage.ExitStatus)
            out += ".TP\n.B " + std::to_string(status) + "\n" + RoffText(text) + "\n";
    }
    bool examples = false;
    for (const TUsageCommand& c : usage.Commands)
        for (const TUsageExample& e : c.Examples) {
            out += examples ? "" : ".SH EXAMPLES\n";
            examples = true;
            out += ".PP\n" + RoffText(e.Text) + "\n.PP\n.RS\n.nf\n" + RoffLiteral(usage.Program + " " + e.Line) +
                   "\n.fi\n.RE\n";
        }
    for (const auto& [title, text] : usage.Sections)
        out += ".SH \"" + Upper(title) + "\"\n" + RoffParagraphs(text);
    if (!usage.SeeAlso.empty()) {
        out += ".SH \"SEE ALSO\"\n";
        for (std::size_t i = 0; i < usage.SeeAlso.size(); ++i) {
            const std::string& ref = usage.SeeAlso[i];
            const std::size_t paren = ref.find('(');
            out += ".BR " + RoffLiteral(ref.substr(0, paren)) + " " + ref.substr(paren) +
                   (i + 1 < usage.SeeAlso.size() ? " ," : "") + "\n";
        }
    }
    return out;
}

namespace {

std::string ShellName(const std::string& program) {
    std::string out = "_";
    for (char c : program)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}

std::string Join(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

// The case arms that complete the value after an option, for one command's options.
std::string ValueArms(const std::vector<TUsageOption>& options, const std::string& indent) {
    std::string out;
    for (const TUsageOption& o : options) {
        if (o.Value.empty())
            continue;
        out += indent + o.Name + ") ";
        switch (o.Kind) {
        case TValueKind::Choice:
            out += "COMPREPLY=($(compgen -W \"" + Join(o.Choices) + "\" -- \"$cur\"))";
            break;
        case TValueKind::Folder:
            out += "_pixaroll_files -d";
            break;
        case TValueKind::File:
            out += "_pixaroll_files -f";
            break;
        default:
            out += ":";
            break;
        }
        out += "; return ;;\n";
    }
    return out;
}

std::string OptionWords(const std::vector<TUsageOption>& options) {
    std::vector<std::string> words;
    for (const TUsageOption& o : options)
        words.push_back(o.Name);
    return Join(words);
}

// The value kind of the words after an option that takes a list (its value ends in "...").
std::string ListArms(const std::vector<TUsageOption>& options, const std::string& indent) {
    std::string out;
    for (const TUsageOption& o : options)
        if (o.Value.size() > 3 && o.Value.compare(o.Value.size() - 3, 3, "...") == 0)
            out += indent + o.Name + ") list=" + (o.Kind == TValueKind::Folder ? "-d" : "-f") + " ;;\n";
    return out;
}

std::string CommandBody(const TUsageCommand& c, const std::vector<TUsageOption>& options, const std::string& indent) {
    std::string out;
    if (!c.Verbs.empty()) // the first word after the command is one of its verbs
        out += indent + "if ((cword == first + 1)) && [[ $cur != -* ]]; then\n" + indent +
               "    COMPREPLY=($(compgen -W \"" + Join(c.Verbs) + "\" -- \"$cur\"))\n" + indent + "    return\n" + indent +
               "fi\n";
    out += indent + "case \"$prev\" in\n" + ValueArms(options, indent + "    ") + indent + "esac\n";
    out += indent + "opts=\"" + OptionWords(options) + "\"\n";
    out += indent + "operand=" + (c.OperandKind == TValueKind::Folder ? "-d" : c.OperandKind == TValueKind::None ? "" : "-f") + "\n";
    const std::string lists = ListArms(options, indent + "        ");
    if (!lists.empty()) {
        // Words after a list option belong to it until the next option.
        out += indent + "local i list=\n";
        out += indent + "for ((i = cword - 1; i > first; i--)); do\n";
        out += indent + "    case \"${COMP_WORDS[i]}\" in\n" + lists + indent + "        -*) break ;;\n" +
               indent + "    esac\n";
        out += indent + "    [[ -n $list ]] && break\n";
        out += indent + "done\n";
        out += indent + "[[ -n $list ]] && operand=$list\n";
    }
    return out;
}

} // namespace

std::string BashCompletion(const TProgramUsage& usage) {
    const std::string fn = ShellName(usage.Program);
    std::string out = "# bash completion for " + usage.Program + "\n";
    out += "_pixaroll_files() {\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    local IFS=$'\\n'\n"
           "    COMPREPLY=($(compgen \"$1\" -- \"$cur\"))\n"
           "}\n\n";
    out += fn + "() {\n";
    out += "    local cword=$COMP_CWORD cur=${COMP_WORDS[COMP_CWORD]} prev= opts= operand= first=0\n";
    out += "    ((cword > 0)) && prev=${COMP_WORDS[cword - 1]}\n";
    if (SingleCommand(usage)) {
        const TUsageCommand only = Effective(usage, usage.Commands[0]);
        out += CommandBody(only, ListedOptions(only), "    ");
    } else {
        std::vector<std::string> names;
        for (const TUsageCommand& c : usage.Commands)
            names.push_back(c.Name);
        out += "    if ((cword == 1)); then\n";
        out += "        COMPREPLY=($(compgen -W \"" + Join(names) + " " + OptionWords(usage.Options) +
               "\" -- \"$cur\"))\n        return\n    fi\n";
        out += "    first=1\n";
        out += "    case \"${COMP_WORDS[1]}\" in\n";
        for (const TUsageCommand& c : usage.Commands) {
            out += "    " + c.Name + ")\n";
            out += CommandBody(c, ListedOptions(c), "        ");
            out += "        ;;\n";
        }
        out += "    *) return ;;\n    esac\n";
    }
    out += "    if [[ $cur == -* || -z $operand ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"))\n"
           "    else\n"
           "        _pixaroll_files \"$operand\"\n"
           "    fi\n";
    out += "}\ncomplete -F " + fn + " " + usage.Program + "\n";
    return out;
}
