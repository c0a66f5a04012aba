#ifndef MAYA_STANDIN_MESH_AND_POINTS_H
#define MAYA_STANDIN_MESH_AND_POINTS_H

// What a test or tool hands a mesh plug and reads back from a point record, made
// and read through the devkit's own function sets.

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace mayaStandin {

// A new mesh data object (MFnMeshData::create) that MFnMesh::create fills with
// `vertexCount` vertices, read as x, y, z after one another from `xyz`, and the
// polygons given by their vertex counts and, polygon after polygon, their vertex
// indices. When the mesh is refused, the status says why and the object holds no
// mesh.
MObject meshData(const float* xyz, std::size_t vertexCount, const std::vector<int>& polygonCounts,
                 const std::vector<int>& polygonConnects, MStatus* status = nullptr);

// Adds a colour set to a mesh data object through the devkit's calls: one RGBA colour per face-vertex (polygon after
// polygon, corners in order), the set made current when `current` is set. Returns the set's name, which has a number
// added where the name is taken; empty, with the failing status, when the object holds no mesh or the colours do not
// match its face-vertices.
std::string addColorSet(const MObject& meshData, const std::string& name,
                        const std::vector<std::array<float, 4>>& faceVertexColors, bool current,
                        MStatus* status = nullptr);

// Gives a mesh data object UVs in the UV set `name` through the devkit's calls, making the set where the mesh lacks
// it ("map1" is there from the start): one (u, v) per face-vertex, polygon after polygon; a polygon whose first
// face-vertex has a u that is not a number gets none. The set is made current when `current` is set. Returns the
// set's name; empty, with the failing status, when the object holds no mesh or the UVs do not match its
// face-vertices.
std::string addUVSet(const MObject& meshData, const std::string& name,
                     const std::vector<std::array<float, 2>>& faceVertexUVs, bool current, MStatus* status = nullptr);

// The "position" channel of a point record (MFnArrayAttrsData). Empty, with the
// failing status, when the object is no record or the record has no such channel.
std::vector<std::array<double, 3>> recordPositions(const MObject& record, MStatus* status = nullptr);

}  // namespace mayaStandin

#endif
