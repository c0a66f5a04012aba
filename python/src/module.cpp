// kyscatter._core: the scatter node's compute for Python. Arrays in, the same stages on the same roads the plug-in
// loads (from beside this module), arrays out; the checks and the messages are the node's and the tool's own.
#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "errors.h"
#include "geometry/polygonTriangles.h"
#include "geometry/surfaceGeometry.h"
#include "meshIO.h"
#include "options.h"
#include "scatter/computeRoads.h"
#include "scatter/controls.h"
#include "scatter/countCompute.h"
#include "scatterSettings.h"
#include "valueChecks.h"

namespace nb = nanobind;
using namespace nb::literals;

namespace {

template <typename T, typename... Shape>
using Input = nb::ndarray<const T, nb::c_contig, nb::device::cpu, Shape...>;
using Vertices = Input<float, nb::shape<-1, 3>>;
using Indices = Input<std::int32_t, nb::ndim<1>>;
using Weights = Input<float, nb::ndim<1>>;

// The arguments of one scatter, as the Python layer hands them over.
struct Request {
    std::optional<double> radius;
    std::optional<std::int64_t> count;
    bool exact = false;
    bool strict = false;
    bool stable = false;
    std::int64_t seed = kDefaultSeed;
    std::int64_t passes = kDefaultPassCount;
    std::int64_t candidates = kDefaultCandidateCount;
    std::optional<std::vector<double>> box;
    bool surfaceData = false;
    std::string device = "auto";
};

[[noreturn]] void refuse(const std::string& message) { throw nb::value_error(message.c_str()); }

// The tool's checks, named as the keyword arguments are.
template <typename Check>
void asValueError(Check check)
{
    try {
        check();
    } catch (const kyscatter::UsageError& error) {
        refuse(error.what());
    }
}

void checkVertices(const Vertices& vertices)
{
    if (vertices.shape(0) > static_cast<std::size_t>(INT_MAX))
        refuse("vertices: " + std::to_string(vertices.shape(0)) + " vertices, more than the node's mesh can take");
    const float* v = vertices.data();
    for (std::size_t i = 0; i < 3 * vertices.shape(0); ++i)
        if (!std::isfinite(v[i]))
            refuse("vertices: vertex " + std::to_string(i / 3) + " has a coordinate that is not a finite number");
}

void checkFaces(const Indices& counts, const Indices& connects, std::size_t vertexCount)
{
    std::int64_t corners = 0;
    for (std::size_t f = 0; f < counts.shape(0); ++f) {
        if (counts.data()[f] < 3)
            refuse("faces: face " + std::to_string(f) + " has " + std::to_string(counts.data()[f]) +
                   " vertices; a face needs at least 3");
        corners += counts.data()[f];
    }
    if (counts.shape(0) == 0)
        refuse("faces: the mesh has no faces");
    if (corners != static_cast<std::int64_t>(connects.shape(0)))
        refuse("faces: the face vertex counts add up to " + std::to_string(corners) + ", but there are " +
               std::to_string(connects.shape(0)) + " face vertex indices");
    for (std::size_t k = 0; k < connects.shape(0); ++k) {
        const std::int32_t index = connects.data()[k];
        if (index < 0 || static_cast<std::size_t>(index) >= vertexCount)
            refuse("faces: face vertex " + std::to_string(k) + " is vertex " + std::to_string(index) +
                   ", but there are " + std::to_string(vertexCount) + " vertices");
    }
}

// The density map's weight at each triangle corner: per vertex, or per face-vertex where there are as many.
std::vector<float> cornerWeights(const Weights& density, const kyscatter::Mesh& mesh,
                                 const std::vector<int>& triangleVertices)
{
    const float* w = density.data();
    const std::size_t size = density.shape(0);
    for (std::size_t i = 0; i < size; ++i)
        if (!(w[i] >= 0.0f && w[i] <= 1.0f))
            refuse("density: weight " + std::to_string(i) + " is " + std::to_string(w[i]) + ", not in [0, 1]");
    const bool perVertex = size == mesh.vertexCount();
    if (!perVertex && size != mesh.connects.size())
        refuse("density: " + std::to_string(size) + " weights, but the mesh has " +
               std::to_string(mesh.vertexCount()) + " vertices and " + std::to_string(mesh.connects.size()) +
               " face vertices");
    const std::vector<int> corners = perVertex ? triangleVertices : fanTriangleOffsets(mesh.counts);
    std::vector<float> weights(corners.size());
    for (std::size_t k = 0; k < corners.size(); ++k)
        weights[k] = w[corners[k]];
    return weights;
}

// The mesh as the node reads it from Maya's: the polygons fanned as Maya triangulates them, each triangle's polygon
// for the surface data, the density map at the triangles' corners.
ScatterMesh scatterMeshOf(kyscatter::Mesh&& mesh, const std::optional<Weights>& density, bool surfaceData)
{
    ScatterMesh scatterMesh;
    scatterMesh.triangleVertices = kyscatter::fanTriangles(mesh);
    if (surfaceData) {
        std::vector<int> triangleCounts(mesh.counts);
        for (int& count : triangleCounts)
            count -= 2;
        scatterMesh.trianglePolygons = polygonOfEachTriangle(triangleCounts);
    }
    if (density)
        scatterMesh.cornerWeights = cornerWeights(*density, mesh, scatterMesh.triangleVertices);
    scatterMesh.points = std::move(mesh.points);
    return scatterMesh;
}

kyscatter::Mesh meshOf(const Vertices& vertices, const Indices& counts, const Indices& connects)
{
    checkVertices(vertices);
    checkFaces(counts, connects, vertices.shape(0));
    kyscatter::Mesh mesh;
    mesh.points.assign(vertices.data(), vertices.data() + 3 * vertices.shape(0));
    mesh.counts.assign(counts.data(), counts.data() + counts.shape(0));
    mesh.connects.assign(connects.data(), connects.data() + connects.shape(0));
    return mesh;
}

ComputeDevice deviceNamed(const std::string& name)
{
    const std::vector<std::string>& fields = kyscatter::kDeviceFields;
    const auto found = std::find(fields.begin(), fields.end(), name);
    if (found == fields.end())
        refuse("device: '" + name + "' is none of auto, gpu and cpu");
    return static_cast<ComputeDevice>(found - fields.begin());
}

// The node's settings from the request, checked as the tool checks its options; no radius and no count: the tool's
// default, a radius for some 30,000 points.
ScatterSettings settingsOf(const Request& request, const kyscatter::Mesh& mesh)
{
    ScatterSettings settings;
    asValueError([&] {
        kyscatter::checkRange("seed", request.seed, INT_MIN, INT_MAX);
        kyscatter::checkRange("passes", request.passes, kMinPassCount, kMaxPassCount);
        kyscatter::checkRange("candidates", request.candidates, kMinCandidateCount, kMaxCandidateCount);
        if (request.radius)
            kyscatter::checkRadius("radius", *request.radius);
        if (request.count)
            kyscatter::checkCount("count", *request.count);
        if (request.box)
            kyscatter::checkBox("box", *request.box);
    });
    if (request.radius && request.count)
        refuse("radius and count cannot be given together: count searches the radius");
    if (request.exact && !request.count)
        refuse("exact_count needs count: it gives exactly count points");
    if (request.radius)
        settings.radius = static_cast<float>(*request.radius);
    else if (!request.count)
        settings.radius = static_cast<float>(kyscatter::defaultRadius(kyscatter::surfaceArea(mesh)));
    if (request.box) {
        const std::vector<double>& b = *request.box;
        settings.box = {static_cast<float>(b[0]), static_cast<float>(b[1]), static_cast<float>(b[2]),
                        static_cast<float>(b[3]), static_cast<float>(b[5])};
    }
    settings.seed = static_cast<int>(request.seed);
    settings.passes = static_cast<int>(request.passes);
    settings.candidateCount = static_cast<int>(request.candidates);
    settings.strictRadius = request.strict;
    settings.stableLayout = request.stable;
    settings.surfaceData = request.surfaceData;
    return settings;
}

bool succeeded(ScatterStatus status)
{
    if (status == ScatterStatus::notEnoughMemory)
        throw std::bad_alloc();
    return status == ScatterStatus::ok;
}

// Runs the compute, or the count search, with the interpreter free for other threads; its seconds.
double compute(const ScatterMesh& mesh, const Request& request, ComputeDevice device, ScatterSettings& settings,
               ScatterResult& result)
{
    std::string failure;
    bool ok = true;
    const auto started = std::chrono::steady_clock::now();
    {
        nb::gil_scoped_release release;
        if (request.count) {
            const RunCompute run = [device, &mesh](const ScatterSettings& tried, ScatterResult& computed) {
                return succeeded(scatterOnRoad(device, mesh, tried, computed));
            };
            failure = computeForCount(mesh, *request.count, request.exact, run, settings, result).failure;
        } else {
            ok = succeeded(scatterOnRoad(device, mesh, settings, result));
        }
    }
    if (!failure.empty())
        refuse(failure);
    if (!ok)
        throw std::runtime_error("the scatter compute failed; its report is on standard error");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// A view of one of the result's arrays, kept alive by `owner`: no copy.
template <typename T>
nb::object view(std::vector<T>& values, std::size_t width, nb::handle owner)
{
    const std::size_t rows = values.size() / width;
    using Array = nb::ndarray<nb::numpy, T>;
    if (width == 1)
        return nb::cast(Array(values.data(), {rows}, owner));
    return nb::cast(Array(values.data(), {rows, width}, owner));
}

nb::dict resultArrays(std::unique_ptr<ScatterResult> result, float radius, double seconds, bool surfaceData)
{
    ScatterResult* r = result.release();
    nb::capsule owner(r, [](void* p) noexcept { delete static_cast<ScatterResult*>(p); });
    nb::dict arrays;
    arrays["positions"] = view(r->points, 3, owner);
    arrays["radius"] = static_cast<double>(radius);
    arrays["compute_seconds"] = seconds;
    if (!surfaceData)
        return arrays;
    SurfaceData& s = r->surface;
    arrays["normals"] = view(s.normals, 3, owner);
    arrays["rotations"] = view(s.rotations, 3, owner);
    arrays["ids"] = view(s.ids, 1, owner);
    arrays["face_ids"] = view(s.faceIds, 1, owner);
    arrays["barycentric"] = view(s.barycentric, 3, owner);
    arrays["triangle_vertices"] = view(s.triangleVertices, 3, owner);
    return arrays;
}

nb::dict scatter(const Vertices& vertices, const Indices& counts, const Indices& connects,
                 const std::optional<Weights>& density, const Request& request)
{
    kyscatter::Mesh mesh = meshOf(vertices, counts, connects);
    ScatterSettings settings = settingsOf(request, mesh);
    const ComputeDevice device = deviceNamed(request.device);
    const ScatterMesh scatterMesh = scatterMeshOf(std::move(mesh), density, request.surfaceData);
    auto result = std::make_unique<ScatterResult>();
    const double seconds = compute(scatterMesh, request, device, settings, *result);
    return resultArrays(std::move(result), settings.radius, seconds, request.surfaceData);
}

// The attach node's compute: each point at its weights of its triangle's vertices, moved.
nb::dict attach(const Vertices& vertices, const Input<std::int32_t, nb::shape<-1, 3>>& triangleVertices,
                const Input<double, nb::shape<-1, 3>>& barycentric)
{
    checkVertices(vertices);
    const std::size_t count = triangleVertices.shape(0);
    if (barycentric.shape(0) != count)
        refuse("points: " + std::to_string(count) + " triangle_vertices but " + std::to_string(barycentric.shape(0)) +
               " barycentric");
    auto placed = std::make_unique<std::vector<PlacedPoint>>(count);
    std::size_t unplaced = count;
    {
        nb::gil_scoped_release release;
        for (std::size_t i = 0; i < count && unplaced == count; ++i) {
            const std::int32_t* t = triangleVertices.data() + 3 * i;
            const double named[3] = {static_cast<double>(t[0]), static_cast<double>(t[1]), static_cast<double>(t[2])};
            if (!placeOnTriangle(vertices.data(), vertices.shape(0), named, barycentric.data() + 3 * i, (*placed)[i]))
                unplaced = i;
        }
    }
    if (unplaced != count) {
        const std::int32_t* t = triangleVertices.data() + 3 * unplaced;
        const double named[3] = {static_cast<double>(t[0]), static_cast<double>(t[1]), static_cast<double>(t[2])};
        refuse(unplacedPoint(unplaced, named, vertices.shape(0), "the mesh",
                             ": give the mesh the points were scattered on, deformed (the same vertices, moved)"));
    }
    std::vector<PlacedPoint>* p = placed.release();
    nb::capsule owner(p, [](void* q) noexcept { delete static_cast<std::vector<PlacedPoint>*>(q); });
    // Each PlacedPoint is nine doubles: position, normal, rotation; the arrays are strided views of them.
    const std::int64_t stride = sizeof(PlacedPoint) / sizeof(double);
    auto field = [&](std::size_t offset) {
        double* first = p->empty() ? nullptr : &(*p)[0].position[0] + offset;
        return nb::cast(nb::ndarray<nb::numpy, double>(first, {count, 3}, owner, {stride, 1}));
    };
    nb::dict arrays;
    arrays["positions"] = field(0);
    arrays["normals"] = field(3);
    arrays["rotations"] = field(6);
    return arrays;
}

nb::tuple readMesh(const std::string& path, bool colors)
{
    kyscatter::Mesh mesh;
    try {
        nb::gil_scoped_release release;
        mesh = kyscatter::readMesh(path, {}, kyscatter::kLargeMeshFileBytes,
                                   colors ? kyscatter::MeshExtras::vertexColors : kyscatter::MeshExtras::none);
    } catch (const kyscatter::Failure& failure) {
        refuse(failure.what());
    }
    auto* m = new kyscatter::Mesh(std::move(mesh));
    nb::capsule owner(m, [](void* p) noexcept { delete static_cast<kyscatter::Mesh*>(p); });
    float* firstColor = m->cornerColors.empty() ? nullptr : m->cornerColors[0].data();
    return nb::make_tuple(view(m->points, 3, owner), view(m->counts, 1, owner), view(m->connects, 1, owner),
                          nb::ndarray<nb::numpy, float>(firstColor, {m->cornerColors.size(), 4}, owner));
}

}  // namespace

NB_MODULE(_core, module)
{
    module.doc() = "The scatter compute of the kyScatterPoints node, on the roads beside this module.";
    nb::class_<Request>(module, "Request")
        .def(nb::init<>())
        .def_rw("radius", &Request::radius)
        .def_rw("count", &Request::count)
        .def_rw("exact", &Request::exact)
        .def_rw("strict", &Request::strict)
        .def_rw("stable", &Request::stable)
        .def_rw("seed", &Request::seed)
        .def_rw("passes", &Request::passes)
        .def_rw("candidates", &Request::candidates)
        .def_rw("box", &Request::box)
        .def_rw("surface_data", &Request::surfaceData)
        .def_rw("device", &Request::device);
    module.def("scatter", &scatter, "vertices"_a, "counts"_a, "connects"_a, "density"_a.none(), "request"_a,
               "Scatters points over the polygons (counts, connects) of the vertices; a dict of arrays.");
    module.def("attach", &attach, "vertices"_a, "triangle_vertices"_a, "barycentric"_a,
               "Carries points onto the same mesh deformed; a dict of positions, normals, rotations.");
    module.def("read_mesh", &readMesh, "path"_a, "colors"_a = false,
               "Reads a mesh file as the kyscatter tool does: vertices, counts, connects, face-vertex colours.");
    module.attr("default_seed") = kDefaultSeed;
    module.attr("default_passes") = kDefaultPassCount;
    module.attr("default_candidates") = kDefaultCandidateCount;
}
