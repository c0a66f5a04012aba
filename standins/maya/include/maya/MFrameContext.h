#ifndef _MFrameContext
#define _MFrameContext

#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

namespace MHWRender {

// What Viewport 2.0 tells a draw override about the frame. Only Maya makes one.
class MFrameContext {
protected:
    MFrameContext();
    virtual ~MFrameContext();
};

}  // namespace MHWRender

OPENMAYA_NAMESPACE_CLOSE

#endif
