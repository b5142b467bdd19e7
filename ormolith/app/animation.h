#pragma once
// Key-framed animation of a document: which parameters move (by their full names in the
// parameter tree), their values at each key frame, how many frames lie between key frames, and
// the linear interpolation that sets the scene for any frame of the closed loop. The dialog's
// commands (insert, delete, choosing variables) are plain functions on the document here, so
// the window and batch mode share them. No Qt.
#include <cstdint>
#include <string>
#include <vector>

#include "fractal_doc.h"

namespace ormolith {

// Frames between two key frames when a document's animation is first opened.
inline constexpr unsigned kDefaultSegmentFrames = 20;
// Frames of an animation whose counts are missing or all zero.
inline constexpr unsigned kDefaultTotalFrames = 40;
// Deepest level of the parameter tree that full names are formed for.
inline constexpr int kMaxNameDepth = 10;

// Whether the node is a real parameter that can be animated (64- or 32-bit real, not a group).
bool isAnimatable(const ParamNode& node);

// Full names of all nodes, index for index: the names of the enclosing groups joined with ".",
// and "[n]" after the n-th repetition of a name already seen ("Maps.Map 1.Submap[1]").
std::vector<std::string> paramFullNames(const std::vector<ParamNode>& nodes);

// Sum of the frame counts, or kDefaultTotalFrames when there are none or they sum to 0. Counts
// that add up past 32 bits give the largest 32-bit number.
unsigned totalFrames(const std::vector<unsigned>& framesCount);

// Where frame n of the loop lies for the dialog's Go: between key frame `keyFrame` and the next,
// `offset` frames after it (an offset may equal the segment's count: frame 20 of two segments of
// 20 is key frame 0 at offset 20). Frames beyond the total lie at key frame 0, offset 0.
struct FramePosition {
    unsigned keyFrame = 0;
    unsigned offset = 0;
};
FramePosition framePosition(const std::vector<unsigned>& framesCount, unsigned n);

// The value of variable v at a position: V(k) + s x (V(k + 1) - V(k)) / frames(k) in 64 bits,
// with the loop closing from the last key frame back to the first.
double interpolate(const CFractal_Doc& doc, unsigned variable, FramePosition at);

// A node of the scene's parameter list that an animated variable drives.
struct AnimatedNode {
    ParamNode node;
    unsigned variable = 0;
};

// Collects the document's parameter list afresh (doc.params) and returns the nodes whose full
// names are animated. A name that no longer exists in the scene matches nothing.
std::vector<AnimatedNode> collectAnimatedNodes(CFractal_Doc& doc);

// Stores every animated node's interpolated value into the scene (a 32-bit parameter gets the
// value rounded to 32 bits) and tells the scene after each store.
void setAnimationFrame(CFractal_Doc& doc, const std::vector<AnimatedNode>& nodes, FramePosition at);
// The same for frame number n of the loop (the dialog's Go).
void setAnimationFrame(CFractal_Doc& doc, unsigned n);

// Fills empty frame counts with one kDefaultSegmentFrames entry per key frame.
void ensureFramesCount(CFractal_Doc& doc);

// The key frame a command on column `column` of the key-frame table means (column 1 is key
// frame 0), kept inside the document's key frames.
unsigned keyFrameOfColumn(const CFractal_Doc& doc, int column);

// Duplicates key frame k (its values and its frame count). False, changing nothing, when no
// variable is animated.
bool insertKeyFrame(CFractal_Doc& doc, unsigned k);
// Removes key frame k. False, changing nothing, without animated variables or with only two
// key frames left.
bool deleteKeyFrame(CFractal_Doc& doc, unsigned k);

// Applies the choose-variables marks: `marked[i]` says whether node i of `nodes` (the parameter
// list the marks were made on, with `fullNames` its names) is animated. New variables take the
// parameter's present value at every key frame and keep the order of the parameter tree;
// unmarked ones lose their key values. Returns whether anything changed (the document is then
// marked modified).
bool applyVariableMarks(CFractal_Doc& doc, const std::vector<ParamNode>& nodes,
                        const std::vector<std::string>& fullNames, const std::vector<bool>& marked);

// Index of a full name among the animated variables, -1 when it is not animated.
int animatedIndex(const CFractal_Doc& doc, const std::string& fullName);

} // namespace ormolith
