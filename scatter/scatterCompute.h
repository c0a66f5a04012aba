// The scatter compute without Maya: a triangle mesh and the node's settings in, the accepted points out.
// The node converts Maya's mesh and attributes into these plain arrays; tests, tools and benchmarks run the very
// same stages directly, and may watch each stage's results through an observer.
#pragma once

#include <cstddef>
#include <vector>

#include "controls.h"
#include "gridShape.h"


// A density map painted in UV space: one channel of a texture, sampled bilinearly and repeating at each candidate's
// UV, which its triangle's corner UVs give.
struct DensityTexture {
    std::vector<float> texels;     // width * height, row after row from v = 0 up; empty: no texture. Samples are
                                   // clamped to [0, 1]; one that is not a number weighs 0
    int width = 0;
    int height = 0;
    std::vector<float> cornerUVs;  // u, v at each triangle corner, six per triangle; NaN: no UVs there, weight 0
};

struct ScatterMesh {
    std::vector<float> points;          // x, y, z per vertex, object space
    std::vector<int> triangleVertices;  // three vertex indices per triangle
    std::vector<int> trianglePolygons;  // the polygon of each triangle, for surface data; empty: the triangle's own
    // A density map: the weight at each triangle corner, three per triangle in the order of triangleVertices; empty:
    // none. Weights are clamped to [0, 1] where they are interpolated; 0 keeps no point, 1 the points of no map.
    std::vector<float> cornerWeights;
    DensityTexture densityTexture;  // a density map from a texture, in place of cornerWeights
};

struct ScatterSettings {
    float radius = 1.0f;
    GridBox box = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};  // all zero: unset, the mesh's own bounds
    int candidateCount = kDefaultCandidateCount;
    int seed = kDefaultSeed;
    // How many times each still-empty cell offers its next candidate; with the stable layout, how many points each
    // stratum offers, all in one launch.
    int passes = kDefaultPassCount;
    bool strictRadius = false;       // test every cell that can hold a point closer than the radius, not just the 26
    bool surfaceData = false;        // also what each point lies on: its triangle's normal, polygon and weights
    bool stableLayout = false;       // each triangle draws its own candidates: an edit moves only the points near it
};

// Per point, in the order of the points; filled only when asked for.
struct SurfaceData {
    std::vector<double> normals;      // x, y, z: the unit normal of the point's triangle, corners in order
    std::vector<double> rotations;    // x, y, z in degrees, rotation order XYZ: turns +Y onto the normal, no twist
    std::vector<unsigned int> ids;    // the point's candidate number: the same for the same inputs
    std::vector<int> faceIds;         // the polygon the point lies on
    std::vector<double> barycentric;  // the point's weights of its triangle's corners A, B, C
    std::vector<int> triangleVertices;  // the vertex numbers of those corners, which a deformation keeps
};

struct ScatterResult {
    std::vector<float> points;  // x, y, z per accepted sample, in ascending order of their cells' keys
    SurfaceData surface;
    // Where the compute stopped for want of memory: what the step asked for, and what its road had free.
    unsigned long long memoryNeeded = 0, memoryFree = 0;
    std::size_t pointCount() const { return points.size() / 3; }
};

enum class ScatterStatus {
    ok,
    failed,           // reported where it happened
    notEnoughMemory,  // a budget check found too little free device memory; the caller reports it
};

// A read-only window on a device array, valid during the observer call that hands it out.
template <typename T>
struct DeviceArray {
    const T* data = nullptr;
    std::size_t size = 0;
    std::vector<T> toHost() const;
};

// The cell grid of a compute: cell edge, corner and key strides.
struct ScatterGrid {
    float cellSize = 0.0f;
    float minX = 0.0f, minY = 0.0f, minZ = 0.0f;
    int stepZ = 1;
    int stepY = 1;
    // Where the grid has more cells than a 32-bit key numbers: it is decided in layers of this many rows along Y,
    // each on keys of its own, and its own keys wrap. 0: one grid.
    int layerRows = 0;
    int rowCount = 0;
};

// A cell by its coordinates along x, y and z.
struct CellCoordinates {
    int x = 0, y = 0, z = 0;
};

// The cell a point is filed in, and a cell's key, as the kernels compute them.
CellCoordinates cellOf(const ScatterGrid& grid, float x, float y, float z);
unsigned int cellKeyOf(const ScatterGrid& grid, const CellCoordinates& cell);

struct AreaView {
    DeviceArray<float> cumulativeArea;  // inclusive prefix sum of the triangle areas (three entries per triangle)
    int triCount = 0;
    float totalArea = 0.0f;
};

struct CandidateView {
    DeviceArray<float> x, y, z, u, v;
    DeviceArray<int> triId;
    DeviceArray<unsigned int> cellId;  // the cell key of each candidate, before the sort
    ScatterGrid grid;
};

struct CellTableView {
    DeviceArray<unsigned int> sortedKeys;  // cell keys in ascending order
    DeviceArray<unsigned int> map;         // sorted position to candidate number
    DeviceArray<unsigned int> bucketCounts;
    unsigned int occupiedCellCount = 0;
    unsigned int hashTableSize = 0;
};

// Called at each stage boundary, in this order; a compute that ends early stops calling. With a density map, whose
// levels each have a cell table of their own, cellTableReady is not called.
class StageObserver {
public:
    virtual ~StageObserver() = default;
    virtual void areasReady(const AreaView&) {}
    virtual void candidatesReady(const CandidateView&) {}
    // The stable layout keeps only its candidates' cell keys: given true, it draws their places once more for
    // candidatesReady, at 32 bytes a candidate. Otherwise the view's places are empty.
    virtual bool wantsCandidatePlaces() const { return false; }
    virtual void cellTableReady(const CellTableView&) {}
    virtual void phasesReady() {}
    virtual void selectionDone() {}
    virtual void samplesReady(const ScatterResult&) {}
};

// The grid a compute files its candidates in: the box widened to cover the mesh, cells of edge radius / sqrt(3).
// Refuses, with a report, a radius or box that is not finite and a grid whose keys would not fit 32 bits even in
// layers of three rows.
ScatterStatus planGrid(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterGrid& grid);

// Runs every stage on the device. Failures other than a short budget are reported on the standard streams as they
// happen. Thrust's exceptions (a failed device allocation or operation) pass out after every buffer is released.
ScatterStatus scatterPoints(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result,
                            StageObserver* observer = nullptr);
