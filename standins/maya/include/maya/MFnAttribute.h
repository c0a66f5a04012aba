#ifndef _MFnAttribute
#define _MFnAttribute

#include <maya/MFnBase.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnAttribute : public MFnBase {
public:
    MFnAttribute();
    MFnAttribute(const MObject& attribute, MStatus* ReturnStatus = NULL);
    virtual ~MFnAttribute();

    virtual MFn::Type type() const;

    MString name(MStatus* ReturnStatus = NULL) const;
    MString shortName(MStatus* ReturnStatus = NULL) const;

    bool isKeyable(MStatus* ReturnStatus = NULL) const;
    bool isStorable(MStatus* ReturnStatus = NULL) const;
    bool isReadable(MStatus* ReturnStatus = NULL) const;
    bool isWritable(MStatus* ReturnStatus = NULL) const;
    bool isHidden(MStatus* ReturnStatus = NULL) const;

    MStatus setKeyable(bool state);
    MStatus setStorable(bool state);
    MStatus setReadable(bool state);
    MStatus setWritable(bool state);
    MStatus setHidden(bool state);
    bool isUsedAsColor(MStatus* ReturnStatus = NULL) const;
    MStatus setUsedAsColor(bool state);
};

OPENMAYA_NAMESPACE_CLOSE

#endif
