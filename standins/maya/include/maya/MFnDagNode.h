#ifndef _MFnDagNode
#define _MFnDagNode

#include <maya/MFnDependencyNode.h>

class MFnDagNode : public MFnDependencyNode {
public:
    MFnDagNode();
    MFnDagNode(const MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnDagNode();

    virtual MFn::Type type() const;
};

#endif
