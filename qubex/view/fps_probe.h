#pragma once
// `qubex --measure-fps [SECONDS] [ITERATION]`: spins the default window and reports how many
// frames per second it draws. Used by the benchmark script under xvfb-run.
#include <iosfwd>
#include <string>
#include <vector>

namespace qubex {

class TForm1;

int measureFramesPerSecond(TForm1& window, const std::vector<std::string>& args, std::ostream& out);

} // namespace qubex
