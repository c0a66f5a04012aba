#include "scatterHarness.h"

#include <mayaStandin/meshAndPoints.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <stdexcept>

namespace harness {

int Mesh::triangleCount() const
{
    int total = 0;
    for (int c : counts)
        total += c >= 3 ? c - 2 : 0;
    return total;
}

double Mesh::area() const
{
    double total = 0.0;
    size_t offset = 0;
    for (int c : counts) {
        const Point& a = points[connects[offset]];
        for (int k = 1; k + 1 < c; ++k) {
            const Point& b = points[connects[offset + k]];
            const Point& d = points[connects[offset + k + 1]];
            const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const double e2[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
            const double w[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
            total += 0.5 * std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        }
        offset += c;
    }
    return total;
}

std::string pluginPath()
{
    if (const char* path = std::getenv("KY_PLUGIN"))
        return path;
    return KY_PLUGIN_PATH;
}

Mesh sphere(int rings, int segments, float radius, Point centre)
{
    Mesh mesh;
    const double pi = 3.14159265358979323846;
    mesh.points.push_back({centre[0], centre[1] + radius, centre[2]});
    for (int r = 1; r < rings; ++r) {
        const double theta = pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double phi = 2 * pi * s / segments;
            mesh.points.push_back({centre[0] + radius * static_cast<float>(std::sin(theta) * std::cos(phi)),
                                   centre[1] + radius * static_cast<float>(std::cos(theta)),
                                   centre[2] + radius * static_cast<float>(std::sin(theta) * std::sin(phi))});
        }
    }
    mesh.points.push_back({centre[0], centre[1] - radius, centre[2]});
    const int bottom = static_cast<int>(mesh.points.size()) - 1;
    auto ringVertex = [&](int r, int s) { return 1 + (r - 1) * segments + (s % segments); };
    for (int s = 0; s < segments; ++s) {
        mesh.counts.push_back(3);
        mesh.connects.insert(mesh.connects.end(), {0, ringVertex(1, s + 1), ringVertex(1, s)});
    }
    for (int r = 1; r + 1 < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            mesh.counts.push_back(4);
            mesh.connects.insert(mesh.connects.end(),
                                 {ringVertex(r, s), ringVertex(r, s + 1), ringVertex(r + 1, s + 1), ringVertex(r + 1, s)});
        }
    for (int s = 0; s < segments; ++s) {
        mesh.counts.push_back(3);
        mesh.connects.insert(mesh.connects.end(), {bottom, ringVertex(rings - 1, s), ringVertex(rings - 1, s + 1)});
    }
    return mesh;
}

Mesh grid(int cellsX, int cellsZ, float size, float height)
{
    Mesh mesh;
    for (int j = 0; j <= cellsZ; ++j)
        for (int i = 0; i <= cellsX; ++i) {
            const float x = size * i / cellsX - size / 2;
            const float z = size * j / cellsZ - size / 2;
            mesh.points.push_back({x, height + 0.1f * size * std::sin(3.0f * x / size) * std::cos(2.0f * z / size), z});
        }
    for (int j = 0; j < cellsZ; ++j)
        for (int i = 0; i < cellsX; ++i) {
            const int a = j * (cellsX + 1) + i;
            mesh.counts.push_back(4);
            mesh.connects.insert(mesh.connects.end(), {a, a + 1, a + cellsX + 2, a + cellsX + 1});
        }
    return mesh;
}

Mesh singleTriangle(Point a, Point b, Point c)
{
    Mesh mesh;
    mesh.points = {a, b, c};
    mesh.counts = {3};
    mesh.connects = {0, 1, 2};
    return mesh;
}

Mesh tube(int rings, int segments, float radius, float length)
{
    Mesh mesh;
    const double pi = 3.14159265358979323846;
    for (int j = 0; j <= rings; ++j)
        for (int i = 0; i < segments; ++i) {
            const double angle = 2 * pi * i / segments;
            mesh.points.push_back({radius * static_cast<float>(std::cos(angle)), length * j / rings,
                                   radius * static_cast<float>(std::sin(angle))});
        }
    auto vertex = [&](int j, int i) { return j * segments + (i % segments); };
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < segments; ++i) {
            mesh.counts.push_back(4);
            mesh.connects.insert(mesh.connects.end(),
                                 {vertex(j, i), vertex(j + 1, i), vertex(j + 1, i + 1), vertex(j, i + 1)});
        }
    return mesh;
}

Mesh bentAndTwisted(const Mesh& tube, float length, float bend, float twist)
{
    Mesh moved = tube;
    const double arcRadius = length / bend;
    for (Point& p : moved.points) {
        const double along = p[1] / length;
        const double turn = twist * along;
        const double x = p[0] * std::cos(turn) - p[2] * std::sin(turn);
        const double z = p[0] * std::sin(turn) + p[2] * std::cos(turn);
        const double angle = bend * along;
        p = {static_cast<float>(arcRadius - (arcRadius - x) * std::cos(angle)),
             static_cast<float>((arcRadius - x) * std::sin(angle)), static_cast<float>(z)};
    }
    return moved;
}

const Mesh& ball()
{
    static const Mesh mesh = sphere(40, 80, 2.0f);
    return mesh;
}

const Mesh& speck()
{
    static const Mesh mesh = singleTriangle({0.1f, 0.2f, 0.3f}, {0.11f, 0.2f, 0.3f}, {0.1f, 0.21f, 0.3f});
    return mesh;
}

const Mesh& rampedBall()
{
    static const Mesh mesh = [] {
        Mesh ramped = ball();
        ColourSet ramp{"ramp", {}, true};
        for (int vertex : ramped.connects) {
            const float grey = (ramped.points[vertex][1] + 2.0f) / 4.0f;
            ramp.faceVertexColours.push_back({grey, grey, grey, 1.0f});
        }
        ramped.colourSets.push_back(ramp);
        return ramped;
    }();
    return mesh;
}

Mesh uvStrip(int mappedFrom)
{
    Mesh mesh;
    const int bands = 4, quads = 8, columns = bands * quads;
    const float band = 2.0f;
    for (int j = 0; j <= quads; ++j)
        for (int i = 0; i <= columns; ++i)
            mesh.points.push_back({band * i / quads, 0.0f, band * j / quads});
    UVSet uvs{"map1", {}, true};
    const float none = std::numeric_limits<float>::quiet_NaN();
    for (int j = 0; j < quads; ++j)
        for (int i = 0; i < columns; ++i) {
            const int a = j * (columns + 1) + i;
            mesh.counts.push_back(4);
            mesh.connects.insert(mesh.connects.end(), {a, a + columns + 1, a + columns + 2, a + 1});
            for (int corner : {a, a + columns + 1, a + columns + 2, a + 1}) {
                const Point& p = mesh.points[static_cast<size_t>(corner)];
                const bool mapped = i / quads >= mappedFrom;
                uvs.faceVertexUVs.push_back({mapped ? p[0] / (bands * band) : none, p[2] / band});
            }
        }
    mesh.uvSets.push_back(uvs);
    return mesh;
}

MObject meshData(const Mesh& mesh, MStatus* status)
{
    static_assert(sizeof(Point) == 3 * sizeof(float), "points lie x, y, z after one another");
    MStatus made;
    MObject data = mayaStandin::meshData(reinterpret_cast<const float*>(mesh.points.data()), mesh.points.size(),
                                         mesh.counts, mesh.connects, &made);
    for (const ColourSet& set : mesh.colourSets)
        if (made)
            mayaStandin::addColorSet(data, set.name, set.faceVertexColours, set.current, &made);
    for (const UVSet& set : mesh.uvSets)
        if (made)
            mayaStandin::addUVSet(data, set.name, set.faceVertexUVs, set.current, &made);
    if (status != nullptr)
        *status = made;
    return data;
}

namespace {

void check(const MStatus& status, const std::string& what)
{
    if (status != MS::kSuccess)
        throw std::runtime_error(what + ": " + status.errorString().asChar());
}

}  // namespace

HostNode::HostNode(const std::string& type)
{
    MStatus status;
    node_ = mayaStandin::createNode(type, &status);
    check(status, "creating a " + type + " node");
}

HostNode::~HostNode()
{
    mayaStandin::deleteNode(node_);
}

MPlug HostNode::plug(const std::string& name) const
{
    return mayaStandin::findPlug(node_, name);
}

void HostNode::setMesh(const Mesh& mesh)
{
    MObject data = meshData(mesh);
    check(plug("inMesh").setValue(data), "setting inMesh");
}

void ScatterNode::setRadius(float radius)
{
    check(plug("radius").setValue(radius), "setting radius");
}

void ScatterNode::setBox(const Box& box)
{
    const char* minNames[3] = {"boundingBoxMinX", "boundingBoxMinY", "boundingBoxMinZ"};
    const char* maxNames[3] = {"boundingBoxMaxX", "boundingBoxMaxY", "boundingBoxMaxZ"};
    for (int axis = 0; axis < 3; ++axis) {
        check(plug(minNames[axis]).setValue(box.min[axis]), std::string("setting ") + minNames[axis]);
        check(plug(maxNames[axis]).setValue(box.max[axis]), std::string("setting ") + maxNames[axis]);
    }
}

void ScatterNode::setControls(const ScatterSettings& settings)
{
    check(plug("seed").setValue(settings.seed), "setting seed");
    check(plug("passes").setValue(settings.passes), "setting passes");
    check(plug("candidateCount").setValue(settings.candidateCount), "setting candidateCount");
    check(plug("strictRadius").setValue(settings.strictRadius ? 1 : 0), "setting strictRadius");
    check(plug("surfaceData").setValue(settings.surfaceData ? 1 : 0), "setting surfaceData");
    check(plug("stableLayout").setValue(settings.stableLayout ? 1 : 0), "setting stableLayout");
}

void ScatterNode::setDensity(bool on, const std::string& colourSet, int channel)
{
    check(plug("densityMap").setValue(on ? 1 : 0), "setting densityMap");
    check(plug("densityColorSet").setValue(MString(colourSet.c_str())), "setting densityColorSet");
    check(plug("densityChannel").setValue(channel), "setting densityChannel");
}

void ScatterNode::setDensitySource(bool texture, const std::string& uvSet, int resolution)
{
    check(plug("densitySource").setValue(texture ? 1 : 0), "setting densitySource");
    check(plug("densityUVSet").setValue(MString(uvSet.c_str())), "setting densityUVSet");
    check(plug("densityTextureResolution").setValue(resolution), "setting densityTextureResolution");
}

void ScatterNode::connectTexture(const HostNode& texture)
{
    check(mayaStandin::connect(texture.plug("outColor"), plug("densityTexture")), "connecting densityTexture");
}

void ScatterNode::setTextureColour(float r, float g, float b)
{
    check(plug("densityTextureR").setValue(r), "setting densityTextureR");
    check(plug("densityTextureG").setValue(g), "setting densityTextureG");
    check(plug("densityTextureB").setValue(b), "setting densityTextureB");
}

void ScatterNode::setPointCount(int count)
{
    check(plug("pointCount").setValue(count), "setting pointCount");
}

float ScatterNode::radiusUsed() const
{
    float radius = 0.0f;
    check(plug("radiusUsed").getValue(radius), "reading radiusUsed");
    return radius;
}

MStatus ScatterNode::pull(std::vector<Point>* points)
{
    MObject record;
    const MStatus status = plug("outPoints").getValue(record);
    if (points != nullptr)
        *points = positionsOf(record);
    return status;
}

std::string ScatterNode::pullBytes(MStatus* status)
{
    MObject record;
    const MStatus pulled = plug("outPoints").getValue(record);
    if (status != nullptr)
        *status = pulled;
    return recordBytes(record);
}

bool ScatterNode::outPointsDirty() const
{
    return mayaStandin::isDirty(plug("outPoints"));
}

AttachNode::AttachNode(const ScatterNode& scatter) : HostNode("kyAttachPoints")
{
    check(mayaStandin::connect(scatter.plug("outPoints"), plug("inPoints")), "connecting outPoints to inPoints");
}

MStatus AttachNode::pull(MObject* record)
{
    MObject data;
    const MStatus status = plug("outPoints").getValue(data);
    if (record != nullptr)
        *record = data;
    return status;
}

std::vector<Point> positionsOf(const MObject& record)
{
    std::vector<Point> points;
    for (const auto& p : mayaStandin::recordPositions(record))
        points.push_back({static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
    return points;
}

std::string recordBytes(const MObject& record)
{
    MFnArrayAttrsData fn(record);
    const MStringArray names = fn.list();
    std::vector<std::string> sortedNames;
    for (unsigned int i = 0; i < names.length(); ++i)
        sortedNames.push_back(names[i].asChar());
    std::sort(sortedNames.begin(), sortedNames.end());
    std::string bytes;
    for (const std::string& name : sortedNames) {
        bytes += name + ":";
        MStatus status;
        const MVectorArray vectors = fn.getVectorData(name.c_str(), &status);
        if (status == MS::kSuccess) {
            for (unsigned int i = 0; i < vectors.length(); ++i) {
                const MVector v = vectors[i];
                for (const double d : {v.x, v.y, v.z})
                    bytes.append(reinterpret_cast<const char*>(&d), sizeof(double));
            }
            continue;
        }
        const MDoubleArray doubles = fn.getDoubleData(name.c_str(), &status);
        for (unsigned int i = 0; status == MS::kSuccess && i < doubles.length(); ++i) {
            const double d = doubles[i];
            bytes.append(reinterpret_cast<const char*>(&d), sizeof(double));
        }
    }
    return bytes;
}

CapturedOutput::CapturedOutput() : outRedirect_(redirect(STDOUT_FILENO)), errRedirect_(redirect(STDERR_FILENO)) {}

CapturedOutput::~CapturedOutput()
{
    finish();
}

void CapturedOutput::finish()
{
    if (!capturing_)
        return;
    out_ = restore(outRedirect_);
    err_ = restore(errRedirect_);
    capturing_ = false;
}

// C's streams and C++'s write through the same descriptors: flushing both and pointing the descriptor at a file
// catches everything.
CapturedOutput::Redirect CapturedOutput::redirect(int fd)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    Redirect r{fd, dup(fd), std::tmpfile()};
    if (r.saved < 0 || r.file == nullptr)
        throw std::runtime_error("cannot capture the output streams");
    dup2(fileno(r.file), fd);
    return r;
}

std::string CapturedOutput::restore(Redirect& r)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    dup2(r.saved, r.fd);
    close(r.saved);
    std::string text;
    std::rewind(r.file);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, r.file)) > 0;)
        text.append(buffer, n);
    std::fclose(r.file);
    return text;
}

ScatterMesh scatterMeshOf(const Mesh& mesh)
{
    ScatterMesh plain;
    for (const Point& p : mesh.points)
        plain.points.insert(plain.points.end(), p.begin(), p.end());
    size_t offset = 0;
    for (int count : mesh.counts) {
        for (int k = 1; k + 1 < count; ++k)
            plain.triangleVertices.insert(plain.triangleVertices.end(), {mesh.connects[offset],
                                                                        mesh.connects[offset + k],
                                                                        mesh.connects[offset + k + 1]});
        offset += count;
    }
    return plain;
}

ScatterSettings settingsOf(float radius, const Box* box)
{
    ScatterSettings settings;
    settings.radius = radius;
    if (box != nullptr)
        settings.box = {box->min[0], box->min[1], box->min[2], box->max[0], box->max[2]};
    return settings;
}

CellCoordinates cellOf(const ScatterGrid& grid, const Point& p)
{
    return ::cellOf(grid, p[0], p[1], p[2]);
}

std::vector<Point> sorted(std::vector<Point> points)
{
    std::sort(points.begin(), points.end());
    return points;
}

void CandidateSet::candidatesReady(const CandidateView& view)
{
    const std::vector<float> x = view.x.toHost(), y = view.y.toHost(), z = view.z.toHost();
    positions.clear();
    for (size_t i = 0; i < x.size(); ++i)
        positions.push_back({x[i], y[i], z[i]});
    keys = view.cellId.toHost();
    grid = view.grid;
}

}  // namespace harness
