// The plug-in's entry points: Maya calls these on load and unload.
#include <maya/MFnPlugin.h>

#include <iostream>

#include "../display/kyDisplayPoints.h"
#include "../scatter/kyScatterPoints.h"

// Older devkits declare the entry points without export visibility on Linux, and the build hides every symbol it does
// not name: the definitions carry their own.
#define KY_PLUGIN_ENTRY __attribute__((visibility("default")))

KY_PLUGIN_ENTRY MStatus initializePlugin(MObject obj)
{
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj, "ky", "1.0", "Any");

    result = plugin.registerNode("kyDisplayPoints", kyDisplayPoints::id, kyDisplayPoints::creator,
                                 kyDisplayPoints::initialize, MPxNode::kLocatorNode, nullptr);
    if (!result) {
        result.perror("registerNode");
        return result;
    }
    result = plugin.registerNode("kyScatterPoints", kyScatterPoints::id, kyScatterPoints::creator,
                                 kyScatterPoints::initialize, MPxNode::kDependNode, nullptr);
    std::cout << "kyScatterPoints initialized" << std::endl;
    return result;
}

KY_PLUGIN_ENTRY MStatus uninitializePlugin(MObject obj)
{
    MStatus result = MS::kSuccess;
    MFnPlugin plugin(obj);

    result = plugin.deregisterNode(kyDisplayPoints::id);
    if (!result) {
        result.perror("deregisterNode kyDisplayPoints");
        return result;
    }
    result = plugin.deregisterNode(kyScatterPoints::id);
    return result;
}
