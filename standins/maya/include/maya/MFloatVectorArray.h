#ifndef _MFloatVectorArray
#define _MFloatVectorArray

#include <maya/MFloatVector.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFloatVectorArray : public mayaStandin::detail::Array<MFloatVector> {
public:
    using mayaStandin::detail::Array<MFloatVector>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
