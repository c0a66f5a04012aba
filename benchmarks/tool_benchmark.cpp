// The kyscatter tool's whole run on the built-in surface, stage by stage, so that the time spent
// around the plug-in's compute (reading, loading, drawing, writing) can be set against it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "builtinSurface.h"
#include "imageWriter.h"
#include "meshIO.h"
#include "pointStats.h"
#include "pointWriter.h"
#include "scatterRun.h"
#include "scatterSettings.h"

using namespace kyscatter;

namespace {

const Mesh& knot()
{
    static const Mesh mesh = builtinSurface();
    return mesh;
}

std::string scratch(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("kyscatter_bench_" + name)).string();
}

// The built-in surface as an OBJ file, as an artist would hand it over.
const std::string& knotFile()
{
    static const std::string path = [] {
        const std::string p = scratch("knot.obj");
        std::ofstream file(p);
        const Mesh& mesh = knot();
        char line[96];
        for (std::size_t i = 0; i < mesh.points.size(); i += 3) {
            std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", mesh.points[i], mesh.points[i + 1], mesh.points[i + 2]);
            file << line;
        }
        std::size_t start = 0;
        for (int count : mesh.counts) {
            file << 'f';
            for (int k = 0; k < count; ++k)
                file << ' ' << mesh.connects[start + k] + 1;
            file << '\n';
            start += count;
        }
        return p;
    }();
    return path;
}

ScatterSettings settings(bool picture)
{
    ScatterSettings s;
    s.pluginPath = KYSCATTER_PLUGIN;
    s.radius = defaultRadius(surfaceArea(knot()));
    s.quiet = true;
    if (picture)
        s.picture = PictureSettings{800, 600, View::Persp};
    return s;
}

void BM_BuildBuiltinSurface(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(builtinSurface());
}
BENCHMARK(BM_BuildBuiltinSurface)->Unit(benchmark::kMillisecond);

void BM_ReadMeshFile(benchmark::State& state)
{
    const std::string& path = knotFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(readMesh(path));
}
BENCHMARK(BM_ReadMeshFile)->Unit(benchmark::kMillisecond);

// Load, nodes, compute, unload; the compute's own share is reported as a counter.
void BM_ScatterThroughHost(benchmark::State& state)
{
    const ScatterSettings s = settings(state.range(0) != 0);
    double compute = 0;
    for (auto _ : state)
        compute += runScatter(knot(), s).computeSeconds;
    state.counters["compute_s"] = benchmark::Counter(compute, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ScatterThroughHost)->Arg(0)->Arg(1)->ArgName("picture")->Unit(benchmark::kMillisecond);

void BM_Outputs(benchmark::State& state)
{
    const ScatterResult result = runScatter(knot(), settings(true));
    for (auto _ : state) {
        writePoints(scratch("points.ply"), result.points, PointFormat::Ply);
        writePng(scratch("picture.png"), *result.picture);
    }
}
BENCHMARK(BM_Outputs)->Unit(benchmark::kMillisecond);

void BM_Stats(benchmark::State& state)
{
    const ScatterResult result = runScatter(knot(), settings(false));
    const double area = surfaceArea(knot());
    for (auto _ : state) {
        PointStats stats = pointStats(result.points, settings(false).radius, area);
        stats.largestGap = largestGap(result.points, knot(), gapSampleCount(result.points.size()));
        benchmark::DoNotOptimize(stats);
    }
}
BENCHMARK(BM_Stats)->Unit(benchmark::kMillisecond);

// What `kyscatter knot.obj --image picture.png --out points.ply` does, end to end.
void BM_WholeRun(benchmark::State& state)
{
    const std::string& path = knotFile();
    double compute = 0;
    for (auto _ : state) {
        const Mesh mesh = readMesh(path);
        ScatterSettings s = settings(true);
        s.radius = defaultRadius(surfaceArea(mesh));
        const ScatterResult result = runScatter(mesh, s);
        writePoints(scratch("points.ply"), result.points, PointFormat::Ply);
        writePng(scratch("picture.png"), *result.picture);
        compute += result.computeSeconds;
    }
    state.counters["compute_s"] = benchmark::Counter(compute, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* name : {"knot.obj", "points.ply", "picture.png"})
        std::filesystem::remove(scratch(name));
    return 0;
}
