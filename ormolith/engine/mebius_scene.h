#pragma once
#include <array>

#include "map_scene.h"

namespace ormolith {

// One elementary step of a Moebius map; `value` is the Angle, Scale or Reflection of the kind.
struct MebiusSubmap {
    Vec3 direction; // direction, or translation for Translate
    double value = 0;
    std::int32_t kind = kSubmapMap;
    std::int32_t map = 0;

    static constexpr const char* kSubmapCountText = "Error: Map %u/Number of submaps";
    // The map's rows follow its count even when the count is refused.
    static constexpr bool kRefusedCountRecollects = true;
};

class MebiusScene : public MapScene<MebiusSubmap> {
public:
    MebiusScene();

    void describeMaps(ParamArchive& ar) override;
    void makeRootPiece(Piece& root) const override;
    int makeChildren(const Piece& parent, Piece* out, int room,
                     int branchGeneration) const override;

    // Composes map `index` (0-based) into mapMatrices[index]. False with errorText on failure.
    bool composeMap(int index) override;

    // The composed 5x5 matrix of every map, valid after prepareSets.
    std::array<Mat5, kMaxMaps> mapMatrices{};

protected:
    bool onSubmapChanged(const void* v) override;
    bool computeBounds() override;

private:
    StepResult foldSubmap(const MebiusSubmap& s, Mat5& g, int& budget);
};

} // namespace ormolith
