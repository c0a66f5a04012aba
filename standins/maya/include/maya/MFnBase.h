#ifndef _MFnBase
#define _MFnBase

#include <maya/MObject.h>
#include <maya/MStatus.h>

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

#endif
