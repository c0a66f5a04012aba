#include "builtinSurface.h"

#include <cmath>

namespace kyscatter {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTubeRadius = 0.45;

Point knotCurve(double t)
{
    const double p = 2.0, q = 3.0;
    const double r = 2.0 + std::cos(q * t);
    return {r * std::cos(p * t), std::sin(q * t), r * std::sin(p * t)};
}

Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point add(const Point& a, const Point& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Point scale(const Point& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
Point cross(const Point& a, const Point& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Point normalized(const Point& a)
{
    const double l = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    return scale(a, 1.0 / l);
}

}  // namespace

Mesh torusKnot(int segments, int sides)
{
    Mesh mesh;
    mesh.points.reserve(static_cast<std::size_t>(segments) * sides * 3);
    const double h = 1e-4;
    for (int i = 0; i < segments; ++i) {
        const double t = 2.0 * kPi * i / segments;
        const Point c = knotCurve(t);
        const Point tangent = normalized(sub(knotCurve(t + h), knotCurve(t - h)));
        // The curvature of this knot never vanishes, so the Frenet frame is defined everywhere
        // and closes on itself after one turn.
        const Point bend = sub(add(knotCurve(t + h), knotCurve(t - h)), scale(c, 2.0));
        const Point binormal = normalized(cross(tangent, bend));
        const Point normal = cross(binormal, tangent);
        for (int j = 0; j < sides; ++j) {
            const double a = 2.0 * kPi * j / sides;
            const Point offset =
                add(scale(normal, kTubeRadius * std::cos(a)), scale(binormal, kTubeRadius * std::sin(a)));
            const Point p = add(c, offset);
            mesh.points.insert(mesh.points.end(), {static_cast<float>(p[0]), static_cast<float>(p[1]),
                                                   static_cast<float>(p[2])});
        }
    }
    mesh.counts.assign(static_cast<std::size_t>(segments) * sides, 4);
    mesh.connects.reserve(mesh.counts.size() * 4);
    for (int i = 0; i < segments; ++i) {
        const int i1 = (i + 1) % segments;
        for (int j = 0; j < sides; ++j) {
            const int j1 = (j + 1) % sides;
            // Counter-clockwise seen from outside, so that the normals, and whatever stands on them, face out.
            mesh.connects.insert(mesh.connects.end(),
                                 {i * sides + j, i * sides + j1, i1 * sides + j1, i1 * sides + j});
        }
    }
    return mesh;
}

Mesh builtinSurface() { return torusKnot(1024, 48); }

}  // namespace kyscatter
