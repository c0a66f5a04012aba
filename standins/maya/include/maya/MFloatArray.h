#ifndef _MFloatArray
#define _MFloatArray

#include <maya/MTypes.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFloatArray : public mayaStandin::detail::Array<float> {
public:
    using mayaStandin::detail::Array<float>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
