#ifndef _MStringArray
#define _MStringArray

#include <maya/MString.h>
#include <mayaStandin/array.h>

class MFnArrayAttrsData;

class MStringArray : public mayaStandin::detail::Array<MString> {
public:
    using mayaStandin::detail::Array<MString>::Array;

private:
    // MFnArrayAttrsData hands out arrays that refer to the data object's channel.
    friend class MFnArrayAttrsData;
    explicit MStringArray(std::shared_ptr<std::vector<MString>> channel) : Array(AliasTag(), std::move(channel)) {}
};

#endif
