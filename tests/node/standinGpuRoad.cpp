// A stand-in for the GPU road in the road tests: the CPU road's own stages under the GPU road's name, which says it
// found a GPU and says so each time it computes. It lets a machine without a GPU take the GPU road, run short of its
// memory, and hand the compute on.
#include <iostream>
#include <string>

#include "roads/scatterRoad.h"
#include "scatter/gpuBudget.h"

namespace {

bool probe(std::string& description)
{
    description = "stand-in GPU";
    return true;
}

ScatterStatus scatterOnStandinGpu(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result,
                                  StageObserver* observer)
{
    std::cout << "stand-in GPU road: computing" << std::endl;
    return scatterPoints(mesh, settings, result, observer);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const ScatterRoad* kyScatterRoad()
{
    static const ScatterRoad road = {kScatterRoadVersion, sizeof(ScatterSettings), sizeof(ScatterResult),
                                     probe,              scatterOnStandinGpu,     checkGPUMemoryAvailability,
                                     printMemoryStat};
    return &road;
}
