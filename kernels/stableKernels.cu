// The stable candidate layout: every triangle draws its own candidates, as many as its area asks for, one in each of
// its strata (strata.h), so that an edit elsewhere in the mesh moves none of them.
#include <cuda_runtime.h>

#include "kyScatterPointsKernels.h"
#include "strata.h"

namespace {

// The largest strata side whose square still fits a signed 32-bit count.
constexpr unsigned int kMaxStrataSide = 46340;

}  // namespace

// m * m candidates for a strata side m whose square is, on average, the triangle's area times perArea: the side is
// rounded up or down by the triangle's own random number.
__global__ void countStableCandidates(const float* points, const int* triIds, int triCount, float perArea,
                                      unsigned int seed, unsigned int* counts)
{
    const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
    if (t >= static_cast<unsigned int>(triCount))
        return;
    const float wanted =
        triangleArea(points + 3 * triIds[3 * t], points + 3 * triIds[3 * t + 1], points + 3 * triIds[3 * t + 2]) *
        perArea;
    if (!(wanted < static_cast<float>(kMaxStrataSide * kMaxStrataSide))) {
        counts[t] = kMaxStrataSide * kMaxStrataSide;
        return;
    }
    const unsigned int below = exactSqrt(static_cast<unsigned int>(wanted));
    const float up = (wanted - static_cast<float>(below * below)) / static_cast<float>(2 * below + 1);
    const unsigned int side = below + (unitFloat(stableDraw(seed, t, 0u, 1u, 0u).x) < up ? 1u : 0u);
    counts[t] = side * side;
}

// A triangle that draws candidates writes its number at its first one: a running maximum then gives every candidate
// its triangle.
__global__ void markTriangleStarts(const unsigned int* counts, const unsigned int* offsets, int triCount, int* triId)
{
    const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
    if (t >= static_cast<unsigned int>(triCount) || counts[t] == 0)
        return;
    triId[offsets[t]] = static_cast<int>(t);
}

// Candidate i is draw 0 of stratum k = i - offsets[t] of its triangle t.
__global__ void placeStableCandidates(StrataView strata, GridFrame grid, int numElements, const int* triId, float* x,
                                      float* y, float* z, float* u, float* v, unsigned int* cellId,
                                      unsigned int* trialKey)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (i >= numElements)
        return;
    const int tri = triId[i];
    const StratumPoint point = stratumPoint(strata, grid, tri, static_cast<unsigned int>(i) - strata.offsets[tri], 0u);
    x[i] = point.p[0];
    y[i] = point.p[1];
    z[i] = point.p[2];
    u[i] = point.wu;
    v[i] = point.wv;
    cellId[i] = point.cellKey;
    trialKey[i] = point.trialKey;
}
