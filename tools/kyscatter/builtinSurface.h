#pragma once

#include "mesh.h"

namespace kyscatter {

// A (2,3) torus knot tube lying in the XZ plane, built from quads: curved everywhere and
// self-occluding, so that the evenness of a point set shows from any side.
Mesh torusKnot(int segments, int sides);

// The surface used when no mesh file is given: 1024 x 48 quads, 98,304 triangles.
Mesh builtinSurface();

}  // namespace kyscatter
