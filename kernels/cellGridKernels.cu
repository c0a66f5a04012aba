#include <cuda_runtime.h>

#include "cellGrid.h"
#include "kyScatterPointsKernels.h"

// Position 0 always starts a cell and is set by the caller; thread i compares positions i and i + 1.
__global__ void detectCells(const unsigned int* cellId, unsigned int* aux, int numElements)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (!(i + 1 < numElements))
        return;
    aux[i + 1] = cellId[i] != cellId[i + 1] ? 1u : 0u;
}

// Each occupied cell, by its first sorted position, counts itself into its bucket; the count does not depend on the
// order the cells come in.
__global__ void countBucketCells(const unsigned int* cellStarts, const unsigned int* pointCellId,
                                 unsigned int* tabBucketIndex, unsigned int hashTableSize, int cellCount)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= static_cast<unsigned int>(cellCount))
        return;
    atomicAdd(&tabBucketIndex[pointCellId[cellStarts[i]] % hashTableSize], 1u);
}

// Every cell not yet in an earlier slot of its bucket offers its key to slot `slot`, which keeps the smallest: a
// bucket's slots hold its cells in ascending key order, and a full bucket turns away the same cells on every run.
__global__ void offerCellsToSlot(const unsigned int* cellStarts, const unsigned int* pointCellId,
                                 unsigned int* const* tabKeys, unsigned int slot, unsigned int hashTableSize,
                                 int cellCount)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= static_cast<unsigned int>(cellCount))
        return;
    const unsigned int key = pointCellId[cellStarts[i]];
    const unsigned int bucket = key % hashTableSize;
    for (unsigned int s = 0; s < slot; ++s)
        if (tabKeys[s][bucket] == key)
            return;
    atomicMin(&tabKeys[slot][bucket], key);
}

// The cell that slot `slot` kept enters its first sorted position there.
__global__ void fillHashTable(const unsigned int* cellStarts, const unsigned int* pointCellId,
                              unsigned int* const* tabKeys, unsigned int* const* tabAddress, unsigned int slot,
                              unsigned int hashTableSize, int cellCount)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= static_cast<unsigned int>(cellCount))
        return;
    const unsigned int first = cellStarts[i];
    const unsigned int key = pointCellId[first];
    const unsigned int bucket = key % hashTableSize;
    if (tabKeys[slot][bucket] == key)
        tabAddress[slot][bucket] = first;
}

__global__ void getCells(unsigned int* cells, const unsigned int* cellIndex, int numElements)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (!(i + 1 < static_cast<unsigned int>(numElements)))
        return;
    if (cellIndex[i + 1] != cellIndex[i])
        cells[cellIndex[i + 1]] = i + 1;
}
