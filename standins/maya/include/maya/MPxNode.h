#ifndef _MPxNode
#define _MPxNode

#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MDataBlock.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPxNode {
public:
    enum Type {
        kDependNode = 0,
        kLocatorNode,
        kLast
    };

    MPxNode();
    virtual ~MPxNode();

    virtual MStatus compute(const MPlug& plug, MDataBlock& dataBlock);
    MObject thisMObject() const;

    // Valid only inside the initializer of the node type being registered.
    static MStatus addAttribute(const MObject& attribute);
    static MStatus attributeAffects(const MObject& whenChanges, const MObject& isAffected);

private:
    friend struct mayaStandin::detail::Access;
    MPxNode(const MPxNode&);
    MPxNode& operator=(const MPxNode&);
    mayaStandin::detail::Node* instance_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
