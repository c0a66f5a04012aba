// A plug-in that takes the display node's type id, so that the scatter plug-in's first registration fails.
#include <maya/MFnPlugin.h>
#include <maya/MPxNode.h>

namespace {

void* creator()
{
    return new MPxNode;
}

MStatus initialize()
{
    return MS::kSuccess;
}

}  // namespace

MStatus initializePlugin(MObject obj)
{
    MFnPlugin plugin(obj);
    return plugin.registerNode("idThief", MTypeId(0x80007), creator, initialize);
}

MStatus uninitializePlugin(MObject obj)
{
    MFnPlugin plugin(obj);
    return plugin.deregisterNode(MTypeId(0x80007));
}
