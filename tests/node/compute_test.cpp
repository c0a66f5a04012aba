// The scatter node's compute through the host: the point set and its promises, and the meshes and grids it refuses.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/pluginTest.h"
#include "support/pointMeasures.h"

using harness::ball;
using harness::Box;
using harness::CandidateSet;
using harness::CapturedOutput;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;
using harness::speck;

namespace {

class Compute : public harness::PluginTest {};

// ------------------------------------------------------------------------------------------------ results

// Runs the compute's stages on the node's inputs without the host; the node must have given the same points.
void runStagesLikeTheNode(const Mesh& mesh, const ScatterSettings& settings, const std::vector<Point>& nodePoints,
                          CandidateSet& candidates)
{
    ScatterResult result;
    ASSERT_EQ(scatterPoints(harness::scatterMeshOf(mesh), settings, result, &candidates), ScatterStatus::ok);
    std::vector<Point> points;
    for (size_t i = 0; i < result.points.size(); i += 3)
        points.push_back({result.points[i], result.points[i + 1], result.points[i + 2]});
    ASSERT_EQ(harness::sorted(points), harness::sorted(nodePoints)) << "the stages give what the node gives";
}

float kernelDistance(const Point& a, const Point& b)
{
    const float dy = a[1] - b[1], dx = a[0] - b[0], dz = a[2] - b[2];
    return std::sqrt(dy * dy + dx * dx + dz * dz);
}

// Every property the selection promises, checked against the candidates it chose from.
void expectSelectionInvariants(const Mesh& mesh, float radius, const std::vector<Point>& points, const Box* box)
{
    CandidateSet candidates;
    runStagesLikeTheNode(mesh, harness::settingsOf(radius, box), points, candidates);
    ASSERT_EQ(candidates.keys.size(), static_cast<size_t>(kDefaultCandidateCount));
    const ScatterGrid& grid = candidates.grid;

    // Cells with their candidates in the order the selection offers them.
    std::map<unsigned int, std::vector<int>> cellCandidates;
    for (int i = 0; i < static_cast<int>(candidates.keys.size()); ++i)
        cellCandidates[candidates.keys[i]].push_back(i);
    const unsigned int tableSize = 4u * static_cast<unsigned int>(cellCandidates.size());
    std::map<unsigned int, int> bucketLoad;
    for (const auto& cell : cellCandidates)
        ++bucketLoad[cell.first % tableSize];

    // At most one point per cell, and each point one of its cell's first five candidates.
    std::map<unsigned int, Point> pointInCell;
    for (const Point& p : points) {
        const unsigned int key = cellKeyOf(grid, harness::cellOf(grid, p));
        ASSERT_TRUE(pointInCell.emplace(key, p).second) << "two points in cell " << key;
        const auto& offered = cellCandidates[key];
        bool found = false;
        for (size_t t = 0; t < offered.size() && t < 5; ++t)
            found = found || candidates.positions[offered[t]] == p;
        ASSERT_TRUE(found) << "a point that is none of its cell's first five candidates";
    }

    // No two points of neighbouring cells within the radius.
    auto neighbourPoints = [&](const Point& p, auto&& visit) {
        const CellCoordinates c = harness::cellOf(grid, p);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dz = -1; dz <= 1; ++dz)
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0 && dz == 0) || c.x + dx < 0 || c.y + dy < 0 || c.z + dz < 0)
                        continue;
                    const unsigned int key = cellKeyOf(grid, {c.x + dx, c.y + dy, c.z + dz});
                    auto it = pointInCell.find(key);
                    if (it != pointInCell.end())
                        visit(it->second);
                }
    };
    for (const Point& p : points)
        neighbourPoints(p, [&](const Point& q) { ASSERT_GT(kernelDistance(p, q), radius); });

    // A cell left empty had each of its first five candidates blocked by a neighbour's point.
    int emptyCells = 0;
    for (const auto& cell : cellCandidates) {
        if (pointInCell.count(cell.first) || bucketLoad[cell.first % tableSize] > 5)
            continue;
        ++emptyCells;
        for (size_t t = 0; t < cell.second.size() && t < 5; ++t) {
            const Point& candidate = candidates.positions[cell.second[t]];
            bool blocked = false;
            neighbourPoints(candidate, [&](const Point& q) { blocked = blocked || kernelDistance(candidate, q) <= radius; });
            ASSERT_TRUE(blocked) << "cell " << cell.first << " left empty although candidate " << t << " was free";
        }
    }
    EXPECT_GT(emptyCells, 0) << "the check above must have had something to check";
}

TEST_F(Compute, PointSetKeepsEveryPromiseOfTheSelection)
{
    ScatterNode node;
    node.setMesh(ball());
    node.setRadius(0.15f);
    std::vector<Point> points;
    ASSERT_EQ(node.pull(&points), MS::kSuccess);
    EXPECT_FALSE(node.outPointsDirty());
    ASSERT_GT(points.size(), 500u);
    expectSelectionInvariants(ball(), 0.15f, points, nullptr);
    // Every point lies on the surface: between the faces' inner distance and the sphere.
    for (const Point& p : points) {
        const float d = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        ASSERT_LE(d, 2.0f + 1e-4f);
        ASSERT_GE(d, 2.0f * std::cos(3.14159265f / 40) - 1e-4f);
    }
}

TEST_F(Compute, SameInputsGiveTheSamePointSet)
{
    ScatterNode first, second;
    for (ScatterNode* node : {&first, &second}) {
        node->setMesh(harness::grid(60, 40, 10.0f));
        node->setRadius(0.2f);
    }
    std::vector<Point> a, b, again;
    ASSERT_EQ(first.pull(&a), MS::kSuccess);
    ASSERT_EQ(second.pull(&b), MS::kSuccess);
    first.setRadius(0.3f);
    first.setRadius(0.2f);
    ASSERT_EQ(first.pull(&again), MS::kSuccess);
    EXPECT_EQ(harness::sorted(a), harness::sorted(b));
    EXPECT_EQ(harness::sorted(a), harness::sorted(again));
}

TEST_F(Compute, AllCandidatesInOneCellGiveExactlyOnePoint)
{
    ScatterNode node;
    node.setMesh(speck());
    node.setRadius(1.0f);
    std::vector<Point> points;
    ASSERT_EQ(node.pull(&points), MS::kSuccess);
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(cudaStandin::launchCount("chooseSamplesInCells") % 135, 0) << "27 phases x 5 passes, empty ones included";
}

TEST_F(Compute, NoMeshSurfaceGivesAnEmptyRecordAndSucceeds)
{
    Mesh noFaces;
    noFaces.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const Mesh flat = harness::singleTriangle({0, 0, 0}, {1, 1, 1}, {2, 2, 2});
    const Mesh* meshes[] = {&noFaces, &flat};
    for (const Mesh* mesh : meshes) {
        ScatterNode node;
        node.setMesh(*mesh);
        std::vector<Point> points = {{9, 9, 9}};
        cudaStandin::clearLaunchCounts();
        EXPECT_EQ(node.pull(&points), MS::kSuccess);
        EXPECT_TRUE(points.empty());
        EXPECT_FALSE(node.outPointsDirty());
        EXPECT_EQ(cudaStandin::launchCount("generateRandomPoints"), 0);
    }
}

TEST_F(Compute, GridCoversTheMeshWhateverTheBox)
{
    const Mesh mesh = harness::sphere(20, 40, 1.0f, {3.0f, 1.0f, -2.0f});
    const float radius = 0.1f;
    std::vector<Point> unset, enclosing, partial;
    {
        ScatterNode node;
        node.setMesh(mesh);
        node.setRadius(radius);
        ASSERT_EQ(node.pull(&unset), MS::kSuccess);
    }
    {
        ScatterNode node;
        node.setMesh(mesh);
        node.setRadius(radius);
        node.setBox({{2.0f, 0.0f, -3.0f}, {4.0f, 2.0f, -1.0f}});
        ASSERT_EQ(node.pull(&enclosing), MS::kSuccess);
    }
    EXPECT_EQ(harness::sorted(unset), harness::sorted(enclosing)) << "the mesh's own bounds are the default box";
    {
        ScatterNode node;
        node.setMesh(mesh);
        node.setRadius(radius);
        const Box small = {{3.0f, 1.0f, -2.0f}, {3.2f, 1.2f, -1.8f}};
        node.setBox(small);
        ASSERT_EQ(node.pull(&partial), MS::kSuccess);
        expectSelectionInvariants(mesh, radius, partial, &small);
    }
    EXPECT_NEAR(static_cast<double>(partial.size()), static_cast<double>(unset.size()), 0.05 * unset.size());
}

// A scene in centimetres 200 m across and 20 m high at 5 cm spacing: 3.3e10 cells, more than a 32-bit key numbers.
// A wall as high as the scene crosses every layer the grid is decided in, and a patch of ground lies in the lowest.
Mesh wideScene()
{
    Mesh scene;
    scene.points = {{0, 0, 0},          {1, 0, 0},          {0, 0, 1},         {20000, 2000, 20000},
                    {19999, 2000, 20000}, {20000, 2000, 19999}, {10000, 0, 10000}, {10060, 0, 10000},
                    {10060, 2000, 10000}, {10000, 2000, 10000}, {5000, 0, 5000},   {5200, 0, 5000},
                    {5200, 0, 5200},     {5000, 0, 5200}};
    scene.counts = {3, 3, 4, 4};
    scene.connects = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    return scene;
}

TEST_F(Compute, AScenePastThirtyTwoBitKeysIsDecidedLayerByLayer)
{
    const Mesh scene = wideScene();
    for (const bool stable : {false, true}) {
        ScatterSettings controls;
        controls.strictRadius = true;
        controls.stableLayout = stable;
        std::string first;
        std::vector<Point> points;
        for (const int threads : {1, 3}) {
            cudaStandin::setKernelThreads(threads);
            ScatterNode node;
            node.setMesh(scene);
            node.setRadius(5.0f);
            node.setControls(controls);
            MStatus status;
            const std::string bytes = node.pullBytes(&status);
            ASSERT_EQ(status, MS::kSuccess) << "stable " << stable;
            if (first.empty()) {
                first = bytes;
                ASSERT_EQ(node.pull(&points), MS::kSuccess);
            }
            EXPECT_EQ(bytes, first) << "the same record on " << threads << " threads, stable " << stable;
        }
        cudaStandin::setKernelThreads(0);
        EXPECT_EQ(harness::pairsCloserThan(points, 5.0f), 0u) << "strict across the layers' borders, stable " << stable;
        const auto onWall = std::count_if(points.begin(), points.end(), [](const Point& p) { return p[2] == 10000; });
        const auto high = std::count_if(points.begin(), points.end(), [](const Point& p) { return p[1] > 1900; });
        // About one point per 1.3 r^2 of the 60 x 2000 wall and the 200 x 200 patch.
        EXPECT_GT(onWall, 3000) << "stable " << stable;
        EXPECT_GT(high, 100) << "the top layer too, stable " << stable;
        EXPECT_GT(static_cast<long>(points.size()) - onWall, 1000) << "stable " << stable;
    }
}

TEST_F(Compute, BadMeshesAndGridsAreRefusedWithAReport)
{
    {
        Mesh mesh = harness::singleTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
        mesh.points[1][0] = NAN;
        ScatterNode node;
        node.setMesh(mesh);
        CapturedOutput output;
        EXPECT_EQ(node.pull(), MS::kFailure);
        output.finish();
        EXPECT_NE(output.err().find("not finite"), std::string::npos) << output.err();
    }
    {
        ScatterNode node;
        node.setMesh(harness::sphere(10, 20, 2000.0f));
        node.setRadius(0.001f);
        CapturedOutput output;
        EXPECT_EQ(node.pull(), MS::kFailure);
        output.finish();
        EXPECT_NE(output.err().find("radius 0.001"), std::string::npos) << output.err();
        EXPECT_NE(output.err().find("4000"), std::string::npos) << "names the extent: " << output.err();
        EXPECT_TRUE(node.outPointsDirty());
    }
}

}  // namespace
