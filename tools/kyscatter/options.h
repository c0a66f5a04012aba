#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>

#include "camera.h"

namespace kyscatter {

struct Options {
    std::string meshPath;                       // empty: the built-in surface
    std::optional<double> radius;               // unset: derived from the mesh area
    std::optional<std::array<double, 6>> box;   // min x y z, max x y z; unset: left as on a fresh node
    std::string outPath;
    std::string imagePath;
    int width = 800;
    int height = 600;
    int pointSize = 2;
    View view = View::Persp;
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
