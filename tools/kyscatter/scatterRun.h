#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "imageWriter.h"
#include "mesh.h"
#include "scatterSettings.h"

namespace kyscatter {

struct CountSearchReport {
    std::int64_t target = 0;
    bool withinTolerance = false;
};

struct ScatterResult {
    std::vector<Point> points;
    // With the surface data on, one of each per point: the unit normal, and the rotation in degrees
    // (order XYZ) that turns +Y onto it. Empty otherwise.
    std::vector<Point> normals;
    std::vector<Point> rotations;
    double radius = 0;  // the one the points were computed with
    double computeSeconds = 0;
    std::optional<double> attachSeconds;  // set when the points were carried onto a deformed mesh
    std::optional<CountSearchReport> search;
    std::optional<Image> picture;
};

// The road Maya takes: loads the plug-in into the host, feeds the mesh to a kyScatterPoints
// node, connects its outPoints to a kyDisplayPoints node, pulls the points (and their surface data
// if asked), lets the display node draw them over the mesh through Viewport 2.0 or the legacy
// viewport if a picture is asked for, and unloads. With a target count the node searches its
// radius itself (pointCount). With a deformed mesh (the mesh's vertices moved), a
// kyAttachPoints node between the two carries the points onto it, and what comes back and is
// drawn, over the deformed mesh, is the carried points. Throws Failure.
ScatterResult runScatter(const Mesh& mesh, const ScatterSettings& settings, const Mesh* deformed = nullptr);

}  // namespace kyscatter
