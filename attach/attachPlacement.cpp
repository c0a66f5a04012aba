// Placing a record's points on the deformed mesh (attachPlacement.h).
#include "attachPlacement.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <exception>
#include <thread>
#include <unordered_map>

#include "geometry/surfaceGeometry.h"

namespace {

// Points per task: enough work to pay for handing it to a thread, few enough to share it out evenly.
constexpr unsigned int kChunk = 1u << 15;
// Past this many the passes are held up by memory, not by processors.
constexpr unsigned int kMostThreads = 16;

using Corners = std::array<int, 3>;

struct CornersHash {
    std::size_t operator()(const Corners& c) const
    {
        std::uint64_t h = static_cast<std::uint32_t>(c[0]);
        h = h * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(c[1]);
        h = h * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(c[2]);
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

// task(chunk, begin, end) for the points [begin, end) of every chunk of kChunk points.
void forEachChunk(unsigned int count, const std::function<void(unsigned int, unsigned int, unsigned int)>& task)
{
    const unsigned int chunks = count / kChunk + (count % kChunk != 0 ? 1u : 0u);
    forEachItem(chunks, [&](unsigned int chunk) {
        const unsigned int begin = chunk * kChunk;
        task(chunk, begin, count - begin > kChunk ? begin + kChunk : count);
    });
}

// The three vertices a point names, when each is one the mesh has.
bool vertexIndices(const MVector& named, double vertexCount, int vertices[3])
{
    const double values[3] = {named.x, named.y, named.z};
    return ::vertexIndices(values, vertexCount, vertices);
}

bool sameCorners(const TriangleTable::Triangle& triangle, const int vertices[3])
{
    const int* corners = triangle.corners;
    return corners[0] == vertices[0] && corners[1] == vertices[1] && corners[2] == vertices[2];
}

// The first point that names no vertices of the mesh; the point count when there is none.
unsigned int firstWrongPoint(const Placement& job)
{
    const unsigned int count = job.vertices.length();
    const double vertexCount = static_cast<double>(job.points.size() / 3);
    std::vector<unsigned int> firstWrong(count / kChunk + 1, count);
    forEachChunk(count, [&](unsigned int chunk, unsigned int begin, unsigned int end) {
        for (unsigned int i = begin; i < end; ++i) {
            int vertices[3];
            if (!vertexIndices(job.vertices[i], vertexCount, vertices)) {
                firstWrong[chunk] = i;
                return;
            }
        }
    });
    return *std::min_element(firstWrong.begin(), firstWrong.end());
}

// The table of the record's distinct triangles, in the order the points first name them; every point checked.
void rebuild(const MVectorArray& vertices, TriangleTable& table)
{
    const unsigned int count = vertices.length();
    std::vector<unsigned int> triangleOfPoint(count);
    std::vector<TriangleTable::Triangle> triangles;
    std::unordered_map<Corners, unsigned int, CornersHash> numbers;
    for (unsigned int i = 0; i < count; ++i) {
        const MVector& named = vertices[i];
        const Corners c = {static_cast<int>(named.x), static_cast<int>(named.y), static_cast<int>(named.z)};
        const auto found = numbers.try_emplace(c, static_cast<unsigned int>(triangles.size()));
        if (found.second)
            triangles.push_back({{c[0], c[1], c[2]}, {}, {}});
        triangleOfPoint[i] = found.first->second;
    }
    // Swapped in whole, so that a failed allocation leaves the table as it was.
    table.triangleOfPoint.swap(triangleOfPoint);
    table.triangles.swap(triangles);
}

// Each distinct triangle's normal and rotation on the deformed mesh; false, with none placed, where a triangle names a
// vertex the mesh lacks.
bool standOnTriangles(const std::vector<float>& points, TriangleTable& table)
{
    const int vertexCount = static_cast<int>(std::min<std::size_t>(points.size() / 3, INT_MAX));
    for (const TriangleTable::Triangle& triangle : table.triangles)
        if (std::max({triangle.corners[0], triangle.corners[1], triangle.corners[2]}) >= vertexCount)
            return false;
    forEachChunk(static_cast<unsigned int>(table.triangles.size()), [&](unsigned int, unsigned int begin,
                                                                         unsigned int end) {
        for (unsigned int t = begin; t < end; ++t) {
            TriangleTable::Triangle& triangle = table.triangles[t];
            triangleNormal(triangleCorners(points.data(), triangle.corners), triangle.normal);
            rotationOntoNormal(triangle.normal, triangle.rotation);
        }
    });
    return true;
}

void setVector(MVector& target, const double value[3])
{
    target.x = value[0];
    target.y = value[1];
    target.z = value[2];
}

// The points of a long record name their triangles in any order: their triangles, and those triangles' corners, are
// asked of memory some points ahead, so that the waits overlap.
void prefetchAhead(const Placement& job, const TriangleTable& table, unsigned int i, unsigned int end)
{
    constexpr unsigned int kTriangleAhead = 16, kCornersAhead = 8;
    if (i + kTriangleAhead < end)
        __builtin_prefetch(&table.triangles[table.triangleOfPoint[i + kTriangleAhead]]);
    if (i + kCornersAhead < end) {
        const int* corners = table.triangles[table.triangleOfPoint[i + kCornersAhead]].corners;
        for (int k = 0; k < 3; ++k)
            __builtin_prefetch(&job.points[3 * static_cast<std::size_t>(corners[k])]);
    }
}

// Places every point on the triangle the table gives it; false where a point names other vertices than that
// triangle's, or none of the mesh, and the table must be made anew.
bool placeOnTriangles(const Placement& job, const TriangleTable& table)
{
    const unsigned int count = job.vertices.length();
    const double vertexCount = static_cast<double>(job.points.size() / 3);
    std::vector<char> placed(count / kChunk + 1, 1);
    forEachChunk(count, [&](unsigned int chunk, unsigned int begin, unsigned int end) {
        for (unsigned int i = begin; i < end; ++i) {
            prefetchAhead(job, table, i, end);
            const TriangleTable::Triangle& triangle = table.triangles[table.triangleOfPoint[i]];
            int vertices[3];
            if (!vertexIndices(job.vertices[i], vertexCount, vertices) || !sameCorners(triangle, vertices)) {
                placed[chunk] = 0;
                return;
            }
            const MVector& w = job.weights[i];
            const double weight[3] = {w.x, w.y, w.z};
            double position[3];
            pointOnTriangle(triangleCorners(job.points.data(), triangle.corners), weight, position);
            setVector(job.placed.position[i], position);
            setVector(job.placed.normal[i], triangle.normal);
            setVector(job.placed.rotation[i], triangle.rotation);
            setVector(job.placed.aimDirection[i], triangle.normal);
        }
    });
    return std::find(placed.begin(), placed.end(), 0) == placed.end();
}

}  // namespace

void forEachItem(unsigned int count, const std::function<void(unsigned int)>& task)
{
    std::atomic<unsigned int> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&]() {
        try {
            for (unsigned int item = next++; item < count; item = next++)
                task(item);
        } catch (...) {
            // Passed to the calling thread: an exception that left a thread would end the host.
            const std::lock_guard<std::mutex> hold(failureLock);
            if (!failure)
                failure = std::current_exception();
            next = count;
        }
    };
    const unsigned int threads = std::min({std::max(1u, std::thread::hardware_concurrency()), kMostThreads, count});
    std::vector<std::thread> helpers;
    helpers.reserve(threads);
    for (unsigned int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::exception&) {
            break;  // the threads started, and this one, share the work
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

unsigned int placePoints(const Placement& job, TriangleTable& table)
{
    const std::lock_guard<std::mutex> hold(table.lock);
    const unsigned int count = job.vertices.length();
    // A frame of the same record: its table holds, and placing checks every point against it.
    if (table.triangleOfPoint.size() == count && standOnTriangles(job.points, table) && placeOnTriangles(job, table))
        return count;
    const unsigned int firstWrong = firstWrongPoint(job);
    if (firstWrong < count)
        return firstWrong;
    rebuild(job.vertices, table);
    standOnTriangles(job.points, table);
    placeOnTriangles(job, table);
    return count;
}
