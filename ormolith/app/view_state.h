#pragma once
// The arithmetic of the fractal window that needs no window: the zoom selection rectangle,
// the text of the point under the mouse, the printed size of a picture and the saved main
// window placement.
#include <optional>
#include <string>

#include "camera.h"
#include "image_buffer.h"
#include "scene.h"

namespace ormolith {

// The drag distance (pixels) below which a click stays a click; also the smallest half-size.
inline constexpr int kMinSelectionHalf = 5;

// Makes the selection rectangle around its centre from half-sizes (hx, hy): both at least 5,
// widened to the aspect of a width x height picture, clipped to the picture. The half-width is
// remembered for the next click.
void setSelectionHalfSizes(Selection& selection, int hx, int hy, int width, int height);

// The selection (window rows, top down) as the engine's zoom rectangle (rows from the bottom)
// of a picture `height` rows tall.
ZoomRect zoomRectFromSelection(const Selection& selection, int height);

// The status text for pixel (x, y) (window coordinates, top row 0) of the last build: the hit
// point and its subset, "oo" where no point was drawn, nothing outside the picture.
std::optional<std::string> pointText(const FractalScene& scene, int x, int y);

// A picture bitmapWidth x bitmapHeight printed on a device `deviceWidth` pixels wide: 1024
// pixels span the width, the aspect stays.
struct PrintedSize {
    long long width = 0, height = 0;
};
PrintedSize printedSize(long long deviceWidth, unsigned bitmapWidth, unsigned bitmapHeight);

// The main window's saved placement, "flags,show,left,top,right,bottom".
struct WindowPlacement {
    unsigned flags = 0;   // 2: restore to maximised
    unsigned showCmd = 1; // 1 normal, 2 minimised, 3 maximised
    int left = 0, top = 0, right = 0, bottom = 0;
};
inline constexpr unsigned kRestoreToMaximised = 2;
std::string formatPlacement(const WindowPlacement& placement);
// Empty unless all six numbers are there.
std::optional<WindowPlacement> parsePlacement(const std::string& text);

} // namespace ormolith
