// The floor under any compute: generating the random numbers and sorting the candidates by cell.
#include <cuda_runtime.h>
#include <curand.h>

#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/sequence.h>
#include <thrust/sort.h>

#include <chrono>

#include "scatter/scatterCompute.h"
#include "stageClock.h"

double timeUnavoidablePrimitives()
{
    const int count = kDefaultCandidateCount;
    thrust::device_vector<unsigned int> keys(count), values(count);
    float* randoms = nullptr;
    curandGenerator_t generator;
    if (cudaMalloc(reinterpret_cast<void**>(&randoms), count * sizeof(float)) != cudaSuccess)
        return -1.0;
    if (curandCreateGenerator(&generator, CURAND_RNG_PSEUDO_DEFAULT) != CURAND_STATUS_SUCCESS) {
        cudaFree(randoms);
        return -1.0;
    }
    curandSetPseudoRandomGeneratorSeed(generator, kDefaultSeed);
    // Keys with the spread of real cell keys: many repeats, unsorted.
    thrust::sequence(keys.begin(), keys.end(), 0u, 2654435761u);
    thrust::sequence(values.begin(), values.end());
    cudaDeviceSynchronize();
    const auto started = std::chrono::steady_clock::now();
    curandGenerateUniform(generator, randoms, count);
    thrust::stable_sort_by_key(keys.begin(), keys.end(), values.begin(), thrust::less<unsigned int>());
    cudaDeviceSynchronize();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    curandDestroyGenerator(generator);
    cudaFree(randoms);
    return seconds;
}
