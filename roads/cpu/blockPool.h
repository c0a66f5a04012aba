// The threads that run the CPU road's kernels: one pool per process, shared by every compute that runs at once, so a
// host evaluating many nodes in parallel never gets more threads than it has processors. Idle threads sleep.
#pragma once

namespace hostRuntime {

// Blocks [begin, end) of one launch.
using BlockRun = void (*)(const void* launch, long long begin, long long end);

// Runs blocks 0 to count - 1, on the calling thread and the pool's, and returns when all have run.
void runBlocks(long long count, BlockRun run, const void* launch);

// How many threads run a launch: the caller and the pool's.
int kernelThreadCount();

}  // namespace hostRuntime
