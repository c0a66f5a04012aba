#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "mesh.h"
#include "pointStats.h"

namespace kyscatter {

struct RunSummary {
    std::string meshName;
    std::size_t vertices = 0;
    std::size_t polygons = 0;
    std::size_t triangles = 0;
    double area = 0;
    double radius = 0;
    bool radiusFromArea = false;
    std::optional<Bounds> box;
    std::size_t points = 0;
    double computeSeconds = 0;
};

// One "name: value" line each: mesh, radius, box, points, compute.
void printSummary(std::ostream& out, const RunSummary& summary);

// The quality report of --stats, in the same form.
void printStats(std::ostream& out, const PointStats& stats, double radius, std::size_t gapSamples);

}  // namespace kyscatter
