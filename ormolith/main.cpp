// Ormolith: batch actions run without a display; the window comes with the application code.
#include <iostream>
#include <string>
#include <vector>

#include "batch.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto cmd = ormolith::parseCommandLine(args, error);
    if (!cmd) {
        std::cerr << "Ormolith: " << error << "\n" << ormolith::usageLine() << "\n";
        return 2;
    }
    if (cmd->action == ormolith::CommandLine::Action::window) {
        // The window is not part of this build yet.
        std::cerr << "Ormolith: this build has no window yet; use the batch options\n"
                  << ormolith::usageLine() << "\n";
        return 2;
    }
    return ormolith::runBatch(*cmd, std::cout, std::cerr);
}
