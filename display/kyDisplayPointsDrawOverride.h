// Viewport 2.0's drawing of kyDisplayPoints: the axis cross and the points the legacy draw shows, queued on Maya's UI
// draw manager, which every draw API runs, the core profile included.
#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MFrameContext.h>
#include <maya/MObject.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MUIDrawManager.h>
#include <maya/MUserData.h>
#include <maya/MViewport2Renderer.h>

class kyDisplayPointsDrawOverride : public MHWRender::MPxDrawOverride {
public:
    ~kyDisplayPointsDrawOverride() override;

    MHWRender::DrawAPI supportedDrawAPIs() const override;
    bool isBounded(const MDagPath& objPath, const MDagPath& cameraPath) const override;
    MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const override;

    // Reads the point size and positions into the user data, reusing the data of the draw before.
    MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                              const MHWRender::MFrameContext& frameContext, MUserData* oldData) override;
    bool hasUIDrawables() const override;
    void addUIDrawables(const MDagPath& objPath, MHWRender::MUIDrawManager& drawManager,
                        const MHWRender::MFrameContext& frameContext, const MUserData* data) override;

    static MHWRender::MPxDrawOverride* creator(const MObject& obj);

private:
    explicit kyDisplayPointsDrawOverride(const MObject& obj);

    MObject node_;
};
