// Loading and unloading the plug-in the way Maya does, and the attribute sets of its node types.
#include <gtest/gtest.h>

#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MPxLocatorNode.h>

#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/scatterHarness.h"

using harness::CapturedOutput;

namespace {

std::vector<std::string> logSince(size_t start)
{
    const std::vector<std::string> log = mayaStandin::registryLog();
    return std::vector<std::string>(log.begin() + static_cast<long>(std::min(start, log.size())), log.end());
}

const std::string kDisplayClassification = "drawdb/geometry/kyDisplayPoints";
const std::string kRegisterDisplay = "register kyDisplayPoints 524295 " + kDisplayClassification;
const std::string kDisplayOverride = kDisplayClassification + " kyDisplayPointsNodePlugin";
const std::string kRegisterScatter = "register kyScatterPoints 178";
const std::string kRegisterAttach = "register kyAttachPoints 524296";

bool overrideRegistered()
{
    return mayaStandin::isDrawOverrideRegistered(kDisplayClassification, "kyDisplayPointsNodePlugin");
}

// Whether any of the plug-in's registrations is left.
bool anythingRegistered()
{
    return overrideRegistered() || mayaStandin::isNodeTypeRegistered("kyDisplayPoints") ||
           mayaStandin::isNodeTypeRegistered("kyScatterPoints") || mayaStandin::isNodeTypeRegistered("kyAttachPoints");
}

bool everythingRegistered()
{
    return overrideRegistered() && mayaStandin::isNodeTypeRegistered("kyDisplayPoints") &&
           mayaStandin::isNodeTypeRegistered("kyScatterPoints") && mayaStandin::isNodeTypeRegistered("kyAttachPoints");
}

TEST(PluginLoad, RegistersDisplayScatterAttachAndUnloadsInReverse)
{
    mayaStandin::Viewport viewport(16, 16);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first load" : "load again after unload");
        const size_t start = mayaStandin::registryLog().size();
        CapturedOutput output;
        ASSERT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess);
        output.finish();
        EXPECT_EQ(output.out(), "kyScatterPoints initialized\n");
        EXPECT_EQ(output.err(), "");
        EXPECT_EQ(logSince(start), (std::vector<std::string>{kRegisterDisplay, "registerDrawOverride " + kDisplayOverride,
                                                              kRegisterScatter, kRegisterAttach}));
        EXPECT_TRUE(mayaStandin::isNodeTypeRegistered(178u));
        EXPECT_TRUE(mayaStandin::isNodeTypeRegistered(524295u));
        EXPECT_TRUE(mayaStandin::isNodeTypeRegistered(524296u));
        EXPECT_TRUE(overrideRegistered());

        MStatus status;
        MObject scatter = mayaStandin::createNode("kyScatterPoints", &status);
        EXPECT_EQ(status, MS::kSuccess);
        MObject display = mayaStandin::createNode("kyDisplayPoints", &status);
        EXPECT_EQ(status, MS::kSuccess);
        mayaStandin::deleteNode(scatter);
        EXPECT_FALSE(mayaStandin::createNode("kyAttachPoints", &status).isNull());
        EXPECT_EQ(status, MS::kSuccess);
        // Unloading deletes the display and attach nodes, and with it the override Viewport 2.0 made for it.
        EXPECT_EQ(mayaStandin::drawViewport2(display, viewport), MS::kSuccess);

        const size_t beforeUnload = mayaStandin::registryLog().size();
        ASSERT_EQ(mayaStandin::unloadPlugin(harness::pluginPath()), MS::kSuccess);
        EXPECT_EQ(logSince(beforeUnload), (std::vector<std::string>{"deregister 524296",
                                                                     "deregisterDrawOverride " + kDisplayOverride,
                                                                     "deregister 524295", "deregister 178"}));
        EXPECT_FALSE(anythingRegistered());
    }
}

TEST(PluginLoad, ALoadThatFailsPartWayLeavesNothingRegisteredAndSaysNothingOnStdout)
{
    struct Case {
        const char* call;
        int skip;
        const char* err;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"MDrawRegistry::registerDrawOverrideCreator", 0, "registerDrawOverrideCreator: ",
         {kRegisterDisplay, "registerDrawOverride " + kDisplayOverride + " failed", "deregister 524295"}},
        {"MFnPlugin::registerNode", 1, "registerNode kyScatterPoints: ",
         {kRegisterDisplay, "registerDrawOverride " + kDisplayOverride, kRegisterScatter + " failed",
          "deregisterDrawOverride " + kDisplayOverride, "deregister 524295"}},
        {"MFnPlugin::registerNode", 2, "registerNode kyAttachPoints: ",
         {kRegisterDisplay, "registerDrawOverride " + kDisplayOverride, kRegisterScatter, kRegisterAttach + " failed",
          "deregister 178", "deregisterDrawOverride " + kDisplayOverride, "deregister 524295"}},
        // The scatter node's initializer fails, and with it the node's registration.
        {"MFnEnumAttribute::create", 0, "ERROR in computeDevice = enumFn.create.\n",
         {kRegisterDisplay, "registerDrawOverride " + kDisplayOverride, kRegisterScatter + " failed",
          "deregisterDrawOverride " + kDisplayOverride, "deregister 524295"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const size_t start = mayaStandin::registryLog().size();
        mayaStandin::failCall(c.call, MS::kFailure, c.skip);
        CapturedOutput output;
        EXPECT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kFailure);
        output.finish();
        EXPECT_EQ(output.out(), "");
        EXPECT_EQ(output.err().rfind(c.err, 0), 0u) << output.err();
        EXPECT_EQ(output.err().find("dropping"), std::string::npos) << "the plug-in undid its own registrations";
        EXPECT_EQ(logSince(start), c.log);
        EXPECT_FALSE(anythingRegistered());
    }
    CapturedOutput again;
    ASSERT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess);
    EXPECT_EQ(mayaStandin::unloadPlugin(harness::pluginPath()), MS::kSuccess);
}

// A failed unload keeps the library and all it registered, so that it can be unloaded later.
TEST(PluginLoad, AnUnloadThatFailsPartWayLeavesEverythingRegistered)
{
    struct Case {
        const char* call;
        int skip;
        const char* err;
    };
    const Case cases[] = {{"MFnPlugin::deregisterNode", 0, "deregisterNode kyAttachPoints: "},
                          {"MDrawRegistry::deregisterDrawOverrideCreator", 0, "deregisterDrawOverrideCreator: "},
                          {"MFnPlugin::deregisterNode", 1, "deregisterNode kyDisplayPoints: "},
                          {"MFnPlugin::deregisterNode", 2, "deregisterNode kyScatterPoints: "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        {
            CapturedOutput quiet;
            ASSERT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess);
        }
        mayaStandin::failCall(c.call, MS::kFailure, c.skip);
        CapturedOutput output;
        EXPECT_EQ(mayaStandin::unloadPlugin(harness::pluginPath()), MS::kFailure);
        output.finish();
        EXPECT_EQ(output.err().rfind(c.err, 0), 0u) << output.err();
        EXPECT_TRUE(everythingRegistered());
        EXPECT_EQ(mayaStandin::unloadPlugin(harness::pluginPath()), MS::kSuccess);
        EXPECT_FALSE(anythingRegistered());
    }
}

TEST(PluginLoad, TakenDisplayIdRegistersNeitherTypeAndSaysNothingOnStdout)
{
    ASSERT_EQ(mayaStandin::loadPlugin(ID_THIEF_PLUGIN), MS::kSuccess);
    CapturedOutput output;
    const MStatus status = mayaStandin::loadPlugin(harness::pluginPath());
    output.finish();
    EXPECT_NE(status, MS::kSuccess);
    EXPECT_EQ(output.out(), "") << "no initialized line";
    EXPECT_EQ(output.err().rfind("registerNode: ", 0), 0u) << output.err();
    EXPECT_FALSE(anythingRegistered());
    EXPECT_EQ(mayaStandin::unloadPlugin(ID_THIEF_PLUGIN), MS::kSuccess);

    CapturedOutput again;
    EXPECT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess) << "loads once the id is free";
    again.finish();
    EXPECT_EQ(again.out(), "kyScatterPoints initialized\n");
    mayaStandin::unloadPlugin(harness::pluginPath());
}

// ------------------------------------------------------------------------------------------------ exports

namespace {

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

template <typename T>
bool readAt(const std::vector<char>& bytes, uint64_t offset, T& value)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

// The section headers of a 64-bit ELF file's dynamic symbol table and of its names.
bool dynamicSymbolTable(const std::vector<char>& elf, Elf64_Shdr& symbols, Elf64_Shdr& names)
{
    Elf64_Ehdr header{};
    if (!readAt(elf, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64)
        return false;
    for (uint64_t i = 0; i < header.e_shnum; ++i) {
        if (readAt(elf, header.e_shoff + i * header.e_shentsize, symbols) && symbols.sh_type == SHT_DYNSYM)
            return readAt(elf, header.e_shoff + uint64_t{symbols.sh_link} * header.e_shentsize, names);
    }
    return false;
}

std::string demangled(const std::string& name)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> text(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status),
                                                std::free);
    return status == 0 ? std::string(text.get()) : name;
}

// What a shared library exports, demangled: the global and weak symbols that its dynamic symbol table defines.
std::set<std::string> exportedNames(const std::string& path)
{
    const std::vector<char> elf = fileBytes(path);
    Elf64_Shdr symbols{}, names{};
    std::set<std::string> exported;
    if (!dynamicSymbolTable(elf, symbols, names) || names.sh_offset + names.sh_size > elf.size()) {
        ADD_FAILURE() << path << ": no dynamic symbol table";
        return exported;
    }
    Elf64_Sym symbol{};
    for (uint64_t offset = sizeof symbol; offset < symbols.sh_size; offset += sizeof symbol) {
        const int binding = readAt(elf, symbols.sh_offset + offset, symbol) ? ELF64_ST_BIND(symbol.st_info) : -1;
        if ((binding != STB_GLOBAL && binding != STB_WEAK) || symbol.st_shndx == SHN_UNDEF ||
            symbol.st_name >= names.sh_size)
            continue;
        const char* name = elf.data() + names.sh_offset + symbol.st_name;
        exported.insert(demangled(std::string(name, strnlen(name, names.sh_size - symbol.st_name))));
    }
    return exported;
}

std::set<std::string> entryPointsAndBudget(const std::string& objectClass)
{
    return {"MApiVersion", "initializePlugin(" + objectClass + ")", "uninitializePlugin(" + objectClass + ")",
            "checkGPUMemoryAvailability(unsigned long)", "printMemoryStat()"};
}

}  // namespace

// Maya 2022 looks the entry points up by their names with its devkit's MObject; node internals, the Maya API's and
// the runtimes' symbols stay private, in the CPU build and in the CUDA build.
TEST(PluginExports, EveryBuildExportsTheEntryPointsTheVersionTextAndTheBudgetFunctionsAlone)
{
    std::vector<std::string> plugins = {harness::pluginPath()};
#ifdef KY_CUDA_PLUGIN_PATH
    plugins.push_back(KY_CUDA_PLUGIN_PATH);
#endif
    for (const std::string& plugin : plugins)
        EXPECT_EQ(exportedNames(plugin), entryPointsAndBudget("Autodesk::Maya::OpenMaya20220000::MObject")) << plugin;

    void* library = dlopen(harness::pluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const char* version = static_cast<const char*>(dlsym(library, "MApiVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version, "20220300");
    dlclose(library);
}

// The road libraries beside the plug-in show the plug-in their one entry, and nothing of their runtimes.
TEST(PluginExports, RoadsExportTheirEntryAlone)
{
    const auto beside = [](const std::string& plugin, const char* road) {
        return plugin.substr(0, plugin.rfind('/') + 1) + road;
    };
    std::vector<std::string> roads = {beside(harness::pluginPath(), "kyScatterPointsCpu.so.1")};
#ifdef KY_CUDA_PLUGIN_PATH
    roads.push_back(beside(KY_CUDA_PLUGIN_PATH, "kyScatterPointsCuda.so.1"));
#endif
    for (const std::string& road : roads)
        EXPECT_EQ(exportedNames(road), std::set<std::string>{"kyScatterRoad"}) << road;
}

// With a devkit from before Maya 2018 the version script exports the same functions by their global-scope names; the
// host, as Maya 2022 does, finds no entry point among them.
TEST(PluginExports, OlderDevkitsEntryPointsAreExportedButNotLoaded)
{
    EXPECT_EQ(exportedNames(GLOBAL_SCOPE_PLUGIN), entryPointsAndBudget("MObject"));
    CapturedOutput output;
    const MStatus status = mayaStandin::loadPlugin(GLOBAL_SCOPE_PLUGIN);
    output.finish();
    EXPECT_EQ(status, MS::kFailure);
    EXPECT_NE(output.err().find("has no initializePlugin"), std::string::npos) << output.err();
}

// ------------------------------------------------------------------------------------------------ attributes

class Attributes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CapturedOutput quiet;
        ASSERT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess);
    }
    static void TearDownTestSuite()
    {
        mayaStandin::unloadPlugin(harness::pluginPath());
    }
};

MObject attributeOf(const MObject& node, const char* name)
{
    return mayaStandin::findPlug(node, name).attribute();
}

struct Flags {
    bool keyable, storable, readable, writable, hidden;
};

Flags flagsOf(const MObject& attribute)
{
    MFnAttribute fn(attribute);
    return {fn.isKeyable(), fn.isStorable(), fn.isReadable(), fn.isWritable(), fn.isHidden()};
}

TEST_F(Attributes, ScatterNodeDefaultsLimitsAndFlags)
{
    harness::ScatterNode node;
    float radius = 0.0f;
    node.plug("radius").getValue(radius);
    EXPECT_EQ(radius, 1.0f);
    MFnNumericAttribute radiusFn(attributeOf(node.node(), "radius"));
    double minimum = 0.0;
    EXPECT_TRUE(radiusFn.hasMin());
    radiusFn.getMin(minimum);
    EXPECT_DOUBLE_EQ(minimum, 0.001);
    EXPECT_FALSE(radiusFn.hasMax());
    EXPECT_FALSE(radiusFn.hasSoftMin());
    EXPECT_FALSE(radiusFn.hasSoftMax());
    node.plug("radius").setValue(0.0f);
    node.plug("radius").getValue(radius);
    EXPECT_FLOAT_EQ(radius, 0.001f) << "the hard minimum holds";
    const Flags radiusFlags = flagsOf(attributeOf(node.node(), "r"));
    EXPECT_TRUE(radiusFlags.keyable && radiusFlags.storable && radiusFlags.readable && radiusFlags.writable);

    const char* floats[] = {"bmix", "bmiy", "bmiz", "bmax", "bmay", "bmaz", "bmsx", "bmsy", "bmsz"};
    for (const char* name : floats) {
        float value = -1.0f;
        node.plug(name).getValue(value);
        EXPECT_EQ(value, 0.0f) << name;
        const Flags f = flagsOf(attributeOf(node.node(), name));
        EXPECT_TRUE(f.hidden && f.keyable && f.storable && f.readable && f.writable) << name;
    }
    const char* compounds[] = {"boundingBoxMin", "boundingBoxMax", "boundingBoxSize", "boundingBox"};
    for (const char* name : compounds) {
        const Flags f = flagsOf(attributeOf(node.node(), name));
        EXPECT_TRUE(f.readable && f.writable) << name;
        EXPECT_FALSE(f.keyable) << name;
    }

    const Flags out = flagsOf(attributeOf(node.node(), "op"));
    EXPECT_FALSE(out.storable);
    EXPECT_FALSE(out.writable);
    EXPECT_TRUE(out.readable);
    const Flags mesh = flagsOf(attributeOf(node.node(), "im"));
    EXPECT_TRUE(mesh.keyable && mesh.storable && mesh.readable && mesh.writable);

    // The default record, before any compute has written one: an empty position channel.
    MObject record;
    {
        CapturedOutput quiet;  // nothing is connected, so the compute reports that it has no mesh
        node.plug("outPoints").getValue(record);
    }
    MStatus status;
    MFnArrayAttrsData recordFn(record, &status);
    ASSERT_EQ(status, MS::kSuccess);
    EXPECT_EQ(recordFn.getVectorData("position", &status).length(), 0u);
    EXPECT_EQ(status, MS::kSuccess);
}

TEST_F(Attributes, ControlsDefaultsLimitsAndFlags)
{
    harness::ScatterNode node;
    struct Control {
        const char* name;
        const char* shortName;
        int defaultValue;
        bool limited;
        double min, max;
    };
    const Control controls[] = {{"seed", "sd", 1234, false, 0, 0},
                                {"passes", "pas", 5, true, 1, 1000},
                                {"candidateCount", "cc", 1000000, true, 1000, 1073741823},
                                {"strictRadius", "sr", 0, false, 0, 0},
                                {"stableLayout", "sl", 0, false, 0, 0}};
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        int value = -1;
        node.plug(c.name).getValue(value);
        EXPECT_EQ(value, c.defaultValue);
        const Flags f = flagsOf(attributeOf(node.node(), c.shortName));
        EXPECT_TRUE(f.keyable && f.storable && f.readable && f.writable);
        EXPECT_FALSE(f.hidden);
        MFnNumericAttribute fn(attributeOf(node.node(), c.name));
        EXPECT_EQ(fn.hasMin(), c.limited);
        EXPECT_EQ(fn.hasMax(), c.limited);
        if (!c.limited)
            continue;
        double min = 0, max = 0;
        fn.getMin(min);
        fn.getMax(max);
        EXPECT_EQ(min, c.min);
        EXPECT_EQ(max, c.max);
        // Values beyond the limits are held to them, as Maya holds them.
        node.plug(c.name).setValue(0);
        node.plug(c.name).getValue(value);
        EXPECT_EQ(value, static_cast<int>(c.min));
        node.plug(c.name).setValue(2147483647);
        node.plug(c.name).getValue(value);
        EXPECT_EQ(value, static_cast<int>(c.max));
    }
    EXPECT_EQ(MFnNumericAttribute(attributeOf(node.node(), "sr")).unitType(), MFnNumericData::kBoolean);
    EXPECT_EQ(MFnNumericAttribute(attributeOf(node.node(), "sl")).unitType(), MFnNumericData::kBoolean);
}

TEST_F(Attributes, BoundingBoxHierarchy)
{
    harness::ScatterNode node;
    const std::vector<std::pair<const char*, std::vector<std::string>>> hierarchy = {
        {"boundingBox", {"boundingBoxMin", "boundingBoxMax", "boundingBoxSize"}},
        {"boundingBoxMin", {"boundingBoxMinX", "boundingBoxMinY", "boundingBoxMinZ"}},
        {"boundingBoxMax", {"boundingBoxMaxX", "boundingBoxMaxY", "boundingBoxMaxZ"}},
        {"boundingBoxSize", {"boundingBoxSizeX", "boundingBoxSizeY", "boundingBoxSizeZ"}}};
    for (const auto& [parent, children] : hierarchy) {
        MFnCompoundAttribute fn(attributeOf(node.node(), parent));
        ASSERT_EQ(fn.numChildren(), 3u) << parent;
        for (unsigned int i = 0; i < 3; ++i)
            EXPECT_EQ(std::string(MFnAttribute(fn.child(i)).name().asChar()), children[i]) << parent;
    }
}

TEST_F(Attributes, OnlyTheInputsDirtyOutPoints)
{
    harness::ScatterNode node;
    node.setMesh(harness::singleTriangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}));
    auto computeClean = [&] {
        ASSERT_EQ(node.pull(), MS::kSuccess);
        ASSERT_FALSE(node.outPointsDirty());
    };
    computeClean();
    const char* inputs[] = {"radius", "bmix", "bmiy", "bmiz", "bmax", "bmay", "bmaz", "bmsx", "bmsy", "bmsz"};
    for (const char* name : inputs) {
        EXPECT_EQ(node.plug(name).setValue(0.5f), MS::kSuccess);
        EXPECT_TRUE(node.outPointsDirty()) << name;
        node.plug(name).setValue(name == std::string("radius") ? 1.0f : 0.0f);
        computeClean();
    }
    const std::pair<const char*, int> controls[] = {{"seed", 7}, {"passes", 6}, {"candidateCount", 2000},
                                                    {"strictRadius", 1}, {"stableLayout", 1}};
    for (const auto& [name, value] : controls) {
        int previous = 0;
        node.plug(name).getValue(previous);
        EXPECT_EQ(node.plug(name).setValue(value), MS::kSuccess);
        EXPECT_TRUE(node.outPointsDirty()) << name;
        node.plug(name).setValue(previous);
        computeClean();
    }
    node.setMesh(harness::singleTriangle({0, 0, 0}, {2, 0, 0}, {0, 0, 2}));
    EXPECT_TRUE(node.outPointsDirty()) << "inMesh";
    computeClean();
    MObject record;
    node.plug("outPoints").getValue(record);
    EXPECT_NE(node.plug("outPoints").setValue(record), MS::kSuccess) << "outPoints cannot be set";
    EXPECT_FALSE(node.outPointsDirty());
}

TEST_F(Attributes, AttachNodeAttributesAndWhatDirtiesThem)
{
    harness::HostNode node("kyAttachPoints");
    const Flags in = flagsOf(attributeOf(node.node(), "ip"));
    EXPECT_TRUE(in.readable && in.writable && !in.storable && !in.keyable);
    const Flags out = flagsOf(attributeOf(node.node(), "op"));
    EXPECT_TRUE(out.readable && !out.writable && !out.storable);
    const Flags mesh = flagsOf(attributeOf(node.node(), "im"));
    EXPECT_TRUE(mesh.readable && mesh.writable);
    EXPECT_EQ(MFnTypedAttribute(attributeOf(node.node(), "inMesh")).attrType(), MFnData::kMesh);
    MObject record;
    node.plug("inPoints").getValue(record);
    EXPECT_EQ(MFnArrayAttrsData(record).list().length(), 1u) << "an empty position channel by default";

    // A fresh node has no surface data to carry: its compute fails, and inMesh and inPoints each dirty outPoints.
    MPlug outPoints = node.plug("outPoints");
    {
        CapturedOutput quiet;
        EXPECT_NE(outPoints.getValue(record), MS::kSuccess);
    }
    EXPECT_TRUE(mayaStandin::isDirty(outPoints));
    harness::ScatterNode scatter;
    scatter.setMesh(harness::singleTriangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}));
    ScatterSettings settings;
    settings.surfaceData = true;
    scatter.setControls(settings);
    ASSERT_EQ(mayaStandin::connect(scatter.plug("outPoints"), node.plug("inPoints")), MS::kSuccess);
    node.setMesh(harness::singleTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_EQ(outPoints.getValue(record), MS::kSuccess);
    EXPECT_FALSE(mayaStandin::isDirty(outPoints));
    node.setMesh(harness::singleTriangle({0, 0, 0}, {2, 0, 0}, {0, 2, 0}));
    EXPECT_TRUE(mayaStandin::isDirty(outPoints)) << "inMesh";
    ASSERT_EQ(outPoints.getValue(record), MS::kSuccess);
    scatter.setRadius(0.5f);
    EXPECT_TRUE(mayaStandin::isDirty(outPoints)) << "inPoints";
    EXPECT_NE(outPoints.setValue(record), MS::kSuccess) << "outPoints cannot be set";
}

TEST_F(Attributes, DisplayNodeAttributesAndBounds)
{
    MObject display = mayaStandin::createNode("kyDisplayPoints");
    MPlug size = mayaStandin::findPlug(display, "ps");
    int value = 0;
    size.getValue(value);
    EXPECT_EQ(value, 2);
    size.setValue(25);
    size.getValue(value);
    EXPECT_EQ(value, 10);
    size.setValue(-3);
    size.getValue(value);
    EXPECT_EQ(value, 1);
    const Flags sizeFlags = flagsOf(attributeOf(display, "pointSize"));
    EXPECT_TRUE(sizeFlags.keyable && sizeFlags.storable && sizeFlags.readable && sizeFlags.writable);
    const Flags in = flagsOf(attributeOf(display, "ip"));
    EXPECT_FALSE(in.storable);
    EXPECT_FALSE(in.keyable);
    EXPECT_TRUE(in.readable && in.writable);

    auto* locator = dynamic_cast<MPxLocatorNode*>(mayaStandin::userNode(display));
    ASSERT_NE(locator, nullptr);
    EXPECT_TRUE(locator->isBounded());
    const MBoundingBox box = locator->boundingBox();
    EXPECT_EQ(box.min().x, -5.0);
    EXPECT_EQ(box.min().y, 0.0);
    EXPECT_EQ(box.min().z, -5.0);
    EXPECT_EQ(box.max().x, 5.0);
    EXPECT_EQ(box.max().y, 0.0);
    EXPECT_EQ(box.max().z, 5.0);

    // Viewport 2.0's override reports the same bounds, and draws in every draw API.
    mayaStandin::Viewport viewport(16, 16);
    ASSERT_EQ(mayaStandin::drawViewport2(display, viewport), MS::kSuccess);
    const MHWRender::MPxDrawOverride* drawOverride = mayaStandin::drawOverride(display);
    ASSERT_NE(drawOverride, nullptr);
    EXPECT_TRUE(drawOverride->isBounded(MDagPath(), MDagPath()));
    const MBoundingBox overrideBox = drawOverride->boundingBox(MDagPath(), MDagPath());
    EXPECT_TRUE(overrideBox.min() == box.min() && overrideBox.max() == box.max());
    EXPECT_EQ(drawOverride->supportedDrawAPIs(), MHWRender::kAllDevices);
    mayaStandin::deleteNode(display);
}

}  // namespace
