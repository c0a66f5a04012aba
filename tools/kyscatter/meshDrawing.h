#pragma once

#include "camera.h"
#include "glyphs.h"
#include "mesh.h"

namespace kyscatter {

// Clears the current GL frame and draws the mesh in light shaded grey, pushed slightly back in
// depth so that points lying on it stay in front. Leaves the camera's matrices loaded, the depth
// test on and lighting off, ready for the display node's draw.
void drawMeshFrame(const Mesh& mesh, const Camera& camera);

// Draws the glyphs in orange over the frame drawMeshFrame left, cones lit as the mesh is, lines flat;
// leaves the same state behind.
void drawGlyphs(const GlyphGeometry& glyphs);

}  // namespace kyscatter
