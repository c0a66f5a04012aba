// CPU stand-in for the parts of the CUDA runtime and device environment the plug-in uses.
// Every .cu file of the CPU build is compiled through a generated wrapper that includes this header first,
// so the product sources stay identical to the ones nvcc compiles.
#pragma once

#include <cuda_runtime.h>  // the toolkit's own types, error codes and runtime declarations
#include <curand.h>

#include <omp.h>

#include "cudaStandinControls.h"

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include <thrust/mr/fancy_pointer_resource.h>
#include <thrust/mr/new.h>
#include <thrust/pair.h>
#include <thrust/system/detail/bad_alloc.h>
#include <thrust/system/omp/detail/execution_policy.h>
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
// Internals used by the inline code below.
bool reserveDeviceBytes(std::size_t bytes);  // false when the device is full or a fault is armed
void chargeDeviceBytes(std::size_t bytes);   // an allocation that cannot fail, counted all the same
void releaseDeviceBytes(std::size_t bytes);
cudaError_t beginLaunch(const char* kernelName, dim3 grid, dim3 block);  // checks the configuration, records the error
int takeCurandFault(const char* callName);  // counts the call; the armed status, or 0 when the call goes ahead

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

// The primitives' own temporary storage is device memory on a GPU: it is charged to the simulated device as well, and
// a failure to get it ends in Thrust's bad_alloc, as there. Found by Thrust through ADL.
// A GPU primitive gets its storage on the calling thread before the work starts. The OpenMP sorts take theirs inside
// their parallel regions, where an exception would end the process, so there it is charged but never fails.
THRUST_NAMESPACE_BEGIN
namespace system {
namespace omp {
namespace detail {

template <typename T, typename DerivedPolicy>
thrust::pair<thrust::pointer<T, DerivedPolicy>, std::ptrdiff_t>
get_temporary_buffer(execution_policy<DerivedPolicy>&, std::ptrdiff_t n)
{
    const std::size_t bytes = sizeof(T) * static_cast<std::size_t>(n);
    if (omp_in_parallel())
        cudaStandin::chargeDeviceBytes(bytes);
    else if (!cudaStandin::reserveDeviceBytes(bytes))
        return thrust::make_pair(thrust::pointer<T, DerivedPolicy>(), std::ptrdiff_t(0));
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (p == nullptr) {
        cudaStandin::releaseDeviceBytes(bytes);
        return thrust::make_pair(thrust::pointer<T, DerivedPolicy>(), std::ptrdiff_t(0));
    }
    return thrust::make_pair(thrust::pointer<T, DerivedPolicy>(static_cast<T*>(p)), n);
}

template <typename DerivedPolicy, typename Pointer>
void return_temporary_buffer(execution_policy<DerivedPolicy>&, Pointer p, std::ptrdiff_t n)
{
    using Element = typename thrust::iterator_traits<Pointer>::value_type;
    if (thrust::raw_pointer_cast(p) == nullptr)
        return;  // a failed request, handed back with its size by Thrust
    std::free(thrust::raw_pointer_cast(p));
    cudaStandin::releaseDeviceBytes(sizeof(Element) * static_cast<std::size_t>(n));
}

}  // namespace detail
}  // namespace omp
}  // namespace system
THRUST_NAMESPACE_END
