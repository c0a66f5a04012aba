#include "gridShape.h"

#include <cfloat>
#include <cmath>

GridBox coverMesh(const GridBox& box, const float meshMin[3], const float meshMax[3])
{
    const bool unset = box.minX == 0.0f && box.minY == 0.0f && box.minZ == 0.0f && box.maxX == 0.0f && box.maxZ == 0.0f;
    if (unset)
        return {meshMin[0], meshMin[1], meshMin[2], meshMax[0], meshMax[2]};
    return {std::fmin(box.minX, meshMin[0]), std::fmin(box.minY, meshMin[1]), std::fmin(box.minZ, meshMin[2]),
            std::fmax(box.maxX, meshMax[0]), std::fmax(box.maxZ, meshMax[2])};
}

float cellEdgeFor(float radius)
{
    return static_cast<float>(static_cast<double>(radius) / 1.7320508075688772);
}

GridBox anchorToPhaseBoxes(const GridBox& box, float radius)
{
    const double phaseBox = 3.0 * static_cast<double>(cellEdgeFor(radius));
    // A corner too far out to move keeps its place; the grid's size check refuses such a box in any case.
    auto anchored = [phaseBox](float corner) {
        const double moved = std::floor(corner / phaseBox) * phaseBox;
        return moved >= -FLT_MAX ? std::fmin(static_cast<float>(moved), corner) : corner;
    };
    return {anchored(box.minX), anchored(box.minY), anchored(box.minZ), box.maxX, box.maxZ};
}

namespace {

// The most rows, a multiple of three so that a layer's phases are the grid's, whose keys fit 32 bits with three rows
// to spare: a point filed just past a layer's top row keeps a key of its own. 0 when not even three rows fit, or
// when the rows would be more than an int counts.
int layerRowsFor(float alongX, float alongZ)
{
    const double layer = (std::floor(static_cast<double>(alongX)) + 1.0) * (std::floor(static_cast<double>(alongZ)) + 1.0);
    const double rows = std::floor(4294967296.0 / layer) - 3.0;
    if (!(rows >= 3.0) || !(rows < 2147483647.0))
        return 0;
    return static_cast<int>(rows) / 3 * 3;
}

}  // namespace

GridShape gridShapeFor(float radius, const GridBox& box, float meshMaxY)
{
    GridShape shape;
    shape.cellSize = cellEdgeFor(radius);
    const float alongX = (box.maxX - box.minX) / shape.cellSize;
    const float alongZ = (box.maxZ - box.minZ) / shape.cellSize;
    const float alongY = (meshMaxY - box.minY) / shape.cellSize;
    shape.cellCount = (std::floor(static_cast<double>(alongX)) + 1.0) * (std::floor(static_cast<double>(alongZ)) + 1.0) *
                      (std::floor(static_cast<double>(alongY)) + 1.0);
    shape.stepZ = 0;
    shape.stepY = 0;
    if (!fitsCellKeys(shape)) {
        // Rows beyond an int's count are refused with the grid.
        shape.layerRows = alongY < 2147483000.0f ? layerRowsFor(alongX, alongZ) : 0;
        if (shape.layerRows == 0)
            return shape;
        shape.rowCount = static_cast<int>(std::floor(static_cast<double>(alongY))) + 1;
    }
    const uint32_t cellsAlongX = static_cast<uint32_t>(alongX) + 1u;
    const uint32_t cellsAlongZ = static_cast<uint32_t>(alongZ) + 1u;
    shape.stepZ = static_cast<int>(cellsAlongX);
    shape.stepY = static_cast<int>(cellsAlongX * cellsAlongZ);
    return shape;
}
