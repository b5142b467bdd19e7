#include "batch.h"

#include "files/document.h"
#include "files/ply_file.h"
#include "files/text_io.h"
#include "suite_version.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <ostream>
#include <utility>

namespace qubex {

namespace {

class StreamMessages final : public MessageSink {
public:
    explicit StreamMessages(std::ostream& err) : err_(err) {}
    void showMessage(const std::string& text, const std::string& title) override
    {
        err_ << title << ": " << text << '\n';
    }

private:
    std::ostream& err_;
};

struct Options {
    std::optional<std::string> plyOut;
    std::optional<std::string> codeOut;
    std::optional<unsigned> seed;
    std::optional<std::string> codeIn;
    bool help = false;
    bool version = false;
};

std::optional<unsigned> parseSeed(const std::string& text)
{
    std::string_view rest(text);
    const auto value = scanInteger(rest);
    if (!value || !rest.empty() || *value < 0 || *value > std::numeric_limits<unsigned>::max())
        return std::nullopt;
    return static_cast<unsigned>(*value);
}

constexpr CommandOption kOptions[] = {
    {"--export-ply", "", "OUT.ply", "write the point cloud as an ASCII PLY file"},
    {"--save-code", "", "OUT.qbx", "write the code (random, or the one loaded) to a code file"},
    {"--seed", "", "N", "seed the random generator (default: the current time)"},
    {"--measure-fps", "", "[SECONDS] [POINTS]",
     "first only: open the window and print its frames per second (default 5 s)", false},
    {"--help", "-h", "", "show this help and exit"},
    {"--version", "", "", "show the version and exit"},
    {"--", "", "", "end the options (for a code file whose name starts with \"-\")", false},
};

// Returns an error text for bad arguments.
std::optional<std::string> parse(const std::vector<std::string>& args, Options& o)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded) {
            if (o.codeIn)
                return "only one code file can be given";
            o.codeIn = a;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const CommandOption* option = findOption(a);
        if (!option) {
            if (a.starts_with("-") && a != "-")
                return "unknown option " + a;
            if (o.codeIn)
                return "only one code file can be given";
            o.codeIn = a;
            continue;
        }
        // The table says which options take a value, so the help line and the parser agree.
        std::string value;
        if (option->batch && !option->value.empty()) {
            if (i + 1 >= args.size())
                return option->name == "--seed" ? std::string("--seed needs a number")
                                                : a + " needs a file name";
            value = args[++i];
        }
        if (option->name == "--help") {
            o.help = true;
        } else if (option->name == "--version") {
            o.version = true;
        } else if (option->name == "--export-ply") {
            o.plyOut = value;
        } else if (option->name == "--save-code") {
            o.codeOut = value;
        } else if (option->name == "--seed") {
            o.seed = parseSeed(value);
            if (!o.seed)
                return "--seed needs a whole number from 0 to 4294967295, not \"" + value + "\"";
        } else if (option->name == "--measure-fps") {
            return "--measure-fps opens the window and must come first";
        } else {
            return "option " + a + " is listed but not handled";
        }
    }
    if (!o.help && !o.version && !o.plyOut && !o.codeOut)
        return "nothing to do: give --export-ply or --save-code";
    return std::nullopt;
}

std::string optionColumn(const CommandOption& option)
{
    std::string text = option.alias.empty() ? "" : std::string(option.alias) + ", ";
    text += option.name;
    if (!option.value.empty())
        text += " " + std::string(option.value);
    return text;
}

std::string twoColumns(std::string_view left, std::string_view right, std::size_t width)
{
    return "  " + std::string(left) + std::string(width - left.size() + 2, ' ') +
           std::string(right) + "\n";
}

} // namespace

// The forms of the command line, after the program name; the usage line of an error and the
// synopsis of --help are both made from them.
constexpr std::string_view kForms[] = {
    "[FILE.qbx]",
    "--export-ply OUT.ply [--seed N] [FILE.qbx]",
    "--save-code OUT.qbx [--seed N] [FILE.qbx]",
    "--measure-fps [SECONDS] [POINTS]",
};

std::string usageText()
{
    std::string text;
    for (const std::string_view form : kForms)
        text += (text.empty() ? "usage: qubex " : "       qubex ") + std::string(form) + "\n";
    return text;
}

std::span<const CommandOption> commandOptions()
{
    return kOptions;
}

const CommandOption* findOption(std::string_view arg)
{
    for (const CommandOption& option : kOptions)
        if (arg == option.name || (!option.alias.empty() && arg == option.alias))
            return &option;
    return nullptr;
}

std::string helpText()
{
    // "Usage:" and "or:" are what help2man recognises as the synopsis of the manual page, and a
    // line of an "Examples:" block with the text two blanks after the command a tagged example.
    std::string text;
    for (const std::string_view form : kForms)
        text += (text.empty() ? "Usage: qubex " : "  or:  qubex ") + std::string(form) + "\n";
    text += "\n"
            "Shows a random three-dimensional IFS as a cloud of points. Without options qubex\n"
            "opens its window (and the code file, if one is given); the options below do the\n"
            "work without one. The settings file qubex.ini in $WINDIR (else $XDG_CONFIG_HOME,\n"
            "else ~/.config) supplies the matrix length, iteration, autosize and autocenter.\n"
            "\n"
            "Exit status: 0 done, 1 failed (the message is printed), 2 bad arguments.\n"
            "\n"
            "Options:\n";
    std::size_t width = 0;
    for (const CommandOption& option : kOptions)
        width = std::max(width, optionColumn(option).size());
    for (const CommandOption& option : kOptions)
        text += twoColumns(optionColumn(option), option.help, width);
    const std::pair<std::string_view, std::string_view> examples[] = {
        {"qubex --seed 7 --save-code random.qbx", "draw a random code from seed 7 and save it"},
        {"qubex --export-ply cloud.ply random.qbx", "write the points of that code as PLY"},
    };
    width = 0;
    for (const auto& [command, what] : examples)
        width = std::max(width, command.size());
    text += "\nExamples:\n";
    for (const auto& [command, what] : examples)
        text += twoColumns(command, what, width);
    return text;
}

bool isBatchInvocation(const std::vector<std::string>& args)
{
    for (const auto& a : args) {
        if (a == "--")
            return false;
        if (const CommandOption* option = findOption(a); option && option->batch)
            return true;
    }
    return false;
}

std::vector<std::string> windowFileArguments(std::vector<std::string> args)
{
    const auto end = std::find(args.begin(), args.end(), "--");
    if (end != args.end())
        args.erase(end);
    return args;
}

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (const auto problem = parse(args, o)) {
        err << "qubex: " << *problem << '\n' << usageText();
        return 2;
    }
    if (o.help) {
        out << helpText();
        return 0;
    }
    if (o.version) {
        out << "qubex " << SUITE_VERSION << '\n';
        return 0;
    }

    CRandSource random;
    StreamMessages messages(err);
    Document document(random, messages);
    document.applySettings(readSettings(settingsFilePath()));
    std::srand(o.seed ? *o.seed : static_cast<unsigned>(std::time(nullptr)));
    document.newProbabilities();
    document.newMatrices();
    if (o.codeIn && document.loadCode(*o.codeIn) != CodeReadStatus::Ok)
        return 1;
    document.generatePoints();

    if (o.plyOut) {
        if (!writePlyFile(*o.plyOut, document.cloud())) {
            messages.showMessage(kCannotCreateMessage, kTitle);
            return 1;
        }
        out << "qubex: wrote " << document.cloud().count << " points to " << *o.plyOut << '\n';
    }
    if (o.codeOut) {
        if (!document.saveCode(*o.codeOut))
            return 1;
        out << "qubex: wrote a code of " << document.code().mapCount() << " maps to " << *o.codeOut
            << '\n';
    }
    return 0;
}

} // namespace qubex
