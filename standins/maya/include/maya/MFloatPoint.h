#ifndef _MFloatPoint
#define _MFloatPoint

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFloatPoint {
public:
    MFloatPoint();
    MFloatPoint(float xx, float yy, float zz = 0.0f, float ww = 1.0f);

    bool operator==(const MFloatPoint& other) const;
    bool operator!=(const MFloatPoint& other) const;

    float x;
    float y;
    float z;
    float w;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
