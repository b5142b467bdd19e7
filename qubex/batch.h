#pragma once
// qubex without a window: generate a cloud (or load a code) and write it out.
#include <iosfwd>
#include <string>
#include <vector>

namespace qubex {

// True when the arguments ask for batch work (--export-ply, --save-code, --help, --version
// or anything that starts with "--"); a lone file name opens the window.
bool isBatchInvocation(const std::vector<std::string>& args);

// Runs the batch job; returns the exit status (0 done, 1 failed, 2 bad arguments).
int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string usageText();

} // namespace qubex
