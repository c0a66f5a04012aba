// What each accepted point lies on, derived on the host from its triangle and weights.
#include "surfaceData.h"

#include "geometry/surfaceGeometry.h"

void describeSurface(const ScatterMesh& mesh, const SampleSurface& samples, SurfaceData& surface)
{
    const size_t count = samples.ids.size();
    surface.ids = samples.ids;
    surface.normals.resize(3 * count);
    surface.rotations.resize(3 * count);
    surface.faceIds.resize(count);
    surface.barycentric.resize(3 * count);
    surface.triangleVertices.resize(3 * count);
    for (size_t i = 0; i < count; ++i) {
        const int tri = samples.triId[i];
        const int* vertices = &mesh.triangleVertices[3 * static_cast<size_t>(tri)];
        double* n = &surface.normals[3 * i];
        triangleNormal(triangleCorners(mesh.points.data(), vertices), n);
        rotationOntoNormal(n, &surface.rotations[3 * i]);
        surface.faceIds[i] = mesh.trianglePolygons.empty() ? tri : mesh.trianglePolygons[tri];
        const double u = samples.u[i], v = samples.v[i];
        surface.barycentric[3 * i] = 1.0 - u - v;
        surface.barycentric[3 * i + 1] = u;
        surface.barycentric[3 * i + 2] = v;
        for (int k = 0; k < 3; ++k)
            surface.triangleVertices[3 * i + k] = vertices[k];
    }
}
