// Inputs a scene can hand the scatter node: each ends in a sound point set or in a report and a failing status,
// never in a crash or a hang.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/pointSetChecks.h"
#include "fuzz/scatterCase.h"
#include "support/pluginTest.h"

using harness::Box;
using harness::CapturedOutput;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;

namespace {

class BadInput : public harness::PluginTest {};

const Box kUnset = {{0, 0, 0}, {0, 0, 0}};

struct Outcome {
    MStatus status;
    std::vector<Point> points;
    std::string err;
    bool dirty;
};

// Computes once with the node's earlier result in place, so that a refusal can be seen to keep it.
Outcome scatter(const Mesh& mesh, float radius, const Box& box = kUnset)
{
    ScatterNode node;
    node.setMesh(harness::sphere(6, 8, 1.0f));
    node.setRadius(0.5f);
    std::vector<Point> before;
    EXPECT_EQ(node.pull(&before), MS::kSuccess);

    node.setMesh(mesh);
    node.setRadius(radius);
    node.setBox(box);
    Outcome outcome;
    {
        CapturedOutput output;
        outcome.status = node.pull(&outcome.points);
        output.finish();
        outcome.err = output.err();
    }
    outcome.dirty = node.outPointsDirty();
    if (outcome.status != MS::kSuccess) {
        EXPECT_TRUE(outcome.dirty) << "a refused compute leaves the plug dirty";
        EXPECT_EQ(harness::sorted(outcome.points), harness::sorted(before)) << "and its previous value";
    }
    return outcome;
}

void expectSoundPoints(const Outcome& outcome, const Mesh& mesh, float radius, const Box& box = kUnset)
{
    ASSERT_EQ(outcome.status, MS::kSuccess) << outcome.err;
    EXPECT_FALSE(outcome.dirty);
    EXPECT_EQ(pointChecks::brokenPromise(mesh, radius, &box, outcome.points), "");
}

void expectRefused(const Outcome& outcome, const std::string& words)
{
    EXPECT_EQ(outcome.status, MS::kFailure);
    EXPECT_NE(outcome.err.find(words), std::string::npos) << "the report names the problem: " << outcome.err;
}

Mesh twoTriangles()
{
    Mesh mesh;
    mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0.5f, 1}};
    mesh.counts = {3, 3};
    mesh.connects = {0, 1, 2, 0, 2, 3};
    return mesh;
}

// ------------------------------------------------------------------------------------------------ meshes

TEST_F(BadInput, MeshesWithoutSurfaceGiveAnEmptySet)
{
    Mesh noFaces;
    noFaces.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}};
    Mesh degenerate;  // a line, a repeated corner, a point
    degenerate.points = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 0, 0}, {4, 4, 4}};
    degenerate.counts = {3, 3, 3};
    degenerate.connects = {0, 1, 2, 3, 3, 0, 4, 4, 4};
    for (const Mesh* mesh : {&noFaces, &degenerate}) {
        const Outcome outcome = scatter(*mesh, 0.1f);
        EXPECT_EQ(outcome.status, MS::kSuccess) << outcome.err;
        EXPECT_TRUE(outcome.points.empty());
        EXPECT_FALSE(outcome.dirty);
    }
}

TEST_F(BadInput, MissingOrEmptyMeshIsReported)
{
    ScatterNode node;
    CapturedOutput output;
    EXPECT_NE(node.pull(), MS::kSuccess) << "nothing connected to inMesh";
    output.finish();
    EXPECT_EQ(output.err().rfind("ERROR MFnMesh\n", 0), 0u) << output.err();
    EXPECT_TRUE(node.outPointsDirty());
}

TEST_F(BadInput, UnusedVerticesChangeNothing)
{
    const Mesh used = twoTriangles();
    Mesh withStrays = used;
    withStrays.points.push_back({1e30f, -1e30f, 1e30f});
    withStrays.points.push_back({-7, 3, 2});
    const Outcome plain = scatter(used, 0.05f);
    const Outcome strays = scatter(withStrays, 0.05f);
    expectSoundPoints(strays, withStrays, 0.05f);
    EXPECT_EQ(harness::sorted(strays.points), harness::sorted(plain.points)) << "the grid follows the faces only";
}

TEST_F(BadInput, PolygonOfManySidesIsCoveredWhole)
{
    Mesh disk;
    const int sides = 2000;
    for (int i = 0; i < sides; ++i) {
        const double angle = 2 * 3.14159265358979 * i / sides;
        disk.points.push_back({static_cast<float>(std::cos(angle)), 0.0f, static_cast<float>(std::sin(angle))});
    }
    disk.counts = {sides};
    for (int i = 0; i < sides; ++i)
        disk.connects.push_back(i);
    const Outcome outcome = scatter(disk, 0.05f);
    expectSoundPoints(outcome, disk, 0.05f);
    // A Poisson-disk-like set of radius r covers the disk with about one point per r x r.
    EXPECT_GT(outcome.points.size(), 600u);
}

TEST_F(BadInput, NonFiniteVerticesAreRefused)
{
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        Mesh mesh = twoTriangles();
        mesh.points[2][1] = bad;
        expectRefused(scatter(mesh, 0.1f), "not finite");
        Mesh unused = twoTriangles();
        unused.points.push_back({0, bad, 0});
        expectRefused(scatter(unused, 0.1f), "not finite");
    }
}

TEST_F(BadInput, CoordinatesAtTheEndsOfTheFloatRange)
{
    // An area beyond the float range cannot be sampled by area.
    Mesh vast = twoTriangles();
    for (Point& p : vast.points)
        for (float& c : p)
            c *= 1e25f;
    expectRefused(scatter(vast, 1e24f), "area");
    // A speck far below the smallest radius still holds one point.
    Mesh speck = twoTriangles();
    for (Point& p : speck.points)
        for (float& c : p)
            c *= 1e-8f;
    const Outcome outcome = scatter(speck, 0.001f);
    expectSoundPoints(outcome, speck, 0.001f);
    EXPECT_EQ(outcome.points.size(), 1u);
}

// ------------------------------------------------------------------------------------------------ radius

TEST_F(BadInput, RadiusAtItsMinimumAndBelow)
{
    const Mesh small = harness::sphere(10, 16, 0.05f);
    const Outcome atMinimum = scatter(small, 0.001f);
    expectSoundPoints(atMinimum, small, 0.001f);
    EXPECT_GT(atMinimum.points.size(), 1000u);
    for (float below : {0.0f, -1.0f, -INFINITY}) {
        const Outcome clamped = scatter(small, below);
        ASSERT_EQ(clamped.status, MS::kSuccess) << "the attribute's minimum applies";
        EXPECT_EQ(harness::sorted(clamped.points), harness::sorted(atMinimum.points));
    }
    // The same radius over a larger surface needs more cells than a 32-bit key can number.
    expectRefused(scatter(harness::sphere(10, 16, 100.0f), 0.001f), "radius 0.001");
}

TEST_F(BadInput, HugeRadiusGivesOnePoint)
{
    const Mesh ball = harness::sphere(10, 16, 3.0f);
    for (float huge : {1e6f, 1e30f, FLT_MAX}) {
        const Outcome outcome = scatter(ball, huge);
        expectSoundPoints(outcome, ball, huge);
        EXPECT_EQ(outcome.points.size(), 1u) << huge;
    }
}

TEST_F(BadInput, NonFiniteRadiusIsRefused)
{
    // The data block delivers what was set: no maximum holds back infinity, and NaN passes every limit.
    expectRefused(scatter(twoTriangles(), INFINITY), "radius inf");
    expectRefused(scatter(twoTriangles(), NAN), "radius nan");
}

// ------------------------------------------------------------------------------------------------ box

TEST_F(BadInput, BoxInsideOutIsWidenedToTheMesh)
{
    const Mesh ball = harness::sphere(12, 24, 2.0f);
    const Box insideOut = {{1, 1, 1}, {-1, -1, -1}};
    const Outcome unset = scatter(ball, 0.2f);
    const Outcome outcome = scatter(ball, 0.2f, insideOut);
    expectSoundPoints(outcome, ball, 0.2f, insideOut);
    EXPECT_EQ(harness::sorted(outcome.points), harness::sorted(unset.points)) << "the mesh's bounds decide";
}

TEST_F(BadInput, NonFiniteBoxIsRefused)
{
    const Mesh ball = harness::sphere(8, 12, 1.0f);
    expectRefused(scatter(ball, 0.2f, {{NAN, 0, 0}, {1, 1, 1}}), "bounding box");
    expectRefused(scatter(ball, 0.2f, {{0, 0, 0}, {1, 1, INFINITY}}), "bounding box");
    expectRefused(scatter(ball, 0.2f, {{0, -INFINITY, 0}, {1, 1, 1}}), "bounding box");
    // The Y maximum is never read: Y is the key's slowest axis.
    const Box unreadNaN = {{-2, -2, -2}, {2, NAN, 2}};
    expectSoundPoints(scatter(ball, 0.2f, unreadNaN), ball, 0.2f, unreadNaN);
}

TEST_F(BadInput, BoxFarFromTheMesh)
{
    const Mesh ball = harness::sphere(12, 24, 1.0f);
    const Box far = {{1000, 1000, 1000}, {1001, 1001, 1001}};
    // Widened to take in the mesh, the grid spans a thousand units: coarse enough it works in one piece...
    const Outcome coarse = scatter(ball, 5.0f, far);
    expectSoundPoints(coarse, ball, 5.0f, far);
    EXPECT_GE(coarse.points.size(), 1u);
    // ...finer than one 32-bit key numbers, and it is decided layer by layer, with the same promises...
    const Outcome layered = scatter(ball, 0.1f, far);
    expectSoundPoints(layered, ball, 0.1f, far);
    EXPECT_GT(layered.points.size(), 500u);
    // ...and too fine for even a layer of three cell rows: refused with the extent named.
    const Box farther = {{1e6f, 1e6f, 1e6f}, {1e6f + 1, 1e6f + 1, 1e6f + 1}};
    expectRefused(scatter(ball, 0.1f, farther), "radius 0.1");
}

// ------------------------------------------------------------------------------------------------ fuzzing

// The fuzzer's seeds and every input it ever failed on, replayed on each run of the suite.
TEST_F(BadInput, FuzzerSeedsAndFindingsKeepThePromises)
{
    int replayed = 0;
    for (const char* folder : {"corpus", "regressions"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(KY_FUZZ_DIR) + "/" + folder)) {
            std::ifstream file(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            const scatterCase::Inputs inputs = scatterCase::decode(bytes.data(), bytes.size());
            std::string problem;
            {
                CapturedOutput quiet;
                problem = scatterCase::run(inputs);
            }
            EXPECT_EQ(problem, "") << entry.path() << ": " << scatterCase::describe(inputs);
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 10);
}

// The surface check decides what the fuzzer calls a fault: it must measure true distances, slivers included.
TEST(PointChecks, DistanceToTriangleHoldsOnSlivers)
{
    using pointChecks::distanceToTriangle;
    const Point a = {0, 0, 0}, b = {1.0000025f, 0, 0}, c = {-24576, 1, 0};
    // Across the sliver halfway up: inside it, then a unit above it.
    const float y = 0.5f, left = -12288.0f, right = 1.0000025f - 24577.0000025f * 0.5f;
    EXPECT_LT(distanceToTriangle({(left + right) / 2, y, 0}, a, b, c), 1e-3);
    EXPECT_NEAR(distanceToTriangle({(left + right) / 2, y, 1}, a, b, c), 1.0, 1e-3);
    // Beyond a corner and beside an edge of an ordinary triangle.
    const Point p = {0, 0, 0}, q = {2, 0, 0}, r = {0, 2, 0};
    EXPECT_NEAR(distanceToTriangle({-3, -4, 0}, p, q, r), 5.0, 1e-12);
    EXPECT_NEAR(distanceToTriangle({1, -2, 2}, p, q, r), std::sqrt(8.0), 1e-12);
    EXPECT_NEAR(distanceToTriangle({0.5f, 0.5f, -0.25f}, p, q, r), 0.25, 1e-12);
}

// ------------------------------------------------------------------------------------------------ size

long peakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// 5,000,000 triangles: one compute, with memory in proportion to the mesh and every point on its own quad.
TEST_F(BadInput, FiveMillionTriangles)
{
    const int side = 1581;  // 1581 x 1581 quads, two triangles each
    const float size = 100.0f;
    Mesh mesh = harness::grid(side, side, size);
    ASSERT_GE(mesh.triangleCount(), 4999000);
    const float radius = 0.5f;
    ScatterNode node;
    node.setMesh(mesh);
    node.setRadius(radius);
    resetPeakResident();
    const long residentBefore = peakResidentKiB();
    cudaStandin::resetPeakBytesInUse();
    const auto start = std::chrono::steady_clock::now();
    std::vector<Point> points;
    ASSERT_EQ(node.pull(&points), MS::kSuccess);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long residentGrowthKiB = peakResidentKiB() - residentBefore;
    const size_t devicePeak = cudaStandin::devicePeakBytesInUse() - baseline_;
    RecordProperty("seconds", std::to_string(seconds));
    RecordProperty("residentGrowthKiB", static_cast<int>(residentGrowthKiB));
    RecordProperty("devicePeakKiB", static_cast<int>(devicePeak >> 10));
    printf("5M triangles: %zu points in %.2f s; peak resident growth %ld KiB, device peak %zu KiB\n", points.size(),
           seconds, residentGrowthKiB, devicePeak >> 10);

    // The device holds the mesh arrays (12 bytes a vertex, 12 a triangle's indices, 12 its area entries) and the
    // candidates' 32,000,000 bytes, never all the tables at once on top.
    const size_t meshBytes = 12 * mesh.points.size() + 24 * static_cast<size_t>(mesh.triangleCount());
    EXPECT_LE(devicePeak, meshBytes + 64000000u);
    if (!harness::kAddressSanitizer) {
        EXPECT_LT(residentGrowthKiB, 1L << 20) << "under 1 GiB for a mesh of some 200 MB";
    }

    // Every point on the quad under it, and the selection's promises on the grid of cells.
    const float step = size / side;
    for (const Point& p : points) {
        const int i = std::min(side - 1, std::max(0, static_cast<int>((p[0] + size / 2) / step)));
        const int j = std::min(side - 1, std::max(0, static_cast<int>((p[2] + size / 2) / step)));
        double nearest = INFINITY;
        for (int qi = std::max(0, i - 1); qi <= std::min(side - 1, i + 1); ++qi)
            for (int qj = std::max(0, j - 1); qj <= std::min(side - 1, j + 1); ++qj) {
                const int a = qj * (side + 1) + qi;
                const Point& p0 = mesh.points[a];
                const Point& p1 = mesh.points[a + 1];
                const Point& p2 = mesh.points[a + side + 2];
                const Point& p3 = mesh.points[a + side + 1];
                nearest = std::min({nearest, pointChecks::distanceToTriangle(p, p0, p1, p2),
                                    pointChecks::distanceToTriangle(p, p0, p2, p3)});
            }
        ASSERT_LT(nearest, 1e-4) << p[0] << ", " << p[1] << ", " << p[2];
    }
    EXPECT_EQ(pointChecks::brokenPromise(mesh, radius, nullptr, points, false), "");
    EXPECT_GT(points.size(), 10000u);
}

}  // namespace
