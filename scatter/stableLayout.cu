// The stages of the stable candidate layout (stableLayout.h).
#include "stableLayout.h"

#include <cuda_runtime.h>

#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/gather.h>
#include <thrust/reduce.h>
#include <thrust/scan.h>
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
    return {strata.meshPoints, strata.triIds, thrust::raw_pointer_cast(strata.counts.data()),
            thrust::raw_pointer_cast(strata.offsets.data()), static_cast<unsigned int>(settings.seed)};
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
    ScatterStatus status = countCandidates(mesh, settings, c.strata, total);
    if (status != ScatterStatus::ok || total == 0)
        return status;
    status = budgetFor(32ull * total);
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

void orderByTrialKey(CandidateArrays& c, thrust::device_vector<unsigned int>& map)
{
    thrust::stable_sort_by_key(c.trialKey.begin(), c.trialKey.end(), map.begin(), thrust::less<unsigned int>());
    // The sorted trial keys are spent: their storage takes the cell keys in the new order.
    thrust::gather(map.begin(), map.end(), c.cellId.begin(), c.trialKey.begin());
    c.cellId.swap(c.trialKey);
    thrust::device_vector<unsigned int>().swap(c.trialKey);
}

ScatterStatus chooseInTurn(CandidateArrays& c, const ScatterGrid& grid, const ScatterSettings& settings,
                           SortedCandidates& sorted, CellTable& table, PhaseRuns& phases,
                           const std::vector<unsigned int>& cellCountInPhase, const std::vector<unsigned int>& phaseEnd)
{
    const StableTrials trials = {raw(c.x),  raw(c.y),
                                 raw(c.z),  raw(c.u),
                                 raw(c.v),  raw(c.triId),
                                 viewOfStrata(c.strata, settings), frameOf(grid),
                                 static_cast<unsigned int>(settings.passes)};
    for (int p = 0; p < kPhaseCount; ++p) {
        const unsigned int cellCount = cellCountInPhase[p];
        const unsigned int rangeStart = p == 0 ? 0u : phaseEnd[p - 1];
        // A failure is reported as the selection loop reports it.
        if (!launchChecked({"chooseSamplesInTurn", nullptr, blocksFor(cellCount, 32), 32}, chooseSamplesInTurn,
                           raw(phases.cells), rangeStart, cellCount, raw(table.bucketCounts), raw(table.tabKeys),
                           raw(table.tabSamples), table.hashTableSize, settings.radius, raw(c.cellId),
                           raw(sorted.map), c.count, settings.strictRadius, trials))
            return ScatterStatus::failed;
    }
    return ScatterStatus::ok;
}
