#pragma once
// PNG files of finished pictures. Plain C++ over zlib, no Qt.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace suite {

struct PngPicture {
    int width = 0;
    int height = 0;
    // Indexed: one palette index a pixel, colours in `palette` (1 to 256 entries), so a picture
    // drawn through a palette keeps its indices and colour table. Otherwise red, green, blue
    // bytes a pixel.
    bool indexed = false;
    std::vector<std::array<std::uint8_t, 3>> palette; // red, green, blue
    // Fills `row` with the pixels of row `y` (0 is the top one) in the layout above.
    std::function<void(int y, std::uint8_t* row)> readRow;
};

// The complete file: signature, IHDR, PLTE for an indexed picture, one IDAT, IEND. Empty when
// the picture cannot be written (no pixels, no row reader, a palette of 0 or more than 256
// colours, or more data than one chunk may hold).
std::string pngFileBytes(const PngPicture& picture);

// Whether a picture named `path` is written as PNG: its name ends in ".png", in any case.
// Every other name gets the program's BMP.
bool isPngPath(const std::string& path);

} // namespace suite
