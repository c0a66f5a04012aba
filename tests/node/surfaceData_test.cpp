// The surface data of the output record: per point its normal, rotation, aim direction, id, polygon and weights.
#include <gtest/gtest.h>

#include <maya/MDoubleArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MStringArray.h>
#include <maya/MVectorArray.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "geometry/surfaceGeometry.h"
#include "scatter/surfaceData.h"
#include "support/pluginTest.h"

using harness::ball;
using harness::CapturedOutput;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;

namespace {

class SurfaceData : public harness::PluginTest {};

struct Record {
    std::vector<std::string> channels;
    MVectorArray position, normal, rotation, aimDirection, barycentric, triangleVertices;
    MDoubleArray id, faceId;
};

Record pull(const Mesh& mesh, float radius, bool surfaceData, int seed = kDefaultSeed, bool stableLayout = false)
{
    ScatterNode node;
    node.setMesh(mesh);
    node.setRadius(radius);
    ScatterSettings settings = harness::settingsOf(radius);
    settings.surfaceData = surfaceData;
    settings.seed = seed;
    settings.stableLayout = stableLayout;
    node.setControls(settings);
    MObject data;
    EXPECT_EQ(node.plug("outPoints").getValue(data), MS::kSuccess);
    MFnArrayAttrsData fn(data);
    Record record;
    const MStringArray names = fn.list();
    for (unsigned int i = 0; i < names.length(); ++i)
        record.channels.push_back(names[i].asChar());
    record.position = fn.getVectorData("position");
    if (surfaceData) {
        record.normal = fn.getVectorData("normal");
        record.rotation = fn.getVectorData("rotation");
        record.aimDirection = fn.getVectorData("aimDirection");
        record.barycentric = fn.getVectorData("barycentric");
        record.triangleVertices = fn.getVectorData("triangleVertices");
        record.id = fn.getDoubleData("id");
        record.faceId = fn.getDoubleData("faceId");
    }
    return record;
}

using Vec = std::array<double, 3>;

Vec vec(const MVector& v)
{
    return {v.x, v.y, v.z};
}

Vec operator-(const Vec& a, const Vec& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double dot(const Vec& a, const Vec& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double length(const Vec& a)
{
    return std::sqrt(dot(a, a));
}

// Corner k of the polygon whose vertices start at `start` in the connects.
Vec corner(const Mesh& mesh, int start, int k)
{
    const Point& p = mesh.points[mesh.connects[start + k]];
    return {p[0], p[1], p[2]};
}

int polygonStart(const Mesh& mesh, int face)
{
    int start = 0;
    for (int f = 0; f < face; ++f)
        start += mesh.counts[f];
    return start;
}

// The fan triangle of polygon `face` whose corners, weighted, give the point; -1 when none does.
int fanTriangleHolding(const Mesh& mesh, int face, const Vec& point, const Vec& w)
{
    const int start = polygonStart(mesh, face);
    for (int k = 1; k + 1 < mesh.counts[face]; ++k) {
        const Vec a = corner(mesh, start, 0), b = corner(mesh, start, k), c = corner(mesh, start, k + 1);
        const Vec made = {w[0] * a[0] + w[1] * b[0] + w[2] * c[0], w[0] * a[1] + w[1] * b[1] + w[2] * c[1],
                          w[0] * a[2] + w[1] * b[2] + w[2] * c[2]};
        if (length(made - point) < 1e-5)
            return k;
    }
    return -1;
}

// Maya's rotation order XYZ: about X first, then Y, then Z, about the fixed axes.
Vec rotated(const Vec& v, const Vec& degrees)
{
    const double toRadians = 3.14159265358979323846 / 180.0;
    const double ax = degrees[0] * toRadians, ay = degrees[1] * toRadians, az = degrees[2] * toRadians;
    Vec r = {v[0], v[1] * std::cos(ax) - v[2] * std::sin(ax), v[1] * std::sin(ax) + v[2] * std::cos(ax)};
    r = {r[0] * std::cos(ay) + r[2] * std::sin(ay), r[1], -r[0] * std::sin(ay) + r[2] * std::cos(ay)};
    return {r[0] * std::cos(az) - r[1] * std::sin(az), r[0] * std::sin(az) + r[1] * std::cos(az), r[2]};
}

TEST_F(SurfaceData, OffKeepsTheRecordToItsPositions)
{
    const Record off = pull(ball(), 0.2f, false);
    EXPECT_EQ(off.channels, std::vector<std::string>{"position"});
    const Record on = pull(ball(), 0.2f, true);
    std::vector<Vec> withData, without;
    for (unsigned int i = 0; i < on.position.length(); ++i)
        withData.push_back(vec(on.position[i]));
    for (unsigned int i = 0; i < off.position.length(); ++i)
        without.push_back(vec(off.position[i]));
    std::sort(withData.begin(), withData.end());
    std::sort(without.begin(), without.end());
    EXPECT_EQ(withData, without) << "the same points";
}

// In either layout: the stable one places some points at later draws of their strata, with their own weights.
class SurfaceDataOfLayout : public SurfaceData, public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(Layouts, SurfaceDataOfLayout, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& layout) { return layout.param ? "Stable" : "Global"; });

TEST_P(SurfaceDataOfLayout, EveryPointKnowsWhatItLiesOn)
{
    const Mesh& mesh = ball();  // quads between triangle fans at the poles
    const Record r = pull(mesh, 0.2f, true, kDefaultSeed, GetParam());
    const std::set<std::string> channels(r.channels.begin(), r.channels.end());
    EXPECT_EQ(channels, (std::set<std::string>{"position", "normal", "rotation", "aimDirection", "id", "faceId",
                                               "barycentric", "triangleVertices"}));
    const unsigned int n = r.position.length();
    ASSERT_GT(n, 100u);
    for (const unsigned int length : {r.normal.length(), r.rotation.length(), r.aimDirection.length(),
                                      r.barycentric.length(), r.triangleVertices.length(), r.id.length(),
                                      r.faceId.length()})
        ASSERT_EQ(length, n);
    std::set<double> ids;
    std::set<int> faces;
    for (unsigned int i = 0; i < n; ++i) {
        const Vec p = vec(r.position[i]);
        const Vec normal = vec(r.normal[i]);
        ASSERT_NEAR(length(normal), 1.0, 1e-9);
        ASSERT_GT(dot(normal, p), 0.0) << "outward from the centre";
        ASSERT_TRUE(r.aimDirection[i] == r.normal[i]);
        ASSERT_LT(length(rotated({0, 1, 0}, vec(r.rotation[i])) - normal), 1e-9) << "+Y turned onto the normal";
        ASSERT_EQ(r.rotation[i].y, 0.0) << "no twist";

        const int face = static_cast<int>(r.faceId[i]);
        ASSERT_EQ(face, r.faceId[i]);
        ASSERT_TRUE(face >= 0 && face < static_cast<int>(mesh.counts.size()));
        const Vec w = vec(r.barycentric[i]);
        ASSERT_NEAR(w[0] + w[1] + w[2], 1.0, 1e-6);
        ASSERT_TRUE(w[0] >= -1e-6 && w[1] >= -1e-6 && w[2] >= -1e-6);
        const int k = fanTriangleHolding(mesh, face, p, w);
        ASSERT_GE(k, 1) << "the point is its weights of a triangle of its polygon";
        const int start = polygonStart(mesh, face);
        const Vec vertices = {static_cast<double>(mesh.connects[start]), static_cast<double>(mesh.connects[start + k]),
                              static_cast<double>(mesh.connects[start + k + 1])};
        ASSERT_EQ(vec(r.triangleVertices[i]), vertices) << "the corners' vertices, in the triangle's order";
        const Vec a = corner(mesh, start, 0), b = corner(mesh, start, k), c = corner(mesh, start, k + 1);
        ASSERT_NEAR(dot(normal, b - a) / length(b - a), 0.0, 1e-6);
        ASSERT_NEAR(dot(normal, c - a) / length(c - a), 0.0, 1e-6);
        ids.insert(r.id[i]);
        faces.insert(face);
    }
    EXPECT_EQ(ids.size(), n) << "ids are distinct within a record";
    EXPECT_GT(faces.size(), 100u);
    const int poleTriangles = 80;  // the first polygons of the ball are the triangles round its top
    EXPECT_TRUE(*faces.begin() < poleTriangles && *faces.rbegin() >= poleTriangles) << "triangles and quads alike";
}

TEST_F(SurfaceData, IdsStayWithTheirPointsForTheSameInputs)
{
    const Record first = pull(ball(), 0.3f, true);
    const Record again = pull(ball(), 0.3f, true);
    ASSERT_EQ(first.position.length(), again.position.length());
    std::vector<std::pair<double, std::vector<double>>> a, b;
    for (unsigned int i = 0; i < first.position.length(); ++i) {
        a.push_back({first.id[i], {first.position[i].x, first.position[i].y, first.position[i].z}});
        b.push_back({again.id[i], {again.position[i].x, again.position[i].y, again.position[i].z}});
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    const Record otherSeed = pull(ball(), 0.3f, true, 7);
    EXPECT_NE(otherSeed.id[0] + otherSeed.id[1], first.id[0] + first.id[1]);
}

TEST(Rotation, TurnsPlusYOntoAnyNormal)
{
    const double normals[][3] = {{0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1},
                                 {0.48, 0.6, -0.64}, {-0.6, -0.48, 0.64}};
    for (const auto& n : normals) {
        double degrees[3];
        rotationOntoNormal(n, degrees);
        const Vec turned = rotated({0, 1, 0}, {degrees[0], degrees[1], degrees[2]});
        EXPECT_LT(length(turned - Vec{n[0], n[1], n[2]}), 1e-12) << n[0] << " " << n[1] << " " << n[2];
        EXPECT_EQ(degrees[1], 0.0);
    }
}

// A flat triangle has no normal: its points stand upright instead of carrying NaN to an instancer.
TEST(SurfaceOfSamples, FlatTrianglesStandTheirPointsUpright)
{
    ScatterMesh mesh;
    mesh.points = {0, 0, 0, 1, 0, 0, 0, 0, 1, 2, 0, 0};
    mesh.triangleVertices = {0, 2, 1, 0, 1, 3};  // a right triangle facing +Y, then one along the X axis
    SampleSurface samples;
    samples.ids = {10, 11};
    samples.triId = {0, 1};
    samples.u = {0.25f, 0.5f};
    samples.v = {0.25f, 0.25f};
    ::SurfaceData surface;  // the fixture of this file has the same name
    describeSurface(mesh, samples, surface);
    for (int i = 0; i < 2; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(surface.normals[3 * i + axis], axis == 1 ? 1.0 : 0.0) << "sample " << i;
            EXPECT_EQ(surface.rotations[3 * i + axis], 0.0) << "sample " << i;
        }
    }
    EXPECT_EQ(surface.triangleVertices, mesh.triangleVertices) << "each sample's corners, in its triangle's order";
}

// The compute's own callers may hand it any arrays; a polygon table that does not fit the triangles is refused.
TEST(SurfaceOfSamples, APolygonTableOfAnotherMeshIsRefused)
{
    ScatterMesh mesh = harness::scatterMeshOf(ball());
    mesh.trianglePolygons.assign(mesh.triangleVertices.size() / 3 - 1, 0);
    ScatterSettings settings = harness::settingsOf(0.3f);
    settings.surfaceData = true;
    ScatterResult result;
    CapturedOutput output;
    const ScatterStatus status = scatterPoints(mesh, settings, result);
    output.finish();
    EXPECT_EQ(status, ScatterStatus::failed);
    EXPECT_NE(output.err().find("names the polygons of"), std::string::npos) << output.err();
    EXPECT_EQ(result.pointCount(), 0u);
}

}  // namespace
