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

// Candidate i's cell key and trial key, all the layout keeps of it.
__global__ void keyStableCandidates(StrataView strata, GridFrame grid, int numElements, unsigned int* cellId,
                                    unsigned int* trialKey)
{
    const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
    if (i >= numElements)
        return;
    const unsigned int cand = static_cast<unsigned int>(i);
    const int tri = triangleOfCandidate(strata, cand);
    const StratumPoint point = stratumPoint(strata, grid, tri, cand - strata.offsets[tri], 0u);
    cellId[i] = point.cellKey;
    trialKey[i] = point.trialKey;
}

// One thread per occupied cell: its key, and, for the first cell of a run, the run into the index at the first free
// slot from where the run hashes. Which slot a run takes depends on the threads' timing; the cell it finds does not.
__global__ void indexStableCells(StableCells cells, const unsigned int* sortedKeys)
{
    const unsigned int c = blockIdx.x * blockDim.x + threadIdx.x;
    if (c >= cells.cellCount)
        return;
    const unsigned int key = sortedKeys[cells.starts[c]];
    cells.keys[c] = key;
    const unsigned int run = key / kIndexRun;
    if (c > 0 && sortedKeys[cells.starts[c - 1]] / kIndexRun == run)
        return;
    for (unsigned int slot = indexSlotOf(run, cells.indexSize);; slot = slot + 1 == cells.indexSize ? 0 : slot + 1)
        if (atomicCAS(&cells.index[2 * slot], kNoKey, run) == kNoKey) {
            cells.index[2 * slot + 1] = c;
            return;
        }
}

// One thread per occupied cell: its phase, from the coordinates its first candidate's key was made of.
__global__ void phaseStableCells(StableCells cells, StrataView strata, GridFrame grid, unsigned int* cellPhase)
{
    const unsigned int c = blockIdx.x * blockDim.x + threadIdx.x;
    if (c >= cells.cellCount)
        return;
    const unsigned int first = cells.starts[c];
    StratumPoint point;
    drawOfCandidate(strata, grid, cells.map[first], 0u, cells.keys[c], point);
    cellPhase[c] = cellPhaseOf(cellCoordinate(point.p[0] - grid.minX, grid.cellSize),
                               cellCoordinate(point.p[1] - grid.minY, grid.cellSize),
                               cellCoordinate(point.p[2] - grid.minZ, grid.cellSize));
}

// One thread per occupied cell: its number where it keeps a sample, else kNoSample.
__global__ void listKeptCells(StableCells cells, unsigned int* kept)
{
    const unsigned int c = blockIdx.x * blockDim.x + threadIdx.x;
    if (c >= cells.cellCount)
        return;
    kept[c] = cells.sample[c] != kNoSample ? c : kNoSample;
}

// One thread per kept cell: its sample's candidate number, triangle and weights, drawn again from its stratum.
__global__ void stableSampleSurface(const unsigned int* kept, unsigned int sampleCount, StableCells cells,
                                    StrataView strata, GridFrame grid, unsigned int* ids, int* triId, float* u,
                                    float* v)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= sampleCount)
        return;
    const unsigned int c = kept[i];
    const unsigned int cand = cells.sample[c];
    const int tri = triangleOfCandidate(strata, cand);
    const StratumPoint point = stratumPoint(strata, grid, tri, cand - strata.offsets[tri], cells.sampleDraw[c]);
    ids[i] = cand;
    triId[i] = tri;
    u[i] = point.wu;
    v[i] = point.wv;
}
