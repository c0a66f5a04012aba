// A texture of one channel in UV space, sampled as a file texture samples by default: bilinearly between texel
// centres, repeating outside [0, 1]. Shared by the kernel and the host code that needs the same values.
#pragma once

#include <cuda_runtime.h>

#include <math.h>

// The texel row `row` lies at v = (row + 0.5) / height: rows run from v = 0 up, as Maya's images store them.
struct TextureView {
    const float* texels;
    int width;
    int height;
};

// A repeating coordinate's lower texel, its upper neighbour and the weight of the upper one.
struct TexelSpan {
    int lower, upper;
    float along;
};

__host__ __device__ inline TexelSpan texelSpan(float coordinate, int size)
{
    const float x = (coordinate - floorf(coordinate)) * static_cast<float>(size) - 0.5f;
    const float below = floorf(x);
    int lower = static_cast<int>(below);
    int upper = lower + 1;
    if (lower < 0)
        lower = size - 1;
    if (upper >= size)
        upper = 0;
    return {lower, upper, x - below};
}

// The texture at (s, t); 0 where the coordinate is not a finite number, as a face without UVs. A texture of equal
// texels gives exactly their value: each blend is a + (b - a) * f.
__host__ __device__ inline float sampleTexture(const TextureView& texture, float s, float t)
{
    if (!isfinite(s) || !isfinite(t))
        return 0.0f;
    const TexelSpan across = texelSpan(s, texture.width), up = texelSpan(t, texture.height);
    const float* low = texture.texels + static_cast<long long>(up.lower) * texture.width;
    const float* high = texture.texels + static_cast<long long>(up.upper) * texture.width;
    const float bottom = low[across.lower] + (low[across.upper] - low[across.lower]) * across.along;
    const float top = high[across.lower] + (high[across.upper] - high[across.lower]) * across.along;
    return bottom + (top - bottom) * up.along;
}
