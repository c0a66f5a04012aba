// Controls of the CPU road's runtime for tests: a smaller simulated device, counts, and faults armed on named calls.
// Free of CUDA's own headers, so that code built against the Maya API, whose vector typedefs clash with CUDA's, can use
// them: errors are named as CUDA and cuRAND name them ("cudaErrorLaunchFailure", "CURAND_STATUS_INTERNAL_ERROR").
#pragma once

#include <cstddef>
#include <string>

namespace cudaStandin {

// The simulated device's total memory; default 80 GiB. It never reports or hands out more than the host itself
// has available, so that an outsized request meets a full device, not the host's out-of-memory killer.
void setDeviceMemory(std::size_t totalBytes);
std::size_t deviceMemoryTotal();
std::size_t deviceBytesInUse();  // cudaMalloc buffers and Thrust device vectors still held
std::size_t devicePeakBytesInUse();
void resetPeakBytesInUse();

// Faults. An armed fault counts the matching calls made after it was armed and fails the (skip + 1)-th once; later
// calls succeed again. When several fire on one call, the one armed first gives the call its error; all that fired
// are spent. An unknown kernel, call or error name throws std::invalid_argument.
void failNextLaunch(const std::string& kernelName, const std::string& error = "cudaErrorLaunchFailure", int skip = 0);
void failMemGetInfo(const std::string& error = "cudaErrorInitializationError", int skip = 0);
// What the (skip + 1)-th query that answers reports as free; a failed query is not counted.
void setFreeMemoryForQuery(std::size_t freeBytes, int skip = 0);
void failMalloc(const std::string& error = "cudaErrorMemoryAllocation", int skip = 0);
void failFree(const std::string& error = "cudaErrorInvalidValue", int skip = 0);
// The (skip + 1)-th Thrust device allocation, of a vector or of a primitive's temporary storage, fails: bad_alloc.
void failDeviceVectorAllocation(int skip = 0);
// cuRAND calls pass through the runtime on their way to the real library, where curandCreateGenerator makes the
// host generator (the device generator's sequence, in host memory). An armed call, named as the function
// ("curandCreateGenerator", "curandSetPseudoRandomGeneratorSeed", "curandGenerateUniform",
// "curandDestroyGenerator"), returns `status` and does nothing.
void failCurandCall(const std::string& callName, const std::string& status = "CURAND_STATUS_INTERNAL_ERROR",
                    int skip = 0);
void clearFaults();

// The runtime's text for a named error, as cudaGetErrorString gives it.
std::string errorString(const std::string& error);

// Counts since the last clearLaunchCounts().
int launchCount(const std::string& kernelName);
int curandCallCount(const std::string& callName);
int deviceVectorAllocationCount();
void clearLaunchCounts();

// How many threads run the kernels of every CPU road in the process; 0 gives back the runtime's own choice (the
// processors the process may use).
void setKernelThreads(int threads);

}  // namespace cudaStandin
