// The CUDA runtime calls the plug-in makes, on a simulated device whose memory lives on the host.
#include <cudaStandin.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "faultTable.h"

namespace {

// The kernels the product launches, by the name each launch gives: only these can be made to fail.
const std::vector<std::string> kKernelNames = {
    "calculateArea",
    "generateRandomPoints",
    "detectCells",
    "fillHashTable",
    "getCells",
    "calculateCellPhase",
    "countCellsInPhases",
    "chooseSamplesInCells",
    "flattenSamples",
    "gatherSamples",
    "gatherSurfaceSamples",
};

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

const std::pair<curandStatus_t, const char*> kCurandStatuses[] = {
    {CURAND_STATUS_ALLOCATION_FAILED, "CURAND_STATUS_ALLOCATION_FAILED"},
    {CURAND_STATUS_NOT_INITIALIZED, "CURAND_STATUS_NOT_INITIALIZED"},
    {CURAND_STATUS_LAUNCH_FAILURE, "CURAND_STATUS_LAUNCH_FAILURE"},
    {CURAND_STATUS_INTERNAL_ERROR, "CURAND_STATUS_INTERNAL_ERROR"},
    {CURAND_STATUS_INITIALIZATION_FAILED, "CURAND_STATUS_INITIALIZATION_FAILED"},
};

const NamedError* errorOf(cudaError_t code)
{
    for (const NamedError& error : kErrors)
        if (error.code == code)
            return &error;
    return nullptr;
}

cudaError_t errorNamed(const std::string& name)
{
    for (const NamedError& error : kErrors)
        if (name == error.name)
            return error.code;
    throw std::invalid_argument("cudaStandin: no runtime error is named '" + name + "'");
}

curandStatus_t curandStatusNamed(const std::string& name)
{
    for (const auto& [code, statusName] : kCurandStatuses)
        if (name == statusName)
            return code;
    throw std::invalid_argument("cudaStandin: no cuRAND status is named '" + name + "'");
}

const std::vector<std::string> kCurandCalls = {"curandCreateGenerator", "curandSetPseudoRandomGeneratorSeed",
                                              "curandGenerateUniform", "curandDestroyGenerator"};

const char kMemGetInfoCall[] = "cudaMemGetInfo";
const char kFreeMemoryAnswer[] = "cudaMemGetInfo free bytes";  // armed with the bytes to report instead of a code
const char kMallocCall[] = "cudaMalloc";
const char kFreeCall[] = "cudaFree";
const char kDeviceVectorCall[] = "deviceVector";

struct Device {
    std::mutex mutex;
    std::size_t total = std::size_t(80) << 30;
    std::size_t inUse = 0;
    std::size_t peak = 0;
    std::map<void*, std::size_t> buffers;  // cudaMalloc'd buffers and their sizes
    // A table for each kind of call, so that arming a launch refuses a cuRAND call's name and the other way round.
    standinFaults::FaultTable launchFaults{kKernelNames};
    standinFaults::FaultTable curandFaults{kCurandCalls};
    standinFaults::FaultTable runtimeFaults{
        {kMemGetInfoCall, kFreeMemoryAnswer, kMallocCall, kFreeCall, kDeviceVectorCall}};
    std::map<std::string, int> launches;
    std::map<std::string, int> curandCalls;
    int vectorAllocations = 0;
};

// The device lives as long as the library. Its owner is made when the library is loaded, before anything that links
// the library can hold device memory, so it goes last: at exit, or when the last plug-in that needs it is unloaded.
struct DeviceOwner {
    DeviceOwner() : instance(new Device) {}
    ~DeviceOwner() { delete instance; }
    Device* instance;
};
DeviceOwner owner;

Device& device()
{
    return *owner.instance;
}

// The last error is per host thread, as in CUDA.
thread_local cudaError_t lastError = cudaSuccess;

// The error an armed fault of the table gives the call, or cudaSuccess.
cudaError_t takeFault(standinFaults::FaultTable& table, const char* name)
{
    return static_cast<cudaError_t>(table.take(name).value_or(cudaSuccess));
}

// What the host can still give, from the kernel's own estimate; unlimited when it cannot be read.
std::size_t hostAvailableBytes()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::size_t kibibytes = 0;
    std::string unit;
    while (meminfo >> key >> kibibytes >> unit)
        if (key == "MemAvailable:")
            return kibibytes * 1024;
    return std::numeric_limits<std::size_t>::max();
}

// Free device memory: what the simulated device has left, but never more than the host has.
std::size_t freeBytesLocked(const Device& d)
{
    const std::size_t left = d.inUse < d.total ? d.total - d.inUse : 0;  // charged storage may overdraw the device
    return std::min(left, hostAvailableBytes());
}

bool reserveLocked(Device& d, std::size_t bytes)
{
    if (bytes > freeBytesLocked(d))
        return false;
    d.inUse += bytes;
    if (d.inUse > d.peak)
        d.peak = d.inUse;
    return true;
}

}  // namespace

namespace cudaStandin {

void setDeviceMemory(std::size_t totalBytes)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.total = totalBytes < d.inUse ? d.inUse : totalBytes;
}

std::size_t deviceMemoryTotal()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.total;
}

std::size_t deviceBytesInUse()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.inUse;
}

std::size_t devicePeakBytesInUse()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.peak;
}

void resetPeakBytesInUse()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.peak = d.inUse;
}

void failNextLaunch(const std::string& kernelName, const std::string& error, int skip)
{
    device().launchFaults.arm(kernelName, errorNamed(error), skip);
}

void failMemGetInfo(const std::string& error, int skip)
{
    device().runtimeFaults.arm(kMemGetInfoCall, errorNamed(error), skip);
}

void failMalloc(const std::string& error, int skip) { device().runtimeFaults.arm(kMallocCall, errorNamed(error), skip); }
void failFree(const std::string& error, int skip) { device().runtimeFaults.arm(kFreeCall, errorNamed(error), skip); }

std::string errorString(const std::string& error)
{
    return cudaGetErrorString(errorNamed(error));
}

void failDeviceVectorAllocation(int skip)
{
    device().runtimeFaults.arm(kDeviceVectorCall, cudaErrorMemoryAllocation, skip);
}

void failCurandCall(const std::string& callName, const std::string& status, int skip)
{
    device().curandFaults.arm(callName, curandStatusNamed(status), skip);
}

void setFreeMemoryForQuery(std::size_t freeBytes, int skip)
{
    device().runtimeFaults.arm(kFreeMemoryAnswer, static_cast<long long>(freeBytes), skip);
}

void clearFaults()
{
    Device& d = device();
    d.launchFaults.clear();
    d.curandFaults.clear();
    d.runtimeFaults.clear();
}

int launchCount(const std::string& kernelName)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    auto it = d.launches.find(kernelName);
    return it == d.launches.end() ? 0 : it->second;
}

int curandCallCount(const std::string& callName)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    auto it = d.curandCalls.find(callName);
    return it == d.curandCalls.end() ? 0 : it->second;
}

void clearLaunchCounts()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.launches.clear();
    d.curandCalls.clear();
    d.vectorAllocations = 0;
}

int deviceVectorAllocationCount()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.vectorAllocations;
}

int takeCurandFault(const char* callName)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    ++d.curandCalls[callName];
    return static_cast<int>(d.curandFaults.take(callName).value_or(CURAND_STATUS_SUCCESS));
}

bool reserveDeviceBytes(std::size_t bytes)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    ++d.vectorAllocations;
    if (takeFault(d.runtimeFaults, kDeviceVectorCall) != cudaSuccess)
        return false;
    return reserveLocked(d, bytes);
}

void chargeDeviceBytes(std::size_t bytes)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.inUse += bytes;
    if (d.inUse > d.peak)
        d.peak = d.inUse;
}

void releaseDeviceBytes(std::size_t bytes)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.inUse -= bytes;
}

cudaError_t beginLaunch(const char* kernelName, dim3 grid, dim3 block)
{
    // The limits of every current NVIDIA GPU.
    const unsigned long long threads = static_cast<unsigned long long>(block.x) * block.y * block.z;
    cudaError_t error = cudaSuccess;
    if (grid.x == 0 || grid.y == 0 || grid.z == 0 || threads == 0 || threads > 1024 || block.x > 1024 ||
        block.y > 1024 || block.z > 64 || grid.x > 2147483647u || grid.y > 65535 || grid.z > 65535)
        error = cudaErrorInvalidConfiguration;
    Device& d = device();
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        if (error == cudaSuccess)
            error = takeFault(d.launchFaults, kernelName);
        if (error == cudaSuccess)
            ++d.launches[kernelName];
    }
    if (error != cudaSuccess)
        lastError = error;
    return error;
}

}  // namespace cudaStandin

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
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (const cudaError_t error = takeFault(d.runtimeFaults, kMemGetInfoCall); error != cudaSuccess)
        return error;
    if (free == nullptr || total == nullptr)
        return cudaErrorInvalidValue;
    *total = d.total;
    *free = freeBytesLocked(d);
    if (const std::optional<long long> answer = d.runtimeFaults.take(kFreeMemoryAnswer))
        *free = static_cast<std::size_t>(*answer);
    return cudaSuccess;
}

cudaError_t CUDARTAPI cudaMalloc(void** devPtr, size_t size)
{
    if (devPtr == nullptr)
        return cudaErrorInvalidValue;
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (const cudaError_t error = takeFault(d.runtimeFaults, kMallocCall); error != cudaSuccess)
        return error;
    if (!reserveLocked(d, size))
        return cudaErrorMemoryAllocation;
    // Device allocations are at least 256-byte aligned.
    void* p = std::aligned_alloc(256, (size + 255) / 256 * 256 + 256);
    if (p == nullptr) {
        d.inUse -= size;
        return cudaErrorMemoryAllocation;
    }
    d.buffers[p] = size;
    *devPtr = p;
    return cudaSuccess;
}

cudaError_t CUDARTAPI cudaFree(void* devPtr)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (const cudaError_t error = takeFault(d.runtimeFaults, kFreeCall); error != cudaSuccess)
        return error;
    if (devPtr == nullptr)
        return cudaSuccess;
    auto it = d.buffers.find(devPtr);
    if (it == d.buffers.end())
        return cudaErrorInvalidValue;
    d.inUse -= it->second;
    d.buffers.erase(it);
    std::free(devPtr);
    return cudaSuccess;
}

}  // extern "C"
