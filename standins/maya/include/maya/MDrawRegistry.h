#ifndef _MDrawRegistry
#define _MDrawRegistry

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

namespace MHWRender {

// Associates draw classifications with the overrides that draw them in Viewport 2.0.
class MDrawRegistry {
public:
    typedef MPxDrawOverride* (*DrawOverrideCreator)(const MObject&);
    static MStatus registerDrawOverrideCreator(const MString& drawClassification, const MString& registrantId,
                                               DrawOverrideCreator creator);
    static MStatus deregisterDrawOverrideCreator(const MString& drawClassification, const MString& registrantId);

private:
    MDrawRegistry();
    ~MDrawRegistry();
};

}  // namespace MHWRender

OPENMAYA_NAMESPACE_CLOSE

#endif
