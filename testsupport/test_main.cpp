// GoogleTest entry point for core-library tests: each process runs in its own temporary home.
#include "temp_env.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    suite::test::TempEnvironment environment;
    return RUN_ALL_TESTS();
}
