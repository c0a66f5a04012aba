// The second half of the compute: candidates sorted into cells, the cell hash table, the phases, the phased selection
// and the accepted samples collected in the order of their cells.
#include <cuda_runtime.h>

#include <thrust/copy.h>
#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/reduce.h>
#include <thrust/remove.h>
#include <thrust/scan.h>
#include <thrust/sequence.h>
#include <thrust/sort.h>

#include <cstdint>
#include <vector>

#include "../kernels/kyScatterPointsKernels.h"
#include "stableLayout.h"
#include "stages.h"

namespace {

// Each occupied cell's first sorted position, in key order: the cell stages after the sort work over these, not over
// every candidate. The positions' cell numbers are spent once the list is made.
ScatterStatus listCells(const CandidateArrays& c, SortedCandidates& sorted)
{
    thrust::inclusive_scan(sorted.cellIndex.begin(), sorted.cellIndex.end(), sorted.cellIndex.begin(),
                           thrust::plus<unsigned int>());
    const unsigned int cellCount = sorted.cellIndex[c.count - 1] + 1u;
    sorted.occupiedCellCount = cellCount;
    const ScatterStatus budget = budgetFor(static_cast<uint64_t>(cellCount) * 8 + 108);
    if (budget != ScatterStatus::ok)
        return budget;
    sorted.cellStarts.resize(cellCount, 0u);
    if (!launchChecked({"getCells", "Failed to launch getCells kernel, error code: ", blocksFor(c.count, 64), 64},
                       getCells, raw(sorted.cellStarts), raw(sorted.cellIndex), c.count))
        return ScatterStatus::failed;
    thrust::device_vector<unsigned int>().swap(sorted.cellIndex);
    return ScatterStatus::ok;
}

}  // namespace

ScatterStatus sortByCell(CandidateArrays& c, SortedCandidates& sorted, bool countScratch)
{
    // A stable sort of key and value pairs takes a second pair of arrays while it runs.
    const unsigned long long perCandidate = countScratch ? 16ull : 8ull;
    const ScatterStatus budget = budgetFor(perCandidate * static_cast<unsigned long long>(c.count));
    if (budget != ScatterStatus::ok)
        return budget;
    sorted.map.resize(c.count, 0u);
    thrust::sequence(sorted.map.begin(), sorted.map.end(), 0u, 1u);
    if (!c.trialKey.empty())
        orderByTrialKey(c, sorted.map);
    thrust::stable_sort_by_key(c.cellId.begin(), c.cellId.end(), sorted.map.begin(), thrust::less<unsigned int>());
    sorted.cellIndex.resize(c.count, 0u);  // position 0 always starts cell 0; the kernel never writes it
    if (!launchChecked({"detectCells", "Failed to launch detectCells kernel, error code: ", blocksFor(c.count, 64), 64},
                       detectCells, raw(c.cellId), raw(sorted.cellIndex), c.count))
        return ScatterStatus::failed;
    return listCells(c, sorted);
}

namespace {

void allocateCellTable(unsigned int hashTableSize, CellTable& table)
{
    table.hashTableSize = hashTableSize;
    table.bucketCounts.resize(hashTableSize, 0u);
    for (int s = 0; s < kSlotsPerBucket; ++s) {
        table.slotKeys[s].resize(hashTableSize, kNoKey);
        table.slotAddress[s].resize(hashTableSize, 0u);
        table.slotSamples[s].resize(hashTableSize, kNoSample);
    }
    std::vector<unsigned int*> slots(kSlotsPerBucket);
    auto pointTo = [&](thrust::device_vector<unsigned int*>& pointers, thrust::device_vector<unsigned int>* arrays) {
        pointers.resize(kSlotsPerBucket, nullptr);
        for (int s = 0; s < kSlotsPerBucket; ++s)
            slots[s] = raw(arrays[s]);
        pointers = slots;
    };
    pointTo(table.tabKeys, table.slotKeys);
    pointTo(table.tabAddress, table.slotAddress);
    pointTo(table.tabSamples, table.slotSamples);
}

}  // namespace

// Each bucket takes its cells in ascending key order, one slot a round, so that the table is the same on every run,
// whatever order the threads run in.
ScatterStatus buildCellTable(CandidateArrays& c, const SortedCandidates& sorted, CellTable& table)
{
    const unsigned int hashTableSize = sorted.occupiedCellCount * kBucketsPerCell;
    const ScatterStatus budget = budgetFor(static_cast<uint64_t>(hashTableSize) * 64 + 120);
    if (budget != ScatterStatus::ok)
        return budget;
    allocateCellTable(hashTableSize, table);
    const int cellCount = static_cast<int>(sorted.occupiedCellCount);
    const unsigned int blocks = blocksFor(cellCount, 64);
    const unsigned int* starts = thrust::raw_pointer_cast(sorted.cellStarts.data());
    if (!launchChecked({"countBucketCells", "Failed to launch countBucketCells kernel, error code: ", blocks, 64},
                       countBucketCells, starts, raw(c.cellId), raw(table.bucketCounts), hashTableSize, cellCount))
        return ScatterStatus::failed;
    for (unsigned int slot = 0; slot < static_cast<unsigned int>(kSlotsPerBucket); ++slot) {
        if (!launchChecked({"offerCellsToSlot", "Failed to launch offerCellsToSlot kernel, error code: ", blocks, 64},
                           offerCellsToSlot, starts, raw(c.cellId), raw(table.tabKeys), slot, hashTableSize,
                           cellCount))
            return ScatterStatus::failed;
        if (!launchChecked({"fillHashTable", "Failed to launch fillHashTable kernel, error code: ", blocks, 64},
                           fillHashTable, starts, raw(c.cellId), raw(table.tabKeys), raw(table.tabAddress), slot,
                           hashTableSize, cellCount))
            return ScatterStatus::failed;
    }
    return ScatterStatus::ok;
}

ScatterStatus assignPhases(CandidateArrays& c, const ScatterGrid& grid, SortedCandidates& sorted, PhaseRuns& phases)
{
    const unsigned int cellCount = sorted.occupiedCellCount;
    phases.cells.swap(sorted.cellStarts);  // the table is built: the list now orders the cells by phase
    phases.cellPhase.resize(cellCount, 0u);
    if (!launchChecked({"calculateCellPhase", "Failed to launch calculateCellPhase kernel, error code: ",
                        blocksFor(cellCount, 64), 64},
                       calculateCellPhase, raw(phases.cellPhase), raw(phases.cells), grid.cellSize,
                       grid.cellSize * 3.0f, grid.minX, grid.minY, grid.minZ, raw(c.x), raw(c.y), raw(c.z),
                       raw(sorted.map), static_cast<int>(cellCount)))
        return ScatterStatus::failed;
    return orderCellsByPhase(phases);
}

ScatterStatus orderCellsByPhase(PhaseRuns& phases)
{
    const unsigned int cellCount = static_cast<unsigned int>(phases.cells.size());
    thrust::stable_sort_by_key(phases.cellPhase.begin(), phases.cellPhase.end(), phases.cells.begin(),
                               thrust::less<unsigned int>());

    // The kernel adds and subtracts the phase boundaries; the last phase present starts from the total.
    phases.cellCountInPhase.resize(kPhaseCount, 0u);
    const unsigned int lastPhase = phases.cellPhase[cellCount - 1];
    const unsigned int lastPhaseCount = phases.cellCountInPhase[lastPhase];
    phases.cellCountInPhase[lastPhase] = lastPhaseCount + cellCount;
    if (!launchChecked({"countCellsInPhases", "Failed to launch kernel, error code: ", blocksFor(cellCount, 64), 64},
                       countCellsInPhases, raw(phases.cellCountInPhase), raw(phases.cellPhase),
                       static_cast<int>(cellCount)))
        return ScatterStatus::failed;
    phases.phaseEnd.resize(kPhaseCount, 0u);
    thrust::inclusive_scan(phases.cellCountInPhase.begin(), phases.cellCountInPhase.end(), phases.phaseEnd.begin(),
                           thrust::plus<unsigned int>());
    return ScatterStatus::ok;
}

void phaseRunsOnHost(const PhaseRuns& phases, std::vector<unsigned int>& cellCountInPhase,
                     std::vector<unsigned int>& phaseEnd)
{
    cellCountInPhase.resize(kPhaseCount);
    phaseEnd.resize(kPhaseCount);
    thrust::copy(phases.cellCountInPhase.begin(), phases.cellCountInPhase.end(), cellCountInPhase.begin());
    thrust::copy(phases.phaseEnd.begin(), phases.phaseEnd.end(), phaseEnd.begin());
}

// In pass t every still-empty cell of a phase offers its candidate number t; phases run one after another.
ScatterStatus choosePoints(CandidateArrays& c, const ScatterGrid& grid, const ScatterSettings& settings,
                           SortedCandidates& sorted, CellTable& table, PhaseRuns& phases, const float* radii,
                           const unsigned int* blocked)
{
    // The phase runs do not change from launch to launch: read once, not before every launch.
    std::vector<unsigned int> cellCountInPhase, phaseEnd;
    phaseRunsOnHost(phases, cellCountInPhase, phaseEnd);
    for (int t = 0; t < settings.passes; ++t) {
        for (int p = 0; p < kPhaseCount; ++p) {
            const unsigned int cellCount = cellCountInPhase[p];
            const unsigned int rangeStart = p == 0 ? 0u : phaseEnd[p - 1];
            // A failure is reported as before, but the host application lives on with its scene.
            if (!launchChecked({"chooseSamplesInCells", nullptr, blocksFor(cellCount, 32), 32}, chooseSamplesInCells,
                               raw(phases.cells), rangeStart, cellCount, raw(table.bucketCounts), raw(table.tabKeys),
                               raw(table.tabAddress), raw(table.tabSamples), static_cast<unsigned int>(grid.stepZ),
                               static_cast<unsigned int>(grid.stepY), static_cast<short>(t), settings.radius, raw(c.x),
                               raw(c.y), raw(c.z), raw(c.cellId), raw(sorted.map), table.hashTableSize, c.count,
                               settings.strictRadius, radii, blocked))
                return ScatterStatus::failed;
        }
    }
    return ScatterStatus::ok;
}

namespace {

// The triangles and weights of the accepted samples, gathered on the device; the host derives the rest.
ScatterStatus collectSurface(const ScatterMesh& mesh, CandidateArrays& c, thrust::device_vector<unsigned int>& samples,
                             SurfaceData& surface)
{
    const unsigned int sampleCount = static_cast<unsigned int>(samples.size());
    thrust::device_vector<int> triId(sampleCount);
    thrust::device_vector<float> u(sampleCount), v(sampleCount);
    if (!launchChecked({"gatherSurfaceSamples", "Failed to launch gatherSurfaceSamples kernel, error code: ",
                        blocksFor(sampleCount, 64), 64},
                       gatherSurfaceSamples, raw(samples), sampleCount, raw(c.triId), raw(c.u), raw(c.v), raw(triId),
                       raw(u), raw(v)))
        return ScatterStatus::failed;
    describeDeviceSamples(mesh, samples, triId, u, v, surface);
    return ScatterStatus::ok;
}

}  // namespace

void describeDeviceSamples(const ScatterMesh& mesh, const thrust::device_vector<unsigned int>& ids,
                           const thrust::device_vector<int>& triId, const thrust::device_vector<float>& u,
                           const thrust::device_vector<float>& v, SurfaceData& surface)
{
    SampleSurface host;
    host.ids.resize(ids.size());
    host.triId.resize(ids.size());
    host.u.resize(ids.size());
    host.v.resize(ids.size());
    thrust::copy(ids.begin(), ids.end(), host.ids.begin());
    thrust::copy(triId.begin(), triId.end(), host.triId.begin());
    thrust::copy(u.begin(), u.end(), host.u.begin());
    thrust::copy(v.begin(), v.end(), host.v.begin());
    describeSurface(mesh, host, surface);
}

ScatterStatus tableSamples(CellTable& table, thrust::device_vector<unsigned int>& samples)
{
    const long long slots = static_cast<long long>(table.hashTableSize) * kSlotsPerBucket;
    samples.resize(slots);
    if (!launchChecked({"flattenSamples", "Failed to launch flattenSamples kernel, error code: ",
                        blocksFor(slots, 64), 64},
                       flattenSamples, raw(table.tabSamples), table.hashTableSize, raw(samples)))
        return ScatterStatus::failed;
    samples.erase(thrust::remove(samples.begin(), samples.end(), kNoSample), samples.end());
    return ScatterStatus::ok;
}

// Samples that share a cell keep the order they come in: the sort is stable.
ScatterStatus publishSamples(const ScatterMesh& mesh, CandidateArrays& c, const ScatterGrid& grid,
                             thrust::device_vector<unsigned int>& samples, const ScatterSettings& settings,
                             ScatterResult& result)
{
    const unsigned int sampleCount = static_cast<unsigned int>(samples.size());
    thrust::device_vector<unsigned int> keys(sampleCount);
    if (!launchChecked({"sampleCellKeys", "Failed to launch sampleCellKeys kernel, error code: ",
                        blocksFor(sampleCount, 64), 64},
                       sampleCellKeys, raw(samples), sampleCount, raw(c.x), raw(c.y), raw(c.z), grid.cellSize,
                       grid.minX, grid.minY, grid.minZ, grid.stepZ, grid.stepY, raw(keys)))
        return ScatterStatus::failed;
    thrust::stable_sort_by_key(keys.begin(), keys.end(), samples.begin(), thrust::less<unsigned int>());
    thrust::device_vector<float> points(3 * static_cast<size_t>(sampleCount));
    if (!launchChecked({"gatherSamples", "Failed to launch gatherSamples kernel, error code: ",
                        blocksFor(sampleCount, 64), 64},
                       gatherSamples, raw(samples), sampleCount, raw(c.x), raw(c.y), raw(c.z), raw(points)))
        return ScatterStatus::failed;
    if (settings.surfaceData && collectSurface(mesh, c, samples, result.surface) != ScatterStatus::ok)
        return ScatterStatus::failed;
    result.points.resize(points.size());
    thrust::copy(points.begin(), points.end(), result.points.begin());
    return ScatterStatus::ok;
}

namespace {

// Accepted samples in the order of their cells' keys, collected on the device: only they travel to the host.
ScatterStatus collectSamples(const ScatterMesh& mesh, CandidateArrays& c, const ScatterGrid& grid, CellTable& table,
                             const ScatterSettings& settings, ScatterResult& result)
{
    thrust::device_vector<unsigned int> samples;
    const ScatterStatus status = tableSamples(table, samples);
    if (status != ScatterStatus::ok)
        return status;
    return publishSamples(mesh, c, grid, samples, settings, result);
}

CellTableView cellTableViewOf(const CandidateArrays& c, const SortedCandidates& sorted, const CellTable& table)
{
    return {viewOf(c.cellId), viewOf(sorted.map), viewOf(table.bucketCounts), sorted.occupiedCellCount,
            table.hashTableSize};
}

}  // namespace

ScatterStatus selectSamples(const ScatterMesh& mesh, CandidateArrays& candidates, const ScatterGrid& grid,
                            const ScatterSettings& settings, ScatterResult& result, StageObserver& observer)
{
    SortedCandidates sorted;
    ScatterStatus status = sortByCell(candidates, sorted, false);
    CellTable table;
    if (status == ScatterStatus::ok)
        status = buildCellTable(candidates, sorted, table);
    if (status != ScatterStatus::ok)
        return status;
    observer.cellTableReady(cellTableViewOf(candidates, sorted, table));

    PhaseRuns phases;
    status = assignPhases(candidates, grid, sorted, phases);
    if (status != ScatterStatus::ok)
        return status;
    observer.phasesReady();
    status = choosePoints(candidates, grid, settings, sorted, table, phases, nullptr, nullptr);
    if (status != ScatterStatus::ok)
        return status;
    observer.selectionDone();
    phases = PhaseRuns();  // the runs' memory goes back before the collection takes its own
    status = collectSamples(mesh, candidates, grid, table, settings, result);
    if (status == ScatterStatus::ok)
        observer.samplesReady(result);
    return status;
}
