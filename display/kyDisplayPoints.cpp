#include "kyDisplayPoints.h"

#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPoint.h>
#include <maya/MVectorArray.h>

#include <GL/gl.h>

#include <iostream>

MTypeId kyDisplayPoints::id(0x80007);
MString kyDisplayPoints::drawDbClassification("drawdb/geometry/kyDisplayPoints");
MString kyDisplayPoints::drawRegistrantId("kyDisplayPointsNodePlugin");
const float kyDisplayPoints::axisCross[6][3] = {{-1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f},  {0.0f, 0.0f, -1.0f},
                                                {0.0f, 0.0f, 1.0f},  {0.0f, -1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
MObject kyDisplayPoints::inPoints;
MObject kyDisplayPoints::pointSize;

kyDisplayPoints::kyDisplayPoints() {}

kyDisplayPoints::~kyDisplayPoints() {}

void* kyDisplayPoints::creator()
{
    return new kyDisplayPoints();
}

MStatus kyDisplayPoints::compute(const MPlug& /*plug*/, MDataBlock& /*data*/)
{
    return MS::kUnknownParameter;
}

void kyDisplayPoints::readDrawData(const MObject& node, float& size, MVectorArray& positions)
{
    MStatus stat;
    MFnDagNode dagFn(node);
    MPlug inPtSizePlug = dagFn.findPlug(pointSize, &stat);
    if (stat != MS::kSuccess)
        stat.perror("dagFn.findPlug(pointSize, &stat);");
    size = 2.0f;  // the attribute's default, should the read fail
    stat = inPtSizePlug.getValue(size);
    if (stat != MS::kSuccess)
        stat.perror("inPtSizePlug.getValue(ptSize);");
    MPlug inPointsPlug = dagFn.findPlug(inPoints, &stat);
    if (stat != MS::kSuccess)
        stat.perror("plug");
    MObject vectorArrayData;
    stat = inPointsPlug.getValue(vectorArrayData);
    if (stat != MS::kSuccess)
        stat.perror("ERROR in inPointsPlug.getValue(vectorArrayData);");
    MFnArrayAttrsData fnArrayAttrsData(vectorArrayData, &stat);
    if (stat != MS::kSuccess)
        stat.perror("ERROR in fnArrayAttrsData(vectorArrayData, &stat);");
    positions = fnArrayAttrsData.getVectorData("position", &stat);
    if (stat != MS::kSuccess)
        stat.perror("points = fnArrayAttrsData.getVectorData('position', &stat);");
}

void kyDisplayPoints::draw(M3dView& view, const MDagPath& /*path*/, M3dView::DisplayStyle /*style*/,
                           M3dView::DisplayStatus /*status*/)
{
    view.beginGL();
    glPushAttrib(GL_CURRENT_BIT);

    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    for (const float* end : axisCross)
        glVertex3fv(end);
    glEnd();

    float ptSize = 2.0f;
    MVectorArray points;
    readDrawData(thisMObject(), ptSize, points);
    const int n = static_cast<int>(points.length());

    glColor3f(0.0f, 0.0f, 1.0f);
    glPointSize(ptSize);
    glBegin(GL_POINTS);
    for (int i = 0; i < n; ++i)
        glVertex3f(static_cast<float>(points[i].x), static_cast<float>(points[i].y), static_cast<float>(points[i].z));
    glEnd();

    glPopAttrib();
    view.endGL();
}

bool kyDisplayPoints::isBounded() const
{
    return true;
}

MBoundingBox kyDisplayPoints::boundingBox() const
{
    return drawBounds();
}

MBoundingBox kyDisplayPoints::drawBounds()
{
    return MBoundingBox(MPoint(-5.0, 0.0, -5.0), MPoint(5.0, 0.0, 5.0));
}

MStatus kyDisplayPoints::initialize()
{
    MFnTypedAttribute typedFn;
    MFnNumericAttribute numericFn;
    MStatus status;

    inPoints = typedFn.create("inPoints", "ip", MFnData::kDynArrayAttrs, MObject::kNullObj, &status);
    if (status != MS::kSuccess) {
        std::cerr << "ERROR in MFnData::kDynArrayAttrs.\n" << "\n" << status.errorString().asChar() << std::endl;
        return status;
    }
    MFnArrayAttrsData defaultDataFn;
    MObject defaultData = defaultDataFn.create();
    defaultDataFn.vectorArray("position", &status);
    if (status != MS::kSuccess) {
        std::cerr << "ERROR\n" << "\n" << status.errorString().asChar() << std::endl;
        return status;
    }
    status = typedFn.setDefault(defaultData);
    if (status != MS::kSuccess) {
        std::cerr << "ERROR\n" << "\n" << status.errorString().asChar() << std::endl;
        return status;
    }
    typedFn.setStorable(false);
    typedFn.setReadable(true);
    typedFn.setWritable(true);
    typedFn.setKeyable(false);
    addAttribute(inPoints);

    pointSize = numericFn.create("pointSize", "ps", MFnNumericData::kInt, 0);
    CHECK_MSTATUS(numericFn.setKeyable(true)); CHECK_MSTATUS(numericFn.setStorable(true)); CHECK_MSTATUS(numericFn.setReadable(true)); CHECK_MSTATUS(numericFn.setWritable(true));
    numericFn.setDefault(2);
    numericFn.setMin(1.0);
    numericFn.setMax(10.0);
    addAttribute(pointSize);
    return MS::kSuccess;
}
