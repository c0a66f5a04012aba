#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "mesh.h"

namespace kyscatter {

using Notice = std::function<void(const std::string&)>;

constexpr std::uintmax_t kLargeMeshFileBytes = 8u << 20;

// What of a file is read besides the positions.
enum class MeshExtras { none, vertexColors, textureCoordinates };

// Reads every mesh of a file (OBJ, PLY, STL, FBX, glTF and whatever else the importer knows) into
// one polygon mesh, with the node transforms of the file applied. Files of at least largeFileBytes
// are announced through notice first, since they take seconds. With vertexColors the vertices'
// first colour set comes along, and a file whose meshes lack one is refused; likewise their first UV set with
// textureCoordinates. Throws Failure.
Mesh readMesh(const std::string& path, const Notice& notice = {},
              std::uintmax_t largeFileBytes = kLargeMeshFileBytes, MeshExtras extras = MeshExtras::none);

}  // namespace kyscatter
