// The tool end to end: the built binary, the plug-in it loads, and the files it writes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#include <cudaStandinControls.h>
#include <maya/MFnNumericAttribute.h>
#include <mayaStandin/host.h>

#include "camera.h"
#include "errors.h"
#include "imageWriter.h"
#include "meshIO.h"
#include "scatter/controls.h"
#include "scatter/pointCount.h"
#include "scatterRun.h"
#include "support/testImages.h"

using namespace kyscatter;
namespace fs = std::filesystem;

namespace {

// What the plug-in says on standard output in a run that computes: its greeting as it loads, then the road it
// computes on (the CPU here: no GPU road is built beside this plug-in).
bool onlyThePluginSpeaks(const std::string& out)
{
    static const std::regex greetings("kyScatterPoints initialized\n"
                                      "kyScatterPoints: no usable CUDA device \\(.*\\); computing on the CPU with [0-9]+ "
                                      "threads?\n");
    return std::regex_match(out, greetings);
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string asset(const std::string& name) { return std::string(KYSCATTER_TEST_ASSETS) + "/" + name; }

fs::path scratchDir()
{
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("kyscatter_test_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string scratch(const std::string& name) { return (scratchDir() / name).string(); }

class RemoveScratch : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(scratchDir(), ec);
    }
};
::testing::Environment* const removeScratch = ::testing::AddGlobalTestEnvironment(new RemoveScratch);

std::string slurp(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// plane.obj's nine vertices, moved up by one, with other faces; written to the scratch folder.
std::string planeAs(const std::string& name, const std::string& faces)
{
    std::ofstream file(scratch(name));
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x)
            file << "v " << x << " " << y << " 1\n";
    file << faces;
    return scratch(name);
}

ToolRun runTool(const std::vector<std::string>& args)
{
    std::string command = "'" KYSCATTER_BINARY "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    const std::string out = scratch("stdout.txt"), err = scratch("stderr.txt");
    command += " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

// The number on the summary's "name: value" line.
double summaryValue(const std::string& out, const std::string& name)
{
    std::smatch match;
    if (!std::regex_search(out, match, std::regex("(^|\n)" + name + ": ([-0-9.e+]+)")))
        return std::nan("");
    return std::stod(match[2]);
}

struct PointFile {
    std::vector<Point> points;
    std::vector<Point> normals;  // empty in a file without them
};

PointFile readPlyFile(std::ifstream& file)
{
    std::size_t count = 0, properties = 0;
    std::string line;
    while (std::getline(file, line) && line != "end_header") {
        if (line.rfind("element vertex ", 0) == 0)
            count = std::stoul(line.substr(15));
        properties += line.rfind("property float ", 0) == 0;
    }
    std::vector<float> values(properties * count);
    file.read(reinterpret_cast<char*>(values.data()), static_cast<std::streamsize>(values.size() * 4));
    PointFile read;
    for (std::size_t i = 0; i < count; ++i) {
        const float* v = &values[properties * i];
        read.points.push_back({v[0], v[1], v[2]});
        if (properties == 6)
            read.normals.push_back({v[3], v[4], v[5]});
    }
    return read;
}

// PLY (x y z, and nx ny nz if there), XYZ (three or six columns) or OBJ (v, and vn lines if there).
PointFile readPointsAndNormals(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (path.size() > 4 && path.substr(path.size() - 4) == ".ply")
        return readPlyFile(file);
    PointFile read;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const bool normal = line.rfind("vn ", 0) == 0;
        std::istringstream values(line[0] == 'v' ? line.substr(normal ? 3 : 2) : line);
        Point p, n;
        values >> p[0] >> p[1] >> p[2];
        (normal ? read.normals : read.points).push_back(p);
        if (values >> n[0] >> n[1] >> n[2])
            read.normals.push_back(n);
    }
    return read;
}

std::vector<Point> readPointFile(const std::string& path)
{
    PointFile read = readPointsAndNormals(path);
    EXPECT_TRUE(read.normals.empty()) << path << " has normals unasked";
    return std::move(read.points);
}

// The summary's "count search: N asked, M reached[ (how far off)]" line.
struct CountLine {
    long asked = -1;
    long reached = -1;
    bool within = false;
};

CountLine countLine(const std::string& out)
{
    std::smatch match;
    CountLine line;
    if (std::regex_search(out, match, std::regex("\ncount search: ([0-9]+) asked, ([0-9]+) reached( \\([^)]*\\))?\n"))) {
        line.asked = std::stol(match[1]);
        line.reached = std::stol(match[2]);
        line.within = !match[3].matched;
    }
    return line;
}

bool isBlue(const unsigned char* p) { return p[2] > 150 && p[0] < 100 && p[1] < 100; }
bool isRed(const unsigned char* p) { return p[0] > 150 && p[1] < 100 && p[2] < 100; }

// Whether the pixel or one of its eight neighbours is blue.
bool blueAround(const Image& image, int column, int row)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (isBlue(&image.rgba[(static_cast<std::size_t>(row + dy) * image.width + column + dx) * 4]))
                return true;
    return false;
}

// Every blue pixel lies next to a point's projection and every point's projection has a blue pixel;
// under the points, the display node's red axis cross and the tool's grey square.
void expectPointsWhereTheyProject(const Image& image, const Camera& camera, const std::vector<Point>& points)
{
    ASSERT_EQ(image.width, camera.width);
    ASSERT_EQ(image.height, camera.height);
    const int w = image.width, h = image.height;
    std::vector<Point> projected;
    for (const Point& p : points)
        projected.push_back(camera.project(p));

    // Pixel (column, row from the top) covers window x in [column, column + 1), y likewise from the bottom.
    auto pixel = [&](int column, int row) { return &image.rgba[(static_cast<std::size_t>(row) * w + column) * 4]; };
    auto nearestPoint = [&](double x, double y) {
        double best = 1e9;
        for (const Point& q : projected)
            best = std::min(best, std::hypot(q[0] - x, q[1] - y));
        return best;
    };
    int blue = 0, red = 0, grey = 0;
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const unsigned char* p = pixel(column, row);
            if (isBlue(p)) {
                ++blue;
                ASSERT_LE(nearestPoint(column + 0.5, h - row - 0.5), 2.0)
                    << "stray blue pixel at " << column << "," << row;
            } else if (isRed(p)) {
                ++red;
            } else if (p[0] == p[1] && p[1] == p[2] && p[0] > 60 && p[0] < 250) {
                ++grey;
            }
        }
    }
    for (const Point& q : projected)
        ASSERT_TRUE(blueAround(image, static_cast<int>(q[0]), h - 1 - static_cast<int>(q[1])))
            << "no blue pixel at point projected to " << q[0] << "," << q[1];
    EXPECT_GE(blue, static_cast<int>(points.size()));
    EXPECT_GT(red, 100);
    EXPECT_GT(grey, w * h / 4);
}

}  // namespace

// One picture of a flat square seen from the front, where every point is in sight, drawn through
// Viewport 2.0 (the default) and through the legacy viewport.
class PlaneRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::vector<std::string> args{asset("plane.obj"), "--radius", "0.05", "--view", "front", "--size",
                                            "400x400", "--stats"};
        auto with = [&](std::vector<std::string> more) {
            more.insert(more.begin(), args.begin(), args.end());
            return more;
        };
        run_ = new ToolRun(runTool(with({"--image", scratch("plane.png"), "--out", scratch("plane.ply")})));
        legacy_ = new ToolRun(runTool(with({"--image", scratch("legacy.png"), "--viewport", "legacy"})));
    }
    static void TearDownTestSuite()
    {
        delete run_;
        delete legacy_;
    }
    static ToolRun* run_;
    static ToolRun* legacy_;
};
ToolRun* PlaneRun::run_ = nullptr;
ToolRun* PlaneRun::legacy_ = nullptr;

TEST_F(PlaneRun, SummaryAndPointFileAgree)
{
    ASSERT_EQ(run_->status, 0) << run_->err;
    EXPECT_EQ(run_->err, "");
    EXPECT_NE(run_->out.find("mesh: " + asset("plane.obj") + ", 9 vertices, 4 polygons, 8 triangles, area 4\n"),
              std::string::npos)
        << run_->out;
    EXPECT_EQ(summaryValue(run_->out, "radius"), 0.05);
    EXPECT_GE(summaryValue(run_->out, "compute"), 0.0);

    const auto points = readPointFile(scratch("plane.ply"));
    EXPECT_EQ(static_cast<double>(points.size()), summaryValue(run_->out, "points"));
    EXPECT_GT(points.size(), 500u);
    for (const Point& p : points) {
        ASSERT_LE(std::abs(p[0]), 1.0);
        ASSERT_LE(std::abs(p[1]), 1.0);
        ASSERT_LE(std::abs(p[2]), 1e-6);
    }
}

TEST_F(PlaneRun, StatsDescribeAPoissonDiskSet)
{
    ASSERT_EQ(run_->status, 0) << run_->err;
    const double smallest = summaryValue(run_->out, "smallest distance");
    const double relative = summaryValue(run_->out, "relative radius");
    const double closePairs = summaryValue(run_->out, "pairs closer than radius");
    const double gap = summaryValue(run_->out, "largest gap");
    // Two cells apart the grid lets points come as close as one cell edge, radius / sqrt(3).
    EXPECT_GE(smallest, 0.05 / std::sqrt(3.0) - 1e-6) << run_->out;
    EXPECT_GT(relative, 0.2);
    EXPECT_LE(relative, 1.0);
    EXPECT_GE(closePairs, 0.0);
    EXPECT_LT(closePairs, summaryValue(run_->out, "points") / 2);
    EXPECT_GT(gap, 0.3);
    EXPECT_LT(gap, 5.0);
}

TEST_F(PlaneRun, BothViewportsShowEachPointWhereItProjects)
{
    ASSERT_EQ(run_->status, 0) << run_->err;
    ASSERT_EQ(legacy_->status, 0) << legacy_->err;
    const Camera camera = frameCamera(View::Front, readMesh(asset("plane.obj")), 400, 400);
    const auto points = readPointFile(scratch("plane.ply"));
    const Image vp2 = readPng(scratch("plane.png"));
    const Image legacy = readPng(scratch("legacy.png"));
    {
        SCOPED_TRACE("Viewport 2.0");
        expectPointsWhereTheyProject(vp2, camera, points);
    }
    {
        SCOPED_TRACE("legacy viewport");
        expectPointsWhereTheyProject(legacy, camera, points);
    }
    // The host draws the same scene alike on both roads.
    EXPECT_TRUE(vp2.rgba == legacy.rgba);
}

TEST(ToolFormats, EachFormatRunsEndToEnd)
{
    struct Case {
        const char* mesh;
        const char* counts;
        const char* out;
    };
    for (const Case& c : {Case{"cube.obj", "8 vertices, 6 polygons, 12 triangles, area 24", "obj.xyz"},
                          Case{"cube.ply", "8 vertices, 6 polygons, 12 triangles, area 24", "ply.obj"},
                          Case{"cube.stl", "8 vertices, 12 polygons, 12 triangles, area 24", "stl.ply"},
                          Case{"cube.fbx", "8 vertices, 6 polygons, 12 triangles, area 24", "fbx.xyz"},
                          Case{"twoCubes.gltf", "16 vertices, 24 polygons, 24 triangles, area 48", "gltf.obj"}}) {
        SCOPED_TRACE(c.mesh);
        const ToolRun run = runTool({asset(c.mesh), "--radius", "0.2", "--out", scratch(c.out)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.counts), std::string::npos) << run.out;
        const auto points = readPointFile(scratch(c.out));
        EXPECT_EQ(static_cast<double>(points.size()), summaryValue(run.out, "points"));
        EXPECT_GT(points.size(), 100u);
        for (const Point& p : points) {
            // On a cube face: one coordinate at +-1 (the second cube is shifted by 10 in x).
            const double x = p[0] > 5 ? p[0] - 10 : p[0];
            const double onFace = std::max({std::abs(x), std::abs(p[1]), std::abs(p[2])});
            ASSERT_NEAR(onFace, 1.0, 1e-5) << p[0] << " " << p[1] << " " << p[2];
        }
    }
}

// Faces stored as triangle strips, which the importer passes over, reach the node whole.
TEST(ToolFormats, TriangleStripsRunEndToEnd)
{
    const ToolRun run = runTool({asset("strips.ply"), "--radius", "0.05", "--out", scratch("strips.xyz")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("6 vertices, 4 polygons, 4 triangles, area 2"), std::string::npos) << run.out;
    const auto points = readPointFile(scratch("strips.xyz"));
    EXPECT_GT(points.size(), 200u);
    for (const Point& p : points) {
        ASSERT_NEAR(p[2], 0.0, 1e-6);
        ASSERT_TRUE(p[0] >= -1e-6 && p[0] <= 2 + 1e-6 && p[1] >= -1e-6 && p[1] <= 1 + 1e-6);
    }
}

// --normals: one unit normal per point, the normal of the face it lies on, in every format; the
// points are those of a run without them.
TEST(ToolNormals, EachPointCarriesItsFacesUnitNormal)
{
    const std::vector<std::string> plane{asset("plane.obj"), "--radius", "0.05", "--quiet"};
    auto run = [](std::vector<std::string> args, const std::string& out, bool normals) {
        args.insert(args.end(), {"--out", scratch(out)});
        if (normals)
            args.push_back("--normals");
        const ToolRun result = runTool(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return readPointsAndNormals(scratch(out));
    };
    const std::vector<Point> plain = run(plane, "plain.xyz", false).points;
    ASSERT_GT(plain.size(), 500u);
    for (const char* out : {"normals.ply", "normals.xyz", "normals.obj"}) {
        SCOPED_TRACE(out);
        const PointFile file = run(plane, out, true);
        ASSERT_EQ(file.points.size(), plain.size());
        ASSERT_EQ(file.normals.size(), file.points.size());
        for (std::size_t i = 0; i < plain.size(); ++i)
            for (int k = 0; k < 3; ++k)
                ASSERT_FLOAT_EQ(static_cast<float>(file.points[i][k]), static_cast<float>(plain[i][k]));
        // The square winds counter-clockwise seen from +Z.
        for (const Point& n : file.normals) {
            ASSERT_NEAR(std::hypot(n[0], n[1], n[2]), 1.0, 1e-6);
            ASSERT_NEAR(n[2], 1.0, 1e-6);
        }
    }

    // The cube winds outwards: each normal is the axis of the face the point lies on, pointing away from the centre.
    const PointFile cube = run({asset("cube.obj"), "--radius", "0.2", "--quiet"}, "cube.ply", true);
    ASSERT_GT(cube.points.size(), 100u);
    ASSERT_EQ(cube.normals.size(), cube.points.size());
    for (std::size_t i = 0; i < cube.points.size(); ++i) {
        const Point& n = cube.normals[i];
        int axis = 0;
        for (int k = 1; k < 3; ++k)
            if (std::abs(n[k]) > std::abs(n[axis]))
                axis = k;
        ASSERT_NEAR(std::abs(n[axis]), 1.0, 1e-6);
        ASSERT_NEAR(cube.points[i][axis], n[axis], 1e-5) << "point " << i << " is off its normal's face";
    }
}

// A glyph picture against the same picture without glyphs: seen from the side the square is an edge
// and its normals point across the picture, so every pixel the glyphs changed must lie between the
// square and one radius out along +Z, beside a point.
TEST(ToolGlyphs, GlyphsStandAlongTheNormals)
{
    const double radius = 0.1;
    const std::vector<std::string> args{asset("plane.obj"), "--radius", "0.1", "--view", "side", "--size", "400x400"};
    auto picture = [&](const std::string& glyphs, const std::string& name) {
        std::vector<std::string> line = args;
        line.insert(line.end(), {"--image", scratch(name), "--out", scratch(name + ".xyz")});
        if (!glyphs.empty())
            line.insert(line.end(), {"--glyphs", glyphs});
        const ToolRun run = runTool(line);
        EXPECT_EQ(run.status, 0) << run.err;
        return readPng(scratch(name));
    };
    const Image plain = picture("", "plain.png");
    const auto points = readPointFile(scratch("plain.png.xyz"));
    const Camera camera = frameCamera(View::Side, readMesh(asset("plane.obj")), 400, 400);
    const double baseX = camera.project({0, 0, 0})[0], apexX = camera.project({0, 0, radius})[0];
    const double pixelsPerUnit = std::abs(apexX - baseX) / radius;
    ASSERT_GT(std::abs(apexX - baseX), 10.0) << "the glyphs would be too small to tell";

    struct Case {
        const char* glyphs;
        double halfWidth;  // of the glyph across its axis, in object units
    };
    for (const Case& c : {Case{"cones", radius / 4}, Case{"lines", 0.0}}) {
        SCOPED_TRACE(c.glyphs);
        const Image glyphs = picture(c.glyphs, std::string(c.glyphs) + ".png");
        EXPECT_EQ(readPointFile(scratch(std::string(c.glyphs) + ".png.xyz")), points);
        int changed = 0, nearApex = 0;
        for (int row = 0; row < 400; ++row) {
            for (int column = 0; column < 400; ++column) {
                const std::size_t at = (static_cast<std::size_t>(row) * 400 + column) * 4;
                if (std::equal(&glyphs.rgba[at], &glyphs.rgba[at] + 3, &plain.rgba[at]))
                    continue;
                ++changed;
                const double x = column + 0.5, y = 400 - row - 0.5;
                const double out = (x - baseX) / (apexX - baseX);  // 0 at the square, 1 a radius out along +Z
                ASSERT_GE(out, -2.0 / std::abs(apexX - baseX)) << column << "," << row;
                ASSERT_LE(out, 1.0 + 2.0 / std::abs(apexX - baseX)) << column << "," << row;
                nearApex += out > 0.85;
                double across = 1e9;
                for (const Point& p : points)
                    across = std::min(across, std::abs(camera.project(p)[1] - y));
                ASSERT_LE(across, c.halfWidth * pixelsPerUnit + 2.0) << column << "," << row;
            }
        }
        // Glyphs all along the square's edge, and standing their full height.
        EXPECT_GT(changed, 2 * 380);
        EXPECT_GT(nearApex, 20);
    }
}

namespace {

// Barycentric weights of p in the triangle a, b, c that holds it.
Point weightsIn(const Point& p, const Point& a, const Point& b, const Point& c)
{
    const Point e1{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const Point d{p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    auto dot = [](const Point& u, const Point& v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    const double d11 = dot(e1, e1), d12 = dot(e1, e2), d22 = dot(e2, e2), d1 = dot(d, e1), d2 = dot(d, e2);
    const double det = d11 * d22 - d12 * d12;
    const double v = (d22 * d1 - d12 * d2) / det, w = (d11 * d2 - d12 * d1) / det;
    return {1.0 - v - w, v, w};
}

// The fan triangle of `mesh` that holds p (within `tolerance`), as the index of its first corner; -1 for none.
long triangleHolding(const Mesh& mesh, const std::vector<int>& triangles, const Point& p, double tolerance)
{
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        const Point a = mesh.vertex(triangles[t]), b = mesh.vertex(triangles[t + 1]), c = mesh.vertex(triangles[t + 2]);
        const Point w = weightsIn(p, a, b, c);
        if (std::min({w[0], w[1], w[2]}) < -tolerance)
            continue;
        Point back;
        for (int k = 0; k < 3; ++k)
            back[k] = w[0] * a[k] + w[1] * b[k] + w[2] * c[k];
        if (std::hypot(back[0] - p[0], back[1] - p[1], back[2] - p[2]) < tolerance)
            return static_cast<long>(t);
    }
    return -1;
}

}  // namespace

// --attach: every point of the rest tube goes to the same weights of the same triangle of the bent tube, in the same
// order, standing on it; the picture draws the bent tube and the carried points.
TEST(ToolAttach, PointsFollowTheTubeAsItBends)
{
    const std::vector<std::string> tube{asset("tube.obj"), "--radius", "0.15"};
    auto run = [&](std::vector<std::string> more, const std::string& out) {
        more.insert(more.begin(), tube.begin(), tube.end());
        more.insert(more.end(), {"--out", scratch(out), "--normals"});
        const ToolRun result = runTool(more);
        EXPECT_EQ(result.status, 0) << result.err;
        return std::make_pair(result, readPointsAndNormals(scratch(out)));
    };
    const auto [restRun, rest] = run({"--quiet"}, "rest.xyz");
    const auto [bentRun, bent] = run({"--attach", asset("tubeBent.obj"), "--view", "front", "--size", "400x400",
                                      "--image", scratch("bent.png")},
                                     "bent.xyz");
    EXPECT_NE(bentRun.out.find("\nattach: " + asset("tubeBent.obj") + ", area 12.5"), std::string::npos)
        << bentRun.out;
    ASSERT_GT(rest.points.size(), 300u);
    ASSERT_EQ(bent.points.size(), rest.points.size());
    ASSERT_EQ(bent.normals.size(), bent.points.size());

    const Mesh restMesh = readMesh(asset("tube.obj")), bentMesh = readMesh(asset("tubeBent.obj"));
    const std::vector<int> triangles = fanTriangles(restMesh);
    for (std::size_t i = 0; i < rest.points.size(); ++i) {
        const long t = triangleHolding(restMesh, triangles, rest.points[i], 1e-5);
        ASSERT_GE(t, 0) << "rest point " << i;
        const Point a = bentMesh.vertex(triangles[t]), b = bentMesh.vertex(triangles[t + 1]),
                    c = bentMesh.vertex(triangles[t + 2]);
        const Point w = weightsIn(rest.points[i], restMesh.vertex(triangles[t]), restMesh.vertex(triangles[t + 1]),
                                  restMesh.vertex(triangles[t + 2]));
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(bent.points[i][k], w[0] * a[k] + w[1] * b[k] + w[2] * c[k], 1e-5) << "point " << i;
        const Point& n = bent.normals[i];
        ASSERT_NEAR(std::hypot(n[0], n[1], n[2]), 1.0, 1e-6);
        for (const Point& corner : {b, c})
            ASSERT_NEAR(n[0] * (corner[0] - a[0]) + n[1] * (corner[1] - a[1]) + n[2] * (corner[2] - a[2]), 0.0, 1e-6);
    }

    // Blue pixels only where carried points project, and many where no rest point does.
    const Image picture = readPng(scratch("bent.png"));
    const Camera camera = frameCamera(View::Front, bentMesh, 400, 400);
    auto near = [&](const std::vector<Point>& points, int column, int row) {
        for (const Point& p : points) {
            const Point q = camera.project(p);
            if (std::hypot(q[0] - (column + 0.5), q[1] - (400 - row - 0.5)) <= 2.0)
                return true;
        }
        return false;
    };
    int blue = 0, awayFromRest = 0;
    for (int row = 1; row < 399; ++row)
        for (int column = 1; column < 399; ++column)
            if (isBlue(&picture.rgba[(static_cast<std::size_t>(row) * 400 + column) * 4])) {
                ++blue;
                ASSERT_TRUE(near(bent.points, column, row)) << "stray blue pixel at " << column << "," << row;
                awayFromRest += !near(rest.points, column, row);
            }
    EXPECT_GT(blue, 100);
    EXPECT_GT(awayFromRest, blue / 2);

    // Carried onto the rest tube itself, the points stay where they were.
    const auto [sameRun, same] = run({"--attach", asset("tube.obj"), "--quiet"}, "same.xyz");
    ASSERT_EQ(same.points.size(), rest.points.size());
    for (std::size_t i = 0; i < same.points.size(); ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(same.points[i][k], rest.points[i][k], 1e-6);
}

TEST(ToolDefaults, BuiltinSurfaceGivesTensOfThousandsOfPoints)
{
    const ToolRun run = runTool({"--quiet", "--out", scratch("knot.ply")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const auto points = readPointFile(scratch("knot.ply"));
    EXPECT_GT(points.size(), 15000u);
    EXPECT_LT(points.size(), 60000u);
}

TEST(ToolErrors, OneLineNamingTheProblemAndTheRightStatus)
{
    const std::string plane = asset("plane.obj");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"nowhere.obj"}, 1, "kyscatter: cannot read 'nowhere.obj': no such file"},
        {{asset("lines.obj")}, 1, "kyscatter: '" + asset("lines.obj") + "' has no faces"},
        {{asset("cubeShort.ply")}, 1,
         "kyscatter: '" + asset("cubeShort.ply") + "' declares 6 faces but holds 4 that can be read"},
        {{plane, "--radius", "abc"}, 2, "kyscatter: Could not convert: --radius = abc (see kyscatter --help)"},
        {{plane, "--radius", "0"}, 2, "kyscatter: --radius: must be greater than 0, got 0 (see kyscatter --help)"},
        {{plane, "--radius", "-1"}, 2, "kyscatter: --radius: must be greater than 0, got -1 (see kyscatter --help)"},
        {{plane, "--radius", "nan"}, 2, "kyscatter: --radius: 'nan' is not a finite number (see kyscatter --help)"},
        {{plane, "--radius", "1e40"}, 2,
         "kyscatter: --radius: 1e+40 is too large for the node's float attributes (see kyscatter --help)"},
        {{plane, "--box", "0", "0", "0", "inf", "1", "1"}, 2,
         "kyscatter: --box: 'inf' is not a finite number (see kyscatter --help)"},
        {{plane, "--radius", "0.0001"}, 2,
         "kyscatter: --radius: 0.0001 is below the scatter node's minimum of 0.001 (see kyscatter --help)"},
        {{plane, "--box", "1", "0", "0", "0", "1", "1"}, 2,
         "kyscatter: --box: min x (1) is above max x (0) (see kyscatter --help)"},
        {{plane, "--box", "0", "0", "2", "1", "1", "1"}, 2,
         "kyscatter: --box: min z (2) is above max z (1) (see kyscatter --help)"},
        {{plane, "--box", "0", "0", "0", "1", "1"}, 2,
         "kyscatter: --box: At least 6 required but received 5 (see kyscatter --help)"},
        {{plane, "--size", "10x10"}, 2,
         "kyscatter: --size: expected WIDTHxHEIGHT with sides from 16 to 8192, got '10x10' (see kyscatter --help)"},
        {{plane, "--point-size", "11"}, 2, "kyscatter: --point-size: Value 11 not in range 1 to 10 (see kyscatter --help)"},
        {{plane, "--passes", "0"}, 2, "kyscatter: --passes: Value 0 not in range 1 to 1000 (see kyscatter --help)"},
        {{plane, "--passes", "1001"}, 2,
         "kyscatter: --passes: Value 1001 not in range 1 to 1000 (see kyscatter --help)"},
        {{plane, "--candidates", "999"}, 2,
         "kyscatter: --candidates: Value 999 not in range 1000 to 1073741823 (see kyscatter --help)"},
        {{plane, "--candidates", "1073741824"}, 2,
         "kyscatter: --candidates: Value 1073741824 not in range 1000 to 1073741823 (see kyscatter --help)"},
        {{plane, "--seed", "2147483648"}, 2,
         "kyscatter: --seed: Value 2147483648 not in range -2147483648 to 2147483647 (see kyscatter --help)"},
        {{plane, "--seed", "x"}, 2,
         "kyscatter: --seed: Value x not in range -2147483648 to 2147483647 (see kyscatter --help)"},
        {{plane, "--count", "0"}, 2, "kyscatter: --count: must be at least 1, got 0 (see kyscatter --help)"},
        {{plane, "--count", "100", "--radius", "0.1"}, 2,
         "kyscatter: --count and --radius cannot be given together: --count searches the radius (see kyscatter "
         "--help)"},
        {{plane, "--view", "back"}, 2,
         "kyscatter: --view: unknown view 'back' (use front, side, top or persp) (see kyscatter --help)"},
        {{plane, "--out", "p.txt"}, 2,
         "kyscatter: --out: cannot tell the point file type of 'p.txt' (use .ply, .xyz or .obj) (see kyscatter --help)"},
        {{plane, "--viewport", "gl"}, 2, "kyscatter: --viewport: gl not in {vp2,legacy} (see kyscatter --help)"},
        {{plane, "--image", scratch("g.png"), "--glyphs", "arrows"}, 2,
         "kyscatter: --glyphs: arrows not in {cones,lines} (see kyscatter --help)"},
        {{plane, "--glyphs", "cones"}, 2, "kyscatter: --glyphs requires --image (see kyscatter --help)"},
        {{plane, "--normals"}, 2, "kyscatter: --normals requires --out (see kyscatter --help)"},
        {{plane, "--frobnicate"}, 2,
         "kyscatter: The following argument was not expected: --frobnicate (see kyscatter --help)"},
        {{plane, "--plugin", "/nonexistent/kyScatterPoints.so"}, 1,
         "kyscatter: cannot load the plug-in '/nonexistent/kyScatterPoints.so': no such file"},
        {{plane, "--radius", "0.2", "--out", "/nonexistent/dir/p.ply"}, 1,
         "kyscatter: cannot write '/nonexistent/dir/p.ply': No such file or directory"},
        {{plane, "--image", asset("plane.obj") + "/p.png"}, 1,
         "kyscatter: cannot write '" + asset("plane.obj") + "/p.png': Not a directory"},
        {{plane, "--attach", "nowhere.obj"}, 1, "kyscatter: cannot read 'nowhere.obj': no such file"},
        {{plane, "--attach", asset("cube.obj")}, 1,
         "kyscatter: '" + asset("cube.obj") + "' is not '" + plane + "' with its vertices moved: it has 8 vertices, "
         "not 9"},
        {{plane, "--attach", planeAs("split.obj", "f 1 2 5\nf 1 5 4\nf 2 3 6 5\nf 4 5 8 7\nf 5 6 9 8\n")}, 1,
         "kyscatter: '" + scratch("split.obj") + "' is not '" + plane + "' with its vertices moved: it has 5 "
         "polygons, not 4"},
        {{plane, "--attach", planeAs("turned.obj", "f 1 2 5 4\nf 3 6 5 2\nf 4 5 8 7\nf 5 6 9 8\n")}, 1,
         "kyscatter: '" + scratch("turned.obj") + "' is not '" + plane + "' with its vertices moved: its polygon 1 "
         "has other vertices"},
        {{"--attach", plane}, 1,
         "kyscatter: '" + plane + "' is not the built-in torus knot with its vertices moved: it has 9 vertices, not "
         "49152"},
    };
    for (const Case& c : cases) {
        const ToolRun run = runTool(c.args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.message + "\n");
        EXPECT_EQ(run.out, "");
    }

    // A compute that fails: the plug-in's own report, then the tool's line. A radius this small in a box this wide
    // needs more grid cells than 32-bit keys can number, even layer by layer.
    const ToolRun refused = runTool({"--radius", "0.001", "--box", "-1e5", "-1e5", "-1e5", "1e5", "1e5", "1e5", "--out",
                                     scratch("none.ply")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(onlyThePluginSpeaks(refused.out)) << refused.out;
    const std::string ours = "kyscatter: the scatter compute failed: ";
    const std::size_t at = refused.err.find("\n" + ours);
    ASSERT_NE(at, std::string::npos) << refused.err;
    EXPECT_GT(at, 0u) << "the plug-in reports first";
    EXPECT_EQ(refused.err.find('\n', at + 1), refused.err.size() - 1) << refused.err;
    EXPECT_FALSE(fs::exists(scratch("none.ply")));

    // A file that is no plug-in: the host's report, then the tool's line.
    const ToolRun notAPlugin = runTool({plane, "--plugin", plane});
    EXPECT_EQ(notAPlugin.status, 1);
    EXPECT_NE(notAPlugin.err.find("\nkyscatter: cannot load the plug-in '" + plane + "': "), std::string::npos)
        << notAPlugin.err;
    EXPECT_EQ(notAPlugin.out, "");
}

// The plug-in's budget check refuses the compute: its report is printed and the road fails.
TEST(ToolCompute, FailedComputeReportsAndFails)
{
    ScatterSettings settings;
    settings.pluginPath = KYSCATTER_PLUGIN;
    settings.radius = 0.2;
    const Mesh mesh = readMesh(asset("cube.obj"));
    cudaStandin::setFreeMemoryForQuery(0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
        runScatter(mesh, settings);
        ADD_FAILURE() << "the compute did not fail";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("the scatter compute failed", 0), 0u) << failure.what();
    }
    const std::string reported = testing::internal::GetCapturedStderr() + testing::internal::GetCapturedStdout();
    cudaStandin::clearFaults();
    EXPECT_NE(reported.find("Not enough memory on GPU"), std::string::npos) << reported;

    // The same settings succeed once the memory is back, in the same process.
    EXPECT_GT(runScatter(mesh, settings).points.size(), 100u);
}

// Only Viewport 2.0 hands the points to a draw manager: a fault armed there shows which road a picture took.
TEST(ToolViewport, EachRoadDrawsThroughItsOwnEntry)
{
    ScatterSettings settings;
    settings.pluginPath = KYSCATTER_PLUGIN;
    settings.radius = 0.2;
    settings.quiet = true;
    const Mesh mesh = readMesh(asset("plane.obj"));
    auto bluePixels = [&](ViewportRoad road) {
        settings.picture = PictureSettings{64, 64, View::Front, road, Glyphs::None};
        mayaStandin::failCall("MUIDrawManager::points");
        testing::internal::CaptureStderr();
        const ScatterResult result = runScatter(mesh, settings);
        testing::internal::GetCapturedStderr();
        mayaStandin::clearFaults();
        int blue = 0;
        for (std::size_t i = 0; i < result.picture->rgba.size(); i += 4)
            blue += isBlue(&result.picture->rgba[i]);
        return blue;
    };
    EXPECT_EQ(bluePixels(ViewportRoad::Vp2), 0);
    EXPECT_GT(bluePixels(ViewportRoad::Legacy), 20);
}

// The tool refuses what the node would clamp, and names a control only where it is not the node's
// default: both need the node's own limits and defaults.
TEST(ToolControls, LimitsAndDefaultsAreTheNodes)
{
    testing::internal::CaptureStdout();
    ASSERT_EQ(mayaStandin::loadPlugin(KYSCATTER_PLUGIN), MS::kSuccess);
    testing::internal::GetCapturedStdout();
    const MObject scatter = mayaStandin::createNode("kyScatterPoints");
    struct Case {
        const char* attribute;
        double value;
        std::optional<double> min, max;
    };
    for (const Case& c : {Case{"radius", 1.0, kMinRadius, std::nullopt},
                          Case{"seed", kDefaultSeed, std::nullopt, std::nullopt},
                          Case{"passes", kDefaultPassCount, kMinPassCount, kMaxPassCount},
                          Case{"candidateCount", kDefaultCandidateCount, kMinCandidateCount,
                               kMaxCandidateCount},
                          Case{"strictRadius", 0, std::nullopt, std::nullopt},
                          Case{"stableLayout", 0, std::nullopt, std::nullopt}}) {
        SCOPED_TRACE(c.attribute);
        MFnNumericAttribute fn(mayaStandin::findPlug(scatter, c.attribute).attribute());
        double value = -1, min = -1, max = -1;
        ASSERT_EQ(fn.getDefault(value), MS::kSuccess);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(fn.hasMin(), c.min.has_value());
        EXPECT_EQ(fn.hasMax(), c.max.has_value());
        if (c.min && fn.getMin(min) == MS::kSuccess)
            EXPECT_FLOAT_EQ(min, *c.min);
        if (c.max && fn.getMax(max) == MS::kSuccess)
            EXPECT_EQ(max, *c.max);
    }
    EXPECT_EQ(mayaStandin::unloadPlugin(KYSCATTER_PLUGIN), MS::kSuccess);
}

TEST(ToolControls, EachControlReachesTheNode)
{
    auto run = [](std::vector<std::string> controls, const std::string& out) {
        std::vector<std::string> args{asset("plane.obj"), "--radius", "0.05", "--stats", "--out", scratch(out)};
        args.insert(args.end(), controls.begin(), controls.end());
        const ToolRun result = runTool(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    };
    const ToolRun base = run({}, "base.ply");
    for (const char* line : {"\nseed:", "\npasses:", "\ncandidates:", "\nstrict radius:", "\nstable layout:"})
        EXPECT_EQ(base.out.find(line), std::string::npos) << line;
    const double points = summaryValue(base.out, "points");

    // The default seed, given, draws the same points bit for bit and is not named; another seed draws others.
    const ToolRun same = run({"--seed", "1234"}, "same.ply");
    EXPECT_EQ(slurp(scratch("same.ply")), slurp(scratch("base.ply")));
    EXPECT_EQ(same.out.substr(0, same.out.find("compute:")), base.out.substr(0, base.out.find("compute:")));
    const ToolRun other = run({"--seed", "-99"}, "other.ply");
    EXPECT_NE(slurp(scratch("other.ply")), slurp(scratch("base.ply")));
    EXPECT_EQ(summaryValue(other.out, "seed"), -99);

    // Fewer passes or candidates leave more cells empty; more passes fill more.
    const ToolRun onePass = run({"--passes", "1"}, "passes.ply");
    EXPECT_EQ(summaryValue(onePass.out, "passes"), 1);
    EXPECT_LT(summaryValue(onePass.out, "points"), points);
    EXPECT_GT(summaryValue(run({"--passes", "40"}, "passes.ply").out, "points"), points);
    const ToolRun few = run({"--candidates", "2000"}, "few.ply");
    EXPECT_EQ(summaryValue(few.out, "candidates"), 2000);
    EXPECT_LT(summaryValue(few.out, "points"), std::min(points, 2000.0));

    // Strict: no pair closer than the radius, where the default run has many.
    EXPECT_GT(summaryValue(base.out, "pairs closer than radius"), 0.0);
    const ToolRun strict = run({"--strict"}, "strict.ply");
    EXPECT_NE(strict.out.find("\nstrict radius: on\n"), std::string::npos) << strict.out;
    EXPECT_EQ(summaryValue(strict.out, "pairs closer than radius"), 0.0);
    EXPECT_GE(summaryValue(strict.out, "smallest distance"), 0.05 * (1 - 1e-6));

    // Stable: another layout of candidates, the same promises.
    const ToolRun stable = run({"--stable", "--strict"}, "stable.ply");
    EXPECT_NE(stable.out.find("\nstable layout: on\n"), std::string::npos) << stable.out;
    EXPECT_NE(slurp(scratch("stable.ply")), slurp(scratch("strict.ply")));
    EXPECT_EQ(summaryValue(stable.out, "pairs closer than radius"), 0.0);
}

TEST(ToolCount, ReachesTheTargetWithinOnePercent)
{
    struct Case {
        std::string mesh;  // empty: the built-in surface
        long target;
        std::vector<std::string> more;
    };
    for (const Case& c : {Case{asset("plane.obj"), 500, {}}, Case{asset("cube.obj"), 300, {}},
                          Case{asset("twoCubes.gltf"), 1000, {}}, Case{"", 5000, {}},
                          Case{asset("plane.obj"), 2000, {"--strict", "--stats"}},
                          Case{asset("cube.stl"), 900, {"--candidates", "1000"}}}) {
        SCOPED_TRACE(c.mesh + " " + std::to_string(c.target));
        std::vector<std::string> args{"--count", std::to_string(c.target), "--out", scratch("count.xyz")};
        if (!c.mesh.empty())
            args.push_back(c.mesh);
        args.insert(args.end(), c.more.begin(), c.more.end());
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const CountLine line = countLine(run.out);
        EXPECT_EQ(line.asked, c.target) << run.out;
        EXPECT_TRUE(line.within) << run.out;
        EXPECT_LE(std::abs(line.reached - c.target), c.target / 100) << run.out;
        EXPECT_NE(run.out.find(" (searched for " + std::to_string(c.target) + " points)\n"), std::string::npos);
        EXPECT_EQ(summaryValue(run.out, "points"), line.reached);
        EXPECT_EQ(static_cast<long>(readPointFile(scratch("count.xyz")).size()), line.reached);
        if (run.out.find("\nstrict radius: on") != std::string::npos)
            EXPECT_EQ(summaryValue(run.out, "pairs closer than radius"), 0.0) << "at the radius found";
    }
}

// --exact: exactly the target, still no pair closer than the radius found, kept from the points of the search a little
// above the target.
TEST(ToolCount, ExactGivesTheTargetFromTheSearchAboveIt)
{
    for (const std::string& mesh : {asset("plane.obj"), asset("tube.obj")}) {
        SCOPED_TRACE(mesh);
        const ToolRun run =
            runTool({mesh, "--count", "700", "--exact", "--strict", "--stats", "--out", scratch("exact.xyz")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readPointFile(scratch("exact.xyz")).size(), 700u);
        const CountLine line = countLine(run.out);
        EXPECT_EQ(line.reached, 700) << run.out;
        EXPECT_TRUE(line.within) << run.out;
        EXPECT_EQ(summaryValue(run.out, "pairs closer than radius"), 0.0) << run.out;
    }
    // The plain search on the same mesh: the exact points are some of those the search a little above gives.
    const ToolRun above = runTool({asset("plane.obj"), "--count", std::to_string(exactCountAim(700, 1000000)),
                                   "--strict", "--out", scratch("above.xyz")});
    ASSERT_EQ(above.status, 0) << above.err;
    const ToolRun exact = runTool({asset("plane.obj"), "--count", "700", "--exact", "--strict", "--out",
                                   scratch("exact.xyz")});
    const std::vector<Point> all = readPointFile(scratch("above.xyz")), kept = readPointFile(scratch("exact.xyz"));
    std::size_t k = 0;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (keptByExactCount(i, all.size(), 700))
            ASSERT_EQ(all[i], kept[k++]) << i;
    EXPECT_EQ(k, 700u);
}

// On a cube the count jumps where the grid's cells fit the faces anew, and no radius gives 30:
// the node's search ends on the closest count it tried, says so, and the outputs are that compute's.
TEST(ToolCount, CountsThatJumpEndOnTheClosest)
{
    const ToolRun run = runTool({asset("cube.obj"), "--count", "30", "--out", scratch("jump.xyz")});
    ASSERT_EQ(run.status, 0) << run.err;
    const CountLine line = countLine(run.out);
    EXPECT_FALSE(line.within) << run.out;
    EXPECT_NE(run.out.find("% off: no radius did better)"), std::string::npos) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\nkyScatterPoints: pointCount 30: no radius gives it within "
                                                      "1 %; the closest, [0-9]+ points, came at radius [0-9.]+\n")))
        << run.out;
    EXPECT_NEAR(line.reached, 30, 3);
    EXPECT_EQ(static_cast<long>(readPointFile(scratch("jump.xyz")).size()), line.reached);
}

TEST(ToolCount, TargetsOutOfReachFailCleanly)
{
    // A square of 2 by 2 hundredths holds some 280 points at the node's smallest radius: the node says why, the tool
    // that the compute failed, and nothing is written.
    const std::string tiny = scratch("tiny.obj");
    std::ofstream(tiny) << "v 0 0 0\nv 0.02 0 0\nv 0.02 0.02 0\nv 0 0.02 0\nf 1 2 3 4\n";
    const ToolRun small = runTool({tiny, "--count", "1000", "--out", scratch("tiny.ply")});
    EXPECT_EQ(small.status, 1);
    EXPECT_TRUE(onlyThePluginSpeaks(small.out)) << small.out;
    EXPECT_TRUE(std::regex_match(small.err, std::regex("ERROR pointCount 1000: the mesh holds no more than [0-9]+ "
                                                       "points at radius 0.001, the node's smallest; no points "
                                                       "computed\nkyscatter: --count 1000: the scatter compute "
                                                       "failed: .*\n")))
        << small.err;
    EXPECT_FALSE(fs::exists(scratch("tiny.ply")));

    const ToolRun tooMany = runTool({asset("plane.obj"), "--candidates", "1000", "--count", "1001"});
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_EQ(tooMany.err.rfind("ERROR pointCount 1001 is more than the 1000 candidates the node draws (raise "
                                "candidateCount); no points computed\nkyscatter: --count 1001: ",
                                0),
              0u)
        << tooMany.err;

    // The radius for 800,000 points in a box this wide needs more grid cells than the node can number, even layer by
    // layer: the compute's report, the search's, then the tool's line.
    const ToolRun refused = runTool({"--count", "800000", "--box", "-1e5", "-1e5", "-1e5", "1e5", "1e5", "1e5", "--quiet"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(std::regex_match(refused.err, std::regex("ERROR radius [0-9.e-]+ is too small for the extent .*\n"
                                                         "ERROR pointCount 800000: the compute at radius [0-9.e-]+ "
                                                         "failed; no points computed\n"
                                                         "kyscatter: --count 800000: the scatter compute failed: .*\n")))
        << refused.err;
}

// Two unit squares side by side that share no vertex: black on the left (x below 0), white on the right, opaque.
void writeHalves(const std::string& ply, const std::string& obj)
{
    const char* const corners[8] = {"-1 -1 0", "0 -1 0", "0 1 0", "-1 1 0", "0 -1 0", "1 -1 0", "1 1 0", "0 1 0"};
    std::ofstream plyFile(ply);
    plyFile << "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
               "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n"
               "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
    for (int v = 0; v < 8; ++v)
        plyFile << corners[v] << (v < 4 ? " 0 0 0 255\n" : " 255 255 255 255\n");
    plyFile << "4 0 1 2 3\n4 4 5 6 7\n";
    std::ofstream objFile(obj);
    for (int v = 0; v < 8; ++v)
        objFile << "v " << corners[v] << (v < 4 ? " 0 0 0\n" : " 1 1 1\n");
    objFile << "f 1 2 3 4\nf 5 6 7 8\n";
}

TEST(ToolDensity, TheFilesVertexColoursSayWherePointsGo)
{
    const std::string ply = scratch("halves.ply"), obj = scratch("halves.obj");
    writeHalves(ply, obj);
    const ToolRun plain = runTool({ply, "--radius", "0.05", "--out", scratch("plain.xyz")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const std::string& mesh : {ply, obj}) {
        SCOPED_TRACE(mesh);
        const ToolRun run = runTool({mesh, "--radius", "0.05", "--density", "luminance", "--out", scratch("d.xyz")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\ndensity map: luminance of the vertex colours\n"), std::string::npos) << run.out;
        const std::vector<Point> points = readPointFile(scratch("d.xyz"));
        EXPECT_GT(points.size(), 200u);
        for (const Point& p : points)
            ASSERT_GE(p[0], 0.0) << "a point on the black square";
    }
    // Opaque everywhere: alpha weighs 1, the points of no map.
    const ToolRun opaque = runTool({ply, "--radius", "0.05", "--density", "alpha", "--out", scratch("alpha.xyz")});
    ASSERT_EQ(opaque.status, 0) << opaque.err;
    EXPECT_EQ(slurp(scratch("alpha.xyz")), slurp(scratch("plain.xyz")));

    // The node's count with the map: within 1 %, all of it on the white square.
    const ToolRun counted = runTool({ply, "--density", "red", "--count", "400", "--out", scratch("c.xyz")});
    ASSERT_EQ(counted.status, 0) << counted.err;
    EXPECT_TRUE(countLine(counted.out).within) << counted.out;

    const ToolRun bare = runTool({asset("plane.obj"), "--density", "red"});
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(bare.err, "kyscatter: '" + asset("plane.obj") + "' has no vertex colours\n");
}

// A plane of edge 2 whose UVs span [0, 1] across it, and an image black on its left half (u < 0.5) and white on its
// right, its green channel white throughout.
void writeUVPlane(const std::string& obj, const std::string& image)
{
    std::ofstream objFile(obj);
    objFile << "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 2/2 3/3 4/4\n";
    std::vector<float> pixels;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            pixels.insert(pixels.end(), {x < 32 ? 0.0f : 1.0f, 1.0f, x < 32 ? 0.0f : 1.0f});
    harness::writeImage(image, 64, 16, 3, pixels);
}

TEST(ToolDensity, TheImageAtTheMeshsUVsSaysWherePointsGo)
{
    const std::string obj = scratch("uvPlane.obj"), image = scratch("halves.png");
    writeUVPlane(obj, image);
    const ToolRun plain = runTool({obj, "--radius", "0.05", "--out", scratch("uvPlain.xyz")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    // Luminance by default: 0.59 on the black half, whose green is white.
    const ToolRun run = runTool({obj, "--radius", "0.05", "--density-texture", image, "--out", scratch("t.xyz")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\ndensity map: luminance of " + image + " at the mesh's UVs\n"), std::string::npos)
        << run.out;
    const double luminance = summaryValue(run.out, "points"), full = summaryValue(plain.out, "points");
    EXPECT_NEAR(luminance, (0.5 + 0.5 * 0.59) * full, 0.05 * full);
    const ToolRun red = runTool({obj, "--radius", "0.05", "--density-texture", image, "--density", "red", "--out",
                                 scratch("t.xyz")});
    ASSERT_EQ(red.status, 0) << red.err;
    const std::vector<Point> points = readPointFile(scratch("t.xyz"));
    EXPECT_GT(points.size(), 200u);
    // The texel next to each edge of the black half blends with its white neighbour (repeating at u = 0).
    for (const Point& p : points)
        ASSERT_TRUE(p[0] > -0.05 || p[0] < -0.95) << "a point on the black half at x " << p[0];
    // The green channel is white everywhere: the points of no map.
    const ToolRun green = runTool({obj, "--radius", "0.05", "--density-texture", image, "--density", "green", "--out",
                                   scratch("green.xyz")});
    ASSERT_EQ(green.status, 0) << green.err;
    EXPECT_EQ(slurp(scratch("green.xyz")), slurp(scratch("uvPlain.xyz")));

    const ToolRun bare = runTool({asset("plane.obj"), "--density-texture", image});
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(bare.err, "kyscatter: '" + asset("plane.obj") + "' has no UVs (texture coordinates) to read a density "
                        "texture at\n");
    const ToolRun builtin = runTool({"--density-texture", image});
    EXPECT_NE(builtin.status, 0);
    EXPECT_NE(builtin.err.find("--density-texture needs a mesh file with UVs"), std::string::npos) << builtin.err;
    const ToolRun missing = runTool({obj, "--density-texture", scratch("missing.png")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot be read: there is no such file"), std::string::npos) << missing.err;
}

// --device names the node's computeDevice field: cpu gives the points of auto on a machine without a GPU, and gpu
// there fails with the node's report and writes nothing.
TEST(ToolDevice, TheFieldNamedIsTheOneSet)
{
    const ToolRun automatic = runTool({asset("plane.obj"), "--radius", "0.1", "--out", scratch("auto.xyz")});
    ASSERT_EQ(automatic.status, 0) << automatic.err;
    const ToolRun cpu =
        runTool({asset("plane.obj"), "--radius", "0.1", "--device", "cpu", "--out", scratch("cpu.xyz")});
    ASSERT_EQ(cpu.status, 0) << cpu.err;
    EXPECT_NE(cpu.out.find("\ndevice: cpu\n"), std::string::npos) << cpu.out;
    EXPECT_EQ(slurp(scratch("cpu.xyz")), slurp(scratch("auto.xyz")));
    fs::remove(scratch("gpu.xyz"));
    const ToolRun gpu =
        runTool({asset("plane.obj"), "--radius", "0.1", "--device", "gpu", "--out", scratch("gpu.xyz")});
    EXPECT_EQ(gpu.status, 1);
    EXPECT_NE(gpu.err.find("ERROR computeDevice is gpu, but there is no usable CUDA device"), std::string::npos)
        << gpu.err;
    EXPECT_FALSE(fs::exists(scratch("gpu.xyz")));
}
