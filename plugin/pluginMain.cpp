// The plug-in's entry points: Maya calls these on load and unload.
#include <maya/MDrawRegistry.h>
#include <maya/MFnPlugin.h>

#include <iostream>

#include "../attach/kyAttachPoints.h"
#include "../display/kyDisplayPoints.h"
#include "../display/kyDisplayPointsDrawOverride.h"
#include "../scatter/kyScatterPoints.h"

// Older devkits declare the entry points without export visibility on Linux, and the build hides every symbol it does
// not name: the definitions carry their own.
#define KY_PLUGIN_ENTRY __attribute__((visibility("default")))

namespace {

MStatus registerDisplayOverride()
{
    MStatus result = MHWRender::MDrawRegistry::registerDrawOverrideCreator(
        kyDisplayPoints::drawDbClassification, kyDisplayPoints::drawRegistrantId, kyDisplayPointsDrawOverride::creator);
    if (!result)
        result.perror("registerDrawOverrideCreator");
    return result;
}

// The display node with its Viewport 2.0 override, both or neither.
MStatus registerDisplay(MFnPlugin& plugin)
{
    MStatus result = plugin.registerNode("kyDisplayPoints", kyDisplayPoints::id, kyDisplayPoints::creator,
                                         kyDisplayPoints::initialize, MPxNode::kLocatorNode,
                                         &kyDisplayPoints::drawDbClassification);
    if (!result) {
        result.perror("registerNode");
        return result;
    }
    result = registerDisplayOverride();
    if (!result) {
        MStatus undone = plugin.deregisterNode(kyDisplayPoints::id);
        if (!undone)
            undone.perror("deregisterNode kyDisplayPoints");
    }
    return result;
}

// Viewport 2.0 stops drawing the type before the type goes; a failure leaves both registered, so unloading can be
// tried again.
MStatus deregisterDisplay(MFnPlugin& plugin)
{
    MStatus result = MHWRender::MDrawRegistry::deregisterDrawOverrideCreator(kyDisplayPoints::drawDbClassification,
                                                                            kyDisplayPoints::drawRegistrantId);
    if (!result) {
        result.perror("deregisterDrawOverrideCreator");
        return result;
    }
    result = plugin.deregisterNode(kyDisplayPoints::id);
    if (!result) {
        result.perror("deregisterNode kyDisplayPoints");
        registerDisplayOverride();
    }
    return result;
}

MStatus registerAttach(MFnPlugin& plugin)
{
    MStatus result = plugin.registerNode("kyAttachPoints", kyAttachPoints::id, kyAttachPoints::creator,
                                         kyAttachPoints::initialize, MPxNode::kDependNode, nullptr);
    if (!result)
        result.perror("registerNode kyAttachPoints");
    return result;
}

// Registered before the attach node, which reads what it makes; undone together if the attach node fails.
MStatus registerScatterAndAttach(MFnPlugin& plugin)
{
    MStatus result = plugin.registerNode("kyScatterPoints", kyScatterPoints::id, kyScatterPoints::creator,
                                         kyScatterPoints::initialize, MPxNode::kDependNode, nullptr);
    if (!result) {
        result.perror("registerNode kyScatterPoints");
        return result;
    }
    result = registerAttach(plugin);
    if (!result) {
        MStatus undone = plugin.deregisterNode(kyScatterPoints::id);
        if (!undone)
            undone.perror("deregisterNode kyScatterPoints");
    }
    return result;
}

}  // namespace

KY_PLUGIN_ENTRY MStatus initializePlugin(MObject obj)
{
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj, "ky", "1.0", "Any");

    result = registerDisplay(plugin);
    if (!result)
        return result;
    result = registerScatterAndAttach(plugin);
    if (!result) {
        // A load that failed leaves nothing registered and claims nothing on stdout.
        deregisterDisplay(plugin);
        return result;
    }
    std::cout << "kyScatterPoints initialized" << std::endl;
    return result;
}

KY_PLUGIN_ENTRY MStatus uninitializePlugin(MObject obj)
{
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj);

    // In the reverse order of registration; a failure registers again what went before it, all or nothing, so
    // unloading can be tried again.
    result = plugin.deregisterNode(kyAttachPoints::id);
    if (!result) {
        result.perror("deregisterNode kyAttachPoints");
        return result;
    }
    result = deregisterDisplay(plugin);
    if (!result) {
        registerAttach(plugin);
        return result;
    }
    result = plugin.deregisterNode(kyScatterPoints::id);
    if (!result) {
        result.perror("deregisterNode kyScatterPoints");
        registerDisplay(plugin);
        registerAttach(plugin);
    }
    return result;
}
