#include <cuda_runtime.h>

#include "cellGrid.h"
#include "cellLookup.h"
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

// A candidate and the sample positions it is measured against.
struct Probe {
    float px, py, pz;
    float r;
    const float* radii;  // each sample's own radius; null where all share r
    const float* x;
    const float* y;
    const float* z;
};

// Exact: measured in double, so that with a strict radius no pair ends up closer than r through rounding.
// With radii of their own, a pair keeps the larger of its two radii.
template <bool Exact>
__device__ bool tooClose(const Probe& p, unsigned int q)
{
    const float r = p.radii != nullptr ? fmaxf(p.r, p.radii[q]) : p.r;
    if (!Exact) {
        const float ddy = p.y[q] - p.py;
        const float ddx = p.x[q] - p.px;
        const float ddz = p.z[q] - p.pz;
        const float dist = sqrtf(ddy * ddy + ddx * ddx + ddz * ddz);
        return r >= dist;
    }
    const double ddy = static_cast<double>(p.y[q]) - p.py;
    const double ddx = static_cast<double>(p.x[q]) - p.px;
    const double ddz = static_cast<double>(p.z[q]) - p.pz;
    return ddy * ddy + ddx * ddx + ddz * ddz <= static_cast<double>(r) * r;
}

// Whether the cell with key `nkey` holds a sample too close to the candidate. Only the filled slots of its bucket are
// searched, so an empty slot's key 0 never matches.
template <bool Exact>
__device__ bool sampleTooClose(const TableRefs& table, unsigned int nkey, const Probe& probe)
{
    const unsigned int nb = nkey % table.hashTableSize;
    const unsigned int filled = filledSlots(table.bucketIndex, nb);
    const unsigned int s = slotOf(table.tabKeys, nb, nkey, filled);
    if (s == filled)
        return false;
    const unsigned int q = readSample(&table.tabSamples[s][nb]);
    return q != kNoSample && tooClose<Exact>(probe, q);
}

// Whether a sample of one of the 26 neighbouring cells is too close.
template <bool Exact>
__device__ bool neighbourTooClose(const TableRefs& table, unsigned int key, unsigned int stepZ, unsigned int stepY,
                                  const Probe& probe)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz)
            for (int dx = -1; dx <= 1; ++dx) {
                const unsigned int nkey = keyAt(key, dx, dy, dz, stepZ, stepY);
                if (nkey != key && sampleTooClose<Exact>(table, nkey, probe))
                    return true;
            }
    return false;
}

// The cells two steps away on one axis, then on two, then on three, the nearest first: with the 26 neighbours, every
// cell that can hold a point closer than r. The far corners' points are r apart only in exact arithmetic, and a point
// near a cell's face may be filed in the next cell, so they are tested too. Other cells of the phase, decided in the
// same launch, lie three cells away on some axis, more than r: the result does not depend on timing.
__device__ bool farNeighbourTooClose(const TableRefs& table, unsigned int key, unsigned int stepZ, unsigned int stepY,
                                     const Probe& probe)
{
    for (int farAxes = 1; farAxes <= 3; ++farAxes)
        for (int dy = -2; dy <= 2; ++dy)
            for (int dz = -2; dz <= 2; ++dz)
                for (int dx = -2; dx <= 2; ++dx) {
                    if ((dx * dx == 4) + (dy * dy == 4) + (dz * dz == 4) == farAxes &&
                        sampleTooClose<true>(table, keyAt(key, dx, dy, dz, stepZ, stepY), probe))
                        return true;
                }
    return false;
}

}  // namespace

// One thread per cell of one phase: offer the cell's candidate number t unless the cell already has a sample.
// Candidates may bring radii of their own (null: all have r) and be blocked from the start (null: none is); a radius
// of their own never exceeds the one the grid's cells were made for, so the phases keep a launch race-free with them.
__global__ void chooseSamplesInCells(const unsigned int* cellIndexes, unsigned int rangeStart, unsigned int cellCount,
                                     const unsigned int* bucketIndex, unsigned int* const* tabKeys,
                                     unsigned int* const* tabAddress, unsigned int* const* tabSamples,
                                     unsigned int stepZ, unsigned int stepY, short t, float r, const float* x,
                                     const float* y, const float* z, const unsigned int* pointCellIds,
                                     const unsigned int* map, unsigned int hashTableSize, int randomsNumber,
                                     bool strictRadius, const float* candidateRadii,
                                     const unsigned int* blockedCandidates)
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
    if (blockedCandidates != nullptr && blockedCandidates[cand] != 0)
        return;  // too close to a point decided before this launch
    const TableRefs table = {bucketIndex, tabKeys, tabSamples, hashTableSize};
    const float own = candidateRadii != nullptr ? candidateRadii[cand] : r;
    const Probe probe = {x[cand], y[cand], z[cand], own, candidateRadii, x, y, z};
    const bool rejected = strictRadius ? neighbourTooClose<true>(table, key, stepZ, stepY, probe) ||
                                             farNeighbourTooClose(table, key, stepZ, stepY, probe)
                                       : neighbourTooClose<false>(table, key, stepZ, stepY, probe);
    if (rejected)
        return;
    writeSample(&tabSamples[slot][bucket], cand);
}
