// What a test build may watch and fail in the CPU road's runtime. The product never defines the hooks: the runtime
// asks for them through a weak symbol, which a test library linked into the host process provides, and computes as
// it would on its own when there is none. Free of CUDA's headers, like the test controls built on it.
#pragma once

#include <cstddef>

namespace hostRuntime {

class Hooks {
public:
    // Errors are the runtime's own codes (cudaError_t, curandStatus_t values); 0 lets the call go ahead.
    virtual int launch(const char* kernelName) = 0;
    virtual int runtimeCall(const char* callName) = 0;  // "cudaMalloc", "cudaFree", "cudaMemGetInfo"
    virtual int curandCall(const char* callName) = 0;
    // Device memory is host memory here; the hooks may keep a smaller device of their own. `reserve` refuses what it
    // cannot hold; `release` gives back what a reserve or a charge took.
    virtual bool reserve(std::size_t bytes, bool deviceVector) = 0;
    virtual void release(std::size_t bytes) = 0;
    // What cudaMemGetInfo answers, given what the host has.
    virtual void memoryInfo(std::size_t hostFree, std::size_t hostTotal, std::size_t& free, std::size_t& total) = 0;
    // How many threads run the kernels; 0 keeps the runtime's own choice.
    virtual int threadCount() = 0;

protected:
    ~Hooks() = default;
};

}  // namespace hostRuntime

extern "C" hostRuntime::Hooks* kyHostRuntimeHooks() __attribute__((weak));
