// Writes the area table, the candidates and the accepted points of a few meshes, and the time of each stage, so that
// two builds can be compared stage by stage: stageDump OUTPUT_DIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "meshes.h"
#include "pipelineStages.h"

namespace {

template <typename T>
bool write(const std::string& path, const std::vector<T>& values)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(T)));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: stageDump OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int sizes[] = {1, 20000, 200000, 2000000};
    for (int triangles : sizes) {
        StageInput mesh = wavyGrid(triangles);
        mesh.radius = 0.05f;
        StageResult result;
        if (!runStages(mesh, result)) {
            std::fprintf(stderr, "stageDump: a stage failed on the %d-triangle mesh\n", triangles);
            return 1;
        }
        const std::string stem = dir + "/mesh" + std::to_string(triangles);
        if (!write(stem + ".areas", result.cumulativeArea) || !write(stem + ".x", result.x) ||
            !write(stem + ".y", result.y) || !write(stem + ".z", result.z) || !write(stem + ".keys", result.cellId) ||
            !write(stem + ".points", result.points)) {
            std::fprintf(stderr, "stageDump: cannot write under %s\n", dir.c_str());
            return 1;
        }
        const StageTimes& s = result.seconds;
        std::printf("mesh %d triangles: %zu points, %u cells; ms upload %.2f areas %.2f candidates %.2f sort %.2f "
                    "cells %.2f phases %.2f selection %.2f copy %.2f total %.2f\n",
                    triangles, result.points.size() / 3, result.occupiedCellCount, 1e3 * s.upload, 1e3 * s.areas,
                    1e3 * s.candidates, 1e3 * s.sort, 1e3 * s.cells, 1e3 * s.phases, 1e3 * s.selection,
                    1e3 * s.copyBack,
                    1e3 * (s.upload + s.areas + s.candidates + s.sort + s.cells + s.phases + s.selection + s.copyBack));
    }
    std::printf("unavoidable primitives: %.2f ms\n", 1e3 * timeUnavoidablePrimitives());
    return 0;
}
