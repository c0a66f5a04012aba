#include <cuda_runtime.h>
#include <curand.h>

#include <thrust/copy.h>
#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/reduce.h>
#include <thrust/scan.h>
#include <thrust/sequence.h>
#include <thrust/sort.h>

#include <chrono>
#include <cmath>

#include "kernels/cellGrid.h"
#include "kernels/kyScatterPointsKernels.h"
#include "kernels/launch.h"
#include "pipelineStages.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename T>
T* raw(thrust::device_vector<T>& v)
{
    return thrust::raw_pointer_cast(v.data());
}

// Waits for the device and returns the seconds since `start`, restarting it.
double lap(Clock::time_point& start)
{
    cudaDeviceSynchronize();
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - start).count();
    start = now;
    return seconds;
}

curandStatus_t createGenerator(curandGenerator_t* generator)
{
#if defined(__CUDACC__)
    return curandCreateGenerator(generator, CURAND_RNG_PSEUDO_DEFAULT);
#else
    return curandCreateGeneratorHost(generator, CURAND_RNG_PSEUDO_DEFAULT);
#endif
}

}  // namespace

bool runStages(const StageInput& input, StageResult& result)
{
    const int numElements = 1000000;
    Clock::time_point clock = Clock::now();

    thrust::device_vector<float> meshPoints = input.points;
    thrust::device_vector<int> triIds = input.tris;
    const int n = static_cast<int>(input.tris.size());
    const int triCount = n / 3;
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (int v : input.tris)
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::fmin(lo[axis], input.points[3 * v + axis]);
            hi[axis] = std::fmax(hi[axis], input.points[3 * v + axis]);
        }
    result.seconds.upload = lap(clock);

    thrust::device_vector<float> cumulativeArea(n, 0.0f);
    launchKernel("calculateArea", calculateArea, triCount / 64 + 1, 64u, raw(meshPoints), raw(triIds),
                 raw(cumulativeArea), triCount);
    thrust::inclusive_scan(cumulativeArea.begin(), cumulativeArea.end(), cumulativeArea.begin(), thrust::plus<float>());
    const float totalArea = cumulativeArea[n - 1];
    result.cumulativeArea.assign(cumulativeArea.begin(), cumulativeArea.begin() + triCount);
    result.seconds.areas = lap(clock);

    float* randoms = nullptr;
    curandGenerator_t generator;
    if (cudaMalloc(reinterpret_cast<void**>(&randoms), numElements * sizeof(float)) != cudaSuccess ||
        createGenerator(&generator) != CURAND_STATUS_SUCCESS)
        return false;
    curandSetPseudoRandomGeneratorSeed(generator, 1234);
    curandGenerateUniform(generator, randoms, numElements);
    thrust::device_vector<float> x(numElements), y(numElements), z(numElements), u(numElements), v(numElements);
    thrust::device_vector<int> triId(numElements);
    thrust::device_vector<unsigned int> cellId(numElements);
    const float cellSize = static_cast<float>(static_cast<double>(input.radius) / 1.7320508075688772);
    const int stepZ = static_cast<int>((hi[0] - lo[0]) / cellSize) + 1;
    const int stepY = stepZ * (static_cast<int>((hi[2] - lo[2]) / cellSize) + 1);
    launchKernel("generateRandomPoints", generateRandomPoints, numElements / 64 + 1, 64u,
                 static_cast<const float*>(randoms), raw(x), raw(y), raw(z), raw(u), raw(v), raw(triId), raw(cellId),
                 raw(meshPoints), raw(triIds), raw(cumulativeArea), totalArea, triCount, numElements, cellSize, lo[0],
                 lo[1], lo[2], stepZ, stepY);
    curandDestroyGenerator(generator);
    cudaFree(randoms);
    result.seconds.candidates = lap(clock);
    result.x.assign(x.begin(), x.end());
    result.y.assign(y.begin(), y.end());
    result.z.assign(z.begin(), z.end());
    result.cellId.assign(cellId.begin(), cellId.end());
    clock = Clock::now();

    thrust::device_vector<unsigned int> map(numElements);
    thrust::sequence(map.begin(), map.end());
    thrust::stable_sort_by_key(cellId.begin(), cellId.end(), map.begin(), thrust::less<unsigned int>());
    result.seconds.sort = lap(clock);

    thrust::device_vector<unsigned int> aux(numElements, 0u);
    aux[0] = 1u;
    launchKernel("detectCells", detectCells, numElements / 64 + 1, 64u, static_cast<const unsigned int*>(raw(cellId)),
                 raw(aux), numElements);
    const unsigned int occupied = thrust::reduce(aux.begin(), aux.end(), 0u, thrust::plus<unsigned int>());
    const unsigned int tableSize = occupied * kBucketsPerCell;
    thrust::device_vector<unsigned int> bucketIndex(tableSize, 0u);
    std::vector<thrust::device_vector<unsigned int>> keys(kSlotsPerBucket), address(kSlotsPerBucket),
        samples(kSlotsPerBucket);
    std::vector<unsigned int*> keyPtrs, addressPtrs, samplePtrs;
    for (int s = 0; s < kSlotsPerBucket; ++s) {
        keys[s].assign(tableSize, 0u);
        address[s].assign(tableSize, 0u);
        samples[s].assign(tableSize, kNoSample);
        keyPtrs.push_back(raw(keys[s]));
        addressPtrs.push_back(raw(address[s]));
        samplePtrs.push_back(raw(samples[s]));
    }
    thrust::device_vector<unsigned int*> tabKeys = keyPtrs, tabAddress = addressPtrs, tabSamples = samplePtrs;
    const unsigned int firstKey = cellId[0];
    bucketIndex[firstKey % tableSize] = 1u;
    keys[0][firstKey % tableSize] = firstKey;
    launchKernel("fillHashTable", fillHashTable, numElements / 64 + 1, 64u, static_cast<const unsigned int*>(raw(cellId)),
                 raw(bucketIndex), static_cast<unsigned int* const*>(raw(tabKeys)),
                 static_cast<unsigned int* const*>(raw(tabAddress)), tableSize, numElements);
    thrust::device_vector<unsigned int> cells(occupied, 0u);
    aux[0] = 0u;
    thrust::inclusive_scan(aux.begin(), aux.end(), aux.begin(), thrust::plus<unsigned int>());
    launchKernel("getCells", getCells, numElements / 64 + 1, 64u, raw(cells), static_cast<const unsigned int*>(raw(aux)),
                 numElements);
    result.seconds.cells = lap(clock);

    thrust::device_vector<unsigned int> cellPhase(occupied, 0u);
    launchKernel("calculateCellPhase", calculateCellPhase, occupied / 64 + 1, 64u, raw(cellPhase),
                 static_cast<const unsigned int*>(raw(cells)), cellSize, cellSize * 3.0f, lo[0], lo[1], lo[2],
                 static_cast<const float*>(raw(x)), static_cast<const float*>(raw(y)), static_cast<const float*>(raw(z)),
                 static_cast<const unsigned int*>(raw(map)), static_cast<int>(occupied));
    thrust::stable_sort_by_key(cellPhase.begin(), cellPhase.end(), cells.begin(), thrust::less<unsigned int>());
    thrust::device_vector<unsigned int> countInPhase(kPhaseCount, 0u), phaseEnd(kPhaseCount, 0u);
    const unsigned int lastPhase = cellPhase[occupied - 1];
    countInPhase[lastPhase] = occupied;
    launchKernel("countCellsInPhases", countCellsInPhases, occupied / 64 + 1, 64u, raw(countInPhase),
                 static_cast<const unsigned int*>(raw(cellPhase)), static_cast<int>(occupied));
    thrust::inclusive_scan(countInPhase.begin(), countInPhase.end(), phaseEnd.begin(), thrust::plus<unsigned int>());
    result.seconds.phases = lap(clock);

    for (int t = 0; t < kPassCount; ++t)
        for (int p = 0; p < kPhaseCount; ++p) {
            const unsigned int cellCount = countInPhase[p];
            const unsigned int rangeStart = p == 0 ? 0u : static_cast<unsigned int>(phaseEnd[p - 1]);
            launchKernel("chooseSamplesInCells", chooseSamplesInCells, cellCount / 32 + 1, 32u,
                         static_cast<const unsigned int*>(raw(cells)), rangeStart, cellCount,
                         static_cast<const unsigned int*>(raw(bucketIndex)),
                         static_cast<unsigned int* const*>(raw(tabKeys)),
                         static_cast<unsigned int* const*>(raw(tabAddress)),
                         static_cast<unsigned int* const*>(raw(tabSamples)), static_cast<unsigned int>(stepZ),
                         static_cast<unsigned int>(stepY), static_cast<short>(t), input.radius,
                         static_cast<const float*>(raw(x)), static_cast<const float*>(raw(y)),
                         static_cast<const float*>(raw(z)), static_cast<const unsigned int*>(raw(cellId)),
                         static_cast<const unsigned int*>(raw(map)), tableSize, numElements);
        }
    result.seconds.selection = lap(clock);
    if (cudaGetLastError() != cudaSuccess)
        return false;

    std::vector<std::vector<unsigned int>> hostSamples(kSlotsPerBucket);
    for (int s = 0; s < kSlotsPerBucket; ++s)
        hostSamples[s].assign(samples[s].begin(), samples[s].end());
    result.points.clear();
    for (unsigned int b = 0; b < tableSize; ++b)
        for (int s = 0; s < kSlotsPerBucket; ++s) {
            const unsigned int idx = hostSamples[s][b];
            if (idx != kNoSample)
                result.points.insert(result.points.end(), {result.x[idx], result.y[idx], result.z[idx]});
        }
    result.occupiedCellCount = occupied;
    result.seconds.copyBack = lap(clock);
    return true;
}

double timeUnavoidablePrimitives()
{
    const int count = 1000000;
    thrust::device_vector<unsigned int> keys(count), values(count);
    float* randoms = nullptr;
    curandGenerator_t generator;
    if (cudaMalloc(reinterpret_cast<void**>(&randoms), count * sizeof(float)) != cudaSuccess ||
        createGenerator(&generator) != CURAND_STATUS_SUCCESS)
        return -1.0;
    curandSetPseudoRandomGeneratorSeed(generator, 1234);
    // Keys with the spread of real cell keys: many repeats, unsorted.
    thrust::sequence(keys.begin(), keys.end(), 0u, 2654435761u);
    thrust::sequence(values.begin(), values.end());
    Clock::time_point clock = Clock::now();
    curandGenerateUniform(generator, randoms, count);
    thrust::stable_sort_by_key(keys.begin(), keys.end(), values.begin(), thrust::less<unsigned int>());
    const double seconds = lap(clock);
    curandDestroyGenerator(generator);
    cudaFree(randoms);
    return seconds;
}
