#ifndef _MFnDagNode
#define _MFnDagNode

#include <maya/MFnDependencyNode.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnDagNode : public MFnDependencyNode {
public:
    MFnDagNode();
    MFnDagNode(const MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnDagNode();

    virtual MFn::Type type() const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
