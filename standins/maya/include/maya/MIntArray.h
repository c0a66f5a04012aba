#ifndef _MIntArray
#define _MIntArray

#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MIntArray : public mayaStandin::detail::Array<int> {
public:
    using mayaStandin::detail::Array<int>::Array;

private:
    // MFnArrayAttrsData hands out arrays that refer to the data object's channel.
    friend class MFnArrayAttrsData;
    explicit MIntArray(std::shared_ptr<std::vector<int>> channel) : Array(AliasTag(), std::move(channel)) {}
};

OPENMAYA_NAMESPACE_CLOSE

#endif
