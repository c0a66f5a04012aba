// The cuRAND calls of the CPU road. The stages ask for a device generator, as on the GPU; here each call goes on to
// cuRAND's host generator, which gives the same sequence and writes into host memory, where device buffers live.
#include "hostRuntime.h"

#include <dlfcn.h>

#include <cstdio>

#include "hostRuntimeHooks.h"

namespace {

const char kCurandLibrary[] = "libcurand.so.10";

// Found beside the road (or where the host process's own search finds it), opened once and never closed: the library
// carries its own C++ runtime, whose start-up allocations would read as leaks once it were unloaded with the road.
void* curandLibrary()
{
    static void* const library = dlopen(kCurandLibrary, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
    return library;
}

// The real library's entry point. It is looked up in libcurand itself, not by search order, since this file
// defines the same names.
template <typename Function>
Function* realCurand(const char* name)
{
    void* library = curandLibrary();
    void* symbol = library != nullptr ? dlsym(library, name) : nullptr;
    if (symbol == nullptr)
        fprintf(stderr, "kyScatterPoints: cannot find %s in %s\n", name, kCurandLibrary);
    return reinterpret_cast<Function*>(symbol);
}

curandStatus_t hookedCall(const char* callName)
{
    if (kyHostRuntimeHooks == nullptr)
        return CURAND_STATUS_SUCCESS;
    return static_cast<curandStatus_t>(kyHostRuntimeHooks()->curandCall(callName));
}

}  // namespace

extern "C" {

curandStatus_t CURANDAPI curandCreateGenerator(curandGenerator_t* generator, curandRngType_t rngType)
{
    if (const curandStatus_t status = hookedCall("curandCreateGenerator"))
        return status;
    static auto* const real = realCurand<decltype(curandCreateGeneratorHost)>("curandCreateGeneratorHost");
    return real != nullptr ? real(generator, rngType) : CURAND_STATUS_INITIALIZATION_FAILED;
}

curandStatus_t CURANDAPI curandSetPseudoRandomGeneratorSeed(curandGenerator_t generator, unsigned long long seed)
{
    if (const curandStatus_t status = hookedCall("curandSetPseudoRandomGeneratorSeed"))
        return status;
    static auto* const real =
        realCurand<decltype(curandSetPseudoRandomGeneratorSeed)>("curandSetPseudoRandomGeneratorSeed");
    return real != nullptr ? real(generator, seed) : CURAND_STATUS_INITIALIZATION_FAILED;
}

curandStatus_t CURANDAPI curandGenerateUniform(curandGenerator_t generator, float* outputPtr, size_t num)
{
    if (const curandStatus_t status = hookedCall("curandGenerateUniform"))
        return status;
    static auto* const real = realCurand<decltype(curandGenerateUniform)>("curandGenerateUniform");
    return real != nullptr ? real(generator, outputPtr, num) : CURAND_STATUS_INITIALIZATION_FAILED;
}

curandStatus_t CURANDAPI curandDestroyGenerator(curandGenerator_t generator)
{
    if (const curandStatus_t status = hookedCall("curandDestroyGenerator"))
        return status;
    static auto* const real = realCurand<decltype(curandDestroyGenerator)>("curandDestroyGenerator");
    return real != nullptr ? real(generator) : CURAND_STATUS_INITIALIZATION_FAILED;
}

}  // extern "C"
