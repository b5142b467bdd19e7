#pragma once
// Start-up of the window program.
namespace ormolith {
// Opens the main window; the documents named on the command line (what Qt leaves of it) open
// in it. Returns the process exit code.
int runApplication(int argc, char** argv);
} // namespace ormolith
