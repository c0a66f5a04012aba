#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <regex>
#include <sstream>
#include <vector>

#include "errors.h"
#include "scatter/controls.h"
#include "pointWriter.h"
#include "valueChecks.h"

#ifndef KYSCATTER_VERSION
#define KYSCATTER_VERSION "unknown"
#endif
#ifndef KYSCATTER_PLUGIN_PATH
#define KYSCATTER_PLUGIN_PATH ""
#endif

namespace kyscatter {
namespace {

constexpr int kMinimumSide = 16;
constexpr int kMaximumSide = 8192;

const char* const kExamples = R"(
Examples:
  kyscatter --image knot.png --out knot.ply          the built-in surface, picture and points
  kyscatter rock.obj --radius 0.05 --stats           a mesh file, with a quality report
  kyscatter terrain.fbx --box -10 0 -10 10 3 10      the grid box of the scatter node
  kyscatter rock.obj --count 5000 --out rock.ply     search the radius that gives about 5,000 points
  kyscatter rock.obj --count 5000 --exact            exactly 5,000 points
  kyscatter painted.ply --density red --count 2000   2,000 points where the vertex colours' red says
  kyscatter ground.obj --density-texture paths.png   points where the image, at the mesh's UVs, is light
  kyscatter rock.obj --strict --seed 7 --stats       no two points closer than the radius; another draw
  kyscatter terrain.obj --stable --strict --stats    points that stay put where the mesh is not edited
  kyscatter part.stl --image top.png --view top --size 1024x1024 --point-size 3
  kyscatter scan.ply --out points.xyz --quiet        batch use: no summary
  kyscatter rock.obj --out rock.ply --normals        each point with its surface normal
  kyscatter --image cones.png --glyphs cones --radius 0.14 --strict   a cone on each point, along its normal
  kyscatter rest.obj --attach bent.obj --image bent.png   scatter on rest.obj, carry the points onto bent.obj
)";

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

// What the line gives before it is checked.
struct Given {
    double radius = 0;
    std::int64_t count = 0;
    std::int64_t seed = 0;  // wider than the node's int, so that a seed out of its range is named as such
    std::vector<double> box;
    std::string size;
    std::string view = "persp";
    std::string viewport = "vp2";
    std::string glyphs;
};

void addNodeOptions(CLI::App& app, Options& options, Given& given)
{
    NodeControls& controls = options.controls;
    app.add_option("mesh", options.meshPath,
                   "Mesh file (OBJ, PLY, STL, FBX, glTF, ...); without one a built-in torus knot is used");
    app.add_option("--radius", given.radius,
                   "The scatter node's radius: the spacing of the points (default: from the mesh area, for some "
                   "30,000 points)");
    app.add_option("--count", given.count,
                   "The scatter node's pointCount: it searches its radius for about this many points (within 1 %); "
                   "not with --radius");
    app.add_flag("--exact", options.exact,
                 "With --count: exactly that many points, the count search aiming a little above and the surplus "
                 "dropped evenly over the record, so no two points come closer than the radius found");
    app.add_option("--box", given.box, "Grid box of the scatter node: min x y z, max x y z (default: not set)")
        ->expected(6);
    app.add_option("--seed", given.seed,
                   "The scatter node's seed: another seed, another draw of points; any int (default " +
                       std::to_string(kDefaultSeed) + ")")
        ->check(CLI::Range(std::int64_t{std::numeric_limits<int>::min()},
                           std::int64_t{std::numeric_limits<int>::max()}));
    app.add_option("--passes", controls.passes,
                   "The scatter node's passes: how many times each still-empty cell offers a candidate (with --stable, "
                   "how many points each stratum offers), " +
                       std::to_string(kMinPassCount) + " to " + std::to_string(kMaxPassCount) +
                       " (default " + std::to_string(kDefaultPassCount) + ")")
        ->check(CLI::Range(kMinPassCount, kMaxPassCount));
    app.add_option("--candidates", controls.candidates,
                   "The scatter node's candidateCount: candidates drawn, " + std::to_string(kMinCandidateCount) +
                       " to " + std::to_string(kMaxCandidateCount) + " (default " +
                       std::to_string(kDefaultCandidateCount) + "); memory grows with it")
        ->check(CLI::Range(kMinCandidateCount, kMaxCandidateCount));
    app.add_flag("--strict", controls.strict,
                 "The scatter node's strictRadius: no two points closer than the radius (default off)");
    app.add_flag("--stable", controls.stable,
                 "The scatter node's stableLayout: each triangle draws its own candidates, so that editing one part "
                 "of the mesh moves only the points near it (default off)");
    app.add_option("--density", controls.density,
                   "Turn on the scatter node's densityMap with this densityChannel of the mesh file's vertex colours: "
                   "luminance, red, green, blue or alpha (0: no points, 1: as many as without a map)")
        ->check(CLI::IsMember(kChannelFields));
    app.add_option("--density-texture", controls.densityTexture,
                   "Turn on the scatter node's densityMap from this image (PNG, JPEG, TIFF, OpenEXR), read at the mesh "
                   "file's first UV set through a file texture; --density picks its channel (default luminance)");
    app.add_option("--device", controls.device,
                   "The scatter node's computeDevice: auto (the GPU where a usable one is there, the CPU otherwise; "
                   "the default), gpu or cpu")
        ->check(CLI::IsMember(kDeviceFields));
    app.add_option("--attach", options.attachPath,
                   "Carry the points onto this mesh file, MESH's vertices moved (the same vertices in the same "
                   "order), through a kyAttachPoints node: the points written, drawn and measured are the carried "
                   "ones (turns surfaceData on)");
}

void addOutputOptions(CLI::App& app, Options& options, Given& given)
{
    CLI::Option* out = app.add_option("--out", options.outPath, "Write the points: .ply (binary), .xyz or .obj");
    app.add_flag("--normals", options.normals,
                 "Turn on the scatter node's surfaceData and write each point's unit normal with it: PLY nx ny nz, "
                 "XYZ six columns, OBJ vn lines")
        ->needs(out);
    CLI::Option* image = app.add_option("--image", options.imagePath, "Write a PNG picture of the mesh and the points");
    app.add_option("--size", given.size, "Picture size WIDTHxHEIGHT (default 800x600)");
    app.add_option("--point-size", options.pointSize, "Point size in pixels, 1 to 10 (default 2)")
        ->check(CLI::Range(1, 10));
    app.add_option("--view", given.view, "Picture view: front, side, top or persp (default persp)");
    app.add_option("--viewport", given.viewport,
                   "Draw the display node through its Viewport 2.0 draw override (vp2, the default) or its legacy "
                   "draw (legacy)")
        ->check(CLI::IsMember({"vp2", "legacy"}));
    app.add_option("--glyphs", given.glyphs,
                   "Draw a cone or a line on each point, as tall as the radius, turned by the surface data's "
                   "rotation as Maya's instancer would turn an instance (turns surfaceData on)")
        ->check(CLI::IsMember({"cones", "lines"}))
        ->needs(image);
    app.add_flag("--stats", options.stats, "Report the quality of the point set");
    app.add_flag("--quiet", options.quiet, "Print nothing but errors (and the --stats report)");
    app.add_option("--plugin", options.pluginPath, "Plug-in library to load (default: the one built with this tool)");
}

void checkCountAlone(std::int64_t count, bool radiusGiven)
{
    checkCount("--count", count);
    if (radiusGiven)
        throw UsageError("--count and --radius cannot be given together: --count searches the radius");
}

// Options that need another, or a mesh file.
void checkModes(const Options& options)
{
    if (options.exact && !options.count)
        throw UsageError("--exact needs --count: it gives exactly the --count points");
    if (options.controls.densityTexture && options.meshPath.empty())
        throw UsageError("--density-texture needs a mesh file with UVs; the built-in surface has none");
    if (options.controls.density && !options.controls.densityTexture && options.meshPath.empty())
        throw UsageError("--density needs a mesh file with vertex colours; the built-in surface has none");
}

// The checks CLI11 cannot make, and the values that pass them.
void takeGiven(const CLI::App& app, const Given& given, Options& options)
{
    const bool radiusGiven = app.count("--radius") > 0;
    if (radiusGiven) {
        checkRadius("--radius", given.radius);
        options.radius = given.radius;
    }
    if (app.count("--count") > 0) {
        checkCountAlone(given.count, radiusGiven);
        options.count = given.count;
    }
    if (app.count("--seed") > 0)
        options.controls.seed = static_cast<int>(given.seed);
    checkModes(options);
    if (app.count("--box") > 0) {
        checkBox("--box", given.box);
        const auto& b = given.box;
        options.box = std::array<double, 6>{b[0], b[1], b[2], b[3], b[4], b[5]};
    }
    if (!given.size.empty())
        parseSize(given.size, options);
    options.view = viewNamed(given.view);
    // CLI11 has let through only the names below.
    options.viewport = given.viewport == "legacy" ? ViewportRoad::Legacy : ViewportRoad::Vp2;
    if (!given.glyphs.empty())
        options.glyphs = given.glyphs == "cones" ? Glyphs::Cones : Glyphs::Lines;
    if (!options.outPath.empty())
        pointFormatFor(options.outPath);
}

}  // namespace

int fieldValue(const std::vector<std::string>& fields, const std::string& name)
{
    const auto found = std::find(fields.begin(), fields.end(), name);
    return found == fields.end() ? 0 : static_cast<int>(found - fields.begin());
}

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
    Given given;
    addNodeOptions(app, options, given);
    addOutputOptions(app, options, given);

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
    takeGiven(app, given, options);
    return line;
}

}  // namespace kyscatter
