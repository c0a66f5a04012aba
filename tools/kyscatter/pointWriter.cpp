#include "pointWriter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "errors.h"

namespace kyscatter {
namespace {

void putLittleEndian(std::ofstream& file, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const char bytes[4] = {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
                           static_cast<char>((bits >> 16) & 0xFF), static_cast<char>((bits >> 24) & 0xFF)};
    file.write(bytes, 4);
}

// The points are single-precision values; nine digits give them back exactly.
int printTriple(char* at, std::size_t room, const Point& p)
{
    return std::snprintf(at, room, "%.9g %.9g %.9g", p[0], p[1], p[2]);
}

// One line per point: the prefix, the point, and its normal when there are normals.
void writeText(std::ofstream& file, const std::vector<Point>& points, const std::vector<Point>* normals,
               const char* prefix)
{
    char line[256];
    for (std::size_t i = 0; i < points.size(); ++i) {
        int n = std::snprintf(line, sizeof line, "%s", prefix);
        n += printTriple(line + n, sizeof line - n, points[i]);
        if (normals) {
            line[n++] = ' ';
            n += printTriple(line + n, sizeof line - n, (*normals)[i]);
        }
        line[n++] = '\n';
        file.write(line, n);
    }
}

void writePly(std::ofstream& file, const std::vector<Point>& points, const std::vector<Point>* normals)
{
    file << "ply\nformat binary_little_endian 1.0\ncomment kyscatter points\nelement vertex " << points.size()
         << "\nproperty float x\nproperty float y\nproperty float z\n";
    if (normals)
        file << "property float nx\nproperty float ny\nproperty float nz\n";
    file << "end_header\n";
    for (std::size_t i = 0; i < points.size(); ++i) {
        for (double c : points[i])
            putLittleEndian(file, static_cast<float>(c));
        if (normals)
            for (double c : (*normals)[i])
                putLittleEndian(file, static_cast<float>(c));
    }
}

void writeObj(std::ofstream& file, const std::vector<Point>& points, const std::vector<Point>* normals)
{
    file << "# kyscatter points: " << points.size() << "\n";
    writeText(file, points, nullptr, "v ");
    if (normals) {
        file << "# their normals, in the same order\n";
        writeText(file, *normals, nullptr, "vn ");
    }
}

}  // namespace

PointFormat pointFormatFor(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".ply")
        return PointFormat::Ply;
    if (ext == ".xyz")
        return PointFormat::Xyz;
    if (ext == ".obj")
        return PointFormat::Obj;
    throw UsageError("--out: cannot tell the point file type of '" + path + "' (use .ply, .xyz or .obj)");
}

void checkWritable(const std::string& path)
{
    namespace fs = std::filesystem;
    const fs::path file(path);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code ec;
    const char* problem = nullptr;
    if (!fs::exists(folder, ec))
        problem = std::strerror(ENOENT);
    else if (!fs::is_directory(folder, ec))
        problem = std::strerror(ENOTDIR);
    else if (fs::is_directory(file, ec))
        problem = std::strerror(EISDIR);
    else if (access(folder.c_str(), W_OK) != 0 || (fs::exists(file, ec) && access(file.c_str(), W_OK) != 0))
        problem = std::strerror(EACCES);
    if (problem)
        throw Failure("cannot write '" + path + "': " + problem);
}

void writePoints(const std::string& path, const std::vector<Point>& points, PointFormat format,
                 const std::vector<Point>* normals)
{
    if (normals && normals->size() != points.size())
        throw Failure("cannot write '" + path + "': " + std::to_string(normals->size()) + " normals for " +
                      std::to_string(points.size()) + " points");
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw Failure("cannot write '" + path + "': " + std::strerror(errno));
    switch (format) {
    case PointFormat::Ply:
        writePly(file, points, normals);
        break;
    case PointFormat::Xyz:
        writeText(file, points, normals, "");
        break;
    case PointFormat::Obj:
        writeObj(file, points, normals);
        break;
    }
    file.close();
    if (!file)
        throw Failure("cannot write '" + path + "': " + std::strerror(errno));
}

}  // namespace kyscatter
