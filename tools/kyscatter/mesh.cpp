#include "mesh.h"

#include <algorithm>
#include <cmath>

#include "geometry/polygonTriangles.h"

namespace kyscatter {

std::size_t Mesh::triangleCount() const
{
    std::size_t n = 0;
    for (int c : counts)
        n += static_cast<std::size_t>(c - 2);
    return n;
}

Bounds meshBounds(const Mesh& mesh)
{
    Bounds b;
    if (mesh.points.empty())
        return b;
    b.min = b.max = mesh.vertex(0);
    for (std::size_t i = 0; i < mesh.vertexCount(); ++i) {
        Point p = mesh.vertex(static_cast<int>(i));
        for (int k = 0; k < 3; ++k) {
            b.min[k] = std::min(b.min[k], p[k]);
            b.max[k] = std::max(b.max[k], p[k]);
        }
    }
    return b;
}

std::vector<int> fanTriangles(const Mesh& mesh)
{
    std::vector<int> tris = fanTriangleOffsets(mesh.counts);
    for (int& corner : tris)
        corner = mesh.connects[static_cast<std::size_t>(corner)];
    return tris;
}

double triangleArea(const Point& a, const Point& b, const Point& c)
{
    const Point u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Point v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double x = u[1] * v[2] - u[2] * v[1];
    const double y = u[2] * v[0] - u[0] * v[2];
    const double z = u[0] * v[1] - u[1] * v[0];
    return 0.5 * std::sqrt(x * x + y * y + z * z);
}

std::string topologyDifference(const Mesh& rest, const Mesh& moved)
{
    if (moved.vertexCount() != rest.vertexCount())
        return "it has " + std::to_string(moved.vertexCount()) + " vertices, not " +
               std::to_string(rest.vertexCount());
    if (moved.polygonCount() != rest.polygonCount())
        return "it has " + std::to_string(moved.polygonCount()) + " polygons, not " +
               std::to_string(rest.polygonCount());
    std::size_t start = 0;
    for (std::size_t p = 0; p < rest.polygonCount(); ++p) {
        const auto corners = static_cast<std::size_t>(rest.counts[p]);
        if (moved.counts[p] != rest.counts[p] ||
            !std::equal(rest.connects.begin() + start, rest.connects.begin() + start + corners,
                        moved.connects.begin() + start))
            return "its polygon " + std::to_string(p) + " has other vertices";
        start += corners;
    }
    return "";
}

double surfaceArea(const Mesh& mesh)
{
    const std::vector<int> tris = fanTriangles(mesh);
    double area = 0.0;
    for (std::size_t t = 0; t < tris.size(); t += 3)
        area += triangleArea(mesh.vertex(tris[t]), mesh.vertex(tris[t + 1]), mesh.vertex(tris[t + 2]));
    return area;
}

}  // namespace kyscatter
