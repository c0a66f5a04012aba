// What every point set of the scatter node must satisfy, checked from the mesh, the radius and the box alone:
// each point on the surface, at most one point per grid cell, no two points of neighbouring cells within the radius.
// Shared by the fuzzer and the bad-input tests.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "kernels/cellGrid.h"
#include "support/scatterHarness.h"

namespace pointChecks {

using harness::Box;
using harness::Mesh;
using harness::Point;

// The node reads five box values; when all are zero the box counts as unset.
inline bool boxIsSet(const Box& box)
{
    return box.min[0] != 0.0f || box.min[1] != 0.0f || box.min[2] != 0.0f || box.max[0] != 0.0f || box.max[2] != 0.0f;
}

// Distance from p to the triangle abc, in double.
inline double distanceToTriangle(const Point& p, const Point& a, const Point& b, const Point& c)
{
    auto sub = [](const Point& u, const Point& v) {
        return std::array<double, 3>{double(u[0]) - v[0], double(u[1]) - v[1], double(u[2]) - v[2]};
    };
    auto dot = [](const std::array<double, 3>& u, const std::array<double, 3>& v) {
        return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    };
    // Closest point by the Voronoi regions of the triangle.
    const auto ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    double s = 0.0, t = 0.0;
    if (d1 <= 0 && d2 <= 0) {
        s = 0, t = 0;
    } else {
        const auto bp = sub(p, b);
        const double d3 = dot(ab, bp), d4 = dot(ac, bp);
        const auto cp = sub(p, c);
        const double d5 = dot(ab, cp), d6 = dot(ac, cp);
        const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
        if (d3 >= 0 && d4 <= d3) {
            s = 1, t = 0;
        } else if (d6 >= 0 && d5 <= d6) {
            s = 0, t = 1;
        } else if (vc <= 0 && d1 >= 0 && d3 <= 0) {
            s = d1 / (d1 - d3), t = 0;
        } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
            s = 0, t = d2 / (d2 - d6);
        } else if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
            t = (d4 - d3) / ((d4 - d3) + (d5 - d6));
            s = 1 - t;
        } else {
            const double denom = va + vb + vc;
            s = denom != 0 ? vb / denom : 0;
            t = denom != 0 ? vc / denom : 0;
        }
    }
    double squared = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double q = a[axis] + s * ab[axis] + t * ac[axis];
        squared += (p[axis] - q) * (p[axis] - q);
    }
    return std::sqrt(squared);
}

// The distance the selection kernel computes, in single precision and its order of terms.
inline float kernelDistance(const Point& a, const Point& b)
{
    const float dy = a[1] - b[1], dx = a[0] - b[0], dz = a[2] - b[2];
    return std::sqrt(dy * dy + dx * dx + dz * dz);
}

// Empty when the points keep every promise; otherwise the first promise broken. `onSurface` may be left out for
// meshes too large to search triangle by triangle.
inline std::string brokenPromise(const Mesh& mesh, float radius, const Box* box, const std::vector<Point>& points,
                                 bool onSurface = true)
{
    std::ostringstream why;
    if (points.empty())
        return "";
    if (onSurface) {
        double scale = 0.0;
        for (int v : mesh.connects)
            for (int axis = 0; axis < 3; ++axis)
                scale = std::max(scale, std::fabs(double(mesh.points[v][axis])));
        // A candidate is made in float from its triangle's corners: a few roundings of the largest coordinate.
        const double tolerance = 8.0 * 1.1920929e-7 * scale + 1e-30;
        for (const Point& p : points) {
            double nearest = INFINITY;
            size_t offset = 0;
            for (int count : mesh.counts) {
                const Point& a = mesh.points[mesh.connects[offset]];
                for (int k = 1; k + 1 < count && nearest > tolerance; ++k)
                    nearest = std::min(nearest, distanceToTriangle(p, a, mesh.points[mesh.connects[offset + k]],
                                                                   mesh.points[mesh.connects[offset + k + 1]]));
                offset += count;
            }
            if (nearest > tolerance) {
                why << "point (" << p[0] << ", " << p[1] << ", " << p[2] << ") lies " << nearest
                    << " off the surface";
                return why.str();
            }
        }
    }

    const harness::Grid grid = harness::gridFor(mesh, radius, box != nullptr && boxIsSet(*box) ? box : nullptr);
    struct Cell {
        int c[3];
        bool operator==(const Cell& o) const { return c[0] == o.c[0] && c[1] == o.c[1] && c[2] == o.c[2]; }
    };
    struct CellHash {
        size_t operator()(const Cell& k) const
        {
            return (size_t(uint32_t(k.c[0])) * 73856093u) ^ (size_t(uint32_t(k.c[1])) * 19349663u) ^
                   (size_t(uint32_t(k.c[2])) * 83492791u);
        }
    };
    std::unordered_map<Cell, size_t, CellHash> pointInCell;
    for (size_t i = 0; i < points.size(); ++i) {
        Cell cell;
        grid.coords(points[i], cell.c);
        const auto placed = pointInCell.emplace(cell, i);
        if (!placed.second) {
            why << "points " << placed.first->second << " and " << i << " share cell (" << cell.c[0] << ", "
                << cell.c[1] << ", " << cell.c[2] << ")";
            return why.str();
        }
    }
    for (size_t i = 0; i < points.size(); ++i) {
        Cell cell;
        grid.coords(points[i], cell.c);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    if (dx == 0 && dy == 0 && dz == 0)
                        continue;
                    const Cell next = {{cell.c[0] + dx, cell.c[1] + dy, cell.c[2] + dz}};
                    const auto found = pointInCell.find(next);
                    if (found == pointInCell.end())
                        continue;
                    const float d = kernelDistance(points[i], points[found->second]);
                    if (!(d > radius)) {
                        why << "points " << i << " and " << found->second << " of neighbouring cells lie " << d
                            << " apart, radius " << radius;
                        return why.str();
                    }
                }
    }
    return "";
}

}  // namespace pointChecks
