#include <cuda_runtime.h>

#include <string>

#include "../../kernels/kyScatterPointsKernels.h"
#include "../scatterRoad.h"

namespace {

// Why the road cannot compute, from the runtime's own words; the error is read, so it does not linger.
bool unusable(cudaError_t error, std::string& description)
{
    description = cudaGetErrorString(error);
    cudaGetLastError();
    return false;
}

}  // namespace

// A device, and code this build can run on it: a GPU older or newer than the build's architectures has none.
bool probeRoad(std::string& description)
{
    int count = 0;
    if (const cudaError_t error = cudaGetDeviceCount(&count); error != cudaSuccess)
        return unusable(error, description);
    if (count == 0)
        return unusable(cudaErrorNoDevice, description);
    cudaDeviceProp properties;
    if (const cudaError_t error = cudaGetDeviceProperties(&properties, 0); error != cudaSuccess)
        return unusable(error, description);
    cudaFuncAttributes attributes;
    if (const cudaError_t error = cudaFuncGetAttributes(&attributes, chooseSamplesInCells); error != cudaSuccess)
        return unusable(error, description);
    description = std::string(properties.name) + " (compute capability " + std::to_string(properties.major) + "." +
                  std::to_string(properties.minor) + ", " + std::to_string(properties.totalGlobalMem >> 20) + " MiB)";
    return true;
}
