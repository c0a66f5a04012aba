// The GPU memory budget test made before each group of device allocations, and a usage diagnostic.
#pragma once

#if defined(__GNUC__)
#define KY_EXPORT __attribute__((visibility("default")))
#else
#define KY_EXPORT
#endif

enum class BudgetResult { enough, notEnough, queryFailed };

// Asks the device how much memory is free, and gives the figure where asked; a failed query is reported on the
// standard output.
BudgetResult checkGPUMemoryBudget(unsigned long bytes, unsigned long long* freeBytes = nullptr);

// True when at least `bytes` of device memory are free. A failed query is reported and counts as not enough:
// it must never end the host process.
KY_EXPORT bool checkGPUMemoryAvailability(unsigned long bytes);

// Prints one line with the device memory used, free and total, in mebibytes.
KY_EXPORT void printMemoryStat();
