// Ormolith: batch actions run without a display; without them the window opens.
#include <iostream>
#include <string>
#include <vector>

#include "app.h"
#include "batch.h"
#include "mjpeg_encoder.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The window's arguments (documents, Qt's own options) are read after Qt took out its own.
    if (!ormolith::isBatchCommandLine(args))
        return ormolith::runApplication(argc, argv);
    std::string error;
    const auto cmd = ormolith::parseCommandLine(args, error);
    if (!cmd) {
        std::cerr << "Ormolith: " << error << "\n" << ormolith::usageLine() << "\n";
        return 2;
    }
    return ormolith::runBatch(*cmd, std::cout, std::cerr, ormolith::makeMjpegEncoder);
}
