#include "kyScatterPoints.h"

#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MVectorArray.h>

#include <iostream>

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

kyScatterPoints::kyScatterPoints() {}

kyScatterPoints::~kyScatterPoints() {}

void* kyScatterPoints::creator()
{
    return new kyScatterPoints();
}

namespace {

MStatus reportInitializeFailure(const char* message, const MStatus& status)
{
    std::cerr << message << "\n" << status.errorString().asChar() << std::endl;
    return status;
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

}  // namespace

MStatus kyScatterPoints::initialize()
{
    MFnTypedAttribute typedFn;
    MFnNumericAttribute numericFn;
    MFnCompoundAttribute compoundFn;
    MStatus status;

    outPoints = typedFn.create("outPoints", "op", MFnData::kDynArrayAttrs, MObject::kNullObj, &status);
    if (status != MS::kSuccess)
        return reportInitializeFailure("ERROR in MFnData::kDynArrayAttrs.\n", status);
    MFnArrayAttrsData defaultDataFn;
    MObject defaultData = defaultDataFn.create();
    defaultDataFn.vectorArray("position", &status);
    if (status != MS::kSuccess)
        return reportInitializeFailure("ERROR\n", status);
    status = typedFn.setDefault(defaultData);
    if (status != MS::kSuccess)
        return reportInitializeFailure("ERROR\n", status);
    typedFn.setStorable(false);
    typedFn.setWritable(false);
    typedFn.setKeyable(false);
    addAttribute(outPoints);

    inMesh = typedFn.create("inMesh", "im", MFnData::kMesh, MObject::kNullObj);
    CHECK_MSTATUS(typedFn.setKeyable(true)); CHECK_MSTATUS(typedFn.setStorable(true)); CHECK_MSTATUS(typedFn.setReadable(true)); CHECK_MSTATUS(typedFn.setWritable(true));
    status = addAttribute(inMesh);
    CHECK_MSTATUS(status);

    boundingBoxMinX = createBoxFloat(numericFn, "boundingBoxMinX", "bmix");
    boundingBoxMinY = createBoxFloat(numericFn, "boundingBoxMinY", "bmiy");
    boundingBoxMinZ = createBoxFloat(numericFn, "boundingBoxMinZ", "bmiz");
    boundingBoxMaxX = createBoxFloat(numericFn, "boundingBoxMaxX", "bmax");
    boundingBoxMaxY = createBoxFloat(numericFn, "boundingBoxMaxY", "bmay");
    boundingBoxMaxZ = createBoxFloat(numericFn, "boundingBoxMaxZ", "bmaz");
    boundingBoxSizeX = createBoxFloat(numericFn, "boundingBoxSizeX", "bmsx");
    boundingBoxSizeY = createBoxFloat(numericFn, "boundingBoxSizeY", "bmsy");
    boundingBoxSizeZ = createBoxFloat(numericFn, "boundingBoxSizeZ", "bmsz");

    boundingBoxMin = createCompound(compoundFn, "boundingBoxMin", "bmi", boundingBoxMinX, boundingBoxMinY, boundingBoxMinZ);
    boundingBoxMax = createCompound(compoundFn, "boundingBoxMax", "bma", boundingBoxMaxX, boundingBoxMaxY, boundingBoxMaxZ);
    boundingBoxSize =
        createCompound(compoundFn, "boundingBoxSize", "bms", boundingBoxSizeX, boundingBoxSizeY, boundingBoxSizeZ);
    boundingBox = createCompound(compoundFn, "boundingBox", "bb", boundingBoxMin, boundingBoxMax, boundingBoxSize);
    status = addAttribute(boundingBox);
    CHECK_MSTATUS(status);

    radius = numericFn.create("radius", "r", MFnNumericData::kFloat, 0.0);
    CHECK_MSTATUS(numericFn.setKeyable(true)); CHECK_MSTATUS(numericFn.setStorable(true)); CHECK_MSTATUS(numericFn.setReadable(true)); CHECK_MSTATUS(numericFn.setWritable(true));
    numericFn.setDefault(1.0);
    numericFn.setMin(0.001);
    status = addAttribute(radius);
    CHECK_MSTATUS(status);

    attributeAffects(inMesh, outPoints);
    attributeAffects(boundingBox, outPoints);
    attributeAffects(radius, outPoints);
    return MS::kSuccess;
}
