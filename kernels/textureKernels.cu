// The density map from a texture: each candidate's weight is the texture at its UV.
#include <cuda_runtime.h>

#include "densityLevels.h"
#include "kyScatterPointsKernels.h"
#include "textureSampling.h"

// One thread per candidate: its UV from its triangle's corner UVs, interpolated as its position was from the corners,
// and the texture there, clamped to [0, 1]. A triangle without UVs (NaN corners) weighs 0, and so does a sample that
// is not a number: fmaxf gives its other argument for one.
__global__ void weighCandidatesByTexture(const float* texels, int width, int height, const float* cornerUVs,
                                         const int* triId, const float* u, const float* v,
                                         const unsigned int* drawKeys, unsigned int seed, float* weight,
                                         unsigned int* level, int numElements)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (i >= numElements)
        return;
    const float* corner = cornerUVs + 6 * static_cast<long long>(triId[i]);
    const float s = (corner[2] - corner[0]) * u[i] + corner[0] + (corner[4] - corner[0]) * v[i];
    const float t = (corner[3] - corner[1]) * u[i] + corner[1] + (corner[5] - corner[1]) * v[i];
    const TextureView texture = {texels, width, height};
    const float w = fminf(fmaxf(sampleTexture(texture, s, t), 0.0f), 1.0f);
    weight[i] = w;
    level[i] = ditheredLevel(w, drawKeys ? drawKeys[i] : static_cast<unsigned int>(i), seed);
}
