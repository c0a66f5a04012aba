#ifndef _MColor
#define _MColor

#include <maya/MTypes.h>

class MColor {
public:
    MColor();
    MColor(float rr, float gg, float bb = 0.0, float aa = 1.0);

    float r;
    float g;
    float b;
    float a;
};

#endif
