// Generated meshes for the benchmarks: a wavy grid of quads split into the requested number of triangles.
#pragma once

#include <cmath>

#include "scatter/scatterCompute.h"

inline ScatterMesh wavyGrid(int triangles, float size = 10.0f)
{
    ScatterMesh mesh;
    if (triangles < 2) {
        mesh.points = {0, 0, 0, size, 0, 0, 0, 0, size};
        mesh.triangleVertices = {0, 1, 2};
        return mesh;
    }
    const int side = static_cast<int>(std::sqrt(triangles / 2.0));
    for (int j = 0; j <= side; ++j)
        for (int i = 0; i <= side; ++i) {
            const float x = size * i / side, z = size * j / side;
            mesh.points.insert(mesh.points.end(), {x, 0.5f * std::sin(x) * std::cos(z), z});
        }
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const int a = j * (side + 1) + i;
            mesh.triangleVertices.insert(mesh.triangleVertices.end(),
                                         {a, a + 1, a + side + 2, a, a + side + 2, a + side + 1});
        }
    return mesh;
}
