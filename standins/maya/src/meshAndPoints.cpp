#include "internal.h"

#include <maya/MFloatPointArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFloatArray.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/meshAndPoints.h>

#include <cmath>

namespace mayaStandin {

MObject meshData(const float* xyz, std::size_t vertexCount, const std::vector<int>& polygonCounts,
                 const std::vector<int>& polygonConnects, MStatus* status) {
    MFloatPointArray points;
    for (std::size_t v = 0; v < vertexCount; ++v)
        points.append(MFloatPoint(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]));
    const MIntArray counts(polygonCounts.data(), static_cast<unsigned int>(polygonCounts.size()));
    const MIntArray connects(polygonConnects.data(), static_cast<unsigned int>(polygonConnects.size()));
    MStatus made;
    MFnMeshData dataFn;
    MObject data = dataFn.create(&made);
    if (made)
        MFnMesh().create(static_cast<int>(vertexCount), static_cast<int>(polygonCounts.size()), points, counts,
                         connects, data, &made);
    detail::setStatus(status, made);
    return data;
}

std::string addColorSet(const MObject& meshData, const std::string& name,
                        const std::vector<std::array<float, 4>>& faceVertexColors, bool current, MStatus* status) {
    MStatus made;
    MFnMesh meshFn(meshData, &made);
    MString setName;
    if (made) setName = meshFn.createColorSetWithName(MString(name.c_str()), nullptr, nullptr, &made);
    MColorArray colors;
    MIntArray ids;
    for (std::size_t i = 0; i < faceVertexColors.size(); ++i) {
        const std::array<float, 4>& c = faceVertexColors[i];
        colors.append(MColor(c[0], c[1], c[2], c[3]));
        ids.append(static_cast<int>(i));
    }
    if (made) made = meshFn.setColors(colors, &setName);
    if (made) made = meshFn.assignColors(ids, &setName);
    if (made && current) made = meshFn.setCurrentColorSetName(setName);
    detail::setStatus(status, made);
    return made ? std::string(setName.asChar()) : std::string();
}

namespace {

// The set of that name, made where the mesh lacks it.
MString uvSetNamed(MFnMesh& meshFn, const std::string& name, MStatus& status) {
    MStringArray names;
    status = meshFn.getUVSetNames(names);
    for (unsigned int i = 0; status && i < names.length(); ++i)
        if (names[i] == name.c_str()) return names[i];
    return status ? meshFn.createUVSetWithName(MString(name.c_str()), nullptr, &status) : MString();
}

// The UVs, and per polygon its UV count and ids, of one (u, v) per face-vertex; false where they do not match.
bool polygonUVs(const MFnMesh& meshFn, const std::vector<std::array<float, 2>>& faceVertexUVs, MFloatArray& us,
                MFloatArray& vs, MIntArray& counts, MIntArray& ids) {
    std::size_t faceVertex = 0;
    for (int p = 0; p < meshFn.numPolygons(); ++p) {
        const int corners = meshFn.polygonVertexCount(p);
        const bool mapped = faceVertex < faceVertexUVs.size() && !std::isnan(faceVertexUVs[faceVertex][0]);
        counts.append(mapped ? corners : 0);
        for (int k = 0; k < corners; ++k, ++faceVertex) {
            if (!mapped || faceVertex >= faceVertexUVs.size()) continue;
            ids.append(static_cast<int>(us.length()));
            us.append(faceVertexUVs[faceVertex][0]);
            vs.append(faceVertexUVs[faceVertex][1]);
        }
    }
    return faceVertex == faceVertexUVs.size();
}

}  // namespace

std::string addUVSet(const MObject& meshData, const std::string& name,
                     const std::vector<std::array<float, 2>>& faceVertexUVs, bool current, MStatus* status) {
    MStatus made;
    MFnMesh meshFn(meshData, &made);
    MString setName;
    if (made) setName = uvSetNamed(meshFn, name, made);
    MFloatArray us, vs;
    MIntArray counts, ids;
    if (made && !polygonUVs(meshFn, faceVertexUVs, us, vs, counts, ids)) made = MS::kInvalidParameter;
    if (made) made = meshFn.setUVs(us, vs, &setName);
    if (made) made = meshFn.assignUVs(counts, ids, &setName);
    if (made && current) made = meshFn.setCurrentUVSetName(setName);
    detail::setStatus(status, made);
    return made ? std::string(setName.asChar()) : std::string();
}

std::vector<std::array<double, 3>> recordPositions(const MObject& record, MStatus* status) {
    std::vector<std::array<double, 3>> positions;
    MStatus read;
    MFnArrayAttrsData recordFn(record, &read);
    if (read) {
        const MVectorArray channel = recordFn.getVectorData("position", &read);
        for (unsigned int i = 0; read && i < channel.length(); ++i)
            positions.push_back({channel[i].x, channel[i].y, channel[i].z});
    }
    detail::setStatus(status, read);
    return positions;
}

}  // namespace mayaStandin
