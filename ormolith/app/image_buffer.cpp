#include "image_buffer.h"

namespace ormolith {

unsigned rowStride(unsigned width, unsigned bits)
{
    const unsigned long long bytes = (static_cast<unsigned long long>(width) * bits + 7) / 8;
    return static_cast<unsigned>((bytes + 3) / 4 * 4);
}

void ImageBuffer::allocate(unsigned width, unsigned height, unsigned bits)
{
    const unsigned depth = bits == 24 ? 24u : 32u;
    if (width == bufferWidth && height == bufferHeight && depth == bitsPerPixel && hasPixels())
        return;
    bitsPerPixel = depth;
    stride = rowStride(width, depth);
    pixels.clear();
    rowTable.clear();
    pixels.assign(static_cast<std::size_t>(stride) * height, 0);
    bufferWidth = width;
    bufferHeight = height;
    if (depth == 32) {
        rowTable.resize(height);
        for (unsigned i = 0; i < height; ++i)
            rowTable[i] = pixels.data() + static_cast<std::size_t>(i) * width * 4;
    }
}

void ImageBuffer::setStatus(const std::string& text)
{
    statusText = text;
    if (notify)
        notify(*this, notifyContext);
}

bool ImageBuffer::zoomRequest(ZoomRect& rect) const
{
    if (!zoomPending)
        return false;
    rect = zoomRect;
    return true;
}

void ImageBuffer::allocatePixels(int width, int height)
{
    allocate(unsigned(width), unsigned(height), 24);
    newPixels = true;
}

std::uint8_t* ImageBuffer::pixelRow(int row)
{
    return pixels.data() + static_cast<std::size_t>(row) * stride;
}

} // namespace ormolith
