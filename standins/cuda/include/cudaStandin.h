// CPU stand-in for the parts of the CUDA runtime and device environment the plug-in uses.
// Every .cu file of the CPU build is compiled through a generated wrapper that includes this header first,
// so the product sources stay identical to the ones nvcc compiles.
#pragma once

#include <cuda_runtime.h>  // the toolkit's own types, error codes and runtime declarations

#include <cstddef>
#include <new>
#include <string>

#include <thrust/mr/fancy_pointer_resource.h>
#include <thrust/mr/new.h>
#include <thrust/system/detail/bad_alloc.h>
#include <thrust/system/omp/pointer.h>

// ---------------------------------------------------------------------------------------------------------------
// Built-in variables of the running GPU thread. Each host thread that runs a block has its own copy.
inline thread_local uint3 threadIdx;
inline thread_local uint3 blockIdx;
inline thread_local dim3 blockDim;
inline thread_local dim3 gridDim;

// 32-bit atomics on global memory: real read-modify-writes, since blocks run on several OpenMP threads.
inline unsigned int atomicAdd(unsigned int* address, unsigned int value)
{
    return __atomic_fetch_add(address, value, __ATOMIC_RELAXED);
}

inline int atomicAdd(int* address, int value)
{
    return __atomic_fetch_add(address, value, __ATOMIC_RELAXED);
}

inline unsigned int atomicSub(unsigned int* address, unsigned int value)
{
    return __atomic_fetch_sub(address, value, __ATOMIC_RELAXED);
}

namespace cudaStandin {

// ---------------------------------------------------------------------------------------------------------------
// Controls for tests. Faults are one-shot: the (skip + 1)-th matching call fails, later calls succeed again.
void setDeviceMemory(std::size_t totalBytes);  // the simulated device's total memory; default 80 GiB
std::size_t deviceMemoryTotal();
std::size_t deviceBytesInUse();                // cudaMalloc buffers and Thrust device vectors still held
std::size_t devicePeakBytesInUse();
void resetPeakBytesInUse();
void failNextLaunch(const std::string& kernelName, cudaError_t error = cudaErrorLaunchFailure, int skip = 0);
void failMemGetInfo(cudaError_t error = cudaErrorInitializationError, int skip = 0);
void setFreeMemoryForQuery(std::size_t freeBytes, int skip = 0);  // what the (skip + 1)-th query reports as free
void failMalloc(cudaError_t error = cudaErrorMemoryAllocation, int skip = 0);
void failFree(cudaError_t error = cudaErrorInvalidValue, int skip = 0);
void failDeviceVectorAllocation(int skip = 0);  // a Thrust device allocation throws bad_alloc
void clearFaults();
int launchCount(const std::string& kernelName);  // launches that ran since the last clearLaunchCounts()
void clearLaunchCounts();

// ---------------------------------------------------------------------------------------------------------------
// Internals used by the inline code below.
bool reserveDeviceBytes(std::size_t bytes);  // false when the device is full or a fault is armed
void releaseDeviceBytes(std::size_t bytes);
cudaError_t beginLaunch(const char* kernelName, dim3 grid, dim3 block);  // checks the configuration, records the error

}  // namespace cudaStandin

// Runs a kernel as a loop over its grid: blocks are spread over OpenMP threads, the threads of a block run in turn.
// A configuration CUDA would refuse does not run and leaves its error for cudaGetLastError, as CUDA does.
template <typename... Params, typename... Args>
void cudaStandinLaunch(const char* kernelName, void (*kernel)(Params...), dim3 grid, dim3 block, Args... args)
{
    if (cudaStandin::beginLaunch(kernelName, grid, block) != cudaSuccess)
        return;
    const long long blockCount = static_cast<long long>(grid.x) * grid.y * grid.z;
#pragma omp parallel for schedule(static)
    for (long long b = 0; b < blockCount; ++b) {
        gridDim = grid;
        blockDim = block;
        blockIdx.x = static_cast<unsigned int>(b % grid.x);
        blockIdx.y = static_cast<unsigned int>((b / grid.x) % grid.y);
        blockIdx.z = static_cast<unsigned int>(b / (static_cast<long long>(grid.x) * grid.y));
        for (unsigned int tz = 0; tz < block.z; ++tz)
            for (unsigned int ty = 0; ty < block.y; ++ty)
                for (unsigned int tx = 0; tx < block.x; ++tx) {
                    threadIdx.x = tx;
                    threadIdx.y = ty;
                    threadIdx.z = tz;
                    kernel(args...);
                }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Thrust's device vectors on the OpenMP system allocate through this resource: it charges the simulated device,
// so cudaMemGetInfo sees them, and fails as a real device allocation does when the device is full.
THRUST_NAMESPACE_BEGIN
namespace mr {
template <>
class fancy_pointer_resource<new_delete_resource, thrust::omp::pointer<void>> final
    : public memory_resource<thrust::omp::pointer<void>> {
public:
    using pointer_type = thrust::omp::pointer<void>;

    pointer_type do_allocate(std::size_t bytes, std::size_t alignment = THRUST_MR_DEFAULT_ALIGNMENT) override
    {
        if (!cudaStandin::reserveDeviceBytes(bytes))
            throw thrust::system::detail::bad_alloc("cudaErrorMemoryAllocation: out of memory");
        try {
            return pointer_type(::operator new(bytes, std::align_val_t(alignment)));
        } catch (...) {
            cudaStandin::releaseDeviceBytes(bytes);
            throw;
        }
    }

    void do_deallocate(pointer_type p, std::size_t bytes, std::size_t alignment = THRUST_MR_DEFAULT_ALIGNMENT) override
    {
        ::operator delete(p.get(), std::align_val_t(alignment));
        cudaStandin::releaseDeviceBytes(bytes);
    }
};
}  // namespace mr
THRUST_NAMESPACE_END
