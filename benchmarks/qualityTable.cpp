// The quality of the point sets on a unit icosphere of 20,480 triangles at radius 0.02, as kyscatter --stats measures
// it, for the defaults, for the strict radius with the default and with generous passes and candidates, and for the
// stable layout, with the compute time of each row, its candidates and its stages' times. Built for each build:
// qualityTable (CPU) and, with nvcc, qualityTableCuda.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "meshes.h"
#include "pointStats.h"
#include "stageClock.h"

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
    ScatterSettings stable = defaults;
    stable.stableLayout = true;
    ScatterSettings stableStrict = strict;
    stableStrict.stableLayout = true;
    return {{"defaults", defaults},
            {"strictRadius", strict},
            {"strict, 30 passes, 4M candidates", generous},
            {"stableLayout", stable},
            {"stableLayout, strictRadius", stableStrict}};
}

kyscatter::Mesh toolMesh(const ScatterMesh& mesh)
{
    kyscatter::Mesh surface;
    surface.points = mesh.points;
    surface.connects = mesh.triangleVertices;
    surface.counts.assign(mesh.triangleVertices.size() / 3, 3);
    return surface;
}

// The stages' times and how many candidates the compute drew.
class CountingClock : public StageClock {
public:
    std::size_t candidates = 0;
    void candidatesReady(const CandidateView& view) override
    {
        StageClock::candidatesReady(view);
        candidates = view.x.size;
    }
};

struct Timing {
    double seconds = -1.0;
    StageSeconds stages;
    std::size_t candidates = 0;
};

// The median of a few computes: the first warms the caches and the allocator.
Timing timeCompute(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result)
{
    std::vector<Timing> runs;
    for (int run = 0; run < 3; ++run) {
        CountingClock clock;
        const auto started = std::chrono::steady_clock::now();
        clock.start();
        if (scatterPoints(mesh, settings, result, &clock) != ScatterStatus::ok)
            return Timing();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        runs.push_back({seconds, clock.seconds(), clock.candidates});
    }
    std::sort(runs.begin(), runs.end(), [](const Timing& a, const Timing& b) { return a.seconds < b.seconds; });
    return runs[1];
}

void printStages(const char* name, const Timing& t)
{
    const StageSeconds& s = t.stages;
    std::printf("%-34s %10zu %7.0f %10.0f %10.0f %7.0f %9.0f %7.0f\n", name, t.candidates, 1e3 * s.areas,
                1e3 * s.candidates, 1e3 * s.cellTable, 1e3 * s.phases, 1e3 * s.selection, 1e3 * s.collect);
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
    std::vector<std::pair<const char*, Timing>> timings;
    for (const Row& row : rows(radius)) {
        ScatterResult result;
        const Timing timing = timeCompute(mesh, row.settings, result);
        if (timing.seconds < 0) {
            std::fprintf(stderr, "qualityTable: the compute failed for %s\n", row.name);
            return 1;
        }
        timings.emplace_back(row.name, timing);
        std::vector<kyscatter::Point> points;
        for (size_t i = 0; i < result.points.size(); i += 3)
            points.push_back({result.points[i], result.points[i + 1], result.points[i + 2]});
        const kyscatter::PointStats stats = kyscatter::pointStats(points, radius, area);
        const double gap = kyscatter::largestGap(points, surface, kyscatter::gapSampleCount(points.size()));
        std::printf("%-34s %8zu %12.3f %9.3f %12.3f %8.0f ms\n", row.name, stats.count,
                    stats.smallestDistance / radius, stats.relativeRadius, gap / radius, 1e3 * timing.seconds);
    }
    std::printf("\nstage times (ms) of the same computes\n%-34s %10s %7s %10s %10s %7s %9s %7s\n", "", "candidates",
                "areas", "candidates", "cell table", "phases", "selection", "collect");
    for (const auto& [name, timing] : timings)
        printStages(name, timing);
    return 0;
}
