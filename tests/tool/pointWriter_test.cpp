#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "errors.h"
#include "pointWriter.h"

using namespace kyscatter;

namespace {

// Values a float holds exactly, as the scatter node's points are floats widened to double.
const std::vector<Point> kPoints{{0.1f, -2.5f, 3e-5f}, {1e6f, 0.0f, -0.333333343f}, {7.0f, 8.25f, -9.5f}};

std::string scratch(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("kyscatter_points_" + std::to_string(getpid()) + "_" + name)).string();
}

std::string slurp(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<Point> readText(const std::string& path, const std::string& prefix)
{
    std::ifstream file(path);
    std::vector<Point> points;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
        std::istringstream values(line.substr(prefix.size()));
        float x, y, z;
        values >> x >> y >> z;
        points.push_back({x, y, z});
    }
    return points;
}

struct Ply {
    std::vector<std::string> properties;  // "float x", ... in file order
    std::vector<Point> points;
    std::vector<Point> normals;
};

Point readFloats(std::ifstream& file)
{
    Point p;
    for (double& c : p) {
        unsigned char bytes[4];
        file.read(reinterpret_cast<char*>(bytes), 4);
        const std::uint32_t bits = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
        float value;
        std::memcpy(&value, &bits, 4);
        c = value;
    }
    return p;
}

Ply readPly(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string line;
    std::size_t count = 0;
    std::getline(file, line);
    EXPECT_EQ(line, "ply");
    std::getline(file, line);
    EXPECT_EQ(line, "format binary_little_endian 1.0");
    Ply ply;
    while (std::getline(file, line) && line != "end_header") {
        if (line.rfind("element vertex ", 0) == 0)
            count = std::stoul(line.substr(15));
        if (line.rfind("property ", 0) == 0)
            ply.properties.push_back(line.substr(9));
    }
    const bool withNormals = ply.properties.size() == 6;
    for (std::size_t i = 0; i < count; ++i) {
        ply.points.push_back(readFloats(file));
        if (withNormals)
            ply.normals.push_back(readFloats(file));
    }
    EXPECT_EQ(file.peek(), EOF) << "nothing may follow the vertices";
    return ply;
}

std::vector<Point> readBinaryPly(const std::string& path)
{
    const Ply ply = readPly(path);
    EXPECT_EQ(ply.properties, (std::vector<std::string>{"float x", "float y", "float z"}));
    return ply.points;
}

}  // namespace

TEST(PointFiles, EveryFormatGivesThePointsBackExactly)
{
    writePoints(scratch("a.ply"), kPoints, pointFormatFor(scratch("a.ply")));
    EXPECT_EQ(readBinaryPly(scratch("a.ply")), kPoints);
    writePoints(scratch("a.xyz"), kPoints, pointFormatFor(scratch("a.xyz")));
    EXPECT_EQ(readText(scratch("a.xyz"), ""), kPoints);
    writePoints(scratch("a.OBJ"), kPoints, pointFormatFor(scratch("a.OBJ")));
    EXPECT_EQ(readText(scratch("a.OBJ"), "v "), kPoints);

    writePoints(scratch("none.ply"), {}, PointFormat::Ply);
    EXPECT_TRUE(readBinaryPly(scratch("none.ply")).empty());
    for (const char* name : {"a.ply", "a.xyz", "a.OBJ", "none.ply"})
        std::filesystem::remove(scratch(name));
}

TEST(PointFiles, NormalsFollowTheirPointsInEveryFormat)
{
    const std::vector<Point> normals{
        {0.0f, 0.0f, 1.0f}, {-0.6f, 0.8f, 0.0f}, {0.267261237f, -0.534522474f, 0.801783741f}};
    writePoints(scratch("n.ply"), kPoints, PointFormat::Ply, &normals);
    const Ply ply = readPly(scratch("n.ply"));
    EXPECT_EQ(ply.properties,
              (std::vector<std::string>{"float x", "float y", "float z", "float nx", "float ny", "float nz"}));
    EXPECT_EQ(ply.points, kPoints);
    EXPECT_EQ(ply.normals, normals);
    // No points: the header still names the normals.
    const std::vector<Point> none;
    writePoints(scratch("none.ply"), {}, PointFormat::Ply, &none);
    EXPECT_EQ(readPly(scratch("none.ply")).properties.size(), 6u);

    // In text, the point's nine digits and the normal's on one line, or the OBJ "v" lines as without
    // normals and a "vn" line per point after them.
    const std::vector<Point> one{kPoints[0]}, itsNormal{normals[1]};
    writePoints(scratch("n.xyz"), one, PointFormat::Xyz, &itsNormal);
    EXPECT_EQ(slurp(scratch("n.xyz")), "0.100000001 -2.5 2.99999992e-05 -0.600000024 0.800000012 0\n");
    writePoints(scratch("n.obj"), one, PointFormat::Obj, &itsNormal);
    EXPECT_EQ(slurp(scratch("n.obj")), "# kyscatter points: 1\nv 0.100000001 -2.5 2.99999992e-05\n"
                                       "# their normals, in the same order\nvn -0.600000024 0.800000012 0\n");
    for (const char* name : {"n.ply", "none.ply", "n.xyz", "n.obj"})
        std::filesystem::remove(scratch(name));

    const std::vector<Point> tooFew(2, Point{0, 0, 1});
    EXPECT_THROW(writePoints(scratch("few.ply"), kPoints, PointFormat::Ply, &tooFew), Failure);
}

TEST(PointFiles, UnknownTypeAndUnwritablePlaceAreRefused)
{
    EXPECT_THROW(pointFormatFor("points.txt"), UsageError);
    EXPECT_THROW(pointFormatFor("points"), UsageError);
    EXPECT_NO_THROW(checkWritable(scratch("fine.ply")));
    EXPECT_NO_THROW(checkWritable("relative.ply"));
    const std::string folder = std::filesystem::temp_directory_path().string();
    try {
        checkWritable(folder);
        ADD_FAILURE() << "a folder passed as writable";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "cannot write '" + folder + "': Is a directory");
    }
    try {
        checkWritable("/nonexistent/dir/p.ply");
        ADD_FAILURE() << "a missing folder passed as writable";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "cannot write '/nonexistent/dir/p.ply': No such file or directory");
    }
    try {
        writePoints("/nonexistent/dir/p.ply", kPoints, PointFormat::Ply);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "cannot write '/nonexistent/dir/p.ply': No such file or directory");
    }
}
