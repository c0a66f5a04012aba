// The scatter compute as a sequence of stages: the mesh on the device and its area table, the grid, the candidates;
// then the cells, their phases, the selection and the collected samples (cellStages.cu).
#include <cuda_runtime.h>
#include <curand.h>

#include <thrust/device_vector.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <numeric>
#include <vector>

#include "../kernels/kyScatterPointsKernels.h"
#include "gpuBudget.h"
#include "stableLayout.h"
#include "stages.h"
#include "textureStage.h"

namespace {

const char* baseName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Reports a failed runtime or cuRAND call at the line that made it.
bool failedAt(bool failed, int line)
{
    if (failed)
        printf("Error at %s:%d\n", baseName(__FILE__), line);
    return failed;
}

// Owns the one raw device buffer of a compute; frees it on every exit, exceptions included.
class DeviceBuffer {
public:
    DeviceBuffer() = default;
    DeviceBuffer(const DeviceBuffer&) = delete;
    DeviceBuffer& operator=(const DeviceBuffer&) = delete;
    ~DeviceBuffer()
    {
        if (data_ != nullptr)
            cudaFree(data_);
    }

    cudaError_t allocate(size_t bytes) { return cudaMalloc(&data_, bytes); }

    cudaError_t release()
    {
        const cudaError_t error = cudaFree(data_);
        if (error == cudaSuccess)
            data_ = nullptr;
        return error;
    }

    float* floats() const { return static_cast<float*>(data_); }

private:
    void* data_ = nullptr;
};

// Owns the random number generator of a compute.
class RandomGenerator {
public:
    RandomGenerator() = default;
    RandomGenerator(const RandomGenerator&) = delete;
    RandomGenerator& operator=(const RandomGenerator&) = delete;
    ~RandomGenerator()
    {
        if (created_)
            curandDestroyGenerator(generator_);
    }

    curandStatus_t create()
    {
        const curandStatus_t result = curandCreateGenerator(&generator_, CURAND_RNG_PSEUDO_DEFAULT);
        created_ = result == CURAND_STATUS_SUCCESS;
        return result;
    }

    curandStatus_t destroy()
    {
        const curandStatus_t result = curandDestroyGenerator(generator_);
        if (result == CURAND_STATUS_SUCCESS)
            created_ = false;
        return result;
    }

    curandGenerator_t get() const { return generator_; }

private:
    curandGenerator_t generator_ = nullptr;
    bool created_ = false;
};

// The random numbers of one compute, from their buffer's allocation to the generator's destruction.
struct RandomSource {
    DeviceBuffer buffer;
    RandomGenerator generator;
};

struct DeviceMesh {
    thrust::device_vector<float> meshPoints;
    thrust::device_vector<int> triIds;
    thrust::device_vector<float> cumulativeArea;
    int triCount = 0;
    float totalArea = 0.0f;
};

template <typename T>
void releaseDeviceVector(thrust::device_vector<T>& v)
{
    v.resize(0);
    v.shrink_to_fit();
}

bool allFinite(const float* values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i]))
            return false;
    return true;
}

ScatterStatus uploadPoints(const ScatterMesh& mesh, DeviceMesh& surface)
{
    const size_t vertexCount = mesh.points.size() / 3;
    const ScatterStatus budget = budgetFor(static_cast<unsigned long long>(vertexCount) * 12);
    if (budget != ScatterStatus::ok)
        return budget;
    surface.meshPoints.resize(3 * vertexCount, 0.0f);
    if (!allFinite(mesh.points.data(), mesh.points.size())) {
        std::cerr << "ERROR the mesh has vertex positions that are not finite numbers; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    thrust::copy(mesh.points.begin(), mesh.points.end(), surface.meshPoints.begin());
    return ScatterStatus::ok;
}

ScatterStatus uploadTriangles(const ScatterMesh& mesh, DeviceMesh& surface)
{
    const std::vector<int>& corners = mesh.triangleVertices;
    const ScatterStatus budget = budgetFor(static_cast<unsigned long long>(corners.size()) * 4);
    if (budget != ScatterStatus::ok)
        return budget;
    const long long vertexCount = static_cast<long long>(mesh.points.size() / 3);
    for (int vertex : corners) {
        if (vertex < 0 || vertex >= vertexCount) {
            std::cerr << "ERROR the mesh has a triangle with vertex index " << vertex << " outside 0.."
                      << vertexCount - 1 << "; no points computed" << std::endl;
            return ScatterStatus::failed;
        }
    }
    const size_t triangleCount = corners.size() / 3;
    if (!mesh.trianglePolygons.empty() && mesh.trianglePolygons.size() != triangleCount) {
        std::cerr << "ERROR the mesh names the polygons of " << mesh.trianglePolygons.size() << " triangles but has "
                  << triangleCount << "; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    surface.triIds.resize(corners.size(), 0);
    thrust::copy(corners.begin(), corners.end(), surface.triIds.begin());
    surface.triCount = static_cast<int>(triangleCount);
    return ScatterStatus::ok;
}

// Areas of all triangles and their inclusive prefix sum; the table is three entries per triangle, zero past the
// triangles, so its last entry is the total.
ScatterStatus computeAreas(DeviceMesh& surface)
{
    const size_t n = surface.triIds.size();
    const ScatterStatus budget = budgetFor(static_cast<unsigned long long>(n) * 4);
    if (budget != ScatterStatus::ok)
        return budget;
    surface.cumulativeArea.resize(n, 0.0f);
    if (!launchChecked({"calculateArea", "Failed to launch calculateArea kernel, error code: ",
                        blocksFor(surface.triCount, 64), 64},
                       calculateArea, raw(surface.meshPoints), raw(surface.triIds), raw(surface.cumulativeArea),
                       surface.triCount))
        return ScatterStatus::failed;
    // Added up on the host, left to right: a device scan adds in an order of its own, and the table decides where
    // every candidate falls, so both roads must add in one order.
    std::vector<float> table(n);
    thrust::copy(surface.cumulativeArea.begin(), surface.cumulativeArea.end(), table.begin());
    std::partial_sum(table.begin(), table.end(), table.begin());
    thrust::copy(table.begin(), table.end(), surface.cumulativeArea.begin());
    surface.totalArea = table[n - 1];
    if (!std::isfinite(surface.totalArea)) {
        std::cerr << "ERROR the mesh's surface area is not a finite number; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    return ScatterStatus::ok;
}

// The grid covers every triangle corner; unused vertices do not count.
void meshBounds(const ScatterMesh& mesh, float lo[3], float hi[3])
{
    for (int axis = 0; axis < 3; ++axis) {
        lo[axis] = INFINITY;
        hi[axis] = -INFINITY;
    }
    for (int vertex : mesh.triangleVertices) {
        const float* p = &mesh.points[3 * static_cast<size_t>(vertex)];
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::fmin(lo[axis], p[axis]);
            hi[axis] = std::fmax(hi[axis], p[axis]);
        }
    }
}

// Controls that reach the compute through a connection are not held to the attributes' limits.
ScatterStatus checkControls(const ScatterSettings& settings)
{
    if (settings.candidateCount < kMinCandidateCount || settings.candidateCount > kMaxCandidateCount) {
        std::cerr << "ERROR candidateCount " << settings.candidateCount << " is outside " << kMinCandidateCount << ".."
                  << kMaxCandidateCount << ", the most candidates the cell table can number with 32-bit indices"
                  << "; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    if (settings.passes < kMinPassCount || settings.passes > kMaxPassCount) {
        std::cerr << "ERROR passes " << settings.passes << " is outside " << kMinPassCount << ".." << kMaxPassCount
                  << "; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    return ScatterStatus::ok;
}

}  // namespace

ScatterStatus planGrid(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterGrid& grid)
{
    const float radius = settings.radius;
    const GridBox& box = settings.box;
    if (!(std::isfinite(radius) && radius > 0.0f)) {
        std::cerr << "ERROR radius " << radius << " is not a positive finite number; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    const float boxValues[5] = {box.minX, box.minY, box.minZ, box.maxX, box.maxZ};
    if (!allFinite(boxValues, 5)) {
        std::cerr << "ERROR the bounding box has values that are not finite numbers; no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    float meshMin[3], meshMax[3];
    meshBounds(mesh, meshMin, meshMax);
    GridBox covering = coverMesh(box, meshMin, meshMax);
    if (settings.stableLayout)
        covering = anchorToPhaseBoxes(covering, radius);
    const GridShape shape = gridShapeFor(radius, covering, meshMax[1]);
    if (!fitsCellKeysInLayers(shape)) {
        std::cerr << "ERROR radius " << radius << " is too small for the extent " << (covering.maxX - covering.minX)
                  << " x " << (meshMax[1] - covering.minY) << " x " << (covering.maxZ - covering.minZ)
                  << ": the grid would need " << shape.cellCount
                  << " cells, and even a layer of three cell rows more than a 32-bit cell key can number; no points "
                     "computed"
                  << std::endl;
        return ScatterStatus::failed;
    }
    grid = {shape.cellSize, covering.minX, covering.minY, covering.minZ, shape.stepZ, shape.stepY,
            shape.layerRows, shape.rowCount};
    return ScatterStatus::ok;
}

namespace {

// The random buffer and the candidate arrays: one budget check for both. The default compute's figure is fixed; a
// weighted one counts all it holds at once, the buffer and the seven arrays.
ScatterStatus drawRandoms(const ScatterSettings& settings, bool weighted, RandomSource& randoms)
{
    const int count = settings.candidateCount;
    const ScatterStatus budget = budgetFor((weighted ? 32ull : 24ull) * static_cast<unsigned long long>(count) + 8);
    if (budget != ScatterStatus::ok)
        return budget;
    if (failedAt(randoms.buffer.allocate(count * sizeof(float)) != cudaSuccess, __LINE__))
        return ScatterStatus::failed;
    if (failedAt(randoms.generator.create() != CURAND_STATUS_SUCCESS, __LINE__))
        return ScatterStatus::failed;
    const curandGenerator_t generator = randoms.generator.get();
    // Any int is a seed; negative ones are taken modulo 2^32.
    const unsigned long long seed = static_cast<unsigned int>(settings.seed);
    if (failedAt(curandSetPseudoRandomGeneratorSeed(generator, seed) != CURAND_STATUS_SUCCESS, __LINE__))
        return ScatterStatus::failed;
    if (failedAt(curandGenerateUniform(generator, randoms.buffer.floats(), count) != CURAND_STATUS_SUCCESS, __LINE__))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}

ScatterStatus placeCandidates(DeviceMesh& surface, const ScatterGrid& grid, RandomSource& randoms,
                              CandidateArrays& c)
{
    if (!launchChecked({"generateRandomPoints", "Failed to launch generateRandomPoints kernel, error code: ",
                        blocksFor(c.count, 64), 64},
                       generateRandomPoints, static_cast<const float*>(randoms.buffer.floats()), raw(c.x), raw(c.y),
                       raw(c.z), raw(c.u), raw(c.v), raw(c.triId), raw(c.cellId), raw(surface.meshPoints),
                       raw(surface.triIds), raw(surface.cumulativeArea), surface.totalArea, surface.triCount, c.count,
                       grid.cellSize, grid.minX, grid.minY, grid.minZ, grid.stepZ, grid.stepY))
        return ScatterStatus::failed;
    // The random source and the mesh go back before the cell tables are allocated.
    if (failedAt(randoms.generator.destroy() != CURAND_STATUS_SUCCESS, __LINE__))
        return ScatterStatus::failed;
    if (failedAt(randoms.buffer.release() != cudaSuccess, __LINE__))
        return ScatterStatus::failed;
    releaseDeviceVector(surface.meshPoints);
    releaseDeviceVector(surface.triIds);
    releaseDeviceVector(surface.cumulativeArea);
    return ScatterStatus::ok;
}

DeviceTriangles trianglesOf(DeviceMesh& surface)
{
    return {raw(surface.meshPoints), raw(surface.triIds), surface.triCount};
}

// The mesh stays for the selection, which draws the candidates again and further points of their strata on it.
// Without a density map or layers to weigh and file them by, only the candidates' keys are kept.
ScatterStatus makeStableCandidates(DeviceMesh& surface, const ScatterGrid& grid, const ScatterSettings& settings,
                                   bool keysOnly, CandidateArrays& candidates)
{
    releaseDeviceVector(surface.cumulativeArea);
    return keysOnly ? layStableKeys(trianglesOf(surface), grid, settings, candidates)
                    : layStableCandidates(trianglesOf(surface), grid, settings, candidates);
}

ScatterStatus makeCandidates(DeviceMesh& surface, const ScatterGrid& grid, const ScatterSettings& settings,
                             bool weighted, CandidateArrays& candidates)
{
    if (settings.stableLayout)
        return makeStableCandidates(surface, grid, settings, !weighted, candidates);
    RandomSource randoms;
    const ScatterStatus status = drawRandoms(settings, weighted, randoms);
    if (status != ScatterStatus::ok)
        return status;
    allocateCandidates(settings.candidateCount, candidates);
    return placeCandidates(surface, grid, randoms, candidates);
}

AreaView areaViewOf(const DeviceMesh& surface)
{
    return {viewOf(surface.cumulativeArea), surface.triCount, surface.totalArea};
}

CandidateView candidateViewOf(const CandidateArrays& c, const ScatterGrid& grid)
{
    return {viewOf(c.x), viewOf(c.y), viewOf(c.z), viewOf(c.u), viewOf(c.v), viewOf(c.triId), viewOf(c.cellId), grid};
}

// Candidates kept as keys alone are drawn once more for an observer that asks for their places.
ScatterStatus observeCandidates(DeviceMesh& surface, const ScatterGrid& grid, const ScatterSettings& settings,
                                const CandidateArrays& candidates, StageObserver& watch)
{
    if (candidates.x.size() == static_cast<size_t>(candidates.count) || !watch.wantsCandidatePlaces()) {
        watch.candidatesReady(candidateViewOf(candidates, grid));
        return ScatterStatus::ok;
    }
    CandidateArrays placed;
    placed.strata.counts = candidates.strata.counts;
    placed.strata.offsets = candidates.strata.offsets;
    const ScatterStatus status = placeCountedCandidates(trianglesOf(surface), grid, settings,
                                                       static_cast<unsigned int>(candidates.count), placed);
    if (status == ScatterStatus::ok)
        watch.candidatesReady(candidateViewOf(placed, grid));
    return status;
}

}  // namespace

void allocateCandidates(int count, CandidateArrays& candidates)
{
    candidates.count = count;
    for (thrust::device_vector<float>* field :
         {&candidates.x, &candidates.y, &candidates.z, &candidates.u, &candidates.v})
        field->resize(count, 0.0f);
    candidates.triId.resize(count, 0);
    candidates.cellId.resize(count, 0u);
}

namespace {

// The request a budget check last refused on this thread, for the compute's result.
thread_local unsigned long long refusedBytes = 0, refusedFree = 0;

}  // namespace

ScatterStatus budgetFor(unsigned long long bytes)
{
    unsigned long long freeBytes = 0;
    switch (checkGPUMemoryBudget(static_cast<unsigned long>(bytes), &freeBytes)) {
    case BudgetResult::enough:
        return ScatterStatus::ok;
    case BudgetResult::notEnough:
        refusedBytes = bytes;
        refusedFree = freeBytes;
        return ScatterStatus::notEnoughMemory;
    case BudgetResult::queryFailed:
        break;  // already reported; the host process must live on
    }
    return ScatterStatus::failed;
}

namespace {

ScatterStatus computeStages(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result,
                            StageObserver& watch)
{
    DeviceMesh surface;
    ScatterStatus status = checkControls(settings);
    if (status == ScatterStatus::ok)
        status = checkDensityMap(mesh);
    if (status == ScatterStatus::ok)
        status = uploadPoints(mesh, surface);
    if (status == ScatterStatus::ok)
        status = uploadTriangles(mesh, surface);
    if (status != ScatterStatus::ok || surface.triCount == 0)
        return status;  // no triangles: nothing to scatter on
    status = computeAreas(surface);
    if (status != ScatterStatus::ok || surface.totalArea <= 0.0f)
        return status;  // only degenerate triangles: no surface to sample
    watch.areasReady(areaViewOf(surface));

    ScatterGrid grid;
    status = planGrid(mesh, settings, grid);
    if (status != ScatterStatus::ok)
        return status;
    // A layered grid is decided layer by layer as a density map's levels are, at full weight where there is no map.
    const bool weighted = hasDensityMap(mesh) || grid.layerRows > 0;
    CandidateArrays candidates;
    status = makeCandidates(surface, grid, settings, weighted, candidates);
    if (status != ScatterStatus::ok || candidates.count == 0)
        return status;  // no candidates: no triangle of the stable layout drew one
    status = observeCandidates(surface, grid, settings, candidates, watch);
    if (status != ScatterStatus::ok)
        return status;
    if (weighted)
        return selectWeightedSamples(mesh, candidates, grid, settings, result, watch);
    if (settings.stableLayout)
        return selectStableSamples(mesh, candidates, grid, settings, result, watch);
    return selectSamples(mesh, candidates, grid, settings, result, watch);
}

}  // namespace

ScatterStatus scatterPoints(const ScatterMesh& mesh, const ScatterSettings& settings, ScatterResult& result,
                            StageObserver* observer)
{
    StageObserver silent;
    result = ScatterResult();
    refusedBytes = refusedFree = 0;
    const ScatterStatus status = computeStages(mesh, settings, result, observer != nullptr ? *observer : silent);
    if (status == ScatterStatus::notEnoughMemory) {
        result.memoryNeeded = refusedBytes;
        result.memoryFree = refusedFree;
    }
    return status;
}

CellCoordinates cellOf(const ScatterGrid& grid, float x, float y, float z)
{
    return {cellCoordinate(x - grid.minX, grid.cellSize), cellCoordinate(y - grid.minY, grid.cellSize),
            cellCoordinate(z - grid.minZ, grid.cellSize)};
}

unsigned int cellKeyOf(const ScatterGrid& grid, const CellCoordinates& cell)
{
    return cellKey(cell.x, cell.y, cell.z, grid.stepZ, grid.stepY);
}

template <typename T>
std::vector<T> DeviceArray<T>::toHost() const
{
    std::vector<T> host(size);
    thrust::copy(thrust::device_pointer_cast(data), thrust::device_pointer_cast(data) + size, host.begin());
    return host;
}

template struct DeviceArray<float>;
template struct DeviceArray<int>;
template struct DeviceArray<unsigned int>;
