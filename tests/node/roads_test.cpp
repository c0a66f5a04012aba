// The plug-in computes through the road libraries beside it: the GPU road where it can, the CPU road otherwise, and
// one record, byte for byte, whichever road and however many threads compute it.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/scatterHarness.h"

using harness::CapturedOutput;
using harness::Mesh;
using harness::ScatterNode;

namespace {

std::string roadFolder(const std::string& name)
{
    return std::string(KY_ROAD_FOLDERS) + "/" + name + "/kyScatterPoints.so";
}

// A plug-in loaded for one test, as a host session would: its roads load on its first compute.
class Session {
public:
    explicit Session(std::string path) : path_(std::move(path))
    {
        CapturedOutput quiet;
        loaded_ = mayaStandin::loadPlugin(path_) == MS::kSuccess;
    }
    ~Session()
    {
        CapturedOutput quiet;
        mayaStandin::unloadPlugin(path_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    bool loaded() const { return loaded_; }

private:
    std::string path_;
    bool loaded_ = false;
};

// One compute and what the plug-in said while it ran.
struct Computed {
    MStatus status;
    std::string bytes;
    std::string out;
    std::string err;
};

Computed compute(ScatterNode& node)
{
    Computed run;
    CapturedOutput output;
    run.bytes = node.pullBytes(&run.status);
    output.finish();
    run.out = output.out();
    run.err = output.err();
    return run;
}

// Settings that between them take every road through the stages: the defaults, the strict radius, the surface data,
// the stable layout.
std::vector<ScatterSettings> variedSettings()
{
    std::vector<ScatterSettings> all(5, harness::settingsOf(0.15f));
    all[1].strictRadius = true;
    all[2].surfaceData = true;
    all[3].strictRadius = all[3].surfaceData = true;
    all[3].seed = 99;
    all[4].stableLayout = all[4].strictRadius = all[4].surfaceData = true;
    return all;
}

// The records of `plugin` for each of the varied settings, one session, one node.
std::vector<Computed> recordsOf(const std::string& plugin)
{
    Session session(plugin);
    EXPECT_TRUE(session.loaded()) << plugin;
    std::vector<Computed> runs;
    ScatterNode node;
    node.setMesh(harness::ball());
    for (const ScatterSettings& settings : variedSettings()) {
        node.setControls(settings);
        node.setRadius(settings.radius);
        runs.push_back(compute(node));
        EXPECT_EQ(runs.back().status, MS::kSuccess) << runs.back().err;
    }
    // A density map on the stable layout of the last settings: every level of weights, each decided on its own grid.
    node.setMesh(harness::rampedBall());
    node.setDensity(true);
    runs.push_back(compute(node));
    EXPECT_EQ(runs.back().status, MS::kSuccess) << runs.back().err;
    return runs;
}

int occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

const std::string kOnStandinGpu = "stand-in GPU road: computing\n";

class Roads : public ::testing::Test {
protected:
    void TearDown() override
    {
        cudaStandin::clearFaults();
        cudaStandin::setDeviceMemory(std::size_t(80) << 30);
        EXPECT_EQ(cudaStandin::deviceBytesInUse(), 0u) << "device memory given back";
    }
};

TEST_F(Roads, ThePluginAloneComputesOnTheCpuAndSaysSoOnce)
{
    const std::vector<Computed> runs = recordsOf(harness::pluginPath());
    ASSERT_EQ(runs.size(), variedSettings().size() + 1);
    EXPECT_TRUE(std::regex_match(runs[0].out, std::regex("kyScatterPoints: no usable CUDA device \\(no "
                                                          "kyScatterPointsCuda\\.so\\.1 beside the plug-in\\); "
                                                          "computing on the CPU with [0-9]+ threads?\n")))
        << runs[0].out;
    for (size_t i = 1; i < runs.size(); ++i)
        EXPECT_EQ(runs[i].out, "") << "said once a session";
}

// Where CI builds the CUDA plug-in and has no GPU, it must still compute, and give what the CPU plug-in gives.
TEST_F(Roads, TheCudaPluginWithoutAGpuGivesTheCpuPluginsRecord)
{
#ifndef KY_CUDA_PLUGIN_PATH
    GTEST_SKIP() << "no CUDA plug-in in this build";
#else
    const std::vector<Computed> cuda = recordsOf(KY_CUDA_PLUGIN_PATH);
    if (cuda[0].out.find("computing on the GPU") != std::string::npos)
        GTEST_SKIP() << "this machine has a GPU: scripts/gpu-check compares the roads there";
    EXPECT_NE(cuda[0].out.find("no usable CUDA device ("), std::string::npos) << cuda[0].out;
    const std::vector<Computed> cpu = recordsOf(harness::pluginPath());
    for (size_t i = 0; i < cpu.size(); ++i) {
        EXPECT_FALSE(cpu[i].bytes.empty());
        EXPECT_TRUE(cuda[i].bytes == cpu[i].bytes) << "settings " << i;
    }
#endif
}

// Where there is a GPU (scripts/gpu-check runs this there): both roads of the CUDA plug-in give one record.
TEST_F(Roads, OnAGpuBothRoadsGiveOneRecord)
{
#ifndef KY_CUDA_PLUGIN_PATH
    GTEST_SKIP() << "no CUDA plug-in in this build";
#else
    Session session(KY_CUDA_PLUGIN_PATH);
    ASSERT_TRUE(session.loaded());
    // The last with its density map on: every level of weights.
    const Mesh meshes[] = {harness::ball(), harness::grid(200, 150, 12.0f, 0.7f), harness::speck(),
                           harness::rampedBall()};
    const float radii[] = {0.03f, 0.05f, 0.15f, 0.04f};
    for (size_t m = 0; m < 4; ++m) {
        ScatterNode node;
        node.setMesh(meshes[m]);
        node.setDensity(m == 3);
        for (const ScatterSettings& settings : variedSettings()) {
            node.setControls(settings);
            node.setRadius(radii[m]);
            std::string records[2];
            for (int device : {1, 2}) {
                node.plug("computeDevice").setValue(device);
                const Computed run = compute(node);
                if (run.out.find("no usable CUDA device") != std::string::npos)
                    GTEST_SKIP() << "no GPU here: " << run.out;
                ASSERT_EQ(run.status, MS::kSuccess) << run.err;
                records[device - 1] = run.bytes;
            }
            EXPECT_TRUE(records[0] == records[1]) << "mesh " << m << ", seed " << settings.seed << ", strict "
                                                  << settings.strictRadius << ", surface " << settings.surfaceData;
        }
    }
#endif
}

TEST_F(Roads, AGpuRoadIsTakenAndHandsOnWhatItHasNoMemoryFor)
{
    const std::vector<Computed> cpu = recordsOf(harness::pluginPath());
    Session session(roadFolder("standinGpu"));
    ASSERT_TRUE(session.loaded());
    ScatterNode node;
    node.setMesh(harness::ball());
    node.setRadius(0.15f);
    const Computed onGpu = compute(node);
    EXPECT_EQ(onGpu.out, "kyScatterPoints: computing on the GPU: stand-in GPU\n" + kOnStandinGpu);
    EXPECT_TRUE(onGpu.bytes == cpu[0].bytes);

    const std::string handedOn =
        "kyScatterPoints: the GPU has too little free memory for this compute; computing it on the CPU\n";
    // Short at the GPU road's first budget check, then a device allocation that fails on it.
    for (auto shortage : {+[] { cudaStandin::setFreeMemoryForQuery(0, 0); },
                          +[] { cudaStandin::failDeviceVectorAllocation(0); }}) {
        node.setRadius(0.3f);
        node.setRadius(0.15f);
        shortage();
        const Computed handed = compute(node);
        EXPECT_EQ(handed.status, MS::kSuccess) << handed.err;
        EXPECT_EQ(handed.out, kOnStandinGpu + handedOn);
        EXPECT_TRUE(handed.bytes == cpu[0].bytes) << "the CPU road's record is the GPU road's";
    }

    // Neither road has the memory: the compute fails as a short device does, and the last points stay.
    cudaStandin::setDeviceMemory(std::size_t(1) << 20);
    node.setRadius(0.3f);
    const Computed starved = compute(node);
    EXPECT_EQ(starved.status, MS::kFailure);
    EXPECT_EQ(occurrences(starved.out, handedOn), 1);
    EXPECT_NE(starved.err.find("Not enough memory on GPU"), std::string::npos) << starved.err;
}

// computeDevice picks the road; a road that cannot compute fails the compute, keeps the points and the host.
TEST_F(Roads, ComputeDeviceChoosesTheRoad)
{
    const std::vector<Computed> cpu = recordsOf(harness::pluginPath());
    {
        Session session(roadFolder("standinGpu"));
        ScatterNode node;
        node.setMesh(harness::ball());
        node.setRadius(0.15f);
        node.plug("computeDevice").setValue(2);
        const Computed onCpu = compute(node);
        EXPECT_EQ(onCpu.out, "kyScatterPoints: computing on the GPU: stand-in GPU\n") << "announced, not taken";
        EXPECT_TRUE(onCpu.bytes == cpu[0].bytes);

        node.plug("computeDevice").setValue(1);
        EXPECT_EQ(compute(node).out, kOnStandinGpu);
        node.setRadius(0.3f);
        cudaStandin::setFreeMemoryForQuery(0, 0);
        const Computed short_ = compute(node);
        EXPECT_EQ(short_.status, MS::kFailure);
        EXPECT_EQ(short_.out, kOnStandinGpu) << "a GPU the user asked for hands nothing on";
        EXPECT_NE(short_.err.find("Not enough memory on GPU"), std::string::npos) << short_.err;
        EXPECT_TRUE(short_.bytes == cpu[0].bytes) << "the points before stay";

        node.plug("computeDevice").setValue(7);
        const Computed unknown = compute(node);
        EXPECT_EQ(unknown.status, MS::kFailure);
        EXPECT_EQ(unknown.err, "ERROR computeDevice 7 is none of auto (0), gpu (1) and cpu (2); no points computed\n");
        EXPECT_TRUE(unknown.bytes == cpu[0].bytes);
    }
    // Without a GPU road beside it, and (where CI builds it) with one but no GPU: gpu fails, the points stay.
    std::vector<std::string> plugins = {harness::pluginPath()};
#ifdef KY_CUDA_PLUGIN_PATH
    plugins.push_back(KY_CUDA_PLUGIN_PATH);
#endif
    for (const std::string& plugin : plugins) {
        SCOPED_TRACE(plugin);
        Session session(plugin);
        ScatterNode node;
        node.setMesh(harness::ball());
        node.setRadius(0.15f);
        const Computed first = compute(node);
        ASSERT_EQ(first.status, MS::kSuccess);
        if (first.out.find("computing on the GPU") != std::string::npos)
            continue;  // a machine with a GPU: the GPU check compares the roads there
        node.plug("computeDevice").setValue(1);
        const Computed noGpu = compute(node);
        EXPECT_EQ(noGpu.status, MS::kFailure);
        EXPECT_TRUE(std::regex_match(noGpu.err, std::regex("ERROR computeDevice is gpu, but there is no usable CUDA "
                                                           "device \\(.+\\); no points computed\n")))
            << noGpu.err;
        EXPECT_TRUE(noGpu.bytes == cpu[0].bytes);
    }
}

TEST_F(Roads, ARoadThatCannotLoadIsReportedAndTheOtherComputes)
{
    const std::vector<Computed> cpu = recordsOf(harness::pluginPath());
    const std::pair<const char*, const char*> folders[] = {
        {"brokenGpu", "cannot load .*brokenGpu/kyScatterPointsCuda\\.so\\.1: .*"},
        {"staleGpu", ".*staleGpu/kyScatterPointsCuda\\.so\\.1 is not a compute road of this plug-in's version"}};
    for (const auto& [folder, why] : folders) {
        SCOPED_TRACE(folder);
        Session session(roadFolder(folder));
        ASSERT_TRUE(session.loaded());
        ScatterNode node;
        node.setMesh(harness::ball());
        node.setRadius(0.15f);
        const Computed run = compute(node);
        EXPECT_EQ(run.status, MS::kSuccess) << run.err;
        EXPECT_TRUE(std::regex_match(run.out, std::regex(std::string("kyScatterPoints: no usable CUDA device \\(") +
                                                         why + "\\); computing on the CPU with [0-9]+ threads?\n")))
            << run.out;
        EXPECT_TRUE(run.bytes == cpu[0].bytes);
    }
}

TEST_F(Roads, WithoutAnyRoadEveryComputeFailsWithAReport)
{
    Session session(roadFolder("noRoads"));
    ASSERT_TRUE(session.loaded()) << "loading needs no road: a host lists the plug-in's nodes all the same";
    ScatterNode node;
    node.setMesh(harness::ball());
    node.setRadius(0.15f);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Computed run = compute(node);
        EXPECT_EQ(run.status, MS::kFailure);
        EXPECT_EQ(occurrences(run.err, "ERROR kyScatterPoints: no road can compute"), attempt == 0 ? 1 : 0);
        EXPECT_NE(run.err.find("ERROR the CPU road cannot compute (no kyScatterPointsCpu.so.1 beside the plug-in); "
                               "no points computed\n"),
                  std::string::npos)
            << run.err;
    }
}

// The same inputs give the same bytes: on any number of threads, run after run, every setting.
TEST_F(Roads, OneRecordOnAnyNumberOfThreads)
{
    std::vector<Computed> first;
    for (int threads : {1, 2, 3, 8}) {
        cudaStandin::setKernelThreads(threads);
        for (int repeat = 0; repeat < 2; ++repeat) {
            const std::vector<Computed> runs = recordsOf(harness::pluginPath());
            if (first.empty())
                first = runs;
            for (size_t i = 0; i < runs.size(); ++i)
                EXPECT_TRUE(runs[i].bytes == first[i].bytes) << threads << " threads, settings " << i;
        }
    }
    cudaStandin::setKernelThreads(0);
}

// What `cmake --install` lays out is a Maya module whose plug-in loads from there and computes.
TEST_F(Roads, TheInstalledModuleLoadsAndComputes)
{
    namespace fs = std::filesystem;
    const fs::path prefix = fs::path(KY_ROAD_FOLDERS) / "installedModule";
    fs::remove_all(prefix);
    const std::string install = std::string("\"") + KY_CMAKE_COMMAND + "\" --install \"" + KY_BUILD_DIR +
                                "\" --prefix \"" + prefix.string() + "\" > \"" + prefix.string() + ".log\" 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;

    std::ifstream modFile(prefix / "kyScatterPoints.mod");
    std::string line;
    std::getline(modFile, line);
    EXPECT_TRUE(std::regex_match(line, std::regex("\\+ PLATFORM:linux kyScatterPoints [0-9.]+ \\."))) << line;
    for (const char* file : {"plug-ins/kyScatterPointsCpu.so.1", "scripts/AEkyScatterPointsTemplate.mel",
                             "scripts/AEkyDisplayPointsTemplate.mel"})
        EXPECT_TRUE(fs::exists(prefix / file)) << file;

    const std::vector<Computed> built = recordsOf(harness::pluginPath());
    const std::vector<Computed> installed = recordsOf((prefix / "plug-ins" / "kyScatterPoints.so").string());
    ASSERT_EQ(installed.size(), built.size());
    for (size_t i = 0; i < built.size(); ++i)
        EXPECT_TRUE(installed[i].bytes == built[i].bytes) << "settings " << i;
}

}  // namespace
