// The stages of the stable candidate layout (stableLayout.h).
#include "stableLayout.h"

#include <cuda_runtime.h>

#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/gather.h>
#include <thrust/reduce.h>
#include <thrust/remove.h>
#include <thrust/scan.h>
#include <thrust/sequence.h>
#include <thrust/sort.h>

#include <cfloat>
#include <cmath>
#include <iostream>

#include "../kernels/kyScatterPointsKernels.h"

namespace {

// How many times the density is lowered towards candidateCount before the layout gives up and draws none.
constexpr int kThinningAttempts = 16;

// Every triangle's count at `perArea` candidates per unit of area, and their total, added up exactly.
bool countAt(const DeviceTriangles& mesh, float perArea, unsigned int seed, StrataArrays& strata,
             unsigned long long& total)
{
    if (!launchChecked({"countStableCandidates", "Failed to launch countStableCandidates kernel, error code: ",
                        blocksFor(mesh.triCount, 64), 64},
                       countStableCandidates, mesh.points, mesh.triIds, mesh.triCount, perArea, seed,
                       raw(strata.counts)))
        return false;
    total = thrust::reduce(strata.counts.begin(), strata.counts.end(), 0ull, thrust::plus<unsigned long long>());
    return true;
}

// The most candidates the layout may draw: kStableCandidatesPerCount for each of candidateCount, as many as the
// cell stages can number.
unsigned long long stableBound(const ScatterSettings& settings)
{
    const unsigned long long bound =
        kStableCandidatesPerCount * static_cast<unsigned long long>(settings.candidateCount);
    return bound < static_cast<unsigned long long>(kMaxCandidateCount) ? bound : kMaxCandidateCount;
}

void warnThinned(unsigned long long needed, const ScatterSettings& settings, unsigned long long drawn)
{
    const unsigned long long perCount = kStableCandidatesPerCount;
    std::cerr << "WARNING the stable layout needs " << needed << " candidates at radius " << settings.radius
              << ", more than the " << stableBound(settings) << " candidateCount " << settings.candidateCount
              << " lets it draw: it draws " << drawn
              << ", fewer on every triangle, so the points are sparser and an edit anywhere can move them all; raise "
                 "candidateCount to at least "
              << (needed + perCount - 1) / perCount << " to keep them stable" << std::endl;
}

// The counts at the layout's density where candidateCount holds them; otherwise at the density, lowered in steps,
// whose candidates fit. Returns the total.
ScatterStatus countCandidates(const DeviceTriangles& mesh, const ScatterSettings& settings, StrataArrays& strata,
                              unsigned int& total)
{
    const ScatterStatus budget = budgetFor(8ull * static_cast<unsigned long long>(mesh.triCount));
    if (budget != ScatterStatus::ok)
        return budget;
    strata.counts.resize(mesh.triCount, 0u);
    const double radius = settings.radius;
    double perArea = std::fmin(kStableCandidatesPerSquareRadius / (radius * radius), FLT_MAX);
    const unsigned long long bound = stableBound(settings);
    unsigned long long needed = 0, drawn = 0;
    for (int attempt = 0;; ++attempt) {
        if (!countAt(mesh, static_cast<float>(perArea), static_cast<unsigned int>(settings.seed), strata, drawn))
            return ScatterStatus::failed;
        needed = attempt == 0 ? drawn : needed;
        if (drawn <= bound)
            break;
        // Counts grow with the density, and none is drawn at zero: the steps end.
        perArea = attempt < kThinningAttempts ? perArea * 0.99 * static_cast<double>(bound) / drawn : 0.0;
    }
    if (needed > bound)
        warnThinned(needed, settings, drawn);
    total = static_cast<unsigned int>(drawn);
    strata.offsets.resize(mesh.triCount, 0u);
    thrust::exclusive_scan(strata.counts.begin(), strata.counts.end(), strata.offsets.begin(), 0u,
                           thrust::plus<unsigned int>());
    return ScatterStatus::ok;
}

StrataView viewOfStrata(const StrataArrays& strata, const ScatterSettings& settings)
{
    return {strata.meshPoints,
            strata.triIds,
            thrust::raw_pointer_cast(strata.counts.data()),
            thrust::raw_pointer_cast(strata.offsets.data()),
            static_cast<unsigned int>(settings.seed),
            static_cast<int>(strata.counts.size())};
}

GridFrame frameOf(const ScatterGrid& grid)
{
    return {grid.cellSize, grid.minX, grid.minY, grid.minZ, grid.stepZ, grid.stepY};
}

}  // namespace

ScatterStatus layStableCandidates(const DeviceTriangles& mesh, const ScatterGrid& grid, const ScatterSettings& settings,
                                  CandidateArrays& c)
{
    unsigned int total = 0;
    const ScatterStatus status = countCandidates(mesh, settings, c.strata, total);
    if (status != ScatterStatus::ok || total == 0)
        return status;
    return placeCountedCandidates(mesh, grid, settings, total, c);
}

ScatterStatus placeCountedCandidates(const DeviceTriangles& mesh, const ScatterGrid& grid,
                                     const ScatterSettings& settings, unsigned int total, CandidateArrays& c)
{
    const ScatterStatus status = budgetFor(32ull * total);
    if (status != ScatterStatus::ok)
        return status;
    allocateCandidates(static_cast<int>(total), c);
    c.trialKey.resize(total, 0u);
    c.strata.meshPoints = mesh.points;
    c.strata.triIds = mesh.triIds;
    if (!launchChecked({"markTriangleStarts", "Failed to launch markTriangleStarts kernel, error code: ",
                        blocksFor(mesh.triCount, 64), 64},
                       markTriangleStarts, raw(c.strata.counts), raw(c.strata.offsets), mesh.triCount, raw(c.triId)))
        return ScatterStatus::failed;
    thrust::inclusive_scan(c.triId.begin(), c.triId.end(), c.triId.begin(), thrust::maximum<int>());
    if (!launchChecked({"placeStableCandidates", "Failed to launch placeStableCandidates kernel, error code: ",
                        blocksFor(c.count, 64), 64},
                       placeStableCandidates, viewOfStrata(c.strata, settings), frameOf(grid), c.count, raw(c.triId),
                       raw(c.x), raw(c.y), raw(c.z), raw(c.u), raw(c.v), raw(c.cellId), raw(c.trialKey)))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}

ScatterStatus layStableKeys(const DeviceTriangles& mesh, const ScatterGrid& grid, const ScatterSettings& settings,
                            CandidateArrays& c)
{
    unsigned int total = 0;
    ScatterStatus status = countCandidates(mesh, settings, c.strata, total);
    if (status != ScatterStatus::ok || total == 0)
        return status;
    status = budgetFor(8ull * total);
    if (status != ScatterStatus::ok)
        return status;
    c.count = static_cast<int>(total);
    c.cellId.resize(total, 0u);
    c.trialKey.resize(total, 0u);
    c.strata.meshPoints = mesh.points;
    c.strata.triIds = mesh.triIds;
    if (!launchChecked({"keyStableCandidates", "Failed to launch keyStableCandidates kernel, error code: ",
                        blocksFor(c.count, 64), 64},
                       keyStableCandidates, viewOfStrata(c.strata, settings), frameOf(grid), c.count, raw(c.cellId),
                       raw(c.trialKey)))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}

void orderByTrialKey(CandidateArrays& c, thrust::device_vector<unsigned int>& map)
{
    thrust::stable_sort_by_key(c.trialKey.begin(), c.trialKey.end(), map.begin(), thrust::less<unsigned int>());
    // The sorted trial keys are spent: their storage takes the cell keys in the new order.
    thrust::gather(map.begin(), map.end(), c.cellId.begin(), c.trialKey.begin());
    c.cellId.swap(c.trialKey);
    thrust::device_vector<unsigned int>().swap(c.trialKey);
}

namespace {

// The occupied cells of candidates laid by layStableKeys, found through an index of their own, and the sample each
// keeps with its place.
struct StableIndex {
    thrust::device_vector<unsigned int> keys;   // each cell's key
    thrust::device_vector<unsigned int> slots;  // the index: a run of keys and its first cell's number in each slot
    thrust::device_vector<unsigned int> sample, sampleDraw;
    thrust::device_vector<float> x, y, z;
};

StableCells viewOfCells(CandidateArrays& c, SortedCandidates& sorted, StableIndex& index)
{
    return {raw(sorted.cellStarts),
            raw(index.keys),
            raw(sorted.map),
            sorted.occupiedCellCount,
            static_cast<unsigned int>(c.count),
            raw(index.slots),
            static_cast<unsigned int>(index.slots.size() / 2),
            raw(index.sample),
            raw(index.sampleDraw),
            raw(index.x),
            raw(index.y),
            raw(index.z)};
}

// The cells' keys, samples and places, and an index with twice as many slots as there are cells, so that it is at
// most half full whatever the runs: 40 bytes a cell.
ScatterStatus indexCells(CandidateArrays& c, SortedCandidates& sorted, StableIndex& index)
{
    const unsigned long long cellCount = sorted.occupiedCellCount;
    const ScatterStatus budget = budgetFor(40ull * cellCount);
    if (budget != ScatterStatus::ok)
        return budget;
    index.keys.resize(cellCount, 0u);
    index.slots.resize(4 * cellCount, kNoKey);  // a free slot's cell number is never read
    index.sample.resize(cellCount, kNoSample);
    index.sampleDraw.resize(cellCount, 0u);
    // A cell of the same launch, reached across the end of a row, may be read while its thread writes it: on a GPU
    // its sample may be seen before its place, which then reads as no place at all, never as one near the candidate.
    for (thrust::device_vector<float>* place : {&index.x, &index.y, &index.z})
        place->resize(cellCount, NAN);
    if (!launchChecked({"indexStableCells", "Failed to launch indexStableCells kernel, error code: ",
                        blocksFor(static_cast<long long>(cellCount), 64), 64},
                       indexStableCells, viewOfCells(c, sorted, index), raw(c.cellId)))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}

// The cells, by number, in phase order.
ScatterStatus assignStablePhases(CandidateArrays& c, const ScatterGrid& grid, const ScatterSettings& settings,
                                 SortedCandidates& sorted, StableIndex& index, PhaseRuns& phases)
{
    const unsigned int cellCount = sorted.occupiedCellCount;
    const ScatterStatus budget = budgetFor(8ull * cellCount + 216);
    if (budget != ScatterStatus::ok)
        return budget;
    phases.cells.resize(cellCount, 0u);
    thrust::sequence(phases.cells.begin(), phases.cells.end(), 0u, 1u);
    phases.cellPhase.resize(cellCount, 0u);
    if (!launchChecked({"phaseStableCells", "Failed to launch phaseStableCells kernel, error code: ",
                        blocksFor(cellCount, 64), 64},
                       phaseStableCells, viewOfCells(c, sorted, index), viewOfStrata(c.strata, settings),
                       frameOf(grid), raw(phases.cellPhase)))
        return ScatterStatus::failed;
    return orderCellsByPhase(phases);
}

// One launch per phase in which every cell tries all its candidates in turn, and then up to `passes` - 1 further
// draws of each of their strata: a second pass would find nothing left to try.
ScatterStatus chooseInTurn(CandidateArrays& c, const ScatterGrid& grid, const ScatterSettings& settings,
                           SortedCandidates& sorted, StableIndex& index, PhaseRuns& phases)
{
    std::vector<unsigned int> cellCountInPhase, phaseEnd;
    phaseRunsOnHost(phases, cellCountInPhase, phaseEnd);
    const StableCells cells = viewOfCells(c, sorted, index);
    for (int p = 0; p < kPhaseCount; ++p) {
        const unsigned int cellCount = cellCountInPhase[p];
        const unsigned int rangeStart = p == 0 ? 0u : phaseEnd[p - 1];
        // A failure is reported as the selection loop reports it.
        if (!launchChecked({"chooseSamplesInTurn", nullptr, blocksFor(cellCount, 32), 32}, chooseSamplesInTurn,
                           raw(phases.cells), rangeStart, cellCount, cells, viewOfStrata(c.strata, settings),
                           frameOf(grid), settings.radius, settings.strictRadius,
                           static_cast<unsigned int>(settings.passes)))
            return ScatterStatus::failed;
    }
    return ScatterStatus::ok;
}

// The surface data of the kept samples, drawn again from their strata.
ScatterStatus describeStableSamples(const ScatterMesh& mesh, CandidateArrays& c, const ScatterGrid& grid,
                                    const ScatterSettings& settings, const StableCells& cells,
                                    thrust::device_vector<unsigned int>& kept, SurfaceData& surface)
{
    const unsigned int sampleCount = static_cast<unsigned int>(kept.size());
    thrust::device_vector<unsigned int> ids(sampleCount);
    thrust::device_vector<int> triId(sampleCount);
    thrust::device_vector<float> u(sampleCount), v(sampleCount);
    if (!launchChecked({"stableSampleSurface", "Failed to launch stableSampleSurface kernel, error code: ",
                        blocksFor(sampleCount, 64), 64},
                       stableSampleSurface, raw(kept), sampleCount, cells, viewOfStrata(c.strata, settings),
                       frameOf(grid), raw(ids), raw(triId), raw(u), raw(v)))
        return ScatterStatus::failed;
    describeDeviceSamples(mesh, ids, triId, u, v, surface);
    return ScatterStatus::ok;
}

// The kept samples in the order of their cells' keys, which is the order of the cells' numbers.
ScatterStatus collectStableSamples(const ScatterMesh& mesh, CandidateArrays& c, const ScatterGrid& grid,
                                   const ScatterSettings& settings, SortedCandidates& sorted, StableIndex& index,
                                   ScatterResult& result)
{
    const StableCells cells = viewOfCells(c, sorted, index);
    thrust::device_vector<unsigned int> kept(cells.cellCount);
    if (!launchChecked({"listKeptCells", "Failed to launch listKeptCells kernel, error code: ",
                        blocksFor(cells.cellCount, 64), 64},
                       listKeptCells, cells, raw(kept)))
        return ScatterStatus::failed;
    kept.erase(thrust::remove(kept.begin(), kept.end(), kNoSample), kept.end());
    const unsigned int sampleCount = static_cast<unsigned int>(kept.size());
    thrust::device_vector<float> points(3 * static_cast<size_t>(sampleCount));
    if (!launchChecked({"gatherSamples", "Failed to launch gatherSamples kernel, error code: ",
                        blocksFor(sampleCount, 64), 64},
                       gatherSamples, raw(kept), sampleCount, cells.x, cells.y, cells.z, raw(points)))
        return ScatterStatus::failed;
    if (settings.surfaceData &&
        describeStableSamples(mesh, c, grid, settings, cells, kept, result.surface) != ScatterStatus::ok)
        return ScatterStatus::failed;
    result.points.resize(points.size());
    thrust::copy(points.begin(), points.end(), result.points.begin());
    return ScatterStatus::ok;
}

}  // namespace

ScatterStatus selectStableSamples(const ScatterMesh& mesh, CandidateArrays& c, const ScatterGrid& grid,
                                  const ScatterSettings& settings, ScatterResult& result, StageObserver& observer)
{
    SortedCandidates sorted;
    ScatterStatus status = sortByCell(c, sorted, true);
    StableIndex index;
    if (status == ScatterStatus::ok)
        status = indexCells(c, sorted, index);
    if (status != ScatterStatus::ok)
        return status;
    observer.cellTableReady({viewOf(c.cellId), viewOf(sorted.map), {}, sorted.occupiedCellCount,
                             static_cast<unsigned int>(index.slots.size() / 2)});
    thrust::device_vector<unsigned int>().swap(c.cellId);  // the cells hold their keys now
    PhaseRuns phases;
    status = assignStablePhases(c, grid, settings, sorted, index, phases);
    if (status != ScatterStatus::ok)
        return status;
    observer.phasesReady();
    status = chooseInTurn(c, grid, settings, sorted, index, phases);
    if (status != ScatterStatus::ok)
        return status;
    observer.selectionDone();
    phases = PhaseRuns();  // the runs' memory goes back before the collection takes its own
    status = collectStableSamples(mesh, c, grid, settings, sorted, index, result);
    if (status == ScatterStatus::ok)
        observer.samplesReady(result);
    return status;
}
