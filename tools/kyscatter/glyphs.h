#pragma once

#include <array>
#include <vector>

#include "mesh.h"
#include "options.h"

namespace kyscatter {

using Rotation = std::array<double, 9>;  // 3 x 3, row after row

// The turn Maya's instancer gives an instance from a value of the `rotation` channel in degrees with rotation
// order XYZ: about X first, then Y, then Z.
Rotation instanceRotation(const Point& degrees);
Point rotate(const Rotation& r, const Point& v);

// Vertices for glDrawArrays, in the mesh's object space.
struct GlyphGeometry {
    bool lines = false;            // GL_LINES; else GL_TRIANGLES
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> normals;    // per vertex, for lighting; empty for lines
};

// One glyph per point, modelled along +Y with its base at the origin and `height` tall, turned by the
// point's rotation and moved onto the point, as an instancer places an instance. Cones are half as wide
// as they are tall: at a height of the radius their bases never meet, as no two points are closer than
// radius / sqrt(3). `rotations` holds one value per point.
GlyphGeometry glyphGeometry(Glyphs shape, const std::vector<Point>& points, const std::vector<Point>& rotations,
                            double height);

}  // namespace kyscatter
