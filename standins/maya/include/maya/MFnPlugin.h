#ifndef _MFnPlugin
#define _MFnPlugin

#include <maya/MFnBase.h>
#include <maya/MApiVersion.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

// Entry points every plug-in defines; Maya looks them up by their mangled names, which carry the namespace of
// MObject. Declared exported, as the devkit declares them, so a plug-in built with hidden visibility exports them.
PLUGIN_EXPORT MStatus initializePlugin(MObject obj);
PLUGIN_EXPORT MStatus uninitializePlugin(MObject obj);

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnPlugin : public MFnBase {
public:
    MFnPlugin();
    MFnPlugin(MObject& object, const char* vendor = "Unknown", const char* version = "Unknown",
              const char* requiredApiVersion = "Any", MStatus* ReturnStatus = 0L);
    virtual ~MFnPlugin();

    virtual MFn::Type type() const;

    MString vendor(MStatus* ReturnStatus = NULL) const;
    MString version(MStatus* ReturnStatus = NULL) const;

    MStatus registerNode(const MString& typeName, const MTypeId& typeId, MCreatorFunction creatorFunction,
                         MInitializeFunction initFunction, MPxNode::Type type = MPxNode::kDependNode,
                         const MString* classification = NULL);
    MStatus deregisterNode(const MTypeId& typeId);

private:
    MString vendor_;
    MString version_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
