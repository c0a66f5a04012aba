// Finding a cell of the hash table by its key, and the cells around one: shared by the selection and by the density
// map's levels.
#pragma once

#include <cuda_runtime.h>

#include "cellGrid.h"

// The slot among the first `slots` of `bucket` that holds `key`, or `slots` when none does.
__device__ inline unsigned int slotOf(unsigned int* const* tabKeys, unsigned int bucket, unsigned int key,
                                      unsigned int slots)
{
    unsigned int slot = 0;
    while (slot < slots && tabKeys[slot][bucket] != key)
        ++slot;
    return slot;
}

// The slots of a bucket that cells have taken: its counter counts on past them when more cells hash to it.
__device__ inline unsigned int filledSlots(const unsigned int* bucketIndex, unsigned int bucket)
{
    const unsigned int count = bucketIndex[bucket];
    return count < static_cast<unsigned int>(kSlotsPerBucket) ? count : static_cast<unsigned int>(kSlotsPerBucket);
}

// The key of the cell at offset (dx, dy, dz), in 32-bit arithmetic that wraps: past the end of a row it names some
// other cell, whose points count only if they truly lie within the distance asked about.
__device__ inline unsigned int keyAt(unsigned int key, int dx, int dy, int dz, unsigned int stepZ, unsigned int stepY)
{
    return key + static_cast<unsigned int>(dz) * stepZ + static_cast<unsigned int>(dy) * stepY +
           static_cast<unsigned int>(dx);
}

// The cells of one row of the grid, keys firstKey, firstKey + 1, ..., and their buckets with one division for the row:
// consecutive keys fall in consecutive buckets, but where a key wrapped past 2^32.
struct RowBuckets {
    unsigned int firstKey;
    unsigned int firstBucket;
    unsigned int hashTableSize;

    __device__ RowBuckets(unsigned int first, unsigned int size)
        : firstKey(first), firstBucket(first % size), hashTableSize(size)
    {
    }

    __device__ unsigned int bucketOf(unsigned int j) const
    {
        const unsigned int key = firstKey + j;
        if (key < firstKey)
            return key % hashTableSize;
        const unsigned int bucket = firstBucket + j;
        return bucket >= hashTableSize ? bucket - hashTableSize : bucket;
    }
};
