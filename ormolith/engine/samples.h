#pragma once
#include <memory>

#include "scene.h"

namespace ormolith {

inline constexpr int kSampleCount = 9;

// Titles of the built-in samples by index; also the document titles after loading one.
extern const char* const kSampleNames[kSampleCount];

// A complete scene made from a fixed recipe: index 8 is a MebiusScene, the others AffineScenes.
// Null for an index outside 0..8.
std::unique_ptr<FractalScene> makeSample(int index);

} // namespace ormolith
