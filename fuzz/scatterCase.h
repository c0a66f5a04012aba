// One fuzzing case: bytes turned into a small mesh, a radius and a box, computed by a scatter node through the
// stand-in host, and the result held to what the node promises. Shared by the fuzzer and the regression test.
#pragma once

#include <cudaStandinControls.h>

#include <maya/MFnArrayAttrsData.h>
#include <mayaStandin/host.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "pointSetChecks.h"
#include "support/scatterHarness.h"

namespace scatterCase {

using harness::Box;
using harness::Mesh;
using harness::Point;

// Reads the bytes front to back; past the end everything reads as zero.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint32_t bits(int count)
    {
        uint32_t value = 0;
        for (int i = 0; i < count; i += 8)
            value |= static_cast<uint32_t>(next()) << i;
        return count >= 32 ? value : value & ((1u << count) - 1u);
    }

    int integer(int low, int high)  // in [low, high]
    {
        const uint32_t span = static_cast<uint32_t>(high - low) + 1u;
        return low + static_cast<int>(bits(16) % span);
    }

    float unit() { return static_cast<float>(bits(16)) / 65535.0f; }  // in [0, 1]
    float between(float low, float high) { return low + (high - low) * unit(); }

    float anyFloat()  // every bit pattern: NaN, infinities, denormals, the largest values
    {
        const uint32_t raw = bits(32);
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }

private:
    uint8_t next() { return offset_ < size_ ? data_[offset_++] : 0; }

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

struct Inputs {
    Mesh mesh;
    float radius = 1.0f;
    Box box = {{0, 0, 0}, {0, 0, 0}};
    bool stableLayout = false;
};

float coordinate(ByteReader& in, int style)
{
    switch (style) {
    case 0: return in.between(-10.0f, 10.0f);
    case 1: return static_cast<float>(in.integer(-4, 4));  // on cell and box boundaries, coplanar, degenerate
    case 2: return in.between(-1e-3f, 1e-3f);
    default: return in.anyFloat();
    }
}

Inputs decode(const uint8_t* data, size_t size)
{
    ByteReader in(data, size);
    Inputs inputs;
    const int style = in.integer(0, 7);  // mostly ordinary numbers, now and then any bit pattern
    const int vertexCount = in.integer(3, 16);
    for (int v = 0; v < vertexCount; ++v) {
        Point p;
        for (float& c : p)
            c = coordinate(in, style < 7 ? style % 3 : 3);
        inputs.mesh.points.push_back(p);
    }
    const int polygonCount = in.integer(0, 10);
    for (int f = 0; f < polygonCount; ++f) {
        const int corners = in.integer(3, 6);
        inputs.mesh.counts.push_back(corners);
        for (int k = 0; k < corners; ++k)
            inputs.mesh.connects.push_back(in.integer(0, vertexCount - 1));
    }

    // The radius against the mesh's X extent: spread over three decades, or with the extent a whole number of cells
    // give or take a few units in the last place, or any float at all.
    float low = INFINITY, high = -INFINITY;
    for (int v : inputs.mesh.connects) {
        low = std::fmin(low, inputs.mesh.points[v][0]);
        high = std::fmax(high, inputs.mesh.points[v][0]);
    }
    const float extent = std::isfinite(high - low) && high > low ? high - low : 1.0f;
    switch (in.integer(0, 3)) {
    case 0:
    case 1: inputs.radius = extent * std::pow(10.0f, in.between(-2.0f, 1.0f)); break;
    case 2: {
        const int cells = in.integer(1, 60);
        float radius = static_cast<float>(static_cast<double>(extent) / cells * 1.7320508075688772);
        for (int ulps = in.integer(-4, 4); ulps != 0; ulps += ulps > 0 ? -1 : 1)
            radius = std::nextafter(radius, ulps > 0 ? INFINITY : 0.0f);
        inputs.radius = radius;
        break;
    }
    default: inputs.radius = in.anyFloat(); break;
    }

    switch (in.integer(0, 3)) {
    case 0:
    case 1: break;  // unset
    case 2:
        for (int axis = 0; axis < 3; ++axis) {
            inputs.box.min[axis] = coordinate(in, 0);
            inputs.box.max[axis] = coordinate(in, 0);
        }
        break;
    default:
        for (int axis = 0; axis < 3; ++axis) {
            inputs.box.min[axis] = in.anyFloat();
            inputs.box.max[axis] = in.anyFloat();
        }
        break;
    }
    // Last, so that the inputs found before the stable layout read as they did.
    inputs.stableLayout = in.bits(1) == 1;
    return inputs;
}

std::string describe(const Inputs& inputs)
{
    std::ostringstream text;
    text.precision(9);
    text << "mesh of " << inputs.mesh.points.size() << " vertices, " << inputs.mesh.counts.size()
         << " polygons; radius " << inputs.radius << "; box (" << inputs.box.min[0] << ", " << inputs.box.min[1] << ", "
         << inputs.box.min[2] << ") - (" << inputs.box.max[0] << ", " << inputs.box.max[1] << ", " << inputs.box.max[2]
         << ")" << (inputs.stableLayout ? "; stable layout" : "");
    return text.str();
}

// Computes the case on a new node. Empty when the node kept its promises, else what went wrong.
// A refusal is allowed (bad input gets a report and a failing status); a crash, a hang or a broken promise is not.
std::string run(const Inputs& inputs)
{
    const size_t deviceBaseline = cudaStandin::deviceBytesInUse();
    MStatus status;
    MObject node = mayaStandin::createNode("kyScatterPoints", &status);
    if (status != MS::kSuccess)
        return "cannot create a kyScatterPoints node";
    std::string problem;
    MObject mesh = harness::meshData(inputs.mesh, &status);
    if (status != MS::kSuccess)
        problem = "the host refused the mesh";
    else if (mayaStandin::findPlug(node, "inMesh").setValue(mesh) != MS::kSuccess)
        problem = "cannot set inMesh";
    mayaStandin::findPlug(node, "radius").setValue(inputs.radius);
    const char* minNames[3] = {"boundingBoxMinX", "boundingBoxMinY", "boundingBoxMinZ"};
    const char* maxNames[3] = {"boundingBoxMaxX", "boundingBoxMaxY", "boundingBoxMaxZ"};
    for (int axis = 0; axis < 3; ++axis) {
        mayaStandin::findPlug(node, minNames[axis]).setValue(inputs.box.min[axis]);
        mayaStandin::findPlug(node, maxNames[axis]).setValue(inputs.box.max[axis]);
    }
    mayaStandin::findPlug(node, "stableLayout").setValue(inputs.stableLayout ? 1 : 0);
    float radius = 0.0f;  // as the data block delivers it, after the attribute's minimum
    mayaStandin::findPlug(node, "radius").getValue(radius);

    if (problem.empty()) {
        MObject record;
        const MStatus pulled = mayaStandin::findPlug(node, "outPoints").getValue(record);
        const std::vector<Point> points = harness::positionsOf(record);
        const bool dirty = mayaStandin::isDirty(mayaStandin::findPlug(node, "outPoints"));
        if (pulled == MS::kSuccess) {
            if (dirty)
                problem = "a successful compute left outPoints dirty";
            else
                problem = pointChecks::brokenPromise(inputs.mesh, radius, &inputs.box, points, true, inputs.stableLayout);
        } else if (pulled != MS::kFailure) {
            problem = std::string("a compute failed with ") + pulled.errorString().asChar();
        } else if (!dirty || !points.empty()) {
            problem = "a failed compute wrote outPoints";
        }
    }
    mayaStandin::deleteNode(node);
    if (problem.empty() && cudaStandin::deviceBytesInUse() != deviceBaseline)
        problem = "device memory was not given back";
    return problem;
}

}  // namespace scatterCase
