#pragma once
// The random iteration ("chaos game") of the IFS type, for the window and for files.
#include "doc_types.h"
#include "escape_render.h"
#include "ifs_frame.h"
#include "run_gate.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace fractals {

class CIfsDoc;

// The generator the original library's rand() used: a linear congruence whose bits 16..30
// are the result (0..32767). Ours, so that a seed gives the same picture everywhere and no
// lock is taken per point.
class IfsRandom {
public:
    explicit IfsRandom(std::uint32_t seed) : state_(seed) {}
    int next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>(state_ >> 16 & 0x7fff);
    }

private:
    std::uint32_t state_;
};

// What a run reads from the document, copied at its start.
struct IfsRunSettings {
    std::vector<CIfsFrame> frames;
    ColorRef defframe = RGB(0, 0, 255);
    bool samecolor = false;
    ColorRef bkgrd = RGB(255, 255, 255);
    ColorRef border = RGB(128, 128, 128);
    bool showframes = false;

    static IfsRunSettings of(const CIfsDoc& doc);
};

// One point stream: starts at (5000, 5000) in the default colour; each step picks a frame
// uniformly (rand·n / 32768), takes its colour unless it ignores colour or every point is
// drawn in the default colour, and maps the point. The first 1001 points settle on the
// attractor and are not drawn.
class IfsIterator {
public:
    static constexpr std::uint64_t kSkippedPoints = 1001;

    IfsIterator(const IfsRunSettings& settings, std::uint32_t seed);
    // One step; true when the new point is to be drawn.
    bool step()
    {
        const int r = random_.next();
        // 64 bits: a file may hold more than 65536 frames, where r·n no longer fits an int.
        const CIfsFrame& f =
            frames_[static_cast<std::size_t>((static_cast<std::int64_t>(r) * count_) >> 15)];
        if (!f.ignoreColor && !samecolor_)
            color = f.color;
        f.apply(x, y);
        return ++steps_ > kSkippedPoints;
    }

    std::int32_t x = 5000;
    std::int32_t y = 5000;
    ColorRef color;

private:
    const std::vector<CIfsFrame>& frames_;
    int count_;
    bool samecolor_;
    IfsRandom random_;
    std::uint64_t steps_ = 0;
};

// A true-colour picture, top-down rows of 0x00RRGGBB.
struct IfsPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

constexpr std::uint32_t toRgb(ColorRef c)
{
    return static_cast<std::uint32_t>(GetRValue(c)) << 16 |
           static_cast<std::uint32_t>(GetGValue(c)) << 8 | static_cast<std::uint32_t>(GetBValue(c));
}

// The picture before a run: the background, and with showframes the bounding square in the
// border colour and every frame (solid sides from the vertex, dotted far sides).
void clearIfsPicture(const IfsRunSettings& settings, IfsPicture& picture);

// Calls plot(px, py) for each pixel of the line from a to b (frame units), every other pixel
// for a dotted line, both ends included.
template <typename Plot>
void forEachLinePixel(const FrameMapping& m, CVector a, CVector b, bool dotted, Plot plot)
{
    int x0 = m.pixelX(a.x), y0 = m.pixelY(a.y);
    const int x1 = m.pixelX(b.x), y1 = m.pixelY(b.y);
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1, sx = x0 < x1 ? 1 : -1;
    const int dy = y1 > y0 ? y0 - y1 : y1 - y0, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (int k = 0;; ++k) {
        if (!dotted || k % 2 == 0)
            plot(x0, y0);
        if (x0 == x1 && y0 == y1)
            return;
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

// The file mode. The run is cut into a fixed number of point streams, each with its own
// generator seeded from the seed and its index; the workers take streams in turn, and where
// streams meet, the later stream's colour wins. So a seed gives the same picture on any number
// of cores. `points` counts drawn points (after each stream's settling steps).
struct IfsFileRequest {
    IfsRunSettings settings;
    int width = 640;
    int height = 480;
    std::uint64_t points = 0; // 0: kDefaultPointsPerPixel per pixel
    std::uint32_t seed = 1;
    int threads = 0; // 0: every core
};
constexpr std::uint64_t kDefaultPointsPerPixel = 50;
constexpr int kIfsStreams = 32;

// False when the gate was lowered before the end. progressPercent follows the points drawn.
bool renderIfsPicture(const IfsFileRequest& request, IfsPicture& picture, RunGate& gate,
                      std::atomic<int>* progressPercent);
FileRenderResult renderIfsFile(const IfsFileRequest& request, const std::filesystem::path& path,
                               RunGate& gate, std::atomic<int>* progressPercent);

// Starting a run without any frame.
inline constexpr const char* kMsgNoFrame =
    "You much at least one frame to run this fractal. However, you will need at least two "
    "frames for an interesting fractal.";
// A drag or the frame properties would make a frame invalid.
inline constexpr const char* kMsgInvalidFrame =
    "Invalid Frame! A frame's vectors cannot be zero or colinear. Please set the vectors to a "
    "different value.";

// The kind's batch hook: --points N and --seed S.
FileRenderResult renderIfsBatch(const FileRenderRequest& request);
std::vector<BatchOption> ifsBatchOptions();

} // namespace fractals
