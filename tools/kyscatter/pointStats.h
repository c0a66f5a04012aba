#pragma once

#include <cstddef>
#include <vector>

#include "mesh.h"

namespace kyscatter {

// Quality of a point set on a surface of known area. Distances that need two points, or a
// surface, are NaN when those are missing.
struct PointStats {
    std::size_t count = 0;
    double smallestDistance = 0;
    std::size_t closePairs = 0;          // pairs closer than the radius
    std::size_t pointsInClosePairs = 0;  // points that belong to at least one such pair
    double relativeRadius = 0;           // smallestDistance / packingDistance
    double largestGap = 0;               // farthest surface sample from its nearest point
};

// Spacing of the densest (hexagonal) packing of n points on area A: sqrt(2A / (sqrt(3) n)).
double packingDistance(double area, std::size_t n);

// Surface samples for the gap estimate: 16 per point, at least 200,000, at most 2,000,000.
std::size_t gapSampleCount(std::size_t points);

// Everything but largestGap, which is left NaN.
PointStats pointStats(const std::vector<Point>& points, double radius, double area);

// The largest distance from `samples` random surface points (area-uniform, fixed seed) to
// their nearest point of the set. NaN for an empty set.
double largestGap(const std::vector<Point>& points, const Mesh& surface, std::size_t samples);

}  // namespace kyscatter
