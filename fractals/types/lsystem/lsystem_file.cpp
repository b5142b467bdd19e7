#include "lsystem_file.h"

#include "bitmap_file.h"

#include <new>

namespace fractals {

FileRenderResult renderLsystemFile(const LsystemProgram& program, bool stretch, std::uint32_t seed,
                                   int width, int height, const std::filesystem::path& path,
                                   RunGate& gate, std::atomic<int>* progressPercent)
{
    try {
        LsystemPicture picture{width, height, {}};
        const bool done = renderLsystemPicture(
            program, stretch, seed, picture, [&gate] { return gate.poll(); },
            [progressPercent](int percent) {
                if (progressPercent)
                    progressPercent->store(percent);
            });
        // Cancel may come after the last step: a cancelled render writes nothing.
        if (!done || !gate.running())
            return FileRenderResult::cancelled;
        const PictureView view{picture.width,
                               picture.height,
                               24,
                               {reinterpret_cast<const std::uint8_t*>(picture.pixels.data()),
                                picture.pixels.size() * sizeof(std::uint32_t)}};
        return WriteBitmapFile(view, PaletteColors{}, path) ? FileRenderResult::written
                                                            : FileRenderResult::writeFailed;
    } catch (const std::bad_alloc&) {
        // A picture larger than the memory: no file, and the program goes on.
        return FileRenderResult::outOfMemory;
    }
}

} // namespace fractals
