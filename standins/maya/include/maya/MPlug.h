#ifndef _MPlug
#define _MPlug

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MDGContext.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPlug {
public:
    MPlug();
    MPlug(const MObject& node, const MObject& attribute);
    MPlug(const MPlug& other);
    ~MPlug();
    MPlug& operator=(const MPlug& other);

    MObject attribute(MStatus* ReturnStatus = NULL) const;
    MObject node(MStatus* ReturnStatus = NULL) const;
    MString name(MStatus* ReturnStatus = NULL) const;
    bool isNull(MStatus* ReturnStatus = NULL) const;
    // The plugs connected to this one: its source (asDst) and its destinations (asSrc). A colour connects as a whole.
    bool connectedTo(MPlugArray& array, bool asDst, bool asSrc, MStatus* ReturnStatus = NULL) const;

    // Reading a plug evaluates it first when it is dirty.
    MStatus getValue(float& value, MDGContext& ctx = MDGContext::fsNormal) const;
    MStatus getValue(int& value, MDGContext& ctx = MDGContext::fsNormal) const;
    MStatus getValue(double& value, MDGContext& ctx = MDGContext::fsNormal) const;
    MStatus getValue(MObject& value, MDGContext& ctx = MDGContext::fsNormal) const;
    MStatus getValue(MString& value, MDGContext& ctx = MDGContext::fsNormal) const;

    MStatus setValue(float value);
    MStatus setValue(int value);
    MStatus setValue(double value);
    MStatus setValue(MObject& value);
    MStatus setValue(const MString& value);

    bool operator==(const MPlug& other) const;
    bool operator==(const MObject& attribute) const;
    bool operator!=(const MPlug& other) const;
    bool operator!=(const MObject& attribute) const;

private:
    MObject node_;
    MObject attribute_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
