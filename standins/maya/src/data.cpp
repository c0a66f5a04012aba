// Data objects: meshes and array-attribute records.

#include "internal.h"

#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFnNumericData.h>
#include <maya/MStringArray.h>

using mayaStandin::detail::Access;
using mayaStandin::detail::ArrayAttrsData;
using mayaStandin::detail::injectedFault;
using mayaStandin::detail::MeshData;
using mayaStandin::detail::setStatus;

namespace mayaStandin {
namespace detail {

bool matchesDataType(const MObject& data, MFnData::Type type) {
    if (data.isNull() || type == MFnData::kAny) return true;
    if (type == MFnData::kMesh) return data.apiType() == MFn::kMeshData;
    if (type == MFnData::kDynArrayAttrs) return data.apiType() == MFn::kDynArrayAttrsData;
    if (type == MFnData::kString) return data.apiType() == MFn::kStringData;
    return false;
}

}  // namespace detail
}  // namespace mayaStandin

MFnData::MFnData() = default;
MFnData::~MFnData() = default;
MFn::Type MFnData::type() const { return MFn::kData; }

MFnNumericData::MFnNumericData() = default;
MFnNumericData::~MFnNumericData() = default;

// ---- MFnMeshData

MFnMeshData::MFnMeshData() = default;
MFnMeshData::MFnMeshData(const MObject& object, MStatus* ReturnStatus) {
    bool ok = Access::as<MeshData>(object, MFn::kMeshData) != nullptr;
    if (ok) object_ = object;
    setStatus(ReturnStatus, ok ? MS::kSuccess : MS::kInvalidParameter);
}
MFnMeshData::~MFnMeshData() = default;
MFn::Type MFnMeshData::type() const { return MFn::kMeshData; }

MObject MFnMeshData::create(MStatus* ReturnStatus) {
    object_ = Access::make(std::make_shared<MeshData>());
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

// ---- MFnMesh

namespace {

const MeshData* attachedMesh(const MObject& object, MStatus* ReturnStatus) {
    const MeshData* mesh = Access::as<MeshData>(object, MFn::kMeshData);
    if (!mesh || !mesh->hasMesh) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return nullptr;
    }
    setStatus(ReturnStatus, MS::kSuccess);
    return mesh;
}

}  // namespace

MFnMesh::MFnMesh() = default;
MFnMesh::MFnMesh(const MObject& object, MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault("MFnMesh::MFnMesh", status)) {
        setStatus(ReturnStatus, status);
        return;
    }
    if (attachedMesh(object, ReturnStatus)) object_ = object;
}
MFnMesh::~MFnMesh() = default;
MFn::Type MFnMesh::type() const { return MFn::kMeshData; }

namespace {

// The counts agree with the arrays, every polygon has three corners or more and every corner is a vertex.
bool consistentMesh(int numVertices, int numPolygons, const MFloatPointArray& vertexArray,
                    const MIntArray& polygonCounts, const MIntArray& polygonConnects) {
    bool valid = numVertices >= 0 && numPolygons >= 0 &&
                 static_cast<unsigned int>(numVertices) == vertexArray.length() &&
                 static_cast<unsigned int>(numPolygons) == polygonCounts.length();
    long long corners = 0;
    for (unsigned int p = 0; valid && p < polygonCounts.length(); ++p) {
        if (polygonCounts[p] < 3) valid = false;
        corners += polygonCounts[p];
    }
    valid = valid && corners == static_cast<long long>(polygonConnects.length());
    for (unsigned int c = 0; valid && c < polygonConnects.length(); ++c)
        if (polygonConnects[c] < 0 || polygonConnects[c] >= numVertices) valid = false;
    return valid;
}

}  // namespace

MObject MFnMesh::create(int numVertices, int numPolygons, const MFloatPointArray& vertexArray,
                        const MIntArray& polygonCounts, const MIntArray& polygonConnects, MObject parentOrOwner,
                        MStatus* ReturnStatus) {
    bool valid = consistentMesh(numVertices, numPolygons, vertexArray, polygonCounts, polygonConnects);
    MeshData* owner = nullptr;
    if (!parentOrOwner.isNull()) {
        owner = Access::as<MeshData>(parentOrOwner, MFn::kMeshData);
        if (!owner) valid = false;
    }
    if (!valid) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MObject();
    }
    if (!owner) {
        parentOrOwner = Access::make(std::make_shared<MeshData>());
        owner = Access::as<MeshData>(parentOrOwner, MFn::kMeshData);
    }
    owner->points.assign(numVertices, MFloatPoint());
    for (int v = 0; v < numVertices; ++v) owner->points[v] = vertexArray[v];
    owner->counts.assign(numPolygons, 0);
    for (int p = 0; p < numPolygons; ++p) owner->counts[p] = polygonCounts[p];
    owner->connects.assign(polygonConnects.length(), 0);
    for (unsigned int c = 0; c < polygonConnects.length(); ++c) owner->connects[c] = polygonConnects[c];
    owner->colorSets.clear();
    owner->currentColorSet.clear();
    // As Maya's meshes, one UV set without UVs.
    owner->uvSets.assign(1, mayaStandin::detail::UVSet{"map1", {}, {}, std::vector<int>(polygonConnects.length(), -1)});
    owner->currentUVSet = "map1";
    owner->hasMesh = true;
    object_ = parentOrOwner;
    setStatus(ReturnStatus, MS::kSuccess);
    return parentOrOwner;
}

int MFnMesh::numVertices(MStatus* ReturnStatus) const {
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    return mesh ? static_cast<int>(mesh->points.size()) : 0;
}

int MFnMesh::numPolygons(MStatus* ReturnStatus) const {
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    return mesh ? static_cast<int>(mesh->counts.size()) : 0;
}

MStatus MFnMesh::getPoints(MFloatPointArray& vertexArray, MSpace::Space space) const {
    MStatus status;
    if (injectedFault("MFnMesh::getPoints", status)) return status;
    const MeshData* mesh = attachedMesh(object_, &status);
    if (!mesh) return status;
    // Data objects carry no transform: object space is the only space there is.
    if (space != MSpace::kObject && space != MSpace::kWorld) return MS::kInvalidParameter;
    vertexArray.setLength(static_cast<unsigned int>(mesh->points.size()));
    for (unsigned int v = 0; v < mesh->points.size(); ++v) vertexArray[v] = mesh->points[v];
    return MS::kSuccess;
}

namespace {

// Polygons split into fans around their first vertex; each corner as its face-vertex offset, or as the vertex there.
MStatus fanTriangles(const char* callName, const MObject& object, bool offsets, MIntArray& triangleCounts,
                     MIntArray& corners) {
    MStatus status;
    if (injectedFault(callName, status)) return status;
    const MeshData* mesh = attachedMesh(object, &status);
    if (!mesh) return status;
    triangleCounts.clear();
    corners.clear();
    int first = 0;
    for (int count : mesh->counts) {
        triangleCounts.append(count - 2);
        for (int k = 1; k + 1 < count; ++k)
            for (int offset : {first, first + k, first + k + 1})
                corners.append(offsets ? offset : mesh->connects[static_cast<size_t>(offset)]);
        first += count;
    }
    return MS::kSuccess;
}

}  // namespace

MStatus MFnMesh::getTriangles(MIntArray& triangleCounts, MIntArray& triangleVertices) const {
    return fanTriangles("MFnMesh::getTriangles", object_, false, triangleCounts, triangleVertices);
}

MStatus MFnMesh::getTriangleOffsets(MIntArray& triangleCounts, MIntArray& triangleIndices) const {
    return fanTriangles("MFnMesh::getTriangleOffsets", object_, true, triangleCounts, triangleIndices);
}

// ---- colour sets

namespace {

MeshData* writableMesh(const MObject& object, MStatus* ReturnStatus) {
    MeshData* mesh = Access::as<MeshData>(object, MFn::kMeshData);
    const bool ok = mesh && mesh->hasMesh;
    setStatus(ReturnStatus, ok ? MS::kSuccess : MS::kInvalidParameter);
    return ok ? mesh : nullptr;
}

// The set of that name, or the current one for null; null when there is none.
template <typename Mesh>
auto colorSetOf(Mesh& mesh, const MString* name) -> decltype(&mesh.colorSets.front()) {
    const std::string wanted = name ? name->asChar() : mesh.currentColorSet;
    for (auto& set : mesh.colorSets)
        if (!wanted.empty() && set.name == wanted) return &set;
    return nullptr;
}

}  // namespace

int MFnMesh::numColorSets(MStatus* ReturnStatus) const {
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    return mesh ? static_cast<int>(mesh->colorSets.size()) : 0;
}

MStatus MFnMesh::getColorSetNames(MStringArray& setNames) const {
    MStatus status;
    if (injectedFault("MFnMesh::getColorSetNames", status)) return status;
    const MeshData* mesh = attachedMesh(object_, &status);
    if (!mesh) return status;
    setNames.clear();
    for (const auto& set : mesh->colorSets) setNames.append(MString(set.name.c_str()));
    return MS::kSuccess;
}

MString MFnMesh::currentColorSetName(int, MStatus* ReturnStatus) const {
    MStatus status;
    if (injectedFault("MFnMesh::currentColorSetName", status)) {
        setStatus(ReturnStatus, status);
        return MString();
    }
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    return mesh ? MString(mesh->currentColorSet.c_str()) : MString();
}

MStatus MFnMesh::setCurrentColorSetName(const MString& setName, MDGModifier*, MSelectionList*) {
    MStatus status;
    MeshData* mesh = writableMesh(object_, &status);
    if (!mesh) return status;
    if (!colorSetOf(*mesh, &setName)) return MS::kInvalidParameter;
    mesh->currentColorSet = setName.asChar();
    return MS::kSuccess;
}

MString MFnMesh::createColorSetWithName(const MString& colorSetName, MDGModifier*, const MUintArray*,
                                       MStatus* ReturnStatus) {
    MeshData* mesh = writableMesh(object_, ReturnStatus);
    if (!mesh) return MString();
    if (colorSetName.length() == 0) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MString();
    }
    auto taken = [&](const std::string& name) {
        for (const auto& set : mesh->colorSets)
            if (set.name == name) return true;
        return false;
    };
    std::string name = colorSetName.asChar();
    for (int n = 1; taken(name); ++n) name = std::string(colorSetName.asChar()) + std::to_string(n);
    int faceVertices = 0;
    for (int count : mesh->counts) faceVertices += count;
    mesh->colorSets.push_back({name, {}, std::vector<int>(static_cast<size_t>(faceVertices), -1)});
    return MString(name.c_str());
}

int MFnMesh::numColors(const MString& colorSet, MStatus* ReturnStatus) const {
    MStatus status;
    if (injectedFault("MFnMesh::numColors", status)) {
        setStatus(ReturnStatus, status);
        return 0;
    }
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    if (!mesh) return 0;
    const auto* set = colorSetOf(*mesh, &colorSet);
    if (!set) setStatus(ReturnStatus, MS::kInvalidParameter);
    return set ? static_cast<int>(set->colors.size()) : 0;
}

MStatus MFnMesh::setColors(const MColorArray& colors, const MString* colorSet, MColorRepresentation) {
    MStatus status;
    MeshData* mesh = writableMesh(object_, &status);
    if (!mesh) return status;
    auto* set = colorSetOf(*mesh, colorSet);
    if (!set) return MS::kInvalidParameter;
    set->colors.assign(colors.length(), MColor());
    for (unsigned int i = 0; i < colors.length(); ++i) set->colors[i] = colors[i];
    return MS::kSuccess;
}

MStatus MFnMesh::assignColors(const MIntArray& colorIds, const MString* colorSet) {
    MStatus status;
    MeshData* mesh = writableMesh(object_, &status);
    if (!mesh) return status;
    auto* set = colorSetOf(*mesh, colorSet);
    if (!set || colorIds.length() != set->faceVertexIds.size()) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < colorIds.length(); ++i)
        if (colorIds[i] < -1 || colorIds[i] >= static_cast<int>(set->colors.size())) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < colorIds.length(); ++i) set->faceVertexIds[i] = colorIds[i];
    return MS::kSuccess;
}

MStatus MFnMesh::getFaceVertexColors(MColorArray& colors, const MString* colorSet,
                                     const MColor* defaultUnsetColor) {
    MStatus status;
    if (injectedFault("MFnMesh::getFaceVertexColors", status)) return status;
    const MeshData* mesh = attachedMesh(object_, &status);
    if (!mesh) return status;
    const auto* set = colorSetOf(*mesh, colorSet);
    if (!set) return MS::kInvalidParameter;
    const MColor unset = defaultUnsetColor ? *defaultUnsetColor : MColor(-1.0f, -1.0f, -1.0f, -1.0f);
    colors.setLength(static_cast<unsigned int>(set->faceVertexIds.size()));
    for (size_t i = 0; i < set->faceVertexIds.size(); ++i) {
        const int id = set->faceVertexIds[i];
        colors[static_cast<unsigned int>(i)] = id < 0 ? unset : set->colors[static_cast<size_t>(id)];
    }
    return MS::kSuccess;
}

// ---- UV sets

namespace {

// The set of that name, or the current one for null; null when there is none.
template <typename Mesh>
auto uvSetOf(Mesh& mesh, const MString* name) -> decltype(&mesh.uvSets.front()) {
    const std::string wanted = name ? name->asChar() : mesh.currentUVSet;
    for (auto& set : mesh.uvSets)
        if (set.name == wanted) return &set;
    return nullptr;
}

// Per polygon its face-vertex ids are all set or all unset, and every set one names a UV.
bool consistentUVIds(const MeshData& mesh, const MIntArray& uvCounts, const MIntArray& uvIds, size_t uvCount) {
    if (uvCounts.length() != mesh.counts.size()) return false;
    unsigned long long total = 0;
    for (unsigned int p = 0; p < uvCounts.length(); ++p) {
        if (uvCounts[p] != 0 && uvCounts[p] != mesh.counts[p]) return false;
        total += static_cast<unsigned int>(uvCounts[p]);
    }
    if (total != uvIds.length()) return false;
    for (unsigned int i = 0; i < uvIds.length(); ++i)
        if (uvIds[i] < 0 || static_cast<size_t>(uvIds[i]) >= uvCount) return false;
    return true;
}

}  // namespace

int MFnMesh::polygonVertexCount(int polygonId, MStatus* ReturnStatus) const {
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    if (!mesh) return 0;
    if (polygonId < 0 || static_cast<size_t>(polygonId) >= mesh->counts.size()) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return 0;
    }
    return mesh->counts[static_cast<size_t>(polygonId)];
}

MStatus MFnMesh::getUVSetNames(MStringArray& setNames) const {
    MStatus status;
    if (injectedFault("MFnMesh::getUVSetNames", status)) return status;
    const MeshData* mesh = attachedMesh(object_, &status);
    if (!mesh) return status;
    setNames.clear();
    for (const auto& set : mesh->uvSets) setNames.append(MString(set.name.c_str()));
    return MS::kSuccess;
}

MString MFnMesh::currentUVSetName(MStatus* ReturnStatus, int) const {
    MStatus status;
    if (injectedFault("MFnMesh::currentUVSetName", status)) {
        setStatus(ReturnStatus, status);
        return MString();
    }
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    return mesh ? MString(mesh->currentUVSet.c_str()) : MString();
}

MStatus MFnMesh::setCurrentUVSetName(const MString& setName, MDGModifier*, MSelectionList*) {
    MStatus status;
    MeshData* mesh = writableMesh(object_, &status);
    if (!mesh) return status;
    if (!uvSetOf(*mesh, &setName)) return MS::kInvalidParameter;
    mesh->currentUVSet = setName.asChar();
    return MS::kSuccess;
}

MString MFnMesh::createUVSetWithName(const MString& uvSetName, MDGModifier*, MStatus* ReturnStatus,
                                    const MUintArray*) {
    MeshData* mesh = writableMesh(object_, ReturnStatus);
    if (!mesh) return MString();
    if (uvSetName.length() == 0) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MString();
    }
    auto taken = [&](const std::string& name) {
        for (const auto& set : mesh->uvSets)
            if (set.name == name) return true;
        return false;
    };
    std::string name = uvSetName.asChar();
    for (int n = 1; taken(name); ++n) name = std::string(uvSetName.asChar()) + std::to_string(n);
    mesh->uvSets.push_back({name, {}, {}, std::vector<int>(mesh->connects.size(), -1)});
    return MString(name.c_str());
}

int MFnMesh::numUVs(const MString& uvSet, MStatus* ReturnStatus) const {
    const MeshData* mesh = attachedMesh(object_, ReturnStatus);
    if (!mesh) return 0;
    const auto* set = uvSetOf(*mesh, &uvSet);
    if (!set) setStatus(ReturnStatus, MS::kInvalidParameter);
    return set ? static_cast<int>(set->u.size()) : 0;
}

MStatus MFnMesh::setUVs(const MFloatArray& uArray, const MFloatArray& vArray, const MString* uvSet) {
    MStatus status;
    MeshData* mesh = writableMesh(object_, &status);
    if (!mesh) return status;
    auto* set = uvSetOf(*mesh, uvSet);
    if (!set || uArray.length() != vArray.length()) return MS::kInvalidParameter;
    set->u.assign(uArray.length(), 0.0f);
    set->v.assign(vArray.length(), 0.0f);
    for (unsigned int i = 0; i < uArray.length(); ++i) {
        set->u[i] = uArray[i];
        set->v[i] = vArray[i];
    }
    return MS::kSuccess;
}

MStatus MFnMesh::getUVs(MFloatArray& uArray, MFloatArray& vArray, const MString* uvSet) const {
    MStatus status;
    if (injectedFault("MFnMesh::getUVs", status)) return status;
    const MeshData* mesh = attachedMesh(object_, &status);
    if (!mesh) return status;
    const auto* set = uvSetOf(*mesh, uvSet);
    if (!set) return MS::kInvalidParameter;
    uArray.setLength(static_cast<unsigned int>(set->u.size()));
    vArray.setLength(static_cast<unsigned int>(set->v.size()));
    for (unsigned int i = 0; i < set->u.size(); ++i) {
        uArray[i] = set->u[i];
        vArray[i] = set->v[i];
    }
    return MS::kSuccess;
}

MStatus MFnMesh::assignUVs(const MIntArray& uvCounts, const MIntArray& uvIds, const MString* uvSet) {
    MStatus status;
    MeshData* mesh = writableMesh(object_, &status);
    if (!mesh) return status;
    auto* set = uvSetOf(*mesh, uvSet);
    if (!set || !consistentUVIds(*mesh, uvCounts, uvIds, set->u.size())) return MS::kInvalidParameter;
    unsigned int faceVertex = 0, next = 0;
    for (unsigned int p = 0; p < uvCounts.length(); ++p)
        for (int k = 0; k < mesh->counts[p]; ++k, ++faceVertex)
            set->faceVertexIds[faceVertex] = uvCounts[p] == 0 ? -1 : uvIds[next++];
    return MS::kSuccess;
}

MStatus MFnMesh::getAssignedUVs(MIntArray& uvCounts, MIntArray& uvIds, const MString* uvSet) const {
    MStatus status;
    if (injectedFault("MFnMesh::getAssignedUVs", status)) return status;
    const MeshData* mesh = attachedMesh(object_, &status);
    if (!mesh) return status;
    const auto* set = uvSetOf(*mesh, uvSet);
    if (!set) return MS::kInvalidParameter;
    uvCounts.clear();
    uvIds.clear();
    size_t faceVertex = 0;
    for (int count : mesh->counts) {
        const bool mapped = set->faceVertexIds[faceVertex] >= 0;
        uvCounts.append(mapped ? count : 0);
        for (int k = 0; k < count; ++k, ++faceVertex)
            if (mapped) uvIds.append(set->faceVertexIds[faceVertex]);
    }
    return MS::kSuccess;
}

// ---- MFnArrayAttrsData

namespace {

ArrayAttrsData* attachedRecord(const MObject& object, MStatus* ReturnStatus) {
    ArrayAttrsData* record = Access::as<ArrayAttrsData>(object, MFn::kDynArrayAttrsData);
    setStatus(ReturnStatus, record ? MS::kSuccess : MS::kInvalidParameter);
    return record;
}

template <typename T>
std::shared_ptr<std::vector<T>> findChannel(const ArrayAttrsData::Channels<T>& channels, const MString& name) {
    for (auto& channel : channels)
        if (channel.first == name.asChar()) return channel.second;
    return nullptr;
}

// Names are unique across the types: one name, one channel.
MFnArrayAttrsData::Type channelType(const ArrayAttrsData& record, const MString& name) {
    if (findChannel(record.vectors, name)) return MFnArrayAttrsData::kVectorArray;
    if (findChannel(record.doubles, name)) return MFnArrayAttrsData::kDoubleArray;
    if (findChannel(record.ints, name)) return MFnArrayAttrsData::kIntArray;
    if (findChannel(record.strings, name)) return MFnArrayAttrsData::kStringArray;
    return MFnArrayAttrsData::kInvalid;
}

// The channel of that name, made when `create` is set and it is missing; null, with the status, when it cannot be.
template <typename T>
std::shared_ptr<std::vector<T>> channelOf(const MObject& object, ArrayAttrsData::Channels<T> ArrayAttrsData::*list,
                                          const char* callName, const MString& name, bool create,
                                          MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault(callName, status)) {
        setStatus(ReturnStatus, status);
        return nullptr;
    }
    ArrayAttrsData* record = attachedRecord(object, ReturnStatus);
    if (!record) return nullptr;
    if (name.length() == 0) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return nullptr;
    }
    auto channel = findChannel(record->*list, name);
    if (!channel && create && channelType(*record, name) == MFnArrayAttrsData::kInvalid) {
        channel = std::make_shared<std::vector<T>>();
        (record->*list).emplace_back(name.asChar(), channel);
    }
    if (!channel) setStatus(ReturnStatus, MS::kInvalidParameter);
    return channel;
}

}  // namespace

MFnArrayAttrsData::MFnArrayAttrsData() = default;
MFnArrayAttrsData::MFnArrayAttrsData(const MObject& object, MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault("MFnArrayAttrsData::MFnArrayAttrsData", status))
        setStatus(ReturnStatus, status);
    else if (attachedRecord(object, ReturnStatus))
        object_ = object;
}
MFnArrayAttrsData::~MFnArrayAttrsData() = default;
MFn::Type MFnArrayAttrsData::type() const { return MFn::kDynArrayAttrsData; }

MObject MFnArrayAttrsData::create(MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault("MFnArrayAttrsData::create", status)) {
        setStatus(ReturnStatus, status);
        return MObject();
    }
    object_ = Access::make(std::make_shared<ArrayAttrsData>());
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

unsigned int MFnArrayAttrsData::count() const {
    ArrayAttrsData* record = attachedRecord(object_, nullptr);
    if (!record || record->vectors.empty()) return 0;
    return static_cast<unsigned int>(record->vectors.front().second->size());
}

MStringArray MFnArrayAttrsData::list(MStatus* ReturnStatus) const {
    MStringArray names;
    MStatus status;
    if (injectedFault("MFnArrayAttrsData::list", status)) {
        setStatus(ReturnStatus, status);
        return names;
    }
    ArrayAttrsData* record = attachedRecord(object_, ReturnStatus);
    if (record) {
        for (auto& channel : record->vectors) names.append(MString(channel.first.c_str()));
        for (auto& channel : record->doubles) names.append(MString(channel.first.c_str()));
        for (auto& channel : record->ints) names.append(MString(channel.first.c_str()));
        for (auto& channel : record->strings) names.append(MString(channel.first.c_str()));
    }
    return names;
}

bool MFnArrayAttrsData::checkArrayExist(const MString attrName, MFnArrayAttrsData::Type& arrayType,
                                        MStatus* ReturnStatus) {
    arrayType = kInvalid;
    MStatus status;
    if (injectedFault("MFnArrayAttrsData::checkArrayExist", status)) {
        setStatus(ReturnStatus, status);
        return false;
    }
    ArrayAttrsData* record = attachedRecord(object_, ReturnStatus);
    if (record) arrayType = channelType(*record, attrName);
    return arrayType != kInvalid;
}

MVectorArray MFnArrayAttrsData::vectorArray(const MString& name, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::vectors, "MFnArrayAttrsData::vectorArray", name, true,
                             ReturnStatus);
    return channel ? MVectorArray(channel) : MVectorArray();
}

MVectorArray MFnArrayAttrsData::getVectorData(const MString& name, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::vectors, "MFnArrayAttrsData::getVectorData", name, false,
                             ReturnStatus);
    return channel ? MVectorArray(channel) : MVectorArray();
}

MDoubleArray MFnArrayAttrsData::doubleArray(const MString& name, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::doubles, "MFnArrayAttrsData::doubleArray", name, true,
                             ReturnStatus);
    return channel ? MDoubleArray(channel) : MDoubleArray();
}

MDoubleArray MFnArrayAttrsData::getDoubleData(const MString& name, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::doubles, "MFnArrayAttrsData::getDoubleData", name, false,
                             ReturnStatus);
    return channel ? MDoubleArray(channel) : MDoubleArray();
}

MIntArray MFnArrayAttrsData::intArray(const MString attrName, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::ints, "MFnArrayAttrsData::intArray", attrName, true,
                             ReturnStatus);
    return channel ? MIntArray(channel) : MIntArray();
}

MIntArray MFnArrayAttrsData::getIntData(const MString attrName, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::ints, "MFnArrayAttrsData::getIntData", attrName, false,
                             ReturnStatus);
    return channel ? MIntArray(channel) : MIntArray();
}

MStringArray MFnArrayAttrsData::stringArray(const MString attrName, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::strings, "MFnArrayAttrsData::stringArray", attrName, true,
                             ReturnStatus);
    return channel ? MStringArray(channel) : MStringArray();
}

MStringArray MFnArrayAttrsData::getStringData(const MString attrName, MStatus* ReturnStatus) {
    auto channel = channelOf(object_, &ArrayAttrsData::strings, "MFnArrayAttrsData::getStringData", attrName, false,
                             ReturnStatus);
    return channel ? MStringArray(channel) : MStringArray();
}
