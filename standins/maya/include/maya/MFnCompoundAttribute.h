#ifndef _MFnCompoundAttribute
#define _MFnCompoundAttribute

#include <maya/MFnAttribute.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnCompoundAttribute : public MFnAttribute {
public:
    MFnCompoundAttribute();
    MFnCompoundAttribute(const MObject& attribute, MStatus* ReturnStatus = NULL);
    virtual ~MFnCompoundAttribute();

    virtual MFn::Type type() const;

    MObject create(const MString& fullName, const MString& briefName, MStatus* ReturnStatus = NULL);
    MStatus addChild(const MObject& child);
    unsigned int numChildren(MStatus* ReturnStatus = NULL) const;
    MObject child(unsigned int index, MStatus* ReturnStatus = NULL) const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
