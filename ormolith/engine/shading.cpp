#include "shading.h"

#include <algorithm>
#include <cmath>

namespace ormolith {

Rgb effectiveColour(const Colour& c)
{
    Rgb e{std::max(0.0, c.red), std::max(0.0, c.green), std::max(0.0, c.blue)};
    const double largest = std::max({e.r, e.g, e.b});
    if (largest != 0) {
        const double f = c.luminiscence / largest;
        e = {e.r * f, e.g * f, e.b * f};
    }
    return e;
}

PreparedShading prepareShading(const FractalScene& scene, const CameraFrame& frame)
{
    PreparedShading out;
    const bool advanced = choiceIndex(scene.advancedColors, 2) == 1;
    out.lightCount = std::clamp(scene.lightCount, 0, kMaxLights);
    for (int i = 0; i < out.lightCount; ++i) {
        const LightRecord& src = scene.lights[i];
        PreparedLight& l = out.lights[i];
        l.kind = choiceIndex(src.kind, 3);
        l.shadows = choiceIndex(src.shadows, 2) == 1;
        Colour diffuse = src.diffuse, specular = src.specular;
        l.constant = src.attenuationConstant;
        l.linear = src.attenuationLinear;
        l.quadratic = src.attenuationQuadratic;
        if (!advanced) {
            specular = diffuse;
            l.constant = 0;
            l.linear = 0;
            l.quadratic = 1;
        }
        const bool onCamera = choiceIndex(src.attachment, 2) == 1;
        if (l.kind != kLamp) {
            Vec3 d = src.direction;
            if (onCamera)
                d = d.x * frame.right + d.y * frame.up + d.z * frame.forward;
            const double len = length(d);
            if (len > 0) {
                l.direction = (1.0 / len) * d;
            } else {
                // No direction, no light.
                diffuse.luminiscence = 0;
                specular.luminiscence = 0;
            }
        }
        l.diffuse = effectiveColour(diffuse);
        l.specular = effectiveColour(specular);
        l.cosSpot = std::cos(src.spotAngle * kLightDegreesToRadians);
        l.cosEndSpot = std::cos(src.endSpotAngle * kLightDegreesToRadians);
        l.beam = src.beamDistribution;
        const Vec3 p = src.position;
        l.position =
            onCamera ? frame.eye + p.x * frame.right + p.y * frame.up + p.z * frame.forward : p;
    }
    out.ambient = effectiveColour(scene.ambient);
    const bool none = choiceIndex(scene.materialAttachment, 2) == 1;
    for (int i = 0; i < kMaxMaterials; ++i) {
        MaterialRecord src = scene.materials[none ? 0 : i];
        if (!advanced) {
            src.specular = {1, 1, 1, src.specular.luminiscence};
            src.ambient = {src.diffuse.red, src.diffuse.green, src.diffuse.blue,
                           src.ambient.luminiscence};
        }
        PreparedMaterial& m = out.materials[i];
        m.diffuse = effectiveColour(src.diffuse);
        m.specular = effectiveColour(src.specular);
        m.ambient = effectiveColour(src.ambient);
        m.reflection = src.reflection;
        m.shininess = src.shininess;
    }
    out.background = effectiveColour(scene.background);
    return out;
}

Vec3 lightVector(const PreparedLight& light, Vec3 p)
{
    return light.kind == kParallel ? light.direction : p - light.position;
}

Rgb lightContribution(const PreparedLight& light, const PreparedMaterial& m, Vec3 n, Vec3 d, Vec3 v,
                      double w)
{
    double a = w;
    Vec3 l = v;
    if (light.kind != kParallel) {
        const double r = length(v);
        const double fall = light.constant + r * (light.linear + r * light.quadratic);
        // A light sitting on the surface (or attenuation that sums to zero) has no finite
        // intensity there; it adds nothing rather than an infinity. Any other sum, even a
        // negative one, divides as the formula says.
        if (fall == 0 || !std::isfinite(fall) || !(r > 0))
            return {};
        a /= fall;
        l = (1.0 / r) * v;
    }
    if (light.kind == kSpot) {
        // The cone is measured against the viewing ray, not the light-to-point line: a Spot
        // brightens what is seen along its beam, so pictures keep the look they were made with.
        const double s = dot(d, light.direction);
        if (s <= light.cosEndSpot)
            return {};
        // A cone wider than a half sphere reaches negative s, where a fractional Beam
        // distribution has no power: the spot adds nothing there.
        const double power = std::pow(s, light.beam);
        if (!std::isfinite(power))
            return {};
        a *= power;
        if (s < light.cosSpot)
            a *= (s - light.cosEndSpot) / (light.cosSpot - light.cosEndSpot);
    }
    const double kd = -dot(n, d) * a;
    const Vec3 h = d + l;
    const double hl = length(h);
    double ks = 0;
    if (hl > 0) {
        // A smoothed normal may face the half vector, making the base negative: a whole
        // Shininess gives the signed power the formula asks for, a fractional one no number at
        // all, and then there is no highlight rather than a NaN in the pixel.
        ks = std::pow(-dot(n, h) / hl, m.shininess) * (m.shininess + 1) * a;
        if (!std::isfinite(ks))
            ks = 0;
    }
    return {ks * light.specular.r * m.specular.r + kd * light.diffuse.r * m.diffuse.r,
            ks * light.specular.g * m.specular.g + kd * light.diffuse.g * m.diffuse.g,
            ks * light.specular.b * m.specular.b + kd * light.diffuse.b * m.diffuse.b};
}

std::uint8_t colourByte(double sum, int passes)
{
    const double v = std::floor(sum * 255 / passes + 0.5);
    if (!(v > 0))
        return 0;
    return static_cast<std::uint8_t>(std::min(255.0, v));
}

} // namespace ormolith
