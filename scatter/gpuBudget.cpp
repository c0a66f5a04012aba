#include "gpuBudget.h"

#include <cuda_runtime_api.h>

#include <cstdio>

namespace {

bool queryDeviceMemory(size_t& freeBytes, size_t& totalBytes)
{
    const cudaError_t error = cudaMemGetInfo(&freeBytes, &totalBytes);
    if (error != cudaSuccess) {
        printf("Error: cudaMemGetInfo fails, %s \n", cudaGetErrorString(error));
        return false;
    }
    return true;
}

}  // namespace

BudgetResult checkGPUMemoryBudget(unsigned long bytes, unsigned long long* freeFigure)
{
    size_t freeBytes = 0;
    size_t totalBytes = 0;
    if (!queryDeviceMemory(freeBytes, totalBytes))
        return BudgetResult::queryFailed;
    if (freeFigure != nullptr)
        *freeFigure = freeBytes;
    return static_cast<unsigned long long>(freeBytes) >= static_cast<unsigned long long>(bytes) ? BudgetResult::enough
                                                                                               : BudgetResult::notEnough;
}

bool checkGPUMemoryAvailability(unsigned long bytes)
{
    return checkGPUMemoryBudget(bytes) == BudgetResult::enough;
}

void printMemoryStat()
{
    size_t freeBytes = 0;
    size_t totalBytes = 0;
    if (!queryDeviceMemory(freeBytes, totalBytes))
        return;
    const double freeDb = static_cast<double>(freeBytes);
    const double totalDb = static_cast<double>(totalBytes);
    const double usedDb = totalDb - freeDb;
    printf("\nGPU memory usage: used = %f, free = %f MB, total = %f MB\n", usedDb / 1024.0 / 1024.0,
           freeDb / 1024.0 / 1024.0, totalDb / 1024.0 / 1024.0);
}
