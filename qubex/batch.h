#pragma once
// qubex without a window: generate a cloud (or load a code) and write it out.
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qubex {

// One option of the command line. The parser accepts exactly the options of commandOptions()
// and takes a value exactly when `value` names one, and --help prints one line per entry, so
// the two cannot tell different stories.
struct CommandOption {
    std::string_view name;  // "--export-ply"
    std::string_view alias; // "-h", or empty
    std::string_view value; // "OUT.ply", or empty for a switch
    std::string_view help;  // the one line --help shows
    // False for --measure-fps: it opens the window, so it never selects batch mode.
    bool batch = true;
};

std::span<const CommandOption> commandOptions();
// The option spelled `arg` (its name or its alias), or null.
const CommandOption* findOption(std::string_view arg);

// True when a batch option (--export-ply, --save-code, --seed, --help, --version) comes before
// any "--". Everything else belongs to the window: Qt's own options (-platform, -style) and
// file names, even one that starts with "-".
bool isBatchInvocation(const std::vector<std::string>& args);

// The file names among the arguments Qt leaves to the window: all of them but the first "--",
// which only ends the options.
std::vector<std::string> windowFileArguments(std::vector<std::string> args);

// Runs the batch job; returns the exit status (0 done, 1 failed, 2 bad arguments).
int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string usageText();
std::string helpText();

} // namespace qubex
