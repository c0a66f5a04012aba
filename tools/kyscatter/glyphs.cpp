#include "glyphs.h"

#include <cmath>

namespace kyscatter {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kConeSides = 12;

Rotation multiply(const Rotation& a, const Rotation& b)
{
    Rotation m{};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            for (int k = 0; k < 3; ++k)
                m[3 * row + col] += a[3 * row + k] * b[3 * k + col];
    return m;
}

void put(std::vector<float>& to, const Point& p)
{
    to.insert(to.end(), {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
}

Point placed(const Point& at, const Rotation& r, const Point& local)
{
    const Point v = rotate(r, local);
    return {at[0] + v[0], at[1] + v[1], at[2] + v[2]};
}

// The cone's side as a fan of triangles from the apex; each facet is lit by the normal of its middle.
void addCone(GlyphGeometry& g, const Point& at, const Rotation& r, double height)
{
    const double base = height / 4;
    const double slope = std::hypot(height, base);
    for (int k = 0; k < kConeSides; ++k) {
        const double a0 = 2 * kPi * k / kConeSides, a1 = 2 * kPi * (k + 1) / kConeSides;
        const double mid = (a0 + a1) / 2;
        const Point normal = rotate(r, {height * std::cos(mid) / slope, base / slope, height * std::sin(mid) / slope});
        put(g.positions, placed(at, r, {0, height, 0}));
        put(g.positions, placed(at, r, {base * std::cos(a1), 0, base * std::sin(a1)}));
        put(g.positions, placed(at, r, {base * std::cos(a0), 0, base * std::sin(a0)}));
        for (int corner = 0; corner < 3; ++corner)
            put(g.normals, normal);
    }
}

}  // namespace

Rotation instanceRotation(const Point& degrees)
{
    const double x = degrees[0] * kPi / 180, y = degrees[1] * kPi / 180, z = degrees[2] * kPi / 180;
    const Rotation rx{1, 0, 0, 0, std::cos(x), -std::sin(x), 0, std::sin(x), std::cos(x)};
    const Rotation ry{std::cos(y), 0, std::sin(y), 0, 1, 0, -std::sin(y), 0, std::cos(y)};
    const Rotation rz{std::cos(z), -std::sin(z), 0, std::sin(z), std::cos(z), 0, 0, 0, 1};
    return multiply(rz, multiply(ry, rx));
}

Point rotate(const Rotation& r, const Point& v)
{
    return {r[0] * v[0] + r[1] * v[1] + r[2] * v[2], r[3] * v[0] + r[4] * v[1] + r[5] * v[2],
            r[6] * v[0] + r[7] * v[1] + r[8] * v[2]};
}

GlyphGeometry glyphGeometry(Glyphs shape, const std::vector<Point>& points, const std::vector<Point>& rotations,
                            double height)
{
    GlyphGeometry g;
    g.lines = shape == Glyphs::Lines;
    for (std::size_t i = 0; i < points.size() && i < rotations.size() && shape != Glyphs::None; ++i) {
        const Rotation r = instanceRotation(rotations[i]);
        if (g.lines) {
            put(g.positions, points[i]);
            put(g.positions, placed(points[i], r, {0, height, 0}));
        } else {
            addCone(g, points[i], r, height);
        }
    }
    return g;
}

}  // namespace kyscatter
