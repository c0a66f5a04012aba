#pragma once

#include <string>
#include <vector>

#include "mesh.h"

namespace kyscatter {

enum class PointFormat { Ply, Xyz, Obj };

// The format named by the file's extension (.ply, .xyz, .obj, any case). Throws UsageError.
PointFormat pointFormatFor(const std::string& path);

// Fails early, before any work, when `path` cannot be written: its folder is missing or closed,
// or the file exists and is read-only. Throws Failure with the message writing would give.
void checkWritable(const std::string& path);

// Binary little-endian PLY with float x, y, z; or one "x y z" line per point; or OBJ "v" lines.
// With normals (one per point): PLY float nx, ny, nz after x, y, z; "x y z nx ny nz" lines; or OBJ
// "vn" lines after the "v" lines, the i-th normal the i-th point's. Throws Failure when the file
// cannot be written.
void writePoints(const std::string& path, const std::vector<Point>& points, PointFormat format,
                 const std::vector<Point>* normals = nullptr);

}  // namespace kyscatter
