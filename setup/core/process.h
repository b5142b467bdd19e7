#pragma once
// Starting the programs named in the description file: one command-line text, split the way
// programs written for Windows expect, started without waiting for it.
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace setup {

// Splits a command line by the C runtime's rules: blanks separate arguments; double quotes
// group; 2n backslashes before a quote give n backslashes and the quote toggles grouping;
// 2n+1 give n backslashes and a literal quote; other backslashes are literal; inside quotes
// a doubled quote is a literal quote. The program name (the first argument) is taken up to
// the closing quote or the first blank, with no backslash processing.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Where a program named without a directory is looked for: the setup program's own
// directory comes first, as the Windows process service searches it first.
struct ProgramSearch {
    std::string sourceDir;
    std::string systemDir;
    std::string windowsDir;
};

// The program file to run for `name`: a name with a "/" (a "\" counts as one) is used as is,
// made absolute against the current directory; a bare name is looked for as an executable in
// the source, current, system and Windows directories and then in PATH. Empty when not found.
std::string resolveProgram(std::string_view name, const ProgramSearch& search);

// Children that setup started and has not yet collected. Setup does not wait for them, but
// one that ends while setup still shows a box must not linger as a zombie.
class ChildReaper {
public:
    void adopt(pid_t pid) { children_.push_back(pid); }
    // Collects every child that has ended; never blocks.
    void reap();
    std::size_t pending() const { return children_.size(); }

private:
    std::vector<pid_t> children_;
};

struct StartResult {
    pid_t pid = -1; // the child, when started
    int error = 0;  // errno of the failure otherwise
};

// Splits, resolves and starts `commandLine` with `workingDir` as the child's current
// directory ("" is the root, as a directory without its trailing separator). The new process
// inherits no descriptors beyond the standard ones.
StartResult startProgram(std::string_view commandLine, const std::string& workingDir,
                         const ProgramSearch& search);

} // namespace setup
