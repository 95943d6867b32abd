// gl.h - the one place that includes the GL, GLU and GLUT headers.
//
// Layer: widgets. The program's GL users include it through widgets/gfx.h;
// nothing outside widgets/ and app/ may reach it (tools/check-layers.sh).
#ifndef QUORVEX_WIDGETS_GL_H
#define QUORVEX_WIDGETS_GL_H

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#endif
