#ifndef _MFnPlugin
#define _MFnPlugin

#include <maya/MFnBase.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

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

// Entry points every plug-in defines; the host looks them up by name. Declared
// plain, as older devkits do: a plug-in built with hidden visibility exports them
// itself.
MStatus initializePlugin(MObject obj);
MStatus uninitializePlugin(MObject obj);

// As in the devkit, the one source file of a plug-in that includes this header
// also defines the exported API version text.
#ifndef MNoVersionString
extern "C" {
__attribute__((visibility("default"))) char MApiVersion[] = "201303";
}
#endif

#endif
