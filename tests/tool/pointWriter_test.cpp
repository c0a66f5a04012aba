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

std::vector<Point> readBinaryPly(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string line;
    std::size_t count = 0;
    std::getline(file, line);
    EXPECT_EQ(line, "ply");
    std::getline(file, line);
    EXPECT_EQ(line, "format binary_little_endian 1.0");
    while (std::getline(file, line) && line != "end_header")
        if (line.rfind("element vertex ", 0) == 0)
            count = std::stoul(line.substr(15));
    std::vector<Point> points(count);
    for (Point& p : points) {
        for (double& c : p) {
            unsigned char bytes[4];
            file.read(reinterpret_cast<char*>(bytes), 4);
            const std::uint32_t bits = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
            float value;
            std::memcpy(&value, &bits, 4);
            c = value;
        }
    }
    EXPECT_EQ(file.peek(), EOF) << "nothing may follow the vertices";
    return points;
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
