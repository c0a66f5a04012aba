#ifndef _MDataHandle
#define _MDataHandle

#include <maya/MFloatVector.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDataHandle {
public:
    MDataHandle();

    MObject data();
    MObject asMesh();

    // References into the node's storage; numeric kinds other than the
    // attribute's own return a converted copy.
    bool& asBool();
    float& asFloat();
    int& asInt();
    short& asShort();
    double& asDouble();
    // A string attribute's text; empty where it holds none.
    MString& asString();
    // A k3Float attribute's (a colour's) three values, as its children held them when the handle was made.
    MFloatVector& asFloatVector();

    void set(float value);
    void set(int value);
    void set(double value);
    void set(const MString& value);
    MStatus set(const MObject& data);

private:
    friend struct mayaStandin::detail::Access;
    mayaStandin::detail::Value* value_;
    mayaStandin::detail::Attribute* attribute_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
