#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

// Every triangle's normal, by its winding, unnormalised.
std::vector<Point> triangleNormals(const Mesh& mesh)
{
    std::vector<Point> normals;
    const std::vector<int> triangles = fanTriangles(mesh);
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const Point a = mesh.vertex(triangles[t]), b = mesh.vertex(triangles[t + 1]), c = mesh.vertex(triangles[t + 2]);
        const Point u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        normals.push_back({u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]});
    }
    return normals;
}

// A value in the byte order a binary PLY names.
template <typename T>
void put(std::string& out, T value, bool bigEndian)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if (bigEndian)
        std::reverse(bytes, bytes + sizeof(T));
    out.append(bytes, sizeof(T));
}

// strips.ply's ladder as a binary PLY with a grey vertex colour, in either byte order; heldStrips of its declared
// strips are written.
std::string binaryLadder(bool bigEndian, int heldStrips = 2)
{
    std::string out = std::string("ply\nformat ") + (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\nelement vertex 6\nproperty double x\nproperty float y\nproperty float z\n"
                      "property uchar red\nproperty uchar green\nproperty uchar blue\n"
                      "element tristrips 2\nproperty list uchar int vertex_indices\nend_header\n";
    const float corners[6][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}};
    for (const auto& c : corners) {
        put<double>(out, c[0], bigEndian);
        put<float>(out, c[1], bigEndian);
        put<float>(out, 0.0f, bigEndian);
        for (int k = 0; k < 3; ++k)
            put<std::uint8_t>(out, 51, bigEndian);
    }
    const std::vector<std::vector<int>> strips = {{0, 1, 2, 3, -1, 2, 3, 4, 5}, {0, 0, 1}};
    for (int s = 0; s < heldStrips; ++s) {
        put<std::uint8_t>(out, static_cast<std::uint8_t>(strips[s].size()), bigEndian);
        for (int index : strips[s])
            put<std::int32_t>(out, index, bigEndian);
    }
    return out;
}

void expectLadder(const Mesh& mesh)
{
    EXPECT_EQ(mesh.vertexCount(), 6u);
    EXPECT_EQ(mesh.polygonCount(), 4u);
    EXPECT_NEAR(surfaceArea(mesh), 2.0, 1e-6);
    for (const Point& n : triangleNormals(mesh))
        EXPECT_LT(n[2], 0.0) << "a strip's triangle turned over";
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

// The importer skips a PLY's triangle strips; they are read here, each run in its winding, -1 restarting a run, and
// triangles with a repeated vertex left out.
TEST(MeshPly, TriangleStripsAreReadInEveryEncoding)
{
    expectLadder(readMesh(asset("strips.ply")));
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
        const std::string path = scratchFile("ladder.ply", binaryLadder(bigEndian));
        const Mesh mesh = readMesh(path, {}, kLargeMeshFileBytes, MeshExtras::vertexColors);
        expectLadder(mesh);
        ASSERT_EQ(mesh.cornerColors.size(), mesh.connects.size());
        EXPECT_FLOAT_EQ(mesh.cornerColors[0][0], 0.2f);
        EXPECT_FLOAT_EQ(mesh.cornerColors[0][3], 1.0f);
        std::filesystem::remove(path);
    }
    // Strips carry no UVs the reader takes: a density texture on them is refused, not weighed at nothing.
    EXPECT_THROW(
        {
            try {
                readMesh(asset("strips.ply"), {}, kLargeMeshFileBytes, MeshExtras::textureCoordinates);
            } catch (const Failure& failure) {
                EXPECT_NE(std::string(failure.what()).find("stores triangle strips"), std::string::npos);
                throw;
            }
        },
        Failure);
}

// A file that holds less than its header declares is refused with both counts, never read in part.
TEST(MeshPly, FilesHoldingLessThanDeclaredAreRefused)
{
    EXPECT_EQ(failureOf(asset("cubeShort.ply")),
              "'" + asset("cubeShort.ply") + "' declares 6 faces but holds 4 that can be read");
    const std::string cut = scratchFile("cut.ply", binaryLadder(false, 1));
    EXPECT_EQ(failureOf(cut), "'" + cut + "' declares 2 triangle strips but holds 1 that can be read");
    const std::string noVertices = scratchFile(
        "noVertices.ply", "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
                          "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
                          "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    EXPECT_EQ(failureOf(noVertices), "'" + noVertices + "' declares 5 vertices but holds 4 that can be read");
    // The importer keeps only the last of two face elements.
    const std::string twoFaceElements =
        scratchFile("twoFaceElements.ply",
                    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                    "element face 1\nproperty list uchar int vertex_indices\nelement face 1\n"
                    "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 2 1 0\n");
    EXPECT_EQ(failureOf(twoFaceElements),
              "'" + twoFaceElements + "' declares 3 vertices and 2 faces, but the importer read 3 vertices and 1 face");
    for (const std::string& path : {cut, noVertices, twoFaceElements})
        std::filesystem::remove(path);
}

TEST(MeshPly, BadHeadersAndIndicesAreRefused)
{
    const std::string head = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                             "property float z\n";
    const std::string points = "0 0 0\n1 0 0\n0 1 0\n";
    struct Case {
        std::string content;
        std::string problem;
    };
    const std::vector<Case> cases{
        {head + "element tristrips 1\nproperty list int int vertex_indices\nend_header\n" + points + "3 0 1 7\n",
         "has a face with a vertex index out of range (it has 3 vertices)"},
        {head + "element face 1\nproperty list uchar int vertex_indices\n", "has a PLY header without end_header"},
        {head + "property half w\nend_header\n", "has a PLY property of unknown type 'half'"},
        {"ply\nformat binary_middle_endian 1.0\nend_header\n", "has an unknown PLY format 'binary_middle_endian'"},
        {head + "end_header\n" + points, "has no faces"},
        {head + "element face many\nend_header\n", "has a PLY header line that cannot be read: 'element face many'"},
        {head + "element tristrips 1\nproperty list int int corners\nend_header\n" + points + "3 0 1 2\n",
         "has triangle strips without vertex indices"},
    };
    for (const Case& c : cases) {
        const std::string path = scratchFile("bad.ply", c.content);
        EXPECT_EQ(failureOf(path), "'" + path + "' " + c.problem);
        std::filesystem::remove(path);
    }
}
