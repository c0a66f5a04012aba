#ifndef _MFloatPointArray
#define _MFloatPointArray

#include <maya/MFloatPoint.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFloatPointArray : public mayaStandin::detail::Array<MFloatPoint> {
public:
    using mayaStandin::detail::Array<MFloatPoint>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
