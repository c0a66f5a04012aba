#include "scatterRoad.h"

#include "../scatter/gpuBudget.h"

extern "C" __attribute__((visibility("default"))) const ScatterRoad* kyScatterRoad()
{
    static const ScatterRoad road = {kScatterRoadVersion,   sizeof(ScatterSettings),      sizeof(ScatterResult),
                                     probeRoad,             scatterPoints,                checkGPUMemoryAvailability,
                                     printMemoryStat};
    return &road;
}
