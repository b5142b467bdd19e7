#pragma once
// Colours of a build: the prepared (effective) light, material, ambient and background colours,
// the terms that light one hit record, and the conversion of accumulated sums to bytes.
#include <array>
#include <cstdint>

#include "scene.h"

namespace ormolith {

// Degrees to radians for the light cones. Deliberately not the constant of the map rotations:
// pictures must match those made with this value.
inline constexpr double kLightDegreesToRadians = 0.017453292222222222;

struct Rgb {
    double r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Negative components become 0, then the brightest component is scaled to the Luminiscence.
Rgb effectiveColour(const Colour& c);

struct PreparedLight {
    std::int32_t kind = kLamp;
    bool shadows = false;
    Rgb diffuse, specular;
    double constant = 0, linear = 0, quadratic = 1;
    Vec3 position;  // world position (Lamp, Spot)
    Vec3 direction; // unit world direction (Spot, Parallel)
    double cosSpot = 1, cosEndSpot = 1, beam = 0;
};

struct PreparedMaterial {
    Rgb diffuse, specular, ambient;
    double reflection = 0;
    double shininess = 0;
};

struct PreparedShading {
    int lightCount = 0;
    std::array<PreparedLight, kMaxLights> lights{};
    Rgb ambient;
    std::array<PreparedMaterial, kMaxMaterials> materials{};
    Rgb background;
};

// Effective copies of the scene's colours for a build with camera frame `frame`.
PreparedShading prepareShading(const FractalScene& scene, const CameraFrame& frame);

// The light's vector to a hit point p: p - position for Lamp and Spot, the direction for
// Parallel. A hit record is lit only when its normal faces against it.
Vec3 lightVector(const PreparedLight& light, Vec3 p);

// Diffuse and specular light of one light at a hit (p, unit normal n, unit ray direction d,
// weight w), given the light vector v = lightVector(light, p). Returns the colour to add.
Rgb lightContribution(const PreparedLight& light, const PreparedMaterial& m, Vec3 n, Vec3 d, Vec3 v,
                      double w);

// min(255, floor(sum x 255 / passes + 0.5)); a negative (or undefined) sum gives 0.
std::uint8_t colourByte(double sum, int passes);

} // namespace ormolith
