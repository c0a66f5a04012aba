// One whole compute of the scatter node through the host, its stages one by one, and the primitives it cannot avoid.
#include <benchmark/benchmark.h>

#include <maya/MFnArrayAttrsData.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

#include "meshes.h"
#include "processMeasures.h"
#include "stageClock.h"

namespace {

const float kRadius = 0.05f;

MObject meshData(const ScatterMesh& mesh)
{
    const std::vector<int> counts(mesh.triangleVertices.size() / 3, 3);
    return mayaStandin::meshData(mesh.points.data(), mesh.points.size() / 3, counts, mesh.triangleVertices);
}

const ScatterMesh& meshOf(int triangles)
{
    static std::map<int, ScatterMesh> meshes;
    auto it = meshes.find(triangles);
    if (it == meshes.end())
        it = meshes.emplace(triangles, wavyGrid(triangles)).first;
    return it->second;
}

// The CPU build's plug-in, or the one KY_PLUGIN names (the plug-in with both roads, to time its CPU road).
void loadPluginOnce()
{
    static bool loaded = false;
    if (!loaded) {
        const char* named = std::getenv("KY_PLUGIN");
        const std::string path = named != nullptr ? named : KY_PLUGIN_PATH;
        if (mayaStandin::loadPlugin(path) != MS::kSuccess)
            throw std::runtime_error("cannot load " + path);
        loaded = true;
    }
}

// Whole computes through the host, the output record included; the second argument turns the surface data on.
void WholeCompute(benchmark::State& state)
{
    loadPluginOnce();
    const ScatterMesh& mesh = meshOf(static_cast<int>(state.range(0)));
    MObject node = mayaStandin::createNode("kyScatterPoints");
    MObject data = meshData(mesh);
    mayaStandin::findPlug(node, "inMesh").setValue(data);
    mayaStandin::findPlug(node, "surfaceData").setValue(static_cast<int>(state.range(1)));
    MPlug radius = mayaStandin::findPlug(node, "radius");
    MPlug out = mayaStandin::findPlug(node, "outPoints");
    unsigned int points = 0;
    int round = 0;
    const double cpuBefore = processorSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    for (auto _ : state) {
        state.PauseTiming();
        radius.setValue(kRadius * (1.0f + 1e-6f * (++round % 2)));  // dirties outPoints
        state.ResumeTiming();
        MObject record;
        if (out.getValue(record) != MS::kSuccess)
            state.SkipWithError("compute failed");
        state.PauseTiming();
        MFnArrayAttrsData fn(record);
        points = fn.getVectorData("position").length();
        state.ResumeTiming();
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    state.counters["points"] = points;
    state.counters["triangles"] = static_cast<double>(mesh.triangleVertices.size() / 3);
    // Processor seconds per wall second of the loop: at most the threads that compute, more when threads spin idle.
    state.counters["cpu_per_wall"] = (processorSeconds() - cpuBefore) / wall;
    mayaStandin::deleteNode(node);
}
BENCHMARK(WholeCompute)
    ->Args({1, 0})
    ->Args({20000, 0})
    ->Args({200000, 0})
    ->Args({200000, 1})
    ->Args({2000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The compute's own stages, run without the host, each timed through the compute's observer; the second
// argument turns the surface data on, whose cost lies in the collection.
void Stages(benchmark::State& state)
{
    const ScatterMesh& mesh = meshOf(static_cast<int>(state.range(0)));
    ScatterSettings settings;
    settings.radius = kRadius;
    settings.surfaceData = state.range(1) != 0;
    StageSeconds sum;
    ScatterResult result;
    StageClock clock;
    for (auto _ : state) {
        clock.start();
        if (scatterPoints(mesh, settings, result, &clock) != ScatterStatus::ok)
            state.SkipWithError("the compute failed");
        sum += clock.seconds();
    }
    const double n = static_cast<double>(state.iterations()) / 1000.0;  // milliseconds per compute
    state.counters["upload+areas_ms"] = sum.areas / n;
    state.counters["randoms+candidates_ms"] = sum.candidates / n;
    state.counters["sort+hash_ms"] = sum.cellTable / n;
    state.counters["phases_ms"] = sum.phases / n;
    state.counters["selection_ms"] = sum.selection / n;
    state.counters["collect_ms"] = sum.collect / n;
    state.counters["points"] = static_cast<double>(result.pointCount());
}
BENCHMARK(Stages)
    ->Args({1, 0})
    ->Args({20000, 0})
    ->Args({200000, 0})
    ->Args({200000, 1})
    ->Args({2000000, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: one stable sort by key of 1,000,000 keys and one generation of 1,000,000 uniform floats.
void UnavoidablePrimitives(benchmark::State& state)
{
    for (auto _ : state) {
        const double seconds = timeUnavoidablePrimitives();
        if (seconds < 0)
            state.SkipWithError("primitives failed");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(UnavoidablePrimitives)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
