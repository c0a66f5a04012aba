#include "colorSetWeights.h"
#include "mapReports.h"

#include <maya/MColor.h>
#include <maya/MColorArray.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>

#include <iostream>

namespace {

// The set the weights come from: the one named, which the mesh must have, or its current one.
MStatus chooseColorSet(const MFnMesh& meshFn, const MString& asked, MString& chosen)
{
    MStatus status;
    chosen = asked;
    if (chosen.length() == 0) {
        chosen = meshFn.currentColorSetName(kMFnMeshInstanceUnspecified, &status);
        if (status != MS::kSuccess)
            return reportCall("meshFn.currentColorSetName", status);
        if (chosen.length() == 0)
            return refuse("densityMap is on, but the mesh has no colour set to read it from");
    }
    MStringArray names;
    status = meshFn.getColorSetNames(names);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getColorSetNames", status);
    return requireSet(names, chosen, "densityColorSet", "colour set");
}

}  // namespace

MStatus readColorSetWeights(MFnMesh& meshFn, const MString& colorSet, DensityChannel channel, ScatterMesh& mesh)
{
    MString setName;
    MStatus status = chooseColorSet(meshFn, colorSet, setName);
    if (status != MS::kSuccess)
        return status;
    const int colourCount = meshFn.numColors(setName, &status);
    if (status != MS::kSuccess)
        return reportCall("meshFn.numColors", status);
    if (colourCount == 0)
        return refuse(std::string("colour set '") + setName.asChar() + "' of the mesh has no colours");
    MColorArray colours;
    const MColor unset(0.0f, 0.0f, 0.0f, 0.0f);
    status = meshFn.getFaceVertexColors(colours, &setName, &unset);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getFaceVertexColors", status);
    MIntArray triangleCounts, offsets;
    status = meshFn.getTriangleOffsets(triangleCounts, offsets);
    if (status != MS::kSuccess)
        return reportCall("meshFn.getTriangleOffsets", status);
    if (offsets.length() != mesh.triangleVertices.size())
        return refuse("the mesh's triangle corners and its face-vertices do not match");
    mesh.cornerWeights.resize(offsets.length());
    for (unsigned int k = 0; k < offsets.length(); ++k) {
        if (offsets[k] < 0 || static_cast<unsigned int>(offsets[k]) >= colours.length())
            return refuse(std::string("colour set '") + setName.asChar() + "' does not cover every face-vertex");
        mesh.cornerWeights[k] = densityChannelOf(colours[static_cast<unsigned int>(offsets[k])], channel);
    }
    return MS::kSuccess;
}

float densityChannelOf(const MColor& colour, DensityChannel channel)
{
    switch (channel) {
    case DensityChannel::red:
        return colour.r;
    case DensityChannel::green:
        return colour.g;
    case DensityChannel::blue:
        return colour.b;
    case DensityChannel::alpha:
        return colour.a;
    case DensityChannel::luminance:
        break;
    }
    return static_cast<float>(0.3 * colour.r + 0.59 * colour.g + 0.11 * colour.b);
}
