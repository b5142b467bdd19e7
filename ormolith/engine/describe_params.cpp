// The parameter tree of a scene, in the order the document file stores it. The file reader is
// sequential, so this order is the file format: change it only together with old files.
#include <algorithm>
#include <cstdio>
#include <string>

#include "scene.h"

namespace ormolith {

namespace {

const char* const kLowHigh[] = {"Low", "High"};
const char* const kStereoMono[] = {"Stereo", "Mono"};
const char* const kAntialiasing[] = {"Off", "2x2", "3x3"};
const char* const kOffOn[] = {"Off", "On"};
const char* const kLightKinds[] = {"Lamp", "Spot", "Parallel"};
const char* const kObjectCamera[] = {"Object", "Camera"};
const char* const kSubsetsNone[] = {"Subsets", "None"};

const char* const kPrecisionHelp = "точность";
const char* const kLevelHelp = "уровень";
const char* const kQualityHelp =
    "(Low/High) значение low значительно повышает скорость расчёта фрактала. Также, для "
    "повышения скорости, рекомендуется отключить расчёт теней для каждого источника света.";
const char* const kModeHelp =
    "(mono/stereo) для построения стереокартинки. Т.е. двух изображений фрактала простроенных "
    "для двух глаз. Если глядеть сквозь стереокартинку за экран, то два изображения сливаются "
    "в одно, давая потрясающее ощущение объёмности фрактала.";

std::string numbered(const char* format, int n)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, unsigned(n));
    return buffer;
}

void real(ParamArchive& ar, const char* name, double& value)
{
    describeParam(ar, name, &value, kKindReal);
}

void vec(ParamArchive& ar, const char* x, const char* y, const char* z, Vec3& v)
{
    real(ar, x, v.x);
    real(ar, y, v.y);
    real(ar, z, v.z);
}

void colour(ParamArchive& ar, const char* red, const char* green, const char* blue, Colour& c)
{
    real(ar, red, c.red);
    real(ar, green, c.green);
    real(ar, blue, c.blue);
    real(ar, "Luminiscence", c.luminiscence);
}

} // namespace

void FractalScene::describeParameters(ParamArchive& ar)
{
    describeGroup(ar, "General", [&] {
        if (ar.isComplete()) {
            describeParam(ar, "Precision", &precision, kKindReal, {}, kPrecisionHelp);
            describeParam(ar, "Level", &level, kKindReal, {}, kLevelHelp);
        }
        describeParam(ar, "Deep", &deep, kKindInt);
        if (ar.isComplete())
            describeParam(ar, "Quality", &quality, kKindBool, kLowHigh, kQualityHelp);
        describeParam(ar, "Mode", &mode, kKindBool, kStereoMono, kModeHelp);
        describeParam(ar, "Antialiasing", &antialiasing, 3, kAntialiasing);
        describeParam(ar, "Advanced colors", &advancedColors, 2, kOffOn);
    });

    describeGroup(ar, "Camera", [&] {
        vec(ar, "X Position", "Y Position", "Z Position", camera.position);
        vec(ar, "X Direction", "Y Direction", "Z Direction", camera.direction);
        vec(ar, "X Vertical direction", "Y Vertical direction", "Z Vertical direction",
            camera.vertical);
        real(ar, "Field of view", camera.fieldOfView);
        real(ar, "Eyes distance", camera.eyesDistance);
    });

    describeMaps(ar);

    // Counts are read from the file before the loops that use them; the loops are clamped to
    // the tables so that a hostile count cannot index past them.
    describeGroup(ar, "Sets", [&] {
        describeParam(ar, "Number of sets", &setCount, kKindInt);
        const bool manySets = setCount > 1;
        if (manySets)
            describeParam(ar, "Current set", &currentSet, kKindInt);
        const int used = std::clamp(setCount, 0, kMaxSets);
        for (int i = 0; i < used; ++i) {
            SetRecord& set = sets[i];
            auto subsets = [&] {
                describeParam(ar, "Number of subsets", &set.subsetCount, kKindInt);
                const int n = std::clamp(set.subsetCount, 0, kMaxSubsets);
                for (int k = 0; k < n; ++k) {
                    if (manySets)
                        describeParam(ar, numbered("Subset %u", k + 1), &set.subsets[k].subset,
                                      kKindInt);
                    describeParam(ar, numbered("Map %u", k + 1), &set.subsets[k].map, kKindInt);
                }
            };
            if (manySets)
                describeGroup(ar, numbered("Set %u", i + 1), subsets);
            else
                subsets();
        }
    });

    describeGroup(ar, "Lights", [&] {
        describeParam(ar, "Number of lights", &lightCount, kKindInt);
        const bool advanced = choiceIndex(advancedColors, 2) == 1;
        const int used = std::clamp(lightCount, 0, kMaxLights);
        for (int i = 0; i < used; ++i) {
            LightRecord& light = lights[i];
            // The group carries the kind, so the children below see the kind just read.
            describeGroup(
                ar, "Light",
                [&] {
                    const std::int32_t kind = choiceIndex(light.kind, 3);
                    const bool positioned = kind != kParallel;
                    if (advanced) {
                        describeGroup(ar, "Diffuse",
                                      [&] { colour(ar, "Red", "Green", "Blue", light.diffuse); });
                        describeGroup(ar, "Specular",
                                      [&] { colour(ar, "Red", "Green", "Blue", light.specular); });
                        if (positioned)
                            describeGroup(ar, "Attenuation", [&] {
                                real(ar, "Constant ", light.attenuationConstant);
                                real(ar, "Linear", light.attenuationLinear);
                                real(ar, "Quadratic", light.attenuationQuadratic);
                            });
                    } else {
                        colour(ar, "Red", "Green", "Blue", light.diffuse);
                    }
                    describeParam(ar, "Shadows", &light.shadows, 2, kOffOn);
                    describeParam(ar, "Attachment", &light.attachment, 2, kObjectCamera);
                    if (!positioned) {
                        vec(ar, "X Direction", "Y Direction", "Z Direction", light.direction);
                    } else {
                        vec(ar, "X Position", "Y Position", "Z Position", light.position);
                        if (kind == kSpot) {
                            vec(ar, "X Direction", "Y Direction", "Z Direction", light.direction);
                            real(ar, "Spot angle", light.spotAngle);
                            real(ar, "End spot angle", light.endSpotAngle);
                            real(ar, "Beam distribution", light.beamDistribution);
                        }
                    }
                },
                &light.kind, 3, kLightKinds);
        }
        describeGroup(ar, "Ambient", [&] { colour(ar, "Red   ", "Green ", "Blue  ", ambient); });
    });

    describeGroup(ar, "Material", [&] {
        describeParam(ar, "Attachment", &materialAttachment, 2, kSubsetsNone);
        const bool perSubset = choiceIndex(materialAttachment, 2) == 0;
        const bool advanced = choiceIndex(advancedColors, 2) == 1;
        const int n = materialCount();
        for (int m = 0; m < n; ++m) {
            MaterialRecord& material = materials[m];
            auto fields = [&] {
                if (advanced) {
                    describeGroup(ar, "Diffuse",
                                  [&] { colour(ar, "Red ", "Green", "Blue ", material.diffuse); });
                    describeGroup(ar, "Specular", [&] {
                        colour(ar, "Red ", "Green", "Blue ", material.specular);
                        real(ar, "Shininess", material.shininess);
                    });
                    describeGroup(ar, "Ambient",
                                  [&] { colour(ar, "Red ", "Green", "Blue ", material.ambient); });
                } else {
                    real(ar, "Red ", material.diffuse.red);
                    real(ar, "Green", material.diffuse.green);
                    real(ar, "Blue ", material.diffuse.blue);
                    real(ar, "Diffuse", material.diffuse.luminiscence);
                    real(ar, "Specular", material.specular.luminiscence);
                    real(ar, "Ambient", material.ambient.luminiscence);
                    real(ar, "Shininess", material.shininess);
                }
                real(ar, "Reflection", material.reflection);
            };
            if (perSubset)
                describeGroup(ar, numbered("Subset %u", m + 1), fields);
            else
                fields();
        }
        describeGroup(ar, "Background", [&] { colour(ar, "Red ", "Green", "Blue ", background); });
    });
}

} // namespace ormolith
