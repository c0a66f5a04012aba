// The scatter node: scatters Poisson-disk-like points over a mesh on the GPU.
#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

class kyScatterPoints : public MPxNode {
public:
    kyScatterPoints();
    ~kyScatterPoints() override;

    MStatus compute(const MPlug& plug, MDataBlock& block) override;

    static void* creator();
    static MStatus initialize();

    static MTypeId id;
    static MObject inMesh;
    static MObject boundingBox;
    static MObject boundingBoxMin;
    static MObject boundingBoxMinX;
    static MObject boundingBoxMinY;
    static MObject boundingBoxMinZ;
    static MObject boundingBoxMax;
    static MObject boundingBoxMaxX;
    static MObject boundingBoxMaxY;
    static MObject boundingBoxMaxZ;
    static MObject boundingBoxSize;
    static MObject boundingBoxSizeX;
    static MObject boundingBoxSizeY;
    static MObject boundingBoxSizeZ;
    static MObject radius;
    static MObject outPoints;
    // Controls; their defaults give the point set of the node without them.
    static MObject seed;
    static MObject passes;
    static MObject candidateCount;
    static MObject strictRadius;
    static MObject surfaceData;
    static MObject computeDevice;
    static MObject stableLayout;
    // Where and how many: a density map from a colour set, and a point count that the radius is searched for.
    static MObject densityMap;
    static MObject densityColorSet;
    static MObject densityChannel;
    // Or from a texture in UV space: the source, the texture (a colour input), the UV set and the bake's size.
    static MObject densitySource;
    static MObject densityTexture;
    static MObject densityUVSet;
    static MObject densityTextureResolution;
    static MObject pointCount;
    static MObject radiusUsed;  // output: the radius the points were computed with
};
