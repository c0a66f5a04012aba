#include "summary.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "scatter/controls.h"

namespace kyscatter {
namespace {

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string coordinates(const Point& p)
{
    return format("%g", p[0]) + " " + format("%g", p[1]) + " " + format("%g", p[2]);
}

// The node's controls that differ from its defaults; a default run prints none of them.
void reportControls(std::ostream& out, const NodeControls& controls)
{
    if (controls.seed && *controls.seed != kDefaultSeed)
        out << "seed: " << *controls.seed << "\n";
    if (controls.passes && *controls.passes != kDefaultPassCount)
        out << "passes: " << *controls.passes << "\n";
    if (controls.candidates && *controls.candidates != kDefaultCandidateCount)
        out << "candidates: " << *controls.candidates << "\n";
    if (controls.strict)
        out << "strict radius: on\n";
    if (controls.stable)
        out << "stable layout: on\n";
    if (controls.device && *controls.device != "auto")
        out << "device: " << *controls.device << "\n";
    if (controls.densityTexture)
        out << "density map: " << controls.density.value_or("luminance") << " of " << *controls.densityTexture
            << " at the mesh's UVs\n";
    else if (controls.density)
        out << "density map: " << *controls.density << " of the vertex colours\n";
}

std::string radiusOrigin(const Options& options)
{
    if (options.radius)
        return "";
    if (options.count)
        return " (searched for " + std::to_string(*options.count) + " points)";
    return " (from the mesh area)";
}

void reportSearch(std::ostream& out, const CountSearchReport& search, std::size_t reached)
{
    const double target = static_cast<double>(search.target);
    out << "count search: " << search.target << " asked, " << reached << " reached";
    if (!search.withinTolerance)
        out << " (" << format("%.2f", 100.0 * std::abs(static_cast<double>(reached) - target) / target)
            << "% off: no radius did better)";
    out << "\n";
}

}  // namespace

void reportRun(std::ostream& out, const Options& options, const Mesh& mesh, double area,
               const ScatterSettings& settings, const ScatterResult& result, const Mesh* deformed)
{
    const Mesh& pointsMesh = deformed != nullptr ? *deformed : mesh;
    const double pointsArea = deformed != nullptr ? surfaceArea(*deformed) : area;
    if (!options.quiet) {
        out << "mesh: " << (options.meshPath.empty() ? "built-in torus knot" : options.meshPath) << ", "
            << mesh.vertexCount() << " vertices, " << mesh.polygonCount() << " polygons, " << mesh.triangleCount()
            << " triangles, area " << format("%.6g", area) << "\n"
            << "radius: " << format("%.6g", result.radius) << radiusOrigin(options) << "\n"
            << "box: "
            << (settings.box ? coordinates(settings.box->min) + " to " + coordinates(settings.box->max) : "not set")
            << "\n";
        reportControls(out, settings.controls);
        out << "points: " << result.points.size() << "\n";
        if (result.search)
            reportSearch(out, *result.search, result.points.size());
        out << "compute: " << format("%.3f", result.computeSeconds) << " s\n";
        if (result.attachSeconds)
            out << "attach: " << options.attachPath << ", area " << format("%.6g", pointsArea) << ", "
                << format("%.1f", 1000.0 * *result.attachSeconds) << " ms\n";
    }
    if (options.stats) {
        PointStats stats = pointStats(result.points, result.radius, pointsArea);
        const std::size_t samples = gapSampleCount(result.points.size());
        stats.largestGap = largestGap(result.points, pointsMesh, samples);
        printStats(out, stats, result.radius, samples);
    }
}

void printStats(std::ostream& out, const PointStats& stats, double radius, std::size_t gapSamples)
{
    if (stats.count < 2) {
        out << "smallest distance: n/a (fewer than two points)\n";
    } else {
        const double share = 100.0 * static_cast<double>(stats.pointsInClosePairs) / static_cast<double>(stats.count);
        out << "smallest distance: " << format("%.6g", stats.smallestDistance) << " ("
            << format("%.3f", stats.smallestDistance / radius) << " x radius)\n"
            << "pairs closer than radius: " << stats.closePairs << " (" << stats.pointsInClosePairs
            << " points, " << format("%.2f", share) << "% of all)\n"
            << "relative radius: " << format("%.3f", stats.relativeRadius) << "\n";
    }
    if (std::isnan(stats.largestGap))
        out << "largest gap: n/a (no points)\n";
    else
        out << "largest gap: " << format("%.3f", stats.largestGap / radius) << " x radius (" << gapSamples
            << " surface samples)\n";
}

}  // namespace kyscatter
