// The CUDA runtime calls the plug-in makes, on a simulated device whose memory lives on the host.
#include <cudaStandin.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
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
};

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

bool reserveLocked(Device& d, std::size_t bytes)
{
    if (d.inUse > d.total || bytes > d.total - d.inUse)
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

void failNextLaunch(const std::string& kernelName, cudaError_t error, int skip)
{
    device().launchFaults.arm(kernelName, error, skip);
}

void failMemGetInfo(cudaError_t error, int skip) { device().runtimeFaults.arm(kMemGetInfoCall, error, skip); }
void failMalloc(cudaError_t error, int skip) { device().runtimeFaults.arm(kMallocCall, error, skip); }
void failFree(cudaError_t error, int skip) { device().runtimeFaults.arm(kFreeCall, error, skip); }

void failDeviceVectorAllocation(int skip)
{
    device().runtimeFaults.arm(kDeviceVectorCall, cudaErrorMemoryAllocation, skip);
}

void failCurandCall(const std::string& callName, curandStatus_t status, int skip)
{
    device().curandFaults.arm(callName, status, skip);
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
    // The runtime's own texts for the codes a caller can meet here.
    static const std::pair<cudaError_t, const char*> kTexts[] = {
        {cudaSuccess, "no error"},
        {cudaErrorInvalidValue, "invalid argument"},
        {cudaErrorMemoryAllocation, "out of memory"},
        {cudaErrorInitializationError, "initialization error"},
        {cudaErrorInvalidConfiguration, "invalid configuration argument"},
        {cudaErrorInvalidDevicePointer, "invalid device pointer"},
        {cudaErrorNoDevice, "no CUDA-capable device is detected"},
        {cudaErrorInsufficientDriver, "CUDA driver version is insufficient for CUDA runtime version"},
        {cudaErrorLaunchOutOfResources, "too many resources requested for launch"},
        {cudaErrorLaunchTimeout, "the launch timed out and was terminated"},
        {cudaErrorIllegalAddress, "an illegal memory access was encountered"},
        {cudaErrorLaunchFailure, "unspecified launch failure"},
        {cudaErrorInvalidDeviceFunction, "invalid device function"},
        {cudaErrorNoKernelImageForDevice, "no kernel image is available for execution on the device"},
        {cudaErrorUnknown, "unknown error"},
    };
    for (const auto& [code, text] : kTexts)
        if (code == error)
            return text;
    return "unrecognized error code";
}

const char* CUDARTAPI cudaGetErrorName(cudaError_t error)
{
    switch (error) {
    case cudaSuccess: return "cudaSuccess";
    case cudaErrorInvalidValue: return "cudaErrorInvalidValue";
    case cudaErrorMemoryAllocation: return "cudaErrorMemoryAllocation";
    case cudaErrorInitializationError: return "cudaErrorInitializationError";
    case cudaErrorInvalidConfiguration: return "cudaErrorInvalidConfiguration";
    case cudaErrorLaunchFailure: return "cudaErrorLaunchFailure";
    case cudaErrorIllegalAddress: return "cudaErrorIllegalAddress";
    default: return "cudaErrorUnknown";
    }
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
    *free = d.inUse < d.total ? d.total - d.inUse : 0;  // charged storage may overdraw the device
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
