#pragma once
// setup's command line. One table of options drives the parser and --help, so the help cannot
// list an option the parser refuses or leave out one it takes.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

struct CommandOption {
    std::string_view name; // "--unattended"
    std::string_view help; // the one line --help shows
};

std::span<const CommandOption> commandOptions();

struct CommandLine {
    enum class Action { run, help, version };
    Action action = Action::run;
    bool unattended = false;
};

// The arguments after the program name. Empty with `error` set for bad arguments (the caller
// prints the error and usageLine() and exits with 2). --help and --version win over the rest.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

std::string usageLine();
std::string helpText();

} // namespace setup
