#include <gtest/gtest.h>

#include <cmath>

#include "glyphs.h"

using namespace kyscatter;

namespace {

void expectNear(const Point& a, const Point& b)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(a[k], b[k], 1e-6) << "axis " << k;
}

Point vertex(const std::vector<float>& xyz, std::size_t i) { return {xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]}; }

}  // namespace

// Rotation order XYZ turns about X first, then Y, then Z; the other orders put the same angles elsewhere.
TEST(InstanceRotation, TurnsAboutXThenYThenZ)
{
    expectNear(rotate(instanceRotation({90, 0, 0}), {0, 1, 0}), {0, 0, 1});
    expectNear(rotate(instanceRotation({0, 0, 90}), {0, 1, 0}), {-1, 0, 0});
    expectNear(rotate(instanceRotation({0, 90, 0}), {1, 0, 0}), {0, 0, -1});
    // X first: +Y goes to +Z, which Z leaves; Z first would send it to -X.
    expectNear(rotate(instanceRotation({90, 0, 90}), {0, 1, 0}), {0, 0, 1});
    // Y between: +Z about X to -Y, about Y stays, about Z to +X.
    expectNear(rotate(instanceRotation({90, 90, 90}), {0, 0, 1}), {1, 0, 0});
}

// The scatter node's rotation for a normal (about X, then Z) brings the glyph's +Y axis onto it.
TEST(InstanceRotation, GlyphsStandOnTheirPointsAlongTheTurnedYAxis)
{
    const Point at{1, 2, 3};
    const Point normal{0.48, -0.6, 0.64};
    const double x = std::asin(normal[2]) * 180 / M_PI, z = std::atan2(-normal[0], normal[1]) * 180 / M_PI;
    const Point rotation{x, 0, z};

    const GlyphGeometry line = glyphGeometry(Glyphs::Lines, {at}, {rotation}, 0.5);
    EXPECT_TRUE(line.lines);
    ASSERT_EQ(line.positions.size(), 6u);
    expectNear(vertex(line.positions, 0), at);
    expectNear(vertex(line.positions, 1), {1.24, 1.7, 3.32});

    const GlyphGeometry cone = glyphGeometry(Glyphs::Cones, {at, at}, {rotation, rotation}, 0.5);
    EXPECT_FALSE(cone.lines);
    ASSERT_EQ(cone.positions.size() % 18, 0u);
    ASSERT_EQ(cone.normals.size(), cone.positions.size());
    // Triangles from the apex to the base, which lies on the surface's plane a quarter of the height out.
    for (std::size_t i = 0; i < cone.positions.size() / 6; ++i) {
        const Point p = vertex(cone.positions, i);
        if (i % 3 == 0) {
            expectNear(p, {1.24, 1.7, 3.32});
            continue;
        }
        EXPECT_NEAR((p[0] - at[0]) * normal[0] + (p[1] - at[1]) * normal[1] + (p[2] - at[2]) * normal[2], 0.0, 1e-6);
        EXPECT_NEAR(std::hypot(p[0] - at[0], p[1] - at[1], p[2] - at[2]), 0.125, 1e-6);
    }
    EXPECT_TRUE(glyphGeometry(Glyphs::None, {at}, {rotation}, 0.5).positions.empty());
}
