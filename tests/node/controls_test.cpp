// The controls of the scatter node: the seed, the passes, the candidate count and the strict radius, with either
// candidate layout.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/pluginTest.h"
#include "support/pointMeasures.h"

using harness::ball;
using harness::Box;
using harness::CapturedOutput;
using harness::Mesh;
using harness::pairsCloserThan;
using harness::Point;
using harness::ScatterNode;

namespace {

class Controls : public harness::PluginTest {};

std::vector<Point> scatter(const Mesh& mesh, const ScatterSettings& settings, const Box* box = nullptr)
{
    ScatterNode node;
    node.setMesh(mesh);
    node.setRadius(settings.radius);
    if (box != nullptr)
        node.setBox(*box);
    node.setControls(settings);
    std::vector<Point> points;
    EXPECT_EQ(node.pull(&points), MS::kSuccess);
    EXPECT_FALSE(node.outPointsDirty());
    return points;
}

ScatterSettings strict(float radius)
{
    ScatterSettings settings = harness::settingsOf(radius);
    settings.strictRadius = true;
    return settings;
}

TEST_F(Controls, SeedVariesThePatternAndRepeatsIt)
{
    ScatterSettings settings = harness::settingsOf(0.2f);
    const std::vector<Point> byDefault = harness::sorted(scatter(ball(), settings));
    settings.seed = 99;
    const std::vector<Point> first = harness::sorted(scatter(ball(), settings));
    const std::vector<Point> again = harness::sorted(scatter(ball(), settings));
    EXPECT_NE(first, byDefault);
    EXPECT_EQ(first, again);
    settings.seed = -99;
    EXPECT_NE(harness::sorted(scatter(ball(), settings)), first) << "negative seeds are seeds of their own";
}

TEST_F(Controls, MorePassesAndCandidatesFillMoreCells)
{
    // Radius 0.05 on the ball: some 12 candidates a cell, of which five passes offer five.
    ScatterSettings settings = harness::settingsOf(0.05f);
    const size_t byDefault = scatter(ball(), settings).size();
    settings.passes = 20;
    cudaStandin::clearLaunchCounts();
    const size_t morePasses = scatter(ball(), settings).size();
    EXPECT_EQ(cudaStandin::launchCount("chooseSamplesInCells"), 20 * 27);
    EXPECT_GT(morePasses, byDefault);
    settings.candidateCount = 100000;
    const size_t fewerCandidates = scatter(ball(), settings).size();
    EXPECT_LT(fewerCandidates, morePasses);
    settings.candidateCount = kMinCandidateCount;
    settings.passes = kMinPassCount;
    EXPECT_GT(scatter(ball(), settings).size(), 100u) << "a thousand candidates, one offer per cell";
}

TEST_F(Controls, StrictRadiusLeavesNoPairCloserThanTheRadius)
{
    const Mesh wavy = harness::grid(60, 40, 10.0f);
    const Mesh offCentre = harness::sphere(20, 40, 1.0f, {3.0f, 1.0f, -2.0f});
    const Box inside = {{3.0f, 1.0f, -2.0f}, {3.2f, 1.2f, -1.8f}};
    struct Case {
        const char* what;
        const Mesh* mesh;
        float radius;
        const Box* box;
    };
    const Case cases[] = {{"sphere", &ball(), 0.1f, nullptr},
                          {"wavy grid", &wavy, 0.15f, nullptr},
                          {"a box that does not enclose the mesh", &offCentre, 0.05f, &inside},
                          {"all candidates in one cell", &harness::speck(), 1.0f, nullptr}};
    for (const Case& c : cases) {
        for (bool stableLayout : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (stableLayout ? ", stable layout" : ""));
            ScatterSettings settings = harness::settingsOf(c.radius);
            settings.stableLayout = stableLayout;
            const std::vector<Point> loose = scatter(*c.mesh, settings, c.box);
            settings.strictRadius = true;
            const std::vector<Point> points = scatter(*c.mesh, settings, c.box);
            if (stableLayout && c.mesh == &harness::speck())
                continue;  // too small for the layout's density to draw a candidate
            ASSERT_FALSE(points.empty());
            EXPECT_EQ(pairsCloserThan(points, c.radius), 0u);
            if (points.size() > 1)
                EXPECT_GT(pairsCloserThan(loose, c.radius), 0u) << "the check must have something to find";
        }
    }
}

// A radius whose grid needs nearly every 32-bit key: keys wrap when a neighbour's offset is added.
TEST_F(Controls, StrictRadiusHoldsNearTheKeyLimit)
{
    const Mesh sheet = harness::grid(40, 40, 60.0f);
    const float radius = 0.04f;  // some 3.5 billion cells of the 4.3 billion keys
    ScatterGrid grid;
    ASSERT_EQ(planGrid(harness::scatterMeshOf(sheet), harness::settingsOf(radius), grid), ScatterStatus::ok);
    EXPECT_GT(static_cast<double>(grid.stepY) * 600, 1e9) << "the grid must come near the limit";
    const std::vector<Point> points = scatter(sheet, strict(radius));
    ASSERT_GT(points.size(), 1000u);
    EXPECT_EQ(pairsCloserThan(points, radius), 0u);
}

TEST_F(Controls, ControlsOutsideTheirLimitsAreRefusedWithAReport)
{
    ScatterResult result;
    ScatterSettings settings = harness::settingsOf(0.5f);
    settings.candidateCount = kMaxCandidateCount + 1;
    {
        CapturedOutput output;
        EXPECT_EQ(scatterPoints(harness::scatterMeshOf(ball()), settings, result), ScatterStatus::failed);
        output.finish();
        EXPECT_NE(output.err().find("1073741823"), std::string::npos) << output.err();
        EXPECT_NE(output.err().find("32-bit"), std::string::npos) << output.err();
    }
    settings.candidateCount = kDefaultCandidateCount;
    settings.passes = 0;
    CapturedOutput output;
    EXPECT_EQ(scatterPoints(harness::scatterMeshOf(ball()), settings, result), ScatterStatus::failed);
    output.finish();
    EXPECT_NE(output.err().find("passes 0"), std::string::npos) << output.err();
}

double hostAvailableBytes()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key, unit;
    double kibibytes = 0;
    while (meminfo >> key >> kibibytes >> unit)
        if (key == "MemAvailable:")
            return kibibytes * 1024;
    return 0;
}

// The simulated device never promises more than the host has: an outsized request is a full device, reported, and the
// earlier points stay.
TEST_F(Controls, CandidatesBeyondTheDeviceMeetAFullDevice)
{
    if (hostAvailableBytes() > 24.0 * kMaxCandidateCount)
        GTEST_SKIP() << "this host could hold the largest candidate count";
    ScatterNode node;
    node.setMesh(ball());
    node.setRadius(0.3f);
    std::vector<Point> before;
    ASSERT_EQ(node.pull(&before), MS::kSuccess);
    ScatterSettings settings = harness::settingsOf(0.3f);
    settings.candidateCount = kMaxCandidateCount;
    node.setControls(settings);
    MObject record;
    CapturedOutput output;
    EXPECT_EQ(node.plug("outPoints").getValue(record), MS::kFailure);
    output.finish();
    EXPECT_NE(output.err().find("Not enough memory on GPU"), std::string::npos) << output.err();
    EXPECT_EQ(harness::positionsOf(record), before);
}

}  // namespace
