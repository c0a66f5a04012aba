#ifndef _MBoundingBox
#define _MBoundingBox

#include <maya/MPoint.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MBoundingBox {
public:
    MBoundingBox();
    // The corners may be given in any order; each axis is sorted.
    MBoundingBox(const MPoint& corner1, const MPoint& corner2);

    MPoint min() const;
    MPoint max() const;

private:
    MPoint min_;
    MPoint max_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
