#ifndef _MPoint
#define _MPoint

#include <maya/MTypes.h>

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

#endif
