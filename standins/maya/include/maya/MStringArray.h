#ifndef _MStringArray
#define _MStringArray

#include <maya/MString.h>
#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MStringArray : public mayaStandin::detail::Array<MString> {
public:
    using mayaStandin::detail::Array<MString>::Array;

private:
    // MFnArrayAttrsData hands out arrays that refer to the data object's channel.
    friend class MFnArrayAttrsData;
    explicit MStringArray(std::shared_ptr<std::vector<MString>> channel) : Array(AliasTag(), std::move(channel)) {}
};

OPENMAYA_NAMESPACE_CLOSE

#endif
