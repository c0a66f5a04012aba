#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace kyscatter {

using Point = std::array<double, 3>;

// A polygon mesh as the host's mesh function set takes it: polygons stay polygons.
struct Mesh {
    std::vector<float> points;    // x, y, z per vertex
    std::vector<int> counts;      // vertices of each polygon
    std::vector<int> connects;    // vertex indices, polygon after polygon
    // The file's vertex colours, RGBA, one per entry of connects; empty when they were not read.
    std::vector<std::array<float, 4>> cornerColors;
    // The file's first UV set, u and v per entry of connects; empty when they were not read.
    std::vector<std::array<float, 2>> cornerUVs;

    std::size_t vertexCount() const { return points.size() / 3; }
    std::size_t polygonCount() const { return counts.size(); }
    std::size_t triangleCount() const;
    Point vertex(int i) const { return {points[3 * i], points[3 * i + 1], points[3 * i + 2]}; }
};

struct Bounds {
    Point min{0, 0, 0};
    Point max{0, 0, 0};
};

Bounds meshBounds(const Mesh& mesh);

// Fan triangulation, three vertex indices per triangle.
std::vector<int> fanTriangles(const Mesh& mesh);

double triangleArea(const Point& a, const Point& b, const Point& c);

// Why `moved` is not `rest` with its vertices moved: another vertex count, or other polygons. Empty when it is.
std::string topologyDifference(const Mesh& rest, const Mesh& moved);
double surfaceArea(const Mesh& mesh);

}  // namespace kyscatter
