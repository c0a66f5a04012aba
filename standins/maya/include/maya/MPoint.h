#ifndef _MPoint
#define _MPoint

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPoint {
public:
    MPoint();
    MPoint(double xx, double yy, double zz = 0.0, double ww = 1.0);

    bool operator==(const MPoint& other) const;
    bool operator!=(const MPoint& other) const;

    double x;
    double y;
    double z;
    double w;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
