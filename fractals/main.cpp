// fractals: without batch options the window program, with them the headless renderer.
#include "app.h"
#include "batch.h"
#include "kinds.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    fractals::registerWindowKinds();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (fractals::isBatchCommandLine(args))
        return fractals::runBatch(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
    return fractals::runApplication(argc, argv);
}
