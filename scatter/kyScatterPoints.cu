// The scatter node's compute: candidates on the surface, the cell grid, the phased selection, the output record.
#include <cuda_runtime.h>
#include <curand.h>

#include <thrust/copy.h>
#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/reduce.h>
#include <thrust/scan.h>
#include <thrust/sequence.h>
#include <thrust/sort.h>

#include <maya/MDataHandle.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <vector>

#include "../kernels/cellGrid.h"
#include "../kernels/kyScatterPointsKernels.h"
#include "../kernels/launch.h"
#include "gpuBudget.h"
#include "gridShape.h"
#include "kyScatterPoints.h"

namespace {

const int kCandidateCount = 1000000;
const unsigned long long kRandomSeed = 1234;
const unsigned long kRandomsBudget = 24000008;
const unsigned long kSortBudget = 8000000;

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

MStatus reportMayaCall(const char* message, const MStatus& status)
{
    std::cerr << message << "\n" << status.errorString().asChar() << std::endl;
    return status;
}

MStatus reportLaunch(const char* message, cudaError_t error)
{
    std::cout << message << cudaGetErrorString(error) << std::endl;
    return MS::kFailure;
}

// Turns a budget check into the compute's answer: true when the allocation may go ahead.
bool budgetAllows(unsigned long bytes, MStatus& status)
{
    switch (checkGPUMemoryBudget(bytes)) {
    case BudgetResult::enough:
        return true;
    case BudgetResult::notEnough:
        status.perror("Not enough memory on GPU");
        return false;
    case BudgetResult::queryFailed:
        return false;  // already reported; the host process must live on
    }
    return false;
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

template <typename T>
T* raw(thrust::device_vector<T>& v)
{
    return thrust::raw_pointer_cast(v.data());
}

template <typename T>
void releaseDeviceVector(thrust::device_vector<T>& v)
{
    v.resize(0);
    v.shrink_to_fit();
}

bool allFinite(const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i]))
            return false;
    return true;
}

// Publishes the accepted samples (hash-table order) as the output record and marks the plug clean.
MStatus writeOutput(const MPlug& plug, MDataBlock& block, MStatus& status,
                    const std::vector<std::vector<unsigned int>>& hostSamples, const std::vector<float>& hostX,
                    const std::vector<float>& hostY, const std::vector<float>& hostZ)
{
    MDataHandle outHandle = block.outputValue(kyScatterPoints::outPoints, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in hOutArray = block.outputArrayValue.\n", status);
    MFnArrayAttrsData outputFn;
    MObject outputData = outputFn.create(&status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in fnOutput.create.\n", status);
    MVectorArray positions = outputFn.vectorArray("position", &status);
    const size_t bucketCount = hostSamples.empty() ? 0 : hostSamples[0].size();
    for (size_t bucket = 0; bucket < bucketCount; ++bucket) {
        for (int slot = 0; slot < kSlotsPerBucket; ++slot) {
            const unsigned int idx = hostSamples[slot][bucket];
            if (idx == kNoSample)
                continue;
            positions.append(MVector(static_cast<double>(hostX[idx]), static_cast<double>(hostY[idx]),
                                     static_cast<double>(hostZ[idx])));
        }
    }
    status = outHandle.set(outputData);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR\n", status);
    block.setClean(plug);
    return MS::kSuccess;
}

MStatus writeEmptyOutput(const MPlug& plug, MDataBlock& block, MStatus& status)
{
    return writeOutput(plug, block, status, {}, {}, {}, {});
}

MStatus computePoints(const MPlug& plug, MDataBlock& block)
{
    MStatus status;
    const int numElements = kCandidateCount;

    // Mesh.
    MDataHandle meshHandle = block.inputValue(kyScatterPoints::inMesh, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR getting inMesh", status);
    MObject meshObject = meshHandle.asMesh();
    MFnMesh meshFn(meshObject, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR MFnMesh", status);

    // Points.
    MFloatPointArray meshPointArray;
    status = meshFn.getPoints(meshPointArray, MSpace::kObject);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR meshFn.getPoints", status);
    const int vertexCount = static_cast<int>(meshPointArray.length());
    if (!budgetAllows(static_cast<unsigned long>(static_cast<int64_t>(vertexCount) * 12), status))
        return MS::kFailure;
    std::vector<float> meshPointStaging(3 * static_cast<size_t>(vertexCount), 0.0f);
    thrust::device_vector<float> meshPoints(3 * static_cast<size_t>(vertexCount), 0.0f);
    for (int i = 0; i < vertexCount; ++i) {
        meshPointStaging[3 * i] = meshPointArray[i].x;
        meshPointStaging[3 * i + 1] = meshPointArray[i].y;
        meshPointStaging[3 * i + 2] = meshPointArray[i].z;
    }
    if (!allFinite(meshPointStaging.data(), 3 * vertexCount)) {
        std::cerr << "ERROR the mesh has vertex positions that are not finite numbers; no points computed" << std::endl;
        return MS::kFailure;
    }
    meshPoints = meshPointStaging;

    // Triangles.
    MIntArray triangleCounts;
    MIntArray triangleVertices;
    status = meshFn.getTriangles(triangleCounts, triangleVertices);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR meshFn.getTriangles", status);
    const int n = static_cast<int>(triangleVertices.length());
    if (!budgetAllows(static_cast<unsigned long>(static_cast<int64_t>(n) * 4), status))
        return MS::kFailure;
    std::vector<int> triangleVertexStaging(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        const int vertex = triangleVertices[i];
        if (vertex < 0 || vertex >= vertexCount) {
            std::cerr << "ERROR the mesh has a triangle with vertex index " << vertex << " outside 0.."
                      << vertexCount - 1 << "; no points computed" << std::endl;
            return MS::kFailure;
        }
        triangleVertexStaging[i] = vertex;
    }
    thrust::device_vector<int> triIds(static_cast<size_t>(n), 0);
    triIds = triangleVertexStaging;
    const int triCount = n / 3;
    if (triCount == 0)
        return writeEmptyOutput(plug, block, status);  // nothing to scatter on

    // Areas.
    if (!budgetAllows(static_cast<unsigned long>(static_cast<int64_t>(n) * 4), status))
        return MS::kFailure;
    thrust::device_vector<float> cumulativeArea(static_cast<size_t>(n), 0.0f);
    launchKernel("calculateArea", calculateArea, static_cast<unsigned int>(triCount / 64 + 1), 64u, raw(meshPoints),
                 raw(triIds), raw(cumulativeArea), triCount);
    cudaError_t error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch calculateArea kernel, error code: ", error);
    thrust::inclusive_scan(cumulativeArea.begin(), cumulativeArea.end(), cumulativeArea.begin(), thrust::plus<float>());
    const float totalArea = cumulativeArea[n - 1];
    if (!std::isfinite(totalArea)) {
        std::cerr << "ERROR the mesh's surface area is not a finite number; no points computed" << std::endl;
        return MS::kFailure;
    }
    if (totalArea <= 0.0f)
        return writeEmptyOutput(plug, block, status);  // only degenerate triangles: no surface to sample

    // Random numbers.
    if (!budgetAllows(kRandomsBudget, status))
        return MS::kFailure;
    DeviceBuffer randoms;
    if (failedAt(randoms.allocate(numElements * sizeof(float)) != cudaSuccess, __LINE__))
        return MS::kFailure;
    RandomGenerator generator;
    if (failedAt(generator.create() != CURAND_STATUS_SUCCESS, __LINE__))
        return MS::kFailure;
    if (failedAt(curandSetPseudoRandomGeneratorSeed(generator.get(), kRandomSeed) != CURAND_STATUS_SUCCESS, __LINE__))
        return MS::kFailure;
    if (failedAt(curandGenerateUniform(generator.get(), randoms.floats(), numElements) != CURAND_STATUS_SUCCESS, __LINE__))
        return MS::kFailure;

    // Candidate arrays.
    std::vector<float> hostX(numElements, 0.0f);
    std::vector<float> hostY(numElements, 0.0f);
    std::vector<float> hostZ(numElements, 0.0f);
    thrust::device_vector<float> x(numElements, 0.0f);
    thrust::device_vector<float> y(numElements, 0.0f);
    thrust::device_vector<float> z(numElements, 0.0f);
    thrust::device_vector<float> u(numElements, 0.0f);
    thrust::device_vector<float> v(numElements, 0.0f);
    thrust::device_vector<int> triId(numElements, 0);
    thrust::device_vector<unsigned int> cellId(numElements, 0u);

    // Numeric inputs.
    float bboxMinX = block.inputValue(kyScatterPoints::boundingBoxMinX).asFloat();
    float bboxMinY = block.inputValue(kyScatterPoints::boundingBoxMinY).asFloat();
    float bboxMinZ = block.inputValue(kyScatterPoints::boundingBoxMinZ).asFloat();
    const float bboxMaxX = block.inputValue(kyScatterPoints::boundingBoxMaxX).asFloat();
    const float bboxMaxZ = block.inputValue(kyScatterPoints::boundingBoxMaxZ).asFloat();
    const float radius = block.inputValue(kyScatterPoints::radius).asFloat();
    const float box[5] = {bboxMinX, bboxMinY, bboxMinZ, bboxMaxX, bboxMaxZ};
    if (!(std::isfinite(radius) && radius > 0.0f)) {
        std::cerr << "ERROR radius " << radius << " is not a positive finite number; no points computed" << std::endl;
        return MS::kFailure;
    }
    if (!allFinite(box, 5)) {
        std::cerr << "ERROR the bounding box has values that are not finite numbers; no points computed" << std::endl;
        return MS::kFailure;
    }

    float meshMin[3] = {INFINITY, INFINITY, INFINITY};
    float meshMax[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (int i = 0; i < n; ++i) {
        const float* p = &meshPointStaging[3 * static_cast<size_t>(triangleVertexStaging[i])];
        for (int axis = 0; axis < 3; ++axis) {
            meshMin[axis] = std::fmin(meshMin[axis], p[axis]);
            meshMax[axis] = std::fmax(meshMax[axis], p[axis]);
        }
    }
    const GridBox grid = coverMesh({bboxMinX, bboxMinY, bboxMinZ, bboxMaxX, bboxMaxZ}, meshMin, meshMax);
    bboxMinX = grid.minX;
    bboxMinY = grid.minY;
    bboxMinZ = grid.minZ;

    // Grid parameters.
    const GridShape shape = gridShapeFor(radius, grid, meshMax[1]);
    if (!fitsCellKeys(shape)) {
        std::cerr << "ERROR radius " << radius << " is too small for the extent " << (grid.maxX - grid.minX) << " x "
                  << (meshMax[1] - grid.minY) << " x " << (grid.maxZ - grid.minZ) << ": the grid would need "
                  << shape.cellCount << " cells, more than a 32-bit cell key can number; no points computed"
                  << std::endl;
        return MS::kFailure;
    }
    const float cellSize = shape.cellSize;
    const int stepZ = shape.stepZ;
    const int stepY = shape.stepY;

    // Candidates.
    launchKernel("generateRandomPoints", generateRandomPoints, static_cast<unsigned int>(numElements / 64 + 1), 64u,
                 static_cast<const float*>(randoms.floats()), raw(x), raw(y), raw(z), raw(u), raw(v), raw(triId),
                 raw(cellId), raw(meshPoints), raw(triIds), raw(cumulativeArea), totalArea, triCount, numElements,
                 cellSize, bboxMinX, bboxMinY, bboxMinZ, stepZ, stepY);
    error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch generateRandomPoints kernel, error code: ", error);

    // The random source and the mesh go back before the tables are allocated.
    if (failedAt(generator.destroy() != CURAND_STATUS_SUCCESS, __LINE__))
        return MS::kFailure;
    if (failedAt(randoms.release() != cudaSuccess, __LINE__))
        return MS::kFailure;
    releaseDeviceVector(meshPoints);
    releaseDeviceVector(triIds);
    releaseDeviceVector(cumulativeArea);

    // Sort the candidates by cell.
    if (!budgetAllows(kSortBudget, status))
        return MS::kFailure;
    thrust::device_vector<unsigned int> map(numElements, 0u);
    thrust::sequence(map.begin(), map.end(), 0u, 1u);
    thrust::stable_sort_by_key(cellId.begin(), cellId.end(), map.begin(), thrust::less<unsigned int>());
    thrust::device_vector<unsigned int> aux(numElements, 0u);
    aux[0] = 1u;
    launchKernel("detectCells", detectCells, static_cast<unsigned int>(numElements / 64 + 1), 64u,
                 static_cast<const unsigned int*>(raw(cellId)), raw(aux), numElements);
    error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch detectCells kernel, error code: ", error);
    const unsigned int occupiedCellCount = thrust::reduce(aux.begin(), aux.end(), 0u, thrust::plus<unsigned int>());
    const unsigned int hashTableSize = occupiedCellCount * kBucketsPerCell;

    // The cell hash table.
    if (!budgetAllows(static_cast<unsigned long>(static_cast<uint64_t>(hashTableSize) * 64 + 120), status))
        return MS::kFailure;
    thrust::device_vector<unsigned int> tabBucketIndex(hashTableSize, 0u);
    thrust::device_vector<unsigned int> slotKeys[kSlotsPerBucket];
    thrust::device_vector<unsigned int> slotAddress[kSlotsPerBucket];
    thrust::device_vector<unsigned int> slotSamples[kSlotsPerBucket];
    for (int s = 0; s < kSlotsPerBucket; ++s) {
        slotKeys[s].resize(hashTableSize, 0u);
        slotAddress[s].resize(hashTableSize, 0u);
        slotSamples[s].resize(hashTableSize, kNoSample);
    }
    thrust::device_vector<unsigned int*> tabKeys(kSlotsPerBucket, nullptr);
    thrust::device_vector<unsigned int*> tabAddress(kSlotsPerBucket, nullptr);
    thrust::device_vector<unsigned int*> tabSamples(kSlotsPerBucket, nullptr);
    std::vector<unsigned int*> slotPointers(kSlotsPerBucket);
    for (int s = 0; s < kSlotsPerBucket; ++s)
        slotPointers[s] = raw(slotKeys[s]);
    tabKeys = slotPointers;
    for (int s = 0; s < kSlotsPerBucket; ++s)
        slotPointers[s] = raw(slotAddress[s]);
    tabAddress = slotPointers;
    for (int s = 0; s < kSlotsPerBucket; ++s)
        slotPointers[s] = raw(slotSamples[s]);
    tabSamples = slotPointers;

    // The cell at sorted position 0 is entered from here; the kernel enters every other cell start.
    const unsigned int firstKey = cellId[0];
    const unsigned int firstBucket = firstKey % hashTableSize;
    tabBucketIndex[firstBucket] = 1u;
    slotKeys[0][firstBucket] = firstKey;
    slotAddress[0][firstBucket] = 0u;
    launchKernel("fillHashTable", fillHashTable, static_cast<unsigned int>(numElements / 64 + 1), 64u,
                 static_cast<const unsigned int*>(raw(cellId)), raw(tabBucketIndex),
                 static_cast<unsigned int* const*>(raw(tabKeys)), static_cast<unsigned int* const*>(raw(tabAddress)),
                 hashTableSize, numElements);
    error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch fillHashTable kernel, error code: ", error);

    // The list of cells and their phases.
    if (!budgetAllows(static_cast<unsigned long>(static_cast<uint64_t>(occupiedCellCount) * 8 + 108), status))
        return MS::kFailure;
    thrust::device_vector<unsigned int> cells(occupiedCellCount, 0u);
    aux[0] = 0u;
    thrust::inclusive_scan(aux.begin(), aux.end(), aux.begin(), thrust::plus<unsigned int>());
    launchKernel("getCells", getCells, static_cast<unsigned int>(numElements / 64 + 1), 64u, raw(cells),
                 static_cast<const unsigned int*>(raw(aux)), numElements);
    error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch getCells kernel, error code: ", error);

    thrust::device_vector<unsigned int> cellPhase(occupiedCellCount, 0u);
    const float phasesBoxSize = cellSize * 3.0f;
    launchKernel("calculateCellPhase", calculateCellPhase, occupiedCellCount / 64 + 1, 64u, raw(cellPhase),
                 static_cast<const unsigned int*>(raw(cells)), cellSize, phasesBoxSize, bboxMinX, bboxMinY, bboxMinZ,
                 static_cast<const float*>(raw(x)), static_cast<const float*>(raw(y)),
                 static_cast<const float*>(raw(z)), static_cast<const unsigned int*>(raw(map)),
                 static_cast<int>(occupiedCellCount));
    error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch calculateCellPhase kernel, error code: ", error);
    thrust::stable_sort_by_key(cellPhase.begin(), cellPhase.end(), cells.begin(), thrust::less<unsigned int>());

    thrust::device_vector<unsigned int> cellCountInPhase(kPhaseCount, 0u);
    const unsigned int lastPhase = cellPhase[occupiedCellCount - 1];
    const unsigned int lastPhaseCount = cellCountInPhase[lastPhase];
    cellCountInPhase[lastPhase] = lastPhaseCount + occupiedCellCount;
    launchKernel("countCellsInPhases", countCellsInPhases, occupiedCellCount / 64 + 1, 64u, raw(cellCountInPhase),
                 static_cast<const unsigned int*>(raw(cellPhase)), static_cast<int>(occupiedCellCount));
    error = cudaGetLastError();
    if (error != cudaSuccess)
        return reportLaunch("Failed to launch kernel, error code: ", error);
    thrust::device_vector<unsigned int> phaseEnd(kPhaseCount, 0u);
    thrust::inclusive_scan(cellCountInPhase.begin(), cellCountInPhase.end(), phaseEnd.begin(),
                           thrust::plus<unsigned int>());

    // Selection: in pass t every still-empty cell of a phase offers its candidate number t.
    for (int t = 0; t < kPassCount; ++t) {
        for (int p = 0; p < kPhaseCount; ++p) {
            const unsigned int cellCount = cellCountInPhase[p];
            const unsigned int rangeStart = p == 0 ? 0u : static_cast<unsigned int>(phaseEnd[p - 1]);
            launchKernel("chooseSamplesInCells", chooseSamplesInCells, cellCount / 32 + 1, 32u,
                         static_cast<const unsigned int*>(raw(cells)), rangeStart, cellCount,
                         static_cast<const unsigned int*>(raw(tabBucketIndex)),
                         static_cast<unsigned int* const*>(raw(tabKeys)),
                         static_cast<unsigned int* const*>(raw(tabAddress)),
                         static_cast<unsigned int* const*>(raw(tabSamples)), static_cast<unsigned int>(stepZ),
                         static_cast<unsigned int>(stepY), static_cast<short>(t), radius,
                         static_cast<const float*>(raw(x)), static_cast<const float*>(raw(y)),
                         static_cast<const float*>(raw(z)), static_cast<const unsigned int*>(raw(cellId)),
                         static_cast<const unsigned int*>(raw(map)), hashTableSize, numElements);
            error = cudaGetLastError();
            if (error != cudaSuccess) {
                // Reported as before, but the host application lives on with its scene.
                fprintf(stderr, "Cuda error: %s.\n", cudaGetErrorString(error));
                return MS::kFailure;
            }
        }
    }

    // Copy back and publish.
    std::vector<std::vector<unsigned int>> hostSamples(kSlotsPerBucket, std::vector<unsigned int>(hashTableSize));
    for (int s = 0; s < kSlotsPerBucket; ++s)
        thrust::copy(slotSamples[s].begin(), slotSamples[s].end(), hostSamples[s].begin());
    thrust::copy(x.begin(), x.end(), hostX.begin());
    thrust::copy(y.begin(), y.end(), hostY.begin());
    thrust::copy(z.begin(), z.end(), hostZ.begin());
    return writeOutput(plug, block, status, hostSamples, hostX, hostY, hostZ);
}

}  // namespace

MStatus kyScatterPoints::compute(const MPlug& plug, MDataBlock& block)
{
    if (!(plug == outPoints))
        return MS::kUnknownParameter;
    // An exception must not reach the host application; every buffer has been released on the way out.
    try {
        return computePoints(plug, block);
    } catch (const std::exception& e) {
        std::cerr << "ERROR kyScatterPoints compute failed: " << e.what() << std::endl;
        return MS::kFailure;
    } catch (...) {
        std::cerr << "ERROR kyScatterPoints compute failed: unknown exception" << std::endl;
        return MS::kFailure;
    }
}
