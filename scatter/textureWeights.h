// A density map from a texture: the texture connected to the node's densityTexture (or its colour), as one channel
// of texels in UV space, and the UVs of every triangle corner in one of the mesh's UV sets.
#pragma once

#include <maya/MFloatVector.h>
#include <maya/MFnMesh.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include "colorSetWeights.h"
#include "scatterCompute.h"

// Where the texture comes from.
struct TextureSource {
    MPlug texture;          // the node's densityTexture: what is connected to it is the texture
    MFloatVector colour;    // its value, the texture where nothing is connected
    MString uvSet;          // empty: the mesh's current UV set
    int bakeResolution = 256;  // texels along u and v of the bake of a texture that is not a file
    DensityChannel channel = DensityChannel::luminance;
};

// Fills mesh.densityTexture: a file texture's image as MImage reads it, any other texture node baked through
// MRenderUtil::sampleShadingNetwork at the texel centres of a bakeResolution-square grid, the colour where none is
// connected; the corner UVs in the order of the mesh's triangles as getTriangles gives them, NaN on polygons without
// UVs. A UV set the mesh does not have or without UVs, an image that cannot be read and a failed bake fail with a
// report.
MStatus readTextureWeights(const MFnMesh& meshFn, const TextureSource& source, ScatterMesh& mesh);
