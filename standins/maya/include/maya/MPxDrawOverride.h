#ifndef _MPxDrawOverride
#define _MPxDrawOverride

#include <maya/MBoundingBox.h>
#include <maya/MFrameContext.h>
#include <maya/MUIDrawManager.h>
#include <maya/MUserData.h>
#include <maya/MViewport2Renderer.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

namespace MHWRender {

// Draws every instance of a DAG node type in Viewport 2.0. Maya makes one per
// instance through the creator registered with MDrawRegistry.
class MPxDrawOverride {
public:
    typedef void (*GeometryDrawOverrideCb)(const MDrawContext&, const MUserData*);

    MPxDrawOverride(const MObject& obj, GeometryDrawOverrideCb callback);
    virtual ~MPxDrawOverride();

    // The default is the legacy OpenGL API alone.
    virtual ::MHWRender::DrawAPI supportedDrawAPIs() const;
    // addUIDrawables is called only when this says so.
    virtual bool hasUIDrawables() const;

    virtual MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const;
    virtual bool isBounded(const MDagPath& objPath, const MDagPath& cameraPath) const;

    virtual MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                      const MFrameContext& frameContext, MUserData* oldData) = 0;

    virtual void addUIDrawables(const MDagPath& objPath, MUIDrawManager& drawManager,
                                const MFrameContext& frameContext, const MUserData* data);

private:
    friend struct mayaStandin::detail::DrawOverrideInstance;
    GeometryDrawOverrideCb callback_;
};

}  // namespace MHWRender

OPENMAYA_NAMESPACE_CLOSE

#endif
