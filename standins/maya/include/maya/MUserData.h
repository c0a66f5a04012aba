#ifndef _MUserData
#define _MUserData

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Data a draw override hands Maya to keep between its stages; Maya owns it once
// handed over. The devkits before 2022 have no default constructor.
class MUserData {
public:
    MUserData(bool deleteAfterUse);
    virtual ~MUserData();

    bool deleteAfterUse();
    void setDeleteAfterUse(bool shouldDelete);

private:
    bool deleteAfterUse_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
