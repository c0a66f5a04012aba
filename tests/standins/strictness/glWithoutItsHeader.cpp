// The devkit's M3dView.h brings no GL: a source that draws includes GL itself.
#include <maya/M3dView.h>

#ifndef KY_BREAK_RULE
#include <GL/gl.h>
#endif

void drawOnePoint()
{
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
}
