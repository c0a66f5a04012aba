// The devkit's MPxDrawOverride::prepareForDraw is pure: an override that does not define it cannot be made.
#include <maya/MPxDrawOverride.h>

class Override : public MHWRender::MPxDrawOverride {
public:
    explicit Override(const MObject& obj) : MHWRender::MPxDrawOverride(obj, nullptr) {}
#ifndef KY_BREAK_RULE
    MUserData* prepareForDraw(const MDagPath&, const MDagPath&, const MHWRender::MFrameContext&, MUserData*) override
    {
        return nullptr;
    }
#endif
};

MHWRender::MPxDrawOverride* creator(const MObject& obj)
{
    return new Override(obj);
}
