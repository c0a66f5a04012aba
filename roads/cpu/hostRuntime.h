// The CUDA runtime and device environment of the CPU road, on the host. Every .cu source of the CPU road is compiled
// through a generated wrapper that includes this header first, so the stage and kernel sources stay identical to the
// ones nvcc compiles. Kernels run as loops over their grid on a shared pool of host threads; device memory is host
// memory; Thrust runs its device algorithms sequentially on the calling thread.
#pragma once

#include <cuda_runtime.h>  // the toolkit's own types, error codes and runtime declarations
#include <curand.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <tuple>

#include <thrust/iterator/detail/normal_iterator.h>
#include <thrust/device_ptr.h>
#include <thrust/functional.h>
#include <thrust/mr/fancy_pointer_resource.h>
#include <thrust/mr/new.h>
#include <thrust/pair.h>
#include <thrust/system/cpp/detail/execution_policy.h>
#include <thrust/system/cpp/pointer.h>
#include <thrust/system/detail/bad_alloc.h>

#include "blockPool.h"

// ---------------------------------------------------------------------------------------------------------------
// Built-in variables of the running GPU thread. Each host thread that runs a block has its own copy. Kernels read
// them for every element: in the initial-exec model each read is one load off the thread pointer, where the default
// model of a shared library calls __tls_get_addr; the few bytes fit the static TLS a loaded library may take.
inline thread_local uint3 threadIdx __attribute__((tls_model("initial-exec")));
inline thread_local uint3 blockIdx __attribute__((tls_model("initial-exec")));
inline thread_local dim3 blockDim __attribute__((tls_model("initial-exec")));
inline thread_local dim3 gridDim __attribute__((tls_model("initial-exec")));

// 32-bit atomics on global memory: real read-modify-writes, since blocks run on several threads.
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

inline unsigned int atomicCAS(unsigned int* address, unsigned int compare, unsigned int value)
{
    __atomic_compare_exchange_n(address, &compare, value, false, __ATOMIC_RELAXED, __ATOMIC_RELAXED);
    return compare;
}

inline unsigned int atomicMin(unsigned int* address, unsigned int value)
{
    unsigned int old = __atomic_load_n(address, __ATOMIC_RELAXED);
    while (value < old && !__atomic_compare_exchange_n(address, &old, value, true, __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
    }
    return old;
}

namespace hostRuntime {

bool reserveDeviceBytes(std::size_t bytes);  // false when the memory is not there
void releaseDeviceBytes(std::size_t bytes);
cudaError_t beginLaunch(const char* kernelName, dim3 grid, dim3 block);  // checks the configuration, records the error
bool errorNamed(const char* name, int& code);  // the runtime error of that CUDA name, if the runtime has it
// The stable sort of keys with their values, on the block pool; Thrust's bad_alloc when its scratch is not there.
void sortPairs(unsigned int* keys, unsigned int* values, std::size_t count);
// The host's memory, from the kernel's own figures; unlimited when they cannot be read.
void hostMemory(std::size_t& available, std::size_t& total);

// One launch's kernel and arguments, run block by block.
template <typename Kernel, typename... Args>
struct Launch {
    Kernel kernel;
    dim3 grid;
    dim3 block;
    std::tuple<Args...> args;

    static void runBlocks(const void* self, long long begin, long long end)
    {
        const Launch& launch = *static_cast<const Launch*>(self);
        for (long long b = begin; b < end; ++b)
            launch.runBlock(b);
    }

    void runBlock(long long b) const
    {
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
                    std::apply(kernel, args);
                }
    }
};

}  // namespace hostRuntime

// Runs a kernel as a loop over its grid, blocks spread over the pool's threads, the threads of a block in turn. A
// configuration CUDA would refuse does not run and leaves its error for cudaGetLastError, as CUDA does.
template <typename... Params, typename... Args>
void hostLaunch(const char* kernelName, void (*kernel)(Params...), dim3 grid, dim3 block, Args... args)
{
    if (hostRuntime::beginLaunch(kernelName, grid, block) != cudaSuccess)
        return;
    const hostRuntime::Launch<void (*)(Params...), Args...> launch{kernel, grid, block, std::make_tuple(args...)};
    const long long blockCount = static_cast<long long>(grid.x) * grid.y * grid.z;
    hostRuntime::runBlocks(blockCount, &decltype(launch)::runBlocks, &launch);
}

// ---------------------------------------------------------------------------------------------------------------
// Thrust's device vectors allocate through this resource: it counts what a compute holds, so cudaMemGetInfo sees
// it, and fails as a real device allocation does when the memory is not there.
THRUST_NAMESPACE_BEGIN
namespace mr {
template <>
class fancy_pointer_resource<new_delete_resource, thrust::cpp::pointer<void>> final
    : public memory_resource<thrust::cpp::pointer<void>> {
public:
    using pointer_type = thrust::cpp::pointer<void>;

    pointer_type do_allocate(std::size_t bytes, std::size_t alignment = THRUST_MR_DEFAULT_ALIGNMENT) override
    {
        if (!hostRuntime::reserveDeviceBytes(bytes))
            throw thrust::system::detail::bad_alloc("cudaErrorMemoryAllocation: out of memory");
        try {
            return pointer_type(::operator new(bytes, std::align_val_t(alignment)));
        } catch (...) {
            hostRuntime::releaseDeviceBytes(bytes);
            throw;
        }
    }

    void do_deallocate(pointer_type p, std::size_t bytes, std::size_t alignment = THRUST_MR_DEFAULT_ALIGNMENT) override
    {
        ::operator delete(p.get(), std::align_val_t(alignment));
        hostRuntime::releaseDeviceBytes(bytes);
    }
};
}  // namespace mr
THRUST_NAMESPACE_END

// The primitives' own temporary storage is device memory on a GPU: it is counted as well, and a failure to get it
// ends in Thrust's bad_alloc, as there. Found by Thrust through ADL.
THRUST_NAMESPACE_BEGIN
namespace system {
namespace cpp {
namespace detail {

template <typename T, typename DerivedPolicy>
thrust::pair<thrust::pointer<T, DerivedPolicy>, std::ptrdiff_t>
get_temporary_buffer(execution_policy<DerivedPolicy>&, std::ptrdiff_t n)
{
    const std::size_t bytes = sizeof(T) * static_cast<std::size_t>(n);
    if (!hostRuntime::reserveDeviceBytes(bytes))
        return thrust::make_pair(thrust::pointer<T, DerivedPolicy>(), std::ptrdiff_t(0));
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (p == nullptr) {
        hostRuntime::releaseDeviceBytes(bytes);
        return thrust::make_pair(thrust::pointer<T, DerivedPolicy>(), std::ptrdiff_t(0));
    }
    return thrust::make_pair(thrust::pointer<T, DerivedPolicy>(static_cast<T*>(p)), n);
}

// The stages' stable sorts of unsigned keys carrying unsigned values run on the block pool rather than sequentially;
// a stable sort has one result, so nothing else changes. Found by Thrust through ADL, before its sequential sort.
template <typename DerivedPolicy>
void stable_sort_by_key(execution_policy<DerivedPolicy>&,
                        thrust::detail::normal_iterator<thrust::device_ptr<unsigned int>> keysFirst,
                        thrust::detail::normal_iterator<thrust::device_ptr<unsigned int>> keysLast,
                        thrust::detail::normal_iterator<thrust::device_ptr<unsigned int>> valuesFirst,
                        thrust::less<unsigned int>)
{
    hostRuntime::sortPairs(thrust::raw_pointer_cast(keysFirst.base()), thrust::raw_pointer_cast(valuesFirst.base()),
                           static_cast<std::size_t>(keysLast - keysFirst));
}

template <typename DerivedPolicy, typename Pointer>
void return_temporary_buffer(execution_policy<DerivedPolicy>&, Pointer p, std::ptrdiff_t n)
{
    using Element = typename thrust::iterator_traits<Pointer>::value_type;
    if (thrust::raw_pointer_cast(p) == nullptr)
        return;  // a failed request, handed back with its size by Thrust
    std::free(thrust::raw_pointer_cast(p));
    hostRuntime::releaseDeviceBytes(sizeof(Element) * static_cast<std::size_t>(n));
}

}  // namespace detail
}  // namespace cpp
}  // namespace system
THRUST_NAMESPACE_END
