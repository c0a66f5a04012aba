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
    int triCount;
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

// The triangle of candidate cand: the last whose first candidate is not past it. Triangles that draw none share
// their first candidate with the next one, which does.
__device__ inline int triangleOfCandidate(const StrataView& strata, unsigned int cand)
{
    int lo = 0, hi = strata.triCount;  // offsets[lo] <= cand < offsets[hi], hi past the end
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (strata.offsets[mid] <= cand)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

// Point `draw` of the stratum of candidate cand, draw 0 being the candidate itself: the candidates are not stored but
// drawn again where they are needed. False when it lies outside the cell `key`.
__device__ inline bool drawOfCandidate(const StrataView& strata, const GridFrame& grid, unsigned int cand,
                                       unsigned int draw, unsigned int key, StratumPoint& point)
{
    const int tri = triangleOfCandidate(strata, cand);
    point = stratumPoint(strata, grid, tri, cand - strata.offsets[tri], draw);
    return point.cellKey == key;
}

// The stable layout's occupied cells, numbered in key order, each with the sample it keeps and that sample's place.
// The cells of a run of consecutive keys are consecutive: an index gives the first occupied cell of each run of
// kIndexRun keys that has one, so that a row of the grid is found with one or two lookups.
struct StableCells {
    const unsigned int* starts;  // each cell's first sorted position
    unsigned int* keys;          // each cell's key, ascending
    const unsigned int* map;     // sorted position to candidate number
    unsigned int cellCount;
    unsigned int candidateCount;
    unsigned int* index;     // slot s: a run number (kNoKey where free) at 2s, its first cell's number at 2s + 1
    unsigned int indexSize;  // slots
    unsigned int* sample;    // the candidate number, or kNoSample
    unsigned int* sampleDraw;
    float *x, *y, *z;
};

constexpr unsigned int kIndexRun = 8;

// Where the search for a run in the index starts: Fibonacci hashing, scaled to the index without a division.
__device__ inline unsigned int indexSlotOf(unsigned int run, unsigned int indexSize)
{
    const unsigned int mixed = run * 2654435769u;
    return static_cast<unsigned int>((static_cast<unsigned long long>(mixed) * indexSize) >> 32);
}

// The first occupied cell of run `run`, or kNoSample when no candidate lies in it.
__device__ inline unsigned int firstCellOfRun(const StableCells& cells, unsigned int run)
{
    for (unsigned int slot = indexSlotOf(run, cells.indexSize);; slot = slot + 1 == cells.indexSize ? 0 : slot + 1) {
        const unsigned int found = cells.index[2 * slot];
        if (found == run)
            return cells.index[2 * slot + 1];
        if (found == kNoKey)
            return kNoSample;
    }
}

// The first occupied cell whose key is at least lo, where a cell with a key from lo to hi, a span within two runs,
// may lie; cellCount when none can.
__device__ inline unsigned int firstCellFrom(const StableCells& cells, unsigned int lo, unsigned int hi)
{
    unsigned int c = firstCellOfRun(cells, lo / kIndexRun);
    if (c == kNoSample && hi / kIndexRun != lo / kIndexRun)
        c = firstCellOfRun(cells, hi / kIndexRun);
    if (c == kNoSample)
        return cells.cellCount;
    while (c < cells.cellCount && cells.keys[c] < lo)
        ++c;
    return c;
}

// The number of the occupied cell with key `key`, or kNoSample when no candidate lies in it.
__device__ inline unsigned int stableCellOf(const StableCells& cells, unsigned int key)
{
    const unsigned int c = firstCellFrom(cells, key, key);
    return c < cells.cellCount && cells.keys[c] == key ? c : kNoSample;
}
