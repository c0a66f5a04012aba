#ifndef _MColor
#define _MColor

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MColor {
public:
    MColor();
    MColor(float rr, float gg, float bb = 0.0, float aa = 1.0);

    float r;
    float g;
    float b;
    float a;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
