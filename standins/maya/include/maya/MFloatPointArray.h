#ifndef _MFloatPointArray
#define _MFloatPointArray

#include <maya/MFloatPoint.h>
#include <mayaStandin/array.h>

class MFloatPointArray : public mayaStandin::detail::Array<MFloatPoint> {
public:
    using mayaStandin::detail::Array<MFloatPoint>::Array;
};

#endif
