#ifndef _MColorArray
#define _MColorArray

#include <maya/MColor.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MColorArray : public mayaStandin::detail::Array<MColor> {
public:
    using mayaStandin::detail::Array<MColor>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
