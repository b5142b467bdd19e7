#pragma once
// The command line without a window: render a document to a bitmap or save it, then exit.
#include <iosfwd>
#include <string>
#include <vector>

namespace fractals {

// True when the arguments ask for batch work (or help/version) rather than the window.
bool isBatchCommandLine(const std::vector<std::string>& args);

// Runs it; returns the exit code (0 done, 1 failed with the message on err, 2 bad arguments).
int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             bool errIsTerminal);

std::string batchUsage();

} // namespace fractals
