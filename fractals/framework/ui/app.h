#pragma once
// Start-up of the window program.
namespace fractals {
int runApplication(int argc, char** argv);
}
