// The stand-in's texture nodes, MImage, MRenderUtil::sampleShadingNetwork, UV sets and colour attributes, as the
// product relies on them.
#include <maya/MFloatArray.h>
#include <maya/MFloatMatrix.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnMesh.h>
#include <maya/MImage.h>
#include <maya/MIntArray.h>
#include <maya/MPlugArray.h>
#include <maya/MRenderUtil.h>
#include <maya/MStringArray.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>
#include <mayaStandin/textures.h>

#include <gtest/gtest.h>

#include "support/testImages.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// An image of 2 by 2 blocks of `block` texels, its top row red then green and its bottom row blue then white, half
// transparent where it has alpha.
std::string writeCorners(const std::string& name, int channels, int block)
{
    const float rgba[4][4] = {{1, 0, 0, 0.5f}, {0, 1, 0, 0.5f}, {0, 0, 1, 0.5f}, {1, 1, 1, 0.5f}};
    std::vector<float> pixels;
    for (int y = 0; y < 2 * block; ++y)
        for (int x = 0; x < 2 * block; ++x)
            pixels.insert(pixels.end(), rgba[2 * (y / block) + x / block], rgba[2 * (y / block) + x / block] + channels);
    const std::string path = harness::temporaryPath(name);
    harness::writeImage(path, 2 * block, 2 * block, channels, pixels);
    return path;
}

TEST(ImageTest, ReadsEachFormatAsRGBARowsFromTheBottomUp)
{
    struct Case {
        const char* name;
        int channels;
        int block;
        float tolerance;  // JPEG is lossy
    };
    for (const Case& c : {Case{"corners.png", 4, 1, 0.0f}, Case{"corners.tif", 4, 1, 0.0f},
                          Case{"corners.exr", 4, 1, 0.0f}, Case{"corners.jpg", 3, 16, 0.1f}}) {
        SCOPED_TRACE(c.name);
        const std::string path = writeCorners(c.name, c.channels, c.block);
        MImage image;
        ASSERT_EQ(image.readFromFile(MString(path.c_str()), MImage::kFloat), MS::kSuccess);
        unsigned int width = 0, height = 0;
        ASSERT_EQ(image.getSize(width, height), MS::kSuccess);
        ASSERT_EQ(width, 2u * c.block);
        ASSERT_EQ(height, 2u * c.block);
        EXPECT_EQ(image.pixelType(), MImage::kFloat);
        EXPECT_EQ(image.pixels(), nullptr);
        // Bottom row first: blue, white; then red, green.
        const float expected[4][3] = {{0, 0, 1}, {1, 1, 1}, {1, 0, 0}, {0, 1, 0}};
        for (int i = 0; i < 4; ++i) {
            const unsigned int x = (i % 2) * c.block + c.block / 2, y = (i / 2) * c.block + c.block / 2;
            const float* p = image.floatPixels() + 4 * (y * width + x);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(p[k], expected[i][k], c.tolerance) << "block " << i << " channel " << k;
            const bool exr = std::string(c.name).find(".exr") != std::string::npos;
            EXPECT_NEAR(p[3], c.channels < 4 ? 1.0f : (exr ? 0.5f : 128.0f / 255.0f), 1e-6f) << "alpha";
        }
    }
}

TEST(ImageTest, BytesGreyAndFailures)
{
    const std::string path = harness::temporaryPath("grey.png");
    harness::writeImage(path, 2, 1, 1, {64.0f / 255.0f, 1.0f});  // bytes 64 and 255
    MImage image;
    ASSERT_EQ(image.readFromFile(MString(path.c_str())), MS::kSuccess);
    EXPECT_EQ(image.pixelType(), MImage::kByte);
    const unsigned char* p = image.pixels();
    const unsigned char expected[8] = {64, 64, 64, 255, 255, 255, 255, 255};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(p[i], expected[i]) << i;
    ASSERT_EQ(image.readFromFile(MString(path.c_str()), MImage::kFloat), MS::kSuccess);
    EXPECT_FLOAT_EQ(image.floatPixels()[0], 64.0f / 255.0f) << "an 8-bit value v reads as v / 255";

    const std::string text = harness::temporaryPath("text.png");
    std::ofstream(text) << "no image";
    for (const std::string& unreadable : {text, harness::temporaryPath("missing.png")}) {
        EXPECT_EQ(image.readFromFile(MString(unreadable.c_str()), MImage::kFloat), MS::kFailure) << unreadable;
        EXPECT_EQ(image.floatPixels(), nullptr);
        unsigned int width = 1, height = 1;
        EXPECT_EQ(image.getSize(width, height), MS::kFailure);
    }
    mayaStandin::failCall("MImage::readFromFile", MStatus::kInsufficientMemory);
    EXPECT_EQ(image.readFromFile(MString(path.c_str())), MS::kInsufficientMemory);
    EXPECT_EQ(image.readFromFile(MString(path.c_str())), MS::kSuccess);
}

MStatus sample(const std::string& name, const std::vector<float>& u, const std::vector<float>& v,
               MFloatVectorArray& colours)
{
    MFloatArray us(u.data(), static_cast<unsigned int>(u.size())), vs(v.data(), static_cast<unsigned int>(v.size()));
    MFloatMatrix camera;
    MFloatVectorArray transparencies;
    return MRenderUtil::sampleShadingNetwork(MString(name.c_str()), static_cast<int>(u.size()), false, false, camera,
                                             nullptr, &us, &vs, nullptr, nullptr, nullptr, nullptr, nullptr, colours,
                                             transparencies);
}

TEST(ShadingNetworkTest, EvaluatesTheRampAtEachUV)
{
    const MObject ramp = mayaStandin::createNode("ramp");
    const MObject file = mayaStandin::createNode("file");
    MFnDependencyNode rampFn(ramp);
    EXPECT_EQ(rampFn.typeName(), "ramp");
    const std::string name = rampFn.name().asChar();
    // Maya's first ramp: red, green, blue along v, blended.
    MFloatVectorArray colours;
    ASSERT_EQ(sample(name + ".outColor", {0.9f, 0.1f}, {0.25f, 1.5f}, colours), MS::kSuccess);
    ASSERT_EQ(colours.length(), 2u);
    EXPECT_FLOAT_EQ(colours[0].x, 0.5f);
    EXPECT_FLOAT_EQ(colours[0].y, 0.5f);
    EXPECT_FLOAT_EQ(colours[1].y, 1.0f) << "v repeats: 1.5 is 0.5";

    ASSERT_EQ(mayaStandin::findPlug(ramp, "type").setValue(1), MS::kSuccess);
    ASSERT_EQ(mayaStandin::findPlug(ramp, "interpolation").setValue(0), MS::kSuccess);
    ASSERT_EQ(mayaStandin::setRampEntries(ramp, {{0.5f, 0.2f, 0.3f, 0.4f}, {0.0f, 1.0f, 1.0f, 1.0f}}), MS::kSuccess);
    ASSERT_EQ(sample(name, {0.49f, 0.5f}, {0.0f, 0.0f}, colours), MS::kSuccess);
    EXPECT_FLOAT_EQ(colours[0].x, 1.0f) << "without interpolation, the entry at or below";
    EXPECT_FLOAT_EQ(colours[1].z, 0.4f);

    EXPECT_EQ(sample("noSuchNode.outColor", {0.0f}, {0.0f}, colours), MS::kInvalidParameter);
    EXPECT_EQ(sample(name + ".type", {0.0f}, {0.0f}, colours), MS::kInvalidParameter);
    EXPECT_EQ(sample(MFnDependencyNode(file).name().asChar(), {0.0f}, {0.0f}, colours), MS::kFailure);
    MFloatArray one(1, 0.0f), two(2, 0.0f);
    MFloatMatrix camera;
    MFloatVectorArray transparencies;
    EXPECT_EQ(MRenderUtil::sampleShadingNetwork(MString(name.c_str()), 2, false, false, camera, nullptr, &two, &one,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, colours, transparencies),
              MS::kInvalidParameter);
    mayaStandin::failCall("MRenderUtil::sampleShadingNetwork");
    EXPECT_EQ(sample(name, {0.0f}, {0.0f}, colours), MS::kFailure);
    EXPECT_EQ(mayaStandin::setRampEntries(file, {{0.0f, 1, 1, 1}}), MS::kInvalidParameter);
    mayaStandin::deleteNode(ramp);
    mayaStandin::deleteNode(file);
}

TEST(ColourAttributeTest, ColoursConnectAsAWholeAndOnlyToColours)
{
    const MObject ramp = mayaStandin::createNode("ramp");
    const MObject other = mayaStandin::createNode("ramp");
    const MPlug outColor = mayaStandin::findPlug(ramp, "outColor");
    MFnAttribute colourFn(outColor.attribute());
    EXPECT_TRUE(colourFn.isUsedAsColor());
    EXPECT_FALSE(mayaStandin::findPlug(ramp, "outColorR").isNull());
    EXPECT_FALSE(mayaStandin::findPlug(ramp, "ocb").isNull());
    MFnAttribute enumFn(mayaStandin::findPlug(ramp, "type").attribute());
    EXPECT_EQ(enumFn.setUsedAsColor(true), MS::kInvalidParameter) << "only three floats are a colour";
    EXPECT_EQ(mayaStandin::connect(outColor, mayaStandin::findPlug(other, "type")), MS::kInvalidParameter);
    MPlugArray connected;
    EXPECT_FALSE(outColor.connectedTo(connected, true, true));
    EXPECT_EQ(connected.length(), 0u);
    mayaStandin::failCall("MPlug::connectedTo");
    MStatus status;
    outColor.connectedTo(connected, true, true, &status);
    EXPECT_EQ(status, MS::kFailure);
    mayaStandin::deleteNode(ramp);
    mayaStandin::deleteNode(other);
}

TEST(UVSetTest, AMeshHasMap1AndEachPolygonHasUVsOrNone)
{
    const float square[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0};
    MObject data = mayaStandin::meshData(square, 5, {4, 3}, {0, 1, 2, 3, 1, 4, 2});
    MFnMesh meshFn(data);
    MStringArray names;
    ASSERT_EQ(meshFn.getUVSetNames(names), MS::kSuccess);
    ASSERT_EQ(names.length(), 1u);
    EXPECT_EQ(names[0], "map1");
    EXPECT_EQ(meshFn.currentUVSetName(), "map1");
    EXPECT_EQ(meshFn.numUVs("map1"), 0);

    const float none = std::nanf("");
    MStatus status;
    const std::string made = mayaStandin::addUVSet(
        data, "painted", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {none, 0}, {0, 0}, {0, 0}}, true, &status);
    ASSERT_EQ(status, MS::kSuccess);
    EXPECT_EQ(made, "painted");
    EXPECT_EQ(meshFn.currentUVSetName(), "painted");
    MIntArray counts, ids;
    ASSERT_EQ(meshFn.getAssignedUVs(counts, ids), MS::kSuccess);
    ASSERT_EQ(counts.length(), 2u);
    EXPECT_EQ(counts[0], 4);
    EXPECT_EQ(counts[1], 0) << "the triangle has none";
    EXPECT_EQ(ids.length(), 4u);
    MFloatArray us, vs;
    const MString painted("painted");
    ASSERT_EQ(meshFn.getUVs(us, vs, &painted), MS::kSuccess);
    EXPECT_EQ(us.length(), 4u);
    EXPECT_FLOAT_EQ(vs[2], 1.0f);

    // Counts that are neither 0 nor the polygon's corners, and ids past the UVs, are refused.
    const int badCounts[] = {3, 0}, someIds[] = {0, 1, 2}, farIds[] = {0, 1, 2, 9};
    EXPECT_EQ(meshFn.assignUVs(MIntArray(badCounts, 2), MIntArray(someIds, 3)), MS::kInvalidParameter);
    const int goodCounts[] = {4, 0};
    EXPECT_EQ(meshFn.assignUVs(MIntArray(goodCounts, 2), MIntArray(farIds, 4)), MS::kInvalidParameter);
    EXPECT_EQ(meshFn.setCurrentUVSetName("map7"), MS::kInvalidParameter);
    for (const char* call : {"MFnMesh::getUVs", "MFnMesh::getAssignedUVs", "MFnMesh::getUVSetNames"}) {
        mayaStandin::failCall(call);
        MStatus failed = meshFn.getUVs(us, vs);
        if (failed == MS::kSuccess)
            failed = meshFn.getAssignedUVs(counts, ids);
        if (failed == MS::kSuccess)
            failed = meshFn.getUVSetNames(names);
        EXPECT_EQ(failed, MS::kFailure) << call;
    }
    mayaStandin::failCall("MFnMesh::currentUVSetName");
    meshFn.currentUVSetName(&status);
    EXPECT_EQ(status, MS::kFailure);
}

}  // namespace
