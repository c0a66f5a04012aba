#ifndef _MFnNumericAttribute
#define _MFnNumericAttribute

#include <maya/MFnAttribute.h>
#include <maya/MFnNumericData.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnNumericAttribute : public MFnAttribute {
public:
    MFnNumericAttribute();
    MFnNumericAttribute(const MObject& attribute, MStatus* ReturnStatus = NULL);
    virtual ~MFnNumericAttribute();

    virtual MFn::Type type() const;

    // Only single-valued types (boolean, integer and floating kinds) are supported.
    MObject create(const MString& fullName, const MString& briefName, MFnNumericData::Type unitType,
                   double defaultValue = 0, MStatus* ReturnStatus = NULL);

    // A colour: a k3Float attribute whose float children are named fullName and briefName with R, G and B (r, g, b)
    // added, black by default, used as a colour.
    MObject createColor(const MString& fullName, const MString& briefName, MStatus* ReturnStatus = NULL);
    MFnNumericData::Type unitType(MStatus* ReturnStatus = NULL) const;

    MStatus setDefault(int value);
    MStatus setDefault(float value);
    MStatus setDefault(double value);
    // A colour's: its children's defaults.
    MStatus setDefault(float value1, float value2, float value3);
    MStatus getDefault(double& value);

    MStatus setMin(double value);
    MStatus setMax(double value);
    MStatus setSoftMin(double value);
    MStatus setSoftMax(double value);
    MStatus getMin(double& value) const;
    MStatus getMax(double& value) const;
    MStatus getSoftMin(double& value) const;
    MStatus getSoftMax(double& value) const;
    bool hasMin(MStatus* ReturnStatus = NULL) const;
    bool hasMax(MStatus* ReturnStatus = NULL) const;
    bool hasSoftMin(MStatus* ReturnStatus = NULL) const;
    bool hasSoftMax(MStatus* ReturnStatus = NULL) const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
