// A density map's weights as spacing: a candidate of weight w keeps its own radius, radius / sqrt(w), so that the
// points per unit area fall as w does. Weights are filed in levels a square root of two apart (radii a fourth root of
// two apart), and each level is decided on a grid of its own, the sparsest first; level 0 holds the full weight alone
// and decides on the grid of a compute without a map. Below the sparsest level's weight the radius stops growing and
// the points are thinned instead.
#pragma once

#include <cuda_runtime.h>

#include <cfloat>

constexpr int kDensityLevelCount = 13;
constexpr int kSparsestLevel = kDensityLevelCount - 1;
// A candidate of weight 0 or less belongs to no level: it is never offered.
constexpr unsigned int kNoLevel = 0xFFFFFFFFu;

// The least weight of a level: 2^(-level/2), exact in single precision for even levels.
__host__ __device__ inline float levelWeight(int level)
{
    const float half = (level % 2 == 1) ? 0.70710677f : 1.0f;
    return half / static_cast<float>(1 << (level / 2));
}

// The weights of the sparsest level and below share its radius, radius * 8.
__host__ __device__ inline float densityRadius(float radius, float weight)
{
    const float floor = levelWeight(kSparsestLevel);
    return fminf(radius / sqrtf(weight > floor ? weight : floor), FLT_MAX);
}

// The level whose least weight is the largest one at or below the weight; a weight of 1 is level 0.
__host__ __device__ inline unsigned int densityLevelOf(float weight)
{
    if (!(weight > 0.0f))
        return kNoLevel;
    int level = 0;
    while (level < kSparsestLevel && weight < levelWeight(level))
        ++level;
    return static_cast<unsigned int>(level);
}

// 32 well-mixed bits of a value.
__host__ __device__ inline unsigned int mixBits(unsigned int value)
{
    value ^= value >> 16;
    value *= 0x7feb352du;
    value ^= value >> 15;
    value *= 0x846ca68bu;
    value ^= value >> 16;
    return value;
}

// A uniform draw in [0, 1) for a candidate and the seed, one of several independent ones by `salt`.
__host__ __device__ inline float candidateDraw(unsigned int candidate, unsigned int seed, unsigned int salt)
{
    return static_cast<float>(mixBits(candidate ^ mixBits(seed ^ mixBits(salt))) >> 8) * (1.0f / 16777216.0f);
}

// Some candidates of a level are decided with the next sparser one, the more the nearer their weight lies to that
// level's, on its larger grid, which their smaller radii fit as well: a border between levels is ragged, not a line
// that the sparser level's points would line up along where a level is narrower than its spacing, as on a steep ramp.
// Full weight stays in level 0, and the sparsest level has none sparser.
__host__ __device__ inline unsigned int ditheredLevel(float weight, unsigned int candidate, unsigned int seed)
{
    const unsigned int level = densityLevelOf(weight);
    if (level == kNoLevel || level == 0 || level == static_cast<unsigned int>(kSparsestLevel))
        return level;
    const float top = levelWeight(static_cast<int>(level) - 1), bottom = levelWeight(static_cast<int>(level));
    const float towardSparser = (top - weight) / (top - bottom);
    return candidateDraw(candidate, seed, 1u) < towardSparser ? level + 1 : level;
}

// Below the sparsest level's weight a point is kept with the share of that weight its own weight is: one in two at
// half of it. Weights at or above it always keep their points.
__host__ __device__ inline bool keptBelowSparsest(unsigned int candidate, unsigned int seed, float weight)
{
    return candidateDraw(candidate, seed, 0u) < weight / levelWeight(kSparsestLevel);
}
