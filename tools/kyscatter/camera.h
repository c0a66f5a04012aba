#pragma once

#include <array>
#include <string>

#include "mesh.h"

namespace kyscatter {

enum class View { Front, Side, Top, Persp };

// "front", "side", "top" or "persp". Throws UsageError.
View viewNamed(const std::string& name);

using Matrix = std::array<double, 16>;  // column-major, as glLoadMatrixd takes it

struct Camera {
    int width = 0;
    int height = 0;
    Matrix projection{};
    Matrix modelView{};

    // Window coordinates as OpenGL computes them: x to the right and y up from the bottom
    // left corner in pixels, z the depth from 0 (near) to 1 (far).
    Point project(const Point& p) const;
};

// Front looks down -Z, side down -X, top down -Y (with -Z up on screen), all orthographic; persp
// is a 30-degree perspective from the front right and above. Each frames the whole mesh.
Camera frameCamera(View view, const Mesh& mesh, int width, int height);

}  // namespace kyscatter
