// The build: checks and bounds, camera, the render passes over tiles on worker threads, the
// conversion to bytes. See README.md for how the walks share one traversal.
#include "builder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <time.h>
#include <utility>
#include <vector>

#include "bounds.h"
#include "shading.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORMOLITH_HAVE_X86 1
#define ORMOLITH_AVX2 __attribute__((target("avx2")))
#endif

namespace ormolith {

namespace {

constexpr double kMissed = 100;    // traced this generation, nothing hit
constexpr double kNotTraced = 200; // not traced this generation
constexpr double kMinWeight = 0.01;

// A ray (or a shadow line, or a point of the normal field) while a worker walks the piece tree.
// Lanes are the worker's own double-precision copies of its tile's pixel records, threaded into
// lists by `next`: a piece's list holds the lanes that may still meet it.
struct Lane {
    double d[3]; // unit direction, normalised in double precision
    double dist; // present distance of the nearest hit, or the length of a shadow line
    std::int32_t next;
    std::int32_t record; // index of the pixel record
};

// The rest of a lane, apart so that the list walks touch as little memory as possible.
struct LaneCold {
    double o[3];   // origin (a reflected ray's start, a hit point, or a lit point)
    double n[3];   // normal of the hit (hit point - leaf centre)
    double acc[3]; // sum of the normal field
    std::int32_t material;
};

// The lanes of one walk in columns. Every piece's lanes are the first `count` of them: a filter
// moves the few lanes it keeps to the front, so the children of a piece see its kept lanes as
// one run (and hand it on to each other, as the lists did), and the tests read the columns four
// lanes at a time. `id` leads back to the Lane and LaneCold that the walk started from.
struct Columns {
    double *dx, *dy, *dz, *dist; // direction and distance (rays, shadow lines)
    double *ox, *oy, *oz;        // origin (rays off the eye, Parallel lines, the normal field)
    double *ax, *ay, *az;        // sum of the normal field
    std::int32_t* id;
};
enum : unsigned { kDirectionColumns = 1, kOriginColumns = 2, kSumColumns = 4 };

// Everything one worker owns. Allocated once per thread count and kept in the scene; workers
// are separate heap objects, and the counters that change often sit on their own cache line so
// that two workers never write to the same one.
// What one kind of walk cost a worker: pieces visited and processor time.
struct WalkCount {
    long long pieces = 0;
    double seconds = 0;
};

// This thread's processor time: the benchmark's phase figures must not count the time that
// other programs on a busy machine take from it.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

struct alignas(64) Worker {
    std::vector<Piece> stack;
    std::vector<Lane> lanes;
    std::vector<LaneCold> cold;
    std::vector<double> columnData; // 10 columns of lane capacity each
    std::vector<std::int32_t> columnIds;
    Columns columns() {
        const std::size_t n = columnIds.size();
        double* d = columnData.data();
        return {d,         d + n,     d + 2 * n, d + 3 * n, d + 4 * n, d + 5 * n,
                d + 6 * n, d + 7 * n, d + 8 * n, d + 9 * n, columnIds.data()};
    }
    std::array<Piece, kMaxSubsets> scratch; // children of the piece being split
    alignas(64) double pendingProgress = 0;
    int pendingCount = 0;
    WalkCount rays, normals, shadows;
    char padding[64];
};

struct Tile {
    int x0, x1, y0, y1; // columns [x0, x1), rows [y0, y1)
    int firstColumn, endColumn;
    Vec3 eye;
    double share; // the tile's share of its eye pass, for the progress
};

} // namespace

// Where a light's shadows fell in the last build, so that a build that only changes colours
// need not walk the shadow lines again. Valid only for one pass of one generation (no
// antialiasing, no reflections) and only while the geometry and the light's place stay.
struct ShadowKey {
    std::int32_t kind = -1;
    Vec3 position, direction;
    friend bool operator==(const ShadowKey&, const ShadowKey&) = default;
};

struct BuildWorkspace {
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<Tile> tiles;               // cleared per build, capacity kept
    std::vector<std::uint32_t> shadowMask; // per pixel, bit i: shadowed from light i
    std::array<ShadowKey, kMaxLights> shadowKeys{};
    std::uint32_t shadowValid = 0; // lights whose bits in shadowMask are current
    int laneCapacity = 0;
    BuildStats stats;
};

namespace {

// Read-only during the passes; shared by all workers.
struct Pass {
    FractalScene* scene;
    const PreparedShading* shading;
    CameraFrame frame;
    int width, height;
    bool rebuild, highQuality;
    int deep, n;
    double precision2, levelOverF2, levelOverF;
    int branchGeneration;
    double progressPerUnit; // percent for one whole walk of the picture
    const std::vector<Tile>* tiles;
    std::atomic<int>* nextTile;
    std::uint32_t* shadowMask;  // null when shadows are not kept
    std::uint32_t cachedLights; // lights whose shadows are read from shadowMask
    std::uint32_t recordLights; // lights whose shadows are written to shadowMask
    double unitsPerGeneration;  // walks of one generation: rays, normals, shadowed lights
    bool vector;                // lane tests four at a time (AVX2)
};

bool stopped(const Pass& pass)
{
    return pass.scene->stopRequested.load(std::memory_order_relaxed);
}

void flushProgress(const Pass& pass, Worker& w)
{
    if (w.pendingProgress != 0)
        pass.scene->progressPercent.fetch_add(w.pendingProgress, std::memory_order_relaxed);
    w.pendingProgress = 0;
    w.pendingCount = 0;
}

inline void finished(const Pass& pass, Worker& w, double mass, double scale)
{
    w.pendingProgress += mass * scale;
    if (++w.pendingCount >= 512)
        flushProgress(pass, w);
}

inline void push(Lane* lanes, std::int32_t& head, std::int32_t i)
{
    lanes[i].next = head;
    head = i;
}

// Ray against a sphere: b is the distance along the ray to the point nearest the centre and
// disc the squared half chord. The squared distance of the centre from the ray is taken from the
// perpendicular vector rather than as |w|^2 - b^2, which would cancel catastrophically for a
// small sphere far away (a pixel-sized leaf at a large picture size). w = centre - origin.
// The vector forms below repeat these operations in this order, without fused multiply-adds,
// so that both paths give the same bits.
struct Chord {
    double b, disc;
};

inline Chord chordFrom(double wx, double wy, double wz, double dx, double dy, double dz,
                       double reach)
{
    const double b = wx * dx + wy * dy + wz * dz;
    const double qx = wx - b * dx, qy = wy - b * dy, qz = wz - b * dz;
    return {b, reach - (qx * qx + qy * qy + qz * qz)};
}

inline Chord chordAt(const Columns& c, int i, const Vec3& centre, double reach)
{
    return chordFrom(centre.x - c.ox[i], centre.y - c.oy[i], centre.z - c.oz[i], c.dx[i], c.dy[i],
                     c.dz[i], reach);
}

// Swaps lanes `from` and `to` in the columns the walk uses.
template <unsigned Used> inline void swapLanes(const Columns& c, int from, int to)
{
    std::swap(c.id[from], c.id[to]);
    if constexpr ((Used & kDirectionColumns) != 0) {
        std::swap(c.dx[from], c.dx[to]);
        std::swap(c.dy[from], c.dy[to]);
        std::swap(c.dz[from], c.dz[to]);
        std::swap(c.dist[from], c.dist[to]);
    }
    if constexpr ((Used & kOriginColumns) != 0) {
        std::swap(c.ox[from], c.ox[to]);
        std::swap(c.oy[from], c.oy[to]);
        std::swap(c.oz[from], c.oz[to]);
    }
    if constexpr ((Used & kSumColumns) != 0) {
        std::swap(c.ax[from], c.ax[to]);
        std::swap(c.ay[from], c.ay[to]);
        std::swap(c.az[from], c.az[to]);
    }
}

// The lanes among the first `count` that test.meets() keeps are moved to the front (swapped
// with rejected ones, so only about as many lanes move as are kept); returns their number.
template <class Test> int keepScalar(const Test& t, const Columns& c, int count)
{
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (t.meets(c, i)) {
            if (i != kept)
                swapLanes<Test::kUsed>(c, i, kept);
            ++kept;
        }
    return kept;
}

// All leaf children of a piece against its lanes, lane by lane: each lane meets the leaves in
// the children's order, as it would one leaf after the other, but is read and written once.
template <class Leaf> void leavesScalar(const Leaf* leaves, int n, const Columns& c, int count)
{
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < n; ++k)
            leaves[k].one(c, i);
}

#ifdef ORMOLITH_HAVE_X86
// Four lanes at a time; the rest one by one. A kept lane is swapped with the first lane not yet
// kept, which lies before it (or is itself), so the four lanes just read are never read again.
template <class Test> ORMOLITH_AVX2 int keepVector(const Test& t, const Columns& c, int count)
{
    int kept = 0, i = 0;
    for (; i + 4 <= count; i += 4) {
        unsigned mask = t.meets4(c, i);
        while (mask != 0) {
            const int j = i + __builtin_ctz(mask);
            if (j != kept)
                swapLanes<Test::kUsed>(c, j, kept);
            ++kept;
            mask &= mask - 1;
        }
    }
    for (; i < count; ++i)
        if (t.meets(c, i)) {
            if (i != kept)
                swapLanes<Test::kUsed>(c, i, kept);
            ++kept;
        }
    return kept;
}

template <class Leaf>
ORMOLITH_AVX2 void leavesVector(const Leaf* leaves, int n, const Columns& c, int count)
{
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        typename Leaf::State4 s = Leaf::loadState(c, i);
        for (int k = 0; k < n; ++k)
            leaves[k].step4(c, i, s);
        Leaf::storeState(c, i, s);
    }
    for (; i < count; ++i)
        for (int k = 0; k < n; ++k)
            leaves[k].one(c, i);
}

#define V4 ORMOLITH_AVX2 inline __attribute__((always_inline))
V4 __m256d load4(const double* p) { return _mm256_loadu_pd(p); }
V4 __m256d set4(double v) { return _mm256_set1_pd(v); }
V4 __m256d add4(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
V4 __m256d sub4(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
V4 __m256d mul4(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
V4 __m256d and4(__m256d a, __m256d b) { return _mm256_and_pd(a, b); }
V4 __m256d or4(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
template <int Op> V4 __m256d cmp4(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, Op); }
V4 unsigned bits4(__m256d m) { return unsigned(_mm256_movemask_pd(m)); }

struct Chord4 {
    __m256d b, disc;
};
V4 Chord4 chordOf4(__m256d wx, __m256d wy, __m256d wz, __m256d dx, __m256d dy, __m256d dz,
                   __m256d reach)
{
    const __m256d b = add4(add4(mul4(wx, dx), mul4(wy, dy)), mul4(wz, dz));
    const __m256d qx = sub4(wx, mul4(b, dx)), qy = sub4(wy, mul4(b, dy)),
                  qz = sub4(wz, mul4(b, dz));
    return {b, sub4(reach, add4(add4(mul4(qx, qx), mul4(qy, qy)), mul4(qz, qz)))};
}
V4 Chord4 chordFrom4(__m256d wx, __m256d wy, __m256d wz, const Columns& c, int i, __m256d reach)
{
    return chordOf4(wx, wy, wz, load4(c.dx + i), load4(c.dy + i), load4(c.dz + i), reach);
}
V4 Chord4 chordAt4(const Columns& c, int i, const Vec3& centre, __m256d reach)
{
    return chordFrom4(sub4(set4(centre.x), load4(c.ox + i)), sub4(set4(centre.y), load4(c.oy + i)),
                      sub4(set4(centre.z), load4(c.oz + i)), c, i, reach);
}
#endif

// Rays: a lane stays with a piece while its reach sphere lies (partly) ahead of the ray and no
// farther than the ray's present hit (b - sqrt(disc) <= dist and b + sqrt(disc) >= 0, without
// the square root).
inline bool rayMeets(Chord ch, double dist)
{
    const double ahead = ch.b - dist;
    return (ch.disc >= 0) & ((ahead <= 0) | (ahead * ahead <= ch.disc)) &
           ((ch.b >= 0) | (ch.b * ch.b <= ch.disc));
}
#ifdef ORMOLITH_HAVE_X86
V4 unsigned rayMeets4(Chord4 ch, __m256d dist)
{
    const __m256d zero = _mm256_setzero_pd();
    const __m256d ahead = sub4(ch.b, dist);
    return bits4(and4(
        and4(cmp4<_CMP_GE_OQ>(ch.disc, zero),
             or4(cmp4<_CMP_LE_OQ>(ahead, zero), cmp4<_CMP_LE_OQ>(mul4(ahead, ahead), ch.disc))),
        or4(cmp4<_CMP_GE_OQ>(ch.b, zero), cmp4<_CMP_LE_OQ>(mul4(ch.b, ch.b), ch.disc))));
}
#endif

// Rays that all start at one point (the eye): centre - origin once per piece.
struct RayFromEyeTest {
    static constexpr unsigned kUsed = kDirectionColumns;
    double wx, wy, wz, reach;
    bool meets(const Columns& c, int i) const
    {
        return rayMeets(chordFrom(wx, wy, wz, c.dx[i], c.dy[i], c.dz[i], reach), c.dist[i]);
    }
#ifdef ORMOLITH_HAVE_X86
    V4 unsigned meets4(const Columns& c, int i) const
    {
        return rayMeets4(chordFrom4(set4(wx), set4(wy), set4(wz), c, i, set4(reach)),
                         load4(c.dist + i));
    }
#endif
};

struct RayTest {
    static constexpr unsigned kUsed = kDirectionColumns | kOriginColumns;
    Vec3 centre;
    double reach;
    bool meets(const Columns& c, int i) const
    {
        return rayMeets(chordAt(c, i, centre, reach), c.dist[i]);
    }
#ifdef ORMOLITH_HAVE_X86
    V4 unsigned meets4(const Columns& c, int i) const
    {
        return rayMeets4(chordAt4(c, i, centre, set4(reach)), load4(c.dist + i));
    }
#endif
};

// A leaf shortens the rays that hit its reach sphere nearer than their present hit.
struct RayLeaf {
    Vec3 centre, eye;
    double reach;
    int material;
    bool fromEye;
    LaneCold* cold;
    Chord chord(const Columns& c, int i) const
    {
        return fromEye ? chordFrom(centre.x - eye.x, centre.y - eye.y, centre.z - eye.z, c.dx[i],
                                   c.dy[i], c.dz[i], reach)
                       : chordAt(c, i, centre, reach);
    }
    // The hit's normal and material; the distance is the caller's.
    void hitSurface(const Columns& c, int i, double t) const
    {
        LaneCold& l = cold[c.id[i]];
        const double d[3] = {c.dx[i], c.dy[i], c.dz[i]};
        for (int k = 0; k < 3; ++k)
            l.n[k] = l.o[k] + t * d[k] - centre[k];
        l.material = material;
    }
    void one(const Columns& c, int i) const
    {
        const Chord ch = chord(c, i);
        if (ch.disc < 0)
            return;
        const double t = ch.b - std::sqrt(ch.disc);
        if (t < c.dist[i] && t > 0) {
            c.dist[i] = t;
            hitSurface(c, i, t);
        }
    }
#ifdef ORMOLITH_HAVE_X86
    struct State4 {
        __m256d dx, dy, dz, dist, ox, oy, oz;
    };
    static V4 State4 loadState(const Columns& c, int i)
    {
        return {load4(c.dx + i), load4(c.dy + i), load4(c.dz + i), load4(c.dist + i),
                load4(c.ox + i), load4(c.oy + i), load4(c.oz + i)};
    }
    static V4 void storeState(const Columns& c, int i, const State4& s)
    {
        _mm256_storeu_pd(c.dist + i, s.dist);
    }
    V4 void step4(const Columns& c, int i, State4& s) const
    {
        const __m256d r = set4(reach);
        const Chord4 ch =
            fromEye ? chordOf4(set4(centre.x - eye.x), set4(centre.y - eye.y),
                               set4(centre.z - eye.z), s.dx, s.dy, s.dz, r)
                    : chordOf4(sub4(set4(centre.x), s.ox), sub4(set4(centre.y), s.oy),
                               sub4(set4(centre.z), s.oz), s.dx, s.dy, s.dz, r);
        // A negative disc gives no number, and no comparison holds for it.
        const __m256d t = sub4(ch.b, _mm256_sqrt_pd(ch.disc));
        const __m256d nearer =
            and4(cmp4<_CMP_LT_OQ>(t, s.dist), cmp4<_CMP_GT_OQ>(t, _mm256_setzero_pd()));
        unsigned mask = bits4(nearer);
        if (mask == 0)
            return;
        s.dist = _mm256_blendv_pd(s.dist, t, nearer);
        alignas(32) double ts[4];
        _mm256_store_pd(ts, t);
        while (mask != 0) {
            const int j = __builtin_ctz(mask);
            hitSurface(c, i + j, ts[j]);
            mask &= mask - 1;
        }
    }
#endif
};

// Shadow lines of a Lamp or Spot, from the light towards the point, `dist` long; a shadowed
// line has dist -1 and meets nothing any more. A line stays with a piece unless the reach
// sphere is missed, lies behind the light or lies wholly beyond the point.
struct LampTest {
    static constexpr unsigned kUsed = kDirectionColumns;
    double wx, wy, wz, reach;
    bool meets(const Columns& c, int i) const
    {
        const Chord ch = chordFrom(wx, wy, wz, c.dx[i], c.dy[i], c.dz[i], reach);
        const double ahead = ch.b - c.dist[i];
        return (c.dist[i] >= 0) & (ch.disc >= 0) & ((ch.b >= 0) | (ch.b * ch.b <= ch.disc)) &
               ((ahead < 0) | (ahead * ahead < ch.disc));
    }
#ifdef ORMOLITH_HAVE_X86
    V4 unsigned meets4(const Columns& c, int i) const
    {
        const __m256d zero = _mm256_setzero_pd();
        const __m256d dist = load4(c.dist + i);
        const Chord4 ch = chordFrom4(set4(wx), set4(wy), set4(wz), c, i, set4(reach));
        const __m256d ahead = sub4(ch.b, dist);
        return bits4(and4(
            and4(cmp4<_CMP_GE_OQ>(dist, zero), cmp4<_CMP_GE_OQ>(ch.disc, zero)),
            and4(or4(cmp4<_CMP_GE_OQ>(ch.b, zero), cmp4<_CMP_LE_OQ>(mul4(ch.b, ch.b), ch.disc)),
                 or4(cmp4<_CMP_LT_OQ>(ahead, zero),
                     cmp4<_CMP_LT_OQ>(mul4(ahead, ahead), ch.disc)))));
    }
#endif
};

// The point is in shadow when the line passes all the way through the leaf before reaching it.
struct LampLeaf {
    double wx, wy, wz, reach;
    void one(const Columns& c, int i) const
    {
        const Chord ch = chordFrom(wx, wy, wz, c.dx[i], c.dy[i], c.dz[i], reach);
        if (ch.disc < 0)
            return;
        const double t = ch.b + std::sqrt(ch.disc);
        if (t > 0 && t < c.dist[i])
            c.dist[i] = -1;
    }
#ifdef ORMOLITH_HAVE_X86
    struct State4 {
        __m256d dx, dy, dz, dist;
    };
    static V4 State4 loadState(const Columns& c, int i)
    {
        return {load4(c.dx + i), load4(c.dy + i), load4(c.dz + i), load4(c.dist + i)};
    }
    static V4 void storeState(const Columns& c, int i, const State4& s)
    {
        _mm256_storeu_pd(c.dist + i, s.dist);
    }
    V4 void step4(const Columns&, int, State4& s) const
    {
        const Chord4 ch = chordOf4(set4(wx), set4(wy), set4(wz), s.dx, s.dy, s.dz, set4(reach));
        const __m256d t = add4(ch.b, _mm256_sqrt_pd(ch.disc));
        const __m256d shadowed =
            and4(cmp4<_CMP_GT_OQ>(t, _mm256_setzero_pd()), cmp4<_CMP_LT_OQ>(t, s.dist));
        s.dist = _mm256_blendv_pd(s.dist, set4(-1), shadowed);
    }
#endif
};

// Shadow lines of a Parallel light, from the point backwards along the light's direction
// (d = -direction); dist is 0 while the point is lit and -1 once it is shadowed.
struct ParallelTest {
    static constexpr unsigned kUsed = kDirectionColumns | kOriginColumns;
    Vec3 centre;
    double reach;
    bool meets(const Columns& c, int i) const
    {
        if (!(c.dist[i] >= 0))
            return false;
        const Chord ch = chordAt(c, i, centre, reach);
        return ch.disc >= 0 && ch.b + std::sqrt(ch.disc) >= 0;
    }
#ifdef ORMOLITH_HAVE_X86
    V4 unsigned meets4(const Columns& c, int i) const
    {
        const __m256d zero = _mm256_setzero_pd();
        const Chord4 ch = chordAt4(c, i, centre, set4(reach));
        return bits4(and4(and4(cmp4<_CMP_GE_OQ>(load4(c.dist + i), zero),
                               cmp4<_CMP_GE_OQ>(ch.disc, zero)),
                          cmp4<_CMP_GE_OQ>(add4(ch.b, _mm256_sqrt_pd(ch.disc)), zero)));
    }
#endif
};

// In shadow when the point lies outside the leaf's reach sphere, the sphere's centre lies on the
// light's side of it ((P - centre) . a > 0 with a = -d) and the line meets the sphere.
struct ParallelLeaf {
    Vec3 centre;
    double reach;
    void one(const Columns& c, int i) const
    {
        if (!(c.dist[i] >= 0))
            return;
        const double px = c.ox[i] - centre.x, py = c.oy[i] - centre.y, pz = c.oz[i] - centre.z;
        const bool outside = px * px + py * py + pz * pz > reach;
        const bool lightSide = -(px * c.dx[i] + py * c.dy[i] + pz * c.dz[i]) > 0;
        if (outside && lightSide && chordAt(c, i, centre, reach).disc >= 0)
            c.dist[i] = -1;
    }
#ifdef ORMOLITH_HAVE_X86
    struct State4 {
        __m256d ox, oy, oz, dx, dy, dz, dist;
    };
    static V4 State4 loadState(const Columns& c, int i)
    {
        return {load4(c.ox + i), load4(c.oy + i), load4(c.oz + i), load4(c.dx + i),
                load4(c.dy + i), load4(c.dz + i), load4(c.dist + i)};
    }
    static V4 void storeState(const Columns& c, int i, const State4& s)
    {
        _mm256_storeu_pd(c.dist + i, s.dist);
    }
    V4 void step4(const Columns&, int, State4& s) const
    {
        const __m256d zero = _mm256_setzero_pd();
        const __m256d px = sub4(s.ox, set4(centre.x)), py = sub4(s.oy, set4(centre.y)),
                      pz = sub4(s.oz, set4(centre.z));
        const __m256d r2 = add4(add4(mul4(px, px), mul4(py, py)), mul4(pz, pz));
        const __m256d along = add4(add4(mul4(px, s.dx), mul4(py, s.dy)), mul4(pz, s.dz));
        const Chord4 ch = chordOf4(sub4(set4(centre.x), s.ox), sub4(set4(centre.y), s.oy),
                                   sub4(set4(centre.z), s.oz), s.dx, s.dy, s.dz, set4(reach));
        // -(along) > 0 exactly when along < 0: negation is exact.
        const __m256d shadowed =
            and4(and4(cmp4<_CMP_GE_OQ>(s.dist, zero), cmp4<_CMP_GT_OQ>(r2, set4(reach))),
                 and4(cmp4<_CMP_LT_OQ>(along, zero), cmp4<_CMP_GE_OQ>(ch.disc, zero)));
        s.dist = _mm256_blendv_pd(s.dist, set4(-1), shadowed);
    }
#endif
};

// The smoothed normal field: mass (x - centre) / |x - centre|^6 added to the lane's sum.
struct NormalTerm {
    Vec3 centre;
    double mass;
    // Adds the piece's term; `far` says whether it counts as a whole. Returns whether the lane
    // stays with the piece (it is near).
    bool addTo(const Columns& c, int i, double near2, bool all) const
    {
        const double dx = c.ox[i] - centre.x, dy = c.oy[i] - centre.y, dz = c.oz[i] - centre.z;
        const double r2 = dx * dx + dy * dy + dz * dz;
        if (!all && !(r2 >= near2))
            return true;
        if (!(r2 > 1e-300) || mass == 0)
            return false;
        const double f = mass / (r2 * r2 * r2);
        c.ax[i] += f * dx;
        c.ay[i] += f * dy;
        c.az[i] += f * dz;
        return false;
    }
#ifdef ORMOLITH_HAVE_X86
    V4 unsigned addTo4(const Columns& c, int i, double near2, bool all) const
    {
        const __m256d dx = sub4(load4(c.ox + i), set4(centre.x)),
                      dy = sub4(load4(c.oy + i), set4(centre.y)),
                      dz = sub4(load4(c.oz + i), set4(centre.z));
        const __m256d r2 = add4(add4(mul4(dx, dx), mul4(dy, dy)), mul4(dz, dz));
        const __m256d far =
            all ? _mm256_castsi256_pd(_mm256_set1_epi64x(-1)) : cmp4<_CMP_GE_OQ>(r2, set4(near2));
        if (mass != 0) {
            const __m256d counts = and4(far, cmp4<_CMP_GT_OQ>(r2, set4(1e-300)));
            const __m256d f = _mm256_div_pd(set4(mass), mul4(mul4(r2, r2), r2));
            double* sums[3] = {c.ax + i, c.ay + i, c.az + i};
            const __m256d deltas[3] = {dx, dy, dz};
            for (int k = 0; k < 3; ++k) {
                const __m256d a = load4(sums[k]);
                _mm256_storeu_pd(sums[k],
                                 _mm256_blendv_pd(a, add4(a, mul4(f, deltas[k])), counts));
            }
        }
        // Near lanes stay; a distance that is no number stays too, as in the scalar test.
        return all ? 0u : bits4(cmp4<_CMP_NGE_UQ>(r2, set4(near2)));
    }
#endif
};

struct NormalTest {
    static constexpr unsigned kUsed = kOriginColumns | kSumColumns;
    NormalTerm term;
    double near2;
    bool meets(const Columns& c, int i) const { return term.addTo(c, i, near2, false); }
#ifdef ORMOLITH_HAVE_X86
    V4 unsigned meets4(const Columns& c, int i) const { return term.addTo4(c, i, near2, false); }
#endif
};

struct NormalLeaf {
    NormalTerm term;
    void one(const Columns& c, int i) const { term.addTo(c, i, 0, true); }
#ifdef ORMOLITH_HAVE_X86
    struct State4 {
        __m256d ox, oy, oz, ax, ay, az;
    };
    static V4 State4 loadState(const Columns& c, int i)
    {
        return {load4(c.ox + i), load4(c.oy + i), load4(c.oz + i),
                load4(c.ax + i), load4(c.ay + i), load4(c.az + i)};
    }
    static V4 void storeState(const Columns& c, int i, const State4& s)
    {
        _mm256_storeu_pd(c.ax + i, s.ax);
        _mm256_storeu_pd(c.ay + i, s.ay);
        _mm256_storeu_pd(c.az + i, s.az);
    }
    // The operations of NormalTerm::addTo4 for a piece that counts as a whole.
    V4 void step4(const Columns&, int, State4& s) const
    {
        if (term.mass == 0)
            return;
        const __m256d dx = sub4(s.ox, set4(term.centre.x)), dy = sub4(s.oy, set4(term.centre.y)),
                      dz = sub4(s.oz, set4(term.centre.z));
        const __m256d r2 = add4(add4(mul4(dx, dx), mul4(dy, dy)), mul4(dz, dz));
        const __m256d counts = cmp4<_CMP_GT_OQ>(r2, set4(1e-300));
        const __m256d f = _mm256_div_pd(set4(term.mass), mul4(mul4(r2, r2), r2));
        s.ax = _mm256_blendv_pd(s.ax, add4(s.ax, mul4(f, dx)), counts);
        s.ay = _mm256_blendv_pd(s.ay, add4(s.ay, mul4(f, dy)), counts);
        s.az = _mm256_blendv_pd(s.az, add4(s.az, mul4(f, dz)), counts);
    }
#endif
};

template <class Test> int keepLanes(const Test& t, const Columns& c, int count, bool vector)
{
#ifdef ORMOLITH_HAVE_X86
    if (vector)
        return keepVector(t, c, count);
#endif
    (void)vector;
    return keepScalar(t, c, count);
}

template <class Leaf>
void leafLanes(const Leaf* leaves, int n, const Columns& c, int count, bool vector)
{
#ifdef ORMOLITH_HAVE_X86
    if (vector)
        return leavesVector(leaves, n, c, count);
#endif
    (void)vector;
    leavesScalar(leaves, n, c, count);
}

// Lines that a leaf shadowed stay among the lanes with dist -1; whether any is left decides
// whether the children are worth walking.
inline bool anyLit(const Columns& c, int count)
{
    for (int i = 0; i < count; ++i)
        if (c.dist[i] >= 0)
            return true;
    return false;
}

// Copies what a walked piece carries: the affine transform is the first 12 numbers.
inline void copyPiece(Piece& to, const Piece& from, int transformSize)
{
    to.generation = from.generation;
    to.mass = from.mass;
    to.reach = from.reach;
    to.exponent = from.exponent;
    to.centre = from.centre;
    to.radius2 = from.radius2;
    to.set = from.set;
    to.material = from.material;
    std::copy_n(from.transform.begin(), transformSize, to.transform.begin());
}

// The walk shared by the rays, the normal field and the shadow lines: a depth-first walk of the
// piece tree. A piece tests the lanes it receives, keeps those that may meet it at the front
// for its children (each child in turn receives all of them, with the distances shortened by
// the earlier ones) and the next piece on the stack receives every lane again. A lane therefore
// meets the same pieces in the same order as it would alone. `rays` of a stacked piece holds
// how many lanes it receives. Policy decides what "may meet" means and what a leaf does.
template <class Policy>
void walk(const Pass& pass, Worker& w, std::int32_t head, Policy& policy, bool frontToBack,
          double progressScale, WalkCount& count, const Vec3* sortFrom = nullptr)
{
    const double started = threadSeconds();
    const FractalScene& scene = *pass.scene;
    Piece* stack = w.stack.data();
    Lane* lanes = w.lanes.data();
    LaneCold* cold = w.cold.data();
    const Columns cols = w.columns();
    const Vec3 eye = policy.eye;
    const int transformSize = scene.fractalType() == kAffineType ? 12 : 25;

    int total = 0;
    for (std::int32_t i = head; i >= 0; i = lanes[i].next, ++total) {
        cols.id[total] = i;
        if constexpr ((Policy::kUsed & kDirectionColumns) != 0) {
            cols.dx[total] = lanes[i].d[0];
            cols.dy[total] = lanes[i].d[1];
            cols.dz[total] = lanes[i].d[2];
            cols.dist[total] = lanes[i].dist;
        }
        if constexpr ((Policy::kUsed & kOriginColumns) != 0) {
            cols.ox[total] = cold[i].o[0];
            cols.oy[total] = cold[i].o[1];
            cols.oz[total] = cold[i].o[2];
        }
        if constexpr ((Policy::kUsed & kSumColumns) != 0) {
            cols.ax[total] = cold[i].acc[0];
            cols.ay[total] = cold[i].acc[1];
            cols.az[total] = cold[i].acc[2];
        }
    }

    scene.makeRootPiece(stack[0]);
    {
        const double d = length(stack[0].centre - eye);
        const double r = std::sqrt(stack[0].radius2) + d * pass.levelOverF;
        stack[0].reach = r * r;
    }
    stack[0].rays = total;
    int top = 1;
    while (top > 0) {
        if (stopped(pass))
            break;
        ++count.pieces;
        const Piece& parent = stack[top - 1];
        const int keep = parent.rays > 0 ? policy.filter(parent, cols, parent.rays, pass.vector) : 0;
        if (keep == 0) {
            finished(pass, w, parent.mass, progressScale);
            --top;
            continue;
        }
        // Children are made in the worker's scratch row and only the ones worth splitting are
        // copied onto the stack, in place of the parent (whose slot is reused last).
        Piece* kids = w.scratch.data();
        const int room = std::min(kMaxSubsets, kMaxPieces - top);
        const int made =
            room > 0 ? scene.makeChildren(parent, kids, room, pass.branchGeneration) : 0;
        if (made == 0) {
            // No children (or no room for them): the piece is done and its lanes keep what they
            // have.
            finished(pass, w, parent.mass, progressScale);
            --top;
            continue;
        }
        policy.children(parent, kids, made);
        int order[kMaxSubsets];
        double distance[kMaxSubsets];
        int kept = 0;
        int leaves[kMaxSubsets];
        int leafCount = 0;
        const int base = top - 1;
        // Siblings mostly have one radius: its square root is taken once.
        double lastRadius2 = -1, lastRadius = 0;
        for (int c = 0; c < made; ++c) {
            Piece& child = kids[c];
            const Vec3 fromEye = child.centre - eye;
            const double d2 = dot(fromEye, fromEye);
            double d = 0;
            if constexpr (Policy::kUsesReach) {
                d = std::sqrt(d2);
                if (!(child.radius2 == lastRadius2)) {
                    lastRadius2 = child.radius2;
                    lastRadius = std::sqrt(child.radius2);
                }
                const double r = lastRadius + d * pass.levelOverF;
                child.reach = r * r;
            }
            if (child.radius2 * pass.precision2 > d2 * pass.levelOverF2) {
                order[kept] = c;
                distance[kept] = sortFrom ? length(child.centre - *sortFrom) : d;
                ++kept;
            } else {
                leaves[leafCount++] = c;
                finished(pass, w, child.mass, progressScale);
            }
        }
        const bool lanesLeft =
            leafCount == 0 || policy.leaves(kids, leaves, leafCount, cols, keep, pass.vector);
        if (kept == 0 || !lanesLeft) {
            for (int c = 0; c < kept; ++c)
                finished(pass, w, kids[order[c]].mass, progressScale);
            top = base;
            continue;
        }
        if (frontToBack) {
            // Nearest on top (last), so that near pieces shorten the rays before far ones are
            // tested. Insertion sort, stable, on at most 32 indices.
            for (int i = 1; i < kept; ++i) {
                const double key = distance[i];
                const int index = order[i];
                int j = i;
                while (j > 0 && key > distance[j - 1]) {
                    distance[j] = distance[j - 1];
                    order[j] = order[j - 1];
                    --j;
                }
                distance[j] = key;
                order[j] = index;
            }
        }
        for (int c = 0; c < kept; ++c) {
            copyPiece(stack[base + c], kids[order[c]], transformSize);
            stack[base + c].rays = keep;
        }
        top = base + kept;
    }

    // What the walk found goes back to the lanes it started from.
    for (int i = 0; i < total; ++i) {
        const std::int32_t l = cols.id[i];
        if constexpr ((Policy::kUsed & kDirectionColumns) != 0)
            lanes[l].dist = cols.dist[i];
        if constexpr ((Policy::kUsed & kSumColumns) != 0) {
            cold[l].acc[0] = cols.ax[i];
            cold[l].acc[1] = cols.ay[i];
            cold[l].acc[2] = cols.az[i];
        }
    }
    count.seconds += threadSeconds() - started;
}

// Rays of one generation: the nearest hit of each lane.
struct RayPolicy {
    static constexpr bool kUsesReach = true;
    static constexpr unsigned kUsed = kDirectionColumns | kOriginColumns;
    Vec3 eye;
    bool fromEye; // every lane starts at the eye (generation 0)
    LaneCold* cold;
    int filter(const Piece& p, const Columns& c, int count, bool vector) const
    {
        if (fromEye)
            return keepLanes(RayFromEyeTest{p.centre.x - eye.x, p.centre.y - eye.y,
                                            p.centre.z - eye.z, p.reach},
                             c, count, vector);
        return keepLanes(RayTest{p.centre, p.reach}, c, count, vector);
    }
    bool leaves(const Piece* kids, const int* which, int n, const Columns& c, int count,
                bool vector) const
    {
        RayLeaf leaf[kMaxSubsets];
        for (int k = 0; k < n; ++k) {
            const Piece& p = kids[which[k]];
            leaf[k] = {p.centre, eye, p.reach, p.material, fromEye, cold};
        }
        leafLanes(leaf, n, c, count, vector);
        return true;
    }
    void children(const Piece&, Piece*, int) const {}
};

// The smoothed normal field: sum of mass (x - centre) / |x - centre|^6 over the pieces. A piece
// far enough from a point counts as a whole; a near one is replaced by its children, whose
// masses follow a dimension estimate refined by one Newton step per level.
struct NormalPolicy {
    static constexpr bool kUsesReach = false; // the normal field never meets spheres
    static constexpr unsigned kUsed = kOriginColumns | kSumColumns;
    Vec3 eye;
    double near2Factor; // max(Precision, 1)^2
    int filter(const Piece& p, const Columns& c, int count, bool vector) const
    {
        return keepLanes(NormalTest{{p.centre, p.mass}, p.radius2 * near2Factor}, c, count,
                         vector);
    }
    bool leaves(const Piece* kids, const int* which, int n, const Columns& c, int count,
                bool vector) const
    {
        NormalLeaf leaf[kMaxSubsets];
        for (int k = 0; k < n; ++k)
            leaf[k] = {{kids[which[k]].centre, kids[which[k]].mass}};
        leafLanes(leaf, n, c, count, vector);
        return true;
    }
    void children(const Piece& parent, Piece* kids, int made) const
    {
        // One Newton step on sum rho_i^s = 1 from the parent's exponent.
        double rho2[kMaxSubsets];
        const double s0 = parent.exponent;
        double f = -1, df = 0;
        // Siblings often shrink alike (all of them, for similarities): their powers are taken
        // once per distinct ratio.
        double lastRho2 = -1, lastPower = 0, lastLog = 0;
        for (int i = 0; i < made; ++i) {
            rho2[i] = parent.radius2 > 0 ? kids[i].radius2 / parent.radius2 : 0;
            if (!(rho2[i] >= 1e-6))
                continue;
            if (rho2[i] != lastRho2) {
                lastRho2 = rho2[i];
                lastPower = std::pow(rho2[i], s0 / 2);
                lastLog = 0.5 * std::log(rho2[i]);
            }
            f += lastPower;
            df += lastPower * lastLog;
        }
        double s = df != 0 ? s0 - f / df : s0;
        if (!(s >= 0.001))
            s = 2.0;
        double sum = 0;
        double share[kMaxSubsets];
        lastRho2 = -1;
        for (int i = 0; i < made; ++i) {
            if (!(rho2[i] >= 1e-6)) {
                share[i] = 0;
                continue;
            }
            if (rho2[i] != lastRho2) {
                lastRho2 = rho2[i];
                lastPower = std::pow(rho2[i], s / 2);
            }
            share[i] = lastPower;
            sum += share[i];
        }
        for (int i = 0; i < made; ++i) {
            kids[i].mass = sum > 0 ? parent.mass * share[i] / sum : 0;
            kids[i].exponent = s;
        }
    }
};

// Shadow lines of a Lamp or Spot: from the light (origin) to the point, `dist` long.
struct LampShadowPolicy {
    static constexpr bool kUsesReach = true;
    static constexpr unsigned kUsed = kDirectionColumns;
    Vec3 eye;
    Vec3 light; // every line starts here
    int filter(const Piece& p, const Columns& c, int count, bool vector) const
    {
        return keepLanes(LampTest{p.centre.x - light.x, p.centre.y - light.y,
                                  p.centre.z - light.z, p.reach},
                         c, count, vector);
    }
    bool leaves(const Piece* kids, const int* which, int n, const Columns& c, int count,
                bool vector) const
    {
        LampLeaf leaf[kMaxSubsets];
        for (int k = 0; k < n; ++k) {
            const Piece& p = kids[which[k]];
            leaf[k] = {p.centre.x - light.x, p.centre.y - light.y, p.centre.z - light.z, p.reach};
        }
        leafLanes(leaf, n, c, count, vector);
        return anyLit(c, count);
    }
    void children(const Piece&, Piece*, int) const {}
};

// Shadow lines of a Parallel light: from the point towards the light (direction d = -a).
struct ParallelShadowPolicy {
    static constexpr bool kUsesReach = true;
    static constexpr unsigned kUsed = kDirectionColumns | kOriginColumns;
    Vec3 eye;
    int filter(const Piece& p, const Columns& c, int count, bool vector) const
    {
        return keepLanes(ParallelTest{p.centre, p.reach}, c, count, vector);
    }
    bool leaves(const Piece* kids, const int* which, int n, const Columns& c, int count,
                bool vector) const
    {
        ParallelLeaf leaf[kMaxSubsets];
        for (int k = 0; k < n; ++k)
            leaf[k] = {kids[which[k]].centre, kids[which[k]].reach};
        leafLanes(leaf, n, c, count, vector);
        return anyLit(c, count);
    }
    void children(const Piece&, Piece*, int) const {}
};

inline std::size_t recordIndex(const Pass& pass, int col, int row)
{
    return std::size_t(row) * std::size_t(pass.width) + std::size_t(col);
}

template <class F> void forTile(const Tile& t, F&& f)
{
    int lane = 0;
    for (int row = t.y0; row < t.y1; ++row)
        for (int col = t.x0; col < t.x1; ++col)
            f(col, row, lane++);
}

Vec3 vecOf(const float* v)
{
    return {v[0], v[1], v[2]};
}

void storeVec(float* out, Vec3 v)
{
    out[0] = float(v.x);
    out[1] = float(v.y);
    out[2] = float(v.z);
}

void addColour(PixelRecord& r, const Rgb& c)
{
    r.colour[0] += float(c.r);
    r.colour[1] += float(c.g);
    r.colour[2] += float(c.b);
}

// Shading of one generation for the tile's records (ambient, background, every light with its
// shadows).
void shadeGeneration(const Pass& pass, Worker& w, const Tile& tile, double scale)
{
    FractalScene& scene = *pass.scene;
    const PreparedShading& sh = *pass.shading;
    PixelRecord* records = scene.accumulator.data();
    forTile(tile, [&](int col, int row, int) {
        PixelRecord& r = records[recordIndex(pass, col, row)];
        if (r.distance == kMissed) {
            addColour(r, {r.weight * sh.background.r, r.weight * sh.background.g,
                          r.weight * sh.background.b});
        } else if (r.distance < kMissed) {
            const Rgb& a = sh.materials[std::clamp(r.material, 0, kMaxMaterials - 1)].ambient;
            addColour(r, {r.weight * sh.ambient.r * a.r, r.weight * sh.ambient.g * a.g,
                          r.weight * sh.ambient.b * a.b});
        }
    });
    Lane* lanes = w.lanes.data();
    LaneCold* cold = w.cold.data();
    // Lanes still carry marks from earlier work of this worker; a lit lane is recognised by its
    // record, so clear them first.
    forTile(tile, [&](int, int, int lane) { lanes[lane].record = -1; });
    for (int li = 0; li < sh.lightCount; ++li) {
        const PreparedLight& light = sh.lights[li];
        std::int32_t lit = -1;
        forTile(tile, [&](int col, int row, int lane) {
            const std::size_t index = recordIndex(pass, col, row);
            const PixelRecord& r = records[index];
            if (!(r.distance < kMissed))
                return;
            const Vec3 p = vecOf(r.origin);
            const Vec3 v = lightVector(light, p);
            if (!(dot(vecOf(r.normal), v) < 0))
                return;
            Lane& l = lanes[lane];
            if (light.kind == kParallel) {
                cold[lane].o[0] = p.x, cold[lane].o[1] = p.y, cold[lane].o[2] = p.z;
                l.d[0] = -light.direction.x, l.d[1] = -light.direction.y,
                l.d[2] = -light.direction.z;
                l.dist = 0;
            } else {
                // The distance to the light lives in the lane, not in the record, whose
                // distance must keep marking the hit for later lights and generations.
                const double dist = length(v);
                if (!(dist > 0))
                    return; // not lit; the lane must not be marked with this record
                l.d[0] = v.x / dist, l.d[1] = v.y / dist, l.d[2] = v.z / dist;
                l.dist = dist;
            }
            l.record = std::int32_t(index); // marks the lane as lit by this light
            push(lanes, lit, lane);
        });
        const std::uint32_t bit = 1u << li;
        if (light.shadows && (pass.cachedLights & bit)) {
            // Nothing that casts or receives these shadows changed since the last build.
            forTile(tile, [&](int col, int row, int lane) {
                const std::size_t index = recordIndex(pass, col, row);
                Lane& l = lanes[lane];
                if (l.record == std::int32_t(index) && (pass.shadowMask[index] & bit))
                    l.dist = -1;
            });
            finished(pass, w, 1.0, scale);
        } else if (light.shadows) {
            if (light.kind == kParallel) {
                // The walk writes back each line's dist; a shadowed one comes back as -1.
                ParallelShadowPolicy policy{tile.eye};
                walk(pass, w, lit, policy, true, scale, w.shadows);
            } else {
                // Pieces nearest the light first: they shadow the most points soonest.
                LampShadowPolicy policy{tile.eye, light.position};
                walk(pass, w, lit, policy, true, scale, w.shadows, &light.position);
            }
            if (pass.recordLights & bit)
                forTile(tile, [&](int col, int row, int lane) {
                    const std::size_t index = recordIndex(pass, col, row);
                    const Lane& l = lanes[lane];
                    const bool shadowed = l.record == std::int32_t(index) && l.dist < 0;
                    pass.shadowMask[index] = (pass.shadowMask[index] & ~bit) | (shadowed ? bit : 0);
                });
        }
        // Every lane that joined `lit` and was not shadowed still has dist >= 0.
        forTile(tile, [&](int col, int row, int lane) {
            const std::size_t index = recordIndex(pass, col, row);
            PixelRecord& r = records[index];
            if (!(r.distance < kMissed))
                return;
            const Lane& l = lanes[lane];
            if (l.record != std::int32_t(index) || l.dist < 0)
                return;
            const Vec3 p = vecOf(r.origin);
            const Vec3 v = lightVector(light, p);
            if (!(dot(vecOf(r.normal), v) < 0))
                return;
            const PreparedMaterial& m = sh.materials[std::clamp(r.material, 0, kMaxMaterials - 1)];
            addColour(
                r, lightContribution(light, m, vecOf(r.normal), vecOf(r.direction), v, r.weight));
        });
        // Forget which lanes were lit, for the next light.
        forTile(tile, [&](int, int, int lane) { lanes[lane].record = -1; });
    }
}

// One render pass (sub-pixel offset sx, sy of n) over one tile.
void renderPass(const Pass& pass, Worker& w, const Tile& tile, int sx, int sy)
{
    FractalScene& scene = *pass.scene;
    PixelRecord* records = scene.accumulator.data();
    const CameraFrame& f = pass.frame;
    Lane* lanes = w.lanes.data();
    LaneCold* cold = w.cold.data();
    const double unitScale = pass.progressPerUnit * tile.share;

    if (pass.rebuild) {
        const double h = (pass.n - 1) / 2.0;
        const int middle = (tile.firstColumn + tile.endColumn) / 2;
        const Vec3 offset = scene.camera.position - tile.eye;
        forTile(tile, [&](int col, int row, int) {
            PixelRecord& r = records[recordIndex(pass, col, row)];
            const double a = (sx - h) / pass.n + (col - middle);
            const double b = (sy - h) / pass.n + (row - pass.height / 2);
            Vec3 d = a * f.right + b * f.up + f.focal * f.forward + offset;
            d = (1.0 / length(d)) * d;
            storeVec(r.direction, d);
            storeVec(r.origin, tile.eye);
            r.weight = 1;
            r.material = 0;
            r.distance = 0;
            r.next = -1;
        });
    }
    for (long long g = 0; g <= pass.deep; ++g) {
        if (stopped(pass))
            return;
        if (pass.rebuild || pass.deep > 0) {
            std::int32_t active = -1;
            forTile(tile, [&](int col, int row, int lane) {
                const std::size_t index = recordIndex(pass, col, row);
                PixelRecord& r = records[index];
                Lane& l = lanes[lane];
                l.record = -1;
                if (!(r.distance < kMissed && r.weight > kMinWeight)) {
                    r.distance = kNotTraced;
                    return;
                }
                r.distance = kMissed;
                r.normal[0] = r.normal[1] = r.normal[2] = 0;
                double dl = 0;
                // Primary rays start exactly at the eye (the record holds it in single precision).
                LaneCold& c = cold[lane];
                const double origin[3] = {tile.eye.x, tile.eye.y, tile.eye.z};
                for (int k = 0; k < 3; ++k) {
                    c.o[k] = g == 0 ? origin[k] : double(r.origin[k]);
                    l.d[k] = r.direction[k];
                    dl += l.d[k] * l.d[k];
                }
                dl = 1 / std::sqrt(dl);
                for (int k = 0; k < 3; ++k) {
                    l.d[k] *= dl;
                    c.n[k] = 0;
                }
                l.dist = kMissed;
                c.material = r.material;
                l.record = std::int32_t(index);
                push(lanes, active, lane);
            });
            if (active < 0 && g > 0) {
                // No reflected ray is left to trace: every later generation would only mark the
                // records untraced (done above) and shade nothing. A large Deep must not cost
                // a walk per generation; the progress still counts the generations skipped.
                w.pendingProgress += double(pass.deep - g + 1) * pass.unitsPerGeneration * unitScale;
                return;
            }
            // Generation 0 rays all start at the eye, so the front-to-back order pays.
            RayPolicy rays{tile.eye, g == 0, cold};
            walk(pass, w, active, rays, g == 0, unitScale, w.rays);
            std::int32_t hits = -1;
            forTile(tile, [&](int, int, int lane) {
                Lane& l = lanes[lane];
                if (l.record < 0)
                    return;
                PixelRecord& r = records[l.record];
                r.distance = l.dist;
                if (!(l.dist < kMissed))
                    return;
                LaneCold& c = cold[lane];
                for (int k = 0; k < 3; ++k) {
                    c.o[k] += l.dist * l.d[k];
                    c.acc[k] = 0;
                }
                r.origin[0] = float(c.o[0]);
                r.origin[1] = float(c.o[1]);
                r.origin[2] = float(c.o[2]);
                r.material = c.material;
                push(lanes, hits, lane);
            });
            if (pass.highQuality) {
                // The walk writes each lane's field sum back; the hits are found by record.
                NormalPolicy normals{tile.eye, std::pow(std::max(scene.precision, 1.0), 2)};
                walk(pass, w, hits, normals, false, unitScale, w.normals);
            }
            forTile(tile, [&](int, int, int lane) {
                Lane& l = lanes[lane];
                if (l.record < 0 || !(l.dist < kMissed))
                    return;
                const LaneCold& c = cold[lane];
                const double* src = c.n;
                if (pass.highQuality && (c.acc[0] != 0 || c.acc[1] != 0 || c.acc[2] != 0))
                    src = c.acc;
                const double len = std::sqrt(src[0] * src[0] + src[1] * src[1] + src[2] * src[2]);
                PixelRecord& r = records[l.record];
                if (len > 0)
                    storeVec(r.normal, {src[0] / len, src[1] / len, src[2] / len});
            });
            forTile(tile, [&](int, int, int lane) { lanes[lane].record = -1; });
        }
        if (stopped(pass))
            return;
        shadeGeneration(pass, w, tile, unitScale);
        if (!pass.rebuild)
            finished(pass, w, 1.0, unitScale); // shading alone is the first unit of this build
        if (pass.deep > 0) {
            forTile(tile, [&](int col, int row, int) {
                PixelRecord& r = records[recordIndex(pass, col, row)];
                if (!(r.distance < kMissed))
                    return;
                const PreparedMaterial& m =
                    pass.shading->materials[std::clamp(r.material, 0, kMaxMaterials - 1)];
                r.weight = float(r.weight * m.reflection);
                const Vec3 n = vecOf(r.normal);
                Vec3 d = vecOf(r.direction);
                d = d - (2 * dot(d, n)) * n;
                const Vec3 o = vecOf(r.origin);
                // Start the reflected ray off the surface, by about two pixels at that depth.
                const double k = length(o - tile.eye) * scene.level * 2 / f.focal;
                storeVec(r.direction, d);
                storeVec(r.origin, o + k * d);
            });
        }
    }
}

void runTile(const Pass& pass, Worker& w, const Tile& tile)
{
    PixelRecord* records = pass.scene->accumulator.data();
    forTile(tile, [&](int col, int row, int) {
        float* c = records[recordIndex(pass, col, row)].colour;
        c[0] = c[1] = c[2] = 0;
    });
    for (int sx = 0; sx < pass.n; ++sx)
        for (int sy = 0; sy < pass.n; ++sy) {
            if (stopped(pass))
                return;
            renderPass(pass, w, tile, sx, sy);
        }
}

void workerLoop(const Pass& pass, Worker& w)
{
    for (;;) {
        const int t = pass.nextTile->fetch_add(1, std::memory_order_relaxed);
        if (t >= int(pass.tiles->size()) || stopped(pass))
            break;
        runTile(pass, w, (*pass.tiles)[t]);
        flushProgress(pass, w);
    }
    flushProgress(pass, w);
}

BuildWorkspace& workspaceFor(FractalScene& scene, int threads, int laneCapacity)
{
    if (!scene.workspace)
        scene.workspace = std::make_shared<BuildWorkspace>();
    BuildWorkspace& ws = *scene.workspace;
    if (int(ws.workers.size()) < threads || ws.laneCapacity < laneCapacity) {
        ws.workers.clear();
        for (int i = 0; i < threads; ++i) {
            auto w = std::make_unique<Worker>();
            w->stack.resize(kMaxPieces);
            w->lanes.resize(std::size_t(laneCapacity));
            w->cold.resize(std::size_t(laneCapacity));
            w->columnData.resize(10 * std::size_t(laneCapacity));
            w->columnIds.resize(std::size_t(laneCapacity));
            ws.workers.push_back(std::move(w));
        }
        ws.laneCapacity = laneCapacity;
    }
    return ws;
}

// The step count from the drawn set down its chain of one-subset sets: children made below
// that generation are the subsets whose materials the picture shows.
int branchGeneration(const FractalScene& scene)
{
    int s = scene.currentSet;
    for (int steps = 0; steps <= kMaxSets; ++steps) {
        if (s < 1 || s > scene.setCount)
            return steps;
        if (scene.sets[s - 1].subsetCount != 1)
            return steps;
        s = scene.sets[s - 1].subsets[0].subset;
    }
    return -1; // a loop of one-subset sets never branches
}

} // namespace

bool vectorLanesAvailable()
{
#ifdef ORMOLITH_HAVE_X86
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

const BuildStats& lastBuildStats(const FractalScene& scene)
{
    static const BuildStats none;
    return scene.workspace ? scene.workspace->stats : none;
}

bool buildImage(FractalScene& scene, RenderTarget& image, const BuildOptions& options)
{
    // 1. The quality settings are fixed for every build.
    if (options.clearStopRequest)
        scene.stopRequested.store(false);
    scene.precision = 2.0;
    scene.level = 1.2;
    scene.quality = false;
    scene.errorText.clear();

    // 2. Checks, map composition and set bounds, then the void check.
    if (scene.needsRebuild) {
        if (!scene.prepareSets()) {
            if (scene.stopRequested.load()) {
                scene.errorText.clear();
                return false;
            }
            if (scene.errorText.empty())
                scene.errorText = "Error";
            return false;
        }
        if (!voidCheck(scene)) {
            if (scene.stopRequested.load()) {
                scene.errorText.clear();
                return false;
            }
            scene.errorText = kSetVoidCheckText;
            return false;
        }
    }

    // 3. The accumulator, one record a pixel.
    const int width = std::max(1, image.requestedWidth());
    const int height = std::max(1, image.requestedHeight());
    if (scene.accumulatorWidth != width || scene.accumulatorHeight != height) {
        scene.accumulator.assign(std::size_t(width) * std::size_t(height), PixelRecord{});
        scene.accumulatorWidth = width;
        scene.accumulatorHeight = height;
        scene.needsRebuild = true;
    }

    // 4.-7. Camera moves and what they invalidate.
    const Camera& cam = scene.camera;
    if (cam.direction.x == 0 && cam.direction.y == 0 && cam.direction.z == 0)
        autoCam(scene, width, height);
    if (!(scene.camera == scene.lastBuildCamera))
        scene.needsRebuild = true;
    ZoomRect zoom;
    if (image.zoomRequest(zoom) && !scene.mode && !scene.needsRebuild) {
        zoomToRect(scene, zoom, width, height);
        image.clearZoomRequest();
        scene.needsRebuild = true;
    }
    if (scene.antialiasing != 0 || scene.deep != 0 || scene.lastBuildAntialiasing != 0 ||
        scene.lastBuildDeep != 0)
        scene.needsRebuild = true;

    // 8. Camera frame.
    scene.frame = cameraFrame(scene.camera, height);

    // 9. Progress.
    // The choice the file and the property bar show for the stored index, also out of range.
    const int aa = choiceIndex(scene.antialiasing, 3);
    const int n = aa + 1;
    const int deep = std::max(0, scene.deep);
    const bool rebuild = scene.needsRebuild;
    const bool highQuality = !scene.quality;
    PreparedShading shading = prepareShading(scene, scene.frame);
    int shadowed = 0;
    for (int i = 0; i < shading.lightCount; ++i)
        shadowed += shading.lights[i].shadows ? 1 : 0;
    double totalWork = (rebuild && highQuality ? 2 : 1) + shadowed;
    if (scene.mode)
        totalWork *= 2;
    totalWork *= (double(deep) + 1) * n * n;
    scene.progressPercent.store(0);

    // 10., 11. Eye passes split in tiles, run by the workers.
    const int tileSize = std::clamp(options.tileSize, 8, 128);
    if (!scene.workspace)
        scene.workspace = std::make_shared<BuildWorkspace>();
    std::vector<Tile>& tiles = scene.workspace->tiles;
    tiles.clear();
    auto addEyePass = [&](Vec3 eye, int first, int end) {
        const double passPixels = double(end - first) * height;
        for (int y = 0; y < height; y += tileSize)
            for (int x = first; x < end; x += tileSize) {
                Tile t{x,     std::min(end, x + tileSize),
                       y,     std::min(height, y + tileSize),
                       first, end,
                       eye,   0};
                t.share = double(t.x1 - t.x0) * (t.y1 - t.y0) / passPixels;
                tiles.push_back(t);
            }
    };
    if (scene.mode) {
        const Vec3 half = (scene.camera.eyesDistance * 0.5) * scene.frame.right;
        if (width / 2 < width)
            addEyePass(scene.camera.position + half, width / 2, width);
        if (width / 2 > 0)
            addEyePass(scene.camera.position - half, 0, width / 2);
    } else {
        addEyePass(scene.camera.position, 0, width);
    }
    int threads = options.threads > 0 ? options.threads
                                      : int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::clamp(threads, 1, std::max(1, int(tiles.size())));
    BuildWorkspace& ws = workspaceFor(scene, threads, tileSize * tileSize);
    for (auto& w : ws.workers) {
        w->rays = w->normals = w->shadows = WalkCount{};
        w->pendingProgress = 0;
        w->pendingCount = 0;
    }

    // Shadows kept from the last build serve lights that did not move, when the geometry did
    // not change and the build is a single pass of a single generation.
    const bool keepShadows = n == 1 && deep == 0;
    std::uint32_t cachedLights = 0, recordLights = 0;
    if (keepShadows) {
        if (ws.shadowMask.size() != scene.accumulator.size()) {
            ws.shadowMask.assign(scene.accumulator.size(), 0);
            ws.shadowValid = 0;
        }
        for (int i = 0; i < shading.lightCount; ++i) {
            const PreparedLight& l = shading.lights[i];
            if (!l.shadows)
                continue;
            const ShadowKey key{l.kind, l.kind == kParallel ? Vec3{} : l.position,
                                l.kind == kLamp ? Vec3{} : l.direction};
            const std::uint32_t bit = 1u << i;
            if (!rebuild && (ws.shadowValid & bit) && ws.shadowKeys[i] == key) {
                cachedLights |= bit;
            } else {
                recordLights |= bit;
                ws.shadowKeys[i] = key;
            }
        }
    }
    ws.shadowValid = 0; // until this build completes

    std::atomic<int> nextTile{0};
    Pass pass{&scene,
              &shading,
              scene.frame,
              width,
              height,
              rebuild,
              highQuality,
              deep,
              n,
              scene.precision * scene.precision,
              std::pow(scene.level / scene.frame.focal, 2),
              scene.level / scene.frame.focal,
              branchGeneration(scene),
              100.0 / totalWork,
              &tiles,
              &nextTile,
              keepShadows ? ws.shadowMask.data() : nullptr,
              cachedLights,
              recordLights,
              (rebuild && highQuality ? 2.0 : 1.0) + shadowed,
              options.vectorLanes && vectorLanesAvailable()};
    {
        // Workers only read the scene's settings and write their own tiles' records; the
        // joins below publish every record to this thread.
        std::vector<std::thread> helpers;
        helpers.reserve(std::size_t(threads - 1));
        for (int i = 1; i < threads; ++i)
            helpers.emplace_back([&pass, &ws, i] { workerLoop(pass, *ws.workers[i]); });
        workerLoop(pass, *ws.workers[0]);
        for (std::thread& t : helpers)
            t.join();
    }
    ws.stats = {};
    ws.stats.threads = threads;
    ws.stats.tiles = int(tiles.size());
    for (int i = 0; i < threads; ++i) {
        const Worker& w = *ws.workers[i];
        ws.stats.traversalPieces += w.rays.pieces;
        ws.stats.normalPieces += w.normals.pieces;
        ws.stats.shadowPieces += w.shadows.pieces;
        ws.stats.raySeconds += w.rays.seconds;
        ws.stats.normalSeconds += w.normals.seconds;
        ws.stats.shadowSeconds += w.shadows.seconds;
    }

    // 12. Conversion to bytes: the mean over the n x n passes.
    image.allocatePixels(width, height);
    const int passes = n * n;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* out = image.pixelRow(row);
        const PixelRecord* r = scene.accumulator.data() + std::size_t(row) * width;
        for (int col = 0; col < width; ++col) {
            out[3 * col + 0] = colourByte(r[col].colour[2], passes);
            out[3 * col + 1] = colourByte(r[col].colour[1], passes);
            out[3 * col + 2] = colourByte(r[col].colour[0], passes);
        }
    }

    // 13. Bookkeeping for the next build.
    if (scene.stopRequested.load()) {
        scene.needsRebuild = true;
        return false;
    }
    // Antialiasing and reflections leave no primary rays behind; the copies kept below make the
    // next build recompute them.
    scene.needsRebuild = false;
    scene.lastBuildAntialiasing = scene.antialiasing;
    scene.lastBuildDeep = scene.deep;
    scene.lastBuildCamera = scene.camera;
    ws.shadowValid = cachedLights | recordLights;
    image.setBuilt();
    return true;
}

} // namespace ormolith
