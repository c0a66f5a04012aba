#ifndef _MFloatMatrix
#define _MFloatMatrix

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Identity on construction, as the devkit's.
class MFloatMatrix {
public:
    MFloatMatrix();
    float operator()(unsigned int row, unsigned int col) const;

    float matrix[4][4];
};

OPENMAYA_NAMESPACE_CLOSE

#endif
