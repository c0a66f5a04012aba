#ifndef MAYA_STANDIN_VIEWPORT2_H
#define MAYA_STANDIN_VIEWPORT2_H

// Viewport 2.0's state shared by the draw registry, the draw manager and the
// off-screen viewport that renders what the draw manager was given.

#include "internal.h"

#include <maya/MPxDrawOverride.h>

#include <memory>
#include <vector>

namespace mayaStandin {
namespace detail {

// One node's override and the user data Maya keeps for it between draws.
struct DrawOverrideInstance {
    ~DrawOverrideInstance() { delete data; }
    bool hasCallback() const { return override->callback_ != nullptr; }

    unsigned long registration = 0;  // the serial number of the registration that made it
    std::unique_ptr<MHWRender::MPxDrawOverride> override;
    MUserData* data = nullptr;
};

// What an override queued on its MUIDrawManager in one draw, in call order.
struct UIDrawables {
    enum class Primitive { kLines, kPoints };
    struct Batch {
        Primitive primitive;
        float color[4];
        float pointSize;
        std::vector<double> xyz;
    };

    // Lends the override a draw manager over these drawables for its addUIDrawables.
    void collect(MHWRender::MPxDrawOverride& override, const MHWRender::MFrameContext& frameContext,
                 const MUserData* data);
    // Each drawable starts from the default state: opaque white, one-pixel points.
    void resetState();
    // The batch that takes the next vertices of a primitive in the current state; null outside a drawable.
    std::vector<double>* vertices(Primitive primitive, const char* caller);

    std::vector<Batch> batches;
    bool open = false;     // between beginDrawable and endDrawable
    size_t openedAt = 0;   // the first batch of the open drawable
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float pointSize = 1.0f;
};

// Draws the batches into the viewport with the GL matrices current in its context, leaving its GL state as it was.
void renderUIDrawables(const UIDrawables& drawables, Viewport& viewport);

}  // namespace detail
}  // namespace mayaStandin

#endif
