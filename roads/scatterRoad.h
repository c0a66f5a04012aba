// A compute road: one build of the scatter compute's stages, in a library of its own that the plug-in loads
// privately. The GPU road runs them on CUDA, the CPU road on the host; both compile the same stage sources, so that
// the plug-in Maya loads computes on every machine, with the same bytes on either road.
#pragma once

#include <cstddef>
#include <string>

#include "../scatter/scatterCompute.h"

// Raised whenever what crosses between the plug-in and a road changes, so that a stale road is refused.
constexpr int kScatterRoadVersion = 3;

struct ScatterRoad {
    int version;
    std::size_t settingsSize;  // sizeof(ScatterSettings) and sizeof(ScatterResult) where the road was built
    std::size_t resultSize;
    // Whether the road can compute on this machine; what it computes on, or why it cannot.
    bool (*probe)(std::string& description);
    ScatterStatus (*scatterPoints)(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result,
                                   StageObserver* observer);
    bool (*checkGPUMemoryAvailability)(unsigned long bytes);
    void (*printMemoryStat)();
};

// The one symbol a road library exports.
extern "C" const ScatterRoad* kyScatterRoad();

// The road's own answer to probe, defined once per road.
bool probeRoad(std::string& description);
