// The attach node: carries a point record scattered on a rest mesh onto the same mesh deformed, each point to the same
// weights of the same three vertices, with its normal, rotation and aim direction taken anew there.
#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

#include "attachPlacement.h"

class kyAttachPoints : public MPxNode {
public:
    kyAttachPoints();
    ~kyAttachPoints() override;

    MStatus compute(const MPlug& plug, MDataBlock& block) override;

    static void* creator();
    static MStatus initialize();

    static MTypeId id;
    static MObject inPoints;   // a record made with surface data: its triangleVertices and barycentric channels
    static MObject inMesh;     // the rest mesh deformed: the same vertices, moved
    static MObject outPoints;  // the same points in the same order, on inMesh

private:
    TriangleTable triangles_;  // the distinct triangles of the last record placed
};
