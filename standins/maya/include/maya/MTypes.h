#ifndef _MTypes
#define _MTypes

// Maya API stand-in: shared types, in the shape of the 2022 devkit.

#include <maya/MApiNamespace.h>

#include <iostream>
#include <cstddef>

#ifndef NULL
#define NULL 0
#endif

// The 2022.3 devkit's; MApiVersion.h makes the plug-in's version text of it.
#define MAYA_API_VERSION 20220300

// What the devkit marks so is exported whatever visibility the plug-in is built with.
#ifndef PLUGIN_EXPORT
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

// Internal objects of the stand-in; plug-in code never names them.
namespace mayaStandin {
namespace detail {
struct Object;
struct Node;
struct Attribute;
struct Value;
struct Access;
struct UIDrawables;
struct DrawOverrideInstance;
}
class Viewport;
}

// Plain arrays, global as in the devkit: they clash with the structs of the same
// names in CUDA's vector_types.h, so no source can include both.
typedef short short2[2];
typedef short short3[3];
typedef int int2[2];
typedef int int3[3];
typedef float float2[2];
typedef float float3[3];
typedef double double2[2];
typedef double double3[3];
typedef double double4[4];

typedef void* (*MCreatorFunction)();
typedef MStatus (*MInitializeFunction)();

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MSpace {
public:
    enum Space {
        kInvalid = 0,
        kTransform,
        kPreTransform,
        kPostTransform,
        kWorld,
        kLast,
        kObject = kPreTransform
    };
};

OPENMAYA_NAMESPACE_CLOSE

#endif
