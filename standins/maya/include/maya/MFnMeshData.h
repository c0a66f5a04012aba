#ifndef _MFnMeshData
#define _MFnMeshData

#include <maya/MFnData.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnMeshData : public MFnData {
public:
    MFnMeshData();
    MFnMeshData(const MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnMeshData();

    virtual MFn::Type type() const;

    // A new, empty mesh data object; MFnMesh::create fills it.
    MObject create(MStatus* ReturnStatus = NULL);
};

OPENMAYA_NAMESPACE_CLOSE

#endif
