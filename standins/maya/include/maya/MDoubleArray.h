#ifndef _MDoubleArray
#define _MDoubleArray

#include <mayaStandin/array.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDoubleArray : public mayaStandin::detail::Array<double> {
public:
    using mayaStandin::detail::Array<double>::Array;

private:
    // MFnArrayAttrsData hands out arrays that refer to the data object's channel.
    friend class MFnArrayAttrsData;
    explicit MDoubleArray(std::shared_ptr<std::vector<double>> channel) : Array(AliasTag(), std::move(channel)) {}
};

OPENMAYA_NAMESPACE_CLOSE

#endif
