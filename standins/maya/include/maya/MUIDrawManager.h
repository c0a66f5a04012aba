#ifndef _MUIDrawManager
#define _MUIDrawManager

#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

namespace MHWRender {

// Queues simple drawables for Viewport 2.0. Every call belongs between
// beginDrawable() and endDrawable(); endDrawable() resets the draw state. Only
// Maya makes one and hands it to the plug-in.
class MUIDrawManager {
public:
    void beginDrawable();
    void endDrawable();

    void setColor(const MColor& color);
    void setPointSize(float value);

    void line(const MPoint& startPoint, const MPoint& endPoint);
    MStatus points(const MPointArray& points, bool draw2D);

private:
    friend struct mayaStandin::detail::UIDrawables;
    explicit MUIDrawManager(mayaStandin::detail::UIDrawables* drawables);
    ~MUIDrawManager();

    mayaStandin::detail::UIDrawables* drawables_;
};

}  // namespace MHWRender

OPENMAYA_NAMESPACE_CLOSE

#endif
