// The node's pointCount search against count laws with known answers: the node's own, one with steps, and
// targets out of reach; and the radius it starts from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "scatter/countCompute.h"
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

TEST(ExactCount, KeepsExactlyTheTargetEvenlyOverTheRecord)
{
    for (std::size_t reached : {1u, 10u, 101u, 1000u, 12345u})
        for (std::size_t target : {std::size_t{1}, std::size_t{7}, reached / 2, reached - 1, reached, reached + 3}) {
            SCOPED_TRACE(std::to_string(target) + " of " + std::to_string(reached));
            std::vector<std::size_t> kept;
            for (std::size_t i = 0; i < reached; ++i)
                if (keptByExactCount(i, reached, target))
                    kept.push_back(i);
            ASSERT_EQ(kept.size(), std::min(target, reached));
            // Evenly: the gaps between kept points differ by one at most.
            std::size_t shortest = reached, longest = 0;
            for (std::size_t k = 1; k < kept.size(); ++k) {
                shortest = std::min(shortest, kept[k] - kept[k - 1]);
                longest = std::max(longest, kept[k] - kept[k - 1]);
            }
            if (kept.size() > 1)
                EXPECT_LE(longest - shortest, 1u);
        }
}

TEST(ExactCount, AimsWhereACountWithinTheToleranceHoldsTheTarget)
{
    for (std::int64_t target : {1, 2, 30, 99, 100, 5000, 350000, 900000}) {
        SCOPED_TRACE(target);
        const std::int64_t aim = exactCountAim(target, 1000000);
        EXPECT_GE(static_cast<double>(aim) * (1 - kCountTolerance), static_cast<double>(target) - 1e-9);
        EXPECT_LE(aim, std::max<std::int64_t>(target + 2, static_cast<std::int64_t>(target * 1.03)));
        EXPECT_LE(aim, 1000000);
    }
    EXPECT_EQ(exactCountAim(1000, 1000), 1000) << "never above the candidates";
    EXPECT_EQ(exactCountShortfall(500, 500, 0.1), "");
    EXPECT_EQ(exactCountShortfall(500, 497, 0.125), "pointCount 500 exactly: the closest compute holds 497 points, "
                                                    "at radius 0.125");
}

namespace {

// A unit square, and a compute that gives the node's count law's points along a line, numbered as candidates.
struct LawCompute {
    ScatterMesh square{{0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1}, {0, 1, 2, 0, 2, 3}, {}, {}};
    std::function<double(double)> law = nodeLaw(0.7, 1000000);
    int runs = 0;

    RunCompute run()
    {
        return [this](const ScatterSettings& settings, ScatterResult& result) {
            ++runs;
            const auto count = static_cast<std::size_t>(std::floor(law(settings.radius)));
            result = ScatterResult();
            for (std::size_t i = 0; i < count; ++i) {
                result.points.insert(result.points.end(), {static_cast<float>(i), 0.0f, 0.0f});
                result.surface.ids.push_back(static_cast<unsigned int>(i));
                result.surface.faceIds.push_back(static_cast<int>(i % 2));
                result.surface.normals.insert(result.surface.normals.end(), {0.0, 1.0, static_cast<double>(i)});
            }
            return true;
        };
    }
};

}  // namespace

TEST(ExactCount, TheNodesSearchAimsAboveAndDropsTheSurplusWithItsSurfaceData)
{
    LawCompute computes;
    ScatterSettings settings;
    ScatterResult result;
    const CountSearch exact = computeForCount(computes.square, 500, true, computes.run(), settings, result);
    EXPECT_TRUE(exact.failure.empty()) << exact.failure;
    ASSERT_EQ(result.pointCount(), 500u);
    EXPECT_EQ(exact.count, 500u);
    ASSERT_EQ(result.surface.ids.size(), 500u);
    ASSERT_EQ(result.surface.normals.size(), 1500u);
    for (std::size_t k = 0; k < 500; ++k) {
        EXPECT_EQ(result.points[3 * k], static_cast<float>(result.surface.ids[k]));
        EXPECT_EQ(result.surface.normals[3 * k + 2], result.surface.ids[k]);
        EXPECT_EQ(result.surface.faceIds[k], static_cast<int>(result.surface.ids[k] % 2));
    }
    EXPECT_GT(result.surface.ids.back(), 500u) << "the surplus is spread, not cut off the end";

    // The same search without exact is the node's: within the tolerance of the target itself, at a radius the node's
    // float attribute holds.
    ScatterSettings plainSettings;
    ScatterResult plain;
    const CountSearch search = computeForCount(computes.square, 500, false, computes.run(), plainSettings, plain);
    EXPECT_TRUE(search.withinTolerance);
    EXPECT_LE(std::abs(static_cast<double>(plain.pointCount()) - 500), 5);
    EXPECT_EQ(plainSettings.radius, static_cast<float>(search.radius));
}

TEST(ExactCount, ACountOutOfReachFailsAndAFailedComputeEndsTheSearch)
{
    LawCompute computes;
    computes.law = [](double) { return 300.0; };
    ScatterSettings settings;
    ScatterResult result;
    EXPECT_NE(computeForCount(computes.square, 500, true, computes.run(), settings, result).failure, "");
    const RunCompute failing = [](const ScatterSettings&, ScatterResult&) { return false; };
    const CountSearch failed = computeForCount(computes.square, 500, true, failing, settings, result);
    EXPECT_NE(failed.failure.find("failed"), std::string::npos) << failed.failure;
    // Counts that jump from 495 straight to 540: the closest to the aim holds fewer than the target, which is named.
    computes.law = [](double r) { return r > 0.036 ? 495.0 : 540.0; };
    const CountSearch jumped = computeForCount(computes.square, 500, true, computes.run(), settings, result);
    EXPECT_EQ(jumped.failure.rfind("pointCount 500 exactly: the closest compute holds 495 points, at radius ", 0), 0u)
        << jumped.failure;
    settings.candidateCount = 1000;
    EXPECT_EQ(computeForCount(computes.square, 1001, true, computes.run(), settings, result).failure,
              "pointCount 1001 is more than the 1000 candidates the node draws (raise candidateCount)");
}
