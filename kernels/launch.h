// The one launch helper: a one-dimensional grid on the default stream with no dynamic shared memory.
#pragma once

#include <cuda_runtime.h>

#if defined(__CUDACC__)
template <typename... Params, typename... Args>
void launchKernel(const char* /*kernelName*/, void (*kernel)(Params...), unsigned int blocks, unsigned int threadsPerBlock,
                  Args... args)
{
    kernel<<<blocks, threadsPerBlock>>>(args...);
}
#else
// The CPU build's runtime runs the grid as a loop; the name lets tests fail a chosen kernel's launch.
template <typename... Params, typename... Args>
void launchKernel(const char* kernelName, void (*kernel)(Params...), unsigned int blocks, unsigned int threadsPerBlock,
                  Args... args)
{
    hostLaunch(kernelName, kernel, dim3(blocks), dim3(threadsPerBlock), args...);
}
#endif
