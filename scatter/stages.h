// What the stages of one compute hand each other: device arrays owned by small structs, released with them.
#pragma once

#include <thrust/device_vector.h>

#include <iostream>
#include <vector>

#include "../kernels/cellGrid.h"
#include "../kernels/launch.h"
#include "scatterCompute.h"
#include "surfaceData.h"

template <typename T>
T* raw(thrust::device_vector<T>& v)
{
    return thrust::raw_pointer_cast(v.data());
}

template <typename T>
DeviceArray<T> viewOf(const thrust::device_vector<T>& v)
{
    return {thrust::raw_pointer_cast(v.data()), v.size()};
}

// Grids of one-dimensional blocks that always add one block: the kernels guard their index.
inline unsigned int blocksFor(long long elements, unsigned int threadsPerBlock)
{
    return static_cast<unsigned int>(elements / threadsPerBlock + 1);
}

// A kernel launch and the message that reports its failure; without a message the failure is reported as the
// selection loop reports it.
struct KernelLaunch {
    const char* kernelName;
    const char* failureMessage;
    unsigned int blocks;
    unsigned int threadsPerBlock;
};

template <typename... Params, typename... Args>
bool launchChecked(const KernelLaunch& launch, void (*kernel)(Params...), Args... args)
{
    launchKernel(launch.kernelName, kernel, launch.blocks, launch.threadsPerBlock, args...);
    const cudaError_t error = cudaGetLastError();
    if (error == cudaSuccess)
        return true;
    if (launch.failureMessage != nullptr)
        std::cout << launch.failureMessage << cudaGetErrorString(error) << std::endl;
    else
        fprintf(stderr, "Cuda error: %s.\n", cudaGetErrorString(error));
    return false;
}

// The budget test before a group of device allocations.
ScatterStatus budgetFor(unsigned long long bytes);

// The stable layout's strata: each triangle's candidate count and first candidate, and the mesh they lie on, from
// which the selection draws further points. Empty for the global layout.
struct StrataArrays {
    thrust::device_vector<unsigned int> counts, offsets;
    const float* meshPoints = nullptr;
    const int* triIds = nullptr;
};

struct CandidateArrays {
    int count = 0;
    thrust::device_vector<float> x, y, z, u, v;
    thrust::device_vector<int> triId;
    thrust::device_vector<unsigned int> cellId;  // sorted in place by the cell stage
    thrust::device_vector<unsigned int> trialKey;  // stable layout: orders the trials within a cell
    StrataArrays strata;
};

// Every field of `count` candidates, zero-filled.
void allocateCandidates(int count, CandidateArrays& candidates);

struct SortedCandidates {
    thrust::device_vector<unsigned int> map;        // sorted position to candidate number
    thrust::device_vector<unsigned int> cellIndex;  // cell-start flags at first, then each position's cell number
    thrust::device_vector<unsigned int> cellStarts;  // each occupied cell's first position, in key order
    unsigned int occupiedCellCount = 0;
};

struct CellTable {
    unsigned int hashTableSize = 0;
    thrust::device_vector<unsigned int> bucketCounts;
    thrust::device_vector<unsigned int> slotKeys[kSlotsPerBucket];
    thrust::device_vector<unsigned int> slotAddress[kSlotsPerBucket];
    thrust::device_vector<unsigned int> slotSamples[kSlotsPerBucket];
    thrust::device_vector<unsigned int*> tabKeys, tabAddress, tabSamples;  // the slot arrays, as kernels reach them
};

struct PhaseRuns {
    thrust::device_vector<unsigned int> cells;  // cell starts (the stable layout: cell numbers), in phase order
    thrust::device_vector<unsigned int> cellPhase;
    thrust::device_vector<unsigned int> cellCountInPhase;
    thrust::device_vector<unsigned int> phaseEnd;
};

// The cell stages, each a step of selectSamples; a density map runs them once per level of its weights.
// countScratch: the budget check counts the sorts' own temporary storage too, as every compute does but the default
// one, whose figure is fixed.
ScatterStatus sortByCell(CandidateArrays& c, SortedCandidates& sorted, bool countScratch);
ScatterStatus buildCellTable(CandidateArrays& c, const SortedCandidates& sorted, CellTable& table);
ScatterStatus assignPhases(CandidateArrays& c, const ScatterGrid& grid, SortedCandidates& sorted, PhaseRuns& phases);
// The cells sorted by the phases given them, and the phases' runs.
ScatterStatus orderCellsByPhase(PhaseRuns& phases);
// The phases' cell counts and ends, read once for the launches of a selection.
void phaseRunsOnHost(const PhaseRuns& phases, std::vector<unsigned int>& cellCountInPhase,
                     std::vector<unsigned int>& phaseEnd);
// Candidates with radii of their own (null: settings.radius for all) and blocked ones (null: none) for a density map.
ScatterStatus choosePoints(CandidateArrays& c, const ScatterGrid& grid, const ScatterSettings& settings,
                           SortedCandidates& sorted, CellTable& table, PhaseRuns& phases, const float* radii,
                           const unsigned int* blocked);
// The accepted samples' candidate numbers, in table order.
ScatterStatus tableSamples(CellTable& table, thrust::device_vector<unsigned int>& samples);
// The samples' surface data from their candidate numbers, triangles and weights on the device.
void describeDeviceSamples(const ScatterMesh& mesh, const thrust::device_vector<unsigned int>& ids,
                           const thrust::device_vector<int>& triId, const thrust::device_vector<float>& u,
                           const thrust::device_vector<float>& v, SurfaceData& surface);
// The samples' points (and surface data) into the result, in ascending order of their cells' keys in `grid`.
ScatterStatus publishSamples(const ScatterMesh& mesh, CandidateArrays& c, const ScatterGrid& grid,
                             thrust::device_vector<unsigned int>& samples, const ScatterSettings& settings,
                             ScatterResult& result);

// The second half of a compute: from candidates with their cell keys to the accepted samples.
ScatterStatus selectSamples(const ScatterMesh& mesh, CandidateArrays& candidates, const ScatterGrid& grid,
                            const ScatterSettings& settings, ScatterResult& result, StageObserver& observer);

// Refuses a density map that does not give three finite weights per triangle; no map passes.
ScatterStatus checkDensityMap(const ScatterMesh& mesh);

// The second half of a compute with a density map (densityStage.cu).
ScatterStatus selectWeightedSamples(const ScatterMesh& mesh, CandidateArrays& candidates, const ScatterGrid& grid,
                                    const ScatterSettings& settings, ScatterResult& result, StageObserver& observer);
