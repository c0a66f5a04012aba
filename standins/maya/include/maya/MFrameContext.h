#ifndef _MFrameContext
#define _MFrameContext

#include <maya/MTypes.h>

namespace MHWRender {

// What Viewport 2.0 tells a draw override about the frame. Only Maya makes one.
class MFrameContext {
protected:
    MFrameContext();
    virtual ~MFrameContext();
};

}  // namespace MHWRender

#endif
