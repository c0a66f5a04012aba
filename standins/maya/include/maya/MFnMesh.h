#ifndef _MFnMesh
#define _MFnMesh

#include <maya/MFnDagNode.h>
#include <maya/MFloatPointArray.h>
#include <maya/MIntArray.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnMesh : public MFnDagNode {
public:
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

    MStatus getPoints(MFloatPointArray& vertexArray, MSpace::Space space = MSpace::kObject) const;
    // Polygons are split into fans around their first vertex.
    MStatus getTriangles(MIntArray& triangleCounts, MIntArray& triangleVertices) const;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
