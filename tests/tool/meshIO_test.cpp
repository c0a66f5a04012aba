#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "builtinSurface.h"
#include "errors.h"
#include "meshIO.h"

using namespace kyscatter;

namespace {

std::string asset(const std::string& name) { return std::string(KYSCATTER_TEST_ASSETS) + "/" + name; }

std::string scratchFile(const std::string& name, const std::string& content)
{
    const auto path =
        std::filesystem::temp_directory_path() / ("kyscatter_meshIO_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

void expectCubeOfEdgeTwo(const Mesh& mesh)
{
    EXPECT_EQ(mesh.vertexCount(), 8u);
    EXPECT_EQ(mesh.triangleCount(), 12u);
    EXPECT_NEAR(surfaceArea(mesh), 24.0, 1e-5);
    const Bounds b = meshBounds(mesh);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(b.min[k], -1.0, 1e-6);
        EXPECT_NEAR(b.max[k], 1.0, 1e-6);
    }
}

std::string failureOf(const std::string& path)
{
    try {
        readMesh(path);
    } catch (const Failure& failure) {
        return failure.what();
    }
    return "no failure";
}

}  // namespace

// Quads must reach the host as quads, not as the importer's triangles.
TEST(MeshFormats, PolygonalFormatsKeepTheirQuads)
{
    for (const char* name : {"cube.obj", "cube.ply", "cube.fbx"}) {
        SCOPED_TRACE(name);
        const Mesh mesh = readMesh(asset(name));
        expectCubeOfEdgeTwo(mesh);
        EXPECT_EQ(mesh.polygonCount(), 6u);
        for (int c : mesh.counts)
            EXPECT_EQ(c, 4);
    }
}

// STL repeats every corner for each triangle; the corners must be merged into one vertex.
TEST(MeshFormats, StlCornersAreJoined)
{
    const Mesh mesh = readMesh(asset("cube.stl"));
    expectCubeOfEdgeTwo(mesh);
    EXPECT_EQ(mesh.polygonCount(), 12u);
}

TEST(MeshFormats, GltfNodesAreMergedWithTheirTransforms)
{
    const Mesh mesh = readMesh(asset("twoCubes.gltf"));
    EXPECT_EQ(mesh.vertexCount(), 16u);
    EXPECT_EQ(mesh.polygonCount(), 24u);
    EXPECT_NEAR(surfaceArea(mesh), 48.0, 1e-5);
    const Bounds b = meshBounds(mesh);
    EXPECT_NEAR(b.min[0], -1.0, 1e-6);
    EXPECT_NEAR(b.max[0], 11.0, 1e-6);
    for (int index : mesh.connects) {
        EXPECT_GE(index, 0);
        EXPECT_LT(index, 16);
    }
}

TEST(MeshFormats, LargeFilesAreAnnouncedAndSmallOnesAreNot)
{
    std::string said;
    readMesh(asset("cube.obj"), [&](const std::string& text) { said = text; });
    EXPECT_EQ(said, "");
    readMesh(asset("cube.obj"), [&](const std::string& text) { said = text; }, 100);
    EXPECT_NE(said.find("reading '" + asset("cube.obj") + "'"), std::string::npos) << said;
}

TEST(MeshErrors, EachNamesTheFileAndTheProblem)
{
    EXPECT_EQ(failureOf("/nonexistent/rock.obj"), "cannot read '/nonexistent/rock.obj': no such file");
    const std::string directory = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(failureOf(directory), "cannot read '" + directory + "': it is a directory");
    EXPECT_EQ(failureOf(asset("lines.obj")), "'" + asset("lines.obj") + "' has no faces");

    const std::string garbage = scratchFile("garbage.ply", "this is not a mesh\n\x01\x02\x03");
    EXPECT_EQ(failureOf(garbage).rfind("cannot read '" + garbage + "': ", 0), 0u) << failureOf(garbage);
    const std::string empty = scratchFile("empty.stl", "");
    EXPECT_EQ(failureOf(empty).rfind("cannot read '" + empty + "': ", 0), 0u) << failureOf(empty);
    const std::string infinite = scratchFile("infinite.obj", "v 0 0 0\nv 1 0 0\nv inf 1 0\nf 1 2 3\n");
    EXPECT_NE(failureOf(infinite).find("not a finite number"), std::string::npos) << failureOf(infinite);
    for (const std::string& path : {garbage, empty, infinite})
        std::filesystem::remove(path);
}

TEST(BuiltinSurface, IsAClosedQuadMeshOfTheAdvertisedSize)
{
    const Mesh mesh = builtinSurface();
    EXPECT_GE(mesh.triangleCount(), 50000u);
    EXPECT_LE(mesh.triangleCount(), 200000u);
    // A closed quad mesh: every vertex used by exactly four quads.
    std::vector<int> uses(mesh.vertexCount(), 0);
    for (int v : mesh.connects)
        ++uses[v];
    for (int u : uses)
        ASSERT_EQ(u, 4);
    // A tube of radius 0.45 around a curve of length L = 31.90 has area 2 pi 0.45 L.
    EXPECT_NEAR(surfaceArea(mesh), 2 * 3.14159265 * 0.45 * 31.90, 0.5);
    // Wound outwards: the signed volume, a sixth of a . (b x c) over the triangles, is the tube's, pi 0.45^2 L,
    // where inward winding would give its negative.
    const std::vector<int> triangles = fanTriangles(mesh);
    double volume = 0;
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        const Point a = mesh.vertex(triangles[t]), b = mesh.vertex(triangles[t + 1]), c = mesh.vertex(triangles[t + 2]);
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) / 6;
    }
    EXPECT_NEAR(volume, 3.14159265 * 0.45 * 0.45 * 31.90, 0.3);
}
