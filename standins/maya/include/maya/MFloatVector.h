#ifndef _MFloatVector
#define _MFloatVector

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFloatVector {
public:
    MFloatVector();
    MFloatVector(float xx, float yy, float zz = 0.0f);

    float x;
    float y;
    float z;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
