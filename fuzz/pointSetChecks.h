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

#include "support/scatterHarness.h"

namespace pointChecks {

using harness::Box;
using harness::Mesh;
using harness::Point;

// Distance from p to the triangle abc, in double. Built from cross products and clamped edge projections only: the
// usual Voronoi-region test multiplies dot products together and loses every digit on long thin triangles.
inline double distanceToTriangle(const Point& p, const Point& a, const Point& b, const Point& c)
{
    using Vec = std::array<double, 3>;
    auto sub = [](const Point& u, const Point& v) {
        return Vec{double(u[0]) - v[0], double(u[1]) - v[1], double(u[2]) - v[2]};
    };
    auto dot = [](const Vec& u, const Vec& v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    auto cross = [](const Vec& u, const Vec& v) {
        return Vec{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    };
    auto toSegment = [&](const Point& from, const Point& to) {
        const Vec edge = sub(to, from), offset = sub(p, from);
        const double length2 = dot(edge, edge);
        const double t = length2 > 0 ? std::clamp(dot(offset, edge) / length2, 0.0, 1.0) : 0.0;
        const Vec gap = {offset[0] - t * edge[0], offset[1] - t * edge[1], offset[2] - t * edge[2]};
        return std::sqrt(dot(gap, gap));
    };
    double nearest = std::min({toSegment(a, b), toSegment(b, c), toSegment(c, a)});
    const Vec normal = cross(sub(b, a), sub(c, a));
    const double normalLength = std::sqrt(dot(normal, normal));
    // Inside the prism over the triangle the plane is nearer than any edge.
    if (normalLength > 0 && dot(cross(sub(b, a), sub(p, a)), normal) >= 0 &&
        dot(cross(sub(c, b), sub(p, b)), normal) >= 0 && dot(cross(sub(a, c), sub(p, c)), normal) >= 0)
        nearest = std::min(nearest, std::fabs(dot(sub(p, a), normal)) / normalLength);
    return nearest;
}

// The distance the selection kernel computes, in single precision and its order of terms.
inline float kernelDistance(const Point& a, const Point& b)
{
    const float dy = a[1] - b[1], dx = a[0] - b[0], dz = a[2] - b[2];
    return std::sqrt(dy * dy + dx * dx + dz * dz);
}

// Empty when the points keep every promise; otherwise the first promise broken. `onSurface` may be left out for
// meshes too large to search triangle by triangle; `stableLayout` names the layout whose grid the points were filed in.
inline std::string brokenPromise(const Mesh& mesh, float radius, const Box* box, const std::vector<Point>& points,
                                 bool onSurface = true, bool stableLayout = false)
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

    ScatterGrid grid;
    ScatterSettings settings = harness::settingsOf(radius, box);
    settings.stableLayout = stableLayout;
    if (planGrid(harness::scatterMeshOf(mesh), settings, grid) != ScatterStatus::ok)
        return "no grid for a mesh that has points";
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
        const CellCoordinates at = harness::cellOf(grid, points[i]);
        const Cell cell = {{at.x, at.y, at.z}};
        const auto placed = pointInCell.emplace(cell, i);
        if (!placed.second) {
            why << "points " << placed.first->second << " and " << i << " share cell (" << cell.c[0] << ", "
                << cell.c[1] << ", " << cell.c[2] << ")";
            return why.str();
        }
    }
    for (size_t i = 0; i < points.size(); ++i) {
        const CellCoordinates at = harness::cellOf(grid, points[i]);
        const Cell cell = {{at.x, at.y, at.z}};
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
