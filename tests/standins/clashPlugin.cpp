// A plug-in whose node type reuses the id of the test plug-in's copy node, and that registers a draw override for the
// test plug-in's locator which it never deregisters.

#include <maya/MDrawRegistry.h>
#include <maya/MFnPlugin.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MPxNode.h>

namespace {

void* creator() { return new MPxNode; }
MStatus initialize() { return MS::kSuccess; }

class stClashOverride : public MHWRender::MPxDrawOverride {
public:
    explicit stClashOverride(const MObject& obj) : MHWRender::MPxDrawOverride(obj, nullptr) {}
    MUserData* prepareForDraw(const MDagPath&, const MDagPath&, const MHWRender::MFrameContext&, MUserData*) override {
        return nullptr;
    }
    static MHWRender::MPxDrawOverride* create(const MObject& obj) { return new stClashOverride(obj); }
};

}  // namespace

MStatus initializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    MStatus status = MHWRender::MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/stDrawNode",
                                                                          "stClashPlugin", stClashOverride::create);
    if (!status) return status;
    return plugin.registerNode("stClashNode", MTypeId(0x7F001), creator, initialize);
}

MStatus uninitializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    return plugin.deregisterNode(MTypeId(0x7F001));
}
