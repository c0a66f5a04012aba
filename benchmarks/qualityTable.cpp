// The quality of the point sets on a unit icosphere of 20,480 triangles at radius 0.02, as kyscatter --stats measures
// it, for the defaults, for the strict radius with the default and with generous passes and candidates, and for the
// stable layout, with the compute time of each row (the median of five, the rows taking turns), its candidates and its
// stages' times. Built for each build: qualityTable (CPU) and, with nvcc, qualityTableCuda.
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

// Every row computed in turn, a few rounds, so that a machine busy with other work slows every row alike; each row's
// median, and its points.
std::vector<Timing> timeRows(const ScatterMesh& mesh, const std::vector<Row>& rows, std::vector<ScatterResult>& results)
{
    const int rounds = 5;
    std::vector<std::vector<Timing>> runs(rows.size());
    results.assign(rows.size(), ScatterResult());
    for (int round = 0; round < rounds; ++round)
        for (size_t r = 0; r < rows.size(); ++r) {
            CountingClock clock;
            const auto started = std::chrono::steady_clock::now();
            clock.start();
            if (scatterPoints(mesh, rows[r].settings, results[r], &clock) != ScatterStatus::ok)
                return {};
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            runs[r].push_back({seconds, clock.seconds(), clock.candidates});
        }
    std::vector<Timing> medians;
    for (std::vector<Timing>& row : runs) {
        std::sort(row.begin(), row.end(), [](const Timing& a, const Timing& b) { return a.seconds < b.seconds; });
        medians.push_back(row[rounds / 2]);
    }
    return medians;
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
    const std::vector<Row> all = rows(radius);
    std::vector<ScatterResult> results;
    const std::vector<Timing> timings = timeRows(mesh, all, results);
    if (timings.empty()) {
        std::fprintf(stderr, "qualityTable: a compute failed\n");
        return 1;
    }
    for (size_t r = 0; r < all.size(); ++r) {
        const std::vector<float>& xyz = results[r].points;
        std::vector<kyscatter::Point> points;
        for (size_t i = 0; i < xyz.size(); i += 3)
            points.push_back({xyz[i], xyz[i + 1], xyz[i + 2]});
        const kyscatter::PointStats stats = kyscatter::pointStats(points, radius, area);
        const double gap = kyscatter::largestGap(points, surface, kyscatter::gapSampleCount(points.size()));
        std::printf("%-34s %8zu %12.3f %9.3f %12.3f %8.0f ms\n", all[r].name, stats.count,
                    stats.smallestDistance / radius, stats.relativeRadius, gap / radius, 1e3 * timings[r].seconds);
    }
    std::printf("\nstage times (ms) of the same computes\n%-34s %10s %7s %10s %10s %7s %9s %7s\n", "", "candidates",
                "areas", "candidates", "cell table", "phases", "selection", "collect");
    for (size_t r = 0; r < all.size(); ++r)
        printStages(all[r].name, timings[r]);
    return 0;
}
