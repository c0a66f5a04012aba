#ifndef _MFnData
#define _MFnData

#include <maya/MFnBase.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnData : public MFnBase {
public:
    enum Type {
        kInvalid = 0,
        kNumeric,
        kPlugin,
        kPluginGeometry,
        kString,
        kMatrix,
        kStringArray,
        kDoubleArray,
        kIntArray,
        kPointArray,
        kVectorArray,
        kComponentList,
        kMesh,
        kLattice,
        kNurbsCurve,
        kNurbsSurface,
        kSphere,
        kDynArrayAttrs,
        kDynSweptGeometry,
        kSubdSurface,
        kNObject,
        kNId,
        kAny,
        kLast
    };

    MFnData();
    virtual ~MFnData();
    virtual MFn::Type type() const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
