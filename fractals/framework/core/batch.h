#pragma once
// The command line without a window: render a document to a bitmap or save it, then exit.
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fractals {

// One option of the command line that every kind shares (the kinds' own are their
// BatchOptions). The parser accepts exactly these and the kinds' options and reads a value
// exactly when `value` names one, and --help prints one line per entry, so the help cannot
// drift from what the parser does.
struct CommandOption {
    std::string_view name;  // "--render"
    std::string_view alias; // "-h", or empty
    std::string_view value; // "OUT.bmp", or empty for a switch
    std::string_view help;  // the one line --help shows
};

std::span<const CommandOption> commandOptions();
// The shared option spelled `arg` (its name or its alias), or null; "--" is one of them.
const CommandOption* findOption(std::string_view arg);

// True when the arguments ask for batch work (or help/version) rather than the window.
bool isBatchCommandLine(const std::vector<std::string>& args);

// Runs it; returns the exit code (0 done, 1 failed with the message on err, 2 bad arguments).
int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             bool errIsTerminal);

// The usage lines printed with a bad command line.
std::string batchUsage();
// What --help prints: the synopsis, every option on its own line, the types and examples.
std::string batchHelp();

} // namespace fractals
