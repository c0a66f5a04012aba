#include <cuda_runtime.h>

#include "cellGrid.h"
#include "cellLookup.h"
#include "kyScatterPointsKernels.h"
#include "strata.h"

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

// The cell hash table as the selection reads it: a row of cells at a time, and the sample of the cell j steps along
// the row (kNoSample where there is none).
struct TableRefs {
    const unsigned int* bucketIndex;
    unsigned int* const* tabKeys;
    unsigned int* const* tabSamples;
    unsigned int hashTableSize;

    __device__ RowBuckets row(unsigned int firstKey) const { return RowBuckets(firstKey, hashTableSize); }
    __device__ unsigned int sampleAt(const RowBuckets& row, unsigned int j) const;
};

// The cell a selection thread decides: its first sorted position, its key, and its own slot in the table.
struct OwnSlot {
    unsigned int first, key, bucket, slot;
};

// False when the cell was turned away from the table. All five slots of its bucket are searched, whatever the
// bucket's counter says.
__device__ inline bool findOwnSlot(unsigned int first, const unsigned int* pointCellIds, unsigned int* const* tabKeys,
                                   unsigned int hashTableSize, OwnSlot& own)
{
    own.first = first;
    own.key = pointCellIds[first];
    own.bucket = own.key % hashTableSize;
    own.slot = slotOf(tabKeys, own.bucket, own.key, kSlotsPerBucket);
    return own.slot != static_cast<unsigned int>(kSlotsPerBucket);
}

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

// The sample of the cell with key `nkey` in `bucket`, or kNoSample. Only the filled slots of its bucket are searched,
// so an empty slot's key never matches.
__device__ inline unsigned int sampleIn(const TableRefs& table, unsigned int nkey, unsigned int bucket)
{
    const unsigned int filled = filledSlots(table.bucketIndex, bucket);
    const unsigned int s = slotOf(table.tabKeys, bucket, nkey, filled);
    return s == filled ? kNoSample : loadSample(&table.tabSamples[s][bucket]);
}

__device__ inline unsigned int TableRefs::sampleAt(const RowBuckets& row, unsigned int j) const
{
    return sampleIn(*this, row.firstKey + j, row.bucketOf(j));
}

// The stable layout's cells as the selection reads them, like the table: the sample found is the number of the cell
// that keeps it, whose place the cells hold.
struct StableLookup {
    StableCells cells;

    struct Row {
        unsigned int firstKey;
    };

    __device__ Row row(unsigned int firstKey) const { return {firstKey}; }
    __device__ unsigned int sampleAt(const Row& row, unsigned int j) const
    {
        const unsigned int c = stableCellOf(cells, row.firstKey + j);
        return c == kNoSample || loadSample(&cells.sample[c]) == kNoSample ? kNoSample : c;
    }
};

// Whether the cell j steps along `row` holds a sample too close to the candidate.
template <bool Exact, typename Cells, typename Row>
__device__ bool sampleTooClose(const Cells& cells, const Row& row, unsigned int j, const Probe& probe)
{
    const unsigned int q = cells.sampleAt(row, j);
    return q != kNoSample && tooClose<Exact>(probe, q);
}

// Whether a sample of one of the 26 neighbouring cells is too close. Row by row, x fastest.
template <bool Exact, typename Cells>
__device__ bool neighbourTooClose(const Cells& cells, unsigned int key, unsigned int stepZ, unsigned int stepY,
                                  const Probe& probe)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
            const auto row = cells.row(keyAt(key, -1, dy, dz, stepZ, stepY));
            for (unsigned int j = 0; j < 3; ++j)
                if (row.firstKey + j != key && sampleTooClose<Exact>(cells, row, j, probe))
                    return true;
        }
    return false;
}

// The cells two steps away on one axis, then on two, then on three, the nearest first: with the 26 neighbours, every
// cell that can hold a point closer than r. The far corners' points are r apart only in exact arithmetic, and a point
// near a cell's face may be filed in the next cell, so they are tested too. Other cells of the phase, decided in the
// same launch, lie three cells away on some axis, more than r: the result does not depend on timing.
template <typename Cells>
__device__ bool farNeighbourTooClose(const Cells& cells, unsigned int key, unsigned int stepZ, unsigned int stepY,
                                     const Probe& probe)
{
    for (int farAxes = 1; farAxes <= 3; ++farAxes)
        for (int dy = -2; dy <= 2; ++dy)
            for (int dz = -2; dz <= 2; ++dz) {
                // The axes two steps away that x must add: none (x one step or none away), one (x two away), or
                // more than x can give, and then the row has no such cell.
                const int alongX = farAxes - (dy * dy == 4) - (dz * dz == 4);
                if (alongX < 0 || alongX > 1)
                    continue;
                const auto row = cells.row(keyAt(key, -2, dy, dz, stepZ, stepY));
                for (int dx = -2; dx <= 2; ++dx)
                    if ((dx * dx == 4) == (alongX == 1) &&
                        sampleTooClose<true>(cells, row, static_cast<unsigned int>(dx + 2), probe))
                        return true;
            }
    return false;
}

// Whether a sample of a cell that can hold a point closer than r rejects the candidate: the 26 neighbours, and with a
// strict radius the cells two steps away as well.
template <typename Cells>
__device__ inline bool neighbourRejects(const Cells& cells, unsigned int key, unsigned int stepZ, unsigned int stepY,
                                        const Probe& probe, bool strictRadius)
{
    return strictRadius ? neighbourTooClose<true>(cells, key, stepZ, stepY, probe) ||
                              farNeighbourTooClose(cells, key, stepZ, stepY, probe)
                        : neighbourTooClose<false>(cells, key, stepZ, stepY, probe);
}

// The samples near a cell, gathered once for all the trials of its candidates and their strata's further draws: a
// cell's trials would otherwise each look up the same cells. Covered: a sample lies within r of the whole cell, so
// that no further draw can fit.
constexpr int kNearbyCapacity = 64;

struct Nearby {
    unsigned int samples[kNearbyCapacity];  // the numbers of the cells that keep them
    int count;
    bool overflow;  // more than fit: the trials look the cells up themselves
    bool covered;
};

// Whether the sample of cell q lies within r of every corner of the cell whose lowest corner is lo.
__device__ bool coversCell(const StableCells& cells, unsigned int q, const float lo[3], float cellSize, float r)
{
    const float p[3] = {cells.x[q], cells.y[q], cells.z[q]};
    double farthest = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double below = static_cast<double>(p[axis]) - lo[axis];
        const double above = static_cast<double>(lo[axis]) + cellSize - p[axis];
        const double d = fmax(fabs(below), fabs(above));
        farthest += d * d;
    }
    return farthest <= static_cast<double>(r) * r;
}

// The lowest corner of the cell that holds point p.
__device__ inline void cellCorner(const GridFrame& g, const float p[3], float lo[3])
{
    lo[0] = g.minX + g.cellSize * static_cast<float>(cellCoordinate(p[0] - g.minX, g.cellSize));
    lo[1] = g.minY + g.cellSize * static_cast<float>(cellCoordinate(p[1] - g.minY, g.cellSize));
    lo[2] = g.minZ + g.cellSize * static_cast<float>(cellCoordinate(p[2] - g.minZ, g.cellSize));
}

// A cell of the stable layout and what its trials read.
struct CellTrials {
    StableLookup lookup;
    StrataView strata;
    GridFrame grid;
    unsigned int key;
    unsigned int first, end;  // the cell's sorted positions
    float r;
    bool strictRadius;
};

// Takes the sample of cell q, if it keeps one and is not the cell itself.
__device__ void gatherCell(const CellTrials& cell, unsigned int q, const float lo[3], Nearby& nearby)
{
    const StableCells& cells = cell.lookup.cells;
    if (cells.keys[q] == cell.key || loadSample(&cells.sample[q]) == kNoSample)
        return;
    nearby.covered = nearby.covered || coversCell(cells, q, lo, cell.grid.cellSize, cell.r);
    nearby.overflow = nearby.overflow || nearby.count == kNearbyCapacity;
    if (!nearby.overflow)
        nearby.samples[nearby.count++] = q;
}

// The occupied cells with keys from `first` to `last`, ascending and not wrapped past 2^32: consecutive cells.
__device__ void gatherSpan(const CellTrials& cell, unsigned int first, unsigned int last, const float lo[3],
                           Nearby& nearby)
{
    const StableCells& cells = cell.lookup.cells;
    for (unsigned int q = firstCellFrom(cells, first, last); q < cells.cellCount && cells.keys[q] <= last; ++q)
        gatherCell(cell, q, lo, nearby);
}

// Every cell that can hold a point closer than r: the 26 neighbours, and with a strict radius the cells two steps
// away too, a row of the grid at a time. All of them are gathered, whether or not one covers the cell, so that every
// trial is measured against exactly the samples the lookups would give it.
__device__ void gatherNearby(const CellTrials& cell, const float lo[3], Nearby& nearby)
{
    const unsigned int stepZ = static_cast<unsigned int>(cell.grid.stepZ);
    const unsigned int stepY = static_cast<unsigned int>(cell.grid.stepY);
    const int reach = cell.strictRadius ? 2 : 1;
    nearby = Nearby{{}, 0, false, false};
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dz = -reach; dz <= reach; ++dz) {
            const unsigned int first = keyAt(cell.key, -reach, dy, dz, stepZ, stepY);
            const unsigned int last = first + static_cast<unsigned int>(2 * reach);
            if (last >= first) {
                gatherSpan(cell, first, last, lo, nearby);
                continue;
            }
            // The row's keys wrap past 2^32 as keyAt's do: both ends of the key range.
            gatherSpan(cell, first, 0xFFFFFFFFu, lo, nearby);
            gatherSpan(cell, 0u, last, lo, nearby);
        }
}

// The same answer as neighbourRejects over the same cells, from the gathered samples.
__device__ bool nearbyRejects(const Nearby& nearby, const Probe& probe, bool strictRadius)
{
    for (int n = 0; n < nearby.count; ++n)
        if (strictRadius ? tooClose<true>(probe, nearby.samples[n]) : tooClose<false>(probe, nearby.samples[n]))
            return true;
    return false;
}

// One round over the cell's candidates in trial order: the candidates themselves (draw 0) or their strata's draw
// `draw`, measured against the nearby samples, or through the lookups when there were more than fit. The first that
// fits, or kNoSample.
__device__ unsigned int firstFit(const CellTrials& cell, unsigned int draw, const Nearby& nearby, StratumPoint& point)
{
    const unsigned int stepZ = static_cast<unsigned int>(cell.grid.stepZ);
    const unsigned int stepY = static_cast<unsigned int>(cell.grid.stepY);
    const StableCells& cells = cell.lookup.cells;
    for (unsigned int a = cell.first; a < cell.end; ++a) {
        const unsigned int cand = cells.map[a];
        if (!drawOfCandidate(cell.strata, cell.grid, cand, draw, cell.key, point))
            continue;
        const Probe probe = {point.p[0], point.p[1], point.p[2], cell.r, nullptr, cells.x, cells.y, cells.z};
        const bool rejected = !nearby.overflow
                                  ? nearbyRejects(nearby, probe, cell.strictRadius)
                                  : neighbourRejects(cell.lookup, cell.key, stepZ, stepY, probe, cell.strictRadius);
        if (!rejected)
            return cand;
    }
    return kNoSample;
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
    OwnSlot own;
    if (i >= cellCount || !findOwnSlot(cellIndexes[rangeStart + i], pointCellIds, tabKeys, hashTableSize, own))
        return;  // no cell, or one turned away from the table
    const unsigned int key = own.key, bucket = own.bucket, slot = own.slot;
    if (loadSample(&tabSamples[slot][bucket]) != kNoSample)
        return;

    const unsigned int a = static_cast<unsigned int>(static_cast<int>(t)) + tabAddress[slot][bucket];
    if (a >= static_cast<unsigned int>(randomsNumber) || pointCellIds[a] != key)
        return;  // the cell has no candidate number t
    const unsigned int cand = map[a];
    if (blockedCandidates != nullptr && blockedCandidates[cand] != 0)
        return;  // too close to a point decided before this launch
    const TableRefs table = {bucketIndex, tabKeys, tabSamples, hashTableSize};
    const float ownRadius = candidateRadii != nullptr ? candidateRadii[cand] : r;
    const Probe probe = {x[cand], y[cand], z[cand], ownRadius, candidateRadii, x, y, z};
    if (neighbourRejects(table, key, stepZ, stepY, probe, strictRadius))
        return;
    storeSample(&tabSamples[slot][bucket], cand);
}

// One thread per cell of one phase, stable layout: the cell tries the points of its candidates' strata in turn, every
// candidate in trial order, then every stratum's next draw, and keeps the first that no sample near it rejects, with
// its place. Like the kernel above it reads only samples of cells of other phases, decided in earlier launches, and
// writes only its own cell's, and every point it tries lies in its cell: the result does not depend on timing.
__global__ void chooseSamplesInTurn(const unsigned int* phaseCells, unsigned int rangeStart, unsigned int cellCount,
                                    StableCells cells, StrataView strata, GridFrame grid, float r, bool strictRadius,
                                    unsigned int draws)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= cellCount)
        return;
    const unsigned int c = phaseCells[rangeStart + i];
    const unsigned int first = cells.starts[c];
    const unsigned int end = c + 1 < cells.cellCount ? cells.starts[c + 1] : cells.candidateCount;
    const CellTrials cell = {{cells}, strata, grid, cells.keys[c], first, end, r, strictRadius};
    StratumPoint point;
    drawOfCandidate(strata, grid, cells.map[first], 0, cell.key, point);
    float lo[3];
    cellCorner(grid, point.p, lo);
    Nearby nearby;
    gatherNearby(cell, lo, nearby);
    unsigned int cand = kNoSample, draw = 0;
    for (; draw < draws && cand == kNoSample && (draw == 0 || !nearby.covered); ++draw)
        cand = firstFit(cell, draw, nearby, point);
    if (cand == kNoSample)
        return;
    cells.x[c] = point.p[0];
    cells.y[c] = point.p[1];
    cells.z[c] = point.p[2];
    cells.sampleDraw[c] = draw - 1;
    storeSample(&cells.sample[c], cand);
}
