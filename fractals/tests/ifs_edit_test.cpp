// The frame editor's geometry: the hit test, drags, the rubber band, shift and rotate.
#include "ifs_edit.h"

#include <gtest/gtest.h>

using namespace fractals;

TEST(IfsHitTest, SidesTheirFreeEndsAndTheInside)
{
    const CIfsFrame f; // vertex (3750, 3750), sides (2500, 0) and (0, 2500)
    const std::int32_t t = 90;
    EXPECT_EQ(hitTestFrame(f, {6250, 3750}, t), FrameHit::endSide1);
    EXPECT_EQ(hitTestFrame(f, {6250 + 60, 3750 - 60}, t), FrameHit::endSide1);
    EXPECT_EQ(hitTestFrame(f, {3750, 6250}, t), FrameHit::endSide2);
    EXPECT_EQ(hitTestFrame(f, {3750 + 50, 6250 + 70}, t), FrameHit::endSide2);
    // The vertex and the middle of a side are the frame's edge, not an end.
    EXPECT_EQ(hitTestFrame(f, {3750, 3750}, t), FrameHit::frame);
    EXPECT_EQ(hitTestFrame(f, {5000, 3750 + 90}, t), FrameHit::frame);
    // Just beyond the tolerance of side 1, but inside the parallelogram: still the frame.
    EXPECT_EQ(hitTestFrame(f, {5000, 3750 + 91}, t), FrameHit::frame);
    // Below side 1 by more than the tolerance: outside.
    EXPECT_EQ(hitTestFrame(f, {5000, 3750 - 91}, t), FrameHit::none);
    // Beyond the free end along the side's line: the projection ends at |side| + t.
    EXPECT_EQ(hitTestFrame(f, {6250 + 90, 3750}, t), FrameHit::endSide1);
    EXPECT_EQ(hitTestFrame(f, {6250 + 91, 3750}, t), FrameHit::none);
    // The far corner is inside, edges included, but it is no handle of its own.
    EXPECT_EQ(hitTestFrame(f, {6250, 6250}, t), FrameHit::frame);
    EXPECT_EQ(hitTestFrame(f, {6251, 6250}, 0), FrameHit::none);
}

TEST(IfsHitTest, InsideWorksForBothOrientations)
{
    CIfsFrame f;
    f.vertex = {1000, 1000};
    f.side1 = {4000, 1000};
    f.side2 = {-500, 3000};
    CIfsFrame mirrored = f;
    std::swap(mirrored.side1, mirrored.side2); // the same area, C of the other sign
    for (const CIfsFrame& g : {f, mirrored}) {
        EXPECT_EQ(hitTestFrame(g, {2800, 2500}, 0), FrameHit::frame);
        EXPECT_EQ(hitTestFrame(g, {4400, 4900}, 0), FrameHit::frame); // near the far corner
        EXPECT_EQ(hitTestFrame(g, {5200, 2000}, 0), FrameHit::none);
        EXPECT_EQ(hitTestFrame(g, {900, 3000}, 0), FrameHit::frame);
        EXPECT_EQ(hitTestFrame(g, {400, 3000}, 0), FrameHit::none);
    }
    // A side of no length (a hand-made file) is never hit and never divides by zero.
    CIfsFrame broken;
    broken.side1 = {0, 0};
    EXPECT_EQ(hitTestFrame(broken, broken.vertex, 90), FrameHit::none);
}

TEST(IfsEditing, DragsMoveTheVertexOrAFreeEnd)
{
    const CIfsFrame f;
    EXPECT_EQ(draggedFrame(f, DragMode::move, {100, -200}).vertex, (CVector{3850, 3550}));
    EXPECT_EQ(draggedFrame(f, DragMode::side1, {100, -200}).side1, (CVector{2600, -200}));
    EXPECT_EQ(draggedFrame(f, DragMode::side2, {100, -200}).side2, (CVector{100, 2300}));
    EXPECT_EQ(draggedFrame(f, DragMode::side1, {100, -200}).vertex, f.vertex);
    // Dragging the end of side 1 onto the line of side 2 makes the frame invalid.
    EXPECT_FALSE(draggedFrame(f, DragMode::side1, {-2500, 1000}).isValid());
}

TEST(IfsEditing, RubberBandNeedsVertexAndBothFreeEndsOnly)
{
    const CIfsFrame f;
    EXPECT_TRUE(rubberBandTakes(f, {3000, 7000}, {7000, 3000}));
    EXPECT_TRUE(rubberBandTakes(f, {3750, 3750}, {6250, 6250})); // edges included
    EXPECT_FALSE(rubberBandTakes(f, {3751, 3750}, {6250, 6250}));
    EXPECT_TRUE(rubberBandTakes(f, {3700, 3700}, {6300, 6300}));
    CIfsFrame skew;
    skew.vertex = {1000, 1000};
    // Vertex, (3000, 1000) and (3900, 4000) inside; the far corner (5900, 4000) is not.
    skew.side1 = {2000, 0};
    skew.side2 = {2900, 3000};
    EXPECT_TRUE(rubberBandTakes(skew, {900, 900}, {3950, 4100}));
    EXPECT_GT(skew.vertex.x + skew.side1.x + skew.side2.x, 3950);
}

TEST(IfsEditing, RotateIsClockwiseWithTheProgramsConstantAndShiftMovesTheVertex)
{
    const CIfsFrame turned = rotatedFrame(CIfsFrame{}, 90);
    EXPECT_EQ(turned.side1, (CVector{0, -2499}));
    EXPECT_EQ(turned.side2, (CVector{2499, 0}));
    EXPECT_EQ(turned.vertex, CIfsFrame{}.vertex);
    const CIfsFrame back = rotatedFrame(CIfsFrame{}, -90);
    EXPECT_EQ(back.side1, (CVector{0, 2499}));
    EXPECT_EQ(rotatedFrame(CIfsFrame{}, 0), CIfsFrame{});
    EXPECT_EQ(shiftedFrame(CIfsFrame{}, -10000, 250).vertex, (CVector{-6250, 4000}));
}
