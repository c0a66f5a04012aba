#ifndef _MTypes
#define _MTypes

// Maya API stand-in: shared types, in the shape of the 2013 devkit.

#include <iostream>
#include <cstddef>

#ifndef NULL
#define NULL 0
#endif

#define MAYA_API_VERSION 201303

class MStatus;
class MString;
class MObject;
class MPlug;
class MDataBlock;
class MDataHandle;
class MTypeId;
class M3dView;
class MDagPath;
class MPxNode;

// Internal objects of the stand-in; plug-in code never names them.
namespace mayaStandin {
namespace detail {
struct Object;
struct Node;
struct Attribute;
struct Value;
struct Access;
}
class Viewport;
}

typedef void* (*MCreatorFunction)();
typedef MStatus (*MInitializeFunction)();

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

#endif
