#ifndef _MDGContext
#define _MDGContext

#include <maya/MTypes.h>

// Only the normal (current time) context exists in the stand-in.
class MDGContext {
public:
    MDGContext();
    bool isNormal() const;

    static MDGContext fsNormal;
};

#endif
