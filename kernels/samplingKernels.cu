#include <cuda_runtime.h>

#include "cellGrid.h"
#include "kyScatterPointsKernels.h"
#include "triangle.h"

__global__ void calculateArea(const float* points, const int* triIds, float* areas, int numTris)
{
    const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
    if (t >= static_cast<unsigned int>(numTris))
        return;
    areas[t] = triangleArea(points + 3 * triIds[3 * t], points + 3 * triIds[3 * t + 1], points + 3 * triIds[3 * t + 2]);
}

// Triangle i owns [cumulativeArea[i-1], cumulativeArea[i]); a value on a boundary belongs to the next triangle. The
// answer is how many of the first triCount - 1 entries the value reaches, so a value at or past the last entry (a
// random number of exactly 1, or NaN) closes the last triangle's interval. The window halves without a branch on the
// comparison: the search's branches were mispredicted half the time, and on a GPU the threads of a warp stay together.
__device__ int getTriIndex(const float* cumulativeArea, int triCount, float random, float totalArea)
{
    if (triCount == 1)
        return 0;
    const float value = totalArea * random;
    int base = 0;
    int len = triCount - 1;
    while (len > 1) {
        const int half = len / 2;
        base += value < cumulativeArea[base + half - 1] ? 0 : half;
        len -= half;
    }
    return base + (value < cumulativeArea[base] ? 0 : 1);
}

__global__ void generateRandomPoints(const float* randoms, float* x, float* y, float* z, float* u, float* v, int* triId,
                                     unsigned int* cellId, const float* meshPoints, const int* triIds,
                                     const float* cumulativeArea, float totalArea, int triCount, int numElements,
                                     float cellSize, float bboxMinX, float bboxMinY, float bboxMinZ, int stepZ,
                                     int stepY)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (i >= numElements)
        return;
    const int tri = getTriIndex(cumulativeArea, triCount, randoms[i], totalArea);
    triId[i] = tri;
    const float* a = meshPoints + 3 * triIds[3 * tri];
    const float* b = meshPoints + 3 * triIds[3 * tri + 1];
    const float* c = meshPoints + 3 * triIds[3 * tri + 2];

    // One random array feeds all three draws: r0 here, r1 and r2 from shifted and mirrored indices.
    const int j = (i + 1) % numElements;
    const float s = sqrtf(randoms[j]);
    const float r2 = randoms[numElements - 1 - j];
    const float wu = 1.0f - s;
    const float wv = s * r2;
    u[i] = wu;
    v[i] = wv;

    float p[3];
    for (int axis = 0; axis < 3; ++axis) {
        const float alongB = (b[axis] - a[axis]) * wu + a[axis];
        p[axis] = alongB + (c[axis] - a[axis]) * wv;
    }
    x[i] = p[0];
    y[i] = p[1];
    z[i] = p[2];

    const int cx = cellCoordinate(p[0] - bboxMinX, cellSize);
    const int cy = cellCoordinate(p[1] - bboxMinY, cellSize);
    const int cz = cellCoordinate(p[2] - bboxMinZ, cellSize);
    cellId[i] = cellKey(cx, cy, cz, stepZ, stepY);
}
