#ifndef _MStringArray
#define _MStringArray

#include <maya/MString.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MStringArray : public mayaStandin::detail::Array<MString> {
public:
    using mayaStandin::detail::Array<MString>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
