#ifndef _MFnDependencyNode
#define _MFnDependencyNode

#include <maya/MFnBase.h>
#include <maya/MPlug.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnDependencyNode : public MFnBase {
public:
    MFnDependencyNode();
    MFnDependencyNode(const MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnDependencyNode();

    virtual MFn::Type type() const;

    MPlug findPlug(const MObject& attribute, MStatus* ReturnStatus = NULL) const;
    MPlug findPlug(const MString& attributeName, MStatus* ReturnStatus = NULL) const;

    MString name(MStatus* ReturnStatus = NULL) const;
    MTypeId typeId(MStatus* ReturnStatus = NULL) const;
    MString typeName(MStatus* ReturnStatus = NULL) const;
    MPxNode* userNode(MStatus* ReturnStatus = NULL) const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
