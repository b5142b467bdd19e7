#pragma once
// What the two map families share: the table of maps, the "Maps" folder of the parameter tree,
// the edit-time checks of the map counts, and the folding of a map's submaps (with the nesting
// guard of a Map step). The families differ only in their submap record and in what one
// elementary step does to their transform.
#include <algorithm>
#include <array>
#include <cstdio>

#include "scene.h"

namespace ormolith {

// Submap supplies kSubmapCountText, the message (with the 1-based map) for a Number of submaps
// outside 0..24, and kRefusedCountRecollects, whether a refused count still changes the rows.
template <class Submap> class MapScene : public FractalScene {
public:
    std::array<MapRecord<Submap>, kMaxMaps> maps{};

    // The base checks, then the map counts, then the family's own submap fields.
    bool onParamChanged(const ParamNode& node) override
    {
        if (FractalScene::onParamChanged(node))
            return true;
        const void* v = node.value;
        if (checkMapCount(v))
            return true;
        for (int i = 0; i < kMaxMaps; ++i) {
            if (v != &maps[i].submapCount)
                continue;
            if (maps[i].submapCount >= 0 && maps[i].submapCount <= kMaxSubmaps) {
                needsRebuild = true;
                return true;
            }
            fail(Submap::kSubmapCountText, unsigned(i + 1));
            return Submap::kRefusedCountRecollects;
        }
        return onSubmapChanged(v);
    }

    // The set checks of the base, every map composed, then the family's set bounds.
    bool prepareSets() override
    {
        if (!FractalScene::prepareSets())
            return false;
        for (int i = 0; i < mapCount; ++i)
            if (!composeMap(i))
                return false;
        return computeBounds();
    }

    // Composes map `index` (0-based) into the family's composed transform of it. False with
    // errorText on failure.
    virtual bool composeMap(int index) = 0;

protected:
    using FractalScene::FractalScene;

    // failedWithText: the step set a message more precise than the composition's own.
    enum class StepResult { ok, failed, failedWithText };

    // The "Maps" folder: Number of maps, then for each map its Number of submaps and its
    // submaps, each a group carrying its kind; fields(s, kind) describes the values of submap s.
    template <class Fields>
    void describeMapTable(ParamArchive& ar, ChoiceNames kindNames, Fields&& fields)
    {
        const auto kinds = static_cast<std::uint16_t>(kindNames.size());
        describeGroup(ar, "Maps", [&] {
            describeParam(ar, "Number of maps", &mapCount, kKindInt);
            // The count may have just been read from a file: never past the table.
            const int used = std::clamp(mapCount, 0, kMaxMaps);
            for (int i = 0; i < used; ++i) {
                char name[32];
                std::snprintf(name, sizeof name, "Map %u", unsigned(i + 1));
                MapRecord<Submap>& map = maps[i];
                describeGroup(ar, name, [&] {
                    describeParam(ar, "Number of submaps", &map.submapCount, kKindInt);
                    const int n = std::clamp(map.submapCount, 0, kMaxSubmaps);
                    for (int j = 0; j < n; ++j) {
                        Submap& s = map.submaps[j];
                        // The group carries the kind, so the children see the kind just read.
                        describeGroup(
                            ar, "Submap", [&] { fields(s, choiceIndex(s.kind, kinds)); }, &s.kind,
                            kinds, kindNames);
                    }
                });
            }
        });
    }

    // Edit-time check of Number of maps: 1..31, one less than the build accepts. True when `v`
    // is Number of maps (the parameter list is then collected again).
    bool checkMapCount(const void* v)
    {
        if (v != &mapCount)
            return false;
        if (mapCount >= 1 && mapCount <= kMaxMaps - 1)
            needsRebuild = true;
        else
            fail("Error: Number of maps");
        return true;
    }

    // Edit-time checks of a field of one submap (kind, numbers, Map); the result as for
    // onParamChanged.
    virtual bool onSubmapChanged(const void* v) = 0;
    // Boxes, centres and radius2 of the sets after the maps are composed.
    virtual bool computeBounds() = 0;

    // Whether a map's Number of submaps may be folded; composing refuses it otherwise.
    bool submapCountValid(int index) const
    {
        return maps[index].submapCount >= 0 && maps[index].submapCount <= kMaxSubmaps;
    }

    // Folds the submaps of map `index` (0-based) in list order with step(mapIndex, submapIndex,
    // submap), each step being applied after the ones before it. Stops at the first step that
    // does not succeed; `failedAt` tells which submap of this map it was.
    template <class Step> StepResult foldMap(int index, Step&& step, int& failedAt)
    {
        mapNesting = 0;
        const MapRecord<Submap>& map = maps[index];
        for (int j = 0; j < map.submapCount; ++j) {
            const StepResult r = step(index, j, map.submaps[j]);
            if (r != StepResult::ok) {
                failedAt = j;
                return r;
            }
        }
        return StepResult::ok;
    }

    // A Map step referring to map `ref` (1-based, already checked to exist): its submaps are
    // folded in here. A map that refers to itself, directly or through others, would never end,
    // so the nesting counter may not pass Number of maps.
    template <class Step> StepResult foldNestedMap(int ref, Step&& step)
    {
        const MapRecord<Submap>& nested = maps[ref - 1];
        if (nested.submapCount > kMaxSubmaps)
            return StepResult::failed; // callers check it first, with their own message
        for (int j = 0; j < nested.submapCount; ++j) {
            if (mapNesting > mapCount)
                return StepResult::failed;
            ++mapNesting;
            const StepResult r = step(ref - 1, j, nested.submaps[j]);
            --mapNesting;
            if (r != StepResult::ok)
                return r;
        }
        return StepResult::ok;
    }
};

} // namespace ormolith
