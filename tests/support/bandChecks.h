// What the density map's tests share: the points inside one band of a strip of square bands along x, and a node's
// record, or the report of a compute that must fail.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pointMeasures.h"
#include "scatterHarness.h"

namespace harness {

// The points of band `b` (of edge `band`, from x = b * band) at least `margin` inside its edges, and their area.
inline std::vector<kyscatter::Point> bandInterior(const std::vector<Point>& points, float band, int b, double margin,
                                                  double& area)
{
    std::vector<kyscatter::Point> inside;
    const double x0 = b * band + margin, x1 = (b + 1) * band - margin, z0 = margin, z1 = band - margin;
    for (const Point& p : points)
        if (p[0] > x0 && p[0] < x1 && p[2] > z0 && p[2] < z1)
            inside.push_back({p[0], p[1], p[2]});
    area = (x1 - x0) * (z1 - z0);
    return inside;
}

// The record a compute gives, every channel's bytes; the compute must succeed.
inline std::string recordOf(ScatterNode& node)
{
    MStatus status;
    const std::string bytes = node.pullBytes(&status);
    EXPECT_EQ(status, MS::kSuccess);
    return bytes;
}

// Pulls a compute that must fail; returns its standard error.
inline std::string failedCompute(ScatterNode& node)
{
    CapturedOutput output;
    EXPECT_EQ(node.pull(), MS::kFailure);
    output.finish();
    return output.err();
}

}  // namespace harness
