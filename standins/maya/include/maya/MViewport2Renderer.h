#ifndef _MViewport2Renderer
#define _MViewport2Renderer

#include <maya/MTypes.h>

// Outside the versioned namespace, as in the devkit: inside it, the draw API is ::MHWRender::DrawAPI.
namespace MHWRender {

enum DrawAPI {
    kNone = 0,
    kOpenGL = 1 << 0,
    kDirectX11 = 1 << 1,
    kOpenGLCoreProfile = 1 << 2,
    kAllDevices = kOpenGL | kDirectX11 | kOpenGLCoreProfile
};

inline MHWRender::DrawAPI operator|(MHWRender::DrawAPI a, MHWRender::DrawAPI b) {
    return static_cast<MHWRender::DrawAPI>(static_cast<unsigned int>(a) | static_cast<unsigned int>(b));
}

}  // namespace MHWRender

#endif
