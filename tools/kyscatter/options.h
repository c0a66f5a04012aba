#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "camera.h"

namespace kyscatter {

// The fields of the scatter node's enum controls, in the order of their values.
const std::vector<std::string> kDeviceFields = {"auto", "gpu", "cpu"};
const std::vector<std::string> kChannelFields = {"luminance", "red", "green", "blue", "alpha"};

// The value of the field of that name, which the option has checked.
int fieldValue(const std::vector<std::string>& fields, const std::string& name);

// The scatter node's controls; each one unset is left at the node's default.
struct NodeControls {
    std::optional<int> seed;
    std::optional<int> passes;
    std::optional<int> candidates;
    bool strict = false;
    bool stable = false;  // the node's stableLayout
    std::optional<std::string> device;  // the node's computeDevice by name: auto, gpu or cpu
    std::optional<std::string> density;  // the node's densityChannel by name; set: the density map is on
    std::optional<std::string> densityTexture;  // an image file: the density map reads it at the mesh's UVs
};

// How the picture is drawn: through the display node's Viewport 2.0 draw override, or its legacy draw.
enum class ViewportRoad { Vp2, Legacy };

// What the tool draws on each point, turned by the point's rotation as Maya's instancer turns an instance.
enum class Glyphs { None, Cones, Lines };

struct Options {
    std::string meshPath;                       // empty: the built-in surface
    std::optional<double> radius;               // unset: derived from the mesh area
    std::optional<std::array<double, 6>> box;   // min x y z, max x y z; unset: left as on a fresh node
    NodeControls controls;
    std::optional<std::int64_t> count;          // points to search the radius for; excludes radius
    bool exact = false;                         // exactly `count` points
    std::string attachPath;                     // a mesh file with MESH's vertices moved; empty: no attach
    std::string outPath;
    std::string imagePath;
    int width = 800;
    int height = 600;
    int pointSize = 2;
    View view = View::Persp;
    ViewportRoad viewport = ViewportRoad::Vp2;
    Glyphs glyphs = Glyphs::None;
    bool normals = false;  // write each point's normal with it
    bool stats = false;
    bool quiet = false;
    std::string pluginPath;
};

struct CommandLine {
    Options options;
    bool handled = false;  // --help or --version was answered on `out`; exit with status 0
};

// Throws UsageError with a one-line message for anything wrong on the line.
CommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out);

}  // namespace kyscatter
