#include "animation.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace ormolith {

bool isAnimatable(const ParamNode& node)
{
    const auto kind = valueKind(node.kind);
    return !isGroup(node.kind) && node.value != nullptr &&
           (kind == kKindReal || kind == kKindFloat);
}

std::vector<std::string> paramFullNames(const std::vector<ParamNode>& nodes)
{
    std::vector<std::string> names;
    names.reserve(nodes.size());
    std::array<std::string, kMaxNameDepth> prefix;
    std::unordered_map<std::string, unsigned> seen;
    for (const ParamNode& node : nodes) {
        // Deeper nodes than the prefixes reach get no name, so they can never be animated.
        if (node.depth >= kMaxNameDepth) {
            names.emplace_back();
            continue;
        }
        std::string name = prefix[node.depth] + node.name;
        const unsigned repeats = seen[name]++;
        if (repeats > 0)
            name += "[" + std::to_string(repeats) + "]";
        if (isGroup(node.kind) && node.depth + 1 < kMaxNameDepth)
            prefix[node.depth + 1] = name + ".";
        names.push_back(std::move(name));
    }
    return names;
}

unsigned totalFrames(const std::vector<unsigned>& framesCount)
{
    std::uint64_t sum = 0;
    for (unsigned n : framesCount)
        sum += n;
    if (sum == 0)
        return kDefaultTotalFrames;
    return sum > UINT32_MAX ? UINT32_MAX : unsigned(sum);
}

FramePosition framePosition(const std::vector<unsigned>& framesCount, unsigned n)
{
    // A segment is passed only while its count is smaller than what is left, so the frame
    // on a boundary is reached as the end of the segment before it (offset = its count, the
    // same value as the next key frame's) and a segment of 0 frames at the start holds frame 0.
    unsigned k = 0;
    while (k < framesCount.size() && framesCount[k] < n) {
        n -= framesCount[k];
        ++k;
    }
    if (k == framesCount.size())
        return {0, 0};
    return {k, n};
}

double interpolate(const CFractal_Doc& doc, unsigned variable, FramePosition at)
{
    const unsigned keys = doc.keyFrameCount();
    const std::size_t row = std::size_t(variable) * keys;
    if (keys == 0 || at.keyFrame >= keys || row + keys > doc.animKeyValues.size())
        return 0;
    const double from = doc.animKeyValues[row + at.keyFrame];
    // A segment of 0 frames is only ever met at its offset 0, where the formula would divide
    // 0 by 0: it stands at its key frame.
    if (at.keyFrame >= doc.animFramesCount.size() || doc.animFramesCount[at.keyFrame] == 0)
        return from;
    const double to = doc.animKeyValues[row + (at.keyFrame + 1) % keys];
    return from + double(at.offset) * (to - from) / double(doc.animFramesCount[at.keyFrame]);
}

std::vector<AnimatedNode> collectAnimatedNodes(CFractal_Doc& doc)
{
    std::vector<AnimatedNode> animated;
    doc.params.clear();
    if (doc.scene() == nullptr)
        return animated;
    doc.scene()->describeParameters(doc.params);
    const std::vector<std::string> names = paramFullNames(doc.params.nodes);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!isAnimatable(doc.params.nodes[i]))
            continue;
        const int v = animatedIndex(doc, names[i]);
        if (v >= 0)
            animated.push_back({doc.params.nodes[i], unsigned(v)});
    }
    return animated;
}

void setAnimationFrame(CFractal_Doc& doc, const std::vector<AnimatedNode>& nodes, FramePosition at)
{
    FractalScene* scene = doc.scene();
    if (scene == nullptr)
        return;
    for (const AnimatedNode& a : nodes) {
        const double value = interpolate(doc, a.variable, at);
        if (valueKind(a.node.kind) == kKindFloat)
            *static_cast<float*>(a.node.value) = static_cast<float>(value);
        else
            *static_cast<double*>(a.node.value) = value;
        // What the scene makes of the new value (a check message, a rebuild mark) is for the
        // next build to report.
        scene->onParamChanged(a.node);
    }
}

void setAnimationFrame(CFractal_Doc& doc, unsigned n)
{
    setAnimationFrame(doc, collectAnimatedNodes(doc), framePosition(doc.animFramesCount, n));
}

void ensureFramesCount(CFractal_Doc& doc)
{
    if (doc.animFramesCount.empty())
        doc.animFramesCount.assign(doc.keyFrameCount(), kDefaultSegmentFrames);
}

unsigned keyFrameOfColumn(const CFractal_Doc& doc, int column)
{
    const int last = int(doc.keyFrameCount()) - 1;
    return unsigned(std::clamp(column - 1, 0, std::max(last, 0)));
}

namespace {

// Key values are stored variable by variable; these rebuild the rows with one key frame more
// or less.
std::vector<double> withKeyFrame(const CFractal_Doc& doc, unsigned k, bool insert)
{
    const unsigned keys = doc.keyFrameCount();
    std::vector<double> out;
    out.reserve(doc.animVarNames.size() * (keys + 1));
    for (std::size_t v = 0; v < doc.animVarNames.size(); ++v) {
        const auto row = doc.animKeyValues.begin() + std::ptrdiff_t(v * keys);
        for (unsigned j = 0; j < keys; ++j) {
            if (j == k && insert)
                out.push_back(row[j]);
            if (j != k || insert)
                out.push_back(row[j]);
        }
    }
    return out;
}

} // namespace

bool insertKeyFrame(CFractal_Doc& doc, unsigned k)
{
    const unsigned keys = doc.keyFrameCount();
    if (doc.animVarNames.empty() || k >= keys)
        return false;
    doc.animKeyValues = withKeyFrame(doc, k, true);
    // A document whose counts lag behind its key frames (a hand-edited file) gets them here,
    // so the duplicated key frame has a count to copy.
    doc.animFramesCount.resize(keys, kDefaultSegmentFrames);
    doc.animFramesCount.insert(doc.animFramesCount.begin() + k, doc.animFramesCount[k]);
    doc.setModified();
    return true;
}

bool deleteKeyFrame(CFractal_Doc& doc, unsigned k)
{
    const unsigned keys = doc.keyFrameCount();
    if (doc.animVarNames.empty() || keys <= 2 || k >= keys)
        return false;
    doc.animKeyValues = withKeyFrame(doc, k, false);
    doc.animFramesCount.resize(keys, kDefaultSegmentFrames);
    doc.animFramesCount.erase(doc.animFramesCount.begin() + k);
    doc.setModified();
    return true;
}

int animatedIndex(const CFractal_Doc& doc, const std::string& fullName)
{
    const auto it = std::find(doc.animVarNames.begin(), doc.animVarNames.end(), fullName);
    return it == doc.animVarNames.end() ? -1 : int(it - doc.animVarNames.begin());
}

bool applyVariableMarks(CFractal_Doc& doc, const std::vector<ParamNode>& nodes,
                        const std::vector<std::string>& fullNames, const std::vector<bool>& marked)
{
    // The first variable of an animation takes as many key frames as the frame counts already
    // have, so counts kept from an earlier animation still have values to go with.
    unsigned keys = doc.keyFrameCount();
    if (doc.animVarNames.empty() && doc.animFramesCount.size() > keys)
        keys = unsigned(doc.animFramesCount.size());
    bool changed = false;
    std::size_t position = 0;
    const std::size_t n = std::min({nodes.size(), fullNames.size(), marked.size()});
    for (std::size_t i = 0; i < n; ++i) {
        if (!isAnimatable(nodes[i]))
            continue;
        const int present = animatedIndex(doc, fullNames[i]);
        if (marked[i] && present < 0) {
            const double value = valueKind(nodes[i].kind) == kKindFloat
                                     ? double(*static_cast<const float*>(nodes[i].value))
                                     : *static_cast<const double*>(nodes[i].value);
            position = std::min(position, doc.animVarNames.size());
            doc.animVarNames.insert(doc.animVarNames.begin() + std::ptrdiff_t(position),
                                    fullNames[i]);
            doc.animKeyValues.insert(doc.animKeyValues.begin() + std::ptrdiff_t(position * keys),
                                     keys, value);
            ++position;
            changed = true;
        } else if (!marked[i] && present >= 0) {
            const auto at = std::size_t(present);
            doc.animVarNames.erase(doc.animVarNames.begin() + std::ptrdiff_t(at));
            const auto row = doc.animKeyValues.begin() + std::ptrdiff_t(at * keys);
            doc.animKeyValues.erase(row, row + keys);
            position = at;
            changed = true;
        } else if (marked[i]) {
            position = std::size_t(present) + 1;
        }
    }
    if (!doc.animVarNames.empty())
        doc.animFramesCount.resize(doc.keyFrameCount(), kDefaultSegmentFrames);
    if (changed)
        doc.setModified();
    return changed;
}

} // namespace ormolith
