// A plug-in built with hidden visibility, as the product is, whose entry points say nothing of visibility: the devkit
// declares them with PLUGIN_EXPORT, so they are exported all the same.
#include <maya/MFnPlugin.h>

MStatus initializePlugin(MObject) { return MS::kSuccess; }

MStatus uninitializePlugin(MObject) { return MS::kSuccess; }
