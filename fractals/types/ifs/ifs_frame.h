#pragma once
// The frames of the IFS type: each affine map is drawn and edited as a parallelogram, the
// image of the unit square, in frame units where 10000 units are the unit square's side.
#include "palette.h" // ColorRef: red in the low byte, then green, then blue

#include <cmath>
#include <cstdint>

namespace fractals {

struct CVector {
    std::int32_t x = 0;
    std::int32_t y = 0;

    // Sums wrap like the 32-bit registers they stand for instead of overflowing: a file may
    // hold any values, and editing them must not be undefined behaviour.
    static std::int32_t wrap(std::int64_t v)
    {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    friend CVector operator+(CVector a, CVector b)
    {
        return {wrap(std::int64_t{a.x} + b.x), wrap(std::int64_t{a.y} + b.y)};
    }
    friend CVector operator-(CVector a, CVector b)
    {
        return {wrap(std::int64_t{a.x} - b.x), wrap(std::int64_t{a.y} - b.y)};
    }
    CVector& operator+=(CVector b) { return *this = *this + b; }
    friend bool operator==(CVector a, CVector b) = default;
    double length() const
    {
        return std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y);
    }
    // Turns by theta radians, each coordinate truncated toward zero from the old x and y.
    void rotate(double theta);
};

// Points the iteration keeps are held inside this bound: far enough out that no picture ever
// shows it (the window spans -1000..11000), near enough that the products of the map cannot
// overflow. A contracting system never comes near it.
constexpr std::int64_t kPointBound = std::int64_t{1} << 30;

struct CIfsFrame {
    CVector vertex{3750, 3750};
    CVector side1{2500, 0};
    CVector side2{0, 2500};
    ColorRef color = RGB(0, 0, 255);
    std::int32_t ignoreColor = 0;

    friend bool operator==(const CIfsFrame&, const CIfsFrame&) = default;

    // Both sides non-zero and not collinear (in 64 bits, so extreme values cannot wrap).
    bool isValid() const;

    // The frame's map in integer arithmetic: each division truncates toward zero.
    void apply(std::int32_t& x, std::int32_t& y) const
    {
        const std::int64_t nx =
            vertex.x + (std::int64_t{side1.x} * x + std::int64_t{side2.x} * y) / 10000;
        const std::int64_t ny =
            vertex.y + (std::int64_t{side1.y} * x + std::int64_t{side2.y} * y) / 10000;
        x = static_cast<std::int32_t>(nx < -kPointBound ? -kPointBound
                                                        : (nx > kPointBound ? kPointBound : nx));
        y = static_cast<std::int32_t>(ny < -kPointBound ? -kPointBound
                                                        : (ny > kPointBound ? kPointBound : ny));
    }
};

// The mapping between frame units and the pixels of a rectangle w × h: 12000 units span each
// direction, (5000, 5000) is the centre and y grows upward, so the bounding square
// (0, 0)-(10000, 10000) fills 10000/12000 of the width and of the height.
struct FrameMapping {
    int width = 1;
    int height = 1;

    static std::int64_t floorDiv(std::int64_t a, std::int64_t b)
    {
        const std::int64_t q = a / b;
        return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
    }
    // Rounded to the nearest pixel.
    int pixelX(std::int64_t x) const
    {
        return width / 2 + static_cast<int>(floorDiv((x - 5000) * width + 6000, 12000));
    }
    int pixelY(std::int64_t y) const
    {
        return height / 2 - static_cast<int>(floorDiv((y - 5000) * height + 6000, 12000));
    }
    std::int32_t frameX(int px) const
    {
        return static_cast<std::int32_t>(
            5000 + floorDiv(std::int64_t{px - width / 2} * 12000 + width / 2, width));
    }
    std::int32_t frameY(int py) const
    {
        return static_cast<std::int32_t>(
            5000 - floorDiv(std::int64_t{py - height / 2} * 12000 - height / 2, height));
    }
    // A distance of n pixels along x in frame units (the editor's tolerances).
    std::int32_t unitsX(int pixels) const
    {
        return static_cast<std::int32_t>(pixels * 12000 / width);
    }
    std::int32_t unitsY(int pixels) const
    {
        return static_cast<std::int32_t>(pixels * 12000 / height);
    }
};

} // namespace fractals
