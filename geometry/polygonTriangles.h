// A polygon mesh's triangles as Maya's mesh gives them: each polygon fanned out from its first corner, in the order
// of the polygons, so that a triangle's polygon is known from how many triangles each polygon has.
#pragma once

#include <cstddef>
#include <vector>

// The face-vertex (the entry of the polygons' vertex list) at each corner of each triangle, three per triangle.
std::vector<int> fanTriangleOffsets(const std::vector<int>& polygonCounts);

// The polygon of each triangle, from how many triangles each polygon has.
std::vector<int> polygonOfEachTriangle(const std::vector<int>& triangleCounts);
