#ifndef _MIntArray
#define _MIntArray

#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MIntArray : public mayaStandin::detail::Array<int> {
public:
    using mayaStandin::detail::Array<int>::Array;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
