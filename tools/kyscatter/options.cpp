#include "options.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <limits>
#include <regex>
#include <sstream>
#include <vector>

#include "errors.h"
#include "pointWriter.h"

#ifndef KYSCATTER_VERSION
#define KYSCATTER_VERSION "unknown"
#endif
#ifndef KYSCATTER_PLUGIN_PATH
#define KYSCATTER_PLUGIN_PATH ""
#endif

namespace kyscatter {
namespace {

// The scatter node's hard minimum; a smaller value would be raised to it without a word.
constexpr double kMinimumRadius = 0.001;
constexpr int kMinimumSide = 16;
constexpr int kMaximumSide = 8192;

const char* const kExamples = R"(
Examples:
  kyscatter --image knot.png --out knot.ply          the built-in surface, picture and points
  kyscatter rock.obj --radius 0.05 --stats           a mesh file, with a quality report
  kyscatter terrain.fbx --box -10 0 -10 10 3 10      the grid box of the scatter node
  kyscatter part.stl --image top.png --view top --size 1024x1024 --point-size 3
  kyscatter scan.ply --out points.xyz --quiet        batch use: no summary
)";

std::string number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

void parseSize(const std::string& text, Options& options)
{
    static const std::regex pattern("([0-9]{1,5})x([0-9]{1,5})");
    std::smatch match;
    if (std::regex_match(text, match, pattern)) {
        const int w = std::stoi(match[1]);
        const int h = std::stoi(match[2]);
        if (w >= kMinimumSide && w <= kMaximumSide && h >= kMinimumSide && h <= kMaximumSide) {
            options.width = w;
            options.height = h;
            return;
        }
    }
    throw UsageError("--size: expected WIDTHxHEIGHT with sides from " + std::to_string(kMinimumSide) +
                     " to " + std::to_string(kMaximumSide) + ", got '" + text + "'");
}

// The node's attributes are single-precision floats.
void checkFitsFloat(const char* option, double value)
{
    if (!std::isfinite(value))
        throw UsageError(std::string(option) + ": '" + number(value) + "' is not a finite number");
    if (std::abs(value) > std::numeric_limits<float>::max())
        throw UsageError(std::string(option) + ": " + number(value) + " is too large for the node's float attributes");
}

void checkRadius(double radius)
{
    checkFitsFloat("--radius", radius);
    if (radius <= 0)
        throw UsageError("--radius: must be greater than 0, got " + number(radius));
    if (radius < kMinimumRadius)
        throw UsageError("--radius: " + number(radius) + " is below the scatter node's minimum of " +
                         number(kMinimumRadius));
}

void checkBox(const std::vector<double>& box)
{
    static const char* const axes[3] = {"x", "y", "z"};
    for (double value : box)
        checkFitsFloat("--box", value);
    for (int k = 0; k < 3; ++k)
        if (box[k] > box[k + 3])
            throw UsageError(std::string("--box: min ") + axes[k] + " (" + number(box[k]) + ") is above max " +
                             axes[k] + " (" + number(box[k + 3]) + ")");
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out)
{
    CommandLine line;
    Options& options = line.options;
    options.pluginPath = KYSCATTER_PLUGIN_PATH;

    CLI::App app{"Scatters Poisson-disk-like points over a polygon mesh with the kyScatterPoints plug-in,\n"
                 "run through the same nodes as in Maya, and writes the points, a picture and a report.",
                 "kyscatter"};
    app.footer(kExamples);
    app.set_version_flag("--version", std::string("kyscatter ") + KYSCATTER_VERSION);

    double radius = 0;
    std::vector<double> box;
    std::string size;
    std::string view = "persp";
    app.add_option("mesh", options.meshPath,
                   "Mesh file (OBJ, PLY, STL, FBX, glTF, ...); without one a built-in torus knot is used");
    auto* radiusOption = app.add_option("--radius", radius,
                                        "The scatter node's radius: the spacing of the points (default: "
                                        "from the mesh area, for some 30,000 points)");
    auto* boxOption = app.add_option("--box", box, "Grid box of the scatter node: min x y z, max x y z (default: not set)")
                          ->expected(6);
    app.add_option("--out", options.outPath, "Write the points: .ply (binary), .xyz or .obj");
    app.add_option("--image", options.imagePath, "Write a PNG picture of the mesh and the points");
    app.add_option("--size", size, "Picture size WIDTHxHEIGHT (default 800x600)");
    app.add_option("--point-size", options.pointSize, "Point size in pixels, 1 to 10 (default 2)")
        ->check(CLI::Range(1, 10));
    app.add_option("--view", view, "Picture view: front, side, top or persp (default persp)");
    app.add_flag("--stats", options.stats, "Report the quality of the point set");
    app.add_flag("--quiet", options.quiet, "Print nothing but errors (and the --stats report)");
    app.add_option("--plugin", options.pluginPath, "Plug-in library to load (default: the one built with this tool)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        // --help and --version
        app.exit(e, out, out);
        line.handled = true;
        return line;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }

    if (radiusOption->count() > 0) {
        checkRadius(radius);
        options.radius = radius;
    }
    if (boxOption->count() > 0) {
        checkBox(box);
        options.box = std::array<double, 6>{box[0], box[1], box[2], box[3], box[4], box[5]};
    }
    if (!size.empty())
        parseSize(size, options);
    options.view = viewNamed(view);
    if (!options.outPath.empty())
        pointFormatFor(options.outPath);
    return line;
}

}  // namespace kyscatter
