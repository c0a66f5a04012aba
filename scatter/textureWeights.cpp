#include "textureWeights.h"
#include "mapReports.h"

#include <maya/MColor.h>
#include <maya/MFloatArray.h>
#include <maya/MFloatMatrix.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MImage.h>
#include <maya/MIntArray.h>
#include <maya/MPlugArray.h>
#include <maya/MRenderUtil.h>
#include <maya/MStringArray.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>
#include <system_error>

namespace {

// A texel's weight: its channel, 0 where that is not a finite number (an image of floats may hold any).
float texelWeight(const MColor& colour, DensityChannel channel)
{
    const float weight = densityChannelOf(colour, channel);
    return std::isfinite(weight) ? weight : 0.0f;
}

// The set the UVs come from: the one named, which the mesh must have and hold UVs, or its current one.
MStatus chooseUVSet(const MFnMesh& meshFn, const MString& asked, MString& chosen)
{
    MStatus status;
    chosen = asked;
    if (chosen.length() == 0) {
        chosen = meshFn.currentUVSetName(&status);
        if (status != MS::kSuccess)
            return reportCall("meshFn.currentUVSetName", status);
        if (chosen.length() == 0)
            return refuse("densitySource is texture, but the mesh has no UV set");
    }
    MStringArray names;
    status = meshFn.getUVSetNames(names);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getUVSetNames", status);
    return requireSet(names, chosen, "densityUVSet", "UV set");
}

// Each face-vertex's UV id, polygon after polygon; -1 on polygons without UVs.
MStatus faceVertexUVIds(const MFnMesh& meshFn, const MString& setName, unsigned int uvCount, std::vector<int>& ids)
{
    MIntArray uvCounts, uvIds;
    MStatus status = meshFn.getAssignedUVs(uvCounts, uvIds, &setName);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getAssignedUVs", status);
    unsigned int next = 0;
    ids.clear();
    for (unsigned int p = 0; p < uvCounts.length(); ++p) {
        const int corners = meshFn.polygonVertexCount(static_cast<int>(p), &status);
        if (status != MS::kSuccess)
            return reportCall("meshFn.polygonVertexCount", status);
        for (int k = 0; k < corners; ++k) {
            const bool mapped = uvCounts[p] > 0 && next < uvIds.length();
            const int id = mapped ? uvIds[next++] : -1;
            ids.push_back(id >= 0 && static_cast<unsigned int>(id) < uvCount ? id : -1);
        }
    }
    return MS::kSuccess;
}

// A triangle weighs 0 unless all its corners have UVs.
void unmapPartlyMapped(std::vector<float>& uvs)
{
    const float none = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t t = 0; t + 5 < uvs.size(); t += 6)
        if (std::isnan(uvs[t]) || std::isnan(uvs[t + 2]) || std::isnan(uvs[t + 4]))
            for (std::size_t c = t; c < t + 6; ++c)
                uvs[c] = none;
}

// The u and v of every triangle corner.
MStatus readCornerUVs(const MFnMesh& meshFn, const MString& setName, ScatterMesh& mesh)
{
    MFloatArray us, vs;
    MStatus status = meshFn.getUVs(us, vs, &setName);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getUVs", status);
    if (us.length() == 0 || us.length() != vs.length())
        return refuse(std::string("densityUVSet '") + setName.asChar() + "' holds no UVs");
    std::vector<int> ids;
    status = faceVertexUVIds(meshFn, setName, us.length(), ids);
    if (status != MS::kSuccess)
        return status;
    MIntArray triangleCounts, offsets;
    status = meshFn.getTriangleOffsets(triangleCounts, offsets);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getTriangleOffsets", status);
    if (offsets.length() != mesh.triangleVertices.size())
        return refuse("the mesh's triangle corners and its face-vertices do not match");
    const float none = std::numeric_limits<float>::quiet_NaN();
    std::vector<float>& uvs = mesh.densityTexture.cornerUVs;
    uvs.assign(2 * static_cast<std::size_t>(offsets.length()), none);
    for (unsigned int k = 0; k < offsets.length(); ++k) {
        const int offset = offsets[k];
        const int id = offset >= 0 && static_cast<std::size_t>(offset) < ids.size() ? ids[offset] : -1;
        if (id < 0)
            continue;
        uvs[2 * k] = us[static_cast<unsigned int>(id)];
        uvs[2 * k + 1] = vs[static_cast<unsigned int>(id)];
    }
    unmapPartlyMapped(uvs);
    return MS::kSuccess;
}

// Why a file cannot be read: what the file system tells, or what MImage said.
std::string whyUnreadable(const std::string& path, const MStatus& status)
{
    std::error_code error;
    if (path.empty())
        return "fileTextureName is empty";
    if (!std::filesystem::exists(path, error))
        return "there is no such file";
    if (!std::filesystem::is_regular_file(path, error))
        return "it is not a regular file";
    return std::string("MImage cannot read it as an image ") + status.errorString().asChar();
}

// A file texture's image: RGBA floats, rows from the bottom, as MImage keeps them.
MStatus readFileTexture(MFnDependencyNode& fileFn, DensityChannel channel, DensityTexture& texture)
{
    MStatus status;
    MPlug namePlug = fileFn.findPlug("fileTextureName", &status);
    MString path;
    if (status == MS::kSuccess)
        status = namePlug.getValue(path);
    if (status != MS::kSuccess)
        return reportCall("file texture fileTextureName", status);
    MImage image;
    unsigned int width = 0, height = 0;
    status = image.readFromFile(path, MImage::kFloat);
    if (status == MS::kSuccess)
        status = image.getSize(width, height);
    const float* pixels = status == MS::kSuccess ? image.floatPixels() : nullptr;
    if (pixels == nullptr || width == 0 || height == 0)
        return refuse(std::string("densityTexture: the image '") + path.asChar() + "' of " + fileFn.name().asChar() +
                      " cannot be read: " + whyUnreadable(path.asChar(), status == MS::kSuccess ? MS::kFailure : status));
    texture.width = static_cast<int>(width);
    texture.height = static_cast<int>(height);
    texture.texels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < texture.texels.size(); ++i) {
        const float* p = pixels + 4 * i;
        texture.texels[i] = texelWeight(MColor(p[0], p[1], p[2], p[3]), channel);
    }
    return MS::kSuccess;
}

// Any other texture node, evaluated at the texel centres of a square grid in UV space, rows from v = 0 up.
MStatus bakeTexture(const MPlug& source, int resolution, DensityChannel channel, DensityTexture& texture)
{
    const unsigned int count = static_cast<unsigned int>(resolution) * static_cast<unsigned int>(resolution);
    MFloatArray us(count), vs(count);
    for (unsigned int i = 0; i < count; ++i) {
        us[i] = (static_cast<float>(i % resolution) + 0.5f) / static_cast<float>(resolution);
        vs[i] = (static_cast<float>(i / resolution) + 0.5f) / static_cast<float>(resolution);
    }
    MFloatMatrix camera;
    MFloatVectorArray colours, transparencies;
    const MStatus status = MRenderUtil::sampleShadingNetwork(source.name(), static_cast<int>(count), false, false,
                                                             camera, nullptr, &us, &vs, nullptr, nullptr, nullptr,
                                                             nullptr, nullptr, colours, transparencies);
    if (status != MS::kSuccess || colours.length() != count)
        return refuse(std::string("densityTexture: baking ") + source.name().asChar() + " through the shading network failed" +
                      (status != MS::kSuccess ? std::string(": ") + status.errorString().asChar() : std::string()));
    texture.width = texture.height = resolution;
    texture.texels.resize(count);
    for (unsigned int i = 0; i < count; ++i) {
        const MFloatVector& t = i < transparencies.length() ? transparencies[i] : MFloatVector();
        const MColor colour(colours[i].x, colours[i].y, colours[i].z, 1.0f - (t.x + t.y + t.z) / 3.0f);
        texture.texels[i] = texelWeight(colour, channel);
    }
    return MS::kSuccess;
}

// The texture's texels: what is connected to densityTexture, or its colour.
MStatus readTexels(const TextureSource& source, DensityTexture& texture)
{
    MStatus status;
    MPlugArray sources;
    source.texture.connectedTo(sources, true, false, &status);
    if (status != MS::kSuccess)
        return reportCall("densityTexture connectedTo", status);
    if (sources.length() == 0) {
        texture.width = texture.height = 1;
        texture.texels.assign(1, texelWeight(MColor(source.colour.x, source.colour.y, source.colour.z, 1.0f),
                                             source.channel));
        return MS::kSuccess;
    }
    MFnDependencyNode textureFn(sources[0].node(), &status);
    if (status != MS::kSuccess)
        return reportCall("densityTexture's node", status);
    if (textureFn.typeName() == "file")
        return readFileTexture(textureFn, source.channel, texture);
    return bakeTexture(sources[0], source.bakeResolution, source.channel, texture);
}

}  // namespace

MStatus readTextureWeights(const MFnMesh& meshFn, const TextureSource& source, ScatterMesh& mesh)
{
    MString setName;
    MStatus status = chooseUVSet(meshFn, source.uvSet, setName);
    if (status == MS::kSuccess)
        status = readCornerUVs(meshFn, setName, mesh);
    if (status == MS::kSuccess)
        status = readTexels(source, mesh.densityTexture);
    if (status != MS::kSuccess)
        mesh.densityTexture = DensityTexture();
    return status;
}
