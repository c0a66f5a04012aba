#include "summary.h"

#include <cmath>
#include <cstdio>

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

void printSummary(std::ostream& out, const RunSummary& s)
{
    out << "mesh: " << s.meshName << ", " << s.vertices << " vertices, " << s.polygons << " polygons, "
        << s.triangles << " triangles, area " << format("%.6g", s.area) << "\n"
        << "radius: " << format("%.6g", s.radius) << (s.radiusFromArea ? " (from the mesh area)" : "") << "\n"
        << "box: " << (s.box ? coordinates(s.box->min) + " to " + coordinates(s.box->max) : "not set") << "\n"
        << "points: " << s.points << "\n"
        << "compute: " << format("%.3f", s.computeSeconds) << " s\n";
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
