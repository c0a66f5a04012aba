// A plug-in whose node type reuses the id of the test plug-in's copy node.

#include <maya/MFnPlugin.h>
#include <maya/MPxNode.h>

namespace {

void* creator() { return new MPxNode; }
MStatus initialize() { return MS::kSuccess; }

}  // namespace

MStatus initializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    return plugin.registerNode("stClashNode", MTypeId(0x7F001), creator, initialize);
}

MStatus uninitializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    return plugin.deregisterNode(MTypeId(0x7F001));
}
