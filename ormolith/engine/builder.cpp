// The build: checks and bounds, camera, the render passes over tiles on worker threads, the
// conversion to bytes. See README.md for how the walks share one traversal.
#include "builder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "bounds.h"
#include "shading.h"

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

// Everything one worker owns. Allocated once per thread count and kept in the scene; workers
// are separate heap objects, and the counters that change often sit on their own cache line so
// that two workers never write to the same one.
struct alignas(64) Worker {
    std::vector<Piece> stack;
    std::vector<Lane> lanes;
    std::vector<LaneCold> cold;
    std::array<Piece, kMaxSubsets> scratch; // children of the piece being split
    alignas(64) double pendingProgress = 0;
    int pendingCount = 0;
    long long traversalPieces = 0, normalPieces = 0, shadowPieces = 0;
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

// Puts lane i on `yes` or `no` without a branch: whether a ray meets a sphere is as good as
// random from one lane to the next, and a mispredicted branch costs more than the test itself.
inline void pushEither(Lane* lanes, bool which, std::int32_t& yes, std::int32_t& no, std::int32_t i)
{
    std::int32_t* const heads[2] = {&no, &yes};
    std::int32_t& head = *heads[which];
    lanes[i].next = head;
    head = i;
}

inline void push(Lane* lanes, std::int32_t& head, std::int32_t i)
{
    lanes[i].next = head;
    head = i;
}

// Takes every lane that `isShadowed` picks off the list for good (its distance becomes -1, so
// no later step lights it) and rebuilds the list in place from the rest.
template <typename IsShadowed>
inline void dropShadowed(Lane* lanes, std::int32_t& list, IsShadowed isShadowed)
{
    std::int32_t rest = -1;
    while (list >= 0) {
        Lane& l = lanes[list];
        const std::int32_t next = l.next;
        if (isShadowed(list, l))
            l.dist = -1;
        else
            push(lanes, rest, list);
        list = next;
    }
    list = rest;
}

// Moves a whole list onto another (order is irrelevant: every lane is independent).
inline void pushAll(Lane* lanes, std::int32_t& head, std::int32_t list)
{
    while (list >= 0) {
        const std::int32_t next = lanes[list].next;
        push(lanes, head, list);
        list = next;
    }
}

// Ray against a sphere: b is the distance along the ray to the point nearest the centre and
// disc the squared half chord. The squared distance of the centre from the ray is taken from the
// perpendicular vector rather than as |w|^2 - b^2, which would cancel catastrophically for a
// small sphere far away (a pixel-sized leaf at a large picture size).
struct Chord {
    double b, disc;
};

inline Chord chord(const double* o, const double* d, const Vec3& c, double reach)
{
    const double wx = c.x - o[0], wy = c.y - o[1], wz = c.z - o[2];
    const double b = wx * d[0] + wy * d[1] + wz * d[2];
    const double qx = wx - b * d[0], qy = wy - b * d[1], qz = wz - b * d[2];
    return {b, reach - (qx * qx + qy * qy + qz * qz)};
}

// The same with w = centre - origin already known (all lanes of the list share the origin).
inline Chord chordFrom(const double* w, const double* d, double reach)
{
    const double b = w[0] * d[0] + w[1] * d[1] + w[2] * d[2];
    const double qx = w[0] - b * d[0], qy = w[1] - b * d[1], qz = w[2] - b * d[2];
    return {b, reach - (qx * qx + qy * qy + qz * qz)};
}

// The walk shared by the rays, the normal field and the shadow lines: a depth-first walk of the
// piece tree in which one list of lanes travels down the stack. A piece splits the list it
// receives into the lanes that may meet it (handed to its topmost child) and the others (set
// aside on the piece below its children); when a subtree is finished its lanes move on to the
// next piece on the stack. Policy decides what "may meet" means and what a leaf does.
template <class Policy>
void walk(const Pass& pass, Worker& w, std::int32_t head, Policy& policy, bool frontToBack,
          double progressScale, long long& visits, const Vec3* sortFrom = nullptr)
{
    const FractalScene& scene = *pass.scene;
    Piece* stack = w.stack.data();
    Lane* lanes = w.lanes.data();
    const Vec3 eye = policy.eye;

    scene.makeRootPiece(stack[0]);
    {
        const double d = length(stack[0].centre - eye);
        const double r = std::sqrt(stack[0].radius2) + d * pass.levelOverF;
        stack[0].reach = r * r;
    }
    stack[0].rays = head;
    int top = 1;
    while (top > 0) {
        if (stopped(pass))
            break;
        ++visits;
        Piece& piece = stack[top - 1];
        std::int32_t list = piece.rays;
        piece.rays = -1;
        std::int32_t dummy = -1;
        std::int32_t& below = top >= 2 ? stack[top - 2].rays : dummy;
        std::int32_t keep = -1;
        policy.filter(piece, lanes, list, keep, below);
        if (keep < 0) {
            finished(pass, w, piece.mass, progressScale);
            --top;
            continue;
        }
        // Children are made in the worker's scratch row and only the ones worth splitting are
        // copied onto the stack, in place of the parent (whose slot is reused last).
        const Piece& parent = piece;
        Piece* kids = w.scratch.data();
        const int room = std::min(kMaxSubsets, kMaxPieces - top);
        const int made =
            room > 0 ? scene.makeChildren(parent, kids, room, pass.branchGeneration) : 0;
        if (made == 0) {
            // No children (or no room for them): the piece is done and its lanes keep what they
            // have; they move on.
            pushAll(lanes, below, keep);
            finished(pass, w, parent.mass, progressScale);
            --top;
            continue;
        }
        policy.children(parent, kids, made);
        int order[kMaxSubsets];
        double distance[kMaxSubsets];
        int kept = 0;
        const int base = top - 1;
        for (int c = 0; c < made; ++c) {
            Piece& child = kids[c];
            const Vec3 fromEye = child.centre - eye;
            const double d2 = dot(fromEye, fromEye);
            double d = 0;
            if constexpr (Policy::kUsesReach) {
                d = std::sqrt(d2);
                const double r = std::sqrt(child.radius2) + d * pass.levelOverF;
                child.reach = r * r;
            }
            if (child.radius2 * pass.precision2 > d2 * pass.levelOverF2) {
                order[kept] = c;
                distance[kept] = sortFrom ? length(child.centre - *sortFrom) : d;
                ++kept;
            } else {
                policy.leaf(child, lanes, keep);
                finished(pass, w, child.mass, progressScale);
            }
        }
        if (kept == 0 || keep < 0) {
            for (int c = 0; c < kept; ++c)
                finished(pass, w, kids[order[c]].mass, progressScale);
            pushAll(lanes, below, keep);
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
            stack[base + c] = kids[order[c]];
            stack[base + c].rays = -1;
        }
        stack[base + kept - 1].rays = keep;
        top = base + kept;
    }
}

// Rays of one generation: a lane stays with a piece while its reach sphere lies (partly) ahead
// of the ray and no farther than the ray's present hit.
struct RayPolicy {
    static constexpr bool kUsesReach = true;
    Vec3 eye;
    bool fromEye; // every lane starts at the eye (generation 0)
    LaneCold* cold;
    void filter(const Piece& p, Lane* lanes, std::int32_t list, std::int32_t& keep,
                std::int32_t& below) const
    {
        const double w[3] = {p.centre.x - eye.x, p.centre.y - eye.y, p.centre.z - eye.z};
        while (list >= 0) {
            Lane& l = lanes[list];
            const std::int32_t next = l.next;
            const Chord c =
                fromEye ? chordFrom(w, l.d, p.reach) : chord(cold[list].o, l.d, p.centre, p.reach);
            // b - sqrt(disc) <= dist and b + sqrt(disc) >= 0, without the square root.
            const double ahead = c.b - l.dist;
            const bool meets = (c.disc >= 0) & ((ahead <= 0) | (ahead * ahead <= c.disc)) &
                               ((c.b >= 0) | (c.b * c.b <= c.disc));
            pushEither(lanes, meets, keep, below, list);
            list = next;
        }
    }
    void leaf(const Piece& p, Lane* lanes, std::int32_t list) const
    {
        const double w[3] = {p.centre.x - eye.x, p.centre.y - eye.y, p.centre.z - eye.z};
        for (; list >= 0; list = lanes[list].next) {
            Lane& l = lanes[list];
            LaneCold& c = cold[list];
            const Chord ch =
                fromEye ? chordFrom(w, l.d, p.reach) : chord(c.o, l.d, p.centre, p.reach);
            if (ch.disc < 0)
                continue;
            const double t = ch.b - std::sqrt(ch.disc);
            if (t < l.dist && t > 0) {
                l.dist = t;
                for (int k = 0; k < 3; ++k)
                    c.n[k] = c.o[k] + t * l.d[k] - p.centre[k];
                c.material = p.material;
            }
        }
    }
    void children(const Piece&, Piece*, int) const {}
};

// The smoothed normal field: sum of mass (x - centre) / |x - centre|^6 over the pieces. A piece
// far enough from a point counts as a whole; a near one is replaced by its children, whose
// masses follow a dimension estimate refined by one Newton step per level.
struct NormalPolicy {
    static constexpr bool kUsesReach = false; // the normal field never meets spheres
    Vec3 eye;
    double near2Factor; // max(Precision, 1)^2
    LaneCold* cold;
    static void add(LaneCold& l, const Piece& p)
    {
        const double dx = l.o[0] - p.centre.x, dy = l.o[1] - p.centre.y, dz = l.o[2] - p.centre.z;
        const double r2 = dx * dx + dy * dy + dz * dz;
        if (!(r2 > 1e-300) || p.mass == 0)
            return;
        const double f = p.mass / (r2 * r2 * r2);
        l.acc[0] += f * dx;
        l.acc[1] += f * dy;
        l.acc[2] += f * dz;
    }
    void filter(const Piece& p, Lane* lanes, std::int32_t list, std::int32_t& keep,
                std::int32_t& below) const
    {
        const double near2 = p.radius2 * near2Factor;
        while (list >= 0) {
            const std::int32_t next = lanes[list].next;
            LaneCold& l = cold[list];
            const double dx = l.o[0] - p.centre.x, dy = l.o[1] - p.centre.y,
                         dz = l.o[2] - p.centre.z;
            if (dx * dx + dy * dy + dz * dz >= near2) {
                add(l, p);
                push(lanes, below, list);
            } else {
                push(lanes, keep, list);
            }
            list = next;
        }
    }
    void leaf(const Piece& p, Lane* lanes, std::int32_t list) const
    {
        for (; list >= 0; list = lanes[list].next)
            add(cold[list], p);
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
    Vec3 eye;
    Vec3 light; // every line starts here
    void filter(const Piece& p, Lane* lanes, std::int32_t list, std::int32_t& keep,
                std::int32_t& below) const
    {
        const double w[3] = {p.centre.x - light.x, p.centre.y - light.y, p.centre.z - light.z};
        while (list >= 0) {
            Lane& l = lanes[list];
            const std::int32_t next = l.next;
            const Chord c = chordFrom(w, l.d, p.reach);
            // b + sqrt(disc) >= 0 and b - sqrt(disc) < dist, without the square root.
            const double ahead = c.b - l.dist;
            const bool meets = (c.disc >= 0) & ((c.b >= 0) | (c.b * c.b <= c.disc)) &
                               ((ahead < 0) | (ahead * ahead < c.disc));
            pushEither(lanes, meets, keep, below, list);
            list = next;
        }
    }
    // A point is in shadow when the line passes all the way through the leaf before reaching it;
    // a shadowed lane leaves every list. `list` is rebuilt in place.
    void leaf(const Piece& p, Lane* lanes, std::int32_t& list) const
    {
        const double w[3] = {p.centre.x - light.x, p.centre.y - light.y, p.centre.z - light.z};
        dropShadowed(lanes, list, [&](std::int32_t, const Lane& l) {
            const Chord c = chordFrom(w, l.d, p.reach);
            if (c.disc < 0)
                return false;
            const double t = c.b + std::sqrt(c.disc);
            return t > 0 && t < l.dist;
        });
    }
    void children(const Piece&, Piece*, int) const {}
};

// Shadow lines of a Parallel light: from the point towards the light (direction d = -a).
struct ParallelShadowPolicy {
    static constexpr bool kUsesReach = true;
    Vec3 eye;
    LaneCold* cold;
    void filter(const Piece& p, Lane* lanes, std::int32_t list, std::int32_t& keep,
                std::int32_t& below) const
    {
        while (list >= 0) {
            Lane& l = lanes[list];
            const std::int32_t next = l.next;
            const Chord c = chord(cold[list].o, l.d, p.centre, p.reach);
            const bool meets = c.disc >= 0 && c.b + std::sqrt(c.disc) >= 0;
            push(lanes, meets ? keep : below, list);
            list = next;
        }
    }
    void leaf(const Piece& p, Lane* lanes, std::int32_t& list) const
    {
        dropShadowed(lanes, list, [&](std::int32_t i, const Lane& l) {
            const double* o = cold[i].o;
            const double px = o[0] - p.centre.x, py = o[1] - p.centre.y, pz = o[2] - p.centre.z;
            // (P - centre) . a > 0 with a = -d: the leaf lies on the light's side of P.
            const bool outside = px * px + py * py + pz * pz > p.reach;
            const bool lightSide = -(px * l.d[0] + py * l.d[1] + pz * l.d[2]) > 0;
            return outside && lightSide && chord(o, l.d, p.centre, p.reach).disc >= 0;
        });
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
            long long& visits = w.shadowPieces;
            if (light.kind == kParallel) {
                // The walk moves lanes between lists; the lit ones are found again by `dist`.
                ParallelShadowPolicy policy{tile.eye, cold};
                walk(pass, w, lit, policy, true, scale, visits);
            } else {
                // Pieces nearest the light first: they shadow the most points soonest.
                LampShadowPolicy policy{tile.eye, light.position};
                walk(pass, w, lit, policy, true, scale, visits, &light.position);
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
                w.pendingProgress +=
                    double(pass.deep - g + 1) * pass.unitsPerGeneration * unitScale;
                return;
            }
            // Generation 0 rays all start at the eye, so the front-to-back order pays.
            RayPolicy rays{tile.eye, g == 0, cold};
            walk(pass, w, active, rays, g == 0, unitScale, w.traversalPieces);
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
                // The walk leaves the lanes on no list, so the hits are found by record again.
                NormalPolicy normals{tile.eye, std::pow(std::max(scene.precision, 1.0), 2), cold};
                walk(pass, w, hits, normals, false, unitScale, w.normalPieces);
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
        w->traversalPieces = w->normalPieces = w->shadowPieces = 0;
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
              (rebuild && highQuality ? 2.0 : 1.0) + shadowed};
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
        ws.stats.traversalPieces += ws.workers[i]->traversalPieces;
        ws.stats.normalPieces += ws.workers[i]->normalPieces;
        ws.stats.shadowPieces += ws.workers[i]->shadowPieces;
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
