#ifndef _MStringArray
#define _MStringArray

#include <maya/MString.h>
#include <mayaStandin/array.h>

class MStringArray : public mayaStandin::detail::Array<MString> {
public:
    using mayaStandin::detail::Array<MString>::Array;
};

#endif
