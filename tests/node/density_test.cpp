// The scatter node's density map, read from a colour set of its mesh, and its point count.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <maya/MFnMesh.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "scatter/pointCount.h"
#include "support/pluginTest.h"
#include "support/bandChecks.h"
#include "support/pointMeasures.h"

using harness::CapturedOutput;
using harness::Colour;
using harness::ColourSet;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;
using harness::wide;

namespace {

class DensityMap : public harness::PluginTest {};

constexpr float kBand = 2.0f;

// A strip along X of square bands, one per weight, each a grid of quads whose face-vertex colours are its own grey.
// Neighbouring bands share the vertices of their common edge, where each face carries its own band's colour.
Mesh bandedStrip(const std::vector<float>& weights, int quads = 8)
{
    Mesh mesh;
    const int columns = static_cast<int>(weights.size()) * quads;
    for (int j = 0; j <= quads; ++j)
        for (int i = 0; i <= columns; ++i)
            mesh.points.push_back({kBand * i / quads, 0.0f, kBand * j / quads});
    ColourSet greys{"bands", {}, true};
    for (int j = 0; j < quads; ++j)
        for (int i = 0; i < columns; ++i) {
            const int a = j * (columns + 1) + i;
            mesh.counts.push_back(4);
            mesh.connects.insert(mesh.connects.end(), {a, a + columns + 1, a + columns + 2, a + 1});
            const float w = weights[static_cast<size_t>(i / quads)];
            greys.faceVertexColours.insert(greys.faceVertexColours.end(), 4, Colour{w, w, w, 1.0f});
        }
    mesh.colourSets.push_back(greys);
    return mesh;
}

// The mesh with one more colour set, each face-vertex of one colour.
Mesh withColourSet(Mesh mesh, const std::string& name, Colour colour, bool current)
{
    std::vector<Colour> colours(mesh.connects.size(), colour);
    mesh.colourSets.push_back({name, colours, current});
    return mesh;
}

// The points of band `b` at least `margin` inside its edges, and the area they lie on.
std::vector<kyscatter::Point> interior(const std::vector<Point>& points, int b, double margin, double& area)
{
    return harness::bandInterior(points, kBand, b, margin, area);
}

using harness::failedCompute;
using harness::recordOf;

// The record and the radius a node holds while its inputs make every compute fail: reading them computes again.
void expectKept(ScatterNode& node, const std::string& record, float radius)
{
    CapturedOutput quiet;
    EXPECT_TRUE(node.pullBytes() == record);
    float kept = 0.0f;
    EXPECT_EQ(node.plug("radiusUsed").getValue(kept), MS::kFailure);
    EXPECT_EQ(kept, radius);
}

TEST_F(DensityMap, BandsHoldTheirShareOfPointsWithTheRadiusKept)
{
    const std::vector<float> weights = {0.0f, 0.25f, 0.5f, 1.0f};
    ScatterNode node;
    node.setMesh(bandedStrip(weights));
    node.setRadius(0.05f);
    node.setDensity(true);
    for (bool strict : {true, false}) {
        SCOPED_TRACE(strict ? "strict" : "default");
        ScatterSettings settings = harness::settingsOf(0.05f);
        settings.strictRadius = strict;
        node.setControls(settings);
        std::vector<Point> points;
        ASSERT_EQ(node.pull(&points), MS::kSuccess);
        for (const Point& p : points)
            ASSERT_GE(p[0], kBand) << "a point where the weight is 0, or a weight taken across a face";
        double area = 0;
        const size_t full = interior(points, 3, 0.15, area).size();
        ASSERT_GT(full, 500u);
        for (int b = 1; b < 3; ++b) {
            const std::vector<kyscatter::Point> inside = interior(points, b, 0.15, area);
            EXPECT_NEAR(static_cast<double>(inside.size()), weights[b] * full, 0.1 * weights[b] * full) << weights[b];
            // Spaced as a band of full weight at radius / sqrt(w): a local relative radius like the full band's.
            if (strict)
                EXPECT_GT(kyscatter::pointStats(inside, 0.05, area).relativeRadius, 0.6) << weights[b];
        }
        const kyscatter::PointStats all = kyscatter::pointStats(wide(points), 0.05, 1.0);
        if (strict)
            EXPECT_EQ(all.closePairs, 0u);
        else
            EXPECT_GT(all.smallestDistance, 0.05 / std::sqrt(3.0) * 0.999) << "the default's own bound holds";
    }
}

// Full weight everywhere decides every candidate as without a map: the same record, every channel, byte for byte; so
// does a channel that is 1 where the others are not.
TEST_F(DensityMap, FullWeightEverywhereIsTheRecordOfNoMap)
{
    const Mesh white = withColourSet(harness::ball(), "white", {1, 1, 1, 1}, true);
    const Mesh red = withColourSet(harness::ball(), "red", {1, 0, 0, 1}, true);
    ScatterNode node;
    node.setRadius(0.12f);
    ScatterSettings settings = harness::settingsOf(0.12f);
    for (int variant = 0; variant < 3; ++variant) {
        settings.strictRadius = variant > 0;
        settings.surfaceData = variant == 2;
        node.setControls(settings);
        node.setMesh(harness::ball());
        node.setDensity(false);
        const std::string noMap = recordOf(node);
        node.setMesh(white);
        node.setDensity(true);
        EXPECT_TRUE(recordOf(node) == noMap) << "white, variant " << variant;
        node.setMesh(red);
        node.setDensity(true, "", 1);
        EXPECT_TRUE(recordOf(node) == noMap) << "red channel of red, variant " << variant;
        node.setDensity(true, "", 0);
        EXPECT_FALSE(recordOf(node) == noMap) << "the luminance of red is 0.3";
    }
}

TEST_F(DensityMap, TheColourSetIsTheNamedOneOrTheCurrentOne)
{
    // "white" is current, "black" is not; black everywhere gives an empty record, and is no failure.
    const Mesh mesh = withColourSet(withColourSet(harness::ball(), "white", {1, 1, 1, 1}, true), "black",
                                    {0, 0, 0, 1}, false);
    ScatterNode node;
    node.setMesh(mesh);
    node.setRadius(0.2f);
    const std::string noMap = recordOf(node);
    node.setDensity(true);
    EXPECT_TRUE(recordOf(node) == noMap) << "the current set, white";
    node.setDensity(true, "black");
    std::vector<Point> points{{1, 2, 3}};
    EXPECT_EQ(node.pull(&points), MS::kSuccess);
    EXPECT_TRUE(points.empty());
    node.setDensity(true, "white");
    EXPECT_TRUE(recordOf(node) == noMap);
    EXPECT_FLOAT_EQ(node.radiusUsed(), 0.2f);

    // A set the mesh does not have fails, naming it, and the earlier points and radius stay.
    node.setDensity(true, "painted");
    node.setRadius(0.3f);
    EXPECT_EQ(failedCompute(node),
              "ERROR densityColorSet 'painted' is not a colour set of the mesh; no points computed\n");
    expectKept(node, noMap, 0.2f);
}

TEST_F(DensityMap, AMeshWithoutColoursOrAChannelOutOfRangeIsRefused)
{
    ScatterNode node;
    node.setRadius(0.3f);
    node.setDensity(true);
    node.setMesh(harness::ball());
    EXPECT_EQ(failedCompute(node),
              "ERROR densityMap is on, but the mesh has no colour set to read it from; no points computed\n");

    // A set that was made but never given colours.
    MObject data = harness::meshData(harness::ball());
    MFnMesh meshFn(data);
    const MString name = meshFn.createColorSetWithName("unpainted");
    ASSERT_EQ(meshFn.setCurrentColorSetName(name), MS::kSuccess);
    ASSERT_EQ(node.plug("inMesh").setValue(data), MS::kSuccess);
    EXPECT_EQ(failedCompute(node), "ERROR colour set 'unpainted' of the mesh has no colours; no points computed\n");

    // A connection may bring what no field names.
    node.setMesh(harness::rampedBall());
    node.setDensity(true, "", 7);
    EXPECT_EQ(failedCompute(node), "ERROR densityChannel 7 is none of luminance (0), red, green, blue and alpha (4); "
                                   "no points computed\n");
    // With the map off the channel is not read.
    node.setDensity(false, "", 7);
    EXPECT_EQ(node.pull(), MS::kSuccess);
}

class PointCount : public harness::PluginTest {};

TEST_F(PointCount, TheNodeFindsTheRadiusForTheCountAndSaysWhichItUsed)
{
    struct Case {
        const char* what;
        Mesh mesh;
        bool density;
        int count;
    };
    const Case cases[] = {{"ball", harness::ball(), false, 3000},
                          {"wavy grid", harness::grid(40, 30, 8.0f), false, 8000},
                          {"bands", bandedStrip({0.0f, 0.25f, 0.5f, 1.0f}), true, 1500},
                          {"ramped ball", harness::rampedBall(), true, 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScatterNode node;
        node.setMesh(c.mesh);
        node.setDensity(c.density);
        node.setPointCount(c.count);
        cudaStandin::clearLaunchCounts();
        std::vector<Point> points;
        ASSERT_EQ(node.pull(&points), MS::kSuccess);
        EXPECT_NEAR(static_cast<double>(points.size()), c.count, 0.01 * c.count);
        EXPECT_LE(cudaStandin::launchCount("calculateArea"), kMaxSearchComputes) << "computes";
        const std::string found = node.pullBytes();

        // The radius it used, given as the radius with no count, gives the very same points.
        const float used = node.radiusUsed();
        node.setPointCount(0);
        node.setRadius(used);
        EXPECT_TRUE(recordOf(node) == found);
        EXPECT_EQ(node.radiusUsed(), used);
    }
}

TEST_F(PointCount, ACountOutOfReachFailsInABoundedNumberOfComputes)
{
    ScatterNode node;
    node.setMesh(harness::ball());
    node.setRadius(0.3f);
    const std::string before = recordOf(node);

    ScatterSettings settings = harness::settingsOf(0.3f);
    settings.candidateCount = 1000;
    node.setControls(settings);
    node.setPointCount(1001);
    cudaStandin::clearLaunchCounts();
    EXPECT_EQ(failedCompute(node), "ERROR pointCount 1001 is more than the 1000 candidates the node draws (raise "
                                   "candidateCount); no points computed\n");
    EXPECT_EQ(cudaStandin::launchCount("calculateArea"), 0);
    expectKept(node, before, 0.3f);

    // A speck a hundredth wide holds a few dozen points at the smallest radius.
    node.setControls(harness::settingsOf(0.3f));
    node.setMesh(harness::speck());
    node.setPointCount(500);
    cudaStandin::clearLaunchCounts();
    const std::string err = failedCompute(node);
    EXPECT_TRUE(std::regex_match(err, std::regex("ERROR pointCount 500: the mesh holds no more than [0-9]+ points at "
                                                 "radius 0\\.001, the node's smallest; no points computed\n")))
        << err;
    EXPECT_LE(cudaStandin::launchCount("calculateArea"), kMaxSearchComputes);
    expectKept(node, before, 0.3f);
}

}  // namespace
