#ifndef _MFnEnumAttribute
#define _MFnEnumAttribute

#include <maya/MFnAttribute.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// An attribute that holds one of a list of named values, as a short.
class MFnEnumAttribute : public MFnAttribute {
public:
    MFnEnumAttribute();
    MFnEnumAttribute(MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnEnumAttribute();

    virtual MFn::Type type() const;

    MObject create(const MString& fullName, const MString& briefName, short defaultValue = 0,
                   MStatus* ReturnStatus = NULL);
    // Fails with kInvalidParameter when the name or the index is already a field's.
    MStatus addField(const MString& fieldString, short index);
    MString fieldName(short index, MStatus* ReturnStatus = NULL) const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
