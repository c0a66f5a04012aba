// The density map's weights from a texture (textureStage.cu).
#pragma once

#include <thrust/device_vector.h>

#include "stages.h"

// Whether the mesh carries a density map, from corner weights or from a texture.
inline bool hasDensityMap(const ScatterMesh& mesh)
{
    return !mesh.cornerWeights.empty() || !mesh.densityTexture.texels.empty();
}

// Refuses a texture whose size or corner UVs do not fit the mesh, and a mesh with both kinds of map.
ScatterStatus checkDensityTexture(const ScatterMesh& mesh);

// Each candidate's weight and level from the texture at its UV; `weight` and `level` hold one entry per candidate.
ScatterStatus weighByTexture(const ScatterMesh& mesh, const ScatterSettings& settings, CandidateArrays& c,
                             thrust::device_vector<float>& weight, thrust::device_vector<unsigned int>& level);
