// The scatter compute replayed stage by stage over the same kernels and primitives, with a clock per stage and the
// intermediate arrays kept, for the benchmarks and for comparing the CPU and CUDA builds stage by stage.
#pragma once

#include <vector>

struct StageInput {
    std::vector<float> points;  // x, y, z per vertex
    std::vector<int> tris;      // three vertex indices per triangle
    float radius = 1.0f;
};

struct StageTimes {
    double upload = 0, areas = 0, candidates = 0, sort = 0, cells = 0, phases = 0, selection = 0, copyBack = 0;
};

struct StageResult {
    std::vector<float> cumulativeArea;
    std::vector<float> x, y, z;
    std::vector<unsigned int> cellId;  // unsorted, per candidate
    std::vector<float> points;         // accepted points, x, y, z each, in table order
    unsigned int occupiedCellCount = 0;
    StageTimes seconds;
};

// Runs every stage on the mesh's own bounding box as the grid; false when a CUDA call failed.
bool runStages(const StageInput& input, StageResult& result);

// The primitives no compute can avoid: a stable sort by key of 1,000,000 keys and 1,000,000 uniform floats.
double timeUnavoidablePrimitives();
