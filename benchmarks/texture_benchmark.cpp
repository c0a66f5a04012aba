// The density map from a texture: a compute of 1,000,000 candidates weighed from a 4,096 by 4,096 texture against the
// same compute without a map and with a colour set's map, the read of such a file through MImage, and the bake of a
// 256 by 256 procedural texture through the stand-in's shading network.
#include <benchmark/benchmark.h>

#include <maya/MFloatArray.h>
#include <maya/MFloatMatrix.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MImage.h>
#include <maya/MRenderUtil.h>
#include <mayaStandin/host.h>
#include <mayaStandin/textures.h>

#include <OpenImageIO/imageio.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "meshes.h"

namespace {

constexpr int kSide = 4096;
constexpr float kSize = 10.0f;  // wavyGrid's edge: UVs are x and z over it

// The wavy grid with UVs spanning [0, 1] over its edge, and one of three density maps.
enum class Map { none, whiteTexture, variedTexture, whiteColourSet };

ScatterMesh meshWith(Map map)
{
    ScatterMesh mesh = wavyGrid(20000, kSize);
    if (map == Map::whiteColourSet)
        mesh.cornerWeights.assign(mesh.triangleVertices.size(), 1.0f);
    if (map != Map::whiteTexture && map != Map::variedTexture)
        return mesh;
    DensityTexture& texture = mesh.densityTexture;
    texture.width = texture.height = kSide;
    texture.texels.resize(static_cast<std::size_t>(kSide) * kSide, 1.0f);
    if (map == Map::variedTexture)
        for (std::size_t i = 0; i < texture.texels.size(); ++i)
            texture.texels[i] = 0.25f + 0.75f * static_cast<float>(i % kSide) / kSide;
    for (int corner : mesh.triangleVertices) {
        texture.cornerUVs.push_back(mesh.points[3 * corner] / kSize);
        texture.cornerUVs.push_back(mesh.points[3 * corner + 2] / kSize);
    }
    return mesh;
}

// The processor time of the whole process, every thread's: on a busy machine it varies less than the wall clock.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void Compute(benchmark::State& state)
{
    const Map map = static_cast<Map>(state.range(0));
    const ScatterMesh mesh = meshWith(map);
    ScatterSettings settings;
    settings.radius = 0.02f;
    settings.candidateCount = 1000000;
    std::size_t points = 0;
    const double before = processorSeconds();
    for (auto _ : state) {
        ScatterResult result;
        if (scatterPoints(mesh, settings, result) != ScatterStatus::ok)
            throw std::runtime_error("the compute failed");
        points = result.pointCount();
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["processor_s"] = (processorSeconds() - before) / static_cast<double>(state.iterations());
    const char* names[] = {"no map", "white 4096^2 texture", "ramped 4096^2 texture", "white colour set"};
    state.SetLabel(names[state.range(0)]);
}
BENCHMARK(Compute)->DenseRange(0, 3)->Iterations(3)->Unit(benchmark::kMillisecond);

std::string imageFile()
{
    const std::string path = (std::filesystem::temp_directory_path() / "kyTextureBenchmark.png").string();
    if (std::filesystem::exists(path))
        return path;
    std::vector<unsigned char> grey(static_cast<std::size_t>(kSide) * kSide);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<unsigned char>((i % kSide) * 255 / kSide);
    auto out = OIIO::ImageOutput::create(path);
    OIIO::ImageSpec layout(kSide, kSide, 1, OIIO::TypeDesc::UINT8);
    if (!out || !out->open(path, layout) || !out->write_image(OIIO::TypeDesc::UINT8, grey.data()) || !out->close())
        throw std::runtime_error("cannot write " + path);
    return path;
}

void ReadFileTexture(benchmark::State& state)
{
    const std::string path = imageFile();
    for (auto _ : state) {
        MImage image;
        if (image.readFromFile(MString(path.c_str()), MImage::kFloat) != MS::kSuccess)
            throw std::runtime_error("cannot read " + path);
        benchmark::DoNotOptimize(image.floatPixels());
    }
}
BENCHMARK(ReadFileTexture)->Iterations(3)->Unit(benchmark::kMillisecond);

// The node's bake: 256 by 256 texel centres through sampleShadingNetwork, a U ramp of four entries.
void BakeRamp256(benchmark::State& state)
{
    const MObject ramp = mayaStandin::createNode("ramp");
    mayaStandin::findPlug(ramp, "type").setValue(1);
    mayaStandin::setRampEntries(ramp, {{0.0f, 0, 0, 0}, {0.25f, 0.25f, 0.25f, 0.25f}, {0.5f, 0.5f, 0.5f, 0.5f},
                                       {0.75f, 1, 1, 1}});
    const MString name = MFnDependencyNode(ramp).name() + ".outColor";
    constexpr int kResolution = 256, kCount = kResolution * kResolution;
    for (auto _ : state) {
        MFloatArray us(kCount), vs(kCount);
        for (int i = 0; i < kCount; ++i) {
            us[i] = (static_cast<float>(i % kResolution) + 0.5f) / kResolution;
            vs[i] = (static_cast<float>(i / kResolution) + 0.5f) / kResolution;
        }
        MFloatMatrix camera;
        MFloatVectorArray colours, transparencies;
        if (MRenderUtil::sampleShadingNetwork(name, kCount, false, false, camera, nullptr, &us, &vs, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, colours, transparencies) != MS::kSuccess)
            throw std::runtime_error("the bake failed");
        benchmark::DoNotOptimize(colours.length());
    }
    mayaStandin::deleteNode(ramp);
}
BENCHMARK(BakeRamp256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
