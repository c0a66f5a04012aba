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

    int slot = 0;
    while (slot < kSlotsPerBucket && tabKeys[slot][bucket] != key)
        ++slot;
    if (slot == kSlotsPerBucket)
        return;  // turned away from the table
    if (tabSamples[slot][bucket] != kNoSample)
        return;

    const unsigned int a = static_cast<unsigned int>(static_cast<int>(t)) + tabAddress[slot][bucket];
    if (a >= static_cast<unsigned int>(randomsNumber) || pointCellIds[a] != key)
        return;  // the cell has no candidate number t
    const unsigned int cand = map[a];
    const float px = x[cand];
    const float py = y[cand];
    const float pz = z[cand];

    for (int dy = -1; dy <= 1; ++dy) {
        for (int dz = -1; dz <= 1; ++dz) {
            for (int dx = -1; dx <= 1; ++dx) {
                const unsigned int nkey = key + static_cast<unsigned int>(dz) * stepZ +
                                          static_cast<unsigned int>(dy) * stepY + static_cast<unsigned int>(dx);
                if (nkey == key)
                    continue;
                const unsigned int nb = nkey % hashTableSize;
                const unsigned int filled = bucketIndex[nb] < static_cast<unsigned int>(kSlotsPerBucket)
                                                ? bucketIndex[nb]
                                                : static_cast<unsigned int>(kSlotsPerBucket);
                unsigned int s = 0;
                while (s < filled && tabKeys[s][nb] != nkey)
                    ++s;
                if (s == filled)
                    continue;
                const unsigned int q = tabSamples[s][nb];
                if (q == kNoSample)
                    continue;
                const float ddy = y[q] - py;
                const float ddx = x[q] - px;
                const float ddz = z[q] - pz;
                const float dist = sqrtf(ddy * ddy + ddx * ddx + ddz * ddz);
                if (r >= dist)
                    return;
            }
        }
    }
    tabSamples[slot][bucket] = cand;
}
