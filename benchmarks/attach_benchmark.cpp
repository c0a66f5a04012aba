// The attach node's compute through the host, as one frame of playback: a record of surface data on a rest mesh
// carried onto the mesh as it is deformed.
#include <benchmark/benchmark.h>

#include <maya/MDoubleArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/host.h>

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

#include "attachScene.h"

namespace {

using attachScene::kTriangles;
using attachScene::Scene;

// Made once: the plug-in stays loaded, and the record and meshes are kept, however often the benchmark runs.
const Scene& sceneOf(int points)
{
    static std::map<int, Scene> scenes;
    // The build's plug-in, or the one KY_PLUGIN names (another build's, to time it beside this one).
    const char* named = std::getenv("KY_PLUGIN");
    const std::string path = named != nullptr ? named : KY_PLUGIN_PATH;
    if (scenes.empty() && mayaStandin::loadPlugin(path) != MS::kSuccess)
        throw std::runtime_error("cannot load " + path);
    auto found = scenes.find(points);
    if (found == scenes.end())
        found = scenes.emplace(points, attachScene::makeScene(points)).first;
    return found->second;
}

// One frame of playback: inMesh set to the next deformed mesh (not timed), outPoints pulled (timed).
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
    // The first frame of a record also learns its triangles; playback is the frames after it.
    inMesh.setValue(frames[frame % 2]);
    MObject first;
    out.getValue(first);
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
