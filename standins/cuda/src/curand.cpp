// The cuRAND calls of the CPU build stop here first, so that tests can make any of them fail; otherwise each goes
// on to the real host library, whose generator gives the numbers.
#include <cudaStandin.h>

#include <dlfcn.h>

#include <cstdio>

namespace {

// Opened when the stand-in loads and never closed, whichever calls a compute makes: the library carries its own C++
// runtime, whose start-up allocations would read as leaks once it were unloaded with a plug-in.
void* const realLibrary = dlopen(KY_REAL_CURAND_LIBRARY, RTLD_LAZY | RTLD_LOCAL);

// The real library's entry point. It is looked up in libcurand itself, not by search order, since the stand-in
// defines the same names.
template <typename Function>
Function* realCurand(const char* name)
{
    void* symbol = realLibrary != nullptr ? dlsym(realLibrary, name) : nullptr;
    if (symbol == nullptr)
        fprintf(stderr, "cudaStandin: cannot find %s in %s\n", name, KY_REAL_CURAND_LIBRARY);
    return reinterpret_cast<Function*>(symbol);
}

}  // namespace

extern "C" {

// The product asks for a device generator in both builds. Here it gets the host generator, which gives the same
// sequence and writes into host memory, where the CPU build keeps its device buffers.
curandStatus_t CURANDAPI curandCreateGenerator(curandGenerator_t* generator, curandRngType_t rngType)
{
    if (const int status = cudaStandin::takeCurandFault("curandCreateGenerator"))
        return static_cast<curandStatus_t>(status);
    static auto* const real = realCurand<decltype(curandCreateGeneratorHost)>("curandCreateGeneratorHost");
    return real != nullptr ? real(generator, rngType) : CURAND_STATUS_INITIALIZATION_FAILED;
}

curandStatus_t CURANDAPI curandSetPseudoRandomGeneratorSeed(curandGenerator_t generator, unsigned long long seed)
{
    if (const int status = cudaStandin::takeCurandFault("curandSetPseudoRandomGeneratorSeed"))
        return static_cast<curandStatus_t>(status);
    static auto* const real =
        realCurand<decltype(curandSetPseudoRandomGeneratorSeed)>("curandSetPseudoRandomGeneratorSeed");
    return real != nullptr ? real(generator, seed) : CURAND_STATUS_INITIALIZATION_FAILED;
}

curandStatus_t CURANDAPI curandGenerateUniform(curandGenerator_t generator, float* outputPtr, size_t num)
{
    if (const int status = cudaStandin::takeCurandFault("curandGenerateUniform"))
        return static_cast<curandStatus_t>(status);
    static auto* const real = realCurand<decltype(curandGenerateUniform)>("curandGenerateUniform");
    return real != nullptr ? real(generator, outputPtr, num) : CURAND_STATUS_INITIALIZATION_FAILED;
}

curandStatus_t CURANDAPI curandDestroyGenerator(curandGenerator_t generator)
{
    if (const int status = cudaStandin::takeCurandFault("curandDestroyGenerator"))
        return static_cast<curandStatus_t>(status);
    static auto* const real = realCurand<decltype(curandDestroyGenerator)>("curandDestroyGenerator");
    return real != nullptr ? real(generator) : CURAND_STATUS_INITIALIZATION_FAILED;
}

}  // extern "C"
