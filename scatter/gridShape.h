// The cell grid of one compute: its corner, cell edge and key strides, from the radius, the box and the mesh.
#pragma once

#include <cstdint>

struct GridBox {
    float minX, minY, minZ;
    float maxX, maxZ;  // Y is the slowest key axis and needs no maximum
};

struct GridShape {
    float cellSize;
    int stepZ;  // cells along X
    int stepY;  // cells along X times cells along Z; wraps at 32 bits like the keys themselves
    double cellCount;  // cells along X, Z and Y up to the mesh's top
    // A grid of more cells than a 32-bit key numbers is decided in layers of this many cell rows along Y, each with
    // keys of its own; 0 where one grid holds them all, or where not even a layer of three rows fits.
    int layerRows = 0;
    int rowCount = 0;  // cell rows along Y, where the grid is layered
};

// The grid must cover the surface, or keys of distinct cells coincide: an unset (all-zero) box becomes the
// mesh's own bounds, any other box is widened to enclose the mesh.
GridBox coverMesh(const GridBox& box, const float meshMin[3], const float meshMax[3]);

// Cell edge radius / sqrt(3), so that a cell's diagonal is the radius.
float cellEdgeFor(float radius);

// The box's corner moved down onto multiples of three cell edges: an edit that moves the mesh's bounds then moves the
// corner by whole phase boxes, and every cell elsewhere keeps its place and its phase.
GridBox anchorToPhaseBoxes(const GridBox& box, float radius);

// The cell edge and the strides of the key.
GridShape gridShapeFor(float radius, const GridBox& box, float meshMaxY);

// Keys are 32-bit: every cell of the grid must have its own.
inline bool fitsCellKeys(const GridShape& shape)
{
    return shape.cellCount <= 4294967296.0;
}

// Whether the grid can be decided at all: in one piece, or layer by layer.
inline bool fitsCellKeysInLayers(const GridShape& shape)
{
    return fitsCellKeys(shape) || shape.layerRows > 0;
}
