#pragma once
// The file mode of the L-System type: both passes into a white picture of the requested
// size, written as a 24-bit bitmap. The window's Make Bitmap and the batch render share it.
#include "escape_render.h"
#include "lsystem_turtle.h"
#include "run_gate.h"

#include <atomic>
#include <cstdint>
#include <filesystem>

namespace fractals {

FileRenderResult renderLsystemFile(const LsystemProgram& program, bool stretch, std::uint32_t seed,
                                   int width, int height, const std::filesystem::path& path,
                                   RunGate& gate, std::atomic<int>* progressPercent);

} // namespace fractals
