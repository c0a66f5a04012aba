#ifndef MAYA_STANDIN_MESH_AND_POINTS_H
#define MAYA_STANDIN_MESH_AND_POINTS_H

// What a test or tool hands a mesh plug and reads back from a point record, made
// and read through the devkit's own function sets.

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <array>
#include <cstddef>
#include <vector>

namespace mayaStandin {

// A new mesh data object (MFnMeshData::create) that MFnMesh::create fills with
// `vertexCount` vertices, read as x, y, z after one another from `xyz`, and the
// polygons given by their vertex counts and, polygon after polygon, their vertex
// indices. When the mesh is refused, the status says why and the object holds no
// mesh.
MObject meshData(const float* xyz, std::size_t vertexCount, const std::vector<int>& polygonCounts,
                 const std::vector<int>& polygonConnects, MStatus* status = nullptr);

// The "position" channel of a point record (MFnArrayAttrsData). Empty, with the
// failing status, when the object is no record or the record has no such channel.
std::vector<std::array<double, 3>> recordPositions(const MObject& record, MStatus* status = nullptr);

}  // namespace mayaStandin

#endif
