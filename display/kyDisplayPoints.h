// The display locator: draws a point set received on inPoints as points, with an axis cross at its origin. The legacy
// viewport draws it here in GL; Viewport 2.0 through kyDisplayPointsDrawOverride.
#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>
#include <maya/MVectorArray.h>
#include <maya/M3dView.h>

class kyDisplayPoints : public MPxLocatorNode {
public:
    kyDisplayPoints();
    ~kyDisplayPoints() override;

    MStatus compute(const MPlug& plug, MDataBlock& data) override;
    void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style,
              M3dView::DisplayStatus status) override;
    bool isBounded() const override;
    MBoundingBox boundingBox() const override;

    static void* creator();
    static MStatus initialize();

    // What both viewports draw, read from the node's plugs: the point size and the positions of the record on
    // inPoints. A failing read is reported and leaves the attribute's default size, or no points.
    static void readDrawData(const MObject& node, float& size, MVectorArray& positions);
    static MBoundingBox drawBounds();
    // The axis cross: three lines through the origin, their end points after one another.
    static const float axisCross[6][3];

    static MTypeId id;
    static MString drawDbClassification;
    static MString drawRegistrantId;
    static MObject inPoints;
    static MObject pointSize;
};
