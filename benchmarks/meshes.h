// Generated meshes for the benchmarks: a wavy grid of quads split into the requested number of triangles, and an
// icosphere.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

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

// A unit sphere from an icosahedron whose faces are split in four `levels` times: 20 * 4^levels triangles.
inline ScatterMesh icosphere(int levels)
{
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<std::array<float, 3>> v = {{-1, t, 0}, {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                           {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    std::vector<int> tris = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4, 11, 10, 2, 10, 7, 6,
                             7, 1, 8, 3, 9, 4, 3, 4, 2, 3, 2, 6, 3, 6, 8, 3, 8, 9, 4, 9, 5, 2, 4, 11, 6, 2, 10, 8, 6, 7,
                             9, 8, 1};
    auto onSphere = [](std::array<float, 3> p) {
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        return std::array<float, 3>{p[0] / length, p[1] / length, p[2] / length};
    };
    for (auto& p : v)
        p = onSphere(p);
    for (int level = 0; level < levels; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            const auto edge = std::minmax(a, b);
            auto found = middles.find(edge);
            if (found != middles.end())
                return found->second;
            v.push_back(onSphere({v[a][0] + v[b][0], v[a][1] + v[b][1], v[a][2] + v[b][2]}));
            return middles[edge] = static_cast<int>(v.size()) - 1;
        };
        std::vector<int> finer;
        for (size_t i = 0; i < tris.size(); i += 3) {
            const int a = tris[i], b = tris[i + 1], c = tris[i + 2];
            const int ab = middle(a, b), bc = middle(b, c), ca = middle(c, a);
            finer.insert(finer.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
        }
        tris.swap(finer);
    }
    ScatterMesh mesh;
    for (const auto& p : v)
        mesh.points.insert(mesh.points.end(), p.begin(), p.end());
    mesh.triangleVertices = tris;
    return mesh;
}
