#pragma once
// Records of the builder: one PixelRecord per pixel of the last build and the fixed stack of
// Pieces that covers the drawn set. The builder (builder.cpp and its neighbours) owns their
// meaning; the scene only keeps them between builds so that a shading-only build can reuse them.
#include <array>
#include <cstdint>

#include "geometry.h"

namespace ormolith {

inline constexpr int kMaxPieces = 5000;

// 72 bytes a pixel, the figure memoryRequired promises: `next` is an index rather than a
// pointer so that the record keeps that size on 64-bit machines.
struct PixelRecord {
    float direction[3];    // unit ray direction
    float origin[3];       // ray origin; the hit point after a hit
    float normal[3];       // surface normal at the hit
    double distance;       // to the nearest hit; 100 = traced, no hit; 200 = not traced
    float weight;          // share of this ray in the pixel colour
    std::int32_t material; // subset index of the surface hit
    float colour[3];       // accumulated R, G, B over all passes
    std::int32_t next;     // next record on the same list, -1 at the end
};
static_assert(sizeof(PixelRecord) == 72, "memoryRequired counts 72 bytes a pixel");

struct Piece {
    int generation = 0;    // map applications from the root
    double mass = 0;       // share of the set's measure, and of the progress
    double reach = 0;      // squared radius of the sphere tested against rays
    double exponent = 2.0; // dimension estimate for the smoothed normals
    Vec3 centre;
    double radius2 = 0;
    int set = 0;      // 0-based set that the piece is an image of
    int material = 0; // subset of the drawn set it descends from
    // Affine scenes use the first 12 numbers (row-major M, then t); Moebius scenes all 25
    // (row-major 5x5 G).
    std::array<double, 25> transform{};
    std::int32_t rays = -1; // head of the list of PixelRecords that may still hit it
};

} // namespace ormolith
