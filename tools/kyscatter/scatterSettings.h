#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "camera.h"
#include "mesh.h"
#include "options.h"

namespace kyscatter {

struct PictureSettings {
    int width = 800;
    int height = 600;
    View view = View::Persp;
    ViewportRoad viewport = ViewportRoad::Vp2;
    Glyphs glyphs = Glyphs::None;
};

// What the tool sets on the nodes.
struct ScatterSettings {
    std::string pluginPath;
    double radius = 1.0;
    std::optional<Bounds> box;  // unset: the node's box is left as on a fresh node
    NodeControls controls;
    bool surfaceData = false;  // the node's surfaceData: normals and rotations come back with the points; the attach
                               // needs it
    std::optional<std::int64_t> targetCount;  // set: the node searches the radius (pointCount), `radius` is unused
    bool exactCount = false;  // the target exactly: the node searches a little above it and the surplus is dropped
    int pointSize = 2;
    std::optional<PictureSettings> picture;
    bool quiet = false;
};

// The radius for some 30,000 points.
double defaultRadius(double area);

ScatterSettings settingsFor(const Options& options, double area);

}  // namespace kyscatter
