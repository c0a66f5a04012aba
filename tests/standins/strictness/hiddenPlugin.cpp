// A plug-in built with hidden visibility, as the product is. The devkit declares the entry points plainly, so they
// are exported only when the plug-in says so at their definitions (KY_EXPORT_ENTRY_POINTS here).
#include <maya/MFnPlugin.h>

#ifdef KY_EXPORT_ENTRY_POINTS
#define KY_ENTRY_POINT __attribute__((visibility("default")))
#else
#define KY_ENTRY_POINT
#endif

KY_ENTRY_POINT MStatus initializePlugin(MObject) { return MS::kSuccess; }

KY_ENTRY_POINT MStatus uninitializePlugin(MObject) { return MS::kSuccess; }
