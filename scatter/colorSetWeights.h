// A density map read from one of a mesh's colour sets: the weight at every triangle corner.
#pragma once

#include <maya/MColor.h>
#include <maya/MFnMesh.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include "scatterCompute.h"

// The node's densityChannel: what of a colour is the weight.
enum class DensityChannel { luminance = 0, red = 1, green = 2, blue = 3, alpha = 4 };

// What of a colour weighs: one channel, or Maya's luminance of it; a white colour weighs exactly 1.
float densityChannelOf(const MColor& colour, DensityChannel channel);

// Fills mesh.cornerWeights, in the order of the mesh's triangles as getTriangles gives them, from the face-vertex
// colours of `colorSet` (empty: the mesh's current set); face-vertices the set gives no colour weigh 0. A set the mesh
// does not have, or one without colours, fails with a report that names it.
// Takes the function set by reference, not const: the devkit's getFaceVertexColors is not a const member.
MStatus readColorSetWeights(MFnMesh& meshFn, const MString& colorSet, DensityChannel channel, ScatterMesh& mesh);
