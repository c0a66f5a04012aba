// The tool's point statistics over the harness's points, for the node tests that measure spacing.
#pragma once

#include <cstddef>
#include <vector>

#include "pointStats.h"
#include "scatterHarness.h"

namespace harness {

// The points widened to the statistics' double precision.
inline std::vector<kyscatter::Point> wide(const std::vector<Point>& points)
{
    std::vector<kyscatter::Point> result;
    result.reserve(points.size());
    for (const Point& p : points)
        result.push_back({p[0], p[1], p[2]});
    return result;
}

// Every pair of points closer than the radius, found through a k-d tree, measured in double.
inline std::size_t pairsCloserThan(const std::vector<Point>& points, float radius)
{
    return kyscatter::pointStats(wide(points), radius, 1.0).closePairs;
}

}  // namespace harness
