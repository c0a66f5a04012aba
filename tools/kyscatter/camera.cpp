#include "camera.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "errors.h"

namespace kyscatter {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMargin = 1.05;

Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Point cross(const Point& a, const Point& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Point normalized(const Point& a)
{
    const double l = std::sqrt(dot(a, a));
    return {a[0] / l, a[1] / l, a[2] / l};
}

Matrix lookAt(const Point& eye, const Point& centre, const Point& up)
{
    const Point f = normalized(sub(centre, eye));
    const Point s = normalized(cross(f, up));
    const Point u = cross(s, f);
    return {s[0], u[0], -f[0], 0,
            s[1], u[1], -f[1], 0,
            s[2], u[2], -f[2], 0,
            -dot(s, eye), -dot(u, eye), dot(f, eye), 1};
}

Matrix ortho(double halfWidth, double halfHeight, double nearZ, double farZ)
{
    return {1 / halfWidth, 0, 0, 0,
            0, 1 / halfHeight, 0, 0,
            0, 0, -2 / (farZ - nearZ), 0,
            0, 0, -(farZ + nearZ) / (farZ - nearZ), 1};
}

Matrix perspective(double fovY, double aspect, double nearZ, double farZ)
{
    const double f = 1.0 / std::tan(fovY / 2);
    return {f / aspect, 0, 0, 0,
            0, f, 0, 0,
            0, 0, (farZ + nearZ) / (nearZ - farZ), -1,
            0, 0, 2 * farZ * nearZ / (nearZ - farZ), 0};
}

std::array<double, 4> transform(const Matrix& m, const std::array<double, 4>& v)
{
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            r[row] += m[col * 4 + row] * v[col];
    return r;
}

struct ViewAxes {
    Point direction{0, 0, 1};  // from the target towards the eye
    Point up{0, 1, 0};
};

ViewAxes axesOf(View view)
{
    switch (view) {
    case View::Side:
        return {{1, 0, 0}, {0, 1, 0}};
    case View::Top:
        return {{0, 1, 0}, {0, 0, -1}};
    case View::Persp:
        return {normalized({1, 0.75, 1}), {0, 1, 0}};
    case View::Front:
        break;
    }
    return {};
}

struct CameraFrame {
    std::vector<Point> points;
    Point low{0, 0, 0};  // the lowest right and up of any point, and the highest
    Point high{0, 0, 0};
};

CameraFrame inCameraFrame(const Mesh& mesh, const Point& centre, const std::array<Point, 3>& axes)
{
    CameraFrame frame;
    frame.points.resize(mesh.vertexCount());
    for (std::size_t i = 0; i < frame.points.size(); ++i) {
        const Point d = sub(mesh.vertex(static_cast<int>(i)), centre);
        frame.points[i] = {dot(d, axes[0]), dot(d, axes[1]), dot(d, axes[2])};
        for (int k = 0; k < 2; ++k) {
            frame.low[k] = std::min(frame.low[k], frame.points[i][k]);
            frame.high[k] = std::max(frame.high[k], frame.points[i][k]);
        }
    }
    return frame;
}

}  // namespace

View viewNamed(const std::string& name)
{
    if (name == "front")
        return View::Front;
    if (name == "side")
        return View::Side;
    if (name == "top")
        return View::Top;
    if (name == "persp")
        return View::Persp;
    throw UsageError("--view: unknown view '" + name + "' (use front, side, top or persp)");
}

Point Camera::project(const Point& p) const
{
    const auto eye = transform(modelView, {p[0], p[1], p[2], 1.0});
    const auto clip = transform(projection, eye);
    return {(clip[0] / clip[3] + 1) / 2 * width, (clip[1] / clip[3] + 1) / 2 * height,
            (clip[2] / clip[3] + 1) / 2};
}

Camera frameCamera(View view, const Mesh& mesh, int width, int height)
{
    Camera camera;
    camera.width = width;
    camera.height = height;
    const Bounds bounds = meshBounds(mesh);
    const Point centre{(bounds.min[0] + bounds.max[0]) / 2, (bounds.min[1] + bounds.max[1]) / 2,
                       (bounds.min[2] + bounds.max[2]) / 2};
    double radius = std::sqrt(dot(sub(bounds.max, centre), sub(bounds.max, centre)));
    if (!(radius > 0))
        radius = 1.0;
    const double aspect = static_cast<double>(width) / height;

    const auto [direction, up] = axesOf(view);

    // The vertices in the camera's frame (right, up, towards the eye), relative to the box centre.
    // Framing the vertices rather than the box keeps thin diagonal shapes from looking lost.
    const Point right = normalized(cross(up, direction));
    const Point screenUp = cross(direction, right);
    auto [inView, low, high] = inCameraFrame(mesh, centre, {right, screenUp, direction});
    // Aim at the middle of what the view sees.
    const double midRight = (low[0] + high[0]) / 2, midUp = (low[1] + high[1]) / 2;
    const Point target{centre[0] + right[0] * midRight + screenUp[0] * midUp,
                       centre[1] + right[1] * midRight + screenUp[1] * midUp,
                       centre[2] + right[2] * midRight + screenUp[2] * midUp};
    for (Point& p : inView) {
        p[0] -= midRight;
        p[1] -= midUp;
    }

    double distance = 3 * radius;
    if (view == View::Persp) {
        const double fovY = 30.0 * kPi / 180.0;
        const double tanY = std::tan(fovY / 2), tanX = tanY * aspect;
        // Far enough back that every vertex falls inside the frustum, with a margin.
        distance = 0;
        for (const Point& p : inView)
            distance = std::max({distance, p[2] + kMargin * std::abs(p[0]) / tanX, p[2] + kMargin * std::abs(p[1]) / tanY});
        if (!(distance > 0))
            distance = 3 * radius;
        camera.projection = perspective(fovY, aspect, std::max(distance - 2.2 * radius, distance * 0.01),
                                        distance + 2.2 * radius);
    } else {
        double halfWidth = kMargin * std::max((high[0] - low[0]) / 2, 1e-3 * radius);
        double halfHeight = kMargin * std::max((high[1] - low[1]) / 2, 1e-3 * radius);
        if (halfWidth / halfHeight < aspect)
            halfWidth = halfHeight * aspect;
        else
            halfHeight = halfWidth / aspect;
        camera.projection = ortho(halfWidth, halfHeight, distance - 2.2 * radius, distance + 2.2 * radius);
    }
    const Point eye{target[0] + direction[0] * distance, target[1] + direction[1] * distance,
                    target[2] + direction[2] * distance};
    camera.modelView = lookAt(eye, target, up);
    return camera;
}

}  // namespace kyscatter
