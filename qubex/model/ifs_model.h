#pragma once
// The qubex model: one IFS code of up to 32 projective 4x4 maps, the generation settings and
// the fixed cloud of points that the random iteration fills. Plain C++, no Qt.
#include <array>
#include <cstdint>

namespace qubex {

inline constexpr int kMaxMaps = 32;
inline constexpr int kMaxPoints = 50000;
inline constexpr int kMinIteration = 100;

// Largest value one random draw can take; the arithmetic below divides by it so that the
// top draw maps to exactly 1.
inline constexpr int kRandMax = 32767;

using Matrix4d = std::array<std::array<double, 4>, 4>; // [row][column]

struct IfsCode {
    // Number of maps in use. Everything that indexes the tables goes through mapCount(), so a
    // value a user typed or a file supplied can never reach past the 32 slots.
    std::int32_t matrix_length = 4;
    std::array<Matrix4d, kMaxMaps> maps{};
    // Cumulative selection thresholds ("prob"), not individual probabilities.
    std::array<double, kMaxMaps> thresholds{};

    int mapCount() const;
};

struct GenerationSettings {
    std::int32_t iteration = 5000;
    bool autosize = true;
    bool autocenter = true;

    int pointCount() const; // iteration limited to 0..kMaxPoints
};

struct Point3f {
    float x = 0, y = 0, z = 0;
};

// 600 kB: allocate it once (on the heap) and refill it in place; generation never allocates.
struct PointCloud {
    std::array<Point3f, kMaxPoints> points{};
    int count = 0; // the first `count` points are valid
};

// Source of draws 0..32767. The program uses the C library's rand; tests queue fixed draws.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual int next() = 0;
};

class CRandSource final : public RandomSource {
public:
    int next() override;
};

int clampMatrixLength(long long value);
int clampIteration(long long value);

float randomSigned(RandomSource& random);
void newProbabilities(IfsCode& code, RandomSource& random);
void newMatrices(IfsCode& code, RandomSource& random);
void generatePoints(const IfsCode& code, const GenerationSettings& settings, PointCloud& cloud,
                    RandomSource& random);
void autosizePoints(PointCloud& cloud);
void autocenterPoints(PointCloud& cloud);

} // namespace qubex
