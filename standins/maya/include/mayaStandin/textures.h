#ifndef MAYA_STANDIN_TEXTURES_H
#define MAYA_STANDIN_TEXTURES_H

// Maya's texture nodes in the stand-in, built in as Maya's are: "file" (fileTextureName, outColor), read through
// MImage, and "ramp" (type: V Ramp 0, U Ramp 1; interpolation: None 0, Linear 1; outColor), evaluated by
// MRenderUtil::sampleShadingNetwork.

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <vector>

namespace mayaStandin {

// One entry of a ramp's colorEntryList: its position and colour.
struct RampEntry {
    float position;
    float r, g, b;
};

// Sets the ramp's colour entries, as setAttr on colorEntryList[i].position and .color does in Maya (the stand-in has
// no multi attributes); dirties what the ramp's outColor feeds. kInvalidParameter: not a ramp, or no entries.
MStatus setRampEntries(const MObject& rampNode, const std::vector<RampEntry>& entries);

}  // namespace mayaStandin

#endif
