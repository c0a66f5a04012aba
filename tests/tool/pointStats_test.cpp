#include <gtest/gtest.h>

#include <cmath>

#include "pointStats.h"

using namespace kyscatter;

namespace {

// Rows of `columns` points spaced d apart, every other row shifted by d/2, rows sqrt(3)/2 d apart.
std::vector<Point> hexagonalLattice(int rows, int columns, double d)
{
    std::vector<Point> points;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            points.push_back({(c + 0.5 * (r % 2)) * d, r * std::sqrt(3.0) / 2 * d, 0.0});
    return points;
}

Mesh unitSquare()
{
    Mesh mesh;
    mesh.points = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    mesh.counts = {4};
    mesh.connects = {0, 1, 2, 3};
    return mesh;
}

}  // namespace

TEST(PointStats, HexagonalLatticeHasRelativeRadiusOne)
{
    const int rows = 40, columns = 50;
    const double d = 0.1;
    const auto points = hexagonalLattice(rows, columns, d);
    // Each lattice point owns a rhombus of area sqrt(3)/2 d^2.
    const double area = points.size() * std::sqrt(3.0) / 2 * d * d;

    const PointStats belowSpacing = pointStats(points, 0.99 * d, area);
    EXPECT_NEAR(belowSpacing.smallestDistance, d, 1e-12);
    EXPECT_NEAR(belowSpacing.relativeRadius, 1.0, 1e-9);
    EXPECT_EQ(belowSpacing.closePairs, 0u);
    EXPECT_EQ(belowSpacing.pointsInClosePairs, 0u);
    EXPECT_TRUE(std::isnan(belowSpacing.largestGap));

    // Beyond the spacing every lattice edge is a close pair, and every point is in one.
    const PointStats wider = pointStats(points, 1.5 * d, area);
    const std::size_t edges = rows * (columns - 1) + (rows - 1) * (2 * columns - 1);
    EXPECT_EQ(wider.closePairs, edges);
    EXPECT_EQ(wider.pointsInClosePairs, points.size());
}

TEST(PointStats, TwoPointsAtKnownDistance)
{
    const std::vector<Point> points{{0, 0, 0}, {0.3, 0.4, 0}};
    const PointStats stats = pointStats(points, 0.6, 2.0);
    EXPECT_DOUBLE_EQ(stats.smallestDistance, 0.5);
    EXPECT_EQ(stats.closePairs, 1u);
    EXPECT_EQ(stats.pointsInClosePairs, 2u);
    EXPECT_NEAR(stats.relativeRadius, 0.5 / std::sqrt(2 * 2.0 / (std::sqrt(3.0) * 2)), 1e-12);

    EXPECT_EQ(pointStats(points, 0.5, 2.0).closePairs, 0u);
}

TEST(PointStats, DuplicatesAndTinySets)
{
    const PointStats duplicates = pointStats({{1, 1, 1}, {1, 1, 1}, {5, 5, 5}}, 0.1, 1.0);
    EXPECT_EQ(duplicates.smallestDistance, 0.0);
    EXPECT_EQ(duplicates.closePairs, 1u);
    EXPECT_EQ(duplicates.pointsInClosePairs, 2u);

    const PointStats one = pointStats({{1, 2, 3}}, 0.1, 1.0);
    EXPECT_EQ(one.count, 1u);
    EXPECT_TRUE(std::isnan(one.smallestDistance));
    EXPECT_TRUE(std::isnan(one.relativeRadius));
    EXPECT_EQ(one.closePairs, 0u);
    EXPECT_TRUE(std::isnan(largestGap({}, unitSquare(), 1000)));
}

// The farthest spot from a k x k grid of cell centres is a cell corner, half a cell diagonal away.
// The estimate samples the surface, so it can only fall short of that, and not by much.
TEST(PointStats, LargestGapOfAGridIsHalfTheCellDiagonal)
{
    const int k = 10;
    std::vector<Point> centres;
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j)
            centres.push_back({(i + 0.5) / k, (j + 0.5) / k, 0.0});
    const double exact = std::sqrt(2.0) / (2 * k);
    const double gap = largestGap(centres, unitSquare(), gapSampleCount(centres.size()));
    EXPECT_LE(gap, exact + 1e-12);
    EXPECT_GT(gap, 0.97 * exact);

    EXPECT_NEAR(largestGap({{0.5, 0.5, 0}}, unitSquare(), 200000), std::sqrt(0.5), 0.01);
}
