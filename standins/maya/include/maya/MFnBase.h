#ifndef _MFnBase
#define _MFnBase

#include <maya/MObject.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnBase {
public:
    MFnBase();
    virtual ~MFnBase();

    virtual MFn::Type type() const;
    MObject object(MStatus* ReturnStatus = NULL) const;

protected:
    MObject object_;

private:
    MFnBase(const MFnBase&);
    MFnBase& operator=(const MFnBase&);
};

OPENMAYA_NAMESPACE_CLOSE

#endif
