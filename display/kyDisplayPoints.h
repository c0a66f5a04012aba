// The display locator: draws a point set received on inPoints as GL points.
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

    static MTypeId id;
    static MString drawRegistrantId;
    static MObject inPoints;
    static MObject pointSize;
};
