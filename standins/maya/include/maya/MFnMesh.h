#ifndef _MFnMesh
#define _MFnMesh

#include <maya/MColor.h>
#include <maya/MColorArray.h>
#include <maya/MFloatArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFloatPointArray.h>
#include <maya/MIntArray.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#define kMFnMeshInstanceUnspecified -1

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnMesh : public MFnDagNode {
public:
    enum MColorRepresentation { kAlpha = 1, kRGB = 3, kRGBA = 4 };

    MFnMesh();
    MFnMesh(const MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnMesh();

    virtual MFn::Type type() const;

    // Stores the mesh in parentOrOwner (a mesh data object) or, when that is
    // null, in a new mesh data object, and returns that data object.
    MObject create(int numVertices, int numPolygons, const MFloatPointArray& vertexArray,
                   const MIntArray& polygonCounts, const MIntArray& polygonConnects,
                   MObject parentOrOwner = MObject::kNullObj, MStatus* ReturnStatus = NULL);

    int numVertices(MStatus* ReturnStatus = NULL) const;
    int numPolygons(MStatus* ReturnStatus = NULL) const;
    int polygonVertexCount(int polygonId, MStatus* ReturnStatus = NULL) const;

    MStatus getPoints(MFloatPointArray& vertexArray, MSpace::Space space = MSpace::kObject) const;
    // Polygons are split into fans around their first vertex.
    MStatus getTriangles(MIntArray& triangleCounts, MIntArray& triangleVertices) const;
    // The same triangles, each corner as its offset into the face-vertex list (polygon after polygon).
    MStatus getTriangleOffsets(MIntArray& triangleCounts, MIntArray& triangleIndices) const;

    // Colour sets: named lists of colours, assigned by index to face-vertices. A mesh data object has no transform
    // or instances, so `instance`, `instances`, `modifier` and `currentSelection` are taken and ignored.
    // UV sets: named lists of UVs, assigned by index to face-vertices polygon by polygon. A new mesh has one empty
    // set, "map1", its current one. Null uvSet: the current set.
    MStatus getUVSetNames(MStringArray& setNames) const;
    MString currentUVSetName(MStatus* ReturnStatus = NULL, int instance = kMFnMeshInstanceUnspecified) const;
    MStatus setCurrentUVSetName(const MString& setName, MDGModifier* modifier = NULL,
                                MSelectionList* currentSelection = NULL);
    // A name that is taken gets a number added.
    MString createUVSetWithName(const MString& uvSetName, MDGModifier* modifier = NULL, MStatus* ReturnStatus = NULL,
                                const MUintArray* instances = NULL);
    int numUVs(const MString& uvSet, MStatus* ReturnStatus = NULL) const;
    MStatus setUVs(const MFloatArray& uArray, const MFloatArray& vArray, const MString* uvSet = NULL);
    MStatus getUVs(MFloatArray& uArray, MFloatArray& vArray, const MString* uvSet = NULL) const;
    // Per polygon its count of UVs: 0 (none) or its vertex count; the UV ids of the polygons that have them.
    MStatus assignUVs(const MIntArray& uvCounts, const MIntArray& uvIds, const MString* uvSet = NULL);
    MStatus getAssignedUVs(MIntArray& uvCounts, MIntArray& uvIds, const MString* uvSet = NULL) const;

    int numColorSets(MStatus* ReturnStatus = NULL) const;
    MStatus getColorSetNames(MStringArray& setNames) const;
    // Empty when the mesh has no current colour set.
    MString currentColorSetName(int instance = kMFnMeshInstanceUnspecified, MStatus* ReturnStatus = NULL) const;
    MStatus setCurrentColorSetName(const MString& setName, MDGModifier* modifier = NULL,
                                   MSelectionList* currentSelection = NULL);
    // A new set without colours; a name that is taken gets a number added, as Maya's do.
    MString createColorSetWithName(const MString& colorSetName, MDGModifier* modifier = NULL,
                                   const MUintArray* instances = NULL, MStatus* ReturnStatus = NULL);
    int numColors(const MString& colorSet, MStatus* ReturnStatus = NULL) const;
    // Null colorSet: the current set.
    MStatus setColors(const MColorArray& colors, const MString* colorSet = NULL, MColorRepresentation rep = kRGBA);
    // One colour index per face-vertex; -1 leaves the face-vertex without a colour.
    MStatus assignColors(const MIntArray& colorIds, const MString* colorSet = NULL);
    // One colour per face-vertex; those without one get defaultUnsetColor, or (-1, -1, -1, -1). Not const, as in
    // the devkit.
    MStatus getFaceVertexColors(MColorArray& colors, const MString* colorSet = NULL,
                                const MColor* defaultUnsetColor = NULL);
};

OPENMAYA_NAMESPACE_CLOSE

#endif
