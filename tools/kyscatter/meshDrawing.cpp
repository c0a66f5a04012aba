#include "meshDrawing.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace kyscatter {
namespace {

// Newell's normal: well defined for any simple polygon, planar or not.
Point polygonNormal(const Mesh& mesh, std::size_t start, int count)
{
    Point n{0, 0, 0};
    for (int k = 0; k < count; ++k) {
        const Point a = mesh.vertex(mesh.connects[start + k]);
        const Point b = mesh.vertex(mesh.connects[start + (k + 1) % count]);
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0)
        for (double& c : n)
            c /= length;
    return n;
}

}  // namespace

void drawMeshFrame(const Mesh& mesh, const Camera& camera)
{
    // Flat shading: each triangle of a polygon's fan carries the polygon's normal.
    std::vector<float> positions;
    std::vector<float> normals;
    positions.reserve(mesh.triangleCount() * 9);
    normals.reserve(mesh.triangleCount() * 9);
    std::size_t start = 0;
    for (int count : mesh.counts) {
        const Point n = polygonNormal(mesh, start, count);
        for (int k = 1; k + 1 < count; ++k) {
            for (int corner : {0, k, k + 1}) {
                const Point p = mesh.vertex(mesh.connects[start + corner]);
                positions.insert(positions.end(), {float(p[0]), float(p[1]), float(p[2])});
                normals.insert(normals.end(), {float(n[0]), float(n[1]), float(n[2])});
            }
        }
        start += static_cast<std::size_t>(count);
    }

    glViewport(0, 0, camera.width, camera.height);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(camera.projection.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // A light over the viewer's shoulder, fixed in eye space so that every view is lit alike.
    const GLfloat lightDirection[4] = {-0.3f, 0.5f, 1.0f, 0.0f};
    const GLfloat lightColour[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat grey[4] = {0.85f, 0.85f, 0.85f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightColour);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
    glLoadMatrixd(camera.modelView.data());

    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 2.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glNormalPointer(GL_FLOAT, 0, normals.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(positions.size() / 3));
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_LIGHTING);
}

void drawGlyphs(const GlyphGeometry& glyphs)
{
    if (glyphs.positions.empty())
        return;
    const GLfloat orange[4] = {1.0f, 0.5f, 0.1f, 1.0f};
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, glyphs.positions.data());
    const auto vertices = static_cast<GLsizei>(glyphs.positions.size() / 3);
    if (glyphs.lines) {
        glColor4fv(orange);
        glLineWidth(2.0f);
        glDrawArrays(GL_LINES, 0, vertices);
        glLineWidth(1.0f);
    } else {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, orange);
        glEnable(GL_LIGHTING);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, glyphs.normals.data());
        glDrawArrays(GL_TRIANGLES, 0, vertices);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisable(GL_LIGHTING);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace kyscatter
