// The quality of the point sets on a unit icosphere of 20,480 triangles at radius 0.02, as kyscatter --stats measures
// it, for the defaults and for the strict radius with the default and with generous passes and candidates, with the
// compute time of each row. Built for each build: qualityTable (CPU) and, with nvcc, qualityTableCuda.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "meshes.h"
#include "pointStats.h"

namespace {

struct Row {
    const char* name;
    ScatterSettings settings;
};

std::vector<Row> rows(float radius)
{
    ScatterSettings defaults;
    defaults.radius = radius;
    ScatterSettings strict = defaults;
    strict.strictRadius = true;
    ScatterSettings generous = strict;
    generous.passes = 30;
    generous.candidateCount = 4000000;
    return {{"defaults", defaults}, {"strictRadius", strict}, {"strict, 30 passes, 4M candidates", generous}};
}

kyscatter::Mesh toolMesh(const ScatterMesh& mesh)
{
    kyscatter::Mesh surface;
    surface.points = mesh.points;
    surface.connects = mesh.triangleVertices;
    surface.counts.assign(mesh.triangleVertices.size() / 3, 3);
    return surface;
}

// The median of a few computes: the first warms the caches and the allocator.
double secondsFor(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result)
{
    std::vector<double> seconds;
    for (int run = 0; run < 3; ++run) {
        const auto started = std::chrono::steady_clock::now();
        if (scatterPoints(mesh, settings, result) != ScatterStatus::ok)
            return -1.0;
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[1];
}

}  // namespace

int main()
{
    const float radius = 0.02f;
    const ScatterMesh mesh = icosphere(5);
    const kyscatter::Mesh surface = toolMesh(mesh);
    const double area = kyscatter::surfaceArea(surface);
    std::printf("unit icosphere, %zu triangles, area %.4f, radius %.3f\n", mesh.triangleVertices.size() / 3, area,
                radius);
    std::printf("%-34s %8s %12s %9s %12s %10s\n", "", "points", "min/radius", "rel.rad.", "gap/radius", "compute");
    for (const Row& row : rows(radius)) {
        ScatterResult result;
        const double seconds = secondsFor(mesh, row.settings, result);
        if (seconds < 0) {
            std::fprintf(stderr, "qualityTable: the compute failed for %s\n", row.name);
            return 1;
        }
        std::vector<kyscatter::Point> points;
        for (size_t i = 0; i < result.points.size(); i += 3)
            points.push_back({result.points[i], result.points[i + 1], result.points[i + 2]});
        const kyscatter::PointStats stats = kyscatter::pointStats(points, radius, area);
        const double gap = kyscatter::largestGap(points, surface, kyscatter::gapSampleCount(points.size()));
        std::printf("%-34s %8zu %12.3f %9.3f %12.3f %8.0f ms\n", row.name, stats.count,
                    stats.smallestDistance / radius, stats.relativeRadius, gap / radius, 1e3 * seconds);
    }
    return 0;
}
