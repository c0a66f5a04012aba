#include <cuda_runtime.h>

#include "cellGrid.h"
#include "kyScatterPointsKernels.h"

// One thread per slot of the table, in table order: buckets ascending, slots ascending within a bucket.
__global__ void flattenSamples(unsigned int* const* tabSamples, unsigned int hashTableSize, unsigned int* samples)
{
    const unsigned long long e = static_cast<unsigned long long>(blockIdx.x) * blockDim.x + threadIdx.x;
    if (e >= static_cast<unsigned long long>(hashTableSize) * kSlotsPerBucket)
        return;
    const unsigned int bucket = static_cast<unsigned int>(e / kSlotsPerBucket);
    const unsigned int slot = static_cast<unsigned int>(e % kSlotsPerBucket);
    samples[e] = tabSamples[slot][bucket];
}

// One thread per accepted sample: the key of its cell, as the candidate was filed.
__global__ void sampleCellKeys(const unsigned int* samples, unsigned int sampleCount, const float* x, const float* y,
                               const float* z, float cellSize, float bboxMinX, float bboxMinY, float bboxMinZ,
                               int stepZ, int stepY, unsigned int* keys)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= sampleCount)
        return;
    const unsigned int cand = samples[i];
    const GridFrame grid = {cellSize, bboxMinX, bboxMinY, bboxMinZ, stepZ, stepY};
    keys[i] = cellKeyOf(grid, x[cand], y[cand], z[cand]);
}

// One thread per accepted sample: its position, x, y and z in a row.
__global__ void gatherSamples(const unsigned int* samples, unsigned int sampleCount, const float* x, const float* y,
                              const float* z, float* points)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= sampleCount)
        return;
    const unsigned int cand = samples[i];
    points[3ull * i] = x[cand];
    points[3ull * i + 1] = y[cand];
    points[3ull * i + 2] = z[cand];
}

// One thread per accepted sample: what it lies on, its triangle and weights.
__global__ void gatherSurfaceSamples(const unsigned int* samples, unsigned int sampleCount, const int* triId,
                                     const float* u, const float* v, int* sampleTriId, float* sampleU, float* sampleV)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= sampleCount)
        return;
    const unsigned int cand = samples[i];
    sampleTriId[i] = triId[cand];
    sampleU[i] = u[cand];
    sampleV[i] = v[cand];
}
