#ifndef _MPxLocatorNode
#define _MPxLocatorNode

#include <maya/MPxNode.h>
#include <maya/M3dView.h>
#include <maya/MDagPath.h>
#include <maya/MBoundingBox.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPxLocatorNode : public MPxNode {
public:
    MPxLocatorNode();
    virtual ~MPxLocatorNode();

    virtual void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style,
                      M3dView::DisplayStatus status);
    virtual bool isBounded() const;
    virtual MBoundingBox boundingBox() const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
