#pragma once

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
};

// What the tool sets on the nodes.
struct ScatterSettings {
    std::string pluginPath;
    double radius = 1.0;
    std::optional<Bounds> box;  // unset: the node's box is left as on a fresh node
    int pointSize = 2;
    std::optional<PictureSettings> picture;
    bool quiet = false;
};

// A radius that yields some 30,000 points on a surface of this area, no less than the node's
// minimum.
double defaultRadius(double area);

ScatterSettings settingsFor(const Options& options, double area);

}  // namespace kyscatter
