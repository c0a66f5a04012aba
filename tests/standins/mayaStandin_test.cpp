// Tests of the Maya API stand-in and its host, driven through a small test plug-in.

#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MStatus.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <dlfcn.h>

#include <array>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace ms = mayaStandin;

namespace {

const std::string kTestPlugin = MAYA_STANDIN_TEST_PLUGIN;
const std::string kClashPlugin = MAYA_STANDIN_CLASH_PLUGIN;
const std::string kHiddenPlugin = MAYA_STANDIN_HIDDEN_PLUGIN;
const std::string kExportingPlugin = MAYA_STANDIN_EXPORTING_PLUGIN;

float floatValue(const MPlug& plug, MStatus* status = nullptr) {
    float value = -1.0f;
    MStatus s = plug.getValue(value);
    if (status) *status = s;
    return value;
}

MPlug plugOf(const MObject& node, const std::string& name) { return ms::findPlug(node, name); }

}  // namespace

// ---- statuses

TEST(StatusTest, CheckMacroReportsBaseFileNameAndLineAndCarriesOn) {
    testing::internal::CaptureStderr();
    const int line = __LINE__ + 1;
    CHECK_MSTATUS(MStatus(MS::kInvalidParameter));
    bool reached = true;
    CHECK_MSTATUS(MS::kSuccess);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(reached);
    EXPECT_EQ(err, "\nAPI error detected in mayaStandin_test.cpp at line " + std::to_string(line) +
                       "\n(kInvalidParameter): Object is incompatible with this method\n");
}

TEST(StatusTest, PerrorAndComparisons) {
    MStatus failure(MS::kFailure);
    testing::internal::CaptureStderr();
    failure.perror("registerNode");
    failure.perror(MString("plug"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "registerNode: (kFailure): Unexpected Internal Failure\nplug: (kFailure): Unexpected Internal Failure\n");
    EXPECT_FALSE(failure);
    EXPECT_TRUE(MStatus());
    EXPECT_TRUE(failure == MS::kFailure && MS::kFailure == failure && failure != MS::kSuccess);
    EXPECT_EQ(MStatus(MS::kNotFound).statusCode(), MStatus::kNotFound);
}

// ---- data objects

TEST(ArrayAttrsDataTest, VectorArrayAliasesTheChannelAndCopiesAreDeep) {
    MFnArrayAttrsData fn;
    MStatus status;
    MObject data = fn.create(&status);
    ASSERT_TRUE(status);

    MVectorArray alias = fn.vectorArray("position", &status);
    ASSERT_TRUE(status);
    alias.append(MVector(1.0, 2.0, 3.0));
    MVectorArray copy = alias;
    copy.append(MVector(9.0, 9.0, 9.0));

    MFnArrayAttrsData reader(data, &status);
    ASSERT_TRUE(status);
    MVectorArray seen = reader.getVectorData("position", &status);
    ASSERT_TRUE(status);
    ASSERT_EQ(seen.length(), 1u);
    EXPECT_EQ(seen[0], MVector(1.0, 2.0, 3.0));
    // Asking again for an existing channel neither adds nor clears one.
    EXPECT_EQ(fn.vectorArray("position").length(), 1u);
    EXPECT_EQ(reader.list().length(), 1u);

    reader.getVectorData("velocity", &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    MFnArrayAttrsData notARecord(MObject::kNullObj, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
}

TEST(MeshTest, CreateReadsBackPointsAndFanTriangles) {
    // A quad and a pentagon sharing the edge 1-2.
    MFloatPointArray points;
    const float coords[7][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {3, 1, 0}, {2, 2, 0}};
    for (auto& c : coords) points.append(MFloatPoint(c[0], c[1], c[2]));
    MIntArray counts;
    counts.append(4);
    counts.append(5);
    const int connects[] = {0, 1, 2, 3, 1, 4, 5, 6, 2};
    MIntArray polygonConnects(connects, 9);

    MFnMeshData dataFn;
    MObject owner = dataFn.create();
    MFnMesh meshFn;
    MStatus status;
    MObject mesh = meshFn.create(7, 2, points, counts, polygonConnects, owner, &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(mesh, owner);

    MFnMesh reader(owner, &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(reader.numVertices(), 7);
    EXPECT_EQ(reader.numPolygons(), 2);
    MFloatPointArray read;
    ASSERT_TRUE(reader.getPoints(read, MSpace::kObject));
    ASSERT_EQ(read.length(), 7u);
    EXPECT_EQ(read[5], MFloatPoint(3, 1, 0));

    MIntArray triangleCounts, triangleVertices;
    ASSERT_TRUE(reader.getTriangles(triangleCounts, triangleVertices));
    ASSERT_EQ(triangleCounts.length(), 2u);
    EXPECT_EQ(triangleCounts[0], 2);
    EXPECT_EQ(triangleCounts[1], 3);
    const int expected[] = {0, 1, 2, 0, 2, 3, 1, 4, 5, 1, 5, 6, 1, 6, 2};
    ASSERT_EQ(triangleVertices.length(), 15u);
    for (unsigned int i = 0; i < 15; ++i) EXPECT_EQ(triangleVertices[i], expected[i]) << "entry " << i;
}

TEST(MeshTest, CreateRejectsInconsistentInput) {
    MFloatPointArray points(3, MFloatPoint());
    MIntArray counts(1, 3);
    const int outOfRange[] = {0, 1, 3};
    const int inRange[] = {0, 1, 2};
    MFnMesh meshFn;
    MStatus status;

    meshFn.create(3, 1, points, counts, MIntArray(outOfRange, 3), MObject::kNullObj, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    meshFn.create(4, 1, points, counts, MIntArray(inRange, 3), MObject::kNullObj, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    meshFn.create(3, 1, points, counts, MIntArray(inRange, 2), MObject::kNullObj, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    MIntArray degenerate(1, 2);
    meshFn.create(3, 1, points, degenerate, MIntArray(inRange, 2), MObject::kNullObj, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);

    MFnMeshData dataFn;
    MFnMesh empty(dataFn.create(), &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    MFloatPointArray none;
    EXPECT_EQ(empty.getPoints(none), MS::kInvalidParameter);
}

// The one way tests and tools make mesh data and read point records.
TEST(MeshAndPointsTest, MeshDataTakesFlatCoordinatesAndPolygons) {
    const float xyz[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 5, 5, 5};
    MStatus status;
    MObject data = ms::meshData(xyz, 5, {4, 3}, {0, 1, 2, 3, 0, 2, 4}, &status);
    ASSERT_TRUE(status);
    MFnMesh reader(data, &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(reader.numVertices(), 5);
    EXPECT_EQ(reader.numPolygons(), 2);
    MFloatPointArray read;
    ASSERT_TRUE(reader.getPoints(read));
    EXPECT_EQ(read[2], MFloatPoint(1, 1, 0));
    EXPECT_EQ(read[4], MFloatPoint(5, 5, 5));

    MObject refused = ms::meshData(xyz, 3, {3}, {0, 1, 3}, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    MFnMesh(refused, &status);
    EXPECT_EQ(status, MS::kInvalidParameter) << "the data object holds no mesh";
}

TEST(MeshAndPointsTest, RecordPositionsReadOnlyThePositionChannel) {
    MFnArrayAttrsData fn;
    MObject record = fn.create();
    MStatus status;
    fn.vectorArray("velocity").append(MVector(7, 7, 7));
    EXPECT_TRUE(ms::recordPositions(record, &status).empty());
    EXPECT_EQ(status, MS::kInvalidParameter);

    MVectorArray positions = fn.vectorArray("position");
    positions.append(MVector(1, 2, 3));
    positions.append(MVector(-4, 5.5, 6));
    const std::vector<std::array<double, 3>> expected = {{1, 2, 3}, {-4, 5.5, 6}};
    EXPECT_EQ(ms::recordPositions(record, &status), expected);
    EXPECT_TRUE(status);

    EXPECT_TRUE(ms::recordPositions(MObject::kNullObj, &status).empty());
    EXPECT_EQ(status, MS::kInvalidParameter);
}

// ---- plug-in loading

TEST(PluginTest, LoadAndUnloadRegisterInCallOrder) {
    ms::clearRegistryLog();
    ASSERT_TRUE(ms::loadPlugin(kTestPlugin));
    EXPECT_TRUE(ms::isNodeTypeRegistered("stCopyNode"));
    EXPECT_TRUE(ms::isNodeTypeRegistered(0x7F002u));
    EXPECT_EQ(ms::loadPlugin(kTestPlugin), MS::kFailure);  // already loaded

    // A taken id is refused and changes nothing.
    EXPECT_EQ(ms::loadPlugin(kClashPlugin), MS::kFailure);
    EXPECT_FALSE(ms::isNodeTypeRegistered("stClashNode"));

    MObject node = ms::createNode("stCopyNode");
    ASSERT_FALSE(node.isNull());
    ASSERT_TRUE(ms::unloadPlugin(kTestPlugin));
    EXPECT_EQ(ms::userNode(node), nullptr);  // unloading deleted the instance
    EXPECT_FALSE(ms::isNodeTypeRegistered("stCopyNode"));
    EXPECT_FALSE(ms::isNodeTypeRegistered(0x7F002u));

    const std::vector<std::string> expected = {
        "register stDrawNode 520194", "register stCopyNode 520193", "register stClashNode 520193 failed",
        "deregister 520194", "deregister 520193"};
    EXPECT_EQ(ms::registryLog(), expected);
    EXPECT_EQ(ms::unloadPlugin(kTestPlugin), MS::kFailure);
}

// As with older devkits, a plug-in built with hidden visibility loads only if it exports its entry points itself;
// the version text that the header defines is exported either way.
TEST(PluginTest, HiddenEntryPointsAreExportedOnlyByThePluginItself) {
    for (const std::string& path : {kHiddenPlugin, kExportingPlugin}) {
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        const bool exported = dlsym(library, "_Z16initializePlugin7MObject") != nullptr;
        EXPECT_EQ(exported, path == kExportingPlugin) << path;
        EXPECT_EQ(dlsym(library, "_Z18uninitializePlugin7MObject") != nullptr, exported) << path;
        EXPECT_NE(dlsym(library, "MApiVersion"), nullptr) << path;
        dlclose(library);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(ms::loadPlugin(kHiddenPlugin), MS::kFailure);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("has no initializePlugin"), std::string::npos);
    ASSERT_TRUE(ms::loadPlugin(kExportingPlugin));
    EXPECT_TRUE(ms::unloadPlugin(kExportingPlugin));
}

TEST(PluginTest, FailingInitializerLeavesNothingRegistered) {
    ms::clearRegistryLog();
    ms::failCall("MFnTypedAttribute::create", MS::kInsufficientMemory);
    EXPECT_EQ(ms::loadPlugin(kTestPlugin), MS::kInsufficientMemory);
    EXPECT_FALSE(ms::isNodeTypeRegistered("stDrawNode"));
    EXPECT_FALSE(ms::isNodeTypeRegistered("stCopyNode"));
    const std::vector<std::string> expected = {"register stDrawNode 520194", "register stCopyNode 520193 failed"};
    EXPECT_EQ(ms::registryLog(), expected);

    // The library was closed, so it loads again from scratch.
    ASSERT_TRUE(ms::loadPlugin(kTestPlugin));
    EXPECT_TRUE(ms::unloadPlugin(kTestPlugin));
    EXPECT_EQ(ms::loadPlugin("/nonexistent/plugin.so"), MS::kFailure);
}

// ---- dependency graph

class GraphTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(ms::loadPlugin(kTestPlugin)); }
    static void TearDownTestSuite() { ms::unloadPlugin(kTestPlugin); }
    void SetUp() override { ms::clearFaults(); }
    void TearDown() override { ms::clearFaults(); }
};

TEST_F(GraphTest, PullComputesOnceUntilDirtiedAgain) {
    MObject node = ms::createNode("stCopyNode");
    MPlug input = plugOf(node, "in"), output = plugOf(node, "output");
    EXPECT_TRUE(ms::isDirty(output));
    ASSERT_TRUE(input.setValue(2.5f));

    EXPECT_EQ(floatValue(output), 2.5f);
    EXPECT_EQ(floatValue(output), 2.5f);
    EXPECT_EQ(ms::computeCount(node), 1);
    EXPECT_FALSE(ms::isDirty(output));

    ASSERT_TRUE(input.setValue(3.0f));
    EXPECT_TRUE(ms::isDirty(output));
    EXPECT_EQ(floatValue(output), 3.0f);
    EXPECT_EQ(ms::computeCount(node), 2);
    ms::deleteNode(node);
}

TEST_F(GraphTest, CompoundChildDirtiesWhatItsParentAffects) {
    MObject node = ms::createNode("stCopyNode");
    MPlug output = plugOf(node, "output"), boxSum = plugOf(node, "bs");
    floatValue(output);
    floatValue(boxSum);
    ASSERT_FALSE(ms::isDirty(output));
    ASSERT_FALSE(ms::isDirty(boxSum));

    ASSERT_TRUE(plugOf(node, "boxY").setValue(1.5));
    EXPECT_TRUE(ms::isDirty(boxSum));
    EXPECT_FALSE(ms::isDirty(output));
    ASSERT_TRUE(plugOf(node, "bxx").setValue(2));
    EXPECT_EQ(floatValue(boxSum), 3.5f);

    ASSERT_TRUE(plugOf(node, "input").setValue(1.0f));
    EXPECT_TRUE(ms::isDirty(output));
    EXPECT_FALSE(ms::isDirty(boxSum));
    ms::deleteNode(node);
}

TEST_F(GraphTest, FailingComputeKeepsValueAndDirtiness) {
    MObject node = ms::createNode("stCopyNode");
    MPlug input = plugOf(node, "input"), output = plugOf(node, "output");
    input.setValue(5.0f);
    ASSERT_EQ(floatValue(output), 5.0f);

    plugOf(node, "failMode").setValue(1);
    input.setValue(7.0f);
    MStatus status;
    EXPECT_EQ(floatValue(output, &status), 5.0f);
    EXPECT_EQ(status, MS::kFailure);
    EXPECT_TRUE(ms::isDirty(output));
    floatValue(output);
    EXPECT_EQ(ms::computeCount(node), 3);  // still dirty, so every pull tries again

    plugOf(node, "failMode").setValue(0);
    EXPECT_EQ(floatValue(output, &status), 7.0f);
    EXPECT_TRUE(status);
    EXPECT_FALSE(ms::isDirty(output));
    ms::deleteNode(node);
}

TEST_F(GraphTest, HardLimitsClampAndUnwritablePlugsRefuseValues) {
    MObject node = ms::createNode("stCopyNode");
    MPlug input = plugOf(node, "input");
    input.setValue(250.0);
    EXPECT_EQ(floatValue(input), 100.0f);
    input.setValue(-1000);
    EXPECT_EQ(floatValue(input), -100.0f);
    EXPECT_EQ(plugOf(node, "output").setValue(1.0f), MS::kInvalidParameter);

    MObject locator = ms::createNode("stDrawNode");
    int size = 0;
    ASSERT_TRUE(plugOf(locator, "pointSize").getValue(size));
    EXPECT_EQ(size, 4);
    plugOf(locator, "ps").setValue(11);
    plugOf(locator, "ps").getValue(size);
    EXPECT_EQ(size, 10);
    ms::deleteNode(node);
    ms::deleteNode(locator);
}

TEST_F(GraphTest, ConnectionsPullUpstreamAndCarryDirtiness) {
    MObject a = ms::createNode("stCopyNode");
    MObject b = ms::createNode("stCopyNode");
    ASSERT_TRUE(ms::connect(plugOf(a, "output"), plugOf(b, "input")));
    plugOf(a, "input").setValue(3.0f);

    EXPECT_EQ(floatValue(plugOf(b, "output")), 3.0f);
    EXPECT_EQ(ms::computeCount(a), 1);
    EXPECT_EQ(ms::computeCount(b), 1);

    plugOf(a, "input").setValue(4.0f);
    EXPECT_TRUE(ms::isDirty(plugOf(b, "input")));
    EXPECT_TRUE(ms::isDirty(plugOf(b, "output")));
    EXPECT_EQ(floatValue(plugOf(b, "output")), 4.0f);

    testing::internal::CaptureStderr();
    EXPECT_EQ(ms::connect(plugOf(a, "output"), plugOf(b, "output")), MS::kInvalidParameter);  // not writable
    EXPECT_EQ(ms::connect(plugOf(a, "output"), plugOf(b, "input")), MS::kInvalidParameter);   // taken
    EXPECT_EQ(ms::connect(plugOf(b, "output"), plugOf(a, "failMode")), MS::kInvalidParameter);  // cycle
    EXPECT_EQ(ms::connect(plugOf(a, "output"), plugOf(b, "payload")), MS::kInvalidParameter);  // types
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(plugOf(b, "input").setValue(1.0f), MS::kInvalidParameter);

    // After a disconnect, and after its source is deleted, a destination keeps its last value.
    ASSERT_TRUE(ms::disconnect(plugOf(a, "output"), plugOf(b, "input")));
    EXPECT_EQ(floatValue(plugOf(b, "input")), 4.0f);
    ASSERT_TRUE(ms::connect(plugOf(a, "output"), plugOf(b, "input")));
    plugOf(a, "input").setValue(6.0f);
    floatValue(plugOf(b, "input"));
    ASSERT_TRUE(ms::deleteNode(a));
    EXPECT_EQ(floatValue(plugOf(b, "output")), 6.0f);
    EXPECT_EQ(ms::userNode(a), nullptr);
    ms::deleteNode(b);
}

TEST_F(GraphTest, InjectedFaultsFailTheNamedCallOnce) {
    MObject node = ms::createNode("stCopyNode");
    MPlug output = plugOf(node, "output");
    plugOf(node, "input").setValue(1.0f);

    ms::failCall("MDataBlock::inputValue", MS::kNotFound);
    MStatus status;
    floatValue(output, &status);
    EXPECT_EQ(status, MS::kNotFound);  // the compute returned the injected status
    EXPECT_TRUE(ms::isDirty(output));
    EXPECT_EQ(floatValue(output, &status), 1.0f);
    EXPECT_TRUE(status);

    ms::failCall("MPlug::getValue", MS::kInsufficientMemory, 1);
    float input = 0.0f;
    EXPECT_TRUE(plugOf(node, "input").getValue(input));
    EXPECT_EQ(floatValue(output), -1.0f);  // failed before touching the value
    EXPECT_EQ(floatValue(output), 1.0f);

    ms::failCall("MFnDependencyNode::findPlug");
    MFnDependencyNode fn(node);
    EXPECT_TRUE(fn.findPlug("input").isNull());
    EXPECT_FALSE(fn.findPlug("input").isNull());
    ms::deleteNode(node);
}

TEST_F(GraphTest, FaultsCountTheCallsSinceArmingAndTheFirstArmedGivesTheStatus) {
    MObject node = ms::createNode("stCopyNode");
    MFnDependencyNode fn(node);
    auto findStatus = [&fn]() {
        MStatus status;
        fn.findPlug("input", &status);
        return status;
    };
    ms::failCall("MFnDependencyNode::findPlug", MS::kNotFound, 1);
    ms::failCall("MFnDependencyNode::findPlug", MS::kInsufficientMemory);
    EXPECT_EQ(findStatus(), MS::kInsufficientMemory);  // both counted the call; the later one fired on it
    EXPECT_EQ(findStatus(), MS::kNotFound);
    EXPECT_EQ(findStatus(), MS::kSuccess);

    ms::failCall("MFnDependencyNode::findPlug", MS::kNotFound, 1);
    EXPECT_EQ(findStatus(), MS::kSuccess);
    ms::failCall("MFnDependencyNode::findPlug", MS::kInsufficientMemory);  // does not count the call before
    EXPECT_EQ(findStatus(), MS::kNotFound);
    EXPECT_EQ(findStatus(), MS::kSuccess) << "both faults fired together and both were spent";
    ms::deleteNode(node);
}

TEST_F(GraphTest, ArmingACallThatNothingChecksIsRefused) {
    try {
        ms::failCall("MFnMesh::getPoint");
        FAIL() << "a misspelt call was armed";
    } catch (const std::invalid_argument& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("\"MFnMesh::getPoint\""), std::string::npos) << message;
        EXPECT_NE(message.find("MFnMesh::getPoints"), std::string::npos) << "the known names are listed: " << message;
    }
    EXPECT_THROW(ms::failCall("getValue"), std::invalid_argument);
    MObject node = ms::createNode("stCopyNode");
    MStatus status;
    floatValue(plugOf(node, "input"), &status);
    EXPECT_TRUE(status) << "a refused fault arms nothing";
    ms::deleteNode(node);
}

TEST_F(GraphTest, DifferentNodesComputeOnDifferentThreads) {
    const int threads = 4, rounds = 200;
    std::vector<MObject> nodes;
    for (int t = 0; t < threads; ++t) nodes.push_back(ms::createNode("stCopyNode"));
    std::vector<int> mismatches(threads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t]() {
            MPlug input = plugOf(nodes[t], "input"), output = plugOf(nodes[t], "output");
            for (int r = 0; r < rounds; ++r) {
                float value = static_cast<float>(t * 10 + r % 7);
                input.setValue(value);
                if (floatValue(output) != value) ++mismatches[t];
            }
        });
    }
    for (auto& w : workers) w.join();
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(mismatches[t], 0);
        EXPECT_EQ(ms::computeCount(nodes[t]), rounds);
        ms::deleteNode(nodes[t]);
    }
}

// ---- drawing

TEST_F(GraphTest, LocatorDrawsThroughFeedbackAndPixels) {
    ms::Viewport viewport(64, 64);
    ASSERT_TRUE(viewport.valid());
    MObject source = ms::createNode("stCopyNode");
    MObject locator = ms::createNode("stDrawNode");
    ASSERT_TRUE(ms::connect(plugOf(source, "output"), plugOf(locator, "position")));
    plugOf(source, "input").setValue(0.5f);

    viewport.makeCurrent();
    std::vector<GLfloat> feedback(64, 0.0f);
    glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D_COLOR, feedback.data());
    glRenderMode(GL_FEEDBACK);
    ASSERT_TRUE(ms::draw(locator, viewport.view()));
    GLint used = glRenderMode(GL_RENDER);

    // One point token, then window x, y, z and RGBA.
    ASSERT_EQ(used, 8);
    EXPECT_EQ(feedback[0], static_cast<GLfloat>(GL_POINT_TOKEN));
    EXPECT_FLOAT_EQ(feedback[1], 48.0f);
    EXPECT_FLOAT_EQ(feedback[2], 40.0f);
    EXPECT_FLOAT_EQ(feedback[5], 1.0f);
    EXPECT_FLOAT_EQ(feedback[4], 0.0f);

    ASSERT_TRUE(ms::draw(locator, viewport.view()));
    std::vector<unsigned char> pixels = viewport.readPixels();
    ASSERT_EQ(pixels.size(), 64u * 64u * 4u);
    const unsigned char* hit = &pixels[(40 * 64 + 48) * 4];
    EXPECT_EQ(hit[0], 0);
    EXPECT_EQ(hit[1], 255);
    const unsigned char* corner = &pixels[0];
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(ms::computeCount(source), 1);

    testing::internal::CaptureStderr();
    EXPECT_EQ(ms::draw(source, viewport.view()), MS::kInvalidParameter);
    testing::internal::GetCapturedStderr();
    ms::deleteNode(locator);
    ms::deleteNode(source);
}
