#pragma once

#include <optional>
#include <vector>

#include "imageWriter.h"
#include "mesh.h"
#include "scatterSettings.h"

namespace kyscatter {

struct ScatterResult {
    std::vector<Point> points;
    double computeSeconds = 0;
    std::optional<Image> picture;
};

// The road Maya takes: loads the plug-in into the host, feeds the mesh to a kyScatterPoints
// node, connects its outPoints to a kyDisplayPoints node, pulls the points, lets the display node
// draw them over the mesh if a picture is asked for, and unloads. Throws Failure.
ScatterResult runScatter(const Mesh& mesh, const ScatterSettings& settings);

}  // namespace kyscatter
