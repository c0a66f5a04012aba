// The density map's kernels: each candidate's weight and level, a level's own candidates, the points of sparser
// levels that block candidates of a denser one, and the level's points as candidate numbers.
#include <cuda_runtime.h>

#include "cellGrid.h"
#include "cellLookup.h"
#include "densityLevels.h"
#include "kyScatterPointsKernels.h"

// One thread per candidate: the weight at its place, from its triangle's corner weights as its position was made from
// the corners, so that equal corners give exactly their weight; clamped to [0, 1].
__global__ void weighCandidates(const float* cornerWeights, const int* triId, const float* u, const float* v,
                                const unsigned int* drawKeys, unsigned int seed, float* weight, unsigned int* level,
                                int numElements)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (i >= numElements)
        return;
    const float* corner = cornerWeights + 3 * static_cast<long long>(triId[i]);
    const float alongB = (corner[1] - corner[0]) * u[i] + corner[0];
    const float w = fminf(fmaxf(alongB + (corner[2] - corner[0]) * v[i], 0.0f), 1.0f);
    weight[i] = w;
    level[i] = ditheredLevel(w, drawKeys ? drawKeys[i] : static_cast<unsigned int>(i), seed);
}

// One thread per candidate of a level: its position, its key in the level's grid and its own radius.
__global__ void gatherLevelCandidates(const unsigned int* members, int memberCount, const float* x, const float* y,
                                      const float* z, const float* weight, float radius, float* levelX, float* levelY,
                                      float* levelZ, unsigned int* levelCellId, float* levelRadius, float cellSize,
                                      float bboxMinX, float bboxMinY, float bboxMinZ, int stepZ, int stepY)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (i >= memberCount)
        return;
    const unsigned int c = members[i];
    levelX[i] = x[c];
    levelY[i] = y[c];
    levelZ[i] = z[c];
    const GridFrame grid = {cellSize, bboxMinX, bboxMinY, bboxMinZ, stepZ, stepY};
    levelCellId[i] = cellKeyOf(grid, x[c], y[c], z[c]);
    levelRadius[i] = densityRadius(radius, weight[c]);
}

namespace {

// The cell table of a level, as the blocking reads it.
struct LevelTable {
    const unsigned int* bucketIndex;
    unsigned int* const* tabKeys;
    unsigned int* const* tabAddress;
    unsigned int hashTableSize;
    const unsigned int* pointCellIds;  // the level's keys, sorted
    const unsigned int* map;           // sorted position to the level's candidate number
    unsigned int candidateCount;
};

// A decided point and the level's candidates it may block.
struct Blocker {
    double x, y, z;
    const float* cx;
    const float* cy;
    const float* cz;
    const float* radii;
    unsigned int* blocked;
};

// Blocks the candidates of the cell `key` that lie within their own radius of the point. A cell turned away from the
// table is not found, and its candidates are never offered anyway.
__device__ void blockInCell(const LevelTable& table, unsigned int key, const Blocker& point)
{
    const unsigned int bucket = key % table.hashTableSize;
    const unsigned int filled = filledSlots(table.bucketIndex, bucket);
    const unsigned int slot = slotOf(table.tabKeys, bucket, key, filled);
    if (slot == filled)
        return;
    for (unsigned int a = table.tabAddress[slot][bucket];
         a < table.candidateCount && table.pointCellIds[a] == key; ++a) {
        const unsigned int p = table.map[a];
        const double dx = point.cx[p] - point.x, dy = point.cy[p] - point.y, dz = point.cz[p] - point.z;
        const double r = point.radii[p];
        if (dx * dx + dy * dy + dz * dz <= r * r)
            atomicAdd(&point.blocked[p], 1u);
    }
}

}  // namespace

// One thread per point of the sparser levels, all decided before this level: it blocks the level's candidates that lie
// within their own radius of it, measured exactly. No radius of the level exceeds its grid's, so the 5 x 5 x 5 cells
// around the point hold every candidate it can block. Several points may block one candidate; the count they leave
// does not depend on their order, so neither does the selection that reads it.
__global__ void blockNearSamples(const unsigned int* samples, unsigned int sampleCount, const float* sampleX,
                                 const float* sampleY, const float* sampleZ, const unsigned int* bucketIndex,
                                 unsigned int* const* tabKeys, unsigned int* const* tabAddress,
                                 unsigned int hashTableSize, const unsigned int* pointCellIds, const unsigned int* map,
                                 int candidateCount, const float* x, const float* y, const float* z,
                                 const float* radii, unsigned int* blocked, float cellSize, float bboxMinX,
                                 float bboxMinY, float bboxMinZ, int stepZ, int stepY)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= sampleCount)
        return;
    const unsigned int q = samples[i];
    const LevelTable table = {bucketIndex,  tabKeys, tabAddress, hashTableSize,
                              pointCellIds, map,     static_cast<unsigned int>(candidateCount)};
    const Blocker point = {sampleX[q], sampleY[q], sampleZ[q], x, y, z, radii, blocked};
    const GridFrame grid = {cellSize, bboxMinX, bboxMinY, bboxMinZ, stepZ, stepY};
    const unsigned int key = cellKeyOf(grid, sampleX[q], sampleY[q], sampleZ[q]);
    for (int dy = -2; dy <= 2; ++dy)
        for (int dz = -2; dz <= 2; ++dz)
            for (int dx = -2; dx <= 2; ++dx)
                blockInCell(table, keyAt(key, dx, dy, dz, static_cast<unsigned int>(stepZ),
                                         static_cast<unsigned int>(stepY)),
                            point);
}

// One thread per point of a level: its candidate number among all candidates, or none where the thinning below the
// sparsest level's weight drops it.
__global__ void levelSamplesAsCandidates(unsigned int* samples, unsigned int sampleCount, const unsigned int* members,
                                         const float* weight, const unsigned int* drawKeys, unsigned int seed)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= sampleCount)
        return;
    const unsigned int c = members[samples[i]];
    samples[i] = keptBelowSparsest(drawKeys ? drawKeys[c] : c, seed, weight[c]) ? c : kNoSample;
}
