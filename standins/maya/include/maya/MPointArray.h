#ifndef _MPointArray
#define _MPointArray

#include <maya/MPoint.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPointArray : public mayaStandin::detail::Array<MPoint> {
public:
    using mayaStandin::detail::Array<MPoint>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
