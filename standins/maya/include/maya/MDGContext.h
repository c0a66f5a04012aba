#ifndef _MDGContext
#define _MDGContext

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Only the normal (current time) context exists in the stand-in.
class MDGContext {
public:
    MDGContext();
    bool isNormal() const;

    static MDGContext fsNormal;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
