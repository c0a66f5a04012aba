// The strata of the stable candidate layout. Triangle t with n = m * m candidates is cut into m * m equal triangles:
// m rows from corner A towards edge BC, row i holding 2i + 1 of them, pointing towards A and away from it in turn.
// Stratum k offers points one draw at a time: draw 0 is the stored candidate, further draws are made on demand by the
// selection. Where a point lies depends only on the seed, t, k and the draw.
#pragma once

#include <cuda_runtime.h>
#include <curand_philox4x32_x.h>

#include "cellGrid.h"
#include "triangle.h"

// What the strata are drawn from: the mesh, each triangle's candidate count and first candidate, the seed.
struct StrataView {
    const float* meshPoints;
    const int* triIds;
    const unsigned int* counts;
    const unsigned int* offsets;
    unsigned int seed;
};

struct StratumPoint {
    float p[3];
    float wu, wv;           // weights of corners B and C
    unsigned int cellKey;
    unsigned int trialKey;  // orders the trials within a cell
};

// floor(sqrt(n)) for every 32-bit n: the float root, put right by integer steps.
__host__ __device__ inline unsigned int exactSqrt(unsigned int n)
{
    unsigned int root = static_cast<unsigned int>(sqrtf(static_cast<float>(n)));
    while (static_cast<unsigned long long>(root) * root > n)
        --root;
    while (static_cast<unsigned long long>(root + 1) * (root + 1) <= n)
        ++root;
    return root;
}

// cuRAND's Philox-4x32-10 keyed by the seed and counted by (index, triangle, stream, draw). Stream 0 places points,
// stream 1 rounds a triangle's count.
__device__ inline uint4 stableDraw(unsigned int seed, unsigned int tri, unsigned int index, unsigned int stream,
                                   unsigned int draw)
{
    return curand_Philox4x32_10(make_uint4(index, tri, stream, draw), make_uint2(seed, 0u));
}

// A float in [0, 1) from the top 24 bits of a random word, exact on both roads.
__device__ inline float unitFloat(unsigned int bits)
{
    return static_cast<float>(bits >> 8) * (1.0f / 16777216.0f);
}

// A random point (s, t) of the unit right triangle, within its middle: the triangle shrunk to half its size about its
// centroid, so that points of neighbouring strata never bunch at their shared border.
__device__ inline void middlePoint(float r1, float r2, float& s, float& t)
{
    if (r1 + r2 > 1.0f) {
        r1 = 1.0f - r1;
        r2 = 1.0f - r2;
    }
    const float third = 1.0f / 3.0f;
    s = third + 0.5f * (r1 - third);
    t = third + 0.5f * (r2 - third);
}

// The weights of corners B and C of point (s, t) of stratum k of a triangle of m * m strata.
__device__ inline void stratumWeights(unsigned int k, unsigned int m, float s, float t, float& wu, float& wv)
{
    const unsigned int row = exactSqrt(k);
    const unsigned int j = k - row * row;
    const unsigned int column = j / 2;
    // In units of 1/m: how far from A towards BC, and how far from AB towards AC.
    float along, across;
    if (j % 2 == 0) {
        along = static_cast<float>(row) + (s + t);
        across = static_cast<float>(column) + t;
    } else {
        along = static_cast<float>(row) + s;
        across = static_cast<float>(column + 1) - t;
    }
    const float side = static_cast<float>(m);
    wu = (along - across) / side;
    wv = across / side;
}

// Point `draw` of stratum k of triangle tri.
__device__ inline StratumPoint stratumPoint(const StrataView& strata, const GridFrame& grid, int tri, unsigned int k,
                                            unsigned int draw)
{
    const uint4 bits = stableDraw(strata.seed, static_cast<unsigned int>(tri), k, 0u, draw);
    float s, t;
    middlePoint(unitFloat(bits.x), unitFloat(bits.y), s, t);
    StratumPoint point;
    stratumWeights(k, exactSqrt(strata.counts[tri]), s, t, point.wu, point.wv);
    const int* corners = strata.triIds + 3 * tri;
    pointAt(strata.meshPoints + 3 * corners[0], strata.meshPoints + 3 * corners[1], strata.meshPoints + 3 * corners[2],
            point.wu, point.wv, point.p);
    point.cellKey = cellKeyOf(grid, point.p[0], point.p[1], point.p[2]);
    point.trialKey = bits.z;
    return point;
}

// The candidates as the stable selection tries them: the stored ones, and their strata's further draws.
struct StableTrials {
    float *x, *y, *z, *u, *v;  // a later draw that is accepted takes its candidate's place
    const int* triId;
    StrataView strata;
    GridFrame grid;
    unsigned int draws;  // points each stratum offers, the stored candidate first
};

// Point `draw` of the stratum of candidate cand: the stored candidate itself, or a further draw; false when it lies
// outside the cell `key`.
__device__ inline bool pointOfStratum(const StableTrials& trials, unsigned int cand, unsigned int draw,
                                      unsigned int key, StratumPoint& point)
{
    if (draw == 0) {
        point.p[0] = trials.x[cand];
        point.p[1] = trials.y[cand];
        point.p[2] = trials.z[cand];
        return true;
    }
    const int tri = trials.triId[cand];
    point = stratumPoint(trials.strata, trials.grid, tri, cand - trials.strata.offsets[tri], draw);
    return point.cellKey == key;
}
