#pragma once
// qubex without a window: generate a cloud (or load a code) and write it out.
#include <iosfwd>
#include <string>
#include <vector>

namespace qubex {

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

} // namespace qubex
