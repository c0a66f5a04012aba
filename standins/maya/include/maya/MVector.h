#ifndef _MVector
#define _MVector

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MVector {
public:
    MVector();
    MVector(double xx, double yy, double zz = 0.0);

    bool operator==(const MVector& other) const;
    bool operator!=(const MVector& other) const;

    double x;
    double y;
    double z;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
