// The grid a compute builds from its radius, its box and the mesh.
#include <gtest/gtest.h>

#include "scatter/gridShape.h"

namespace {

const float kMeshMin[3] = {-1.0f, 2.0f, -3.0f};
const float kMeshMax[3] = {1.0f, 4.0f, 3.0f};

TEST(GridShape, StridesCountCellsAlongXAndZ)
{
    // radius sqrt(3) makes the cell edge 1.
    const float radius = 1.7320508f;
    GridShape shape = gridShapeFor(radius, {0, 0, 0, 2.5f, 0}, 0);
    EXPECT_NEAR(shape.cellSize, 1.0f, 1e-6f);
    EXPECT_EQ(shape.stepZ, 3) << "an extent of 2.5 cells";
    EXPECT_EQ(shape.stepY, 3);
    shape = gridShapeFor(radius, {0, 0, 0, 0, 4.5f}, 0);
    EXPECT_EQ(shape.stepZ, 1) << "an extent of 0";
    EXPECT_EQ(shape.stepY, 5);
    shape = gridShapeFor(radius, {-2, 0, 1, 2.5f, 3.5f}, 0);
    EXPECT_EQ(shape.stepZ, 5);
    EXPECT_EQ(shape.stepY, 5 * 3);
}

TEST(GridShape, BoxIsWidenedToCoverTheMesh)
{
    const GridBox unset = coverMesh({0, 0, 0, 0, 0}, kMeshMin, kMeshMax);
    EXPECT_EQ(unset.minX, -1.0f);
    EXPECT_EQ(unset.minY, 2.0f);
    EXPECT_EQ(unset.minZ, -3.0f);
    EXPECT_EQ(unset.maxX, 1.0f);
    EXPECT_EQ(unset.maxZ, 3.0f);

    const GridBox enclosing = coverMesh({-5, -5, -5, 5, 5}, kMeshMin, kMeshMax);
    EXPECT_EQ(enclosing.minX, -5.0f);
    EXPECT_EQ(enclosing.minY, -5.0f);
    EXPECT_EQ(enclosing.maxZ, 5.0f) << "a box that encloses the mesh is kept";

    const GridBox partial = coverMesh({0, 3, 0, 0.5f, 0.5f}, kMeshMin, kMeshMax);
    EXPECT_EQ(partial.minX, -1.0f);
    EXPECT_EQ(partial.minY, 2.0f);
    EXPECT_EQ(partial.maxX, 1.0f);
    EXPECT_EQ(partial.maxZ, 3.0f);

    const GridBox inverted = coverMesh({5, 5, 5, -5, -5}, kMeshMin, kMeshMax);
    EXPECT_LE(inverted.minX, kMeshMin[0]);
    EXPECT_GE(inverted.maxX, kMeshMax[0]);
    EXPECT_LE(inverted.minZ, kMeshMin[2]);
    EXPECT_GE(inverted.maxZ, kMeshMax[2]);
}

// The stable layout's corner lies on multiples of three cell edges, at or below the box's: a corner that moves within
// one phase box leaves the grid where it was, one that moves further shifts it by whole phase boxes.
TEST(GridShape, AnchoredCornersMoveByWholePhaseBoxes)
{
    const float radius = 1.7320508f;  // cell edge 1, phase box 3
    const GridBox box = {-1.0f, 2.0f, -3.5f, 1.0f, 3.0f};
    const GridBox anchored = anchorToPhaseBoxes(box, radius);
    EXPECT_FLOAT_EQ(anchored.minX, -3.0f);
    EXPECT_FLOAT_EQ(anchored.minY, 0.0f);
    EXPECT_FLOAT_EQ(anchored.minZ, -6.0f);
    EXPECT_EQ(anchored.maxX, box.maxX);
    EXPECT_EQ(anchored.maxZ, box.maxZ);
    const GridBox nearby = anchorToPhaseBoxes({-2.9f, 0.1f, -5.0f, 4.0f, 9.0f}, radius);
    EXPECT_EQ(nearby.minX, anchored.minX);
    EXPECT_EQ(nearby.minY, anchored.minY);
    EXPECT_EQ(nearby.minZ, anchored.minZ);
    const GridBox further = anchorToPhaseBoxes({-3.1f, -0.1f, -6.5f, 1.0f, 3.0f}, radius);
    EXPECT_FLOAT_EQ(further.minX, -6.0f);
    EXPECT_FLOAT_EQ(further.minY, -3.0f);
    EXPECT_FLOAT_EQ(further.minZ, -9.0f);
    const GridBox far = anchorToPhaseBoxes({-3e38f, 0.0f, 0.0f, 1.0f, 1.0f}, 1e38f);
    EXPECT_EQ(far.minX, -3e38f) << "a corner that cannot move stays, and the grid's size check refuses it";
}

TEST(GridShape, KeysMustNumberEveryCell)
{
    const float radius = 1.7320508f;
    // 65536 x 1 x 65536 cells is exactly 2^32.
    EXPECT_TRUE(fitsCellKeys(gridShapeFor(radius, {0, 0, 0, 65535.5f, 65535.5f}, 0.5f)));
    EXPECT_FALSE(fitsCellKeys(gridShapeFor(radius, {0, 0, 0, 65535.5f, 65535.5f}, 1.5f)));
    EXPECT_FALSE(fitsCellKeys(gridShapeFor(0.001f, {-2000, -2000, -2000, 2000, 2000}, 2000)));
    EXPECT_FALSE(fitsCellKeys(gridShapeFor(1e-30f, {0, 0, 0, 1, 1}, 1))) << "cell counts beyond every integer";
}

// A grid past 32-bit keys is decided in layers of whole phase boxes along Y whose keys fit with three rows to spare;
// one whose every layer of three rows would not fit is refused.
TEST(GridShape, GridsPastThirtyTwoBitKeysAreLayered)
{
    const float radius = 5.0f;  // a scene in centimetres: 200 m by 20 m by 200 m
    const GridShape shape = gridShapeFor(radius, {0, 0, 0, 20000, 20000}, 2000);
    EXPECT_FALSE(fitsCellKeys(shape));
    ASSERT_TRUE(fitsCellKeysInLayers(shape));
    EXPECT_EQ(shape.layerRows % 3, 0);
    const double layer = static_cast<double>(shape.stepY);
    EXPECT_EQ(layer, static_cast<double>(shape.stepZ) * 6929.0);
    EXPECT_LE((shape.layerRows + 3) * layer, 4294967296.0);
    EXPECT_GT((shape.layerRows + 6) * layer, 4294967296.0) << "the most rows that fit";
    EXPECT_EQ(shape.rowCount, 693);

    EXPECT_EQ(gridShapeFor(radius, {0, 0, 0, 200, 200}, 20).layerRows, 0) << "one grid holds them all";
    const GridShape vast = gridShapeFor(0.01f, {0, 0, 0, 1e5f, 1e5f}, 1);
    EXPECT_FALSE(fitsCellKeysInLayers(vast));
    EXPECT_FALSE(fitsCellKeysInLayers(gridShapeFor(1.0f, {0, 0, 0, 10, 10}, 1e30f))) << "rows past an int";
}

}  // namespace
