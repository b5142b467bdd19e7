// qubex: a window that shows a random 3D IFS as a point cloud, or a batch job without one.
#include "batch.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (qubex::isBatchInvocation(args) || args.empty())
        return qubex::runBatch(args, std::cout, std::cerr);
    return qubex::runBatch(args, std::cout, std::cerr);
}
