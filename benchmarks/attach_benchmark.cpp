// The attach node's compute through the host, as one frame of playback: a record of surface data on a rest mesh
// carried onto the mesh as it is deformed.
#include <benchmark/benchmark.h>

#include <maya/MDoubleArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>

#include <map>
#include <random>
#include <stdexcept>

#include "geometry/surfaceGeometry.h"
#include "meshes.h"
#include "scatter/surfaceData.h"

namespace {

const int kTriangles = 200000;

MObject meshData(const ScatterMesh& mesh)
{
    const std::vector<int> counts(mesh.triangleVertices.size() / 3, 3);
    return mayaStandin::meshData(mesh.points.data(), mesh.points.size() / 3, counts, mesh.triangleVertices);
}

// The grid moved up and down by `lift` times a wave, every vertex, as a deformer would move it.
ScatterMesh deformedGrid(const ScatterMesh& rest, float lift)
{
    ScatterMesh moved = rest;
    for (size_t v = 0; v < moved.points.size(); v += 3)
        moved.points[v + 1] += lift * std::sin(moved.points[v] + moved.points[v + 2]);
    return moved;
}

template <typename T>
void appendVectors(MFnArrayAttrsData& fn, const char* name, const std::vector<T>& xyz)
{
    MVectorArray channel = fn.vectorArray(name);
    for (size_t i = 0; i + 2 < xyz.size(); i += 3)
        channel.append(MVector(static_cast<double>(xyz[i]), static_cast<double>(xyz[i + 1]),
                               static_cast<double>(xyz[i + 2])));
}

template <typename T>
void appendDoubles(MFnArrayAttrsData& fn, const char* name, const std::vector<T>& values)
{
    MDoubleArray channel = fn.doubleArray(name);
    for (T value : values)
        channel.append(static_cast<double>(value));
}

// A record with the scatter node's channels for `count` points spread over random triangles, their surface data
// derived by the scatter core's own code.
MObject surfaceRecord(const ScatterMesh& mesh, int count)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> triangle(0, static_cast<int>(mesh.triangleVertices.size() / 3) - 1);
    std::uniform_real_distribution<float> weight(0.0f, 0.5f);
    SampleSurface samples;
    std::vector<double> positions;
    for (int i = 0; i < count; ++i) {
        samples.ids.push_back(static_cast<unsigned int>(i));
        samples.triId.push_back(triangle(random));
        samples.u.push_back(weight(random));
        samples.v.push_back(weight(random));
    }
    SurfaceData surface;
    describeSurface(mesh, samples, surface);
    for (int i = 0; i < count; ++i) {
        double p[3];
        pointOnTriangle(triangleCorners(mesh.points.data(), &surface.triangleVertices[3 * static_cast<size_t>(i)]),
                        &surface.barycentric[3 * static_cast<size_t>(i)], p);
        positions.insert(positions.end(), p, p + 3);
    }
    MFnArrayAttrsData fn;
    MObject data = fn.create();
    appendVectors(fn, "position", positions);
    appendVectors(fn, "normal", surface.normals);
    appendVectors(fn, "rotation", surface.rotations);
    appendVectors(fn, "aimDirection", surface.normals);
    appendDoubles(fn, "id", surface.ids);
    appendDoubles(fn, "faceId", surface.faceIds);
    appendVectors(fn, "barycentric", surface.barycentric);
    appendVectors(fn, "triangleVertices", surface.triangleVertices);
    return data;
}

struct Scene {
    MObject frames[2];
    MObject record;
};

// Made once: the plug-in stays loaded, and the record and meshes are kept, however often the benchmark runs.
const Scene& sceneOf(int points)
{
    static std::map<int, Scene> scenes;
    if (scenes.empty() && mayaStandin::loadPlugin(KY_PLUGIN_PATH) != MS::kSuccess)
        throw std::runtime_error("cannot load " KY_PLUGIN_PATH);
    auto found = scenes.find(points);
    if (found == scenes.end()) {
        const ScatterMesh rest = wavyGrid(kTriangles);
        Scene scene{{meshData(deformedGrid(rest, 0.2f)), meshData(deformedGrid(rest, -0.2f))},
                    surfaceRecord(rest, points)};
        found = scenes.emplace(points, scene).first;
    }
    return found->second;
}

// One frame: inMesh set to the next deformed mesh (not timed), outPoints pulled (timed).
void AttachFrame(benchmark::State& state)
{
    const Scene& scene = sceneOf(static_cast<int>(state.range(0)));
    MObject frames[2] = {scene.frames[0], scene.frames[1]};
    MObject record = scene.record;
    MObject node = mayaStandin::createNode("kyAttachPoints");
    mayaStandin::findPlug(node, "inPoints").setValue(record);
    MPlug inMesh = mayaStandin::findPlug(node, "inMesh");
    MPlug out = mayaStandin::findPlug(node, "outPoints");
    int frame = 0;
    for (auto _ : state) {
        state.PauseTiming();
        inMesh.setValue(frames[++frame % 2]);
        state.ResumeTiming();
        MObject attached;
        if (out.getValue(attached) != MS::kSuccess)
            state.SkipWithError("compute failed");
    }
    state.counters["points"] = static_cast<double>(state.range(0));
    state.counters["triangles"] = kTriangles;
    mayaStandin::deleteNode(node);
}
BENCHMARK(AttachFrame)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor under a frame: what any node pays to publish a new record of these channels, four of them sized to be
// written and four copied from the input, while the last frame's record is still held.
void RecordFloor(benchmark::State& state)
{
    const Scene& scene = sceneOf(static_cast<int>(state.range(0)));
    MFnArrayAttrsData input(scene.record);
    MObject held;
    for (auto _ : state) {
        MFnArrayAttrsData fn;
        MObject record = fn.create();
        for (const char* name : {"position", "normal", "rotation", "aimDirection"})
            fn.vectorArray(name).setLength(static_cast<unsigned int>(state.range(0)));
        for (const char* name : {"barycentric", "triangleVertices"}) {
            MVectorArray channel = fn.vectorArray(name);
            channel = input.getVectorData(name);
        }
        for (const char* name : {"id", "faceId"}) {
            MDoubleArray channel = fn.doubleArray(name);
            channel = input.getDoubleData(name);
        }
        held = record;
    }
}
BENCHMARK(RecordFloor)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
