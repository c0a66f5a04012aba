// A stand-in for the GPU road in the road tests: the CPU road's own code under the GPU road's name, which says it
// found a GPU. It lets a machine without one take the GPU road, run short of its memory, and hand the compute on.
#include <string>

#include "roads/scatterRoad.h"

bool probeRoad(std::string& description)
{
    description = "stand-in GPU";
    return true;
}
