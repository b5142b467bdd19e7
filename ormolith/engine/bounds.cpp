// Set bounds before a build. An affine set is the union of images of sets, so its box is found
// by growing it from points known to lie in the set until the images of the referenced boxes
// fit inside; the growth is steered by how long each image still needs to be caught by its
// owner's box. Moebius sets are known to lie in the unit ball.
#include "bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "affine_scene.h"
#include "mebius_scene.h"

namespace ormolith {

namespace {

// A piece of the bounds computation: the box of set `s` carried by `t`, which must end inside
// the box of set `owner`.
struct BoundsPiece {
    AffineTransform t;
    int s = 0;
    int owner = 0;
    double measure = 0;
};

// Images of boxes must fit their owner up to this share of the owner's size; the final boxes
// are widened by the same share.
constexpr double kTolerance = 0.05;
// A measure of -1 means the image runs away from its owner's box faster than the box grows.
constexpr double kUnbounded = -1;
// Corner evaluations allowed for one bounds computation (about 0.1 s of work; the samples need
// a thousandth of it): a system whose images never settle, e.g. a map that stretches one axis
// while shrinking volume, must still end, and soon.
constexpr long long kMaxCornerWork = 20'000'000;

bool finite(const AffineTransform& t)
{
    for (const auto& row : t.m)
        for (double v : row)
            if (!std::isfinite(v))
                return false;
    return std::isfinite(t.t.x) && std::isfinite(t.t.y) && std::isfinite(t.t.z);
}

void widenBox(SetRecord& set, Vec3 p)
{
    set.boxMin = {std::min(set.boxMin.x, p.x), std::min(set.boxMin.y, p.y),
                  std::min(set.boxMin.z, p.z)};
    set.boxMax = {std::max(set.boxMax.x, p.x), std::max(set.boxMax.y, p.y),
                  std::max(set.boxMax.z, p.z)};
    const Vec3 e = set.boxMax - set.boxMin;
    set.size = std::max({e.x, e.y, e.z});
}

Vec3 corner(const SetRecord& set, int c)
{
    return {(c & 1) ? set.boxMax.x : set.boxMin.x, (c & 2) ? set.boxMax.y : set.boxMin.y,
            (c & 4) ? set.boxMax.z : set.boxMin.z};
}

Vec3 cornerSigns(int c)
{
    return {(c & 1) ? 1.0 : -1.0, (c & 2) ? 1.0 : -1.0, (c & 4) ? 1.0 : -1.0};
}

// Points of the sets: the fixed point of a cycle through each set where there is one, else the
// image of a neighbour's point. False when some taking-part set gets no point.
void findSetPoints(AffineScene& scene, std::array<bool, kMaxSets>& known)
{
    known.fill(false);
    const int n = scene.setCount;
    for (int j = 0; j < n; ++j) {
        if (!scene.takesPart(j) || scene.reachability[j][j] == 0)
            continue;
        // Walk from j back to j, always towards the subset closest (in chain length) to j.
        AffineTransform cycle;
        int at = j;
        bool ok = true;
        for (int steps = 0; steps <= n; ++steps) {
            const SetRecord& set = scene.sets[at];
            int best = -1, bestLength = std::numeric_limits<int>::max();
            for (int k = 0; k < set.subsetCount; ++k) {
                const SubsetEntry& e = set.subsets[k];
                if (e.map == 0)
                    continue;
                const int next = e.subset - 1;
                const int length = next == j ? 0 : scene.reachability[next][j];
                if ((next == j || length != 0) && length < bestLength) {
                    best = k;
                    bestLength = length;
                }
            }
            if (best < 0) {
                ok = false;
                break;
            }
            const SubsetEntry& e = set.subsets[best];
            // x in set `at` is map(e) of a point of set e.subset: the cycle composes outwards.
            cycle = cycle * scene.mapTransforms[e.map - 1];
            at = e.subset - 1;
            if (at == j)
                break;
        }
        Vec3 p;
        if (ok && at == j && affineFixedPoint(cycle, p)) {
            scene.sets[j].point = p;
            known[j] = true;
        }
    }
    // Sets off every cycle (or with a singular one) take a neighbour's point through the map
    // that connects them.
    for (bool changed = true; changed;) {
        changed = false;
        for (int j = 0; j < n; ++j) {
            if (known[j] || !scene.takesPart(j))
                continue;
            const SetRecord& set = scene.sets[j];
            for (int k = 0; k < set.subsetCount; ++k) {
                const SubsetEntry& e = set.subsets[k];
                if (e.map != 0 && known[e.subset - 1]) {
                    scene.sets[j].point =
                        scene.mapTransforms[e.map - 1].apply(scene.sets[e.subset - 1].point);
                    known[j] = true;
                    changed = true;
                    break;
                }
            }
        }
    }
}

// The time the owner's box still needs, growing by its size per unit of time on every side, to
// contain the image of S's box, which grows with S. kUnbounded when it never catches up.
double measure(const AffineScene& scene, const BoundsPiece& piece)
{
    const SetRecord& s = scene.sets[piece.s];
    const SetRecord& e = scene.sets[piece.owner];
    const double sizeE = e.size;
    const double sizeS = s.boundsKnown ? 0.0 : s.size;
    const double lo[3] = {e.boxMin.x, e.boxMin.y, e.boxMin.z};
    const double hi[3] = {e.boxMax.x, e.boxMax.y, e.boxMax.z};
    double worst = 0;
    for (int c = 0; c < 8; ++c) {
        const Vec3 image = piece.t.apply(corner(s, c));
        const Vec3 speed = piece.t.m * (sizeS * cornerSigns(c));
        const double ci[3] = {image.x, image.y, image.z};
        const double vi[3] = {speed.x, speed.y, speed.z};
        for (int a = 0; a < 3; ++a) {
            if (!std::isfinite(ci[a]) || !std::isfinite(vi[a]) || std::fabs(vi[a]) > sizeE)
                return kUnbounded;
            double time = 0;
            if (ci[a] > hi[a]) {
                const double closing = sizeE - vi[a];
                if (!(closing > 0))
                    return kUnbounded; // the face never catches the corner
                time = (ci[a] - hi[a]) / closing;
            } else if (ci[a] < lo[a]) {
                const double closing = sizeE + vi[a];
                if (!(closing > 0))
                    return kUnbounded;
                time = (lo[a] - ci[a]) / closing;
            }
            if (!std::isfinite(time))
                return kUnbounded;
            worst = std::max(worst, time);
        }
    }
    return worst;
}

// Whether the image of S's box grown by `growth` of its size fits the owner's box widened by
// the tolerance, so that the piece can never matter again.
bool settled(const AffineScene& scene, const BoundsPiece& piece, double growth)
{
    const SetRecord& s = scene.sets[piece.s];
    const SetRecord& e = scene.sets[piece.owner];
    const double grow = s.boundsKnown ? 0.0 : growth * s.size;
    const double margin = kTolerance * e.size;
    for (int c = 0; c < 8; ++c) {
        const Vec3 image = piece.t.apply(corner(s, c) + grow * cornerSigns(c));
        if (image.x < e.boxMin.x - margin || image.x > e.boxMax.x + margin ||
            image.y < e.boxMin.y - margin || image.y > e.boxMax.y + margin ||
            image.z < e.boxMin.z - margin || image.z > e.boxMax.z + margin)
            return false;
    }
    return true;
}

enum class SplitResult { ok, failed };

// Replaces pieces[index] by its children; every child's point widens its owner's box.
SplitResult split(AffineScene& scene, std::vector<BoundsPiece>& pieces, std::size_t index,
                  const std::array<bool, kMaxSets>& hasPoint)
{
    const BoundsPiece parent = pieces[index];
    pieces[index] = pieces.back();
    pieces.pop_back();
    const SetRecord& set = scene.sets[parent.s];
    int made = 0;
    for (int k = 0; k < set.subsetCount; ++k) {
        const SubsetEntry& e = set.subsets[k];
        if (e.map == 0)
            continue;
        if (pieces.size() >= std::size_t(kMaxPieces))
            return SplitResult::failed;
        BoundsPiece child;
        child.t = parent.t * scene.mapTransforms[e.map - 1];
        child.s = e.subset - 1;
        child.owner = parent.owner;
        if (!finite(child.t))
            return SplitResult::failed;
        Vec3 p;
        if (child.s == child.owner) {
            // The child carries its owner into itself: its fixed point lies in the set, but only
            // when it shrinks volume.
            if (std::fabs(determinant(child.t.m)) >= 1 || !affineFixedPoint(child.t, p))
                return SplitResult::failed;
        } else {
            if (!hasPoint[child.s])
                return SplitResult::failed;
            p = child.t.apply(scene.sets[child.s].point);
        }
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return SplitResult::failed;
        widenBox(scene.sets[child.owner], p);
        pieces.push_back(child);
        ++made;
    }
    return made > 0 ? SplitResult::ok : SplitResult::failed;
}

bool voidBounds(AffineScene& scene)
{
    scene.errorText = kSetVoidBoundsText;
    return false;
}

} // namespace

bool affineFixedPoint(const AffineTransform& t, Vec3& point)
{
    Mat3 a;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a[i][j] = (i == j ? 1.0 : 0.0) - t.m[i][j];
    const double d = determinant(a);
    if (d == 0 || !std::isfinite(d))
        return false;
    const double rhs[3] = {t.t.x, t.t.y, t.t.z};
    double x[3];
    for (int col = 0; col < 3; ++col) {
        Mat3 ai = a;
        for (int row = 0; row < 3; ++row)
            ai[row][col] = rhs[row];
        x[col] = determinant(ai) / d;
    }
    point = {x[0], x[1], x[2]};
    return std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]);
}

bool computeAffineBounds(AffineScene& scene)
{
    const int n = std::clamp(scene.setCount, 0, kMaxSets);
    for (SetRecord& set : scene.sets)
        set.boundsKnown = 0;

    // 1. A point of every taking-part set.
    std::array<bool, kMaxSets> hasPoint{};
    findSetPoints(scene, hasPoint);
    for (int j = 0; j < n; ++j)
        if (scene.takesPart(j) && !hasPoint[j])
            return voidBounds(scene);

    // 2. Empty boxes around the points, then every root piece split at once.
    std::vector<BoundsPiece> pieces;
    pieces.reserve(kMaxPieces);
    for (int j = 0; j < n; ++j) {
        if (!scene.takesPart(j))
            continue;
        SetRecord& set = scene.sets[j];
        set.boxMin = set.boxMax = set.point;
        set.size = 0;
        pieces.push_back({AffineTransform{}, j, j, 0});
        if (split(scene, pieces, pieces.size() - 1, hasPoint) != SplitResult::ok)
            return voidBounds(scene);
    }

    // 3. Split the piece that needs the longest growth until every image fits.
    long long work = 0;
    while (!pieces.empty()) {
        if (scene.stopRequested.load(std::memory_order_relaxed))
            return false;
        work += 8 * static_cast<long long>(pieces.size());
        if (work > kMaxCornerWork)
            return voidBounds(scene);
        std::size_t worstIndex = 0;
        double worst = 0;
        bool unbounded = false;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const double m = measure(scene, pieces[i]);
            pieces[i].measure = m;
            if (unbounded)
                continue;
            if (m == kUnbounded) {
                unbounded = true;
                worstIndex = i;
            } else if (m > worst || i == 0) {
                worst = m;
                worstIndex = i;
            }
        }
        if (!unbounded && worst <= kTolerance)
            break;
        if (!unbounded) {
            // Pieces that stay inside however long the worst one still needs are done with.
            const BoundsPiece* target = &pieces[worstIndex];
            const AffineTransform keepT = target->t;
            const int keepS = target->s, keepOwner = target->owner;
            for (std::size_t i = 0; i < pieces.size();) {
                if (settled(scene, pieces[i], worst)) {
                    pieces[i] = pieces.back();
                    pieces.pop_back();
                } else {
                    ++i;
                }
            }
            // The worst piece may have been dropped or moved by the compaction.
            worstIndex = pieces.size();
            for (std::size_t i = 0; i < pieces.size(); ++i)
                if (pieces[i].s == keepS && pieces[i].owner == keepOwner && pieces[i].t == keepT) {
                    worstIndex = i;
                    break;
                }
            if (worstIndex == pieces.size())
                continue;
        }
        if (split(scene, pieces, worstIndex, hasPoint) != SplitResult::ok)
            return voidBounds(scene);
    }

    // 4. Widen by the tolerance; the sphere around the box is what the pieces carry.
    for (int j = 0; j < n; ++j) {
        if (!scene.takesPart(j))
            continue;
        SetRecord& set = scene.sets[j];
        const double grow = kTolerance * set.size;
        set.boxMin = set.boxMin - Vec3{grow, grow, grow};
        set.boxMax = set.boxMax + Vec3{grow, grow, grow};
        set.centre = 0.5 * (set.boxMin + set.boxMax);
        const Vec3 half = 0.5 * (set.boxMax - set.boxMin);
        set.radius2 = dot(half, half);
        set.boundsKnown = 1;
    }
    return true;
}

void setMebiusBounds(MebiusScene& scene)
{
    for (SetRecord& set : scene.sets) {
        set.centre = {0, 0, 0};
        set.radius2 = 1;
        set.boxMin = {-1, -1, -1};
        set.boxMax = {1, 1, 1};
        set.size = 2;
        set.boundsKnown = 1;
    }
}

bool voidCheck(FractalScene& scene)
{
    // How far each taking-part set's cover reaches from the set's centre: refine the farthest
    // piece until the nearest possible far reach and the largest bound agree to 2 per cent.
    constexpr int kMaxRefinements = 20000;
    std::vector<Piece>& stack = scene.pieces;
    stack.resize(kMaxPieces);
    auto activeSubsets = [&](int set) {
        int count = 0;
        for (int k = 0; k < scene.sets[set].subsetCount; ++k)
            count += scene.sets[set].subsets[k].map != 0;
        return count;
    };
    // A Moebius image that went through infinity is left out of the cover by makeChildren; for
    // the void check it means that the set left the ball.
    bool lost = false;
    const int n = std::clamp(scene.setCount, 0, kMaxSets);
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
        if (!scene.takesPart(j))
            continue;
        const Vec3 c = scene.sets[j].centre;
        // The root of set j: the drawn set's root (identity transform, mass 1) moved to set j.
        Piece root;
        scene.makeRootPiece(root);
        root.set = j;
        root.centre = c;
        root.radius2 = scene.sets[j].radius2;
        int count = scene.makeChildren(root, stack.data(), kMaxPieces, -1);
        lost = lost || count != activeSubsets(root.set);
        double lowerMax = 0, upperMax = 0;
        // The square of the reach that some point of the set certainly has: every piece holds
        // points of the set, at least d - r from the centre when the piece lies off it.
        double surelyReached = 0;
        bool settled = count == 0;
        for (int refinements = 0; count > 0; ++refinements) {
            lowerMax = upperMax = 0;
            int farthest = 0;
            for (int i = 0; i < count; ++i) {
                const double d = length(stack[i].centre - c);
                const double r = std::sqrt(stack[i].radius2);
                const double lower = (d - r) * (d - r), upper = (d + r) * (d + r);
                lowerMax = std::max(lowerMax, lower);
                if (d > r)
                    surelyReached = std::max(surelyReached, lower);
                if (upper > upperMax || i == 0) {
                    upperMax = upper;
                    farthest = i;
                }
            }
            if (lowerMax * 1.02 > upperMax) {
                settled = true;
                break;
            }
            if (refinements >= kMaxRefinements)
                break;
            if (scene.stopRequested.load(std::memory_order_relaxed))
                return false; // the build stops; no verdict, no message
            // Replace the farthest piece by its children (at the end of the list).
            const Piece far = stack[farthest];
            const int made = scene.makeChildren(far, stack.data() + count, kMaxPieces - count, -1);
            if (made == 0 && count + activeSubsets(far.set) <= kMaxPieces &&
                activeSubsets(far.set) > 0)
                lost = true;
            if (made == 0) {
                // The list is full or the piece has no children: keep what is known.
                settled = activeSubsets(far.set) == 0;
                break;
            }
            lost = lost || made != activeSubsets(far.set);
            stack[farthest] = stack[count + made - 1];
            count += made - 1;
        }
        // A cover refined to the end tells how far the set reaches; one that ran out of room
        // or refinements only bounds it, and then the set is void only where a piece surely
        // lies outside the ball.
        const double reach = settled ? upperMax : surelyReached;
        if (scene.fractalType() == kMebiusType && (lost || !(reach <= 1.01))) {
            scene.errorText = kSetVoidCheckText;
            ok = false;
        }
    }
    return ok;
}

} // namespace ormolith
