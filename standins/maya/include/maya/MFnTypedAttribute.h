#ifndef _MFnTypedAttribute
#define _MFnTypedAttribute

#include <maya/MFnAttribute.h>
#include <maya/MFnData.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnTypedAttribute : public MFnAttribute {
public:
    MFnTypedAttribute();
    MFnTypedAttribute(const MObject& attribute, MStatus* ReturnStatus = NULL);
    virtual ~MFnTypedAttribute();

    virtual MFn::Type type() const;

    MObject create(const MString& fullName, const MString& briefName, MFnData::Type type,
                   const MObject& defaultData = MObject::kNullObj, MStatus* ReturnStatus = NULL);

    MFnData::Type attrType(MStatus* ReturnStatus = NULL) const;
    MStatus getDefault(MObject& defaultData);
    MStatus setDefault(const MObject& defaultData);
};

OPENMAYA_NAMESPACE_CLOSE

#endif
