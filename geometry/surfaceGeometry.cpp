#include "surfaceGeometry.h"

#include <cmath>
#include <cstddef>
#include <sstream>

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// (B - A) x (C - A): along the normal, as long as twice the area.
void cross(const TriangleCorners& triangle, double w[3])
{
    const double(&c)[3][3] = triangle.corner;
    const double e1[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
    const double e2[3] = {c[2][0] - c[0][0], c[2][1] - c[0][1], c[2][2] - c[0][2]};
    w[0] = e1[1] * e2[2] - e1[2] * e2[1];
    w[1] = e1[2] * e2[0] - e1[0] * e2[2];
    w[2] = e1[0] * e2[1] - e1[1] * e2[0];
}

bool isWholeNumber(double value)
{
    return value >= 0.0 && value == std::floor(value) && std::isfinite(value);
}

}  // namespace

bool vertexIndices(const double named[3], double vertexCount, int vertices[3])
{
    for (int k = 0; k < 3; ++k) {
        // In range before the conversion, so that it meets only numbers an int holds; NaN fails the comparison.
        if (!(named[k] >= 0.0 && named[k] < vertexCount))
            return false;
        vertices[k] = static_cast<int>(named[k]);
        if (vertices[k] != named[k])
            return false;
    }
    return true;
}

TriangleCorners triangleCorners(const float* points, const int vertices[3])
{
    TriangleCorners triangle;
    for (int k = 0; k < 3; ++k)
        for (int axis = 0; axis < 3; ++axis)
            triangle.corner[k][axis] = points[3 * static_cast<std::size_t>(vertices[k]) + axis];
    return triangle;
}

void triangleNormal(const TriangleCorners& triangle, double n[3])
{
    double w[3];
    cross(triangle, w);
    const double length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    if (!(length > 0.0)) {
        n[0] = 0.0, n[1] = 1.0, n[2] = 0.0;
        return;
    }
    for (int axis = 0; axis < 3; ++axis)
        n[axis] = w[axis] / length;
}

double triangleArea(const TriangleCorners& triangle)
{
    double w[3];
    cross(triangle, w);
    return 0.5 * std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
}

void pointOnTriangle(const TriangleCorners& triangle, const double weights[3], double p[3])
{
    const double(&c)[3][3] = triangle.corner;
    for (int axis = 0; axis < 3; ++axis)
        p[axis] = weights[0] * c[0][axis] + weights[1] * c[1][axis] + weights[2] * c[2][axis];
}

void rotationOntoNormal(const double n[3], double degrees[3])
{
    // Rz(z) Rx(x) (0, 1, 0) = (-sin z cos x, cos z cos x, sin x).
    const double x = std::asin(std::fmax(-1.0, std::fmin(1.0, n[2])));
    const double z = std::atan2(-n[0], n[1]);
    degrees[0] = x * kDegreesPerRadian;
    degrees[1] = 0.0;
    degrees[2] = z * kDegreesPerRadian;
}

bool placeOnTriangle(const float* points, std::size_t vertexCount, const double named[3], const double weights[3],
                     PlacedPoint& placed)
{
    int corners[3];
    if (!vertexIndices(named, static_cast<double>(vertexCount), corners))
        return false;
    const TriangleCorners triangle = triangleCorners(points, corners);
    pointOnTriangle(triangle, weights, placed.position);
    triangleNormal(triangle, placed.normal);
    rotationOntoNormal(placed.normal, placed.rotation);
    return true;
}

std::string unplacedPoint(std::size_t point, const double named[3], std::size_t vertexCount, const std::string& mesh,
                          const std::string& hint)
{
    std::ostringstream message;
    message << "point " << point << " lies on the triangle of vertices " << named[0] << " " << named[1] << " "
            << named[2];
    if (isWholeNumber(named[0]) && isWholeNumber(named[1]) && isWholeNumber(named[2]))
        message << ", but " << mesh << " has " << vertexCount << " vertices" << hint;
    else
        message << ", which are no vertex numbers";
    return message.str();
}
