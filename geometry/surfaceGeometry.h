// Where a point lies on a mesh triangle and how it stands there, computed on the host from the triangle's corners.
// The scatter node's surface data and the attach node both use these, so the same corners give the same normal and
// rotation in either.
#pragma once

#include <cstddef>
#include <string>

// A triangle's corners A, B and C, widened to double from the mesh's single-precision points.
struct TriangleCorners {
    double corner[3][3];
};

// The corners of the triangle whose three vertex indices are `vertices`, read from `points` (x, y, z per vertex).
TriangleCorners triangleCorners(const float* points, const int vertices[3]);

// The unit normal by the right-hand rule over A, B, C. A triangle whose corners lie on a line (one the scatter's float
// rounding gave some area, or one a deformation folded flat) has none; its points stand upright (+Y) rather than carry
// NaN to an instancer.
void triangleNormal(const TriangleCorners& triangle, double n[3]);

// The triangle's area.
double triangleArea(const TriangleCorners& triangle);

// The point whose weights of the corners A, B and C are `weights`.
void pointOnTriangle(const TriangleCorners& triangle, const double weights[3], double p[3]);

// The rotation, in degrees with rotation order XYZ, that turns +Y onto the unit vector n: about X, then about Z, none
// about Y, so the same normal always gives the same rotation.
void rotationOntoNormal(const double n[3], double degrees[3]);

// The three vertices a point names, when each is a whole number below vertexCount, as an int.
bool vertexIndices(const double named[3], double vertexCount, int vertices[3]);

// A point carried onto a mesh: where it lies and how it stands there.
struct PlacedPoint {
    double position[3];
    double normal[3];
    double rotation[3];
};

// The point at `weights` of the corners of the triangle of the vertices `named`, on the mesh whose `vertexCount`
// vertices are `points`, standing on that triangle, as the attach node carries a point onto a deformed mesh. False,
// with nothing placed, when a named vertex is none of the mesh's: not a whole number below vertexCount.
bool placeOnTriangle(const float* points, std::size_t vertexCount, const double named[3], const double weights[3],
                     PlacedPoint& placed);

// Why point `point`, which names those vertices, cannot be placed on `mesh`, a mesh of vertexCount vertices; `hint`
// follows where the names are vertex numbers, out of the mesh's range, to say what to give instead.
std::string unplacedPoint(std::size_t point, const double named[3], std::size_t vertexCount, const std::string& mesh,
                          const std::string& hint);
