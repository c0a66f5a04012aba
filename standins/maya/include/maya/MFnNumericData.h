#ifndef _MFnNumericData
#define _MFnNumericData

#include <maya/MFnData.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnNumericData : public MFnData {
public:
    enum Type {
        kInvalid = 0,
        kBoolean,
        kByte,
        kChar,
        kShort,
        k2Short,
        k3Short,
        kLong,
        kInt = kLong,
        k2Long,
        k2Int = k2Long,
        k3Long,
        k3Int = k3Long,
        kFloat,
        k2Float,
        k3Float,
        kDouble,
        k2Double,
        k3Double,
        k4Double,
        kAddr,
        kLast
    };

    MFnNumericData();
    virtual ~MFnNumericData();
};

OPENMAYA_NAMESPACE_CLOSE

#endif
