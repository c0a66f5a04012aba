// The attach node's benchmark scene: a record of surface data for points on random triangles of a rest grid, their
// surface data derived by the scatter core's own code, and the grid deformed as a deformer would move it.
#pragma once

#include <maya/MDoubleArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/meshAndPoints.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "geometry/surfaceGeometry.h"
#include "meshes.h"
#include "scatter/surfaceData.h"

namespace attachScene {

constexpr int kTriangles = 200000;

inline MObject meshData(const ScatterMesh& mesh)
{
    const std::vector<int> counts(mesh.triangleVertices.size() / 3, 3);
    return mayaStandin::meshData(mesh.points.data(), mesh.points.size() / 3, counts, mesh.triangleVertices);
}

// The grid moved up and down by `lift` times a wave, every vertex.
inline ScatterMesh deformedGrid(const ScatterMesh& rest, float lift)
{
    ScatterMesh moved = rest;
    for (size_t v = 0; v < moved.points.size(); v += 3)
        moved.points[v + 1] += lift * std::sin(moved.points[v] + moved.points[v + 2]);
    return moved;
}

template <typename T>
void appendVectors(MFnArrayAttrsData& fn, const char* name, const std::vector<T>& xyz)
{
    MVectorArray channel = fn.vectorArray(name);
    for (size_t i = 0; i + 2 < xyz.size(); i += 3)
        channel.append(MVector(static_cast<double>(xyz[i]), static_cast<double>(xyz[i + 1]),
                               static_cast<double>(xyz[i + 2])));
}

template <typename T>
void appendDoubles(MFnArrayAttrsData& fn, const char* name, const std::vector<T>& values)
{
    MDoubleArray channel = fn.doubleArray(name);
    for (T value : values)
        channel.append(static_cast<double>(value));
}

// Random samples put in the order a scatter gives its points: by the key of the cell each lies in, in a grid of about
// one point a cell.
inline void inCellOrder(const ScatterMesh& mesh, SampleSurface& samples)
{
    ScatterSettings settings;
    settings.radius = std::sqrt(100.0f / static_cast<float>(samples.ids.size()));
    ScatterGrid grid;
    if (planGrid(mesh, settings, grid) != ScatterStatus::ok)
        return;
    std::vector<std::pair<unsigned int, size_t>> keys;
    for (size_t i = 0; i < samples.ids.size(); ++i) {
        double w[3] = {1.0 - samples.u[i] - samples.v[i], samples.u[i], samples.v[i]}, p[3];
        pointOnTriangle(triangleCorners(mesh.points.data(), &mesh.triangleVertices[3 * size_t(samples.triId[i])]), w,
                        p);
        const CellCoordinates cell = cellOf(grid, static_cast<float>(p[0]), static_cast<float>(p[1]),
                                            static_cast<float>(p[2]));
        keys.emplace_back(cellKeyOf(grid, cell), i);
    }
    std::sort(keys.begin(), keys.end());
    SampleSurface sorted;
    for (const auto& key : keys) {
        sorted.ids.push_back(static_cast<unsigned int>(sorted.ids.size()));
        sorted.triId.push_back(samples.triId[key.second]);
        sorted.u.push_back(samples.u[key.second]);
        sorted.v.push_back(samples.v[key.second]);
    }
    samples = sorted;
}

// A record with the scatter node's channels for `count` points spread over random triangles: in no order, or in the
// order of the scatter's cells.
inline MObject surfaceRecord(const ScatterMesh& mesh, int count, bool cellOrder = false)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> triangle(0, static_cast<int>(mesh.triangleVertices.size() / 3) - 1);
    std::uniform_real_distribution<float> weight(0.0f, 0.5f);
    SampleSurface samples;
    std::vector<double> positions;
    for (int i = 0; i < count; ++i) {
        samples.ids.push_back(static_cast<unsigned int>(i));
        samples.triId.push_back(triangle(random));
        samples.u.push_back(weight(random));
        samples.v.push_back(weight(random));
    }
    if (cellOrder)
        inCellOrder(mesh, samples);
    SurfaceData surface;
    describeSurface(mesh, samples, surface);
    for (int i = 0; i < count; ++i) {
        double p[3];
        pointOnTriangle(triangleCorners(mesh.points.data(), &surface.triangleVertices[3 * static_cast<size_t>(i)]),
                        &surface.barycentric[3 * static_cast<size_t>(i)], p);
        positions.insert(positions.end(), p, p + 3);
    }
    MFnArrayAttrsData fn;
    MObject data = fn.create();
    appendVectors(fn, "position", positions);
    appendVectors(fn, "normal", surface.normals);
    appendVectors(fn, "rotation", surface.rotations);
    appendVectors(fn, "aimDirection", surface.normals);
    appendDoubles(fn, "id", surface.ids);
    appendDoubles(fn, "faceId", surface.faceIds);
    appendVectors(fn, "barycentric", surface.barycentric);
    appendVectors(fn, "triangleVertices", surface.triangleVertices);
    return data;
}

// The rest grid and the two poses a frame alternates between.
struct Scene {
    MObject frames[2];
    MObject record;
};

inline Scene makeScene(int points, bool cellOrder = false)
{
    const ScatterMesh rest = wavyGrid(kTriangles);
    return Scene{{meshData(deformedGrid(rest, 0.2f)), meshData(deformedGrid(rest, -0.2f))},
                 surfaceRecord(rest, points, cellOrder)};
}

}  // namespace attachScene
