// Tests of the Maya API stand-in and its host, driven through a small test plug-in.

#include <maya/MColor.h>
#include <maya/MColorArray.h>
#include <maya/MDrawRegistry.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPointArray.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MStatus.h>
#include <maya/MStringArray.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/osmesa.h>
#include <dlfcn.h>

#include <array>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace ms = mayaStandin;

namespace {

const std::string kTestPlugin = MAYA_STANDIN_TEST_PLUGIN;
const std::string kClashPlugin = MAYA_STANDIN_CLASH_PLUGIN;
const std::string kHiddenPlugin = MAYA_STANDIN_HIDDEN_PLUGIN;

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

// Channels of every type, found by name with their type; one name holds one channel.
TEST(ArrayAttrsDataTest, ChannelsOfEveryTypeAreListedWithTheirTypes) {
    MFnArrayAttrsData fn;
    MObject data = fn.create();
    fn.vectorArray("position").append(MVector(1.0, 2.0, 3.0));
    fn.doubleArray("id").append(7.0);
    fn.intArray("flags").append(-4);
    fn.stringArray("label").append(MString("a"));

    MStatus status;
    MFnArrayAttrsData reader(data);
    const MStringArray names = reader.list(&status);
    ASSERT_TRUE(status);
    ASSERT_EQ(names.length(), 4u);
    const std::pair<const char*, MFnArrayAttrsData::Type> expected[] = {
        {"position", MFnArrayAttrsData::kVectorArray}, {"id", MFnArrayAttrsData::kDoubleArray},
        {"flags", MFnArrayAttrsData::kIntArray}, {"label", MFnArrayAttrsData::kStringArray}};
    for (const auto& [name, type] : expected) {
        MFnArrayAttrsData::Type found = MFnArrayAttrsData::kLast;
        EXPECT_TRUE(reader.checkArrayExist(name, found, &status)) << name;
        EXPECT_TRUE(status);
        EXPECT_EQ(found, type) << name;
    }
    EXPECT_EQ(reader.getIntData("flags")[0], -4);
    EXPECT_EQ(reader.getStringData("label")[0], MString("a"));

    MFnArrayAttrsData::Type found = MFnArrayAttrsData::kVectorArray;
    EXPECT_FALSE(reader.checkArrayExist("velocity", found, &status));
    EXPECT_TRUE(status) << "a missing channel is an answer, not a failure";
    EXPECT_EQ(found, MFnArrayAttrsData::kInvalid);
    // A name held by another type is neither read as nor made into a second channel.
    reader.getIntData("id", &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    reader.vectorArray("flags", &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    EXPECT_EQ(reader.list().length(), 4u);
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

// Colour sets as the devkit keeps them: named lists of colours, an index per face-vertex, one set current.
TEST(MeshTest, ColourSetsGiveEachFaceVertexItsColour) {
    const float xyz[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0};
    MStatus status;
    MObject data = ms::meshData(xyz, 5, {4, 3}, {0, 1, 2, 3, 1, 4, 2}, &status);
    ASSERT_TRUE(status);
    MFnMesh meshFn(data);
    EXPECT_EQ(meshFn.numColorSets(), 0);
    EXPECT_EQ(meshFn.currentColorSetName(), MString(""));
    const MString paint = meshFn.createColorSetWithName("paint");
    EXPECT_EQ(paint, MString("paint"));
    EXPECT_EQ(meshFn.createColorSetWithName("paint"), MString("paint1")) << "a taken name gets a number";
    EXPECT_EQ(meshFn.setCurrentColorSetName("none"), MS::kInvalidParameter);
    ASSERT_TRUE(meshFn.setCurrentColorSetName(paint));
    EXPECT_EQ(meshFn.currentColorSetName(), paint);
    MStringArray names;
    ASSERT_TRUE(meshFn.getColorSetNames(names));
    ASSERT_EQ(names.length(), 2u);
    EXPECT_EQ(names[1], MString("paint1"));

    MColorArray colours;
    colours.append(MColor(1, 0, 0, 1));
    colours.append(MColor(0, 0, 1, 0.5f));
    ASSERT_TRUE(meshFn.setColors(colours));  // the current set
    EXPECT_EQ(meshFn.numColors(paint), 2);
    EXPECT_EQ(meshFn.numColors("paint1"), 0);
    const int ids[] = {0, 0, 1, -1, 1, 1, 0};
    EXPECT_EQ(meshFn.assignColors(MIntArray(ids, 6), &paint), MS::kInvalidParameter) << "one per face-vertex";
    ASSERT_TRUE(meshFn.assignColors(MIntArray(ids, 7), &paint));
    MColorArray read;
    ASSERT_TRUE(meshFn.getFaceVertexColors(read, &paint));
    ASSERT_EQ(read.length(), 7u);
    EXPECT_EQ(read[2].b, 1.0f);
    EXPECT_EQ(read[3].r, -1.0f) << "a face-vertex without a colour";
    const MColor grey(0.5f, 0.5f, 0.5f, 1);
    ASSERT_TRUE(meshFn.getFaceVertexColors(read, nullptr, &grey));
    EXPECT_EQ(read[3].g, 0.5f);
    const MString none("none");
    EXPECT_EQ(meshFn.getFaceVertexColors(read, &none), MS::kInvalidParameter);

    // The triangles' corners as face-vertex offsets, the same triangles getTriangles gives.
    MIntArray counts, offsets, triangleCounts, vertices;
    ASSERT_TRUE(meshFn.getTriangleOffsets(counts, offsets));
    ASSERT_TRUE(meshFn.getTriangles(triangleCounts, vertices));
    const int connects[] = {0, 1, 2, 3, 1, 4, 2};
    ASSERT_EQ(offsets.length(), vertices.length());
    for (unsigned int k = 0; k < offsets.length(); ++k) EXPECT_EQ(connects[offsets[k]], vertices[k]) << k;

    // The helper tests and tools use, and a new mesh in the same data object starts without sets.
    const std::string added = ms::addColorSet(data, "paint", std::vector<std::array<float, 4>>(7, {0, 1, 0, 1}),
                                              true, &status);
    EXPECT_TRUE(status);
    EXPECT_EQ(added, "paint2");
    EXPECT_EQ(meshFn.currentColorSetName(), MString("paint2"));
    ms::addColorSet(data, "short", std::vector<std::array<float, 4>>(3, {0, 1, 0, 1}), false, &status);
    EXPECT_EQ(status, MS::kInvalidParameter);
    MFloatPointArray points(3, MFloatPoint());
    const int triangle[] = {0, 1, 2};
    meshFn.create(3, 1, points, MIntArray(1, 3), MIntArray(triangle, 3), data, &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(meshFn.numColorSets(), 0);
    EXPECT_EQ(meshFn.currentColorSetName(), MString(""));
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

    const std::vector<std::string> expected = {"register stDrawNode 520194 drawdb/geometry/stDrawNode",
                                               "register stCopyNode 520193",
                                               "registerDrawOverride drawdb/geometry/stDrawNode stClashPlugin",
                                               "register stClashNode 520193 failed",
                                               "deregister 520194",
                                               "deregister 520193"};
    EXPECT_EQ(ms::registryLog(), expected);
    EXPECT_EQ(ms::unloadPlugin(kTestPlugin), MS::kFailure);
}

// As with the 2022 devkit, a plug-in built with hidden visibility exports its entry points, by the names Maya 2022
// looks up, and its version text, and loads.
TEST(PluginTest, HiddenVisibilityPluginExportsWhatTheHeaderDeclares) {
    void* library = dlopen(kHiddenPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "_Z16initializePluginN8Autodesk4Maya16OpenMaya202200007MObjectE"), nullptr);
    EXPECT_NE(dlsym(library, "_Z18uninitializePluginN8Autodesk4Maya16OpenMaya202200007MObjectE"), nullptr);
    const char* version = static_cast<const char*>(dlsym(library, "MApiVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version, "20220300");
    dlclose(library);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "MApiVersion"), nullptr) << "the text found is the plug-in's: the API defines none";
    ASSERT_TRUE(ms::loadPlugin(kHiddenPlugin));
    EXPECT_TRUE(ms::unloadPlugin(kHiddenPlugin));
}

TEST(PluginTest, FailingInitializerLeavesNothingRegistered) {
    ms::clearRegistryLog();
    ms::failCall("MFnTypedAttribute::create", MS::kInsufficientMemory);
    EXPECT_EQ(ms::loadPlugin(kTestPlugin), MS::kInsufficientMemory);
    EXPECT_FALSE(ms::isNodeTypeRegistered("stDrawNode"));
    EXPECT_FALSE(ms::isNodeTypeRegistered("stCopyNode"));
    const std::vector<std::string> expected = {"register stDrawNode 520194 drawdb/geometry/stDrawNode",
                                               "register stCopyNode 520193 failed"};
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

TEST_F(GraphTest, StringPlugsHoldTextAndOnlyText) {
    MObject node = ms::createNode("stCopyNode");
    MPlug label = plugOf(node, "label"), input = plugOf(node, "in"), payload = plugOf(node, "payload");
    MString text("unchanged");
    ASSERT_TRUE(label.getValue(text));
    EXPECT_EQ(text, MString("")) << "no default: empty";
    ASSERT_TRUE(label.setValue(MString("colorSet1")));
    ASSERT_TRUE(label.getValue(text));
    EXPECT_EQ(text, MString("colorSet1"));
    EXPECT_EQ(input.setValue(MString("1")), MS::kInvalidParameter);
    EXPECT_EQ(payload.setValue(MString("1")), MS::kInvalidParameter);
    EXPECT_EQ(payload.getValue(text), MS::kInvalidParameter);
    EXPECT_EQ(text, MString("colorSet1"));
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

// ---- Viewport 2.0

TEST(Viewport2RegistryTest, RegistersEachPairOnceAndDropsWhatAPluginLeaves) {
    using MHWRender::MDrawRegistry;
    auto creator = [](const MObject&) -> MHWRender::MPxDrawOverride* { return nullptr; };
    ms::clearRegistryLog();
    EXPECT_EQ(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/x", "a", creator), MS::kSuccess);
    EXPECT_EQ(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/x", "a", creator), MS::kFailure);
    EXPECT_EQ(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/x", "b", creator), MS::kSuccess);
    EXPECT_EQ(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/y", "a", nullptr), MS::kInvalidParameter);
    EXPECT_TRUE(ms::isDrawOverrideRegistered("drawdb/geometry/x", "b"));
    EXPECT_EQ(MDrawRegistry::deregisterDrawOverrideCreator("drawdb/geometry/x", "a"), MS::kSuccess);
    EXPECT_EQ(MDrawRegistry::deregisterDrawOverrideCreator("drawdb/geometry/x", "a"), MS::kFailure);
    EXPECT_FALSE(ms::isDrawOverrideRegistered("drawdb/geometry/x", "a"));
    EXPECT_TRUE(MDrawRegistry::deregisterDrawOverrideCreator("drawdb/geometry/x", "b"));
    EXPECT_EQ(ms::registryLog().size(), 7u);
    EXPECT_EQ(ms::registryLog()[1], "registerDrawOverride drawdb/geometry/x a failed");

    // Dropped with the plug-in that made them: when its load fails, and when it unloads without deregistering.
    const std::string clashOverride = "drawdb/geometry/stDrawNode stClashPlugin";
    ASSERT_TRUE(ms::loadPlugin(kTestPlugin));
    testing::internal::CaptureStderr();
    EXPECT_EQ(ms::loadPlugin(kClashPlugin), MS::kFailure);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("initializePlugin failed: dropping draw override " +
                                                          clashOverride), std::string::npos);
    EXPECT_FALSE(ms::isDrawOverrideRegistered("drawdb/geometry/stDrawNode", "stClashPlugin"));
    ASSERT_TRUE(ms::unloadPlugin(kTestPlugin));
    ASSERT_TRUE(ms::loadPlugin(kClashPlugin));
    EXPECT_TRUE(ms::isDrawOverrideRegistered("drawdb/geometry/stDrawNode", "stClashPlugin"));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(ms::unloadPlugin(kClashPlugin));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("uninitializePlugin left it registered: dropping draw "
                                                          "override " + clashOverride), std::string::npos);
    EXPECT_FALSE(ms::isDrawOverrideRegistered("drawdb/geometry/stDrawNode", "stClashPlugin"));
}

namespace {

// How the test's own override of stDrawNode behaves, and what it saw.
struct OverrideScript {
    MHWRender::DrawAPI apis = MHWRender::kOpenGLCoreProfile;
    MHWRender::MPxDrawOverride::GeometryDrawOverrideCb callback = nullptr;
    bool uiDrawables = true;
    bool freshData = false;  // new user data on every draw
    bool deleteAfterUse = false;
    std::function<void(MHWRender::MUIDrawManager&)> draw;  // in place of the legacy draw's point

    int made = 0, destroyed = 0, dataDestroyed = 0;
    std::vector<const MUserData*> handedBack;
    bool glCurrent = false;  // in any call of the override
};
OverrideScript script;

struct PointData : MUserData {
    explicit PointData(bool deleteAfterUse) : MUserData(deleteAfterUse) {}
    ~PointData() override { ++script.dataDestroyed; }
    float x = 0.0f;
    int size = 1;
};

// Draws what stDrawNode's legacy draw does, through the draw manager.
class PointOverride : public MHWRender::MPxDrawOverride {
public:
    explicit PointOverride(const MObject& obj) : MPxDrawOverride(obj, script.callback), node_(obj) { ++script.made; }
    ~PointOverride() override { ++script.destroyed; }
    MHWRender::DrawAPI supportedDrawAPIs() const override { return script.apis; }
    bool hasUIDrawables() const override { return script.uiDrawables; }

    MUserData* prepareForDraw(const MDagPath&, const MDagPath&, const MHWRender::MFrameContext&,
                              MUserData* oldData) override {
        script.handedBack.push_back(oldData);
        script.glCurrent |= OSMesaGetCurrentContext() != nullptr;
        auto* data = script.freshData || !oldData ? new PointData(script.deleteAfterUse) : static_cast<PointData*>(oldData);
        plugOf(node_, "position").getValue(data->x);
        plugOf(node_, "pointSize").getValue(data->size);
        return data;
    }

    void addUIDrawables(const MDagPath&, MHWRender::MUIDrawManager& drawManager, const MHWRender::MFrameContext&,
                        const MUserData* userData) override {
        script.glCurrent |= OSMesaGetCurrentContext() != nullptr;
        if (script.draw) return script.draw(drawManager);
        const auto* data = static_cast<const PointData*>(userData);
        MPointArray points;
        points.append(MPoint(data->x, 0.25, 0.0));
        drawManager.beginDrawable();
        drawManager.setColor(MColor(0.0f, 1.0f, 0.0f));
        drawManager.setPointSize(static_cast<float>(data->size));
        EXPECT_TRUE(drawManager.points(points, false));
        drawManager.endDrawable();
    }

    static MHWRender::MPxDrawOverride* create(const MObject& obj) { return new PointOverride(obj); }

private:
    MObject node_;
};

}  // namespace

class Viewport2Test : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        script = OverrideScript();
        ASSERT_TRUE(MHWRender::MDrawRegistry::registerDrawOverrideCreator(kClassification, "test", PointOverride::create));
        locator_ = ms::createNode("stDrawNode");
        plugOf(locator_, "position").setValue(0.5f);
    }
    void TearDown() override {
        ms::deleteNode(locator_);
        MHWRender::MDrawRegistry::deregisterDrawOverrideCreator(kClassification, "test");
        GraphTest::TearDown();
    }

    // The pixels of one draw on black, by either road; the status of the draw goes to `status`.
    std::vector<unsigned char> render(bool viewport2, MStatus* status = nullptr) {
        viewport_.makeCurrent();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        const MStatus drawn = viewport2 ? ms::drawViewport2(locator_, viewport_) : ms::draw(locator_, viewport_.view());
        if (status) *status = drawn;
        return viewport_.readPixels();
    }
    static const unsigned char* pixel(const std::vector<unsigned char>& pixels, int x, int y) {
        return &pixels[(y * 64 + x) * 4];
    }

    const MString kClassification{"drawdb/geometry/stDrawNode"};
    MObject locator_;
    ms::Viewport viewport_{64, 64};
};

TEST_F(Viewport2Test, DrawsThroughTheDrawManagerWhatTheLegacyDrawDraws) {
    plugOf(locator_, "pointSize").setValue(3);
    MStatus status;
    const std::vector<unsigned char> viewport2 = render(true, &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(pixel(viewport2, 48, 40)[1], 255);
    EXPECT_TRUE(viewport2 == render(false));

    viewport_.makeCurrent();
    std::vector<GLfloat> feedback(64, 0.0f);
    glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D_COLOR, feedback.data());
    glRenderMode(GL_FEEDBACK);
    ASSERT_TRUE(ms::drawViewport2(locator_, viewport_));
    ASSERT_EQ(glRenderMode(GL_RENDER), 8);  // one point token, then window x, y, z and RGBA
    EXPECT_EQ(feedback[0], static_cast<GLfloat>(GL_POINT_TOKEN));
    EXPECT_FLOAT_EQ(feedback[1], 48.0f);
    EXPECT_FLOAT_EQ(feedback[2], 40.0f);
    EXPECT_FLOAT_EQ(feedback[5], 1.0f);

    EXPECT_EQ(script.made, 1) << "one override for the node, kept between draws";
    EXPECT_NE(ms::drawOverride(locator_), nullptr);
    EXPECT_FALSE(script.glCurrent) << "the override runs with no GL context current";
}

TEST_F(Viewport2Test, UserDataIsHandedBackUntilReplacedOrDeletedAfterUse) {
    render(true);
    render(true);
    ASSERT_EQ(script.handedBack.size(), 2u);
    EXPECT_EQ(script.handedBack[0], nullptr);
    EXPECT_NE(script.handedBack[1], nullptr);
    EXPECT_EQ(script.dataDestroyed, 0);

    script.freshData = true;  // the replaced data goes
    render(true);
    EXPECT_EQ(script.dataDestroyed, 1);
    script.deleteAfterUse = true;  // and so does data that is to be deleted after use, after its draw
    render(true);
    render(true);
    EXPECT_EQ(script.handedBack.back(), nullptr);
    EXPECT_EQ(script.dataDestroyed, 4);

    // The override goes with its node, and with its registration.
    script.deleteAfterUse = false;
    render(true);
    ms::deleteNode(locator_);
    EXPECT_EQ(script.destroyed, 1);
    EXPECT_EQ(script.dataDestroyed, 5);
    locator_ = ms::createNode("stDrawNode");
    render(true);
    ASSERT_TRUE(MHWRender::MDrawRegistry::deregisterDrawOverrideCreator(kClassification, "test"));
    EXPECT_EQ(script.destroyed, 2);
    EXPECT_EQ(ms::drawOverride(locator_), nullptr);
    testing::internal::CaptureStderr();
    MStatus status;
    render(true, &status);
    EXPECT_EQ(status, MS::kNotFound);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no draw override is registered"), std::string::npos);
}

TEST_F(Viewport2Test, RefusesWhatTheCoreProfileEngineDoesNotRun) {
    auto drawNew = [&](const std::function<void()>& configure) {
        ms::deleteNode(locator_);
        locator_ = ms::createNode("stDrawNode");
        script = OverrideScript();
        configure();
        testing::internal::CaptureStderr();
        MStatus status;
        const std::vector<unsigned char> pixels = render(true, &status);
        testing::internal::GetCapturedStderr();
        return std::make_pair(status, pixels);
    };
    EXPECT_EQ(drawNew([] { script.apis = MHWRender::kOpenGL | MHWRender::kDirectX11; }).first, MS::kNotImplemented);
    EXPECT_EQ(drawNew([] { script.callback = [](const MHWRender::MDrawContext&, const MUserData*) {}; }).first,
              MS::kNotImplemented);
    const auto noDrawables = drawNew([] { script.uiDrawables = false; });
    EXPECT_EQ(noDrawables.first, MS::kSuccess);
    EXPECT_EQ(pixel(noDrawables.second, 48, 40)[1], 0) << "addUIDrawables only when hasUIDrawables says so";
    EXPECT_EQ(script.handedBack.size(), 1u);

    MObject source = ms::createNode("stCopyNode");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ms::drawViewport2(source, viewport_), MS::kInvalidParameter);
    testing::internal::GetCapturedStderr();
    ms::deleteNode(source);
}

TEST_F(Viewport2Test, DrawManagerDrawsOnlyWhatIsQueuedBetweenBeginAndEnd) {
    script.draw = [](MHWRender::MUIDrawManager& drawManager) {
        MPointArray at;
        at.append(MPoint(0.5, 0.25, 0.0));
        EXPECT_FALSE(drawManager.points(at, false));
        drawManager.beginDrawable();
        drawManager.setColor(MColor(1.0f, 0.0f, 0.0f));
        drawManager.setPointSize(5.0f);
        drawManager.endDrawable();
        drawManager.beginDrawable();  // the default state again: opaque white, one pixel
        EXPECT_TRUE(drawManager.points(at, false));
        EXPECT_EQ(drawManager.points(at, true), MS::kNotImplemented);
        drawManager.endDrawable();
        drawManager.beginDrawable();
        at[0] = MPoint(-0.5, -0.5, 0.0);
        drawManager.points(at, false);  // left open: not drawn
    };
    testing::internal::CaptureStderr();
    const std::vector<unsigned char> pixels = render(true);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("points outside a drawable is ignored"), std::string::npos) << err;
    EXPECT_NE(err.find("left a drawable open"), std::string::npos) << err;
    EXPECT_EQ(std::vector<unsigned char>(pixel(pixels, 48, 40), pixel(pixels, 48, 40) + 3),
              (std::vector<unsigned char>{255, 255, 255}));
    EXPECT_EQ(pixel(pixels, 49, 40)[0], 0);
    EXPECT_EQ(pixel(pixels, 16, 16)[0], 0);
}
