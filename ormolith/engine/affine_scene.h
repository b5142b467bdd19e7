#pragma once
#include <array>

#include "map_scene.h"

namespace ormolith {

// One elementary step of an affine map. One storage serves every kind, so switching the kind
// keeps the numbers: direction is also the X, Y, Z of Translate and Scale; p[0] and p[1] are
// Scale along / Scale across for Scale+Rotate; p[0..8] are A11..A33 for Matrix.
struct AffineSubmap {
    Vec3 direction;
    double angle = 0; // degrees
    std::array<double, 9> p{};
    std::int32_t kind = kSubmapMap;
    std::int32_t map = 0; // 1-based map folded in by a Map step

    static constexpr const char* kSubmapCountText = "Error: Map%u/Number of submaps";
    static constexpr bool kRefusedCountRecollects = false;
};

class AffineScene : public MapScene<AffineSubmap> {
public:
    AffineScene();

    void describeMaps(ParamArchive& ar) override;
    void makeRootPiece(Piece& root) const override;
    int makeChildren(const Piece& parent, Piece* out, int room,
                     int branchGeneration) const override;

    // Composes map `index` (0-based) into mapTransforms[index]. False with errorText on failure.
    bool composeMap(int index) override;

    // The composed transform of every map, valid after prepareSets.
    std::array<AffineTransform, kMaxMaps> mapTransforms{};

protected:
    bool onSubmapChanged(const void* v) override;
    bool computeBounds() override;

private:
    StepResult foldSubmap(int mapIndex, int submapIndex, const AffineSubmap& s, AffineTransform& t,
                          int& budget);
};

} // namespace ormolith
