// The density map from a texture: the texture and the corner UVs go to the device once, and one launch weighs every
// candidate there, so that both roads give the same weights and the same points.
#include "textureStage.h"

#include <cmath>
#include <iostream>

#include "../kernels/kyScatterPointsKernels.h"

namespace {

ScatterStatus refuse(const char* why)
{
    std::cerr << "ERROR the density texture " << why << "; no points computed" << std::endl;
    return ScatterStatus::failed;
}

}  // namespace

ScatterStatus checkDensityTexture(const ScatterMesh& mesh)
{
    const DensityTexture& texture = mesh.densityTexture;
    if (texture.texels.empty())
        return ScatterStatus::ok;
    if (!mesh.cornerWeights.empty())
        return refuse("comes with corner weights as well: a mesh takes one density map");
    if (texture.width <= 0 || texture.height <= 0 ||
        texture.texels.size() != static_cast<std::size_t>(texture.width) * static_cast<std::size_t>(texture.height))
        return refuse("does not hold width times height texels");
    if (texture.cornerUVs.size() != 2 * mesh.triangleVertices.size())
        return refuse("has no u and v for every triangle corner");
    // Texels are not looked through here: a read of millions costs a tenth of a compute, and the weighing clamps
    // whatever they give (a sample that is not a number weighs 0).
    return ScatterStatus::ok;
}

ScatterStatus weighByTexture(const ScatterMesh& mesh, const ScatterSettings& settings, CandidateArrays& c,
                             thrust::device_vector<float>& weight, thrust::device_vector<unsigned int>& level)
{
    const DensityTexture& texture = mesh.densityTexture;
    const ScatterStatus budget = budgetFor(4ull * (texture.texels.size() + texture.cornerUVs.size()));
    if (budget != ScatterStatus::ok)
        return budget;
    thrust::device_vector<float> texels(texture.texels.begin(), texture.texels.end());
    thrust::device_vector<float> cornerUVs(texture.cornerUVs.begin(), texture.cornerUVs.end());
    const unsigned int* drawKeys = c.trialKey.empty() ? nullptr : raw(c.trialKey);
    if (!launchChecked({"weighCandidatesByTexture", "Failed to launch weighCandidatesByTexture kernel, error code: ",
                        blocksFor(c.count, 64), 64},
                       weighCandidatesByTexture, static_cast<const float*>(raw(texels)), texture.width,
                       texture.height, static_cast<const float*>(raw(cornerUVs)), raw(c.triId), raw(c.u), raw(c.v),
                       drawKeys, static_cast<unsigned int>(settings.seed), raw(weight), raw(level), c.count))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}
