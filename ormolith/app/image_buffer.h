#pragma once
// The picture of one document: the pixels the engine renders into, the requested size of the
// next build, and the status texts and zoom selection the view shows. No window code here; the
// view (when there is one) copies the pixels to its screen bitmap.
#include <cstdint>
#include <string>
#include <vector>

#include "builder.h"

namespace ormolith {

struct Selection {
    int halfWidth = 0;
    int centreX = 0, centreY = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
};

class ImageBuffer : public RenderTarget {
public:
    // Makes the pixels width x height at `bits` per pixel (24 or 32; anything else is 32).
    // Nothing happens when the size and depth are unchanged and pixels exist. The contents of
    // new pixels are undefined (zero here).
    void allocate(unsigned width, unsigned height, unsigned bits);
    bool hasPixels() const { return !pixels.empty(); }

    // Status text shown by the view; `notify` (when set) is told, as the view would be.
    void setStatus(const std::string& text);

    // RenderTarget: what the engine sees.
    int requestedWidth() const override { return int(requestedWidth_); }
    int requestedHeight() const override { return int(requestedHeight_); }
    bool zoomRequest(ZoomRect& rect) const override;
    void clearZoomRequest() override { zoomPending = false; }
    void allocatePixels(int width, int height) override;
    std::uint8_t* pixelRow(int row) override;
    void setBuilt() override { built = true; }

    void setRequestedSize(unsigned width, unsigned height)
    {
        requestedWidth_ = width;
        requestedHeight_ = height;
    }

    // Pixels: bottom-up rows, blue-green-red (and a fourth byte at 32 bits), `stride` bytes a
    // row, a multiple of 4.
    std::vector<std::uint8_t> pixels;
    // Row addresses, only for 32-bit pixels (row i at pixels + i x width x 4).
    std::vector<std::uint8_t*> rowTable;
    unsigned bitsPerPixel = 24;
    bool fixedSize = false;
    unsigned bitmapWidth = 1, bitmapHeight = 1;
    unsigned bufferWidth = 0, bufferHeight = 0;
    unsigned stride = 4;
    std::string statusText, statusPrefix;
    bool newPixels = false, selectionEnabled = false, selectionShown = false, zoomOut = false,
         dragged = false;
    Selection selection;
    // A zoom rectangle (columns, rows from the bottom) waiting for the next build.
    bool zoomPending = false;
    ZoomRect zoomRect;
    bool built = false;
    void (*notify)(ImageBuffer&, void*) = nullptr;
    void* notifyContext = nullptr;

private:
    unsigned requestedWidth_ = 1, requestedHeight_ = 1;
};

// Bytes of one row of `width` pixels at `bits` per pixel, padded to a multiple of 4.
unsigned rowStride(unsigned width, unsigned bits);

} // namespace ormolith
