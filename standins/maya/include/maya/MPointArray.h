#ifndef _MPointArray
#define _MPointArray

#include <maya/MPoint.h>
#include <mayaStandin/array.h>

class MPointArray : public mayaStandin::detail::Array<MPoint> {
public:
    using mayaStandin::detail::Array<MPoint>::Array;
};

#endif
