// libFuzzer target: random small meshes, radii and boxes through the scatter node; any broken promise aborts.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scatterCase.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (mayaStandin::loadPlugin(harness::pluginPath()) != MS::kSuccess) {
        fprintf(stderr, "scatterFuzzer: cannot load %s\n", harness::pluginPath().c_str());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const scatterCase::Inputs inputs = scatterCase::decode(data, size);
    const std::string problem = scatterCase::run(inputs);
    if (!problem.empty()) {
        fprintf(stderr, "scatterFuzzer: %s\n  with %s\n", problem.c_str(), scatterCase::describe(inputs).c_str());
        std::abort();
    }
    return 0;
}
