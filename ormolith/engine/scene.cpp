#include "scene.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>

namespace ormolith {

namespace {

// True when p lies inside the object range [begin, end); std::less gives a total order on
// pointers, which the built-in comparison does not promise for unrelated objects.
bool inside(const void* p, const void* begin, const void* end)
{
    const std::less<const void*> less;
    return !less(p, begin) && less(p, end);
}

} // namespace

FractalScene::FractalScene(int fractalType) : fractalType_(fractalType)
{
    LightRecord first;
    first.diffuse = {0, 1, 0, 1};
    first.specular = {1, 1, 1, 1};
    first.position = {1, 1, -3};
    first.direction = {0, 0, 1};
    lights.fill(first);
    lights[1].diffuse = {1, 1, 0, 1};
    lights[1].position = {3, -1, -1};
    lights[2].diffuse = {1, 0, 0, 0.1};
    lights[2].specular = {1, 1, 1, 0.1};
    lights[2].position = {0, 0, 0};
}

FractalScene::~FractalScene() = default;

bool FractalScene::fail(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    errorText = buffer;
    return false;
}

bool FractalScene::onParamChanged(const ParamNode& node)
{
    const void* v = node.value;
    if (v == nullptr)
        return false;
    if (v == &precision || v == &level || v == &mode || v == &quality) {
        needsRebuild = true;
        return false;
    }
    if (v == &currentSet) {
        if (currentSet >= 1 && currentSet <= kMaxSets)
            needsRebuild = true;
        else
            fail("Error: Current set must be 1..%u", unsigned(kMaxSets));
        return true;
    }
    if (v == &setCount) {
        if (setCount >= 1 && setCount <= kMaxSets) {
            if (setCount == 1)
                currentSet = 1;
            // Fewer or more sets change what is drawn, so the stored rays are stale.
            needsRebuild = true;
        } else {
            fail("Error: Number of sets must be 1..%u", unsigned(kMaxSets));
        }
        return true;
    }
    if (v == &lightCount) {
        if (lightCount < 0 || lightCount > kMaxLights)
            fail("Error: Number of lights must be 1..%u", unsigned(kMaxLights));
        return true;
    }
    if (v == &advancedColors || v == &materialAttachment)
        return true;
    if (inside(v, materials.data(), materials.data() + materials.size()))
        return false; // shading only
    for (int i = 0; i < kMaxSets; ++i) {
        SetRecord& set = sets[i];
        if (v == &set.subsetCount) {
            if (set.subsetCount >= 1 && set.subsetCount <= kMaxSubsets)
                needsRebuild = true;
            else
                fail("Error:Set %u/Number of Subsets  must be 1..%u", unsigned(i + 1),
                     unsigned(kMaxSubsets));
            return true;
        }
        if (!inside(v, set.subsets.data(), set.subsets.data() + set.subsets.size()))
            continue;
        for (int k = 0; k < kMaxSubsets; ++k) {
            const SubsetEntry& entry = set.subsets[k];
            if (v == &entry.subset) {
                if (entry.subset >= 1 && entry.subset <= kMaxSets)
                    needsRebuild = true;
                else
                    fail("Error: Set %u/Subset %u must be 1..%u", unsigned(i + 1), unsigned(k + 1),
                         unsigned(kMaxSets));
                return false;
            }
            if (v == &entry.map) {
                if (entry.map < 0 || entry.map > kMaxMaps)
                    fail("Error: Set %u/Map %u must be 1..%u", unsigned(i + 1), unsigned(k + 1),
                         unsigned(kMaxMaps));
                needsRebuild = true;
                return false;
            }
        }
    }
    for (const LightRecord& light : lights)
        if (v == &light.kind)
            return true; // the light's rows change with its kind
    return false;
}

bool FractalScene::prepareSets()
{
    // 1. With one set every subset can only be an image of that set.
    if (setCount == 1) {
        currentSet = 1;
        const int used = std::clamp(sets[0].subsetCount, 0, kMaxSubsets);
        for (int k = 0; k < used; ++k)
            sets[0].subsets[k].subset = 1;
    }
    // 2., 3. Counts.
    if (mapCount < 1 || mapCount > kMaxMaps)
        return fail("Error: Number of Maps must be 1..%u", unsigned(kMaxMaps));
    if (setCount < 1 || setCount > kMaxSets)
        return fail("Error: Number of Sets must be 1..%u", unsigned(kMaxSets));
    // 4. Every used subset of every set, then the subset weights.
    for (int i = 0; i < setCount; ++i) {
        SetRecord& set = sets[i];
        if (set.subsetCount < 1 || set.subsetCount > kMaxSubsets)
            return fail("Error: Set %u/Number of Subsets must be 1..%u", unsigned(i + 1),
                        unsigned(kMaxSubsets));
        int active = 0;
        for (int k = 0; k < set.subsetCount; ++k) {
            const SubsetEntry& entry = set.subsets[k];
            if (entry.subset < 1 || entry.subset > setCount)
                return fail("Error: Set %u/Subset %u must be 1..%u", unsigned(i + 1),
                            unsigned(k + 1), unsigned(setCount));
            if (entry.map < 0 || entry.map > mapCount)
                return fail("Error: Set %u/Map %u must be 1..%u", unsigned(i + 1), unsigned(k + 1),
                            unsigned(mapCount));
            if (entry.map != 0)
                ++active;
        }
        if (active == 0)
            return fail("Error: Set %u - all maps are zero", unsigned(i + 1));
        for (SubsetEntry& entry : set.subsets)
            entry.weight = 1.0 / active;
    }
    // The drawn set indexes every table of the build; the edit-time check only bounds it by 32.
    if (currentSet < 1 || currentSet > setCount)
        return fail("Error: Current set must be 1..%u", unsigned(setCount));

    // 5. Reachability: direct images first, then chains, relaxed once per set.
    for (auto& row : reachability)
        row.fill(0);
    for (int i = 0; i < setCount; ++i)
        for (int k = 0; k < sets[i].subsetCount; ++k) {
            const SubsetEntry& entry = sets[i].subsets[k];
            if (entry.map != 0)
                reachability[i][entry.subset - 1] = 1;
        }
    for (int pass = 0; pass < setCount; ++pass)
        for (int i = 0; i < setCount; ++i)
            for (int k = 0; k < setCount; ++k) {
                if (reachability[i][k] == 0)
                    continue;
                for (int j = 0; j < setCount; ++j)
                    if (reachability[k][j] != 0 &&
                        (reachability[i][j] == 0 || reachability[i][j] > reachability[i][k]))
                        reachability[i][j] = reachability[i][k] + 1;
            }
    return true;
}

bool FractalScene::takesPart(int j) const
{
    if (j < 0 || j >= kMaxSets || currentSet < 1 || currentSet > kMaxSets)
        return false;
    return j == currentSet - 1 || reachability[currentSet - 1][j] != 0;
}

int FractalScene::materialCount() const
{
    if (choiceIndex(materialAttachment, 2) != 0)
        return 1;
    int s = currentSet;
    if (s < 1 || s > setCount || s > kMaxSets)
        s = 1;
    // A loop of one-subset sets would never end; after kMaxSets steps every set was visited.
    for (int steps = 0; steps < kMaxSets && sets[s - 1].subsetCount == 1; ++steps) {
        int next = sets[s - 1].subsets[0].subset;
        if (next < 1 || next > setCount || next > kMaxSets)
            next = 1;
        s = next;
    }
    return std::clamp(sets[s - 1].subsetCount, 0, kMaxMaterials);
}

} // namespace ormolith
