#pragma once
// The column loop shared by the escape-time and Henon pictures. A type supplies an
// EscapeRule that computes one column of palette indices; the window render runs columns
// left to right on one worker, the file render spreads them over several.
#include "bitmap_file.h"
#include "run_gate.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

namespace fractals {

class EscapeRule {
public:
    EscapeRule(int width, int height) : width_(width), height_(height) {}
    virtual ~EscapeRule() = default;
    int width() const { return width_; }
    int height() const { return height_; }

    // Fills out[0..height) with the indices (0..89) of column i, top row first, polling the
    // gate as it goes (if one is given). Returns false when the run was abandoned. rowsDone
    // counts the leading rows of out that are finished (all of them after a true return); it is
    // up to date whenever the worker waits at the gate, so a pause or stop part-way down the
    // column can keep what is done.
    bool computeColumn(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const
    {
        rowsDone = 0;
        const bool finished = computeRows(i, out, gate, rowsDone);
        if (finished)
            rowsDone = height_;
        return finished;
    }
    bool computeColumn(int i, std::uint8_t* out, RunGate* gate) const
    {
        int rowsDone = 0;
        return computeColumn(i, out, gate, rowsDone);
    }

protected:
    // The type's column: sets rowsDone before every look at the gate.
    virtual bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const = 0;

private:
    int width_;
    int height_;
};

// Computes every column into a top-down, unpadded picture of width × height indices.
// Returns false when the gate was lowered; progressPercent (if given) follows the columns done.
bool renderEscapePicture(const EscapeRule& rule, std::vector<std::uint8_t>& picture, RunGate& gate,
                         std::atomic<int>* progressPercent, int threads);

enum class FileRenderResult { written, cancelled, writeFailed, outOfMemory };

// The file mode: render, then write an 8-bit bitmap with the palette that paletteAtEnd gives
// at the moment of writing (so a palette cycled or edited meanwhile is the one saved).
template <typename PaletteSource>
FileRenderResult renderEscapeFile(const EscapeRule& rule, RunGate& gate,
                                  std::atomic<int>* progressPercent, int threads,
                                  const std::filesystem::path& path, PaletteSource paletteAtEnd)
{
    std::vector<std::uint8_t> picture;
    try {
        if (!renderEscapePicture(rule, picture, gate, progressPercent, threads))
            return FileRenderResult::cancelled;
        const PictureView view{rule.width(), rule.height(), 8, picture};
        return WriteBitmapFile(view, paletteAtEnd(), path) ? FileRenderResult::written
                                                           : FileRenderResult::writeFailed;
    } catch (const std::bad_alloc&) {
        // A picture larger than the memory: no file, and the program goes on.
        return FileRenderResult::outOfMemory;
    }
}

int defaultRenderThreads();

} // namespace fractals
