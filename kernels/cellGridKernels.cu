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

// The caller enters the cell that starts at position 0 before the launch.
__global__ void fillHashTable(const unsigned int* pointCellId, unsigned int* tabBucketIndex, unsigned int* const* tabKeys,
                              unsigned int* const* tabAddress, unsigned int hashTableSize, int numElements)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (!(i + 1 < static_cast<unsigned int>(numElements)))
        return;
    const unsigned int key = pointCellId[i + 1];
    if (pointCellId[i] == key)
        return;
    const unsigned int bucket = key % hashTableSize;
    const unsigned int slot = atomicAdd(&tabBucketIndex[bucket], 1u);
    if (slot >= static_cast<unsigned int>(kSlotsPerBucket))
        return;  // bucket full: the cell stays out of the table
    tabKeys[slot][bucket] = key;
    tabAddress[slot][bucket] = i + 1;
}

__global__ void getCells(unsigned int* cells, const unsigned int* cellIndex, int numElements)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (!(i + 1 < static_cast<unsigned int>(numElements)))
        return;
    if (cellIndex[i + 1] != cellIndex[i])
        cells[cellIndex[i + 1]] = i + 1;
}
