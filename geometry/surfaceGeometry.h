// Where a point lies on a mesh triangle and how it stands there, computed on the host from the triangle's corners.
// The scatter node's surface data and the attach node both use these, so the same corners give the same normal and
// rotation in either.
#pragma once

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
