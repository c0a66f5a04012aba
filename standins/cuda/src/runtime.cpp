// The CUDA runtime calls the plug-in makes, on a simulated device whose memory lives on the host.
#include <cudaStandin.h>

#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace {

struct Fault {
    std::string name;  // the kernel name, one of the call names below, or a cuRAND function's name
    int code;          // a cudaError_t, or a curandStatus_t for a cuRAND call
    int skip;
};

struct Device {
    std::mutex mutex;
    std::size_t total = std::size_t(80) << 30;
    std::size_t inUse = 0;
    std::size_t peak = 0;
    std::map<void*, std::size_t> buffers;  // cudaMalloc'd buffers and their sizes
    std::deque<Fault> faults;
    std::deque<std::pair<int, std::size_t>> freeOverrides;  // (skip, free bytes)
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

const char kMemGetInfoCall[] = "cudaMemGetInfo";
const char kMallocCall[] = "cudaMalloc";
const char kFreeCall[] = "cudaFree";
const char kDeviceVectorCall[] = "deviceVector";

// Consumes an armed fault for `name`; returns its code, or 0 (success) when none fires. Caller holds the mutex.
int takeFaultCode(Device& d, const std::string& name)
{
    for (auto it = d.faults.begin(); it != d.faults.end(); ++it) {
        if (it->name != name)
            continue;
        if (it->skip > 0) {
            --it->skip;
            return 0;
        }
        const int code = it->code;
        d.faults.erase(it);
        return code;
    }
    return 0;
}

cudaError_t takeFault(Device& d, const std::string& name)
{
    return static_cast<cudaError_t>(takeFaultCode(d, name));
}

void arm(const std::string& name, int code, int skip)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.faults.push_back({name, code, skip});
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

void failNextLaunch(const std::string& kernelName, cudaError_t error, int skip) { arm(kernelName, error, skip); }
void failMemGetInfo(cudaError_t error, int skip) { arm(kMemGetInfoCall, error, skip); }
void failMalloc(cudaError_t error, int skip) { arm(kMallocCall, error, skip); }
void failFree(cudaError_t error, int skip) { arm(kFreeCall, error, skip); }
void failDeviceVectorAllocation(int skip) { arm(kDeviceVectorCall, cudaErrorMemoryAllocation, skip); }
void failCurandCall(const std::string& callName, curandStatus_t status, int skip) { arm(callName, status, skip); }

void setFreeMemoryForQuery(std::size_t freeBytes, int skip)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.freeOverrides.emplace_back(skip, freeBytes);
}

void clearFaults()
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.faults.clear();
    d.freeOverrides.clear();
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
    return takeFaultCode(d, callName);
}

bool reserveDeviceBytes(std::size_t bytes)
{
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    ++d.vectorAllocations;
    if (takeFault(d, kDeviceVectorCall) != cudaSuccess)
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
            error = takeFault(d, kernelName);
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
    switch (error) {
    case cudaSuccess: return "no error";
    case cudaErrorInvalidValue: return "invalid argument";
    case cudaErrorMemoryAllocation: return "out of memory";
    case cudaErrorInitializationError: return "initialization error";
    case cudaErrorInvalidConfiguration: return "invalid configuration argument";
    case cudaErrorInvalidDevicePointer: return "invalid device pointer";
    case cudaErrorNoDevice: return "no CUDA-capable device is detected";
    case cudaErrorInsufficientDriver: return "CUDA driver version is insufficient for CUDA runtime version";
    case cudaErrorLaunchOutOfResources: return "too many resources requested for launch";
    case cudaErrorLaunchTimeout: return "the launch timed out and was terminated";
    case cudaErrorIllegalAddress: return "an illegal memory access was encountered";
    case cudaErrorLaunchFailure: return "unspecified launch failure";
    case cudaErrorInvalidDeviceFunction: return "invalid device function";
    case cudaErrorNoKernelImageForDevice: return "no kernel image is available for execution on the device";
    case cudaErrorUnknown: return "unknown error";
    default: return "unrecognized error code";
    }
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
    if (const cudaError_t error = takeFault(d, kMemGetInfoCall); error != cudaSuccess)
        return error;
    if (free == nullptr || total == nullptr)
        return cudaErrorInvalidValue;
    *total = d.total;
    *free = d.inUse < d.total ? d.total - d.inUse : 0;  // charged storage may overdraw the device
    if (!d.freeOverrides.empty()) {
        auto& next = d.freeOverrides.front();
        if (next.first > 0) {
            --next.first;
        } else {
            *free = next.second;
            d.freeOverrides.pop_front();
        }
    }
    return cudaSuccess;
}

cudaError_t CUDARTAPI cudaMalloc(void** devPtr, size_t size)
{
    if (devPtr == nullptr)
        return cudaErrorInvalidValue;
    Device& d = device();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (const cudaError_t error = takeFault(d, kMallocCall); error != cudaSuccess)
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
    if (const cudaError_t error = takeFault(d, kFreeCall); error != cudaSuccess)
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
