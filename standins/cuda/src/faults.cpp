// The hooks the CPU road's runtime finds in a test process: a simulated device, counts, and the faults tests arm.
#include <cudaStandinControls.h>

#include <cuda_runtime.h>
#include <curand.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "faultTable.h"
#include "hostRuntime.h"
#include "hostRuntimeHooks.h"

namespace {

// The kernels the product launches, by the name each launch gives: only these can be made to fail.
const std::vector<std::string> kKernelNames = {
    "calculateArea",
    "generateRandomPoints",
    "detectCells",
    "countBucketCells",
    "offerCellsToSlot",
    "fillHashTable",
    "getCells",
    "calculateCellPhase",
    "countCellsInPhases",
    "chooseSamplesInCells",
    "flattenSamples",
    "sampleCellKeys",
    "gatherSamples",
    "gatherSurfaceSamples",
    "weighCandidates",
    "gatherLevelCandidates",
    "blockNearSamples",
    "levelSamplesAsCandidates",
    "weighCandidatesByTexture",
    "countStableCandidates",
    "markTriangleStarts",
    "placeStableCandidates",
    "chooseSamplesInTurn",
    "keyStableCandidates",
    "indexStableCells",
    "phaseStableCells",
    "listKeptCells",
    "stableSampleSurface",
};

const std::pair<curandStatus_t, const char*> kCurandStatuses[] = {
    {CURAND_STATUS_ALLOCATION_FAILED, "CURAND_STATUS_ALLOCATION_FAILED"},
    {CURAND_STATUS_NOT_INITIALIZED, "CURAND_STATUS_NOT_INITIALIZED"},
    {CURAND_STATUS_LAUNCH_FAILURE, "CURAND_STATUS_LAUNCH_FAILURE"},
    {CURAND_STATUS_INTERNAL_ERROR, "CURAND_STATUS_INTERNAL_ERROR"},
    {CURAND_STATUS_INITIALIZATION_FAILED, "CURAND_STATUS_INITIALIZATION_FAILED"},
};

const std::vector<std::string> kCurandCalls = {"curandCreateGenerator", "curandSetPseudoRandomGeneratorSeed",
                                              "curandGenerateUniform", "curandDestroyGenerator"};

const char kMemGetInfoCall[] = "cudaMemGetInfo";
const char kFreeMemoryAnswer[] = "cudaMemGetInfo free bytes";  // armed with the bytes to report instead of a code
const char kMallocCall[] = "cudaMalloc";
const char kFreeCall[] = "cudaFree";
const char kDeviceVectorCall[] = "deviceVector";

cudaError_t errorNamed(const std::string& name)
{
    int code = 0;
    if (!hostRuntime::errorNamed(name.c_str(), code))
        throw std::invalid_argument("cudaStandin: no runtime error is named '" + name + "'");
    return static_cast<cudaError_t>(code);
}

curandStatus_t curandStatusNamed(const std::string& name)
{
    for (const auto& [code, statusName] : kCurandStatuses)
        if (name == statusName)
            return code;
    throw std::invalid_argument("cudaStandin: no cuRAND status is named '" + name + "'");
}

// What the host can still give.
std::size_t hostAvailableBytes()
{
    std::size_t available = 0, total = 0;
    hostRuntime::hostMemory(available, total);
    return available;
}

class Device final : public hostRuntime::Hooks {
public:
    int launch(const char* kernelName) override;
    int runtimeCall(const char* callName) override;
    int curandCall(const char* callName) override;
    bool reserve(std::size_t bytes, bool deviceVector) override;
    void release(std::size_t bytes) override;
    void memoryInfo(std::size_t hostFree, std::size_t hostTotal, std::size_t& free, std::size_t& total) override;
    int threadCount() override { return threads; }

    // What is left of the simulated device, but never more than the host has.
    std::size_t freeBytesLocked() const
    {
        const std::size_t left = inUse < total ? total - inUse : 0;
        return std::min(left, hostAvailableBytes());
    }

    std::mutex mutex;
    std::size_t total = std::size_t(80) << 30;
    std::size_t inUse = 0;
    std::size_t peak = 0;
    // A table for each kind of call, so that arming a launch refuses a cuRAND call's name and the other way round.
    standinFaults::FaultTable launchFaults{kKernelNames};
    standinFaults::FaultTable curandFaults{kCurandCalls};
    standinFaults::FaultTable runtimeFaults{
        {kMemGetInfoCall, kFreeMemoryAnswer, kMallocCall, kFreeCall, kDeviceVectorCall}};
    std::map<std::string, int> launches;
    std::map<std::string, int> curandCalls;
    int vectorAllocations = 0;
    std::atomic<int> threads{0};
};

// The device lives as long as the library: the last thing unloaded, after every road that reports to it.
Device device;

int takeFault(standinFaults::FaultTable& table, const char* name)
{
    return static_cast<int>(table.take(name).value_or(0));
}

int Device::launch(const char* kernelName)
{
    std::lock_guard<std::mutex> lock(mutex);
    const int error = takeFault(launchFaults, kernelName);
    if (error == 0)
        ++launches[kernelName];
    return error;
}

int Device::runtimeCall(const char* callName)
{
    return takeFault(runtimeFaults, callName);
}

int Device::curandCall(const char* callName)
{
    std::lock_guard<std::mutex> lock(mutex);
    ++curandCalls[callName];
    return takeFault(curandFaults, callName);
}

bool Device::reserve(std::size_t bytes, bool deviceVector)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (deviceVector) {
        ++vectorAllocations;
        if (takeFault(runtimeFaults, kDeviceVectorCall) != 0)
            return false;
    }
    if (bytes > freeBytesLocked())
        return false;
    inUse += bytes;
    peak = std::max(peak, inUse);
    return true;
}

void Device::release(std::size_t bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    inUse -= bytes;
}

void Device::memoryInfo(std::size_t, std::size_t, std::size_t& free, std::size_t& total_)
{
    std::lock_guard<std::mutex> lock(mutex);
    total_ = total;
    free = freeBytesLocked();
    if (const std::optional<long long> answer = runtimeFaults.take(kFreeMemoryAnswer))
        free = static_cast<std::size_t>(*answer);
}

template <typename T>
int countOf(const std::map<std::string, T>& counts, const std::string& name)
{
    auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
}

}  // namespace

extern "C" hostRuntime::Hooks* kyHostRuntimeHooks()
{
    return &device;
}

namespace cudaStandin {

void setDeviceMemory(std::size_t totalBytes)
{
    std::lock_guard<std::mutex> lock(device.mutex);
    device.total = std::max(totalBytes, device.inUse);
}

std::size_t deviceMemoryTotal()
{
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.total;
}

std::size_t deviceBytesInUse()
{
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.inUse;
}

std::size_t devicePeakBytesInUse()
{
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.peak;
}

void resetPeakBytesInUse()
{
    std::lock_guard<std::mutex> lock(device.mutex);
    device.peak = device.inUse;
}

void failNextLaunch(const std::string& kernelName, const std::string& error, int skip)
{
    device.launchFaults.arm(kernelName, errorNamed(error), skip);
}

void failMemGetInfo(const std::string& error, int skip)
{
    device.runtimeFaults.arm(kMemGetInfoCall, errorNamed(error), skip);
}

void failMalloc(const std::string& error, int skip) { device.runtimeFaults.arm(kMallocCall, errorNamed(error), skip); }
void failFree(const std::string& error, int skip) { device.runtimeFaults.arm(kFreeCall, errorNamed(error), skip); }

std::string errorString(const std::string& error)
{
    return cudaGetErrorString(errorNamed(error));
}

void failDeviceVectorAllocation(int skip)
{
    device.runtimeFaults.arm(kDeviceVectorCall, cudaErrorMemoryAllocation, skip);
}

void failCurandCall(const std::string& callName, const std::string& status, int skip)
{
    device.curandFaults.arm(callName, curandStatusNamed(status), skip);
}

void setFreeMemoryForQuery(std::size_t freeBytes, int skip)
{
    device.runtimeFaults.arm(kFreeMemoryAnswer, static_cast<long long>(freeBytes), skip);
}

void clearFaults()
{
    device.launchFaults.clear();
    device.curandFaults.clear();
    device.runtimeFaults.clear();
}

int launchCount(const std::string& kernelName)
{
    std::lock_guard<std::mutex> lock(device.mutex);
    return countOf(device.launches, kernelName);
}

int curandCallCount(const std::string& callName)
{
    std::lock_guard<std::mutex> lock(device.mutex);
    return countOf(device.curandCalls, callName);
}

void clearLaunchCounts()
{
    std::lock_guard<std::mutex> lock(device.mutex);
    device.launches.clear();
    device.curandCalls.clear();
    device.vectorAllocations = 0;
}

int deviceVectorAllocationCount()
{
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.vectorAllocations;
}

void setKernelThreads(int threads)
{
    device.threads = std::max(threads, 0);
}

}  // namespace cudaStandin
