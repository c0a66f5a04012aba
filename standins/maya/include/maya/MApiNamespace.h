#ifndef _MApiNamespace
#define _MApiNamespace

// Maya API stand-in: the versioned namespace of the 2022 devkit. Every API class lives in it and is named at global
// scope (and in ::MHWRender, for Viewport 2.0's) by using-declarations, so code spells MObject as ever while the
// compiler mangles Autodesk::Maya::OpenMaya20220000::MObject: a plug-in's entry points carry that name, and a class
// of the same name declared at global scope before a devkit header clashes with it.

#define AUTODESK_NAMESPACE Autodesk
#define MAYA_NAMESPACE Maya
#define OPENMAYA_NAMESPACE_OPEN(API_VERSION) \
    namespace AUTODESK_NAMESPACE {           \
    namespace MAYA_NAMESPACE {               \
    namespace API_VERSION {
#define OPENMAYA_NAMESPACE_CLOSE }}}
#define OPENMAYA_NAMESPACE_SCHEMA(API_VERSION) AUTODESK_NAMESPACE::MAYA_NAMESPACE::API_VERSION

#define OPENMAYA_MAJOR_NAMESPACE OpenMaya20220000
#define OPENMAYA_MAJOR_NAMESPACE_OPEN OPENMAYA_NAMESPACE_OPEN(OPENMAYA_MAJOR_NAMESPACE)
#define OPENMAYA_MAJOR_NAMESPACE_SCHEMA OPENMAYA_NAMESPACE_SCHEMA(OPENMAYA_MAJOR_NAMESPACE)

// The classes of the stand-in: those the product, its tests and its tools use.
OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFn;
class MObject;
class MSpace;
class MBoundingBox;
class MColor;
class MColorArray;
class MDagPath;
class MDataBlock;
class MDataHandle;
class MDGContext;
class MDGModifier;
class MDoubleArray;
class MFloatArray;
class MFloatMatrix;
class MFloatPoint;
class MFloatPointArray;
class MFloatVector;
class MFloatVectorArray;
class MFnArrayAttrsData;
class MFnAttribute;
class MFnBase;
class MFnCompoundAttribute;
class MFnDagNode;
class MFnData;
class MFnDependencyNode;
class MFnEnumAttribute;
class MFnMesh;
class MFnMeshData;
class MFnNumericAttribute;
class MFnNumericData;
class MFnPlugin;
class MFnTypedAttribute;
class MImage;
class MIntArray;
class MPlug;
class MPlugArray;
class MPoint;
class MPointArray;
class MPxNode;
class MRenderUtil;
class MSelectionList;
class MStatus;
class MString;
class MStringArray;
class MTypeId;
class MUintArray;
class MUserData;
class MVector;
class MVectorArray;
class M3dView;
class MPxLocatorNode;

namespace MHWRender {
class MDrawContext;
class MDrawRegistry;
class MFrameContext;
class MPxDrawOverride;
class MUIDrawManager;
}  // namespace MHWRender

OPENMAYA_NAMESPACE_CLOSE

#define USING_MAJOR_ONLY_API                                          \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFn;                       \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MObject;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MSpace;                    \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MBoundingBox;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MColor;                    \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MColorArray;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MDagPath;                  \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MDataBlock;                \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MDataHandle;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MDGContext;                \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MDGModifier;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MDoubleArray;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFloatArray;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFloatMatrix;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFloatPoint;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFloatPointArray;          \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFloatVector;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFloatVectorArray;         \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnArrayAttrsData;         \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnAttribute;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnBase;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnCompoundAttribute;      \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnDagNode;                \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnData;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnDependencyNode;         \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnEnumAttribute;          \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnMesh;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnMeshData;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnNumericAttribute;       \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnNumericData;            \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnPlugin;                 \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MFnTypedAttribute;         \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MImage;                    \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MIntArray;                 \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MPlug;                     \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MPlugArray;                \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MPoint;                    \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MPointArray;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MPxNode;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MRenderUtil;               \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MSelectionList;            \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MStatus;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MString;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MStringArray;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MTypeId;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MUintArray;                \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MUserData;                 \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MVector;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MVectorArray;              \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::M3dView;                   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MPxLocatorNode;            \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MDrawContext;    \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MDrawRegistry;   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MFrameContext;   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MPxDrawOverride; \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MUIDrawManager;  \
    namespace MHWRender {                                             \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MDrawContext;    \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MDrawRegistry;   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MFrameContext;   \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MPxDrawOverride; \
    using OPENMAYA_MAJOR_NAMESPACE_SCHEMA::MHWRender::MUIDrawManager;  \
    }

#define USING_MAJOR_API USING_MAJOR_ONLY_API

#define USING_LATEST_API USING_MAJOR_API
#define OPENMAYA_LATEST_NAMESPACE OPENMAYA_MAJOR_NAMESPACE

USING_LATEST_API

#endif
