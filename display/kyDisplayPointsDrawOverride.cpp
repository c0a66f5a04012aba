#include "kyDisplayPointsDrawOverride.h"

#include <maya/MColor.h>
#include <maya/MPoint.h>
#include <maya/MPointArray.h>
#include <maya/MVectorArray.h>

#include "kyDisplayPoints.h"

namespace {

// What prepareForDraw reads for addUIDrawables. Kept by Maya between draws, so a redraw refills it in place.
class DrawData : public MUserData {
public:
    DrawData() : MUserData(false) {}

    float pointSize = 2.0f;
    MPointArray points;
};

}  // namespace

// No draw callback: everything goes through the draw manager. prepareForDraw runs on every draw, as the record on
// inPoints changes without telling Viewport 2.0.
kyDisplayPointsDrawOverride::kyDisplayPointsDrawOverride(const MObject& obj)
    : MHWRender::MPxDrawOverride(obj, nullptr), node_(obj)
{
}

kyDisplayPointsDrawOverride::~kyDisplayPointsDrawOverride() {}

MHWRender::MPxDrawOverride* kyDisplayPointsDrawOverride::creator(const MObject& obj)
{
    return new kyDisplayPointsDrawOverride(obj);
}

MHWRender::DrawAPI kyDisplayPointsDrawOverride::supportedDrawAPIs() const
{
    return MHWRender::kOpenGL | MHWRender::kOpenGLCoreProfile | MHWRender::kDirectX11;
}

bool kyDisplayPointsDrawOverride::isBounded(const MDagPath& /*objPath*/, const MDagPath& /*cameraPath*/) const
{
    return true;
}

MBoundingBox kyDisplayPointsDrawOverride::boundingBox(const MDagPath& /*objPath*/, const MDagPath& /*cameraPath*/) const
{
    return kyDisplayPoints::drawBounds();
}

MUserData* kyDisplayPointsDrawOverride::prepareForDraw(const MDagPath& /*objPath*/, const MDagPath& /*cameraPath*/,
                                                       const MHWRender::MFrameContext& /*frameContext*/,
                                                       MUserData* oldData)
{
    DrawData* data = dynamic_cast<DrawData*>(oldData);
    if (!data)
        data = new DrawData;
    MVectorArray positions;
    kyDisplayPoints::readDrawData(node_, data->pointSize, positions);
    data->points.clear();
    for (unsigned int i = 0; i < positions.length(); ++i)
        data->points.append(MPoint(positions[i].x, positions[i].y, positions[i].z));
    return data;
}

bool kyDisplayPointsDrawOverride::hasUIDrawables() const
{
    return true;
}

void kyDisplayPointsDrawOverride::addUIDrawables(const MDagPath& /*objPath*/, MHWRender::MUIDrawManager& drawManager,
                                                 const MHWRender::MFrameContext& /*frameContext*/,
                                                 const MUserData* userData)
{
    drawManager.beginDrawable();
    drawManager.setColor(MColor(1.0f, 0.0f, 0.0f));
    for (int i = 0; i < 6; i += 2) {
        const float* a = kyDisplayPoints::axisCross[i];
        const float* b = kyDisplayPoints::axisCross[i + 1];
        drawManager.line(MPoint(a[0], a[1], a[2]), MPoint(b[0], b[1], b[2]));
    }
    drawManager.endDrawable();

    const DrawData* data = dynamic_cast<const DrawData*>(userData);
    if (!data)
        return;
    drawManager.beginDrawable();
    drawManager.setColor(MColor(0.0f, 0.0f, 1.0f));
    drawManager.setPointSize(data->pointSize);
    MStatus stat = drawManager.points(data->points, false);
    if (stat != MS::kSuccess)
        stat.perror("drawManager.points(data->points, false);");
    drawManager.endDrawable();
}
