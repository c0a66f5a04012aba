// The CUDA runtime calls the stages make, on the host: device memory is host memory, kernels run on the block pool.
#include "hostRuntime.h"

#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <string>

#include "hostRuntimeHooks.h"

namespace {

// The runtime's errors a caller can meet here, with CUDA's names and texts.
struct NamedError {
    cudaError_t code;
    const char* name;
    const char* text;
};
const NamedError kErrors[] = {
    {cudaSuccess, "cudaSuccess", "no error"},
    {cudaErrorInvalidValue, "cudaErrorInvalidValue", "invalid argument"},
    {cudaErrorMemoryAllocation, "cudaErrorMemoryAllocation", "out of memory"},
    {cudaErrorInitializationError, "cudaErrorInitializationError", "initialization error"},
    {cudaErrorInvalidConfiguration, "cudaErrorInvalidConfiguration", "invalid configuration argument"},
    {cudaErrorInvalidDevicePointer, "cudaErrorInvalidDevicePointer", "invalid device pointer"},
    {cudaErrorNoDevice, "cudaErrorNoDevice", "no CUDA-capable device is detected"},
    {cudaErrorInsufficientDriver, "cudaErrorInsufficientDriver",
     "CUDA driver version is insufficient for CUDA runtime version"},
    {cudaErrorLaunchOutOfResources, "cudaErrorLaunchOutOfResources", "too many resources requested for launch"},
    {cudaErrorLaunchTimeout, "cudaErrorLaunchTimeout", "the launch timed out and was terminated"},
    {cudaErrorIllegalAddress, "cudaErrorIllegalAddress", "an illegal memory access was encountered"},
    {cudaErrorLaunchFailure, "cudaErrorLaunchFailure", "unspecified launch failure"},
    {cudaErrorInvalidDeviceFunction, "cudaErrorInvalidDeviceFunction", "invalid device function"},
    {cudaErrorNoKernelImageForDevice, "cudaErrorNoKernelImageForDevice",
     "no kernel image is available for execution on the device"},
    {cudaErrorUnknown, "cudaErrorUnknown", "unknown error"},
};

const NamedError* errorOf(cudaError_t code)
{
    for (const NamedError& error : kErrors)
        if (error.code == code)
            return &error;
    return nullptr;
}

hostRuntime::Hooks* hooks()
{
    return kyHostRuntimeHooks != nullptr ? kyHostRuntimeHooks() : nullptr;
}

cudaError_t hookedCall(const char* callName)
{
    hostRuntime::Hooks* h = hooks();
    return h != nullptr ? static_cast<cudaError_t>(h->runtimeCall(callName)) : cudaSuccess;
}

// The host's memory, from the kernel's own figures; unlimited when they cannot be read.
void hostMemory(std::size_t& available, std::size_t& total)
{
    available = total = std::numeric_limits<std::size_t>::max();
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::size_t kibibytes = 0;
    std::string unit;
    while (meminfo >> key >> kibibytes >> unit) {
        if (key == "MemTotal:")
            total = kibibytes * 1024;
        else if (key == "MemAvailable:")
            available = kibibytes * 1024;
    }
}

// An outsized request meets a full device, not the host's out-of-memory killer.
bool reserve(std::size_t bytes, bool deviceVector)
{
    if (hostRuntime::Hooks* h = hooks())
        return h->reserve(bytes, deviceVector);
    std::size_t available = 0, total = 0;
    hostMemory(available, total);
    return bytes <= available;
}

// The last error is per host thread, as in CUDA.
thread_local cudaError_t lastError = cudaSuccess;

// Buffers from cudaMalloc and their sizes, so that cudaFree can refuse what it never handed out.
struct Buffers {
    std::mutex mutex;
    std::map<void*, std::size_t> sizes;
};

Buffers& buffers()
{
    static Buffers instance;
    return instance;
}

}  // namespace

namespace hostRuntime {

bool reserveDeviceBytes(std::size_t bytes)
{
    return reserve(bytes, true);
}

void releaseDeviceBytes(std::size_t bytes)
{
    if (Hooks* h = hooks())
        h->release(bytes);
}

cudaError_t beginLaunch(const char* kernelName, dim3 grid, dim3 block)
{
    // The limits of every current NVIDIA GPU.
    const unsigned long long threads = static_cast<unsigned long long>(block.x) * block.y * block.z;
    cudaError_t error = cudaSuccess;
    if (grid.x == 0 || grid.y == 0 || grid.z == 0 || threads == 0 || threads > 1024 || block.x > 1024 ||
        block.y > 1024 || block.z > 64 || grid.x > 2147483647u || grid.y > 65535 || grid.z > 65535)
        error = cudaErrorInvalidConfiguration;
    Hooks* h = hooks();
    if (error == cudaSuccess && h != nullptr)
        error = static_cast<cudaError_t>(h->launch(kernelName));
    if (error != cudaSuccess)
        lastError = error;
    return error;
}

bool errorNamed(const char* name, int& code)
{
    for (const NamedError& error : kErrors)
        if (std::string(name) == error.name) {
            code = error.code;
            return true;
        }
    return false;
}

}  // namespace hostRuntime

extern "C" {

cudaError_t CUDARTAPI cudaGetLastError(void)
{
    const cudaError_t error = lastError;
    lastError = cudaSuccess;
    return error;
}

cudaError_t CUDARTAPI cudaPeekAtLastError(void) { return lastError; }

// Kernels run to completion inside their launch here.
cudaError_t CUDARTAPI cudaDeviceSynchronize(void) { return cudaSuccess; }

const char* CUDARTAPI cudaGetErrorString(cudaError_t error)
{
    const NamedError* known = errorOf(error);
    return known != nullptr ? known->text : "unrecognized error code";
}

const char* CUDARTAPI cudaGetErrorName(cudaError_t error)
{
    const NamedError* known = errorOf(error);
    return known != nullptr ? known->name : "cudaErrorUnknown";
}

cudaError_t CUDARTAPI cudaMemGetInfo(size_t* free, size_t* total)
{
    if (const cudaError_t error = hookedCall("cudaMemGetInfo"); error != cudaSuccess)
        return error;
    if (free == nullptr || total == nullptr)
        return cudaErrorInvalidValue;
    std::size_t hostFree = 0, hostTotal = 0;
    hostMemory(hostFree, hostTotal);
    *free = hostFree;
    *total = hostTotal;
    if (hostRuntime::Hooks* h = hooks())
        h->memoryInfo(hostFree, hostTotal, *free, *total);
    return cudaSuccess;
}

cudaError_t CUDARTAPI cudaMalloc(void** devPtr, size_t size)
{
    if (devPtr == nullptr)
        return cudaErrorInvalidValue;
    if (const cudaError_t error = hookedCall("cudaMalloc"); error != cudaSuccess)
        return error;
    if (!reserve(size, false))
        return cudaErrorMemoryAllocation;
    // Device allocations are at least 256-byte aligned.
    void* p = std::aligned_alloc(256, (size + 255) / 256 * 256 + 256);
    if (p == nullptr) {
        hostRuntime::releaseDeviceBytes(size);
        return cudaErrorMemoryAllocation;
    }
    Buffers& b = buffers();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.sizes[p] = size;
    *devPtr = p;
    return cudaSuccess;
}

cudaError_t CUDARTAPI cudaFree(void* devPtr)
{
    if (const cudaError_t error = hookedCall("cudaFree"); error != cudaSuccess)
        return error;
    if (devPtr == nullptr)
        return cudaSuccess;
    Buffers& b = buffers();
    std::size_t size = 0;
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        auto it = b.sizes.find(devPtr);
        if (it == b.sizes.end())
            return cudaErrorInvalidValue;
        size = it->second;
        b.sizes.erase(it);
    }
    std::free(devPtr);
    hostRuntime::releaseDeviceBytes(size);
    return cudaSuccess;
}

}  // extern "C"
