#ifndef _MFn
#define _MFn

#include <maya/MApiNamespace.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Object kinds the stand-in knows about (a small subset of the devkit's list).
class MFn {
public:
    enum Type {
        kInvalid = 0,
        kBase,
        kNamedObject,
        kDependencyNode,
        kDagNode,
        kPluginDependNode,
        kPluginLocatorNode,
        kAttribute,
        kNumericAttribute,
        kTypedAttribute,
        kCompoundAttribute,
        kEnumAttribute,
        kData,
        kMeshData,
        kDynArrayAttrsData,
        kStringData,
        kPlugin,
        kLast
    };
};

OPENMAYA_NAMESPACE_CLOSE

#endif
