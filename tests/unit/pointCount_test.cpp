// The node's pointCount search against count laws with known answers: the node's own, one with steps, and
// targets out of reach; and the radius it starts from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "scatter/pointCount.h"
#include "scatter/scatterCompute.h"

namespace {

// A count law that records every radius it is asked about, and the one it was told to keep.
struct Computes {
    std::function<double(double)> law;
    std::vector<double> radii;
    std::vector<std::size_t> counts;
    std::size_t kept = 0;

    CountComputes asComputes()
    {
        CountComputes computes;
        computes.countAt = [this](double radius) -> std::optional<std::size_t> {
            radii.push_back(radius);
            counts.push_back(static_cast<std::size_t>(std::max(0.0, std::floor(law(radius)))));
            return counts.back();
        };
        computes.keepLast = [this] { kept = counts.back(); };
        return computes;
    }
};

// What the node keeps from c candidates on a surface that holds some a/r² points.
std::function<double(double)> nodeLaw(double a, double c)
{
    return [a, c](double r) { return 1 / (r * r / a + 1 / c); };
}

// Every radius the node was given is one its float attribute holds, none below its minimum.
void expectNodeRadii(const Computes& computes)
{
    for (double r : computes.radii) {
        EXPECT_EQ(static_cast<double>(static_cast<float>(r)), r);
        EXPECT_GE(r, static_cast<double>(0.001f));
    }
}

std::string failureOf(const CountTarget& target, Computes& computes)
{
    return searchRadiusForCount(target, computes.asComputes()).failure;
}

}  // namespace

TEST(PointCountSearch, ReachesTargetsOnTheNodesCountLawInAFewComputes)
{
    // The built-in surface's law with a million candidates; the first guess assumes plenty of them.
    const double a = 63.0, candidates = 1e6;
    for (std::int64_t target : {1, 10, 1000, 30000, 300000, 600000, 990000}) {
        SCOPED_TRACE(target);
        Computes computes{nodeLaw(a, candidates)};
        const CountTarget wanted{target, 1000000, std::sqrt(0.7 * 90 / static_cast<double>(target))};
        const CountSearch outcome = searchRadiusForCount(wanted, computes.asComputes());
        EXPECT_TRUE(outcome.withinTolerance);
        EXPECT_TRUE(outcome.failure.empty()) << outcome.failure;
        EXPECT_LE(std::abs(static_cast<double>(outcome.count) - static_cast<double>(target)), 0.01 * target);
        EXPECT_LE(outcome.computes, 3);
        EXPECT_EQ(outcome.computes, static_cast<int>(computes.radii.size()));
        EXPECT_EQ(computes.kept, outcome.count) << "the closest compute is the one kept";
        expectNodeRadii(computes);
    }

    // A first guess ten times off in the radius costs a few steps more, not the target.
    for (double scale : {0.1, 10.0}) {
        Computes computes{nodeLaw(a, candidates)};
        const CountSearch outcome = searchRadiusForCount({20000, 1000000, scale * 0.056}, computes.asComputes());
        EXPECT_TRUE(outcome.withinTolerance) << scale;
        EXPECT_LE(outcome.computes, 6) << scale;
    }
}

TEST(PointCountSearch, CountsThatJumpEndOnTheBestTriedWithinTheBound)
{
    // Counts only in steps of 7: 50 cannot be met, 49 is the closest there is.
    Computes steps{[](double r) { return 7 * std::floor(4.0 / (r * r) / 7); }};
    const CountSearch stepped = searchRadiusForCount({50, 1000000, 0.28}, steps.asComputes());
    EXPECT_FALSE(stepped.withinTolerance);
    EXPECT_EQ(stepped.count, 49u);
    EXPECT_LE(stepped.computes, kMaxSearchComputes);
    EXPECT_EQ(stepped.computes, static_cast<int>(steps.radii.size()));
    const auto at = std::find(steps.radii.begin(), steps.radii.end(), stepped.radius);
    ASSERT_NE(at, steps.radii.end());
    EXPECT_EQ(steps.counts[at - steps.radii.begin()], 49u);
    EXPECT_EQ(steps.kept, 49u);
    EXPECT_TRUE(stepped.failure.empty()) << "bracketed: the closest is kept, not refused";

    // Counts that wobble a few percent with the radius, as the node's do on a small mesh: the best
    // tried is the one reported, and the bound holds.
    for (std::int64_t target : {40, 75, 120}) {
        SCOPED_TRACE(target);
        Computes wobbly{[](double r) { return (4.0 / (r * r)) * (1 + 0.04 * std::sin(r * 1e4)); }};
        const CountSearch outcome =
            searchRadiusForCount({target, 1000000, std::sqrt(4.0 / static_cast<double>(target))}, wobbly.asComputes());
        EXPECT_LE(outcome.computes, kMaxSearchComputes);
        std::size_t closest = wobbly.counts.front();
        for (std::size_t c : wobbly.counts)
            if (std::abs(static_cast<double>(c) - target) < std::abs(static_cast<double>(closest) - target))
                closest = c;
        EXPECT_EQ(outcome.count, closest);
        EXPECT_EQ(wobbly.kept, closest);
        expectNodeRadii(wobbly);
    }
}

TEST(PointCountSearch, TargetsOutOfReachFailNamingWhy)
{
    // More points than candidates: refused before any compute.
    Computes none{nodeLaw(63, 1000)};
    EXPECT_EQ(failureOf({1001, 1000, 0.25}, none),
              "pointCount 1001 is more than the 1000 candidates the node draws (raise candidateCount)");
    EXPECT_TRUE(none.radii.empty());

    // A surface too small: even the node's smallest radius (a float a little above 0.001) gives fewer.
    Computes small{nodeLaw(0.00028, 1e6)};
    EXPECT_EQ(failureOf({1000, 1000000, 0.0167}, small),
              "pointCount 1000: the mesh holds no more than 279 points at radius 0.001, the node's smallest");
    EXPECT_LE(small.radii.size(), static_cast<std::size_t>(kMaxSearchComputes));
    expectNodeRadii(small);

    // Counts that never come down: the search gives up at its bound.
    Computes stubborn{[](double) { return 5000.0; }};
    const std::string gaveUp = failureOf({10, 1000000, 1.0}, stubborn);
    EXPECT_EQ(gaveUp.rfind("pointCount 10: no fewer than 5000 points at radius ", 0), 0u) << gaveUp;
    EXPECT_NE(gaveUp.find(" in 12 computes"), std::string::npos) << gaveUp;
    EXPECT_EQ(stubborn.radii.size(), static_cast<std::size_t>(kMaxSearchComputes));
}

TEST(PointCountSearch, AFailedComputeEndsTheSearchAtOnce)
{
    int calls = 0;
    CountComputes failing;
    failing.countAt = [&](double) -> std::optional<std::size_t> {
        ++calls;
        return std::nullopt;
    };
    const CountSearch outcome = searchRadiusForCount({500, 1000000000, 0.1}, failing);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(outcome.failure, "pointCount 500: the compute at radius 0.1 failed");
}

TEST(PointCountSearch, FirstRadiusComesFromTheAreaTheMapLeaves)
{
    // Two unit squares side by side, the second of weight 0.5: 1.5 of area to fill.
    ScatterMesh mesh;
    mesh.points = {0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 2, 0, 0, 2, 0, 1};
    mesh.triangleVertices = {0, 1, 2, 0, 2, 3, 1, 4, 5, 1, 5, 2};
    EXPECT_NEAR(densityArea(mesh), 2.0, 1e-12);
    mesh.cornerWeights = {1, 1, 1, 1, 1, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_NEAR(densityArea(mesh), 1.5, 1e-12);
    mesh.cornerWeights = {1, 1, 1, 1, 1, 1, -2, -2, -2, 3, 3, 3};
    EXPECT_NEAR(densityArea(mesh), 1.5, 1e-12) << "weights clamped to [0, 1]";

    EXPECT_DOUBLE_EQ(radiusForCount(1.5, 100), std::sqrt(0.7 * 1.5 / 100));
    // Never below the node's minimum, however many points are asked for, nor undefined on no area.
    EXPECT_EQ(radiusForCount(1.0, 1e9), 0.001);
    EXPECT_EQ(radiusForCount(0.0, 0.0), 0.001);
}
