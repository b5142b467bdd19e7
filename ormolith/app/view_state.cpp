#include "view_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ormolith {

void setSelectionHalfSizes(Selection& selection, int hx, int hy, int width, int height)
{
    hx = std::max(hx, kMinSelectionHalf);
    hy = std::max(hy, kMinSelectionHalf);
    const int w = std::max(width, 1), h = std::max(height, 1);
    // Widen the narrower side so the rectangle has the picture's aspect; the products are
    // taken in 64 bits because a 4096-pixel picture and a long drag overflow 32.
    if (static_cast<long long>(hy) * w < static_cast<long long>(hx) * h)
        hy = static_cast<int>(static_cast<long long>(hx) * h / w);
    else
        hx = static_cast<int>(static_cast<long long>(hy) * w / h);
    selection.halfWidth = hx;
    selection.left = std::clamp(selection.centreX - hx, 0, w - 1);
    selection.top = std::clamp(selection.centreY - hy, 0, h - 1);
    selection.right = std::clamp(selection.centreX + hx, 0, w - 1);
    selection.bottom = std::clamp(selection.centreY + hy, 0, h - 1);
}

ZoomRect zoomRectFromSelection(const Selection& selection, int height)
{
    ZoomRect rect;
    rect.x0 = selection.left;
    rect.x1 = selection.right;
    rect.y0 = height - 1 - selection.bottom;
    rect.y1 = height - 1 - selection.top;
    return rect;
}

std::optional<std::string> pointText(const FractalScene& scene, int x, int y)
{
    const int width = scene.accumulatorWidth, height = scene.accumulatorHeight;
    if (x < 0 || y < 0 || x >= width || y >= height ||
        scene.accumulator.size() < static_cast<std::size_t>(width) * height)
        return std::nullopt;
    // Records are stored bottom row first.
    const PixelRecord& r =
        scene.accumulator[static_cast<std::size_t>(height - 1 - y) * width + x];
    if (!(r.distance < 100))
        return std::string("oo");
    char text[160];
    std::snprintf(text, sizeof text, "(%9.6f,%9.6f,%9.6f) Subset %d", double(r.origin[0]),
                  double(r.origin[1]), double(r.origin[2]), r.material + 1);
    return std::string(text);
}

PrintedSize printedSize(long long deviceWidth, unsigned bitmapWidth, unsigned bitmapHeight)
{
    return {(deviceWidth * bitmapWidth) >> 10, (deviceWidth * bitmapHeight) >> 10};
}

std::string formatPlacement(const WindowPlacement& p)
{
    char text[120];
    std::snprintf(text, sizeof text, "%u,%u,%d,%d,%d,%d", p.flags, p.showCmd, p.left, p.top,
                  p.right, p.bottom);
    return text;
}

std::optional<WindowPlacement> parsePlacement(const std::string& text)
{
    WindowPlacement p;
    const int n = std::sscanf(text.c_str(), "%u,%u,%d,%d,%d,%d", &p.flags, &p.showCmd, &p.left,
                              &p.top, &p.right, &p.bottom);
    if (n != 6)
        return std::nullopt;
    return p;
}

} // namespace ormolith
