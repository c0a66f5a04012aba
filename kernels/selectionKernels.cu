#include <cuda_runtime.h>

#include "cellGrid.h"
#include "kyScatterPointsKernels.h"

// The phase comes from the very cell coordinates the key was built from: a phase taken from the remainder within a
// 3-cell box can round differently from the key, and then two neighbouring cells would be decided in one launch.
__global__ void calculateCellPhase(unsigned int* cellPhase, const unsigned int* cellIndex, float cellSize,
                                   float /*phasesBoxSize*/, float bboxMinX, float bboxMinY, float bboxMinZ,
                                   const float* x, const float* y, const float* z, const unsigned int* map,
                                   int numElements)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= static_cast<unsigned int>(numElements))
        return;
    const unsigned int p = map[cellIndex[i]];
    const int kx = cellCoordinate(x[p] - bboxMinX, cellSize);
    const int kz = cellCoordinate(z[p] - bboxMinZ, cellSize);
    const int ky = cellCoordinate(y[p] - bboxMinY, cellSize);
    cellPhase[i] = cellPhaseOf(kx, ky, kz);
}

// Over phases sorted ascending: each boundary subtracts the start of the next phase and adds the end of the previous
// one; the caller has added the total to the last phase.
__global__ void countCellsInPhases(unsigned int* cellCountInPhase, const unsigned int* cellPhase, int numElements)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (!(i + 1 < static_cast<unsigned int>(numElements)))
        return;
    const unsigned int a = cellPhase[i];
    const unsigned int b = cellPhase[i + 1];
    if (a == b)
        return;
    atomicSub(&cellCountInPhase[b], i + 1);
    atomicAdd(&cellCountInPhase[a], i + 1);
}

namespace {

// The cell hash table as the selection reads it.
struct TableRefs {
    const unsigned int* bucketIndex;
    unsigned int* const* tabKeys;
    unsigned int* const* tabSamples;
    unsigned int hashTableSize;
};

// The slot among the first `slots` of `bucket` that holds `key`, or `slots` when none does.
__device__ inline unsigned int slotOf(unsigned int* const* tabKeys, unsigned int bucket, unsigned int key,
                                      unsigned int slots)
{
    unsigned int slot = 0;
    while (slot < slots && tabKeys[slot][bucket] != key)
        ++slot;
    return slot;
}

// Whether the cell with key `nkey` holds a sample within r of (px, py, pz). Only the filled slots of its bucket are
// searched, so an empty slot's key 0 never matches.
__device__ bool sampleWithin(const TableRefs& table, unsigned int nkey, float px, float py, float pz, float r,
                             const float* x, const float* y, const float* z)
{
    const unsigned int nb = nkey % table.hashTableSize;
    const unsigned int count = table.bucketIndex[nb];
    const unsigned int filled = count < static_cast<unsigned int>(kSlotsPerBucket)
                                    ? count
                                    : static_cast<unsigned int>(kSlotsPerBucket);
    const unsigned int s = slotOf(table.tabKeys, nb, nkey, filled);
    if (s == filled)
        return false;
    const unsigned int q = table.tabSamples[s][nb];
    if (q == kNoSample)
        return false;
    const float ddy = y[q] - py;
    const float ddx = x[q] - px;
    const float ddz = z[q] - pz;
    const float dist = sqrtf(ddy * ddy + ddx * ddx + ddz * ddz);
    return r >= dist;
}

// Whether a sample of one of the 26 neighbouring cells lies within r of the candidate. Keys wrap at 32 bits: a step
// across the end of a row reaches a cell at least three cells away, whose sample can never be that close.
__device__ bool neighbourWithin(const TableRefs& table, unsigned int key, unsigned int stepZ, unsigned int stepY,
                                float px, float py, float pz, float r, const float* x, const float* y, const float* z)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz)
            for (int dx = -1; dx <= 1; ++dx) {
                const unsigned int nkey = key + static_cast<unsigned int>(dz) * stepZ +
                                          static_cast<unsigned int>(dy) * stepY + static_cast<unsigned int>(dx);
                if (nkey != key && sampleWithin(table, nkey, px, py, pz, r, x, y, z))
                    return true;
            }
    return false;
}

}  // namespace

// One thread per cell of one phase: offer the cell's candidate number t unless the cell already has a sample.
__global__ void chooseSamplesInCells(const unsigned int* cellIndexes, unsigned int rangeStart, unsigned int cellCount,
                                     const unsigned int* bucketIndex, unsigned int* const* tabKeys,
                                     unsigned int* const* tabAddress, unsigned int* const* tabSamples,
                                     unsigned int stepZ, unsigned int stepY, short t, float r, const float* x,
                                     const float* y, const float* z, const unsigned int* pointCellIds,
                                     const unsigned int* map, unsigned int hashTableSize, int randomsNumber)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= cellCount)
        return;
    const unsigned int first = cellIndexes[rangeStart + i];
    const unsigned int key = pointCellIds[first];
    const unsigned int bucket = key % hashTableSize;

    // The cell's own slot: all five are searched, whatever the bucket's counter says.
    const unsigned int slot = slotOf(tabKeys, bucket, key, kSlotsPerBucket);
    if (slot == static_cast<unsigned int>(kSlotsPerBucket))
        return;  // turned away from the table
    if (tabSamples[slot][bucket] != kNoSample)
        return;

    const unsigned int a = static_cast<unsigned int>(static_cast<int>(t)) + tabAddress[slot][bucket];
    if (a >= static_cast<unsigned int>(randomsNumber) || pointCellIds[a] != key)
        return;  // the cell has no candidate number t
    const unsigned int cand = map[a];
    const TableRefs table = {bucketIndex, tabKeys, tabSamples, hashTableSize};
    if (neighbourWithin(table, key, stepZ, stepY, x[cand], y[cand], z[cand], r, x, y, z))
        return;
    tabSamples[slot][bucket] = cand;
}
