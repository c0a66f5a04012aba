#ifndef _MRenderUtil
#define _MRenderUtil

#include <maya/MFloatArray.h>
#include <maya/MFloatMatrix.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MRenderUtil {
public:
    // Evaluates the shading network at `shadingNodeName` ("node" or "node.outColor") at numSamples points. The stand-in
    // evaluates its own 2D textures at uCoords and vCoords, which it requires, one per sample; the other sample
    // arrays may be null and are not read. kInvalidParameter: no such node or samples that do not match; kFailure: a
    // node the stand-in does not evaluate.
    static MStatus sampleShadingNetwork(MString shadingNodeName, int numSamples, bool useShadowMaps, bool reuseMaps,
                                        MFloatMatrix& cameraMatrix, MFloatPointArray* points, MFloatArray* uCoords,
                                        MFloatArray* vCoords, MFloatVectorArray* normals, MFloatPointArray* refPoints,
                                        MFloatVectorArray* tangentUs, MFloatVectorArray* tangentVs,
                                        MFloatArray* filterSizes, MFloatVectorArray& resultColors,
                                        MFloatVectorArray& resultTransparencies);

private:
    ~MRenderUtil();
};

OPENMAYA_NAMESPACE_CLOSE

#endif
