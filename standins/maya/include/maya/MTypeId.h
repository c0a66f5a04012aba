#ifndef _MTypeId
#define _MTypeId

#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MTypeId {
public:
    MTypeId();
    MTypeId(unsigned int id);
    MTypeId(unsigned int prefix, unsigned int id);

    unsigned int id(MStatus* ReturnStatus = NULL) const;
    bool operator==(const MTypeId& other) const;
    bool operator!=(const MTypeId& other) const;

private:
    unsigned int id_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
