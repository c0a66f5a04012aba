#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "errors.h"
#include "options.h"
#include "scatter/pointCount.h"
#include "scatterSettings.h"

using namespace kyscatter;

namespace {

CommandLine parse(std::vector<const char*> args, std::ostream& out)
{
    args.insert(args.begin(), "kyscatter");
    return parseCommandLine(static_cast<int>(args.size()), args.data(), out);
}

CommandLine parse(std::vector<const char*> args)
{
    std::ostringstream out;
    return parse(std::move(args), out);
}

}  // namespace

TEST(CommandLine, DefaultsLeaveRadiusAndBoxToTheMesh)
{
    const Options o = parse({}).options;
    EXPECT_EQ(o.meshPath, "");
    EXPECT_FALSE(o.radius);
    EXPECT_FALSE(o.box);
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);
    EXPECT_EQ(o.pointSize, 2);
    EXPECT_EQ(o.view, View::Persp);
    EXPECT_FALSE(o.stats);
    EXPECT_FALSE(o.quiet);
    EXPECT_FALSE(o.normals);

    const ScatterSettings s = settingsFor(o, 1.0);
    EXPECT_EQ(s.radius, defaultRadius(1.0));
    EXPECT_FALSE(s.box);
    EXPECT_FALSE(s.picture);
    EXPECT_FALSE(s.surfaceData);
    const ScatterSettings pictured = settingsFor(parse({"--image", "p.png"}).options, 1.0);
    ASSERT_TRUE(pictured.picture);
    EXPECT_EQ(pictured.picture->viewport, ViewportRoad::Vp2);
    EXPECT_EQ(pictured.picture->glyphs, Glyphs::None);
    // The node's controls stay as the node has them.
    EXPECT_FALSE(s.controls.seed || s.controls.passes || s.controls.candidates || s.controls.strict ||
                 s.controls.stable);
    EXPECT_FALSE(s.targetCount);
}

TEST(CommandLine, EveryOptionReachesTheSettings)
{
    const Options o = parse({"rock.obj", "--radius", "0.25", "--box", "-1", "-2", "-3", "4", "5", "6", "--out",
                             "p.XYZ", "--image", "p.png", "--size", "320x240", "--point-size", "5", "--view",
                             "top", "--stats", "--quiet", "--plugin", "/tmp/x.so", "--seed", "-7", "--passes",
                             "1000", "--candidates", "1000", "--strict", "--viewport", "legacy", "--glyphs",
                             "lines", "--normals", "--stable"})
                          .options;
    EXPECT_EQ(o.meshPath, "rock.obj");
    EXPECT_EQ(o.outPath, "p.XYZ");
    EXPECT_EQ(o.pluginPath, "/tmp/x.so");
    EXPECT_TRUE(o.stats);
    EXPECT_TRUE(o.quiet);

    const ScatterSettings s = settingsFor(o, 1.0);
    EXPECT_EQ(s.radius, 0.25);
    ASSERT_TRUE(s.box);
    EXPECT_EQ(s.box->min, (Point{-1, -2, -3}));
    EXPECT_EQ(s.box->max, (Point{4, 5, 6}));
    EXPECT_EQ(s.pointSize, 5);
    ASSERT_TRUE(s.picture);
    EXPECT_EQ(s.picture->width, 320);
    EXPECT_EQ(s.picture->height, 240);
    EXPECT_EQ(s.picture->view, View::Top);
    EXPECT_EQ(s.picture->viewport, ViewportRoad::Legacy);
    EXPECT_EQ(s.picture->glyphs, Glyphs::Lines);
    EXPECT_TRUE(o.normals);
    EXPECT_TRUE(s.surfaceData);
    EXPECT_EQ(s.controls.seed, -7);
    EXPECT_EQ(s.controls.passes, 1000);
    EXPECT_EQ(s.controls.candidates, 1000);
    EXPECT_TRUE(s.controls.strict);
    EXPECT_TRUE(s.controls.stable);
}

// Either output of the surface data asks the node for it; the other output stays off.
TEST(CommandLine, NormalsOrGlyphsTurnTheSurfaceDataOn)
{
    const Options normals = parse({"--out", "p.ply", "--normals"}).options;
    EXPECT_TRUE(settingsFor(normals, 1.0).surfaceData);
    EXPECT_FALSE(settingsFor(normals, 1.0).picture);

    const Options cones = parse({"--image", "p.png", "--glyphs", "cones", "--viewport", "vp2"}).options;
    EXPECT_FALSE(cones.normals);
    const ScatterSettings s = settingsFor(cones, 1.0);
    EXPECT_TRUE(s.surfaceData);
    EXPECT_EQ(s.picture->glyphs, Glyphs::Cones);
    EXPECT_EQ(s.picture->viewport, ViewportRoad::Vp2);
}

TEST(CommandLine, CountIsTheNodesAndDensityNeedsAMeshFile)
{
    const ScatterSettings s = settingsFor(parse({"--count", "5000"}).options, 90.0);
    EXPECT_EQ(s.targetCount, 5000);
    EXPECT_EQ(settingsFor(parse({}).options, 90.0).radius, radiusForCount(90.0, 30000)) << "30,000 by default";

    EXPECT_TRUE(settingsFor(parse({"--count", "5000", "--exact"}).options, 90.0).exactCount);
    EXPECT_FALSE(s.exactCount);
    try {
        parse({"--exact", "--radius", "0.1"});
        ADD_FAILURE() << "--exact without --count";
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(), "--exact needs --count: it gives exactly the --count points");
    }

    EXPECT_EQ(parse({"painted.ply", "--density", "alpha"}).options.controls.density, "alpha");
    EXPECT_FALSE(parse({"painted.ply"}).options.controls.density);
    EXPECT_THROW(parse({"painted.ply", "--density", "pink"}), UsageError);
    try {
        parse({"--density", "red"});
        ADD_FAILURE() << "the built-in surface has no colours";
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(), "--density needs a mesh file with vertex colours; the built-in surface has none");
    }
    // With a texture, --density is its channel and needs no colours.
    const Options textured = parse({"ground.obj", "--density-texture", "paths.png", "--density", "red"}).options;
    EXPECT_EQ(textured.controls.densityTexture, "paths.png");
    EXPECT_EQ(textured.controls.density, "red");
    try {
        parse({"--density-texture", "paths.png", "--density", "red"});
        ADD_FAILURE() << "the built-in surface has no UVs";
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(), "--density-texture needs a mesh file with UVs; the built-in surface has none");
    }
}

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutput)
{
    std::ostringstream help;
    EXPECT_TRUE(parse({"--help"}, help).handled);
    for (const char* option : {"--radius", "--box", "--out", "--image", "--size", "--point-size", "--view",
                               "--stats", "--quiet", "--plugin", "--version", "--seed", "--passes",
                               "--candidates", "--strict", "--stable", "--count", "--exact", "--normals", "--viewport",
                               "--glyphs", "--density", "--density-texture", "Examples:"})
        EXPECT_NE(help.str().find(option), std::string::npos) << option;
    std::ostringstream version;
    EXPECT_TRUE(parse({"--version"}, version).handled);
    EXPECT_EQ(version.str().rfind("kyscatter ", 0), 0u);
}
