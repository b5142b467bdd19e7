#pragma once
// Helpers shared by the renderer tests: small scenes with answers that can be worked out by hand.
#include <memory>
#include <vector>

#include "affine_scene.h"
#include "builder.h"
#include "image_buffer.h"
#include "samples.h"

namespace ormolith::test {

// One set made of the eight maps x -> x/2 + k/2, k running over the corners of [-1, 1]^3: the
// solid cube [-1, 1]^3.
inline std::unique_ptr<AffineScene> cubeScene()
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 8;
    scene->setCount = 1;
    scene->currentSet = 1;
    scene->sets[0].subsetCount = 8;
    for (int m = 0; m < 8; ++m) {
        auto& map = scene->maps[m];
        map.submapCount = 2;
        map.submaps[0].kind = kSubmapScale;
        map.submaps[0].direction = {0.5, 0.5, 0.5};
        map.submaps[1].kind = kSubmapTranslate;
        map.submaps[1].direction = {(m & 1) ? 0.5 : -0.5, (m & 2) ? 0.5 : -0.5,
                                    (m & 4) ? 0.5 : -0.5};
        scene->sets[0].subsets[m] = {1, m + 1, 0};
    }
    return scene;
}

// Builds into a fresh buffer of the given size.
inline bool build(FractalScene& scene, ImageBuffer& image, int width, int height, int threads = 1,
                  int tileSize = 32)
{
    image.setRequestedSize(unsigned(width), unsigned(height));
    BuildOptions options;
    options.threads = threads;
    options.tileSize = tileSize;
    return buildImage(scene, image, options);
}

// Blue, green, red of pixel (col, row), row 0 the bottom line.
struct Bgr {
    int b, g, r;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};
inline Bgr pixel(const ImageBuffer& image, int col, int row)
{
    const std::uint8_t* p = image.pixels.data() + std::size_t(row) * image.stride + 3 * col;
    return {p[0], p[1], p[2]};
}

inline const PixelRecord& record(const FractalScene& scene, int col, int row)
{
    return scene.accumulator[std::size_t(row) * scene.accumulatorWidth + col];
}

} // namespace ormolith::test
