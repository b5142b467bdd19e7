// The piece tree: the root piece of the drawn set and the children of a piece, for both map
// families. The builder, the shadow walk, the normal field and the void check all grow the
// tree through these two functions, so they all see the same spheres.
#include <algorithm>
#include <cmath>
#include <bit>
#include <cstdint>

#include "affine_scene.h"
#include "bounds.h"
#include "mebius_scene.h"

namespace ormolith {

namespace {

AffineTransform affineOf(const Piece& p)
{
    const auto& a = p.transform;
    return {{{{a[0], a[1], a[2]}, {a[3], a[4], a[5]}, {a[6], a[7], a[8]}}}, {a[9], a[10], a[11]}};
}

void storeAffine(Piece& p, const AffineTransform& t)
{
    auto& a = p.transform;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a[i * 3 + j] = t.m[i][j];
    a[9] = t.t.x;
    a[10] = t.t.y;
    a[11] = t.t.z;
}

Mat5 mebiusOf(const Piece& p)
{
    Mat5 g;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            g[i][j] = p.transform[i * 5 + j];
    return g;
}

void storeMebius(Piece& p, const Mat5& g)
{
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            p.transform[i * 5 + j] = g[i][j];
}

// Equal bit for bit, so that the products are too (== would take -0 for 0).
bool sameBits(const Mat3& a, const Mat3& b)
{
    bool same = true;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            same &= std::bit_cast<std::uint64_t>(a[i][j]) == std::bit_cast<std::uint64_t>(b[i][j]);
    return same;
}

void makeRoot(const FractalScene& scene, Piece& root)
{
    root = Piece{};
    root.generation = 0;
    root.mass = 1;
    root.exponent = 2.0;
    root.set = std::clamp(scene.currentSet - 1, 0, kMaxSets - 1);
    root.material = 0;
    root.centre = scene.sets[root.set].centre;
    root.radius2 = scene.sets[root.set].radius2;
    root.rays = -1;
}

// The fields every child shares, whatever the map family.
void startChild(const FractalScene& scene, const Piece& parent, int k, int branchGeneration,
                Piece& child)
{
    const SubsetEntry& entry = scene.sets[parent.set].subsets[k];
    child.generation = parent.generation + 1;
    child.mass = parent.mass * entry.weight;
    child.exponent = parent.exponent;
    child.set = entry.subset - 1;
    child.material = parent.generation == branchGeneration ? k : parent.material;
    child.rays = -1;
    child.reach = 0;
}

} // namespace

double determinant(const Mat3& m)
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

double largestStretch2(const Mat3& m)
{
    // A = M^T M is symmetric and positive semi-definite.
    double a[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j)
            a[i][j] = a[j][i] = m[0][i] * m[0][j] + m[1][i] * m[1][j] + m[2][i] * m[2][j];
    const double o01 = a[0][1], o02 = a[0][2], o12 = a[1][2];
    if (std::fabs(o01) < 1e-15 && std::fabs(o02) < 1e-15 && std::fabs(o12) < 1e-15)
        return std::max({a[0][0], a[1][1], a[2][2]});
    // Trigonometric solution of the characteristic cubic: with q the mean eigenvalue and
    // B = (A - q I) / p, the eigenvalues are q + 2 p cos(phi + 2 pi k / 3), phi = acos(det B / 2)
    // / 3.
    const double p1 = o01 * o01 + o02 * o02 + o12 * o12;
    const double q = (a[0][0] + a[1][1] + a[2][2]) / 3;
    const double d0 = a[0][0] - q, d1 = a[1][1] - q, d2 = a[2][2] - q;
    const double p = std::sqrt((d0 * d0 + d1 * d1 + d2 * d2 + 2 * p1) / 6);
    if (!(p > 0))
        return q;
    const Mat3 b = {
        {{d0 / p, o01 / p, o02 / p}, {o01 / p, d1 / p, o12 / p}, {o02 / p, o12 / p, d2 / p}}};
    const double r = std::clamp(determinant(b) / 2, -1.0, 1.0);
    const double phi = std::acos(r) / 3;
    return q + 2 * p * std::cos(phi);
}

void AffineScene::makeRootPiece(Piece& root) const
{
    makeRoot(*this, root);
    storeAffine(root, AffineTransform{});
}

int AffineScene::makeChildren(const Piece& parent, Piece* out, int room, int branchGeneration) const
{
    const SetRecord& set = sets[parent.set];
    const AffineTransform pt = affineOf(parent);
    // The maps of a set often share their linear part (all of them, for a self-similar set of
    // one ratio). The children's linear parts and largest stretches are then the same numbers,
    // worked out once; bitwise equal matrices make bitwise equal products.
    const Mat3* lastMap = nullptr;
    Mat3 linear{};
    double stretch2 = 0;
    int n = 0;
    for (int k = 0; k < set.subsetCount; ++k) {
        const SubsetEntry& entry = set.subsets[k];
        if (entry.map == 0)
            continue;
        if (n >= room)
            return 0;
        Piece& child = out[n++];
        startChild(*this, parent, k, branchGeneration, child);
        const AffineTransform& map = mapTransforms[entry.map - 1];
        if (lastMap == nullptr || !sameBits(*lastMap, map.m)) {
            linear = pt.m * map.m;
            stretch2 = largestStretch2(linear);
            lastMap = &map.m;
        }
        const AffineTransform ct{linear, pt.m * map.t + pt.t};
        storeAffine(child, ct);
        const SetRecord& childSet = sets[child.set];
        child.centre = ct.apply(childSet.centre);
        child.radius2 = stretch2 * childSet.radius2;
    }
    return n;
}

void MebiusScene::makeRootPiece(Piece& root) const
{
    makeRoot(*this, root);
    storeMebius(root, identity5());
}

int MebiusScene::makeChildren(const Piece& parent, Piece* out, int room, int branchGeneration) const
{
    const SetRecord& set = sets[parent.set];
    const Mat5 pg = mebiusOf(parent);
    int n = 0;
    for (int k = 0; k < set.subsetCount; ++k) {
        const SubsetEntry& entry = set.subsets[k];
        if (entry.map == 0)
            continue;
        if (n >= room)
            return 0;
        Piece& child = out[n];
        startChild(*this, parent, k, branchGeneration, child);
        const Mat5 cg = pg * mapMatrices[entry.map - 1];
        // The child's sphere is its set's sphere carried by the composed map.
        const SetRecord& childSet = sets[child.set];
        const Vec3 m = childSet.centre;
        const Vec5 image = cg * Vec5{m.x, m.y, m.z, 1.0, dot(m, m) - childSet.radius2};
        const Vec3 centre = pointFromPentaspherical(image);
        const double radius2 = dot(centre, centre) - image[4] / image[3];
        // A map that sends the sphere through infinity turns it into a plane or the outside of
        // a sphere; such an image cannot bound anything, so the piece is left out.
        if (!std::isfinite(radius2) || !(radius2 >= 0) || !std::isfinite(centre.x) ||
            !std::isfinite(centre.y) || !std::isfinite(centre.z))
            continue;
        storeMebius(child, cg);
        child.centre = centre;
        child.radius2 = radius2;
        ++n;
    }
    return n;
}

} // namespace ormolith
