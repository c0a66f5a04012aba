#ifndef _MIntArray
#define _MIntArray

#include <mayaStandin/array.h>

class MIntArray : public mayaStandin::detail::Array<int> {
public:
    using mayaStandin::detail::Array<int>::Array;
};

#endif
