// The attach node: a record scattered on a rest tube, carried onto the tube bent and twisted.
#include <gtest/gtest.h>

#include <maya/MDoubleArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>
#include <maya/MVectorArray.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "geometry/surfaceGeometry.h"
#include "support/pluginTest.h"

using harness::AttachNode;
using harness::CapturedOutput;
using harness::Mesh;
using harness::ScatterNode;

namespace {

constexpr float kLength = 4.0f;
constexpr float kRadius = 0.12f;

const Mesh& restTube()
{
    static const Mesh mesh = harness::tube(16, 24, 0.5f, kLength);
    return mesh;
}

Mesh deformed(float amount)
{
    return harness::bentAndTwisted(restTube(), kLength, 1.5f * amount, 2.0f * amount);
}

using Vec = std::array<double, 3>;

// Every channel of a record: vectors as three numbers a point, doubles and ints as one, strings apart.
struct Record {
    std::map<std::string, MFnArrayAttrsData::Type> types;
    std::map<std::string, std::vector<double>> numbers;
    std::map<std::string, std::vector<std::string>> strings;

    Vec vec(const std::string& channel, size_t i) const
    {
        const std::vector<double>& v = numbers.at(channel);
        return {v[3 * i], v[3 * i + 1], v[3 * i + 2]};
    }
    size_t count() const { return numbers.at("position").size() / 3; }
};

void readChannel(MFnArrayAttrsData& fn, const std::string& name, MFnArrayAttrsData::Type type, Record& record)
{
    std::vector<double>& numbers = record.numbers[name];
    if (type == MFnArrayAttrsData::kVectorArray) {
        const MVectorArray a = fn.getVectorData(name.c_str());
        for (unsigned int i = 0; i < a.length(); ++i)
            numbers.insert(numbers.end(), {a[i].x, a[i].y, a[i].z});
    } else if (type == MFnArrayAttrsData::kDoubleArray) {
        const MDoubleArray a = fn.getDoubleData(name.c_str());
        for (unsigned int i = 0; i < a.length(); ++i)
            numbers.push_back(a[i]);
    } else if (type == MFnArrayAttrsData::kIntArray) {
        const MIntArray a = fn.getIntData(name.c_str());
        for (unsigned int i = 0; i < a.length(); ++i)
            numbers.push_back(a[i]);
    } else {
        record.numbers.erase(name);
        const MStringArray a = fn.getStringData(name.c_str());
        for (unsigned int i = 0; i < a.length(); ++i)
            record.strings[name].push_back(a[i].asChar());
    }
}

Record read(const MObject& data)
{
    MFnArrayAttrsData fn(data);
    Record record;
    const MStringArray names = fn.list();
    for (unsigned int k = 0; k < names.length(); ++k) {
        const std::string name = names[k].asChar();
        fn.checkArrayExist(names[k], record.types[name]);
        readChannel(fn, name, record.types[name], record);
    }
    return record;
}

Record pullScatter(ScatterNode& scatter)
{
    MObject data;
    EXPECT_EQ(scatter.plug("outPoints").getValue(data), MS::kSuccess);
    return read(data);
}

Record pullAttach(AttachNode& attach)
{
    MObject data;
    EXPECT_EQ(attach.pull(&data), MS::kSuccess);
    return read(data);
}

Vec cornerOf(const Mesh& mesh, double vertex)
{
    const harness::Point& p = mesh.points[static_cast<size_t>(vertex)];
    return {p[0], p[1], p[2]};
}

Vec minus(const Vec& a, const Vec& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double dot(const Vec& a, const Vec& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec cross(const Vec& a, const Vec& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double distance(const Vec& a, const Vec& b)
{
    const Vec d = minus(a, b);
    return std::sqrt(dot(d, d));
}

// Maya's rotation order XYZ: about X first, then Y, then Z, about the fixed axes.
Vec rotatedUp(const Vec& degrees)
{
    const double toRadians = 3.14159265358979323846 / 180.0;
    const double ax = degrees[0] * toRadians, ay = degrees[1] * toRadians, az = degrees[2] * toRadians;
    Vec r = {0.0, std::cos(ax), std::sin(ax)};
    r = {r[0] * std::cos(ay) + r[2] * std::sin(ay), r[1], -r[0] * std::sin(ay) + r[2] * std::cos(ay)};
    return {r[0] * std::cos(az) - r[1] * std::sin(az), r[0] * std::sin(az) + r[1] * std::cos(az), r[2]};
}

class Attach : public harness::PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        scatter_.setMesh(restTube());
        scatter_.setRadius(kRadius);
        ScatterSettings settings;
        settings.surfaceData = true;
        scatter_.setControls(settings);
    }

    ScatterNode scatter_;
};

TEST_F(Attach, EveryPointKeepsItsTriangleAndWeightsOnTheBentAndTwistedTube)
{
    const Record rest = pullScatter(scatter_);
    AttachNode attach(scatter_);
    const Mesh bent = deformed(1.0f);
    attach.setMesh(bent);
    const Record moved = pullAttach(attach);

    ASSERT_GT(rest.count(), 500u);
    ASSERT_EQ(moved.types, rest.types) << "the same channels, of the same types";
    for (const char* carried : {"id", "faceId", "barycentric", "triangleVertices"})
        EXPECT_EQ(moved.numbers.at(carried), rest.numbers.at(carried)) << carried << ": the rest's order and ids";
    double largestMove = 0.0;
    for (size_t i = 0; i < moved.count(); ++i) {
        const Vec vertices = rest.vec("triangleVertices", i), w = rest.vec("barycentric", i);
        const Vec a = cornerOf(bent, vertices[0]), b = cornerOf(bent, vertices[1]), c = cornerOf(bent, vertices[2]);
        Vec expected;
        for (int axis = 0; axis < 3; ++axis)
            expected[axis] = w[0] * a[axis] + w[1] * b[axis] + w[2] * c[axis];
        const Vec p = moved.vec("position", i);
        ASSERT_LT(distance(p, expected), 1e-12) << "point " << i;
        largestMove = std::max(largestMove, distance(p, rest.vec("position", i)));

        const Vec n = moved.vec("normal", i);
        const Vec facing = cross(minus(b, a), minus(c, a));
        ASSERT_NEAR(dot(n, n), 1.0, 1e-12);
        ASSERT_NEAR(dot(n, facing), std::sqrt(dot(facing, facing)), 1e-9) << "along the deformed triangle's normal";
        ASSERT_EQ(moved.vec("aimDirection", i), n);
        ASSERT_LT(distance(rotatedUp(moved.vec("rotation", i)), n), 1e-9) << "+Y turned onto the normal";
    }
    EXPECT_GT(largestMove, 1.0) << "the points went with the tube";
}

TEST_F(Attach, OnTheRestMeshTheRecordIsTheScatters)
{
    const Record rest = pullScatter(scatter_);
    AttachNode attach(scatter_);
    attach.setMesh(restTube());
    const Record same = pullAttach(attach);

    ASSERT_EQ(same.types, rest.types);
    for (const auto& [name, values] : rest.numbers)
        if (name != "position")
            EXPECT_EQ(same.numbers.at(name), values) << name << ": the same code on the same corners";
    // The scatter places its points in single precision on the device, the attach in double.
    const std::vector<double>& p = same.numbers.at("position");
    const std::vector<double>& q = rest.numbers.at("position");
    ASSERT_EQ(p.size(), q.size());
    for (size_t k = 0; k < p.size(); ++k)
        ASSERT_NEAR(p[k], q[k], 4 * kLength * 6e-8) << "value " << k;
}

TEST_F(Attach, AnimationRecomputesTheAttachAloneAndAMeshWithMoreVerticesIsFine)
{
    AttachNode attach(scatter_);
    std::vector<Record> frames;
    for (int frame = 0; frame < 4; ++frame) {
        attach.setMesh(deformed(0.25f * static_cast<float>(frame + 1)));
        frames.push_back(pullAttach(attach));
        EXPECT_EQ(mayaStandin::computeCount(scatter_.node()), 1) << "the scatter stays clean, frame " << frame;
        EXPECT_EQ(mayaStandin::computeCount(attach.node()), frame + 1);
    }
    EXPECT_NE(frames[0].numbers.at("position"), frames[3].numbers.at("position"));

    Mesh extended = deformed(1.0f);
    extended.points.push_back({9.0f, 9.0f, 9.0f});
    extended.counts.push_back(3);
    extended.connects.insert(extended.connects.end(), {0, 1, static_cast<int>(extended.points.size()) - 1});
    attach.setMesh(extended);
    EXPECT_EQ(pullAttach(attach).numbers, frames[3].numbers) << "vertices past those named change nothing";
}

// A record hand-made on inPoints in place of the scatter's, with every channel but the named ones.
MObject handMade(const Record& from, const std::vector<std::string>& without = {})
{
    MFnArrayAttrsData fn;
    MObject data = fn.create();
    for (const auto& [name, values] : from.numbers) {
        if (std::find(without.begin(), without.end(), name) != without.end())
            continue;
        if (from.types.at(name) == MFnArrayAttrsData::kVectorArray) {
            MVectorArray a = fn.vectorArray(name.c_str());
            for (size_t i = 0; i + 2 < values.size(); i += 3)
                a.append(MVector(values[i], values[i + 1], values[i + 2]));
        } else {
            MDoubleArray a = fn.doubleArray(name.c_str());
            for (double v : values)
                a.append(v);
        }
    }
    return data;
}

TEST_F(Attach, ChannelsOfAnyTypeAndNameAreCarriedOver)
{
    const Record rest = pullScatter(scatter_);
    MObject data = handMade(rest);
    MFnArrayAttrsData fn(data);
    MIntArray flags = fn.intArray("flags");
    MStringArray labels = fn.stringArray("label");
    MDoubleArray scale = fn.doubleArray("scalePP");
    for (size_t i = 0; i < rest.count(); ++i) {
        flags.append(static_cast<int>(i) - 7);
        labels.append(MString(("point" + std::to_string(i)).c_str()));
        scale.append(0.5 * static_cast<double>(i));
    }
    harness::HostNode attach("kyAttachPoints");
    ASSERT_EQ(attach.plug("inPoints").setValue(data), MS::kSuccess);
    attach.setMesh(deformed(0.5f));
    MObject out;
    ASSERT_EQ(attach.plug("outPoints").getValue(out), MS::kSuccess);
    const Record carried = read(out);
    const Record sent = read(data);
    EXPECT_EQ(carried.types, sent.types);
    EXPECT_EQ(carried.strings, sent.strings);
    for (const char* name : {"flags", "scalePP", "id", "triangleVertices"})
        EXPECT_EQ(carried.numbers.at(name), sent.numbers.at(name)) << name;
    EXPECT_EQ(read(data).numbers, sent.numbers) << "the input record is left as it was";
}

// The record `times` over, every channel repeated.
Record repeated(const Record& record, int times)
{
    Record many = record;
    for (auto& [name, values] : many.numbers)
        for (int t = 1; t < times; ++t)
            values.insert(values.end(), record.numbers.at(name).begin(), record.numbers.at(name).end());
    return many;
}

// A long record: every point is placed, and a refusal names the first wrong point, wherever it lies.
TEST_F(Attach, ALongRecordIsPlacedWholeAndItsFirstWrongPointNamed)
{
    const Record many = repeated(pullScatter(scatter_), 300);
    ASSERT_GT(many.count(), 150000u);
    harness::HostNode attach("kyAttachPoints");
    MObject data = handMade(many);
    ASSERT_EQ(attach.plug("inPoints").setValue(data), MS::kSuccess);
    const Mesh bent = deformed(1.0f);
    attach.setMesh(bent);
    MObject out;
    ASSERT_EQ(attach.plug("outPoints").getValue(out), MS::kSuccess);
    const Record moved = read(out);
    ASSERT_EQ(moved.count(), many.count());
    const size_t single = many.count() / 300;
    for (size_t i = 0; i < many.count(); ++i)
        ASSERT_EQ(moved.vec("rotation", i), moved.vec("rotation", i % single)) << "point " << i;

    MVectorArray vertices = MFnArrayAttrsData(data).getVectorData("triangleVertices");
    for (const unsigned int wrong : {140000u, 100u}) {
        vertices[wrong].z = -1.0;
        ASSERT_EQ(attach.plug("inPoints").setValue(data), MS::kSuccess);
        CapturedOutput output;
        EXPECT_NE(attach.plug("outPoints").getValue(out), MS::kSuccess);
        output.finish();
        EXPECT_EQ(output.err().rfind("kyAttachPoints: point " + std::to_string(wrong) + " lies on", 0), 0u)
            << output.err();
    }
}

// The record with its points in reverse order, every channel alike.
Record reversed(const Record& record)
{
    Record back = record;
    const size_t n = record.count();
    for (auto& [name, values] : back.numbers) {
        const size_t width = values.size() / n;
        for (size_t i = 0; i < n; ++i)
            std::copy_n(record.numbers.at(name).begin() + (n - 1 - i) * width, width, values.begin() + i * width);
    }
    return back;
}

// A node that placed one record places the next as a node that never saw the first would: the same count of points on
// other triangles, and one point moved to another triangle of the same record in place.
TEST_F(Attach, ARecordChangedBetweenFramesIsPlacedAsANewNodePlacesIt)
{
    const Record rest = pullScatter(scatter_);
    const Mesh bent = deformed(1.0f);
    auto attached = [&](harness::HostNode& node, MObject data) {
        EXPECT_EQ(node.plug("inPoints").setValue(data), MS::kSuccess);
        MObject out;
        EXPECT_EQ(node.plug("outPoints").getValue(out), MS::kSuccess);
        return read(out);
    };
    harness::HostNode kept("kyAttachPoints");
    kept.setMesh(bent);
    attached(kept, handMade(rest));
    MObject other = handMade(reversed(rest));
    harness::HostNode fresh("kyAttachPoints");
    fresh.setMesh(bent);
    EXPECT_EQ(attached(kept, other).numbers, attached(fresh, other).numbers) << "the reversed record";

    MFnArrayAttrsData fn(other);
    MVectorArray vertices = fn.getVectorData("triangleVertices");
    MVectorArray weights = fn.getVectorData("barycentric");
    vertices[5] = vertices[rest.count() / 2];
    weights[5] = weights[rest.count() / 2];
    harness::HostNode second("kyAttachPoints");
    second.setMesh(bent);
    const Record moved = attached(kept, other);
    EXPECT_EQ(moved.numbers, attached(second, other).numbers) << "one point moved in place";
    EXPECT_EQ(moved.vec("normal", 5), moved.vec("normal", rest.count() / 2));
}

// However the points are shared out, each gets the bytes the surface geometry gives it alone.
TEST_F(Attach, EveryPointOfALongRecordHasTheBytesOfThePointPlacedAlone)
{
    const Record many = repeated(reversed(pullScatter(scatter_)), 120);
    ASSERT_GT(many.count(), 70000u) << "more than two chunks of points";
    harness::HostNode attach("kyAttachPoints");
    MObject data = handMade(many);
    ASSERT_EQ(attach.plug("inPoints").setValue(data), MS::kSuccess);
    const Mesh bent = deformed(1.0f);
    attach.setMesh(bent);
    MObject out;
    ASSERT_EQ(attach.plug("outPoints").getValue(out), MS::kSuccess);
    const Record moved = read(out);
    std::vector<float> points;
    for (const harness::Point& p : bent.points)
        points.insert(points.end(), {p[0], p[1], p[2]});
    for (size_t i = 0; i < many.count(); ++i) {
        const Vec v = many.vec("triangleVertices", i), w = many.vec("barycentric", i);
        const int corners[3] = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2])};
        const TriangleCorners triangle = triangleCorners(points.data(), corners);
        Vec position, normal, rotation;
        pointOnTriangle(triangle, w.data(), position.data());
        triangleNormal(triangle, normal.data());
        rotationOntoNormal(normal.data(), rotation.data());
        ASSERT_EQ(moved.vec("position", i), position) << "point " << i;
        ASSERT_EQ(moved.vec("normal", i), normal) << "point " << i;
        ASSERT_EQ(moved.vec("rotation", i), rotation) << "point " << i;
    }
}

struct Refusal {
    std::string what;
    std::function<void(harness::HostNode&, const Record&)> give;
    std::string err;  // what the standard error stream must hold
};

// Each wrong input fails the compute with its line, and outPoints keeps the last good record.
TEST_F(Attach, WrongInputIsRefusedAndTheLastRecordKept)
{
    const Record rest = pullScatter(scatter_);
    auto record = [](harness::HostNode& node, MObject data) {
        ASSERT_EQ(node.plug("inPoints").setValue(data), MS::kSuccess);
    };
    Mesh fewer = restTube();
    fewer.points.resize(fewer.points.size() - 24);
    fewer.counts.resize(fewer.counts.size() - 24);
    fewer.connects.resize(fewer.connects.size() - 96);
    const std::vector<Refusal> refusals = {
        {"no surface data", [&](auto& node, auto& r) { record(node, handMade(r, {"triangleVertices"})); },
         "kyAttachPoints: inPoints has no triangleVertices vector channel: turn surfaceData on at the scatter node "
         "that makes the points\n"},
        {"no weights", [&](auto& node, auto& r) { record(node, handMade(r, {"barycentric"})); },
         "kyAttachPoints: inPoints has no barycentric vector channel"},
        {"channels of different lengths", [&](auto& node, auto& r) {
             MObject data = handMade(r);
             MFnArrayAttrsData(data).getDoubleData("id").append(1.0);
             record(node, data);
         }, "kyAttachPoints: inPoints is no point record: its channel id holds " + std::to_string(rest.count() + 1) +
                " values, its triangleVertices " + std::to_string(rest.count()) + "\n"},
        {"a vertex the mesh lacks", [&](auto& node, auto& r) {
             record(node, handMade(r));
             node.setMesh(fewer);
         }, ", but inMesh has " + std::to_string(fewer.points.size()) + " vertices: connect the mesh"},
        {"no vertex number", [&](auto& node, auto& r) {
             MObject data = handMade(r);
             MFnArrayAttrsData(data).getVectorData("triangleVertices")[3].y = 2.5;
             record(node, data);
         }, ", which are no vertex numbers\n"},
        {"no mesh", [&](auto& node, auto& r) {
             record(node, handMade(r));
             MObject none;
             ASSERT_EQ(node.plug("inMesh").setValue(none), MS::kSuccess);
         }, "kyAttachPoints: inMesh holds no mesh (connect the deformed mesh): "},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        harness::HostNode attach("kyAttachPoints");
        record(attach, handMade(rest));
        attach.setMesh(deformed(0.5f));
        MObject good;
        ASSERT_EQ(attach.plug("outPoints").getValue(good), MS::kSuccess);
        const Record kept = read(good);

        refusal.give(attach, rest);
        MObject after;
        CapturedOutput output;
        const MStatus status = attach.plug("outPoints").getValue(after);
        output.finish();
        EXPECT_NE(status, MS::kSuccess);
        EXPECT_NE(output.err().find(refusal.err), std::string::npos) << output.err();
        EXPECT_EQ(output.err().rfind("kyAttachPoints: ", 0), 0u) << output.err();
        EXPECT_EQ(std::count(output.err().begin(), output.err().end(), '\n'), 1) << "one line: " << output.err();
        EXPECT_EQ(read(after).numbers, kept.numbers) << "outPoints kept";
        EXPECT_TRUE(mayaStandin::isDirty(attach.plug("outPoints")));
    }
}

}  // namespace
