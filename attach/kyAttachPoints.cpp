// The attach node's attributes and its compute: every point of the rest record goes to the same weights of the same
// three vertices of the deformed mesh, through the surface geometry the scatter node's surface data uses, so that on
// an undeformed mesh the normals and rotations are the scatter's own. Every channel the attach does not place is
// carried over as it is.
#include "kyAttachPoints.h"

#include <maya/MDataHandle.h>
#include <maya/MDoubleArray.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MIntArray.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>

#include <cmath>
#include <deque>
#include <algorithm>
#include <exception>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "attachPlacement.h"
#include "geometry/surfaceGeometry.h"

MTypeId kyAttachPoints::id(0x80008);
MObject kyAttachPoints::inPoints;
MObject kyAttachPoints::inMesh;
MObject kyAttachPoints::outPoints;

kyAttachPoints::kyAttachPoints() {}

kyAttachPoints::~kyAttachPoints() {}

void* kyAttachPoints::creator()
{
    return new kyAttachPoints();
}

namespace {

const char* const kVertexChannel = "triangleVertices";
const char* const kWeightChannel = "barycentric";
// The channels the attach places anew on the deformed mesh; every other one is carried over.
const char* const kPlacedChannels[] = {"position", "normal", "rotation", "aimDirection"};

// One line on the standard error stream that names what is wrong; a failed call's status text after it.
MStatus report(const std::string& message, const MStatus& status)
{
    std::cerr << "kyAttachPoints: " << message << ": " << status.errorString().asChar() << std::endl;
    return status;
}

MStatus refuse(const std::string& message)
{
    std::cerr << "kyAttachPoints: " << message << std::endl;
    return MS::kInvalidParameter;
}

struct Channel {
    MString name;
    MFnArrayAttrsData::Type type = MFnArrayAttrsData::kInvalid;
    unsigned int length = 0;
};

bool isPlaced(const MString& name)
{
    for (const char* placed : kPlacedChannels)
        if (name == placed)
            return true;
    return false;
}

const Channel* findChannel(const std::vector<Channel>& channels, const char* name)
{
    for (const Channel& channel : channels)
        if (channel.name == name)
            return &channel;
    return nullptr;
}

unsigned int channelLength(MFnArrayAttrsData& record, const Channel& channel, MStatus& status)
{
    switch (channel.type) {
    case MFnArrayAttrsData::kVectorArray:
        return record.getVectorData(channel.name, &status).length();
    case MFnArrayAttrsData::kDoubleArray:
        return record.getDoubleData(channel.name, &status).length();
    case MFnArrayAttrsData::kIntArray:
        return record.getIntData(channel.name, &status).length();
    case MFnArrayAttrsData::kStringArray:
        return record.getStringData(channel.name, &status).length();
    default:
        status = MS::kInvalidParameter;
        return 0;
    }
}

// Every channel of the record with its type and length.
MStatus readChannels(MFnArrayAttrsData& record, std::vector<Channel>& channels)
{
    MStatus status;
    const MStringArray names = record.list(&status);
    if (status != MS::kSuccess)
        return report("cannot list the channels of inPoints", status);
    for (unsigned int i = 0; i < names.length(); ++i) {
        Channel channel;
        channel.name = names[i];
        record.checkArrayExist(channel.name, channel.type, &status);
        if (status == MS::kSuccess)
            channel.length = channelLength(record, channel, status);
        if (status != MS::kSuccess)
            return report(std::string("cannot read the channel ") + names[i].asChar() + " of inPoints", status);
        channels.push_back(channel);
    }
    return MS::kSuccess;
}

// A record the attach can carry: the surface channels as vectors, and every channel one value per point.
MStatus checkChannels(const std::vector<Channel>& channels)
{
    for (const char* name : {kVertexChannel, kWeightChannel}) {
        const Channel* channel = findChannel(channels, name);
        if (channel == nullptr || channel->type != MFnArrayAttrsData::kVectorArray)
            return refuse(std::string("inPoints has no ") + name +
                          " vector channel: turn surfaceData on at the scatter node that makes the points");
    }
    const unsigned int count = findChannel(channels, kVertexChannel)->length;
    for (const Channel& channel : channels)
        if (channel.length != count) {
            std::ostringstream message;
            message << "inPoints is no point record: its channel " << channel.name.asChar() << " holds "
                    << channel.length << " values, its " << kVertexChannel << " " << count;
            return refuse(message.str());
        }
    return MS::kSuccess;
}

// The deformed mesh's vertex positions, x, y, z after one another, in object space as the scatter reads its mesh.
MStatus readMeshPoints(MDataBlock& block, std::vector<float>& points)
{
    MStatus status;
    MDataHandle meshHandle = block.inputValue(kyAttachPoints::inMesh, &status);
    if (status != MS::kSuccess)
        return report("cannot read inMesh", status);
    MObject meshObject = meshHandle.asMesh();
    MFnMesh meshFn(meshObject, &status);
    if (status != MS::kSuccess)
        return report("inMesh holds no mesh (connect the deformed mesh)", status);
    MFloatPointArray vertices;
    status = meshFn.getPoints(vertices, MSpace::kObject);
    if (status != MS::kSuccess)
        return report("cannot read the vertices of inMesh", status);
    points.resize(3 * static_cast<size_t>(vertices.length()));
    for (unsigned int v = 0; v < vertices.length(); ++v) {
        points[3 * v] = vertices[v].x;
        points[3 * v + 1] = vertices[v].y;
        points[3 * v + 2] = vertices[v].z;
    }
    return status;
}

MStatus refuseVertices(unsigned int point, const MVector& named, size_t vertexCount)
{
    const double vertices[3] = {named.x, named.y, named.z};
    return refuse(unplacedPoint(point, vertices, vertexCount, "inMesh",
                                ": connect the mesh the points were scattered on, deformed (the same vertices, moved)"));
}

// Sizes the channels that were made, in the order of kPlacedChannels, to one value per point.
MStatus sizePlacedChannels(PlacedChannels& placed, const MStatus (&made)[4], unsigned int count)
{
    MVectorArray* arrays[] = {&placed.position, &placed.normal, &placed.rotation, &placed.aimDirection};
    for (int k = 0; k < 4; ++k)
        if (made[k] != MS::kSuccess)
            return report(std::string("cannot make the channel ") + kPlacedChannels[k] + " of outPoints", made[k]);
    // Four separate arrays: their memory is claimed side by side.
    MStatus sized[4];
    forEachItem(4, [&](unsigned int k) { sized[k] = arrays[k]->setLength(count); });
    for (int k = 0; k < 4; ++k)
        if (sized[k] != MS::kSuccess || arrays[k]->length() != count)
            return report(std::string("cannot size the channel ") + kPlacedChannels[k] + " of outPoints",
                          sized[k] != MS::kSuccess ? sized[k] : MStatus(MS::kInsufficientMemory));
    return MS::kSuccess;
}

// A channel carried over: the output record's array and the input record's, each initialised from the call that hands
// it out, so that both are the records' own storage and not copies of it.
template <typename Array>
struct Carried {
    MStatus made, read;
    Array to, from;
    template <typename Make, typename Get>
    Carried(Make make, Get get) : to(make(&made)), from(get(&read))
    {
    }
};

// The carried channels, made in the record's order on the compute's thread and filled side by side. A deque keeps
// each in place as more are made.
struct Carrying {
    std::deque<Carried<MVectorArray>> vectors;
    std::deque<Carried<MDoubleArray>> doubles;
    std::deque<Carried<MIntArray>> ints;
    std::deque<Carried<MStringArray>> strings;
    std::vector<std::function<void()>> copies;
};

template <typename Array, typename Make, typename Get>
MStatus carry(std::deque<Carried<Array>>& list, Make make, Get get, const MString& name, Carrying& carrying)
{
    Carried<Array>& channel = list.emplace_back(make, get);
    if (channel.read != MS::kSuccess)
        return report(std::string("cannot read the channel ") + name.asChar() + " of inPoints", channel.read);
    if (channel.made != MS::kSuccess)
        return report(std::string("cannot make the channel ") + name.asChar() + " of outPoints", channel.made);
    carrying.copies.push_back([&channel]() { channel.to = channel.from; });
    return MS::kSuccess;
}

MStatus carryChannel(MFnArrayAttrsData& from, MFnArrayAttrsData& to, const Channel& channel, Carrying& carrying)
{
    const MString& name = channel.name;
    switch (channel.type) {
    case MFnArrayAttrsData::kVectorArray:
        return carry(carrying.vectors, [&](MStatus* s) { return to.vectorArray(name, s); },
                     [&](MStatus* s) { return from.getVectorData(name, s); }, name, carrying);
    case MFnArrayAttrsData::kDoubleArray:
        return carry(carrying.doubles, [&](MStatus* s) { return to.doubleArray(name, s); },
                     [&](MStatus* s) { return from.getDoubleData(name, s); }, name, carrying);
    case MFnArrayAttrsData::kIntArray:
        return carry(carrying.ints, [&](MStatus* s) { return to.intArray(name, s); },
                     [&](MStatus* s) { return from.getIntData(name, s); }, name, carrying);
    default:
        return carry(carrying.strings, [&](MStatus* s) { return to.stringArray(name, s); },
                     [&](MStatus* s) { return from.getStringData(name, s); }, name, carrying);
    }
}

// Every channel of the rest record that the attach does not place, in its order, copied over.
MStatus carryChannels(MFnArrayAttrsData& rest, const std::vector<Channel>& channels, MFnArrayAttrsData& attached)
{
    Carrying carrying;
    for (const Channel& channel : channels) {
        if (isPlaced(channel.name))
            continue;
        const MStatus status = carryChannel(rest, attached, channel, carrying);
        if (status != MS::kSuccess)
            return status;
    }
    forEachItem(static_cast<unsigned int>(carrying.copies.size()), [&](unsigned int k) { carrying.copies[k](); });
    return MS::kSuccess;
}

// The attached record: the placed channels, then every other channel of the rest record in its order.
MStatus attachRecord(MFnArrayAttrsData& rest, const std::vector<Channel>& channels, const std::vector<float>& points,
                     TriangleTable& triangles, MFnArrayAttrsData& attached)
{
    MStatus read[2];
    const MVectorArray vertices = rest.getVectorData(kVertexChannel, &read[0]);
    const MVectorArray weights = rest.getVectorData(kWeightChannel, &read[1]);
    for (const MStatus& status : read)
        if (status != MS::kSuccess)
            return report("cannot read the surface channels of inPoints", status);
    // Initialised from the calls themselves, so each array is the record's channel, not a copy of it.
    MStatus made[4];
    PlacedChannels placed{attached.vectorArray(kPlacedChannels[0], &made[0]),
                          attached.vectorArray(kPlacedChannels[1], &made[1]),
                          attached.vectorArray(kPlacedChannels[2], &made[2]),
                          attached.vectorArray(kPlacedChannels[3], &made[3])};
    MStatus status = sizePlacedChannels(placed, made, vertices.length());
    if (status == MS::kSuccess) {
        const unsigned int wrong = placePoints(Placement{vertices, weights, points, placed}, triangles);
        if (wrong < vertices.length())
            status = refuseVertices(wrong, vertices[wrong], points.size() / 3);
    }
    if (status == MS::kSuccess)
        status = carryChannels(rest, channels, attached);
    return status;
}

MStatus attachPoints(const MPlug& plug, MDataBlock& block, TriangleTable& triangles)
{
    MStatus status;
    MDataHandle restHandle = block.inputValue(kyAttachPoints::inPoints, &status);
    if (status != MS::kSuccess)
        return report("cannot read inPoints", status);
    MObject restData = restHandle.data();
    MFnArrayAttrsData rest(restData, &status);
    if (status != MS::kSuccess)
        return report("inPoints holds no point record", status);
    std::vector<Channel> channels;
    status = readChannels(rest, channels);
    if (status == MS::kSuccess)
        status = checkChannels(channels);
    std::vector<float> points;
    if (status == MS::kSuccess)
        status = readMeshPoints(block, points);
    if (status != MS::kSuccess)
        return status;

    MDataHandle outHandle = block.outputValue(kyAttachPoints::outPoints, &status);
    if (status != MS::kSuccess)
        return report("cannot write outPoints", status);
    MFnArrayAttrsData attached;
    MObject attachedData = attached.create(&status);
    if (status != MS::kSuccess)
        return report("cannot make the record of outPoints", status);
    status = attachRecord(rest, channels, points, triangles, attached);
    if (status != MS::kSuccess)
        return status;
    status = outHandle.set(attachedData);
    if (status != MS::kSuccess)
        return report("cannot set outPoints", status);
    block.setClean(plug);
    return MS::kSuccess;
}

// A point record attribute whose default is a record with an empty position channel, as the other nodes' are.
MStatus createRecordAttribute(const char* longName, const char* shortName, bool writable, MObject& attribute)
{
    MFnTypedAttribute typedFn;
    MStatus status;
    attribute = typedFn.create(longName, shortName, MFnData::kDynArrayAttrs, MObject::kNullObj, &status);
    if (status != MS::kSuccess)
        return report(std::string("cannot create ") + longName, status);
    MFnArrayAttrsData defaultFn;
    MObject defaultData = defaultFn.create(&status);
    if (status == MS::kSuccess)
        defaultFn.vectorArray("position", &status);
    if (status == MS::kSuccess)
        status = typedFn.setDefault(defaultData);
    if (status != MS::kSuccess)
        return report(std::string("cannot give ") + longName + " its default", status);
    // Records are not saved with the scene.
    typedFn.setStorable(false);
    typedFn.setWritable(writable);
    return MS::kSuccess;
}

}  // namespace

MStatus kyAttachPoints::initialize()
{
    MStatus status = createRecordAttribute("outPoints", "op", false, outPoints);
    if (status == MS::kSuccess)
        status = createRecordAttribute("inPoints", "ip", true, inPoints);
    if (status != MS::kSuccess)
        return status;
    MFnTypedAttribute typedFn;
    inMesh = typedFn.create("inMesh", "im", MFnData::kMesh, MObject::kNullObj, &status);
    if (status != MS::kSuccess)
        return report("cannot create inMesh", status);
    for (const MObject* attribute : {&outPoints, &inPoints, &inMesh}) {
        status = addAttribute(*attribute);
        if (status != MS::kSuccess)
            return report("cannot add an attribute", status);
    }
    // Only the deformation changes from frame to frame; the record upstream stays clean.
    attributeAffects(inPoints, outPoints);
    attributeAffects(inMesh, outPoints);
    return MS::kSuccess;
}

MStatus kyAttachPoints::compute(const MPlug& plug, MDataBlock& block)
{
    if (!(plug == outPoints))
        return MS::kUnknownParameter;
    // An exception must not reach the host application.
    try {
        return attachPoints(plug, block, triangles_);
    } catch (const std::exception& e) {
        std::cerr << "kyAttachPoints: compute failed: " << e.what() << std::endl;
        return MS::kFailure;
    } catch (...) {
        std::cerr << "kyAttachPoints: compute failed: unknown exception" << std::endl;
        return MS::kFailure;
    }
}
