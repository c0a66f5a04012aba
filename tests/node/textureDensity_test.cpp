// The scatter node's density map read from a texture in UV space: a file texture's image, a baked procedural texture
// or the input's own colour, at each candidate's UV.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <maya/MFnAttribute.h>
#include <mayaStandin/host.h>
#include <mayaStandin/textures.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "support/pluginTest.h"
#include "support/bandChecks.h"
#include "support/pointMeasures.h"
#include "support/testImages.h"

using harness::CapturedOutput;
using harness::HostNode;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;

namespace {

class TextureDensity : public harness::PluginTest {
protected:
    void TearDown() override
    {
        mayaStandin::clearFaults();
        harness::PluginTest::TearDown();
    }
};

constexpr float kBand = 2.0f;  // as harness::uvStrip lays them out
constexpr int kBands = 4;
const std::vector<float> kWeights = {0.0f, 0.25f, 0.5f, 1.0f};

// The points of band `b` at least `margin` inside its edges, and the area they lie on.
std::vector<kyscatter::Point> interior(const std::vector<Point>& points, int b, double margin, double& area)
{
    return harness::bandInterior(points, kBand, b, margin, area);
}

using harness::failedCompute;
using harness::recordOf;

void expectKept(ScatterNode& node, const std::string& record, int line)
{
    std::string held;
    {
        CapturedOutput quiet;
        held = node.pullBytes();
    }
    EXPECT_TRUE(held == record) << "outPoints kept, line " << line;
}

std::string bandsImage()
{
    const std::string path = harness::temporaryPath("bands.png");
    harness::writeImage(path, 256, 4, 1, harness::greyBands(256, 4, kWeights));
    return path;
}

std::string whiteImage(const std::string& name)
{
    const std::string path = harness::temporaryPath(name);
    harness::writeImage(path, 8, 8, 3, std::vector<float>(8 * 8 * 3, 1.0f));
    return path;
}

// A U ramp of four entries without interpolation: the bands of kWeights along u.
void makeBandRamp(HostNode& ramp)
{
    ASSERT_EQ(ramp.plug("type").setValue(1), MS::kSuccess);
    ASSERT_EQ(ramp.plug("interpolation").setValue(0), MS::kSuccess);
    std::vector<mayaStandin::RampEntry> entries;
    for (int b = 0; b < kBands; ++b)
        entries.push_back({0.25f * b, kWeights[b], kWeights[b], kWeights[b]});
    ASSERT_EQ(mayaStandin::setRampEntries(ramp.node(), entries), MS::kSuccess);
}

// Each band's interior count; none in the black band beyond the texel at each edge that bilinear sampling blends with
// its neighbour (repeating: u = 0 with u = 1); the strict radius kept.
std::vector<double> bandCounts(ScatterNode& node, const char* what)
{
    SCOPED_TRACE(what);
    std::vector<Point> points;
    EXPECT_EQ(node.pull(&points), MS::kSuccess);
    const float texel = kBands * kBand / 256.0f;
    for (const Point& p : points)
        EXPECT_FALSE(p[0] > texel && p[0] < kBand - texel) << "a point where the texture is black: " << p[0];
    std::vector<double> counts;
    double area = 0;
    for (int b = 0; b < kBands; ++b)
        counts.push_back(static_cast<double>(interior(points, b, 0.15, area).size()));
    EXPECT_EQ(kyscatter::pointStats(harness::wide(points), 0.05, 1.0).closePairs, 0u);
    return counts;
}

// Storable, keyable where Maya keys the type, each dirtying outPoints; the texture a colour used as a colour.
TEST_F(TextureDensity, TheControlsAreTheNodesInputs)
{
    ScatterNode node;
    node.setMesh(harness::uvStrip());
    node.setRadius(0.2f);
    struct Control {
        const char* name;
        const char* shortName;
        bool keyable;
    };
    for (const Control& c : {Control{"densitySource", "dsrc", true}, Control{"densityTexture", "dtx", true},
                             Control{"densityUVSet", "duv", false}, Control{"densityTextureResolution", "dtr", true}}) {
        SCOPED_TRACE(c.name);
        const MPlug plug = node.plug(c.name);
        ASSERT_FALSE(plug.isNull());
        EXPECT_TRUE(plug == node.plug(c.shortName).attribute());
        MFnAttribute attributeFn(plug.attribute());
        EXPECT_TRUE(attributeFn.isStorable());
        EXPECT_EQ(attributeFn.isKeyable(), c.keyable);
    }
    EXPECT_TRUE(MFnAttribute(node.plug("densityTexture").attribute()).isUsedAsColor());
    float red = 0.0f;
    ASSERT_EQ(node.plug("densityTextureR").getValue(red), MS::kSuccess);
    EXPECT_EQ(red, 1.0f) << "white by default";
    int resolution = 0;
    ASSERT_EQ(node.plug("densityTextureResolution").getValue(resolution), MS::kSuccess);
    EXPECT_EQ(resolution, 256);
    for (int asked : {4, 100000}) {
        ASSERT_EQ(node.plug("densityTextureResolution").setValue(asked), MS::kSuccess);
        node.plug("densityTextureResolution").getValue(resolution);
        EXPECT_EQ(resolution, asked < 16 ? 16 : 8192);
    }
    for (const char* input : {"densitySource", "densityTextureG", "densityUVSet", "densityTextureResolution"}) {
        ASSERT_EQ(node.pull(), MS::kSuccess);
        ASSERT_FALSE(node.outPointsDirty());
        if (std::string(input) == "densityUVSet")
            ASSERT_EQ(node.plug(input).setValue(MString("map1")), MS::kSuccess);
        else
            ASSERT_EQ(node.plug(input).setValue(1), MS::kSuccess);
        EXPECT_TRUE(node.outPointsDirty()) << input;
    }
}

TEST_F(TextureDensity, TheColourSetSourceAndTheTextureControlsLeaveEveryRecord)
{
    Mesh mesh = harness::uvStrip();
    mesh.colourSets.push_back({"grey", std::vector<harness::Colour>(mesh.connects.size(), {0.5f, 0.5f, 0.5f, 1}), true});
    ScatterNode node;
    node.setMesh(mesh);
    node.setRadius(0.1f);
    const std::string noMap = recordOf(node);
    node.setDensity(true);
    const std::string colourSet = recordOf(node);
    EXPECT_FALSE(colourSet == noMap);
    // Texture controls away from their defaults change nothing while the source is the colour set.
    node.setDensitySource(false, "map7", 1024);
    node.setTextureColour(0.1f, 0.2f, 0.3f);
    HostNode file("file");
    node.connectTexture(file);
    EXPECT_TRUE(recordOf(node) == colourSet);
    // Nor does the texture source while the map is off.
    node.setDensitySource(true);
    node.setDensity(false);
    EXPECT_TRUE(recordOf(node) == noMap);
}

// White everywhere, as the input's colour or as a file of white texels, decides every candidate as without a map.
TEST_F(TextureDensity, AnAllWhiteTextureIsTheRecordOfNoMap)
{
    ScatterNode node;
    node.setMesh(harness::uvStrip());
    node.setRadius(0.08f);
    ScatterSettings settings = harness::settingsOf(0.08f);
    HostNode file("file");
    ASSERT_EQ(file.plug("fileTextureName").setValue(MString(whiteImage("white.png").c_str())), MS::kSuccess);
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        settings.strictRadius = variant > 0;
        settings.surfaceData = variant == 2;
        node.setControls(settings);
        node.setDensity(false);
        const std::string noMap = recordOf(node);
        node.setDensity(true);
        node.setDensitySource(true);
        EXPECT_TRUE(recordOf(node) == noMap) << "the default colour, white";
        node.connectTexture(file);
        EXPECT_TRUE(recordOf(node) == noMap) << "a white file";
        ASSERT_EQ(mayaStandin::disconnect(file.plug("outColor"), node.plug("densityTexture")), MS::kSuccess);
        node.setTextureColour(1.0f, 0.0f, 0.0f);
        node.setDensity(true, "", 1);
        EXPECT_TRUE(recordOf(node) == noMap) << "the red channel of red";
        node.setDensity(true, "", 0);
        EXPECT_FALSE(recordOf(node) == noMap) << "the luminance of red is 0.3";
        node.setTextureColour(1.0f, 1.0f, 1.0f);
    }
}

// Bands of 0, 0.25, 0.5 and 1 along u hold their share of the full band's points, from a file's image and from a
// ramp baked through the shading network alike.
TEST_F(TextureDensity, BandsOfAFileAndOfABakedRampHoldTheirShare)
{
    ScatterNode node;
    node.setMesh(harness::uvStrip());
    ScatterSettings settings = harness::settingsOf(0.05f);
    settings.strictRadius = true;
    node.setControls(settings);
    node.setRadius(0.05f);
    node.setDensity(true);
    node.setDensitySource(true);
    HostNode file("file");
    ASSERT_EQ(file.plug("fileTextureName").setValue(MString(bandsImage().c_str())), MS::kSuccess);
    node.connectTexture(file);
    const std::vector<double> fromFile = bandCounts(node, "file");

    HostNode ramp("ramp");
    makeBandRamp(ramp);
    ASSERT_EQ(mayaStandin::disconnect(file.plug("outColor"), node.plug("densityTexture")), MS::kSuccess);
    node.connectTexture(ramp);
    const std::vector<double> fromRamp = bandCounts(node, "ramp");

    ASSERT_GT(fromFile[3], 500.0);
    // The file holds 8-bit values: 64 / 255 and 128 / 255.
    const double stored[kBands] = {0.0, 64.0 / 255.0, 128.0 / 255.0, 1.0};
    for (int b = 1; b < 3; ++b) {
        EXPECT_NEAR(fromFile[b], stored[b] * fromFile[3], 0.1 * stored[b] * fromFile[3]) << "file band " << b;
        EXPECT_NEAR(fromRamp[b], kWeights[b] * fromRamp[3], 0.1 * kWeights[b] * fromRamp[3]) << "ramp band " << b;
        EXPECT_NEAR(fromRamp[b], fromFile[b], 0.1 * fromFile[b]) << "the same bands, band " << b;
    }

    // A change upstream reaches the points: the ramp's entries, then the file's name.
    const std::string banded = recordOf(node);
    ASSERT_EQ(mayaStandin::setRampEntries(ramp.node(), {{0.0f, 1.0f, 1.0f, 1.0f}}), MS::kSuccess);
    const std::string white = recordOf(node);
    EXPECT_FALSE(white == banded);
    node.setDensity(false);
    EXPECT_TRUE(recordOf(node) == white) << "a white ramp is the record of no map";
}

TEST_F(TextureDensity, FacesWithoutUVsWeighNothing)
{
    ScatterNode node;
    node.setMesh(harness::uvStrip(2));
    node.setRadius(0.1f);
    node.setDensity(true);
    node.setDensitySource(true);
    std::vector<Point> points;
    ASSERT_EQ(node.pull(&points), MS::kSuccess);
    ASSERT_FALSE(points.empty());
    for (const Point& p : points)
        EXPECT_GE(p[0], 2 * kBand) << "a point on a face without UVs";
}

// The same bytes on 1 to 8 threads, in both layouts, from a file and from a bake.
TEST_F(TextureDensity, OneRecordOnAnyNumberOfThreads)
{
    ScatterNode node;
    node.setMesh(harness::uvStrip());
    node.setRadius(0.06f);
    node.setDensity(true);
    node.setDensitySource(true, "", 64);
    HostNode ramp("ramp");
    node.connectTexture(ramp);  // Maya's first ramp: red, green, blue along v, blended
    for (bool stable : {false, true}) {
        ScatterSettings settings = harness::settingsOf(0.06f);
        settings.stableLayout = stable;
        node.setControls(settings);
        std::string first;
        for (int threads : {1, 2, 3, 8}) {
            cudaStandin::setKernelThreads(threads);
            node.setRadius(0.061f);
            node.setRadius(0.06f);
            const std::string record = recordOf(node);
            if (first.empty())
                first = record;
            EXPECT_TRUE(record == first) << threads << " threads, stable " << stable;
        }
    }
    cudaStandin::setKernelThreads(0);
}

TEST_F(TextureDensity, FailuresAreReportedAndKeepThePoints)
{
    ScatterNode node;
    node.setMesh(harness::uvStrip());
    node.setRadius(0.1f);
    const std::string before = recordOf(node);
    node.setDensity(true);
    node.setDensitySource(true, "map2");
    EXPECT_EQ(failedCompute(node), "ERROR densityUVSet 'map2' is not a UV set of the mesh; no points computed\n");
    expectKept(node, before, __LINE__);

    node.setDensitySource(true);
    node.setMesh(harness::ball());
    EXPECT_EQ(failedCompute(node), "ERROR densityUVSet 'map1' holds no UVs; no points computed\n");
    expectKept(node, before, __LINE__);

    node.setMesh(harness::uvStrip());
    HostNode file("file");
    node.connectTexture(file);
    const std::string missing = harness::temporaryPath("missing.png");
    ASSERT_EQ(file.plug("fileTextureName").setValue(MString(missing.c_str())), MS::kSuccess);
    std::string err = failedCompute(node);
    EXPECT_NE(err.find("ERROR densityTexture: the image '" + missing + "' of file"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot be read: there is no such file; no points computed\n"), std::string::npos) << err;
    expectKept(node, before, __LINE__);

    const std::string notAnImage = harness::temporaryPath("notAnImage.png");
    std::ofstream(notAnImage) << "not an image";
    ASSERT_EQ(file.plug("fileTextureName").setValue(MString(notAnImage.c_str())), MS::kSuccess);
    err = failedCompute(node);
    EXPECT_NE(err.find("cannot be read: MImage cannot read it as an image (kFailure): Unexpected Internal Failure; no points computed\n"), std::string::npos)
        << err;
    expectKept(node, before, __LINE__);

    HostNode ramp("ramp");
    ASSERT_EQ(mayaStandin::disconnect(file.plug("outColor"), node.plug("densityTexture")), MS::kSuccess);
    node.connectTexture(ramp);
    mayaStandin::failCall("MRenderUtil::sampleShadingNetwork");
    err = failedCompute(node);
    EXPECT_NE(err.find("ERROR densityTexture: baking ramp"), std::string::npos) << err;
    EXPECT_NE(err.find("through the shading network failed"), std::string::npos) << err;
    EXPECT_EQ(node.pull(), MS::kSuccess) << "the fault is spent";

    // A connection may bring what no field names.
    ASSERT_EQ(node.plug("densitySource").setValue(5), MS::kSuccess);
    EXPECT_EQ(failedCompute(node),
              "ERROR densitySource 5 is neither colorSet (0) nor texture (1); no points computed\n");
}

}  // namespace
