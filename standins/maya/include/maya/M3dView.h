#ifndef _M3dView
#define _M3dView

#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class M3dView {
public:
    enum DisplayStyle {
        kBoundingBox,
        kFlatShaded,
        kGouraudShaded,
        kWireFrame,
        kPoints
    };

    enum DisplayStatus {
        kActive,
        kLive,
        kDormant,
        kInvisible,
        kHilite,
        kTemplate,
        kActiveTemplate,
        kActiveComponent,
        kLead,
        kIntermediateObject,
        kActiveAffected,
        kNoStatus
    };

    M3dView();
    ~M3dView();

    // beginGL makes the view's GL context current and leaves the matrices alone.
    MStatus beginGL();
    MStatus endGL();
    int portWidth(MStatus* ReturnStatus = NULL) const;
    int portHeight(MStatus* ReturnStatus = NULL) const;

private:
    friend class mayaStandin::Viewport;
    mayaStandin::Viewport* viewport_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
