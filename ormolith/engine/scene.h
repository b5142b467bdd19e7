#pragma once
// The scene of one document: everything a build needs except the maps, which the two fractal
// types (AffineScene, MebiusScene) add. Fixed tables with fixed limits; every index that comes
// from a file or an edit is checked before it touches a table.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry.h"
#include "param.h"
#include "render_types.h"

namespace ormolith {

inline constexpr int kMaxMaps = 32;
inline constexpr int kMaxSubmaps = 24;
inline constexpr int kMaxSets = 32;
inline constexpr int kMaxSubsets = 32;
inline constexpr int kMaxLights = 32;
inline constexpr int kMaxMaterials = 32;

// Bytes of builder memory per pixel (one PixelRecord).
inline constexpr std::uint64_t kBytesPerPixel = sizeof(PixelRecord);

enum FractalType : int { kAffineType = 0, kMebiusType = 1 };

enum LightKind : std::int32_t { kLamp = 0, kSpot = 1, kParallel = 2 };

// Shared by both map families; value 4 is Matrix for affine maps and Reflect for Moebius maps,
// value 5 exists only for affine maps.
enum SubmapKind : std::int32_t {
    kSubmapMap = 0,
    kSubmapRotate = 1,
    kSubmapTranslate = 2,
    kSubmapScale = 3,
    kSubmapMatrix = 4,
    kSubmapReflect = 4,
    kSubmapScaleRotate = 5,
};

struct Colour {
    double red = 0, green = 0, blue = 0, luminiscence = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

struct LightRecord {
    Colour diffuse;
    Colour specular;
    Vec3 position;
    double attenuationConstant = 0, attenuationLinear = 0, attenuationQuadratic = 1;
    Vec3 direction;
    double spotAngle = 5, endSpotAngle = 10, beamDistribution = 10;
    std::int32_t kind = kLamp;
    std::int32_t attachment = 0; // 0 Object, 1 Camera
    std::int32_t shadows = 1;    // 0 Off, 1 On
};

struct MaterialRecord {
    Colour diffuse{1, 1, 1, 1.7};
    Colour specular{1, 1, 1, 0.4};
    Colour ambient{1, 1, 1, 1.7};
    double reflection = 0.5;
    double shininess = 5;
};

struct SubsetEntry {
    std::int32_t subset = 0; // 1-based set whose image this subset is
    std::int32_t map = 0;    // 1-based map applied to it; 0 = takes no part
    double weight = 0;       // derived by the build-time checks
};

struct SetRecord {
    std::int32_t subsetCount = 0;
    std::array<SubsetEntry, kMaxSubsets> subsets{};
    // Derived by the set bounds before a build.
    Vec3 point; // a point of the set; the box grows from it
    Vec3 boxMin, boxMax;
    double size = 0; // largest box edge while the bounds grow
    Vec3 centre;
    double radius2 = 0;
    std::int32_t boundsKnown = 0;
};

struct Camera {
    Vec3 position{0, 0, -80};
    Vec3 direction{0, 0, 0}; // all zero: the build chooses (AutoCam)
    Vec3 vertical{0, 1, 0};
    double fieldOfView = 50; // degrees, vertical
    double eyesDistance = 0.3;
    friend bool operator==(const Camera&, const Camera&) = default;
};

// Derived camera values of the current build (unit right, up, forward, focal length in pixels,
// the eye and columns of the current pass).
struct CameraFrame {
    Vec3 right, up, forward;
    double focal = 0;
    Vec3 eye;
    int firstColumn = 0, endColumn = 0;
};

template <class Submap> struct MapRecord {
    std::int32_t submapCount = 0;
    std::array<Submap, kMaxSubmaps> submaps{};
};

class FractalScene {
public:
    virtual ~FractalScene();
    FractalScene(const FractalScene&) = delete;
    FractalScene& operator=(const FractalScene&) = delete;

    int fractalType() const { return fractalType_; }

    // Visits every parameter in the file's order (describe_params.cpp).
    void describeParameters(ParamArchive& ar);
    // The "Maps" folder of the fractal type.
    virtual void describeMaps(ParamArchive& ar) = 0;
    // Checks an edited parameter (recognised by its value pointer). True when the parameter
    // list must be collected again. May set errorText and needsRebuild; never undoes the edit.
    virtual bool onParamChanged(const ParamNode& node);
    // Build-time checks and preparations: set checks and reachability here, map composition
    // in the derived classes. False with errorText at the first failure.
    virtual bool prepareSets();
    // The piece tree of the builder (pieces.cpp): the root piece of the drawn set, and the
    // children of a piece written to out[0..room). makeChildren returns their number, 0 when
    // the piece has no children or they would not all fit. Children made from a piece of
    // generation branchGeneration take their subset number as material. Both only read the
    // scene, so several build workers may call them at once.
    virtual void makeRootPiece(Piece& root) const = 0;
    virtual int makeChildren(const Piece& parent, Piece* out, int room,
                             int branchGeneration) const = 0;

    static std::uint64_t memoryRequired(std::uint64_t width, std::uint64_t height)
    {
        return width * height * kBytesPerPixel;
    }

    // Whether 0-based set j is drawn or reachable from the drawn set (after prepareSets).
    bool takesPart(int j) const;
    // Number of materials the tree shows: 1 with Attachment "None", else the subset count of the
    // first set from Current set on that branches.
    int materialCount() const;

    // --- run state shared with the user-interface thread ---
    std::atomic<bool> stopRequested{false};
    std::atomic<double> progressPercent{-1};

    // --- General ---
    double precision = 2.0;
    double level = 1.2;
    std::int32_t deep = 0;
    bool quality = false;          // true "Low", false "High"
    std::int32_t antialiasing = 0; // 0 Off, 1 2x2, 2 3x3
    bool mode = false;             // true "Stereo", false "Mono"
    std::int32_t advancedColors = 0;

    Camera camera;

    // --- Lights ---
    std::int32_t lightCount = 3;
    std::array<LightRecord, kMaxLights> lights;
    Colour ambient{1, 1, 1, 0.05};

    // --- Sets ---
    std::int32_t setCount = 0;
    std::int32_t currentSet = 0; // 1-based
    std::array<SetRecord, kMaxSets> sets{};
    // reachability[i][j]: length of a chain of subsets from set i to set j, 0 = unreachable.
    std::array<std::array<std::int32_t, kMaxSets>, kMaxSets> reachability{};

    // --- Material ---
    std::array<MaterialRecord, kMaxMaterials> materials{};
    Colour background{0, 1, 1, 0.5};
    std::int32_t materialAttachment = 1; // 0 Subsets, 1 None

    // --- Maps ---
    std::int32_t mapCount = 0;
    std::int32_t mapNesting = 0; // recursion guard while composing

    // --- build bookkeeping ---
    bool needsRebuild = true;
    std::string errorText; // empty = no message
    Camera lastBuildCamera{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0, 0};
    std::int32_t lastBuildAntialiasing = 0;
    std::int32_t lastBuildDeep = 0;

    // --- builder memory, kept between builds (owned by the builder code) ---
    CameraFrame frame;
    std::vector<PixelRecord> accumulator; // width x height, row 0 the bottom line
    int accumulatorWidth = 0, accumulatorHeight = 0;
    std::vector<Piece> pieces; // capacity kMaxPieces, never grown during a build
    // Per-worker piece stacks and ray lanes (builder.cpp), kept so that builds do not allocate.
    std::shared_ptr<struct BuildWorkspace> workspace;

protected:
    explicit FractalScene(int fractalType);
    // Sets errorText from a printf-style format.
    bool fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    int fractalType_;
};

} // namespace ormolith
