// Off-screen viewport on OSMesa; M3dView draws into it, and it renders what Viewport
// 2.0's draw manager was given.

#include "internal.h"
#include "viewport2.h"

#include <maya/M3dView.h>
#include <mayaStandin/host.h>

#include <GL/gl.h>
#include <GL/osmesa.h>

M3dView::M3dView() : viewport_(nullptr) {}
M3dView::~M3dView() = default;

MStatus M3dView::beginGL() {
    if (!viewport_ || !viewport_->valid()) return MS::kFailure;
    viewport_->makeCurrent();
    return MS::kSuccess;
}

MStatus M3dView::endGL() {
    if (!viewport_ || !viewport_->valid()) return MS::kFailure;
    glFlush();
    return MS::kSuccess;
}

int M3dView::portWidth(MStatus* ReturnStatus) const {
    mayaStandin::detail::setStatus(ReturnStatus, viewport_ ? MS::kSuccess : MS::kFailure);
    return viewport_ ? viewport_->width() : 0;
}

int M3dView::portHeight(MStatus* ReturnStatus) const {
    mayaStandin::detail::setStatus(ReturnStatus, viewport_ ? MS::kSuccess : MS::kFailure);
    return viewport_ ? viewport_->height() : 0;
}

namespace mayaStandin {

Viewport::Viewport(int width, int height)
    : context_(nullptr), width_(width > 0 ? width : 1), height_(height > 0 ? height : 1),
      buffer_(static_cast<size_t>(width_) * height_ * 4, 0) {
    view_.viewport_ = this;
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context_) {
        detail::hostError("Viewport: OSMesa could not create a GL context");
        return;
    }
    makeCurrent();
    glViewport(0, 0, width_, height_);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Viewport::~Viewport() {
    if (context_) {
        if (OSMesaGetCurrentContext() == context_) OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
        OSMesaDestroyContext(context_);
    }
}

M3dView& Viewport::view() { return view_; }
bool Viewport::valid() const { return context_ != nullptr; }
int Viewport::width() const { return width_; }
int Viewport::height() const { return height_; }

void Viewport::makeCurrent() {
    if (context_ && OSMesaGetCurrentContext() != context_)
        OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, width_, height_);
}

std::vector<unsigned char> Viewport::readPixels() {
    std::vector<unsigned char> pixels(static_cast<size_t>(width_) * height_ * 4, 0);
    if (!context_) return pixels;
    makeCurrent();
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

namespace detail {

void renderUIDrawables(const UIDrawables& drawables, Viewport& viewport) {
    viewport.makeCurrent();
    // UI drawables are flat colour whatever the caller left on; depth testing stays the caller's.
    glPushAttrib(GL_CURRENT_BIT | GL_POINT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    for (GLenum array : {GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY}) glDisableClientState(array);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (const UIDrawables::Batch& batch : drawables.batches) {
        glColor4fv(batch.color);
        glPointSize(batch.pointSize);
        glVertexPointer(3, GL_DOUBLE, 0, batch.xyz.data());
        glDrawArrays(batch.primitive == UIDrawables::Primitive::kLines ? GL_LINES : GL_POINTS, 0,
                     static_cast<GLsizei>(batch.xyz.size() / 3));
    }
    glPopClientAttrib();
    glPopAttrib();
    glFlush();
}

}  // namespace detail
}  // namespace mayaStandin
