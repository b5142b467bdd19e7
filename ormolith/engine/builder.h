#pragma once
// buildImage: casts every pixel's ray through the piece tree of the drawn set, shades the hits
// and writes the 24-bit picture. The picture is split into tiles that worker threads take in
// turn; each worker has its own piece stack and ray lanes, and a pixel's result does not depend
// on which worker or tile computed it, so every thread count gives the same bytes.
#include <cstdint>

#include "camera.h"
#include "scene.h"

namespace ormolith {

// What buildImage needs of the picture it writes (the application's ImageBuffer).
class RenderTarget {
public:
    virtual ~RenderTarget() = default;
    virtual int requestedWidth() const = 0;
    virtual int requestedHeight() const = 0;
    // A zoom rectangle the user selected on the last picture, if one is pending.
    virtual bool zoomRequest(ZoomRect& rect) const = 0;
    virtual void clearZoomRequest() = 0;
    // Makes the pixels width x height at 24 bits: bottom-up rows of blue, green, red bytes,
    // each row padded to a multiple of 4 bytes.
    virtual void allocatePixels(int width, int height) = 0;
    // Row 0 is the bottom line.
    virtual std::uint8_t* pixelRow(int row) = 0;
    virtual void setBuilt() = 0;
};

struct BuildOptions {
    int threads = 0;   // 0: one per core
    int tileSize = 64; // pixels on a side; 8..128
    // False when the caller cleared stopRequested itself before handing the build to another
    // thread: a Stop pressed while that thread was starting must not be wiped out here.
    bool clearStopRequest = true;
    // Test the lanes four at a time with AVX2 where the processor has it. Both ways give the
    // same bytes; false keeps to one lane at a time.
    bool vectorLanes = true;
};

// Whether this processor runs the four-lane tests (AVX2).
bool vectorLanesAvailable();

// What the last build did, for tests and the benchmark.
struct BuildStats {
    long long traversalPieces = 0; // pieces tested against rays
    long long normalPieces = 0;    // pieces visited by the smoothed normal field
    long long shadowPieces = 0;    // pieces tested against shadow lines
    // Processor time of those walks, summed over the workers.
    double raySeconds = 0, normalSeconds = 0, shadowSeconds = 0;
    int threads = 0;
    int tiles = 0;
};

// Builds the picture. True on a complete build; false when a check failed (errorText says
// which) or the build was stopped (errorText empty, the next build starts afresh).
bool buildImage(FractalScene& scene, RenderTarget& image, const BuildOptions& options = {});

const BuildStats& lastBuildStats(const FractalScene& scene);

} // namespace ormolith
