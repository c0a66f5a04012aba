// What each accepted point lies on, derived on the host from its triangle and weights.
#include <cmath>

#include "surfaceData.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// The unit normal of triangle `tri`, by the right-hand rule over its corners A, B, C. A triangle whose corners lie
// on a line has none; its points stand upright (+Y) rather than carry NaN to an instancer. Such a triangle can still
// receive candidates: the last triangle takes a random number that rounds onto the total area, and float rounding
// can give a flat triangle some area.
void triangleNormal(const ScatterMesh& mesh, int tri, double n[3])
{
    double corner[3][3];
    for (int k = 0; k < 3; ++k)
        for (int axis = 0; axis < 3; ++axis)
            corner[k][axis] = mesh.points[3 * static_cast<size_t>(mesh.triangleVertices[3 * tri + k]) + axis];
    const double e1[3] = {corner[1][0] - corner[0][0], corner[1][1] - corner[0][1], corner[1][2] - corner[0][2]};
    const double e2[3] = {corner[2][0] - corner[0][0], corner[2][1] - corner[0][1], corner[2][2] - corner[0][2]};
    const double w[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    if (!(length > 0.0)) {
        n[0] = 0.0, n[1] = 1.0, n[2] = 0.0;
        return;
    }
    for (int axis = 0; axis < 3; ++axis)
        n[axis] = w[axis] / length;
}

}  // namespace

void rotationOntoNormal(const double n[3], double degrees[3])
{
    // Rz(z) Rx(x) (0, 1, 0) = (-sin z cos x, cos z cos x, sin x).
    const double x = std::asin(std::fmax(-1.0, std::fmin(1.0, n[2])));
    const double z = std::atan2(-n[0], n[1]);
    degrees[0] = x * kDegreesPerRadian;
    degrees[1] = 0.0;
    degrees[2] = z * kDegreesPerRadian;
}

void describeSurface(const ScatterMesh& mesh, const SampleSurface& samples, SurfaceData& surface)
{
    const size_t count = samples.ids.size();
    surface.ids = samples.ids;
    surface.normals.resize(3 * count);
    surface.rotations.resize(3 * count);
    surface.faceIds.resize(count);
    surface.barycentric.resize(3 * count);
    for (size_t i = 0; i < count; ++i) {
        const int tri = samples.triId[i];
        double* n = &surface.normals[3 * i];
        triangleNormal(mesh, tri, n);
        rotationOntoNormal(n, &surface.rotations[3 * i]);
        surface.faceIds[i] = mesh.trianglePolygons.empty() ? tri : mesh.trianglePolygons[tri];
        const double u = samples.u[i], v = samples.v[i];
        surface.barycentric[3 * i] = 1.0 - u - v;
        surface.barycentric[3 * i + 1] = u;
        surface.barycentric[3 * i + 2] = v;
    }
}
