// The quality of the point sets on a unit icosphere of 20,480 triangles at radius 0.02, as kyscatter --stats measures
// it, for the defaults, for the strict radius with the default and with generous passes and candidates, and for the
// stable layout, with the compute time of each row (the median of five, the rows taking turns), its candidates and its
// stages' times; then the density map's bands, its cost, and the cost of a pointCount. Built for each build:
// qualityTable (CPU) and, with nvcc, qualityTableCuda.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "meshes.h"
#include "pointStats.h"
#include "scatter/pointCount.h"
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
        candidates = view.cellId.size;
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

// One setting's median compute time, timed as the rows are; negative when the compute fails.
double secondsFor(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result)
{
    std::vector<ScatterResult> results;
    const std::vector<Timing> timings = timeRows(mesh, {Row{"", settings}}, results);
    if (timings.empty())
        return -1.0;
    result = results[0];
    return timings[0].seconds;
}

std::vector<kyscatter::Point> pointsOf(const ScatterResult& result)
{
    std::vector<kyscatter::Point> points;
    for (size_t i = 0; i < result.points.size(); i += 3)
        points.push_back({result.points[i], result.points[i + 1], result.points[i + 2]});
    return points;
}

constexpr float kBandWeights[4] = {0.0f, 0.25f, 0.5f, 1.0f};

// A strip of four unit squares along X of weights 0, 0.25, 0.5 and 1, each square a grid of quads whose corners carry
// its own weight.
ScatterMesh bandedStrip()
{
    const int quads = 8, columns = 4 * quads;
    ScatterMesh mesh;
    for (int j = 0; j <= quads; ++j)
        for (int i = 0; i <= columns; ++i)
            mesh.points.insert(mesh.points.end(), {static_cast<float>(i) / quads, 0.0f, static_cast<float>(j) / quads});
    for (int j = 0; j < quads; ++j)
        for (int i = 0; i < columns; ++i) {
            const int a = j * (columns + 1) + i;
            mesh.triangleVertices.insert(mesh.triangleVertices.end(),
                                         {a, a + columns + 1, a + 1, a + 1, a + columns + 1, a + columns + 2});
            mesh.cornerWeights.insert(mesh.cornerWeights.end(), 6, kBandWeights[i / quads]);
        }
    return mesh;
}

// Each band's points three radii inside its edges: their count against w times the full band's, their local
// relative radius, and their smallest distance against the band's own radius, radius / sqrt(w).
void printBands(const char* name, const ScatterResult& result, float radius)
{
    const double margin = 3 * radius, side = 1 - 2 * margin;
    std::vector<kyscatter::Point> inside[4];
    for (const kyscatter::Point& p : pointsOf(result)) {
        const int band = std::min(3, static_cast<int>(p[0]));
        if (p[0] > band + margin && p[0] < band + 1 - margin && p[2] > margin && p[2] < 1 - margin)
            inside[band].push_back(p);
    }
    for (int band = 0; band < 4; ++band) {
        const double w = kBandWeights[band];
        const kyscatter::PointStats stats = kyscatter::pointStats(inside[band], radius, side * side);
        std::printf("%-22s %6.2f %8zu %10.0f %7.3f %10.3f %12.3f\n", band == 0 ? name : "", w, inside[band].size(),
                    w * inside[3].size(), w > 0 ? inside[band].size() / (w * inside[3].size()) : 0.0,
                    stats.relativeRadius, w > 0 ? stats.smallestDistance / (radius / std::sqrt(w)) : 0.0);
    }
}

// Corner weights from 0 to 1 along X across the mesh: every level of the map at once.
std::vector<float> rampAlongX(const ScatterMesh& mesh)
{
    float lo = INFINITY, hi = -INFINITY;
    for (size_t v = 0; v < mesh.points.size(); v += 3) {
        lo = std::min(lo, mesh.points[v]);
        hi = std::max(hi, mesh.points[v]);
    }
    std::vector<float> weights;
    for (int vertex : mesh.triangleVertices)
        weights.push_back((mesh.points[3 * static_cast<size_t>(vertex)] - lo) / (hi - lo));
    return weights;
}

// The compute time without a map, with one of full weight everywhere and with a ramp.
void printDensityCost(const char* name, ScatterMesh mesh, float radius)
{
    ScatterSettings settings;
    settings.radius = radius;
    settings.strictRadius = true;
    ScatterResult result;
    const double off = secondsFor(mesh, settings, result);
    const size_t offPoints = result.pointCount();
    mesh.cornerWeights.assign(mesh.triangleVertices.size(), 1.0f);
    const double white = secondsFor(mesh, settings, result);
    mesh.cornerWeights = rampAlongX(mesh);
    const double ramp = secondsFor(mesh, settings, result);
    std::printf("%-34s %8.0f ms %8.0f ms %8.0f ms   (%zu and %zu points)\n", name, 1e3 * off, 1e3 * white, 1e3 * ramp,
                offPoints, result.pointCount());
}

// The node's own search, with the compute as its count: how many computes a pointCount costs, and how long.
void printCountCost(const char* name, const ScatterMesh& mesh, std::int64_t target)
{
    ScatterSettings settings;
    CountComputes computes;
    computes.countAt = [&](double radius) -> std::optional<std::size_t> {
        settings.radius = static_cast<float>(radius);
        ScatterResult result;
        if (scatterPoints(mesh, settings, result) != ScatterStatus::ok)
            return std::nullopt;
        return result.pointCount();
    };
    const auto started = std::chrono::steady_clock::now();
    const CountSearch search = searchRadiusForCount(
        {target, settings.candidateCount, radiusForCount(densityArea(mesh), static_cast<double>(target))}, computes);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%-34s %8lld %8zu %9.5f %9d %9.2f s\n", name, static_cast<long long>(target), search.count,
                search.radius, search.computes, seconds);
}

void printDensityTables()
{
    const float radius = 0.02f;
    const ScatterMesh strip = bandedStrip();
    std::printf("\ndensity map: four unit squares of weight 0, 0.25, 0.5 and 1, radius %.3f, each band %.2f inside\n",
                radius, 3 * radius);
    std::printf("%-22s %6s %8s %10s %7s %10s %12s\n", "", "weight", "points", "w x full", "ratio", "rel.rad.",
                "min/local r");
    for (bool strict : {true, false}) {
        ScatterSettings settings;
        settings.radius = radius;
        settings.strictRadius = strict;
        ScatterResult result;
        if (scatterPoints(strip, settings, result) == ScatterStatus::ok)
            printBands(strict ? "strictRadius" : "defaults", result, radius);
    }
    std::printf("\ncompute with the density map (strict)  %11s %11s %11s\n", "no map", "all white", "ramp in X");
    printDensityCost("200,000 triangles, radius 0.05", wavyGrid(200000), 0.05f);
    printDensityCost("icosphere, radius 0.02", icosphere(5), 0.02f);

    std::printf("\npointCount (the node's search)    %8s %8s %9s %9s %11s\n", "target", "reached", "radius", "computes",
                "time");
    printCountCost("200,000 triangles", wavyGrid(200000), 30000);
    printCountCost("icosphere", icosphere(5), 20000);
    ScatterMesh ramped = icosphere(5);
    ramped.cornerWeights = rampAlongX(ramped);
    printCountCost("icosphere, ramp in X", ramped, 20000);
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
        const std::vector<kyscatter::Point> points = pointsOf(results[r]);
        const kyscatter::PointStats stats = kyscatter::pointStats(points, radius, area);
        const double gap = kyscatter::largestGap(points, surface, kyscatter::gapSampleCount(points.size()));
        std::printf("%-34s %8zu %12.3f %9.3f %12.3f %8.0f ms\n", all[r].name, stats.count,
                    stats.smallestDistance / radius, stats.relativeRadius, gap / radius, 1e3 * timings[r].seconds);
    }
    std::printf("\nstage times (ms) of the same computes\n%-34s %10s %7s %10s %10s %7s %9s %7s\n", "", "candidates",
                "areas", "candidates", "cell table", "phases", "selection", "collect");
    for (size_t r = 0; r < all.size(); ++r)
        printStages(all[r].name, timings[r]);
    printDensityTables();
    return 0;
}
