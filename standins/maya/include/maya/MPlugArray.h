#ifndef _MPlugArray
#define _MPlugArray

#include <maya/MPlug.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPlugArray : public mayaStandin::detail::Array<MPlug> {
public:
    using mayaStandin::detail::Array<MPlug>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
