#include "command_line.h"

#include <algorithm>
#include <utility>

namespace setup {

namespace {

constexpr CommandOption kOptions[] = {
    {"--unattended", "no window and no dialogs: messages go to stderr, a file that cannot be "
                     "copied is skipped (Ignore), a program that cannot start ends the starting "
                     "(Cancel)"},
    {"--help", "show this help and exit"},
    {"--version", "show the version and exit"},
    {"--", "end the options (setup takes no other arguments)"},
};

std::string twoColumns(std::string_view left, std::string_view right, std::size_t width)
{
    return "  " + std::string(left) + std::string(width - std::min(width, left.size()) + 2, ' ') +
           std::string(right) + "\n";
}

} // namespace

std::span<const CommandOption> commandOptions()
{
    return kOptions;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error)
{
    CommandLine cmd;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        const auto option =
            std::find_if(std::begin(kOptions), std::end(kOptions),
                         [&](const CommandOption& o) { return !optionsEnded && arg == o.name; });
        if (option == std::end(kOptions)) {
            error = "unknown argument '" + arg + "'";
            return std::nullopt;
        }
        const std::string_view name = option->name;
        if (name == "--help") {
            cmd.action = CommandLine::Action::help;
            return cmd;
        } else if (name == "--version") {
            cmd.action = CommandLine::Action::version;
            return cmd;
        } else if (name == "--unattended") {
            cmd.unattended = true;
        } else if (name == "--") {
            optionsEnded = true;
        } else {
            error = "option " + arg + " is listed but not handled";
            return std::nullopt;
        }
    }
    return cmd;
}

std::string usageLine()
{
    return "usage: setup [--unattended] [--help] [--version]";
}

std::string helpText()
{
    // "Usage:" is what help2man recognises as the synopsis of the manual page, and a line of an
    // "Examples:" block with the text two blanks after the command a tagged example.
    std::string text =
        "Usage: setup [--unattended]\n"
        "  or:  setup --help | --version\n"
        "\n"
        "Installs every file that \"setup.inf\" in this program's directory lists and then\n"
        "starts the programs it names. In the description file %SourceDir% is this\n"
        "program's directory, %WindowsDir% is $WINDIR (else $XDG_CONFIG_HOME, else\n"
        "~/.config) and %SystemDir% is $SYSTEMDIR (else ~/.local/lib).\n"
        "\n"
        "Exit status: 0 when the run ends (also after skipped files), 2 on bad arguments or\n"
        "when there is no display for the window.\n"
        "\n"
        "Options:\n";
    std::size_t width = 0;
    for (const CommandOption& option : kOptions)
        width = std::max(width, option.name.size());
    for (const CommandOption& option : kOptions)
        text += twoColumns(option.name, option.help, width);
    const std::pair<std::string_view, std::string_view> examples[] = {
        {"setup", "install with the wait window and message boxes"},
        {"setup --unattended", "install without a display, for example over ssh"},
    };
    width = 0;
    for (const auto& [command, what] : examples)
        width = std::max(width, command.size());
    text += "\nExamples:\n";
    for (const auto& [command, what] : examples)
        text += twoColumns(command, what, width);
    return text;
}

} // namespace setup
