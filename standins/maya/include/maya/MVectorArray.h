#ifndef _MVectorArray
#define _MVectorArray

#include <maya/MVector.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MVectorArray : public mayaStandin::detail::Array<MVector> {
public:
    using mayaStandin::detail::Array<MVector>::Array;

private:
    // MFnArrayAttrsData hands out arrays that refer to the data object's channel.
    friend class MFnArrayAttrsData;
    explicit MVectorArray(std::shared_ptr<std::vector<MVector>> channel)
        : Array(AliasTag(), std::move(channel)) {}
};

OPENMAYA_NAMESPACE_CLOSE

#endif
