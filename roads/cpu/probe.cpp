#include <string>

#include "../scatterRoad.h"
#include "blockPool.h"

// The host always computes; what it computes with is its threads.
bool probeRoad(std::string& description)
{
    const int threads = hostRuntime::kernelThreadCount();
    description = std::to_string(threads) + (threads == 1 ? " thread" : " threads");
    return true;
}
