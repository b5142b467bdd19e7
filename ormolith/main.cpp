// Ormolith: batch actions run without a display; the window comes with the application code.
#include <iostream>
#include <string>
#include <vector>

#include "batch.h"
#include "mjpeg_encoder.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!ormolith::isBatchCommandLine(args)) {
        // The window is not part of this build yet. (When it is, its arguments are parsed
        // after Qt has taken out its own, such as -platform.)
        std::cerr << "Ormolith: this build has no window yet; use the batch options\n"
                  << ormolith::usageLine() << "\n";
        return 2;
    }
    std::string error;
    const auto cmd = ormolith::parseCommandLine(args, error);
    if (!cmd) {
        std::cerr << "Ormolith: " << error << "\n" << ormolith::usageLine() << "\n";
        return 2;
    }
    return ormolith::runBatch(*cmd, std::cout, std::cerr, ormolith::makeMjpegEncoder);
}
