#pragma once

#include <ostream>

#include "mesh.h"
#include "options.h"
#include "pointStats.h"
#include "scatterRun.h"
#include "scatterSettings.h"

namespace kyscatter {

// What a run prints on standard output: "name: value" lines for the mesh, radius, box, points and
// compute time, and the attach when the points were carried onto a deformed mesh (left out with
// --quiet), then the --stats report when asked for: of the carried points on the deformed mesh, if
// any.
void reportRun(std::ostream& out, const Options& options, const Mesh& mesh, double area,
               const ScatterSettings& settings, const ScatterResult& result, const Mesh* deformed = nullptr);

// The --stats lines alone.
void printStats(std::ostream& out, const PointStats& stats, double radius, std::size_t gapSamples);

}  // namespace kyscatter
