// The devkit's MFnTypedAttribute::create takes the default data before the status; the older form without it is gone.
#include <maya/MFnTypedAttribute.h>

MObject meshAttribute(MStatus* status)
{
    MFnTypedAttribute typedFn;
#ifdef KY_BREAK_RULE
    return typedFn.create("inMesh", "im", MFnData::kMesh, status);
#else
    return typedFn.create("inMesh", "im", MFnData::kMesh, MObject::kNullObj, status);
#endif
}
