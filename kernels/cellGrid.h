// The cell grid shared by the kernels and the driver: cell coordinates and keys, the hash table's shape, the phases.
#pragma once

#include <cuda_runtime.h>

#include <climits>
#include <cmath>

// Hash table: kBucketsPerCell buckets per occupied cell, kSlotsPerBucket slots per bucket.
constexpr unsigned int kBucketsPerCell = 4;
constexpr int kSlotsPerBucket = 5;
// A sample slot that holds no accepted candidate.
constexpr unsigned int kNoSample = 0xFFFFFFFFu;
// What a key slot holds before a cell takes it: above every key a cell can offer.
constexpr unsigned int kNoKey = 0xFFFFFFFFu;
// Cell coordinates modulo 3 on three axes; cells of one phase are never neighbours.
constexpr int kPhaseCount = 27;

// A sample slot of the cell hash table. During a selection launch a thread may read the slot of a cell of its own
// launch, a neighbour reached across the end of a row whose sample never lies within r, so the value it reads does
// not matter, while that cell's thread writes it. On the CPU road both sides are atomic, the write releasing the
// sample's position and the read acquiring it, so that this is no data race; on the GPU aligned words are whole.
__device__ inline unsigned int loadSample(const unsigned int* slot)
{
#if defined(__CUDA_ARCH__)
    return *slot;
#else
    return __atomic_load_n(slot, __ATOMIC_ACQUIRE);
#endif
}

__device__ inline void storeSample(unsigned int* slot, unsigned int sample)
{
#if defined(__CUDA_ARCH__)
    *slot = sample;
#else
    __atomic_store_n(slot, sample, __ATOMIC_RELEASE);
#endif
}

// Rounds toward minus infinity into the int range, saturating as the GPU's conversion does (NaN gives 0),
// so that out-of-range values behave the same in both builds.
__host__ __device__ inline int floorToInt(float value)
{
    const float f = floorf(value);
    if (f != f)
        return 0;
    if (f <= -2147483648.0f)
        return INT_MIN;
    if (f >= 2147483648.0f)
        return INT_MAX;
    return static_cast<int>(f);
}

// A coordinate's cell number along one axis; offsets below the grid's corner count as cell 0.
__host__ __device__ inline int cellCoordinate(float offset, float cellSize)
{
    return floorToInt(fmaxf(0.0f, offset) / cellSize);
}

// x runs fastest, then z, then y; the arithmetic wraps at 32 bits.
__host__ __device__ inline unsigned int cellKey(int cx, int cy, int cz, int stepZ, int stepY)
{
    return static_cast<unsigned int>(stepZ) * static_cast<unsigned int>(cz) +
           static_cast<unsigned int>(stepY) * static_cast<unsigned int>(cy) + static_cast<unsigned int>(cx);
}

// The grid a point is filed in.
struct GridFrame {
    float cellSize;
    float minX, minY, minZ;
    int stepZ, stepY;
};

// The key of the cell that holds the point.
__host__ __device__ inline unsigned int cellKeyOf(const GridFrame& grid, float x, float y, float z)
{
    return cellKey(cellCoordinate(x - grid.minX, grid.cellSize), cellCoordinate(y - grid.minY, grid.cellSize),
                   cellCoordinate(z - grid.minZ, grid.cellSize), grid.stepZ, grid.stepY);
}

// Phase of a cell from its coordinates, which are never negative.
__host__ __device__ inline unsigned int cellPhaseOf(int cx, int cy, int cz)
{
    return static_cast<unsigned int>(cx % 3 + 3 * (cz % 3) + 9 * (cy % 3));
}
