// The scatter node's Maya side: its attributes, and a compute that turns the mesh and the inputs into plain arrays,
// runs the scatter stages and publishes what they accept as the output point record.
#include "kyScatterPoints.h"

#include <maya/MDataHandle.h>
#include <maya/MDoubleArray.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MIntArray.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>

#include <exception>
#include <iomanip>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "colorSetWeights.h"
#include "computeRoads.h"
#include "countCompute.h"
#include "geometry/polygonTriangles.h"
#include "scatterCompute.h"
#include "textureWeights.h"

MTypeId kyScatterPoints::id(0xB2);
MObject kyScatterPoints::inMesh;
MObject kyScatterPoints::boundingBox;
MObject kyScatterPoints::boundingBoxMin;
MObject kyScatterPoints::boundingBoxMinX;
MObject kyScatterPoints::boundingBoxMinY;
MObject kyScatterPoints::boundingBoxMinZ;
MObject kyScatterPoints::boundingBoxMax;
MObject kyScatterPoints::boundingBoxMaxX;
MObject kyScatterPoints::boundingBoxMaxY;
MObject kyScatterPoints::boundingBoxMaxZ;
MObject kyScatterPoints::boundingBoxSize;
MObject kyScatterPoints::boundingBoxSizeX;
MObject kyScatterPoints::boundingBoxSizeY;
MObject kyScatterPoints::boundingBoxSizeZ;
MObject kyScatterPoints::radius;
MObject kyScatterPoints::outPoints;
MObject kyScatterPoints::seed;
MObject kyScatterPoints::passes;
MObject kyScatterPoints::candidateCount;
MObject kyScatterPoints::strictRadius;
MObject kyScatterPoints::surfaceData;
MObject kyScatterPoints::computeDevice;
MObject kyScatterPoints::stableLayout;
MObject kyScatterPoints::densityMap;
MObject kyScatterPoints::densityColorSet;
MObject kyScatterPoints::densityChannel;
MObject kyScatterPoints::densitySource;
MObject kyScatterPoints::densityTexture;
MObject kyScatterPoints::densityUVSet;
MObject kyScatterPoints::densityTextureResolution;
MObject kyScatterPoints::pointCount;
MObject kyScatterPoints::radiusUsed;

kyScatterPoints::kyScatterPoints() {}

kyScatterPoints::~kyScatterPoints() {}

void* kyScatterPoints::creator()
{
    return new kyScatterPoints();
}

namespace {

// A failed Maya call is reported with the status's own text, and its status returned.
MStatus reportMayaCall(const char* message, const MStatus& status)
{
    std::cerr << message << "\n" << status.errorString().asChar() << std::endl;
    return status;
}

// The fields of densitySource, in order.
enum class DensityFrom { colorSet = 0, texture = 1 };

// Where the density map comes from, when it is on.
struct DensitySource {
    bool on = false;
    DensityFrom from = DensityFrom::colorSet;
    MString colorSet;
    DensityChannel channel = DensityChannel::luminance;
};

// A source or resolution no field or limit allows, as a connection can bring, is refused.
bool readTextureSource(MDataBlock& block, const MObject& node, DensityChannel channel, TextureSource& source)
{
    const int resolution = block.inputValue(kyScatterPoints::densityTextureResolution).asInt();
    if (resolution < kMinTextureResolution || resolution > kMaxTextureResolution) {
        std::cerr << "ERROR densityTextureResolution " << resolution << " is outside " << kMinTextureResolution
                  << " to " << kMaxTextureResolution << "; no points computed" << std::endl;
        return false;
    }
    source.texture = MPlug(node, kyScatterPoints::densityTexture);
    source.colour = block.inputValue(kyScatterPoints::densityTexture).asFloatVector();
    source.uvSet = block.inputValue(kyScatterPoints::densityUVSet).asString();
    source.bakeResolution = resolution;
    source.channel = channel;
    return true;
}

// A channel no field names, as a connection can bring, is refused while the map is on.
bool readDensitySource(MDataBlock& block, DensitySource& source)
{
    source.on = block.inputValue(kyScatterPoints::densityMap).asBool();
    if (!source.on)
        return true;
    source.colorSet = block.inputValue(kyScatterPoints::densityColorSet).asString();
    const short channel = block.inputValue(kyScatterPoints::densityChannel).asShort();
    if (channel < static_cast<short>(DensityChannel::luminance) || channel > static_cast<short>(DensityChannel::alpha)) {
        std::cerr << "ERROR densityChannel " << channel
                  << " is none of luminance (0), red, green, blue and alpha (4); no points computed" << std::endl;
        return false;
    }
    source.channel = static_cast<DensityChannel>(channel);
    const short from = block.inputValue(kyScatterPoints::densitySource).asShort();
    if (from != static_cast<short>(DensityFrom::colorSet) && from != static_cast<short>(DensityFrom::texture)) {
        std::cerr << "ERROR densitySource " << from << " is neither colorSet (0) nor texture (1); no points computed"
                  << std::endl;
        return false;
    }
    source.from = static_cast<DensityFrom>(from);
    return true;
}

// The density map's weights, where it is on: a colour set's or a texture's.
MStatus readDensityMap(MDataBlock& block, const MObject& node, MFnMesh& meshFn, ScatterMesh& mesh)
{
    DensitySource density;
    if (!readDensitySource(block, density))
        return MS::kFailure;
    if (!density.on)
        return MS::kSuccess;
    if (density.from == DensityFrom::colorSet)
        return readColorSetWeights(meshFn, density.colorSet, density.channel, mesh);
    TextureSource texture;
    if (!readTextureSource(block, node, density.channel, texture))
        return MS::kFailure;
    return readTextureWeights(meshFn, texture, mesh);
}

// Vertex positions in object space and the mesh's triangulation, as plain arrays; how many triangles each polygon
// has, for the polygons of the surface data; the density map's weights where it is on.
MStatus readMesh(MDataBlock& block, const MObject& node, ScatterMesh& mesh, MIntArray& triangleCounts)
{
    MStatus status;
    MDataHandle meshHandle = block.inputValue(kyScatterPoints::inMesh, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR getting inMesh", status);
    MObject meshObject = meshHandle.asMesh();
    MFnMesh meshFn(meshObject, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR MFnMesh", status);

    MFloatPointArray points;
    status = meshFn.getPoints(points, MSpace::kObject);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR meshFn.getPoints", status);
    mesh.points.resize(3 * static_cast<size_t>(points.length()));
    for (unsigned int i = 0; i < points.length(); ++i) {
        mesh.points[3 * i] = points[i].x;
        mesh.points[3 * i + 1] = points[i].y;
        mesh.points[3 * i + 2] = points[i].z;
    }

    MIntArray triangleVertices;
    status = meshFn.getTriangles(triangleCounts, triangleVertices);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR meshFn.getTriangles", status);
    mesh.triangleVertices.resize(triangleVertices.length());
    for (unsigned int i = 0; i < triangleVertices.length(); ++i)
        mesh.triangleVertices[i] = triangleVertices[i];
    return readDensityMap(block, node, meshFn, mesh);
}

ScatterSettings readSettings(MDataBlock& block)
{
    ScatterSettings settings;
    settings.box.minX = block.inputValue(kyScatterPoints::boundingBoxMinX).asFloat();
    settings.box.minY = block.inputValue(kyScatterPoints::boundingBoxMinY).asFloat();
    settings.box.minZ = block.inputValue(kyScatterPoints::boundingBoxMinZ).asFloat();
    settings.box.maxX = block.inputValue(kyScatterPoints::boundingBoxMaxX).asFloat();
    settings.box.maxZ = block.inputValue(kyScatterPoints::boundingBoxMaxZ).asFloat();
    settings.radius = block.inputValue(kyScatterPoints::radius).asFloat();
    settings.seed = block.inputValue(kyScatterPoints::seed).asInt();
    settings.passes = block.inputValue(kyScatterPoints::passes).asInt();
    settings.candidateCount = block.inputValue(kyScatterPoints::candidateCount).asInt();
    settings.strictRadius = block.inputValue(kyScatterPoints::strictRadius).asBool();
    settings.surfaceData = block.inputValue(kyScatterPoints::surfaceData).asBool();
    settings.stableLayout = block.inputValue(kyScatterPoints::stableLayout).asBool();
    return settings;
}

std::vector<int> valuesOf(const MIntArray& array)
{
    std::vector<int> values(array.length());
    for (unsigned int i = 0; i < array.length(); ++i)
        values[i] = array[i];
    return values;
}

MStatus reportChannel(const char* name, const MStatus& status)
{
    const std::string message = std::string("ERROR in fnOutput channel ") + name + ".\n";
    return reportMayaCall(message.c_str(), status);
}

template <typename T>
MStatus writeVectors(MFnArrayAttrsData& outputFn, const char* name, const std::vector<T>& xyz)
{
    MStatus status;
    MVectorArray channel = outputFn.vectorArray(name, &status);
    if (status != MS::kSuccess)
        return reportChannel(name, status);
    const unsigned int count = static_cast<unsigned int>(xyz.size() / 3);
    channel.setLength(count);
    for (unsigned int i = 0; i < count; ++i)
        channel[i] = MVector(static_cast<double>(xyz[3 * i]), static_cast<double>(xyz[3 * i + 1]),
                             static_cast<double>(xyz[3 * i + 2]));
    return status;
}

template <typename T>
MStatus writeDoubles(MFnArrayAttrsData& outputFn, const char* name, const std::vector<T>& values)
{
    MStatus status;
    MDoubleArray channel = outputFn.doubleArray(name, &status);
    if (status != MS::kSuccess)
        return reportChannel(name, status);
    channel.setLength(static_cast<unsigned int>(values.size()));
    for (unsigned int i = 0; i < values.size(); ++i)
        channel[i] = static_cast<double>(values[i]);
    return status;
}

// The channels Maya's instancer reads (rotation, aimDirection, id) and what the points lie on. The triangle's vertices
// are one vector channel, exact in double, so that they cannot come apart from each other or from the weights.
MStatus writeSurfaceData(MFnArrayAttrsData& outputFn, const SurfaceData& surface)
{
    MStatus status = writeVectors(outputFn, "normal", surface.normals);
    if (status == MS::kSuccess)
        status = writeVectors(outputFn, "rotation", surface.rotations);
    if (status == MS::kSuccess)
        status = writeVectors(outputFn, "aimDirection", surface.normals);
    if (status == MS::kSuccess)
        status = writeDoubles(outputFn, "id", surface.ids);
    if (status == MS::kSuccess)
        status = writeDoubles(outputFn, "faceId", surface.faceIds);
    if (status == MS::kSuccess)
        status = writeVectors(outputFn, "barycentric", surface.barycentric);
    if (status == MS::kSuccess)
        status = writeVectors(outputFn, "triangleVertices", surface.triangleVertices);
    return status;
}

// Publishes the accepted samples as the output record, one position per sample, and the radius they were computed
// with; marks both clean.
MStatus writeOutput(const MPlug& plug, MDataBlock& block, const ScatterResult& result, const ScatterSettings& settings)
{
    MStatus status;
    MDataHandle outHandle = block.outputValue(kyScatterPoints::outPoints, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in hOutArray = block.outputArrayValue.\n", status);
    MFnArrayAttrsData outputFn;
    MObject outputData = outputFn.create(&status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in fnOutput.create.\n", status);
    MVectorArray positions = outputFn.vectorArray("position", &status);
    const std::vector<float>& p = result.points;
    for (size_t i = 0; i + 2 < p.size(); i += 3)
        positions.append(MVector(static_cast<double>(p[i]), static_cast<double>(p[i + 1]), static_cast<double>(p[i + 2])));
    if (settings.surfaceData) {
        status = writeSurfaceData(outputFn, result.surface);
        if (status != MS::kSuccess)
            return status;
    }
    MDataHandle radiusHandle = block.outputValue(kyScatterPoints::radiusUsed, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in radiusUsed = block.outputValue.\n", status);
    status = outHandle.set(outputData);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR\n", status);
    radiusHandle.set(settings.radius);
    // One compute makes both outputs, whichever plug asked for it.
    block.setClean(kyScatterPoints::outPoints);
    block.setClean(kyScatterPoints::radiusUsed);
    return MS::kSuccess;
}

// Where the compute may run; a value no field names, as a connection can bring, is refused.
bool readDevice(MDataBlock& block, ComputeDevice& device)
{
    const short value = block.inputValue(kyScatterPoints::computeDevice).asShort();
    switch (value) {
    case static_cast<short>(ComputeDevice::automatic):
    case static_cast<short>(ComputeDevice::gpu):
    case static_cast<short>(ComputeDevice::cpu):
        device = static_cast<ComputeDevice>(value);
        return true;
    default:
        std::cerr << "ERROR computeDevice " << value << " is none of auto (0), gpu (1) and cpu (2); no points computed"
                  << std::endl;
        return false;
    }
}

// A figure of memory in bytes, and in mebibytes to read.
std::string bytesText(unsigned long long bytes)
{
    std::ostringstream text;
    text << bytes << " bytes (" << std::fixed << std::setprecision(1)
         << static_cast<double>(bytes) / (1024.0 * 1024.0) << " MiB)";
    return text.str();
}

// A compute that failed for want of device memory says so, as the plug-in always has, and how much it asked for.
bool succeeded(ScatterStatus status, const ScatterResult& result)
{
    if (status == ScatterStatus::notEnoughMemory) {
        MStatus().perror("Not enough memory on GPU");
        if (result.memoryNeeded > 0)
            std::cerr << "kyScatterPoints: a step of this compute needs " << bytesText(result.memoryNeeded)
                      << " of device memory, and " << bytesText(result.memoryFree) << " are free" << std::endl;
    }
    return status == ScatterStatus::ok;
}

// Searches the radius for the node's pointCount; the closest compute's points and radius are the result.
bool computeForCount(ComputeDevice device, const ScatterMesh& mesh, int target, ScatterSettings& settings,
                     ScatterResult& result)
{
    const RunCompute run = [device, &mesh](const ScatterSettings& tried, ScatterResult& computed) {
        return succeeded(scatterOnRoad(device, mesh, tried, computed), computed);
    };
    const CountSearch search = computeForCount(mesh, target, false, run, settings, result);
    if (!search.failure.empty()) {
        std::cerr << "ERROR " << search.failure << "; no points computed" << std::endl;
        return false;
    }
    if (!search.withinTolerance)
        std::cout << "kyScatterPoints: pointCount " << target << ": no radius gives it within 1 %; the closest, "
                  << search.count << " points, came at radius " << search.radius << std::endl;
    return true;
}

MStatus computePoints(const MPlug& plug, MDataBlock& block)
{
    ScatterMesh mesh;
    MIntArray triangleCounts;
    MStatus status = readMesh(block, plug.node(), mesh, triangleCounts);
    if (status != MS::kSuccess)
        return status;
    ScatterSettings settings = readSettings(block);
    ComputeDevice device = ComputeDevice::automatic;
    if (!readDevice(block, device))
        return MS::kFailure;
    if (settings.surfaceData)
        mesh.trianglePolygons = polygonOfEachTriangle(valuesOf(triangleCounts));
    ScatterResult result;
    const int target = block.inputValue(kyScatterPoints::pointCount).asInt();
    const bool computed = target > 0 ? computeForCount(device, mesh, target, settings, result)
                                     : succeeded(scatterOnRoad(device, mesh, settings, result), result);
    return computed ? writeOutput(plug, block, result, settings) : MS::kFailure;
}

// The bounding-box floats are hidden yet keyable, storable, readable and writable.
MObject createBoxFloat(MFnNumericAttribute& numericFn, const char* longName, const char* shortName)
{
    MObject attribute = numericFn.create(longName, shortName, MFnNumericData::kFloat, 0.0);
    numericFn.setHidden(true);
    CHECK_MSTATUS(numericFn.setKeyable(true)); CHECK_MSTATUS(numericFn.setStorable(true)); CHECK_MSTATUS(numericFn.setReadable(true)); CHECK_MSTATUS(numericFn.setWritable(true));
    return attribute;
}

MObject createCompound(MFnCompoundAttribute& compoundFn, const char* longName, const char* shortName,
                       const MObject& first, const MObject& second, const MObject& third)
{
    MObject attribute = compoundFn.create(longName, shortName);
    compoundFn.addChild(first);
    compoundFn.addChild(second);
    compoundFn.addChild(third);
    compoundFn.setReadable(true);
    compoundFn.setWritable(true);
    return attribute;
}

// The output record's attribute, whose default is a record with an empty position channel.
MStatus createOutPoints(MObject& attribute)
{
    MFnTypedAttribute typedFn;
    MStatus status;
    attribute = typedFn.create("outPoints", "op", MFnData::kDynArrayAttrs, MObject::kNullObj, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in MFnData::kDynArrayAttrs.\n", status);
    MFnArrayAttrsData defaultDataFn;
    MObject defaultData = defaultDataFn.create();
    defaultDataFn.vectorArray("position", &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR\n", status);
    status = typedFn.setDefault(defaultData);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR\n", status);
    typedFn.setStorable(false);
    typedFn.setWritable(false);
    typedFn.setKeyable(false);
    return status;
}

MObject createBoundingBox()
{
    MFnNumericAttribute numericFn;
    MFnCompoundAttribute compoundFn;
    kyScatterPoints::boundingBoxMinX = createBoxFloat(numericFn, "boundingBoxMinX", "bmix");
    kyScatterPoints::boundingBoxMinY = createBoxFloat(numericFn, "boundingBoxMinY", "bmiy");
    kyScatterPoints::boundingBoxMinZ = createBoxFloat(numericFn, "boundingBoxMinZ", "bmiz");
    kyScatterPoints::boundingBoxMaxX = createBoxFloat(numericFn, "boundingBoxMaxX", "bmax");
    kyScatterPoints::boundingBoxMaxY = createBoxFloat(numericFn, "boundingBoxMaxY", "bmay");
    kyScatterPoints::boundingBoxMaxZ = createBoxFloat(numericFn, "boundingBoxMaxZ", "bmaz");
    kyScatterPoints::boundingBoxSizeX = createBoxFloat(numericFn, "boundingBoxSizeX", "bmsx");
    kyScatterPoints::boundingBoxSizeY = createBoxFloat(numericFn, "boundingBoxSizeY", "bmsy");
    kyScatterPoints::boundingBoxSizeZ = createBoxFloat(numericFn, "boundingBoxSizeZ", "bmsz");
    kyScatterPoints::boundingBoxMin =
        createCompound(compoundFn, "boundingBoxMin", "bmi", kyScatterPoints::boundingBoxMinX,
                       kyScatterPoints::boundingBoxMinY, kyScatterPoints::boundingBoxMinZ);
    kyScatterPoints::boundingBoxMax =
        createCompound(compoundFn, "boundingBoxMax", "bma", kyScatterPoints::boundingBoxMaxX,
                       kyScatterPoints::boundingBoxMaxY, kyScatterPoints::boundingBoxMaxZ);
    kyScatterPoints::boundingBoxSize =
        createCompound(compoundFn, "boundingBoxSize", "bms", kyScatterPoints::boundingBoxSizeX,
                       kyScatterPoints::boundingBoxSizeY, kyScatterPoints::boundingBoxSizeZ);
    return createCompound(compoundFn, "boundingBox", "bb", kyScatterPoints::boundingBoxMin,
                          kyScatterPoints::boundingBoxMax, kyScatterPoints::boundingBoxSize);
}

// A keyable, storable input that steers the compute; min and max are hard limits when given.
MObject createControl(const char* longName, const char* shortName, MFnNumericData::Type type, double defaultValue,
                      const double* min = nullptr, const double* max = nullptr)
{
    MFnNumericAttribute numericFn;
    MObject attribute = numericFn.create(longName, shortName, type, defaultValue);
    CHECK_MSTATUS(numericFn.setKeyable(true)); CHECK_MSTATUS(numericFn.setStorable(true)); CHECK_MSTATUS(numericFn.setReadable(true)); CHECK_MSTATUS(numericFn.setWritable(true));
    if (min != nullptr)
        numericFn.setMin(*min);
    if (max != nullptr)
        numericFn.setMax(*max);
    CHECK_MSTATUS(MPxNode::addAttribute(attribute));
    return attribute;
}

// The controls' defaults give the point set of a node without them, bit for bit; with surface data off the
// record holds the position channel alone.
void createControls()
{
    const double minPasses = kMinPassCount, maxPasses = kMaxPassCount;
    const double minCandidates = kMinCandidateCount, maxCandidates = kMaxCandidateCount;
    kyScatterPoints::seed = createControl("seed", "sd", MFnNumericData::kInt, kDefaultSeed);
    kyScatterPoints::passes =
        createControl("passes", "pas", MFnNumericData::kInt, kDefaultPassCount, &minPasses, &maxPasses);
    kyScatterPoints::candidateCount = createControl("candidateCount", "cc", MFnNumericData::kInt,
                                                    kDefaultCandidateCount, &minCandidates, &maxCandidates);
    kyScatterPoints::strictRadius = createControl("strictRadius", "sr", MFnNumericData::kBoolean, 0.0);
    kyScatterPoints::surfaceData = createControl("surfaceData", "srf", MFnNumericData::kBoolean, 0.0);
    kyScatterPoints::stableLayout = createControl("stableLayout", "sl", MFnNumericData::kBoolean, 0.0);
}

// A keyable, storable enum input whose fields are numbered from 0 in the order given; the first is the default.
MStatus createEnumControl(const char* longName, const char* shortName, std::initializer_list<const char*> fields,
                          MObject& attribute)
{
    MFnEnumAttribute enumFn;
    MStatus status;
    attribute = enumFn.create(longName, shortName, 0, &status);
    if (status != MS::kSuccess)
        return reportMayaCall(("ERROR in " + std::string(longName) + " = enumFn.create.\n").c_str(), status);
    short index = 0;
    for (const char* field : fields)
        CHECK_MSTATUS(enumFn.addField(field, index++));
    CHECK_MSTATUS(enumFn.setKeyable(true)); CHECK_MSTATUS(enumFn.setStorable(true)); CHECK_MSTATUS(enumFn.setReadable(true)); CHECK_MSTATUS(enumFn.setWritable(true));
    return MPxNode::addAttribute(attribute);
}

// The density map's controls: off by default, the mesh's current colour set, its luminance (the fields in the order
// of DensityChannel).
MStatus createDensityControls()
{
    kyScatterPoints::densityMap = createControl("densityMap", "dmap", MFnNumericData::kBoolean, 0.0);
    MFnTypedAttribute typedFn;
    MStatus status;
    kyScatterPoints::densityColorSet =
        typedFn.create("densityColorSet", "dcs", MFnData::kString, MObject::kNullObj, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in densityColorSet = typedFn.create.\n", status);
    // Maya keys no string.
    CHECK_MSTATUS(typedFn.setStorable(true)); CHECK_MSTATUS(typedFn.setReadable(true)); CHECK_MSTATUS(typedFn.setWritable(true));
    CHECK_MSTATUS(MPxNode::addAttribute(kyScatterPoints::densityColorSet));
    return createEnumControl("densityChannel", "dch", {"luminance", "red", "green", "blue", "alpha"},
                             kyScatterPoints::densityChannel);
}

// The texture density map's controls: the colour-set map by default; a white texture, the mesh's current UV set and
// a bake of 256 by 256 texels (the fields in the order of DensityFrom).
MStatus createTextureControls()
{
    MStatus status = createEnumControl("densitySource", "dsrc", {"colorSet", "texture"}, kyScatterPoints::densitySource);
    if (status != MS::kSuccess)
        return status;
    MFnNumericAttribute numericFn;
    kyScatterPoints::densityTexture = numericFn.createColor("densityTexture", "dtx", &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in densityTexture = numericFn.createColor.\n", status);
    CHECK_MSTATUS(numericFn.setDefault(1.0f, 1.0f, 1.0f));
    CHECK_MSTATUS(numericFn.setUsedAsColor(true));
    CHECK_MSTATUS(numericFn.setKeyable(true)); CHECK_MSTATUS(numericFn.setStorable(true)); CHECK_MSTATUS(numericFn.setReadable(true)); CHECK_MSTATUS(numericFn.setWritable(true));
    CHECK_MSTATUS(MPxNode::addAttribute(kyScatterPoints::densityTexture));
    MFnTypedAttribute typedFn;
    kyScatterPoints::densityUVSet = typedFn.create("densityUVSet", "duv", MFnData::kString, MObject::kNullObj, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in densityUVSet = typedFn.create.\n", status);
    CHECK_MSTATUS(typedFn.setStorable(true)); CHECK_MSTATUS(typedFn.setReadable(true)); CHECK_MSTATUS(typedFn.setWritable(true));
    CHECK_MSTATUS(MPxNode::addAttribute(kyScatterPoints::densityUVSet));
    const double minResolution = kMinTextureResolution, maxResolution = kMaxTextureResolution;
    kyScatterPoints::densityTextureResolution =
        createControl("densityTextureResolution", "dtr", MFnNumericData::kInt, kDefaultTextureResolution,
                      &minResolution, &maxResolution);
    return MS::kSuccess;
}

// pointCount (0: off, the radius is the node's own) and the radius a compute used, which only the node writes.
MStatus createCountControls()
{
    const double noCount = 0.0, maxCount = kMaxCandidateCount;
    kyScatterPoints::pointCount = createControl("pointCount", "pc", MFnNumericData::kInt, 0.0, &noCount, &maxCount);
    MFnNumericAttribute numericFn;
    MStatus status;
    kyScatterPoints::radiusUsed = numericFn.create("radiusUsed", "ru", MFnNumericData::kFloat, 0.0, &status);
    if (status != MS::kSuccess)
        return reportMayaCall("ERROR in radiusUsed = numericFn.create.\n", status);
    CHECK_MSTATUS(numericFn.setStorable(false)); CHECK_MSTATUS(numericFn.setWritable(false)); CHECK_MSTATUS(numericFn.setKeyable(false));
    return MPxNode::addAttribute(kyScatterPoints::radiusUsed);
}

}  // namespace

MStatus kyScatterPoints::initialize()
{
    MStatus status = createOutPoints(outPoints);
    if (status != MS::kSuccess)
        return status;
    addAttribute(outPoints);

    MFnTypedAttribute typedFn;
    inMesh = typedFn.create("inMesh", "im", MFnData::kMesh, MObject::kNullObj);
    CHECK_MSTATUS(typedFn.setKeyable(true)); CHECK_MSTATUS(typedFn.setStorable(true)); CHECK_MSTATUS(typedFn.setReadable(true)); CHECK_MSTATUS(typedFn.setWritable(true));
    status = addAttribute(inMesh);
    CHECK_MSTATUS(status);

    boundingBox = createBoundingBox();
    status = addAttribute(boundingBox);
    CHECK_MSTATUS(status);

    MFnNumericAttribute numericFn;
    radius = numericFn.create("radius", "r", MFnNumericData::kFloat, 0.0);
    CHECK_MSTATUS(numericFn.setKeyable(true)); CHECK_MSTATUS(numericFn.setStorable(true)); CHECK_MSTATUS(numericFn.setReadable(true)); CHECK_MSTATUS(numericFn.setWritable(true));
    numericFn.setDefault(1.0);
    numericFn.setMin(kMinRadius);
    status = addAttribute(radius);
    CHECK_MSTATUS(status);

    createControls();
    // Where a compute runs: auto takes the GPU where a usable one is there and the CPU otherwise (the fields in the
    // order of ComputeDevice).
    status = createEnumControl("computeDevice", "cdv", {"auto", "gpu", "cpu"}, computeDevice);
    if (status == MS::kSuccess)
        status = createDensityControls();
    if (status == MS::kSuccess)
        status = createTextureControls();
    if (status == MS::kSuccess)
        status = createCountControls();
    if (status != MS::kSuccess)
        return status;
    for (const MObject* input : {&inMesh, &boundingBox, &radius, &seed, &passes, &candidateCount, &strictRadius,
                                 &surfaceData, &computeDevice, &stableLayout, &densityMap, &densityColorSet,
                                 &densityChannel, &densitySource, &densityTexture, &densityUVSet,
                                 &densityTextureResolution, &pointCount}) {
        attributeAffects(*input, outPoints);
        attributeAffects(*input, radiusUsed);
    }
    return MS::kSuccess;
}

MStatus kyScatterPoints::compute(const MPlug& plug, MDataBlock& block)
{
    if (!(plug == outPoints) && !(plug == radiusUsed))
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
