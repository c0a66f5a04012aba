#include "summary.h"

#include <cmath>
#include <cstdio>
#include <string>

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

}  // namespace

void reportRun(std::ostream& out, const Options& options, const Mesh& mesh, double area,
               const ScatterSettings& settings, const ScatterResult& result)
{
    if (!options.quiet) {
        out << "mesh: " << (options.meshPath.empty() ? "built-in torus knot" : options.meshPath) << ", "
            << mesh.vertexCount() << " vertices, " << mesh.polygonCount() << " polygons, " << mesh.triangleCount()
            << " triangles, area " << format("%.6g", area) << "\n"
            << "radius: " << format("%.6g", settings.radius) << (options.radius ? "" : " (from the mesh area)") << "\n"
            << "box: "
            << (settings.box ? coordinates(settings.box->min) + " to " + coordinates(settings.box->max) : "not set")
            << "\n"
            << "points: " << result.points.size() << "\n"
            << "compute: " << format("%.3f", result.computeSeconds) << " s\n";
    }
    if (options.stats) {
        PointStats stats = pointStats(result.points, settings.radius, area);
        const std::size_t samples = gapSampleCount(result.points.size());
        stats.largestGap = largestGap(result.points, mesh, samples);
        printStats(out, stats, settings.radius, samples);
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
