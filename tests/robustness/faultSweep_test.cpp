// Every way a compute can fail: its report, its status, and that nothing is lost or left behind.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <maya/MPlugArray.h>

#include "support/pluginTest.h"
#include "support/testImages.h"

using harness::ball;
using harness::CapturedOutput;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;
using harness::speck;

namespace {

std::string errorText(MStatus::MStatusCode code)
{
    return MStatus(code).errorString().asChar();
}

class FaultSweep : public harness::PluginTest {};

struct Inputs {
    const Mesh* mesh;
    float radius;
    ScatterSettings controls = ScatterSettings();
    bool density = false;
    int pointCount = 0;
    const harness::HostNode* texture = nullptr;  // set: the density map reads this texture node
};

void apply(ScatterNode& node, const Inputs& inputs)
{
    node.setMesh(*inputs.mesh);
    node.setRadius(inputs.radius);
    node.setControls(inputs.controls);
    node.setDensity(inputs.density);
    node.setPointCount(inputs.pointCount);
    node.setDensitySource(inputs.texture != nullptr);
    MPlugArray sources;
    node.plug("densityTexture").connectedTo(sources, true, false);
    if (inputs.texture != nullptr && sources.length() == 0)
        node.connectTexture(*inputs.texture);
}

// Every control off its default, with three times the candidates.
ScatterSettings steered()
{
    ScatterSettings controls;
    controls.seed = 42;
    controls.passes = 7;
    controls.candidateCount = 3000000;
    controls.strictRadius = true;
    return controls;
}

// The same elsewhere: the same budget figures, another point.
const Mesh& otherSpeck()
{
    static const Mesh mesh = harness::singleTriangle({2.1f, 0.2f, 0.3f}, {2.11f, 0.2f, 0.3f}, {2.1f, 0.21f, 0.3f});
    return mesh;
}

const Inputs kSpecks[2] = {{&speck(), 1.0f}, {&otherSpeck(), 1.0f}};
const Inputs kBalls[2] = {{&ball(), 0.3f}, {&ball(), 0.45f}};
const Inputs kSteeredBalls[2] = {{&ball(), 0.3f, steered()}, {&ball(), 0.45f, steered()}};

ScatterSettings withSurfaceData()
{
    ScatterSettings controls;
    controls.surfaceData = true;
    return controls;
}

const Inputs kBallsWithSurfaceData[2] = {{&ball(), 0.3f, withSurfaceData()}, {&ball(), 0.45f, withSurfaceData()}};
// Few candidates, so that failing each of the many allocations of a map's levels in turn takes seconds, not minutes.
ScatterSettings fewCandidates()
{
    ScatterSettings controls;
    controls.candidateCount = 50000;
    return controls;
}

const Inputs kRampedBalls[2] = {{&harness::rampedBall(), 0.25f, fewCandidates(), true},
                                {&harness::rampedBall(), 0.35f, fewCandidates(), true}};
const Inputs kCountedBalls[2] = {{&ball(), 1.0f, ScatterSettings(), false, 400},
                                 {&ball(), 1.0f, ScatterSettings(), false, 700}};

ScatterSettings stableAndStrict()
{
    ScatterSettings controls;
    controls.stableLayout = true;
    controls.strictRadius = true;
    controls.surfaceData = true;
    return controls;
}

const Inputs kStableBalls[2] = {{&ball(), 0.3f, stableAndStrict()}, {&ball(), 0.45f, stableAndStrict()}};

// A scene whose grid has more cells than a 32-bit key numbers, decided layer by layer: a far corner, and a small wall
// across a layer's border, with few points to decide.
const Mesh& layeredScene()
{
    static const Mesh scene = [] {
        Mesh m;
        m.points = {{0, 0, 0},           {1, 0, 0},       {0, 0, 1},       {20000, 2000, 20000},
                    {19999, 2000, 20000}, {20000, 2000, 19999}, {10000, 400, 0}, {10020, 400, 0},
                    {10020, 600, 0},     {10000, 600, 0}};
        m.counts = {3, 3, 4};
        m.connects = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        return m;
    }();
    return scene;
}

const Inputs kLayeredScenes[2] = {{&layeredScene(), 5.0f, fewCandidates()}, {&layeredScene(), 6.0f, fewCandidates()}};

struct FailureCase {
    std::string what;
    std::function<void()> arm;
    MStatus::MStatusCode status;
    std::string out;  // exact standard output, or a regular expression when it starts with '^'
    std::string err;
};

std::string escapedForRegex(const std::string& text)
{
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

void expectStream(const std::string& expected, const std::string& actual, const char* what)
{
    if (!expected.empty() && expected[0] == '^')
        EXPECT_TRUE(std::regex_match(actual, std::regex(expected))) << what << ": " << actual;
    else
        EXPECT_EQ(actual, expected) << what;
}

struct Written {
    std::string out;
    std::string err;
};

// Each case fails one compute of a node that holds the result of other inputs, then computes again with the fault
// gone. The cases alternate between two sets of inputs, so that each clean compute is the earlier result the next
// case must keep. Returns what each failing compute wrote on the standard output and error, in case order.
std::vector<Written> runFailureCases(const Inputs (&inputs)[2], const std::vector<FailureCase>& cases, size_t baseline)
{
    std::vector<Point> clean[2];
    for (int k = 0; k < 2; ++k) {
        ScatterNode reference;
        apply(reference, inputs[k]);
        EXPECT_EQ(reference.pull(&clean[k]), MS::kSuccess);
        clean[k] = harness::sorted(clean[k]);
    }
    EXPECT_NE(clean[0], clean[1]) << "the two inputs must give different sets, or a lost result goes unseen";

    std::vector<Written> outputs;
    ScatterNode node;
    apply(node, inputs[1]);
    EXPECT_EQ(node.pull(), MS::kSuccess);
    for (size_t i = 0; i < cases.size(); ++i) {
        const FailureCase& c = cases[i];
        SCOPED_TRACE(c.what);
        const int k = static_cast<int>(i % 2);
        apply(node, inputs[k]);

        c.arm();
        MObject record;
        MStatus status;
        {
            CapturedOutput output;
            status = node.plug("outPoints").getValue(record);
            output.finish();
            expectStream(c.out, output.out(), "standard output");
            expectStream(c.err, output.err(), "standard error");
            outputs.push_back({output.out(), output.err()});
        }
        EXPECT_EQ(status.statusCode(), c.status);
        EXPECT_EQ(harness::sorted(harness::positionsOf(record)), clean[1 - k]) << "outPoints kept";
        EXPECT_TRUE(node.outPointsDirty()) << "not marked clean";
        EXPECT_EQ(cudaStandin::deviceBytesInUse(), baseline) << "device memory given back";

        cudaStandin::clearFaults();
        mayaStandin::clearFaults();
        std::vector<Point> after;
        EXPECT_EQ(node.pull(&after), MS::kSuccess);
        EXPECT_EQ(harness::sorted(after), clean[k]) << "the next compute is as if nothing had failed";
    }
    return outputs;
}

TEST_F(FaultSweep, BudgetIsAskedForTheExactFiguresAtEachCheckpoint)
{
    // speck(): 3 vertices, 3 triangle indices, one occupied cell. The cell list comes before the table, which is built
    // over it.
    const unsigned long figures[7] = {36, 12, 12, 24000008, 8000000, 8 + 108, 4 * 64 + 120};
    const std::string notEnough = "Not enough memory on GPU: " + errorText(MS::kSuccess) + "\n";
    std::vector<FailureCase> cases;
    for (int checkpoint = 0; checkpoint < 7; ++checkpoint) {
        const size_t request = figures[checkpoint];
        ScatterNode node;
        node.setMesh(speck());
        cudaStandin::setFreeMemoryForQuery(request, checkpoint);
        std::vector<Point> points;
        EXPECT_EQ(node.pull(&points), MS::kSuccess) << "exactly the request free passes, checkpoint " << checkpoint;
        EXPECT_EQ(points.size(), 1u);
        const auto mib = [](size_t bytes) {
            char text[64];
            std::snprintf(text, sizeof text, "%zu bytes (%.1f MiB)", bytes, bytes / 1048576.0);
            return std::string(text);
        };
        cases.push_back({"one byte short at checkpoint " + std::to_string(checkpoint + 1),
                         [=] { cudaStandin::setFreeMemoryForQuery(request - 1, checkpoint); }, MS::kFailure, "",
                         notEnough + "kyScatterPoints: a step of this compute needs " + mib(request) +
                             " of device memory, and " + mib(request - 1) + " are free\n"});
    }
    runFailureCases(kSpecks, cases, baseline_);
}

TEST_F(FaultSweep, EveryFailureIsReportedInItsFormAndLosesNothing)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    std::vector<FailureCase> cases;
    const char* kernels[] = {"calculateArea",      "generateRandomPoints", "detectCells",    "countBucketCells",
                             "offerCellsToSlot",   "fillHashTable",        "getCells",       "calculateCellPhase",
                             "flattenSamples",     "sampleCellKeys",       "gatherSamples"};
    for (const char* kernel : kernels)
        cases.push_back({kernel, [=] { cudaStandin::failNextLaunch(kernel); }, MS::kFailure,
                         std::string("Failed to launch ") + kernel + " kernel, error code: " + launchFailure + "\n", ""});
    cases.push_back({"countCellsInPhases", [] { cudaStandin::failNextLaunch("countCellsInPhases"); }, MS::kFailure,
                     "Failed to launch kernel, error code: " + launchFailure + "\n", ""});
    cases.push_back({"a launch refused for its configuration",
                     [] { cudaStandin::failNextLaunch("detectCells", "cudaErrorInvalidConfiguration"); }, MS::kFailure,
                     "Failed to launch detectCells kernel, error code: invalid configuration argument\n", ""});
    // The selection loop's first, middle and last launch (5 passes x 27 phases).
    for (int launch : {0, 70, 134})
        cases.push_back({"selection launch " + std::to_string(launch),
                         [=] { cudaStandin::failNextLaunch("chooseSamplesInCells", "cudaErrorLaunchFailure", launch); },
                         MS::kFailure, "", "Cuda error: " + launchFailure + ".\n"});
    for (int query = 0; query < 7; ++query)
        cases.push_back({"memory query " + std::to_string(query + 1),
                         [=] { cudaStandin::failMemGetInfo("cudaErrorInitializationError", query); }, MS::kFailure,
                         "Error: cudaMemGetInfo fails, initialization error \n", ""});
    const std::string callSite = "^Error at kyScatterPoints\\.cu:[0-9]+\n$";
    cases.push_back({"cudaMalloc", [] { cudaStandin::failMalloc(); }, MS::kFailure, callSite, ""});
    const std::pair<const char*, const char*> curandCalls[] = {
        {"curandCreateGenerator", "CURAND_STATUS_ALLOCATION_FAILED"},
        {"curandSetPseudoRandomGeneratorSeed", "CURAND_STATUS_NOT_INITIALIZED"},
        {"curandGenerateUniform", "CURAND_STATUS_LAUNCH_FAILURE"},
        {"curandDestroyGenerator", "CURAND_STATUS_INTERNAL_ERROR"}};
    for (const auto& call : curandCalls)
        cases.push_back({call.first, [=] { cudaStandin::failCurandCall(call.first, call.second); }, MS::kFailure,
                         callSite, ""});
    cases.push_back({"cudaFree", [] { cudaStandin::failFree(); }, MS::kFailure, callSite, ""});
    const std::string failure = errorText(MS::kFailure);
    const std::string invalid = errorText(MS::kInvalidParameter);
    cases.push_back({"inputValue", [] { mayaStandin::failCall("MDataBlock::inputValue"); }, MS::kFailure, "",
                     "ERROR getting inMesh\n" + failure + "\n"});
    cases.push_back({"MFnMesh", [] { mayaStandin::failCall("MFnMesh::MFnMesh", MS::kInvalidParameter); },
                     MS::kInvalidParameter, "", "ERROR MFnMesh\n" + invalid + "\n"});
    cases.push_back({"getPoints", [] { mayaStandin::failCall("MFnMesh::getPoints", MS::kInvalidParameter); },
                     MS::kInvalidParameter, "", "ERROR meshFn.getPoints\n" + invalid + "\n"});
    cases.push_back({"getTriangles", [] { mayaStandin::failCall("MFnMesh::getTriangles"); }, MS::kFailure, "",
                     "ERROR meshFn.getTriangles\n" + failure + "\n"});
    cases.push_back({"outputValue", [] { mayaStandin::failCall("MDataBlock::outputValue"); }, MS::kFailure, "",
                     "ERROR in hOutArray = block.outputArrayValue.\n\n" + failure + "\n"});
    cases.push_back({"create", [] { mayaStandin::failCall("MFnArrayAttrsData::create"); }, MS::kFailure, "",
                     "ERROR in fnOutput.create.\n\n" + failure + "\n"});
    cases.push_back({"set", [] { mayaStandin::failCall("MDataHandle::set"); }, MS::kFailure, "",
                     "ERROR\n\n" + failure + "\n"});
    const std::vector<Written> outputs = runFailureCases(kBalls, cases, baseline_);

    // The six calls checked at their call site report six different lines, in the order the calls are made.
    ASSERT_EQ(outputs.size(), cases.size());
    std::vector<int> lines;
    for (size_t i = 0; i < cases.size(); ++i)
        if (cases[i].out == callSite && !outputs[i].out.empty())
            lines.push_back(std::stoi(outputs[i].out.substr(outputs[i].out.rfind(':') + 1)));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_LT(lines[0], lines[2]) << "cudaMalloc before curandCreateGenerator";
    for (size_t i = 2; i < lines.size(); ++i)
        EXPECT_LT(lines[i - 1], lines[i]);
}

// The plug-in's cuRAND calls reach the stand-in (which the faults above rely on), once each per compute.
TEST_F(FaultSweep, PlugInCuRandCallsPassThroughTheStandIn)
{
    ScatterNode node;
    node.setMesh(speck());
    cudaStandin::clearLaunchCounts();
    std::vector<Point> points;
    ASSERT_EQ(node.pull(&points), MS::kSuccess);
    EXPECT_EQ(points.size(), 1u);
    for (const char* call : {"curandCreateGenerator", "curandSetPseudoRandomGeneratorSeed", "curandGenerateUniform",
                             "curandDestroyGenerator"})
        EXPECT_EQ(cudaStandin::curandCallCount(call), 1) << call;

    // A generator whose destruction failed is destroyed on the way out all the same.
    node.setRadius(0.5f);
    cudaStandin::clearLaunchCounts();
    cudaStandin::failCurandCall("curandDestroyGenerator");
    {
        CapturedOutput quiet;
        EXPECT_EQ(node.pull(), MS::kFailure);
    }
    EXPECT_EQ(cudaStandin::curandCallCount("curandCreateGenerator"), 1);
    EXPECT_EQ(cudaStandin::curandCallCount("curandDestroyGenerator"), 2);
}

// Fails each device allocation of a compute in turn; returns what the failing computes wrote.
std::vector<Written> failEveryAllocation(const Inputs (&inputs)[2], size_t baseline)
{
    int allocations = 0;
    for (const Inputs& in : inputs) {
        ScatterNode node;
        apply(node, in);
        cudaStandin::clearLaunchCounts();
        EXPECT_EQ(node.pull(), MS::kSuccess);
        const int count = cudaStandin::deviceVectorAllocationCount();
        allocations = allocations == 0 ? count : std::min(allocations, count);
    }
    EXPECT_GT(allocations, 20) << "the vectors of both halves, the cells' tables and the primitives' storage";
    std::vector<FailureCase> cases;
    for (int allocation = 0; allocation < allocations; ++allocation)
        cases.push_back({"device allocation " + std::to_string(allocation),
                         [=] { cudaStandin::failDeviceVectorAllocation(allocation); }, MS::kFailure, "",
                         "^ERROR kyScatterPoints compute failed: .*(out of memory|get_temporary_buffer failed)\n$"});
    return runFailureCases(inputs, cases, baseline);
}

// A device allocation that fails anywhere in the compute, for a vector or inside a primitive (a sort's temporary
// storage), is caught at the node's boundary and costs nothing but that compute.
TEST_F(FaultSweep, EveryDeviceAllocationCanFailSafely)
{
    const std::vector<Written> outputs = failEveryAllocation(kBalls, baseline_);
    RecordProperty("deviceAllocations", static_cast<int>(outputs.size()));
    const auto insidePrimitive = std::count_if(outputs.begin(), outputs.end(), [](const Written& w) {
        return w.err.find("get_temporary_buffer") != std::string::npos;
    });
    EXPECT_GE(insidePrimitive, 1) << "one allocation at least is a primitive's own (the reduction's)";
}

// The same with every control off its default and three times the candidates: larger buffers, the same promises.
TEST_F(FaultSweep, EveryDeviceAllocationOfASteeredComputeCanFailSafely)
{
    failEveryAllocation(kSteeredBalls, baseline_);
}

// A layered grid's own steps, its layers' launches and every memory check and allocation of its compute, fail as any
// other compute's do: reported, the earlier points kept.
TEST_F(FaultSweep, LayeredGridFailuresAreReportedAndLoseNothing)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    std::vector<FailureCase> cases;
    // The second layer's launches: it is blocked by the first one's points.
    for (const char* kernel : {"weighCandidates", "gatherLevelCandidates", "blockNearSamples", "detectCells"}) {
        const int skip = std::string(kernel) == "weighCandidates" || std::string(kernel) == "blockNearSamples" ? 0 : 1;
        cases.push_back({kernel, [=] { cudaStandin::failNextLaunch(kernel, "cudaErrorLaunchFailure", skip); },
                         MS::kFailure,
                         std::string("Failed to launch ") + kernel + " kernel, error code: " + launchFailure + "\n",
                         ""});
    }
    // The checks both inputs make: as many as the one with fewer makes.
    int queries = 0;
    for (bool both = true; both; queries += both ? 1 : 0) {
        for (const Inputs& in : kLayeredScenes) {
            ScatterNode node;
            apply(node, in);
            cudaStandin::setFreeMemoryForQuery(0, queries);
            CapturedOutput quiet;
            both = both && node.pull() != MS::kSuccess;
            cudaStandin::clearFaults();
        }
        ASSERT_LT(queries, 200);
    }
    EXPECT_GT(queries, 20) << "the layers' own checks";
    for (int query = 0; query < queries; ++query)
        cases.push_back({"no memory at budget check " + std::to_string(query + 1),
                         [=] { cudaStandin::setFreeMemoryForQuery(0, query); }, MS::kFailure, "",
                         "^Not enough memory on GPU: .*\nkyScatterPoints: a step of this compute needs .*\n$"});
    runFailureCases(kLayeredScenes, cases, baseline_);
    failEveryAllocation(kLayeredScenes, baseline_);
}

// With surface data on, the record's further channels and their gathering on the device can fail as well.
TEST_F(FaultSweep, SurfaceDataFailuresAreReportedAndLoseNothing)
{
    const std::string failure = errorText(MS::kFailure);
    std::vector<FailureCase> cases;
    cases.push_back({"gatherSurfaceSamples", [] { cudaStandin::failNextLaunch("gatherSurfaceSamples"); },
                     MS::kFailure,
                     "Failed to launch gatherSurfaceSamples kernel, error code: " +
                         cudaStandin::errorString("cudaErrorLaunchFailure") + "\n",
                     ""});
    // The position channel's own status is not tested; every later one is.
    const char* vectorChannels[] = {"normal", "rotation", "aimDirection", "barycentric", "triangleVertices"};
    for (int k = 0; k < 5; ++k)
        cases.push_back({vectorChannels[k],
                         [=] { mayaStandin::failCall("MFnArrayAttrsData::vectorArray", MS::kFailure, k + 1); },
                         MS::kFailure, "",
                         std::string("ERROR in fnOutput channel ") + vectorChannels[k] + ".\n\n" + failure + "\n"});
    const char* doubleChannels[] = {"id", "faceId"};
    for (int k = 0; k < 2; ++k)
        cases.push_back({doubleChannels[k],
                         [=] { mayaStandin::failCall("MFnArrayAttrsData::doubleArray", MS::kFailure, k); },
                         MS::kFailure, "",
                         std::string("ERROR in fnOutput channel ") + doubleChannels[k] + ".\n\n" + failure + "\n"});
    runFailureCases(kBallsWithSurfaceData, cases, baseline_);
    failEveryAllocation(kBallsWithSurfaceData, baseline_);
}

// How many device memory queries a compute of these inputs makes: each one is failed in turn, until one more than
// there are leaves the compute unharmed. A failed compute leaves outPoints dirty, so each pull computes anew.
int memoryQueriesOf(const Inputs& inputs)
{
    ScatterNode node;
    apply(node, inputs);
    int query = 0;
    for (; query < 1000; ++query) {
        cudaStandin::failMemGetInfo("cudaErrorInitializationError", query);
        CapturedOutput quiet;
        const MStatus status = node.pull();
        cudaStandin::clearFaults();
        if (status == MS::kSuccess)
            break;
    }
    return query;
}

// With a density map on, its colour set's calls, its kernels, every level's launches, budget checks and device
// allocations can fail; each failure is reported and costs nothing but that compute.
TEST_F(FaultSweep, DensityMapFailuresAreReportedAndLoseNothing)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    const std::string failure = errorText(MS::kFailure);
    std::vector<FailureCase> cases;
    for (const char* kernel :
         {"weighCandidates", "gatherLevelCandidates", "blockNearSamples", "levelSamplesAsCandidates"})
        cases.push_back({kernel, [=] { cudaStandin::failNextLaunch(kernel); }, MS::kFailure,
                         std::string("Failed to launch ") + kernel + " kernel, error code: " + launchFailure + "\n", ""});
    // Launches of the last level to be decided, level 0: its table and its selection.
    for (const char* kernel : {"detectCells", "fillHashTable", "blockNearSamples"})
        cases.push_back({std::string("a later level's ") + kernel,
                         [=] { cudaStandin::failNextLaunch(kernel, "cudaErrorLaunchFailure", 3); }, MS::kFailure,
                         std::string("Failed to launch ") + kernel + " kernel, error code: " + launchFailure + "\n", ""});
    cases.push_back({"a selection launch of a later level",
                     [] { cudaStandin::failNextLaunch("chooseSamplesInCells", "cudaErrorLaunchFailure", 500); },
                     MS::kFailure, "", "Cuda error: " + launchFailure + ".\n"});
    for (const char* call : {"currentColorSetName", "getColorSetNames", "numColors", "getFaceVertexColors",
                             "getTriangleOffsets"})
        cases.push_back({call, [=] { mayaStandin::failCall(std::string("MFnMesh::") + call); }, MS::kFailure, "",
                         std::string("ERROR meshFn.") + call + "\n" + failure + "\n"});
    cases.push_back({"radiusUsed", [] { mayaStandin::failCall("MDataBlock::outputValue", MS::kFailure, 1); },
                     MS::kFailure, "", "ERROR in radiusUsed = block.outputValue.\n\n" + failure + "\n"});
    const int queries = memoryQueriesOf(kRampedBalls[0]);
    EXPECT_GT(queries, 20) << "the compute's own and each level's";
    for (int query = 0; query < queries; ++query)
        cases.push_back({"memory query " + std::to_string(query + 1),
                         [=] { cudaStandin::failMemGetInfo("cudaErrorInitializationError", query); }, MS::kFailure,
                         "Error: cudaMemGetInfo fails, initialization error \n", ""});
    runFailureCases(kRampedBalls, cases, baseline_);
    failEveryAllocation(kRampedBalls, baseline_);
}

std::string escaped(const std::string& text)
{
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// With a density map from a texture: the UV set's calls, the connection, the bake, the image, the weighing kernel,
// the budget checks and the device allocations can fail; each failure is reported and costs nothing but that compute.
TEST_F(FaultSweep, TextureMapFailuresAreReportedAndLoseNothing)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    const std::string failure = errorText(MS::kFailure);
    static const Mesh strip = harness::uvStrip();
    harness::HostNode ramp("ramp");
    const Inputs baked[2] = {{&strip, 0.1f, fewCandidates(), true, 0, &ramp},
                             {&strip, 0.15f, fewCandidates(), true, 0, &ramp}};
    std::vector<FailureCase> cases;
    cases.push_back({"weighCandidatesByTexture", [] { cudaStandin::failNextLaunch("weighCandidatesByTexture"); },
                     MS::kFailure,
                     "Failed to launch weighCandidatesByTexture kernel, error code: " + launchFailure + "\n", ""});
    for (const char* call : {"currentUVSetName", "getUVSetNames", "getUVs", "getAssignedUVs", "getTriangleOffsets"})
        cases.push_back({call, [=] { mayaStandin::failCall(std::string("MFnMesh::") + call); }, MS::kFailure, "",
                         std::string("ERROR meshFn.") + call + "\n" + failure + "\n"});
    cases.push_back({"connectedTo", [] { mayaStandin::failCall("MPlug::connectedTo"); }, MS::kFailure, "",
                     "ERROR densityTexture connectedTo\n" + failure + "\n"});
    cases.push_back({"sampleShadingNetwork", [] { mayaStandin::failCall("MRenderUtil::sampleShadingNetwork"); },
                     MS::kFailure, "",
                     "^ERROR densityTexture: baking ramp[0-9]+\\.outColor through the shading network failed: " +
                         escaped(failure) + "; no points computed\n"});
    runFailureCases(baked, cases, baseline_);
    failEveryAllocation(baked, baseline_);

    harness::HostNode file("file");
    const std::string path = harness::temporaryPath("sweep.png");
    harness::writeImage(path, 64, 8, 1, harness::greyBands(64, 8, {0.0f, 0.5f, 1.0f, 0.25f}));
    ASSERT_EQ(file.plug("fileTextureName").setValue(MString(path.c_str())), MS::kSuccess);
    const Inputs read[2] = {{&strip, 0.1f, fewCandidates(), true, 0, &file},
                            {&strip, 0.15f, fewCandidates(), true, 0, &file}};
    const std::vector<FailureCase> imageCases = {
        {"readFromFile", [] { mayaStandin::failCall("MImage::readFromFile", MS::kInsufficientMemory); },
         MS::kFailure, "",
         "^ERROR densityTexture: the image '" + escaped(path) + "' of file[0-9]+ cannot be read: MImage cannot read it "
         "as an image " + escaped(errorText(MS::kInsufficientMemory)) + "; no points computed\n"}};
    runFailureCases(read, imageCases, baseline_);
}

// A compute that fails inside the pointCount search ends it: reported twice, by the compute and by the search.
TEST_F(FaultSweep, AFailedComputeEndsThePointCountSearch)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    std::vector<FailureCase> cases;
    for (int compute : {0, 1})
        cases.push_back({"compute " + std::to_string(compute),
                         [=] { cudaStandin::failNextLaunch("detectCells", "cudaErrorLaunchFailure", compute); },
                         MS::kFailure, "Failed to launch detectCells kernel, error code: " + launchFailure + "\n",
                         "^ERROR pointCount [47]00: the compute at radius [0-9.e-]+ failed; no points computed\n$"});
    runFailureCases(kCountedBalls, cases, baseline_);
}

std::vector<FailureCase> launchFailures(std::initializer_list<const char*> kernels)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    std::vector<FailureCase> cases;
    for (const char* kernel : kernels)
        cases.push_back({kernel, [=] { cudaStandin::failNextLaunch(kernel); }, MS::kFailure,
                         std::string("Failed to launch ") + kernel + " kernel, error code: " + launchFailure + "\n",
                         ""});
    return cases;
}

// The stable layout's own launches, its budget checks, its selection and each of its device allocations.
TEST_F(FaultSweep, StableLayoutFailuresAreReportedAndLoseNothing)
{
    const std::string launchFailure = cudaStandin::errorString("cudaErrorLaunchFailure");
    std::vector<FailureCase> cases = launchFailures({"countStableCandidates", "keyStableCandidates",
                                                     "indexStableCells", "phaseStableCells", "listKeptCells",
                                                     "stableSampleSurface"});
    // The selection's first, middle and last launch: one pass of 27 phases.
    for (int launch : {0, 13, 26})
        cases.push_back({"selection launch " + std::to_string(launch),
                         [=] { cudaStandin::failNextLaunch("chooseSamplesInTurn", "cudaErrorLaunchFailure", launch); },
                         MS::kFailure, "", "Cuda error: " + launchFailure + ".\n"});
    // After the mesh, its triangles and the areas: the strata, the candidates' keys, the sort, the cell list, the
    // cells' index and the phases.
    for (int query : {3, 4, 5, 6, 7, 8})
        cases.push_back({"no memory at budget check " + std::to_string(query + 1),
                         [=] { cudaStandin::setFreeMemoryForQuery(0, query); }, MS::kFailure, "",
                         "^" + escapedForRegex("Not enough memory on GPU: " + errorText(MS::kSuccess)) +
                             "\nkyScatterPoints: a step of this compute needs [0-9]+ bytes \\([0-9.]+ MiB\\) of "
                             "device memory, and 0 bytes \\(0\\.0 MiB\\) are free\n$"});
    runFailureCases(kStableBalls, cases, baseline_);
    failEveryAllocation(kStableBalls, baseline_);
}

// With a density map the stable layout keeps its candidates' places, to weigh them.
TEST_F(FaultSweep, StableLayoutWithADensityMapReportsItsPlacementFailures)
{
    const Inputs stableRampedBalls[2] = {{&harness::rampedBall(), 0.25f, stableAndStrict(), true},
                                         {&harness::rampedBall(), 0.35f, stableAndStrict(), true}};
    runFailureCases(stableRampedBalls, launchFailures({"markTriangleStarts", "placeStableCandidates"}), baseline_);
}

// A device too small for a stable layout, a density map or a layered grid is found out by a budget check before the
// step that would not fit: the compute fails with the figure it needs, never with an allocation failing inside a
// step, however short the device falls. (The default compute checks its fixed figures alone.)
TEST_F(FaultSweep, ADeviceTooSmallIsReportedWithTheMemoryItNeeds)
{
    const Inputs stableRamped = {&harness::rampedBall(), 0.25f, stableAndStrict(), true};
    const Inputs* sets[] = {&kStableBalls[0], &kRampedBalls[0], &kLayeredScenes[0], &stableRamped};
    const std::size_t total = cudaStandin::deviceMemoryTotal();
    for (const Inputs* in : sets) {
        SCOPED_TRACE("radius " + std::to_string(in->radius));
        ScatterNode node;
        apply(node, *in);
        cudaStandin::resetPeakBytesInUse();
        ASSERT_EQ(node.pull(), MS::kSuccess);
        const std::size_t peak = cudaStandin::devicePeakBytesInUse() - baseline_;
        for (int sixteenths = 1; sixteenths < 16; ++sixteenths) {
            ScatterNode small;
            apply(small, *in);
            cudaStandin::setDeviceMemory(baseline_ + peak * sixteenths / 16);
            CapturedOutput output;
            const MStatus status = small.pull();
            output.finish();
            cudaStandin::setDeviceMemory(total);
            EXPECT_NE(status, MS::kSuccess) << sixteenths << "/16 of the peak";
            EXPECT_NE(output.err().find("a step of this compute needs"), std::string::npos)
                << sixteenths << "/16 of the peak: " << output.err();
        }
    }
}

}  // namespace

// The attach node's every Maya call, failed once each on a frame of an animation: the compute fails with the call's
// line, outPoints keeps the frame before, and the next frame is as if nothing had failed.
TEST_F(FaultSweep, EveryAttachCallCanFailAndLosesNothing)
{
    ScatterNode scatter;
    apply(scatter, kBallsWithSurfaceData[0]);
    harness::AttachNode attach(scatter);
    Mesh frames[2] = {ball(), ball()};
    for (Point& p : frames[1].points)
        p = {1.1f * p[0], 0.9f * p[1], p[2]};
    std::vector<Point> clean[2];
    for (int k = 0; k < 2; ++k) {
        attach.setMesh(frames[k]);
        MObject record;
        ASSERT_EQ(attach.pull(&record), MS::kSuccess);
        clean[k] = harness::positionsOf(record);
    }
    ASSERT_NE(clean[0], clean[1]) << "the frames must differ, or a lost frame goes unseen";
    const std::string failure = errorText(MS::kFailure);
    const std::vector<std::tuple<const char*, int, std::string>> calls = {
        {"MDataBlock::inputValue", 0, "cannot read inPoints"},
        {"MFnArrayAttrsData::MFnArrayAttrsData", 0, "inPoints holds no point record"},
        {"MFnArrayAttrsData::list", 0, "cannot list the channels of inPoints"},
        {"MFnArrayAttrsData::checkArrayExist", 0, "cannot read the channel position of inPoints"},
        {"MFnArrayAttrsData::getVectorData", 5, "cannot read the channel triangleVertices of inPoints"},
        {"MFnArrayAttrsData::getDoubleData", 1, "cannot read the channel faceId of inPoints"},
        {"MDataBlock::inputValue", 1, "cannot read inMesh"},
        {"MFnMesh::MFnMesh", 0, "inMesh holds no mesh (connect the deformed mesh)"},
        {"MFnMesh::getPoints", 0, "cannot read the vertices of inMesh"},
        {"MDataBlock::outputValue", 0, "cannot write outPoints"},
        {"MFnArrayAttrsData::create", 0, "cannot make the record of outPoints"},
        {"MFnArrayAttrsData::getVectorData", 7, "cannot read the surface channels of inPoints"},
        {"MFnArrayAttrsData::vectorArray", 0, "cannot make the channel position of outPoints"},
        {"MFnArrayAttrsData::vectorArray", 3, "cannot make the channel aimDirection of outPoints"},
        {"MFnArrayAttrsData::getVectorData", 9, "cannot read the channel triangleVertices of inPoints"},
        {"MFnArrayAttrsData::vectorArray", 4, "cannot make the channel barycentric of outPoints"},
        {"MFnArrayAttrsData::getDoubleData", 2, "cannot read the channel id of inPoints"},
        {"MFnArrayAttrsData::doubleArray", 1, "cannot make the channel faceId of outPoints"},
        {"MDataHandle::set", 0, "cannot set outPoints"},
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        const auto& [call, skip, line] = calls[i];
        SCOPED_TRACE(std::string(call) + " " + std::to_string(skip));
        const int k = static_cast<int>(i % 2);
        attach.setMesh(frames[k]);
        mayaStandin::failCall(call, MS::kFailure, skip);
        MObject record;
        CapturedOutput output;
        const MStatus status = attach.pull(&record);
        output.finish();
        EXPECT_EQ(status, MS::kFailure);
        EXPECT_EQ(output.err(), "kyAttachPoints: " + line + ": " + failure + "\n");
        EXPECT_EQ(harness::positionsOf(record), clean[1 - k]) << "outPoints kept";
        EXPECT_TRUE(mayaStandin::isDirty(attach.plug("outPoints")));
        mayaStandin::clearFaults();
        ASSERT_EQ(attach.pull(&record), MS::kSuccess);
        EXPECT_EQ(harness::positionsOf(record), clean[k]);
    }
    EXPECT_EQ(mayaStandin::computeCount(scatter.node()), 1) << "the scatter node was never pulled again";
}
